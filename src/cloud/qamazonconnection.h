#pragma once

#include "cloud/cloudendpoint.h"
#include "cloud/cloudfileinfo.h"
#include "cloud/qcloudconnection.h"

#include <QDateTime>
#include <QMap>
#include <QStringList>
#include <QVariant>

class QIODevice;
class QNetworkAccessManager;

// REST client of the object store, authorising every request by a signed
// query string (signature version 2). Every call is synchronous; returned
// replies have finished and are already scheduled for deletion.
class QAmazonConnection : public QCloudConnection
{
    Q_OBJECT
public:
    // The endpoint comes from the configuration (CloudEndpoint::configured()).
    QAmazonConnection(const QByteArray &accessKeyId, const QByteArray &secretKey,
                      QObject *parent = nullptr);
    QAmazonConnection(const QByteArray &accessKeyId, const QByteArray &secretKey,
                      const CloudEndpoint &endpoint, QObject *parent = nullptr);

    QString lastError;
    qint32 lastErrorCode = 0;

    const CloudEndpoint &endpoint() const { return m_endpoint; }

    // Full keys under the prefix, in listing order, over every page.
    QStringList getCloudDirContents(const QString &bucket, const QString &prefix);
    // Adds (or overwrites) name -> details for every object under the prefix;
    // false when a page failed (the map keeps what earlier pages gave).
    bool getCloudDirContentsLastModified(const QString &bucket, const QString &prefix,
                                         QMap<QString, CloudFileInfo> &map);
    QDateTime getLastModified(const QByteArray &bucket, const QByteArray &key);
    // condition: bytes = entity tag, date-time or text = modified-since, null = none.
    QNetworkReply *getFile(const QByteArray &bucket, const QByteArray &key,
                           const QVariant &condition = QVariant());
    // As getFile, the body written to sink while it arrives (nothing is
    // kept in the reply) and cut past limit bytes (DownloadBudget).
    QNetworkReply *getFileTo(const QByteArray &bucket, const QByteArray &key, QIODevice *sink, qint64 limit,
                             const QVariant &condition = QVariant());
    // The budget of the next request's reply (default: DownloadBudget::Reply).
    void setNextLimit(qint64 limit);
    QNetworkReply *getFileIfModifiedSince(const QByteArray &bucket, const QByteArray &key,
                                          const QByteArray &date);
    QNetworkReply *putFile(const QString &key, const QString &bucket, const QByteArray &body,
                           bool isPublic);
    bool copyFile(const QString &sourceKey, const QString &destinationKey, const QString &bucket);
    bool deleteFile(const QString &key, const QString &bucket);

    // A listed key the program may turn into a local path: no "." or ".."
    // part, no empty part but a trailing one, no backslash or control
    // character. Listings leave other keys out.
    static bool isSafeKey(const QString &key);

    // The network layer's error text without the request address, which
    // carries the signature. For logs only: messages come from replyErrorText.
    static QString cleanErrorString(const QString &text);
    // A failed reply told by its error's name and code and the HTTP status,
    // never by Qt's text (which holds the signed address).
    static QString replyErrorText(QNetworkReply *reply);
    // True when the reply was cut for going past its budget.
    static bool isOverBudget(const QNetworkReply *reply);
    // The key as it travels and is signed: RFC 3986 percent-encoding, "/" kept.
    static QByteArray encodeKey(const QString &key);

    // Seconds added to the device clock when signing: models a device whose
    // clock is wrong.
    void setClockOffset(qint64 seconds) { m_clockOffset = seconds; }

public slots:
    QNetworkReply *syncGet(const QNetworkRequest &request) override;
    QNetworkReply *syncPut(const QNetworkRequest &request, const QByteArray &data) override;
    QNetworkReply *syncHead(const QNetworkRequest &request) override;
    QNetworkRequest createRequest(const QHash<QString, QString> &params) override;

private:
    QByteArray expiryText() const;
    QString signatureFor(const QByteArray &stringToSign) const;
    QNetworkReply *waitFor(QNetworkReply *reply);
    template<typename PageParser>
    bool listPages(const QString &bucket, const QString &prefix, const char *emptyMessage,
                   PageParser parsePage);

    QNetworkAccessManager *m_manager;
    CloudEndpoint m_endpoint;
    QByteArray m_accessKeyId;
    QByteArray m_secretKey;
    qint64 m_clockOffset = 0;
    qint64 m_limit = 0;           // budget of the next reply; 0: DownloadBudget::Reply
    QIODevice *m_sink = nullptr;  // where the next reply's body goes
};

// One page of a storage listing reply: keys (or name -> details of the
// objects directly under the prefix) are added, refused names left out; the
// result says whether a continuation token for a further page was given.
bool parseKeysPage(const QByteArray &body, QStringList &keys, QString &token);
bool parseDetailsPage(const QByteArray &body, QMap<QString, CloudFileInfo> &map, QString &token);
