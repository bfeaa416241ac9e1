#include "qamazonconnection.h"

#include "cloud/hmacsha.h"

#include <QDebug>
#include <QEventLoop>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSet>
#include <QUrlQuery>
#include <QXmlStreamReader>

#include <limits>

namespace {

const QString kVerb = QStringLiteral("verb");
const QString kBucket = QStringLiteral("bucket");
const QString kFilename = QStringLiteral("filename");
const QString kPrefix = QStringLiteral("prefix");
const QString kDelimiter = QStringLiteral("delimiter");
const QString kToken = QStringLiteral("continuation-token");
const QString kIfNoneMatch = QStringLiteral("If-None-Match");
const QString kIfModifiedSince = QStringLiteral("ifModifiedSince");
const QString kFilesize = QStringLiteral("filesize");
const QString kContentType = QStringLiteral("Content-Type");
const QString kAcl = QStringLiteral("x-amz-acl");
const QString kMetaRt = QStringLiteral("x-amz-meta-rt");

// Query values are sent as written; a literal "+" would reach the service
// as a blank.
QString escapePlus(QString text)
{
    return text.replace(QLatin1Char('+'), QStringLiteral("%2B"));
}

// Refused keys are left out of the listing, with a warning.
bool acceptKey(const QString &key)
{
    if (QAmazonConnection::isSafeKey(key))
        return true;
    qWarning() << "Listing: refused an object name that cannot be a local file:" << key.left(200);
    return false;
}

} // namespace

// Keys of one listing page; the token (if any) announces the next page.
bool parseKeysPage(const QByteArray &body, QStringList &keys, QString &token)
{
    token.clear();
    if (!body.contains("Contents"))
        return false;
    bool more = false;
    bool inContents = false;
    QXmlStreamReader xml(body);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringRef name = xml.name();
        if (name == QLatin1String("NextContinuationToken")) {
            token = xml.readElementText();
            more = !token.isEmpty();
        } else if (name == QLatin1String("Contents")) {
            inContents = true;
        } else if (inContents && name == QLatin1String("Key")) {
            const QString key = xml.readElementText();
            if (acceptKey(key))
                keys.append(key);
        }
    }
    return more;
}

bool parseDetailsPage(const QByteArray &body, QMap<QString, CloudFileInfo> &map, QString &token)
{
    token.clear();
    if (!body.contains("Contents"))
        return false;
    bool more = false;
    // Values missing from one entry keep those of the previous one.
    QString entryName;
    CloudFileInfo info;
    QXmlStreamReader xml(body);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("NextContinuationToken")) {
            token = xml.readElementText();
            more = !token.isEmpty();
            continue;
        }
        if (xml.name() != QLatin1String("Contents"))
            continue;
        while (xml.readNextStartElement()) {
            const QStringRef name = xml.name();
            if (name == QLatin1String("Key")) {
                const QString key = xml.readElementText();
                if (key.endsWith(QLatin1Char('/'))) { // folder marker
                    xml.skipCurrentElement();
                    break;
                }
                // an unsafe name leaves its entry out (the map's names become file names)
                entryName = acceptKey(key) ? key.mid(key.lastIndexOf(QLatin1Char('/')) + 1) : QString();
            } else if (name == QLatin1String("LastModified")) {
                info.lastModified = QDateTime::fromString(xml.readElementText(), Qt::ISODateWithMs);
            } else if (name == QLatin1String("ETag")) {
                const QString etag = xml.readElementText();
                info.etag = etag.mid(1, etag.size() - 2).toLatin1();
            } else if (name == QLatin1String("Size")) {
                // A size that is no count at all must not read as 0: the
                // sync takes a 0 for a deletion marker and removes the local
                // file. Sizes beyond the field's range stay "not empty".
                bool ok = false;
                const qint64 size = xml.readElementText().trimmed().toLongLong(&ok);
                if (!ok || size < 0) {
                    if (!entryName.isEmpty())
                        qWarning() << "Listing: refused an entry with an unreadable size:" << entryName.left(200);
                } else {
                    info.size = qint32(qMin<qint64>(size, std::numeric_limits<qint32>::max()));
                    if (!entryName.isEmpty())
                        map.insert(entryName, info);
                }
                xml.skipCurrentElement();
                break;
            } else {
                xml.skipCurrentElement();
            }
        }
    }
    return more;
}


QAmazonConnection::QAmazonConnection(const QByteArray &accessKeyId, const QByteArray &secretKey,
                                     QObject *parent)
    : QAmazonConnection(accessKeyId, secretKey, CloudEndpoint::configured(), parent)
{
}

QAmazonConnection::QAmazonConnection(const QByteArray &accessKeyId, const QByteArray &secretKey,
                                     const CloudEndpoint &endpoint, QObject *parent)
    : QCloudConnection(parent)
    , m_manager(new QNetworkAccessManager(this))
    , m_endpoint(endpoint)
    , m_accessKeyId(accessKeyId)
    , m_secretKey(secretKey)
{
}

bool QAmazonConnection::isSafeKey(const QString &key)
{
    if (key.isEmpty() || key.contains(QLatin1Char('\\')))
        return false;
    for (const QChar c : key) {
        if (c.category() == QChar::Other_Control)
            return false;
    }
    const QStringList parts = key.split(QLatin1Char('/'));
    for (int i = 0; i < parts.size(); ++i) {
        const QString &part = parts.at(i);
        if (part == QLatin1String(".") || part == QLatin1String(".."))
            return false;
        // "a//b" or a leading "/" would skip a folder level; a trailing "/" marks a folder
        if (part.isEmpty() && i != parts.size() - 1)
            return false;
    }
    return true;
}

QString QAmazonConnection::cleanErrorString(const QString &text)
{
    const int start = text.indexOf(QLatin1String("http"));
    if (start < 0)
        return text;
    const int end = text.indexOf(QLatin1Char(' '), start);
    QString cleaned = text;
    cleaned.remove(start, end < 0 ? text.size() - start : end - start);
    return cleaned;
}

QByteArray QAmazonConnection::expiryText() const
{
    return QByteArray::number(QDateTime::currentSecsSinceEpoch() + m_clockOffset + 200);
}

QString QAmazonConnection::signatureFor(const QByteArray &stringToSign) const
{
    QString signature = HmacSHA::hash(false, stringToSign, m_secretKey);
    signature.replace(QLatin1Char('/'), QStringLiteral("%2F"));
    signature.replace(QLatin1Char('+'), QStringLiteral("%2B"));
    return signature;
}

QNetworkRequest QAmazonConnection::createRequest(const QHash<QString, QString> &params)
{
    const QByteArray expires = expiryText();
    const QString verb = params.value(kVerb);
    const bool hasBucket = params.contains(kBucket);
    const QString bucket = params.value(kBucket);
    const QString key = params.value(kFilename);

    QByteArray toSign = verb.toLatin1() + "\n" + "\n\n" + expires + "\n";
    if (params.contains(kAcl))
        toSign += "x-amz-acl:" + params.value(kAcl).toLatin1() + "\n";
    if (params.contains(kMetaRt))
        toSign += "x-amz-meta-rt:" + params.value(kMetaRt).toLatin1() + "\n";
    if (hasBucket) {
        toSign += "/" + bucket.toUtf8() + "/";
        if (params.contains(kFilename))
            toSign += key.toUtf8();
    } else {
        toSign += "/";
    }

    QUrl url(m_endpoint.urlText(hasBucket ? bucket : QString(), key), QUrl::TolerantMode);
    QNetworkRequest request;
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("AWSAccessKeyId"), QString::fromLatin1(m_accessKeyId));
    query.addQueryItem(QStringLiteral("Signature"), signatureFor(toSign));

    if (verb == QLatin1String("PUT")) {
        const QString size = params.value(kFilesize);
        // Travels in the query: no content type header, so the request
        // agrees with the empty content type line that was signed.
        if (size != QLatin1String("0"))
            query.addQueryItem(kContentType, params.value(kContentType));
        query.addQueryItem(QStringLiteral("Content-Length"), size);
        if (params.contains(kAcl))
            request.setRawHeader("x-amz-acl", params.value(kAcl).toLatin1());
        if (params.contains(kMetaRt))
            request.setRawHeader("x-amz-meta-rt", params.value(kMetaRt).toLatin1());
    } else if (verb == QLatin1String("GET")) {
        if (params.contains(kPrefix)) {
            query.addQueryItem(QStringLiteral("list-type"), QStringLiteral("2"));
            query.addQueryItem(kPrefix, escapePlus(params.value(kPrefix)));
            query.addQueryItem(kDelimiter, params.value(kDelimiter));
            if (params.contains(kToken))
                query.addQueryItem(kToken, escapePlus(params.value(kToken)));
        }
        if (params.contains(kIfNoneMatch))
            request.setRawHeader("If-None-Match", params.value(kIfNoneMatch).toLatin1());
        if (params.contains(kIfModifiedSince)) {
            qDebug() << "GET" << key << "ifModifiedSince" << params.value(kIfModifiedSince);
            request.setRawHeader("If-Modified-Since", params.value(kIfModifiedSince).toLatin1());
        }
    }
    query.addQueryItem(QStringLiteral("Expires"), QString::fromLatin1(expires));
    url.setQuery(query);
    request.setUrl(url);
    return request;
}

QNetworkReply *QAmazonConnection::waitFor(QNetworkReply *reply)
{
    if (!reply->isFinished()) {
        QEventLoop loop;
        connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return reply;
}

QNetworkReply *QAmazonConnection::syncGet(const QNetworkRequest &request)
{
    lastError.clear();
    return waitFor(m_manager->get(request));
}

QNetworkReply *QAmazonConnection::syncPut(const QNetworkRequest &request, const QByteArray &data)
{
    lastError.clear();
    return waitFor(m_manager->put(request, data));
}

QNetworkReply *QAmazonConnection::syncHead(const QNetworkRequest &request)
{
    lastError.clear();
    return waitFor(m_manager->head(request));
}

template<typename PageParser>
bool QAmazonConnection::listPages(const QString &bucket, const QString &prefix,
                                  const char *emptyMessage, PageParser parsePage)
{
    QHash<QString, QString> params{{kVerb, QStringLiteral("GET")}, {kBucket, bucket}};
    if (!prefix.isEmpty()) {
        params.insert(kPrefix, prefix);
        params.insert(kDelimiter, QStringLiteral("/"));
    }
    QString token;
    QSet<QString> seen;   // every token of this listing
    for (;;) {
        if (!token.isEmpty())
            params.insert(kToken, token);
        QNetworkReply *reply = syncGet(createRequest(params));
        reply->deleteLater();
        if (reply->error() != QNetworkReply::NoError) {
            lastError = cleanErrorString(reply->errorString());
            lastErrorCode = reply->error();
            return false;
        }
        const QByteArray body = reply->readAll();
        if (body.isEmpty()) {
            qDebug() << emptyMessage << prefix;
            lastError = QStringLiteral("No data received");
            return false;
        }
        if (!parsePage(body, token))
            return true;
        // A service that hands back a token it gave before (A, B, A, ...)
        // would keep us here forever.
        if (seen.contains(token)) {
            qWarning() << "listing token repeated; stopping at" << prefix;
            return true;
        }
        seen.insert(token);
    }
}

QStringList QAmazonConnection::getCloudDirContents(const QString &bucket, const QString &prefix)
{
    QStringList keys;
    listPages(bucket, prefix, "getCloudDirContents empty message",
              [&keys](const QByteArray &body, QString &token) { return parseKeysPage(body, keys, token); });
    return keys;
}

bool QAmazonConnection::getCloudDirContentsLastModified(const QString &bucket, const QString &prefix,
                                                        QMap<QString, CloudFileInfo> &map)
{
    return listPages(bucket, prefix, "getCloudDirContentsLastModified empty message",
                     [&map](const QByteArray &body, QString &token) {
                         return parseDetailsPage(body, map, token);
                     });
}

QDateTime QAmazonConnection::getLastModified(const QByteArray &bucket, const QByteArray &key)
{
    const QHash<QString, QString> params{{kVerb, QStringLiteral("HEAD")},
                                         {kBucket, QString::fromLatin1(bucket)},
                                         {kFilename, QString::fromLatin1(key)}};
    QNetworkReply *reply = syncHead(createRequest(params));
    reply->deleteLater();
    if (reply->error() != QNetworkReply::NoError) {
        lastError = cleanErrorString(reply->errorString());
        lastErrorCode = reply->error();
        emit cloudError();
        return QDateTime();
    }
    return reply->header(QNetworkRequest::LastModifiedHeader).toDateTime();
}

QNetworkReply *QAmazonConnection::getFile(const QByteArray &bucket, const QByteArray &key,
                                          const QVariant &condition)
{
    QHash<QString, QString> params{{kVerb, QStringLiteral("GET")},
                                   {kBucket, QString::fromLatin1(bucket)},
                                   {kFilename, QString::fromLatin1(key)}};
    if (!condition.isNull()) {
        if (condition.userType() == QMetaType::QByteArray) {
            params.insert(kIfNoneMatch, QString::fromLatin1(condition.toByteArray()));
        } else if (condition.userType() == QMetaType::QDateTime) {
            // The date-time's own clock values, named GMT, as stored by the caller.
            params.insert(kIfModifiedSince,
                          QLocale::c().toString(condition.toDateTime(),
                                                QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'")));
        } else if (condition.canConvert<QString>()) {
            params.insert(kIfModifiedSince, condition.toString());
        }
    }
    QNetworkReply *reply = syncGet(createRequest(params));
    reply->deleteLater();
    return reply;
}

QNetworkReply *QAmazonConnection::getFileIfModifiedSince(const QByteArray &bucket, const QByteArray &key,
                                                         const QByteArray &date)
{
    QHash<QString, QString> params{{kVerb, QStringLiteral("GET")},
                                   {kBucket, QString::fromLatin1(bucket)},
                                   {kFilename, QString::fromLatin1(key)}};
    if (!date.isEmpty())
        params.insert(kIfModifiedSince, QString::fromLatin1(date));
    QNetworkReply *reply = syncGet(createRequest(params));
    reply->deleteLater();
    return reply;
}

QNetworkReply *QAmazonConnection::putFile(const QString &key, const QString &bucket,
                                          const QByteArray &body, bool isPublic)
{
    QHash<QString, QString> params{{kVerb, QStringLiteral("PUT")},
                                   {kFilename, key},
                                   {kBucket, bucket},
                                   {kContentType, QStringLiteral("text/plain")},
                                   {kFilesize, QString::number(body.size())}};
    if (isPublic)
        params.insert(kAcl, QStringLiteral("public-read"));
    QNetworkReply *reply = syncPut(createRequest(params), body);
    reply->deleteLater();
    return reply;
}

bool QAmazonConnection::copyFile(const QString &sourceKey, const QString &destinationKey,
                                 const QString &bucket)
{
    const QByteArray expires = expiryText();
    const QString source = QLatin1Char('/') + bucket + QLatin1Char('/') + sourceKey;
    const QByteArray toSign = "PUT\n\n\n" + expires + "\n" + "x-amz-copy-source:" + source.toUtf8() + "\n"
                              + "/" + bucket.toUtf8() + "/" + destinationKey.toUtf8();

    QUrl url(m_endpoint.urlText(bucket, destinationKey), QUrl::TolerantMode);
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("AWSAccessKeyId"), QString::fromLatin1(m_accessKeyId));
    query.addQueryItem(QStringLiteral("Signature"), signatureFor(toSign));
    query.addQueryItem(QStringLiteral("Expires"), QString::fromLatin1(expires));
    url.setQuery(query);
    QNetworkRequest request(url);
    request.setRawHeader("x-amz-copy-source", source.toLocal8Bit());

    lastErrorCode = 0;
    QNetworkReply *reply = syncPut(request, QByteArray());
    reply->deleteLater();
    if (reply->error() != QNetworkReply::NoError) {
        lastError = cleanErrorString(reply->errorString());
        lastErrorCode = reply->error();
        emit cloudError();
        return false;
    }
    emit finished();
    return true;
}

bool QAmazonConnection::deleteFile(const QString &key, const QString &bucket)
{
    lastError.clear();
    lastErrorCode = 0;
    const QHash<QString, QString> params{{kVerb, QStringLiteral("DELETE")}, {kFilename, key}, {kBucket, bucket}};
    QNetworkReply *reply = waitFor(m_manager->deleteResource(createRequest(params)));
    reply->deleteLater();
    if (reply->error() != QNetworkReply::NoError) {
        lastError = cleanErrorString(reply->errorString());
        lastErrorCode = reply->error();
        emit cloudError();
        return false;
    }
    return true;
}
