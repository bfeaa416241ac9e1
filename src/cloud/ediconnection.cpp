#include "ediconnection.h"

#include "app/appcontext.h"
#include "app/textcipher.h"

#include <QFileInfo>
#include <QSettings>

bool loadEdiConfig(SupplierItem *supplier, QString *error)
{
    const QString path = AppContext::cfgFolder + QStringLiteral("/edi.cfg");
    if (!QFileInfo::exists(path)) {
        *error = QStringLiteral("Missing configuration file (edi.cfg). Try logging out and back in or contact support.");
        return false;
    }
    QSettings edi(path, QSettings::IniFormat);
    supplier->ediScheme = edi.value(QStringLiteral("ediScheme")).toString().trimmed();
    supplier->ediUrl = edi.value(QStringLiteral("ediAddress")).toString().trimmed();
    supplier->ediUser = edi.value(QStringLiteral("ediUserName")).toString();
    QByteArray plain;
    const QByteArray stored = QByteArray::fromBase64(edi.value(QStringLiteral("ediUserPass")).toString().toLatin1());
    if (stored.isEmpty() || !decryptText(stored, &plain) || plain.isEmpty()) {
        *error = QStringLiteral("Failed to get valid connection data. Contact support.");
        return false;
    }
    supplier->ediPass = QString::fromLocal8Bit(plain);
    return true;
}

int ediPort(const QString &scheme)
{
    if (scheme == QLatin1String("ftp"))
        return AppContext::setting(QStringLiteral("ediFtpPort_i"), 21).toInt();
    if (scheme == QLatin1String("https"))
        return AppContext::setting(QStringLiteral("ediHttpsPort_i"), 443).toInt();
    return -1;
}

QUrl ediAddress(const SupplierItem &supplier, const QString &scheme, const QString &path)
{
    QUrl url;
    url.setScheme(scheme);
    url.setHost(supplier.ediUrl);
    url.setPort(ediPort(scheme));
    url.setPath(path);
    url.setUserName(supplier.ediUser);
    url.setPassword(supplier.ediPass);
    return url;
}
