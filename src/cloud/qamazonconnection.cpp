#include "qamazonconnection.h"

#include "cloud/cloudreply.h"
#include "cloud/downloadbudget.h"
#include "cloud/hmacsha.h"

#include <QDebug>
#include <QEventLoop>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSet>
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

const char *kOverBudget = "lta_overBudget";

// name=value with both fully percent-encoded: what the service decodes is
// exactly what was given ("+", "%" and blanks included).
void addQueryItem(QByteArray &query, const char *name, const QString &value)
{
    if (!query.isEmpty())
        query += '&';
    query += name;
    query += '=';
    query += QUrl::toPercentEncoding(value);
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
    // The address may hold blanks (a decoded key), so no blank marks its
    // end: everything from it up to Qt's " - server replied" goes, or the
    // whole rest of the text.
    static const QRegularExpression address(QStringLiteral("(https?|ftps?)://"),
                                            QRegularExpression::CaseInsensitiveOption);
    QString cleaned = text;
    for (int start = cleaned.indexOf(address); start >= 0; start = cleaned.indexOf(address, start)) {
        const int end = cleaned.indexOf(QLatin1String(" - server replied"), start);
        cleaned.remove(start, end < 0 ? cleaned.size() - start : end - start);
    }
    // anything left that still looks like a signed query goes too
    for (const QLatin1String marker : {QLatin1String("Signature="), QLatin1String("AWSAccessKeyId=")}) {
        const int at = cleaned.indexOf(marker, 0, Qt::CaseInsensitive);
        if (at >= 0)
            cleaned.truncate(at);
    }
    return cleaned.trimmed();
}

QString QAmazonConnection::replyErrorText(QNetworkReply *reply)
{
    if (!reply)
        return QString();
    if (isOverBudget(reply))
        return QStringLiteral("The reply was larger than expected and was refused");
    return networkErrorText(reply->error(), reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt());
}

bool QAmazonConnection::isOverBudget(const QNetworkReply *reply)
{
    return reply && reply->property(kOverBudget).toBool();
}

QByteArray QAmazonConnection::encodeKey(const QString &key)
{
    // RFC 3986: everything but the unreserved characters, "/" kept as the
    // folder separator. This text is both sent and signed.
    return QUrl::toPercentEncoding(key, "/");
}

QByteArray QAmazonConnection::expiryText() const
{
    return QByteArray::number(QDateTime::currentSecsSinceEpoch() + m_clockOffset + 200);
}

QString QAmazonConnection::signatureFor(const QByteArray &stringToSign) const
{
    // plain Base64: the query encoding escapes "/", "+" and "="
    return HmacSHA::hash(false, stringToSign, m_secretKey);
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
    // The key is encoded once; the same text goes into the address and into
    // the string to sign, as the service reads the path it receives.
    const QByteArray encodedKey = params.contains(kFilename) ? encodeKey(key) : QByteArray();
    if (hasBucket)
        toSign += "/" + bucket.toUtf8() + "/" + encodedKey;
    else
        toSign += "/";

    QNetworkRequest request;
    QByteArray query;
    addQueryItem(query, "AWSAccessKeyId", QString::fromLatin1(m_accessKeyId));
    addQueryItem(query, "Signature", signatureFor(toSign));

    if (verb == QLatin1String("PUT")) {
        const QString size = params.value(kFilesize);
        // Travels in the query: no content type header, so the request
        // agrees with the empty content type line that was signed.
        if (size != QLatin1String("0"))
            addQueryItem(query, "Content-Type", params.value(kContentType));
        addQueryItem(query, "Content-Length", size);
        if (params.contains(kAcl))
            request.setRawHeader("x-amz-acl", params.value(kAcl).toLatin1());
        if (params.contains(kMetaRt))
            request.setRawHeader("x-amz-meta-rt", params.value(kMetaRt).toLatin1());
    } else if (verb == QLatin1String("GET")) {
        if (params.contains(kPrefix)) {
            addQueryItem(query, "list-type", QStringLiteral("2"));
            addQueryItem(query, "prefix", params.value(kPrefix));
            addQueryItem(query, "delimiter", params.value(kDelimiter));
            if (params.contains(kToken))
                addQueryItem(query, "continuation-token", params.value(kToken));
        }
        if (params.contains(kIfNoneMatch))
            request.setRawHeader("If-None-Match", params.value(kIfNoneMatch).toLatin1());
        if (params.contains(kIfModifiedSince)) {
            qDebug() << "GET" << key << "ifModifiedSince" << params.value(kIfModifiedSince);
            request.setRawHeader("If-Modified-Since", params.value(kIfModifiedSince).toLatin1());
        }
    }
    addQueryItem(query, "Expires", QString::fromLatin1(expires));
    request.setUrl(QUrl::fromEncoded(m_endpoint.encodedUrl(hasBucket ? bucket : QString(), encodedKey) + '?' + query,
                                     QUrl::StrictMode));
    request.setTransferTimeout(DownloadBudget::stallSeconds() * 1000);
    return request;
}

QNetworkReply *QAmazonConnection::waitFor(QNetworkReply *reply)
{
    // Taken now: a nested call may set its own while this one waits.
    const qint64 limit = m_limit > 0 ? m_limit : DownloadBudget::limit(DownloadBudget::Reply);
    QIODevice *sink = m_sink;
    m_limit = 0;
    m_sink = nullptr;
    qint64 taken = 0;
    bool sinkFailed = false;
    auto overBudget = [reply, limit] {
        qWarning() << "Storage reply refused: more than" << limit << "bytes";
        reply->setProperty(kOverBudget, true);
        reply->abort();
    };
    // A body past its budget is cut while it arrives, announced or not; a
    // sink takes it piece by piece instead of memory.
    auto drain = [&] {
        if (reply->property(kOverBudget).toBool())
            return;
        if (!sink) {
            if (reply->bytesAvailable() > limit)
                overBudget();
            return;
        }
        const QByteArray piece = reply->readAll();
        taken += piece.size();
        if (taken > limit) {
            overBudget();
        } else if (!sinkFailed && sink->write(piece) != piece.size()) {
            sinkFailed = true;
            reply->setProperty("lta_sinkFailed", true);
            reply->abort();
        }
    };
    {
        QObject context;
        connect(reply, &QNetworkReply::metaDataChanged, &context, [reply, limit, overBudget] {
            // a HEAD announces the object's length without sending it
            if (reply->operation() != QNetworkAccessManager::GetOperation)
                return;
            bool ok = false;
            const qint64 announced = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&ok);
            if (ok && announced > limit && !reply->property(kOverBudget).toBool())
                overBudget();
        });
        connect(reply, &QNetworkReply::readyRead, &context, drain);
        if (!reply->isFinished()) {
            QEventLoop loop;
            connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
            loop.exec();
        }
    }
    drain();
    return reply;
}

QNetworkReply *QAmazonConnection::getFileTo(const QByteArray &bucket, const QByteArray &key, QIODevice *sink,
                                            qint64 limit, const QVariant &condition)
{
    m_sink = sink;
    m_limit = limit;
    return getFile(bucket, key, condition);
}

void QAmazonConnection::setNextLimit(qint64 limit)
{
    m_limit = limit;
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
            lastError = replyErrorText(reply);
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
                                         {kFilename, QString::fromUtf8(key)}};
    QNetworkReply *reply = syncHead(createRequest(params));
    reply->deleteLater();
    if (reply->error() != QNetworkReply::NoError) {
        lastError = replyErrorText(reply);
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
                                   {kFilename, QString::fromUtf8(key)}};
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
                                   {kFilename, QString::fromUtf8(key)}};
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
    // Both keys encoded once, as sent. The copy source header is read as a
    // path: only what a path cannot carry is encoded (blanks, "%", "?", "#",
    // letters beyond ASCII), and the signature covers the header as sent.
    const QByteArray source = "/" + bucket.toUtf8() + "/" + QUrl::toPercentEncoding(sourceKey, "/!$&'()*+,;=:@");
    const QByteArray destination = encodeKey(destinationKey);
    const QByteArray toSign = "PUT\n\n\n" + expires + "\n" + "x-amz-copy-source:" + source + "\n" + "/"
                              + bucket.toUtf8() + "/" + destination;

    QByteArray query;
    addQueryItem(query, "AWSAccessKeyId", QString::fromLatin1(m_accessKeyId));
    addQueryItem(query, "Signature", signatureFor(toSign));
    addQueryItem(query, "Expires", QString::fromLatin1(expires));
    QNetworkRequest request(QUrl::fromEncoded(m_endpoint.encodedUrl(bucket, destination) + '?' + query, QUrl::StrictMode));
    request.setTransferTimeout(DownloadBudget::stallSeconds() * 1000);
    request.setRawHeader("x-amz-copy-source", source);

    lastErrorCode = 0;
    QNetworkReply *reply = syncPut(request, QByteArray());
    reply->deleteLater();
    if (reply->error() != QNetworkReply::NoError) {
        lastError = replyErrorText(reply);
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
        lastError = replyErrorText(reply);
        lastErrorCode = reply->error();
        emit cloudError();
        return false;
    }
    return true;
}
