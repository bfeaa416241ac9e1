#include "cloudendpoint.h"

#include "app/appcontext.h"

CloudEndpoint CloudEndpoint::configured()
{
    CloudEndpoint e;
    const QString scheme = AppContext::setting(QStringLiteral("storageScheme_s")).toString().trimmed();
    if (!scheme.isEmpty())
        e.scheme = scheme.toLower();
    const QString host = AppContext::setting(QStringLiteral("storageHost_s")).toString().trimmed();
    if (!host.isEmpty())
        e.host = host;
    bool ok = false;
    const int port = AppContext::setting(QStringLiteral("storagePort_i")).toInt(&ok);
    if (ok && port > 0 && port < 65536)
        e.port = port;
    e.pathStyle = AppContext::setting(QStringLiteral("storagePathStyle_b"), false).toBool();
    return e;
}

QString CloudEndpoint::urlText(const QString &bucket, const QString &key) const
{
    const QString authority = port > 0 ? host + QLatin1Char(':') + QString::number(port) : host;
    if (bucket.isEmpty())
        return scheme + QStringLiteral("://") + authority + QLatin1Char('/');
    if (pathStyle)
        return scheme + QStringLiteral("://") + authority + QLatin1Char('/') + bucket + QLatin1Char('/') + key;
    return scheme + QStringLiteral("://") + bucket + QLatin1Char('.') + authority + QLatin1Char('/') + key;
}

QByteArray CloudEndpoint::encodedUrl(const QString &bucket, const QByteArray &encodedKey) const
{
    QUrl root;
    root.setScheme(scheme);
    root.setHost(host);
    root.setPort(port > 0 ? port : -1);
    QByteArray base = root.toEncoded(QUrl::RemovePath | QUrl::RemoveQuery);
    if (bucket.isEmpty())
        return base + '/';
    const QByteArray name = QUrl::toPercentEncoding(bucket);
    if (pathStyle)
        return base + '/' + name + '/' + encodedKey;
    root.setHost(bucket + QLatin1Char('.') + host);
    return root.toEncoded(QUrl::RemovePath | QUrl::RemoveQuery) + '/' + encodedKey;
}
