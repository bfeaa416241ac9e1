#include "business/businesslookup.h"

#include "app/appcontext.h"
#include "app/appsettings.h"

#include <QRegularExpression>

namespace {

// key -> value of every key below group, nested keys ("a/b") included.
QList<QPair<QString, QString>> groupEntries(const QString &group)
{
    QList<QPair<QString, QString>> entries;
    appSettings *shared = AppContext::sharedSettings();
    if (!shared || group.isEmpty())
        return entries;
    shared->beginGroup(group);
    const QStringList keys = shared->allKeys();
    for (const QString &key : keys)
        entries << qMakePair(key, shared->QSettings::value(key).toString());
    shared->endGroup();
    return entries;
}

QString keyForValue(const QString &group, const QString &value)
{
    if (value.isEmpty())
        return QString();
    for (const auto &entry : groupEntries(group)) {
        if (entry.second == value)
            return entry.first;
    }
    return QString();
}

} // namespace

bool isCAccountNumber(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^C\\d{6,6}$"));
    return re.match(text).hasMatch();
}

bool isMAccountNumber(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^M\\d{7,7}$"));
    return re.match(text).hasMatch();
}

bool isAccountNumber(const QString &text)
{
    return isCAccountNumber(text) || isMAccountNumber(text);
}

QStringList businessNames()
{
    QStringList names;
    for (const auto &entry : groupEntries(QStringLiteral("busNames")))
        names << entry.second;
    return names;
}

QString accountForBusinessName(const QString &name)
{
    return keyForValue(QStringLiteral("busNames"), name);
}

QString accountFor(const QString &nameOrAccount)
{
    return isAccountNumber(nameOrAccount) ? nameOrAccount : accountForBusinessName(nameOrAccount);
}

QStringList deliveryNamesFor(const QString &nameOrAccount)
{
    const QString account = accountFor(nameOrAccount);
    appSettings *shared = AppContext::sharedSettings();
    if (account.isEmpty() || !shared)
        return QStringList();
    return shared->QSettings::value(QStringLiteral("buslist/") + account).toStringList();
}

QString deliveryNameForDisplayName(const QString &account, const QString &displayName)
{
    if (account.isEmpty())
        return QString();
    return keyForValue(account + QStringLiteral("_m"), displayName);
}

QString locationIdForDeliveryName(const QString &account, const QString &deliveryName, QString *error)
{
    appSettings *shared = AppContext::sharedSettings();
    const QString key = account + QLatin1Char('/') + deliveryName;
    if (!shared || account.isEmpty() || deliveryName.isEmpty() || !shared->contains(key)) {
        if (error)
            *error = QStringLiteral("Failed to find account Code data");
        return QString();
    }
    return shared->QSettings::value(key).toString();
}
