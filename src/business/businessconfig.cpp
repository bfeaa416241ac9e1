#include "business/businessconfig.h"

#include "app/appcontext.h"
#include "app/appsettings.h"
#include "app/textcipher.h"
#include "business/businesskeys.h"
#include "orders/vexaorder.h"
#include "pricing/csvtable.h"

#include <QDebug>
#include <QFileInfo>
#include <QSettings>

QString ediConfigPath()
{
    return AppContext::cfgFolder + QStringLiteral("/edi.cfg");
}

bool decipherPortalPassword(const QString &stored, QString *plain)
{
    plain->clear();
    const QByteArray bytes = QByteArray::fromBase64(stored.trimmed().toLatin1());
    QByteArray text;
    if (bytes.isEmpty() || !decryptText(bytes, &text) || text.isEmpty())
        return false;
    *plain = QString::fromUtf8(text);
    return true;
}

EdiConfig readEdiConfig()
{
    EdiConfig config;
    if (!QFileInfo::exists(ediConfigPath()))
        return config;
    const QSettings edi(ediConfigPath(), QSettings::IniFormat);
    config.present = true;
    // "no" must switch the portal off like "false" does (a plain text-to-bool
    // conversion would call any non-empty text other than "false" true)
    const QString enabled = edi.value(QStringLiteral("ediEnabled")).toString().trimmed().toLower();
    config.enabled = enabled == QLatin1String("true") || enabled == QLatin1String("yes") || enabled == QLatin1String("1");
    config.remote = edi.value(QStringLiteral("ediRemote")).toString();
    config.address = edi.value(QStringLiteral("ediAddress")).toString();
    config.scheme = edi.value(QStringLiteral("ediScheme")).toString();
    config.userName = edi.value(QStringLiteral("ediUserName")).toString();
    config.passwordOk = decipherPortalPassword(edi.value(QStringLiteral("ediUserPass")).toString(), &config.password);
    return config;
}

void loadBusinessConfig()
{
    appSettings *user = AppContext::userSettings();
    if (!user)
        return;
    const QString valuesPath = AppContext::cfgFolder + QStringLiteral("/values.cfg");
    if (QFileInfo::exists(valuesPath)) {
        const QSettings values(valuesPath, QSettings::IniFormat);
        for (const QString &name : values.allKeys()) {
            // the archive comes from the shared store: business keys only
            const QString key = BusinessKeys::businessKey(name);
            const QVariant value = values.value(name);
            if (key.isEmpty() || !BusinessKeys::acceptableValue(key, value)) {
                qWarning() << "values.cfg may not set" << name.left(100);
                continue;
            }
            const QString text = value.toString();
            if (text.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0)
                user->setValue(key, true);
            else if (text.compare(QLatin1String("no"), Qt::CaseInsensitive) == 0)
                user->setValue(key, false);
            else
                user->setValue(key, value);
        }
    }
    const EdiConfig edi = readEdiConfig();
    if (edi.present) {
        user->setValue(QStringLiteral("ediEnabled"), edi.enabled);
        user->setValue(QStringLiteral("ediRemote"), edi.remote);
    } else {
        user->remove(QStringLiteral("ediEnabled"));
        user->remove(QStringLiteral("ediRemote"));
    }
}

QStringList VexaOrder::bdAccounts() const
{
    const QString accounts = AppContext::cfgFolder + QStringLiteral("/bdaccounts.csv");
    if (!QFileInfo::exists(ediConfigPath()) || !QFileInfo::exists(accounts))
        return QStringList();
    return CsvTable(accounts).column(1);
}
