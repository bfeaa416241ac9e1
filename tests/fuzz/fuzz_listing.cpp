// Storage listing replies: whatever the service sends, no name that could
// leave a local folder reaches the caller.
#include "fuzzsupport.h"

#include "cloud/qamazonconnection.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body = Fuzz::bytes(data, size);
    QStringList keys;
    QString token;
    const bool more = parseKeysPage(body, keys, token);
    if (more && token.isEmpty())
        Fuzz::fail("more pages without a token", body);
    for (const QString &key : qAsConst(keys)) {
        if (!QAmazonConnection::isSafeKey(key))
            Fuzz::fail("unsafe key listed", key.toUtf8());
    }
    QMap<QString, CloudFileInfo> map;
    parseDetailsPage(body, map, token);
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const QString &name = it.key();
        if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")
            || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
            Fuzz::fail("unsafe name listed", name.toUtf8());
    }
    return 0;
}
