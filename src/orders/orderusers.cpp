#include "orders/orderusers.h"

#include "app/appcontext.h"

#include <QDebug>
#include <QStringList>

namespace {

QStringList listSetting(const char *key)
{
    return AppContext::setting(QLatin1String(key)).toStringList();
}

} // namespace

QString userIdForName(const QString &name)
{
    if (name == AppContext::setting(QStringLiteral("userName_s")).toString())
        return AppContext::setting(QStringLiteral("userID_s")).toString();
    const int at = listSetting("users").indexOf(name);
    if (at < 0) {
        qCritical() << name << "not found in users list";
        return name;
    }
    const QStringList ids = listSetting("uidList");
    if (at >= ids.size()) {
        qCritical() << name << "index not found in uids list";
        return name;
    }
    return ids.at(at);
}

QString userNameForId(const QString &id)
{
    if (id == AppContext::setting(QStringLiteral("userID_s")).toString())
        return AppContext::setting(QStringLiteral("userName_s")).toString();
    const int at = listSetting("uidList").indexOf(id);
    const QStringList names = listSetting("users");
    if (at < 0 || at >= names.size()) {
        qWarning() << id << "not found in uids list";
        return id;
    }
    return names.at(at);
}
