// The storage client against a real S3-compatible server (npm s3rver) on
// 127.0.0.1, started and stopped here.
#include "app/appcontext.h"
#include "app/appsettings.h"
#include "cloud/cloudreply.h"
#include "cloud/qamazonconnection.h"
#include "s3testserver.h"
#include "testenv.h"

#include <QCryptographicHash>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QUrlQuery>
#include <QtTest>
#include <memory>

namespace {

const QByteArray kBucket = "lattica";

QStringList logLines;
QtMessageHandler previousHandler = nullptr;
void captureLog(QtMsgType type, const QMessageLogContext &context, const QString &msg)
{
    logLines << msg;
    if (previousHandler)
        previousHandler(type, context, msg);
}

QUrl urlOf(const QJsonObject &entry)
{
    return QUrl(QStringLiteral("http://server") + entry.value("url").toString());
}

QStringList queryKeys(const QUrl &url)
{
    QStringList keys;
    const auto items = QUrlQuery(url).queryItems();
    for (const auto &item : items)
        keys << item.first;
    return keys;
}

QString header(const QJsonObject &entry, const char *name)
{
    return entry.value("headers").toObject().value(QLatin1String(name)).toString();
}

int status(QNetworkReply *reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

} // namespace

class TestAmazonConnection : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void putThenGetAndHead();
    void publicPutSendsAccessHeader();
    void emptyPut();
    void conditionalGet_data();
    void conditionalGet();
    void pagedListing();
    void prefixWithPlusSign();
    void detailedListing();
    void detailedListingKeepsLaterDuplicate();
    void emptyFolderAndPlainListing();
    void copyAndDelete();
    void missingObjects();
    void accessRefused_data();
    void accessRefused();

private:
    QByteArray put(const QString &key, const QByteArray &body, const QString &bucket = kBucket);

    S3TestServer m_server;
    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<QAmazonConnection> m_conn;
};

void TestAmazonConnection::initTestCase()
{
    TestEnv::initApp();
    m_data.reset(TestEnv::freshDataFolder());
    const QString reason = S3TestServer::unavailableReason();
    if (!reason.isEmpty())
        QFAIL(qPrintable("S3 test server unavailable (run scripts/setup): " + reason));
    QVERIFY2(m_server.start({"lattica", "vexatimecodes", "dupes"}, 2), qPrintable(m_server.error()));
    // the client finds the server through the configuration, as the program does
    m_server.useInSettings();
    m_conn.reset(new QAmazonConnection(S3TestServer::kKeyId, S3TestServer::kSecret));
}

void TestAmazonConnection::cleanupTestCase()
{
    m_conn.reset();
    m_server.stop();
}

void TestAmazonConnection::init()
{
    m_server.takeJournal();
    m_conn->setClockOffset(0);
}

QByteArray TestAmazonConnection::put(const QString &key, const QByteArray &body, const QString &bucket)
{
    QNetworkReply *reply = m_conn->putFile(key, bucket, body, false);
    if (reply->error() != QNetworkReply::NoError)
        return reply->errorString().toLatin1();
    return QByteArray();
}

void TestAmazonConnection::putThenGetAndHead()
{
    const QByteArray body = "[General]\nbus_s=Shutters & Co\n";
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    QNetworkReply *reply = m_conn->putFile("acct@example.com/st/lta.ini", kBucket, body, false);
    QCOMPARE(reply->error(), QNetworkReply::NoError);
    QCOMPARE(status(reply), 200);

    const QList<QJsonObject> journal = m_server.takeJournal();
    QCOMPARE(journal.size(), 1);
    QCOMPARE(journal[0].value("method").toString(), QString("PUT"));
    const QUrl url = urlOf(journal[0]);
    QCOMPARE(url.path(), QString("/lattica/acct@example.com/st/lta.ini"));
    QCOMPARE(queryKeys(url),
             QStringList({"AWSAccessKeyId", "Signature", "Content-Type", "Content-Length", "Expires"}));
    const QUrlQuery query(url);
    QCOMPARE(query.queryItemValue("Content-Type"), QString("text/plain"));
    QCOMPARE(query.queryItemValue("Content-Length"), QString::number(body.size()));
    const qint64 expires = query.queryItemValue("Expires").toLongLong();
    QVERIFY2(expires >= now + 200 && expires <= now + 210, qPrintable(QString::number(expires - now)));
    QVERIFY(header(journal[0], "x-amz-acl").isEmpty());
    QVERIFY(header(journal[0], "content-type").isEmpty());

    reply = m_conn->getFile(kBucket, "acct@example.com/st/lta.ini");
    QCOMPARE(reply->error(), QNetworkReply::NoError);
    QCOMPARE(reply->readAll(), body);

    const QDateTime modified = m_conn->getLastModified(kBucket, "acct@example.com/st/lta.ini");
    QVERIFY(modified.isValid());
    QVERIFY(qAbs(modified.toSecsSinceEpoch() - now) < 60);
    QVERIFY(m_conn->lastError.isEmpty());
}

void TestAmazonConnection::publicPutSendsAccessHeader()
{
    // The server checks the signature over the x-amz-* headers it received,
    // so success also shows the header went out as signed.
    QNetworkReply *reply = m_conn->putFile("acct@example.com/jbs/A1.vexa.vexa", kBucket, "{\"orderID\":\"A1\"}", true);
    QCOMPARE(reply->error(), QNetworkReply::NoError);
    QList<QJsonObject> journal = m_server.takeJournal();
    QCOMPARE(journal.size(), 1);
    QCOMPARE(header(journal[0], "x-amz-acl"), QString("public-read"));

    // both access and metadata headers, in the signed order
    const QHash<QString, QString> params{{"verb", "PUT"}, {"bucket", "lattica"}, {"filename", "acct@example.com/meta"},
                                         {"filesize", "2"}, {"Content-Type", "text/plain"},
                                         {"x-amz-acl", "public-read"}, {"x-amz-meta-rt", "1733480000"}};
    reply = m_conn->syncPut(m_conn->createRequest(params), "ok");
    reply->deleteLater();
    QCOMPARE(reply->error(), QNetworkReply::NoError);
    journal = m_server.takeJournal();
    QCOMPARE(journal.size(), 1);
    QCOMPARE(header(journal[0], "x-amz-meta-rt"), QString("1733480000"));
    QCOMPARE(header(journal[0], "x-amz-acl"), QString("public-read"));
}

void TestAmazonConnection::emptyPut()
{
    QNetworkReply *reply = m_conn->putFile("acct@example.com/mod/jbs", kBucket, QByteArray(), false);
    QCOMPARE(reply->error(), QNetworkReply::NoError);
    const QList<QJsonObject> journal = m_server.takeJournal();
    QCOMPARE(journal.size(), 1);
    const QUrl url = urlOf(journal[0]);
    QCOMPARE(queryKeys(url), QStringList({"AWSAccessKeyId", "Signature", "Content-Length", "Expires"}));
    QCOMPARE(QUrlQuery(url).queryItemValue("Content-Length"), QString("0"));

    reply = m_conn->getFile(kBucket, "acct@example.com/mod/jbs");
    QCOMPARE(reply->error(), QNetworkReply::NoError);
    QCOMPARE(reply->readAll(), QByteArray());
}

void TestAmazonConnection::conditionalGet_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("expectedStatus");
    QTest::newRow("same entity tag") << "etag" << 304;
    QTest::newRow("other entity tag") << "otheretag" << 200;
    QTest::newRow("date-time of last change") << "datetime" << 304;
    QTest::newRow("header text of last change") << "text" << 304;
    QTest::newRow("bytes through getFileIfModifiedSince") << "bytes" << 304;
    QTest::newRow("a minute before the change") << "older" << 200;
    QTest::newRow("no condition") << "none" << 200;
}

void TestAmazonConnection::conditionalGet()
{
    QFETCH(QString, kind);
    QFETCH(int, expectedStatus);
    const QByteArray key = "acct@example.com/V3VexaData.zip";
    const QByteArray body = "PK\x03\x04 catalogue";
    QCOMPARE(put(QString::fromLatin1(key), body), QByteArray());

    QNetworkReply *first = m_conn->getFile(kBucket, key);
    QCOMPARE(first->error(), QNetworkReply::NoError);
    const QByteArray etag = first->rawHeader("ETag");
    const QByteArray lastModifiedText = first->rawHeader("Last-Modified");
    const QDateTime lastModified = m_conn->getLastModified(kBucket, key);
    QVERIFY(!etag.isEmpty() && !lastModifiedText.isEmpty() && lastModified.isValid());
    m_server.takeJournal();

    QNetworkReply *reply = nullptr;
    if (kind == "etag")
        reply = m_conn->getFile(kBucket, key, etag);
    else if (kind == "otheretag")
        reply = m_conn->getFile(kBucket, key, QByteArray("\"0123456789abcdef0123456789abcdef\""));
    else if (kind == "datetime")
        reply = m_conn->getFile(kBucket, key, lastModified.toUTC());
    else if (kind == "text")
        reply = m_conn->getFile(kBucket, key, QString::fromLatin1(lastModifiedText));
    else if (kind == "bytes")
        reply = m_conn->getFileIfModifiedSince(kBucket, key, lastModifiedText);
    else if (kind == "older")
        reply = m_conn->getFile(kBucket, key, lastModified.toUTC().addSecs(-60));
    else
        reply = m_conn->getFile(kBucket, key, QVariant());

    QCOMPARE(status(reply), expectedStatus);
    QVERIFY(reply->error() == QNetworkReply::NoError);
    QCOMPARE(reply->readAll(), expectedStatus == 304 ? QByteArray() : body);

    const QList<QJsonObject> journal = m_server.takeJournal();
    QCOMPARE(journal.size(), 1);
    if (kind == "etag")
        QCOMPARE(header(journal[0], "if-none-match"), QString::fromLatin1(etag));
    if (kind == "datetime" || kind == "text" || kind == "bytes")
        QCOMPARE(header(journal[0], "if-modified-since"), QString::fromLatin1(lastModifiedText));
    if (kind == "none") {
        QVERIFY(header(journal[0], "if-none-match").isEmpty());
        QVERIFY(header(journal[0], "if-modified-since").isEmpty());
    }
}

void TestAmazonConnection::pagedListing()
{
    const QString prefix = "pages@example.com/jbs/";
    QStringList expected{prefix}; // the folder marker itself
    QCOMPARE(put(prefix, QByteArray()), QByteArray());
    for (int i = 0; i < 9; ++i) {
        const QString key = prefix + QStringLiteral("order-%1.vexa").arg(i);
        QCOMPARE(put(key, QByteArray::number(i)), QByteArray());
        expected << key;
    }
    QCOMPARE(put(prefix + "sub/deeper.vexa", "x"), QByteArray()); // not a direct child
    m_server.takeJournal();

    const QStringList keys = m_conn->getCloudDirContents("lattica", prefix);
    QCOMPARE(keys, expected);
    QVERIFY(m_conn->lastError.isEmpty());

    // ten keys at two a page: several requests, each following the token
    const QList<QJsonObject> journal = m_server.takeJournal();
    QVERIFY2(journal.size() >= 5, qPrintable(QString::number(journal.size())));
    for (int i = 0; i < journal.size(); ++i) {
        const QUrl url = urlOf(journal[i]);
        QCOMPARE(url.path(), QString("/lattica/"));
        QStringList keysOrder{"AWSAccessKeyId", "Signature", "list-type", "prefix", "delimiter"};
        if (i > 0)
            keysOrder << "continuation-token";
        keysOrder << "Expires";
        QCOMPARE(queryKeys(url), keysOrder);
        const QUrlQuery q(url);
        QCOMPARE(q.queryItemValue("list-type"), QString("2"));
        QCOMPARE(q.queryItemValue("prefix", QUrl::FullyDecoded), prefix);
        QCOMPARE(q.queryItemValue("delimiter", QUrl::FullyDecoded), QString("/"));
        QVERIFY(!journal[i].value("url").toString().contains('+'));
    }
}

void TestAmazonConnection::prefixWithPlusSign()
{
    const QString prefix = "sales+north@example.com/xfer/u2/";
    QCOMPARE(put(prefix + "T1.vexa", "t1"), QByteArray());
    QCOMPARE(put(prefix + "T2.vexa", "t2"), QByteArray());
    QCOMPARE(put(prefix + "T3.vexa", "t3"), QByteArray());
    QCOMPARE(m_conn->getCloudDirContents("lattica", prefix),
             QStringList({prefix + "T1.vexa", prefix + "T2.vexa", prefix + "T3.vexa"}));
}

void TestAmazonConnection::detailedListing()
{
    const QString prefix = "details@example.com/st/";
    QMap<QString, QByteArray> bodies;
    QCOMPARE(put(prefix, QByteArray()), QByteArray());
    for (int i = 0; i < 5; ++i) {
        const QString name = QStringLiteral("file%1.ini").arg(i);
        bodies.insert(name, QByteArray("content ").repeated(i + 1));
        QCOMPARE(put(prefix + name, bodies.value(name)), QByteArray());
    }
    QCOMPARE(put(prefix + "sub/other.ini", "o"), QByteArray());
    const QDateTime now = QDateTime::currentDateTimeUtc();

    QMap<QString, CloudFileInfo> map;
    map.insert("kept-from-before", CloudFileInfo{});
    QVERIFY(m_conn->getCloudDirContentsLastModified("lattica", prefix, map));
    QVERIFY(m_conn->lastError.isEmpty());
    QCOMPARE(map.size(), 6);
    QVERIFY(map.contains("kept-from-before"));
    QVERIFY(!map.contains(QString()) && !map.contains("st") && !map.contains("sub"));
    for (auto it = bodies.cbegin(); it != bodies.cend(); ++it) {
        QVERIFY2(map.contains(it.key()), qPrintable(it.key()));
        const CloudFileInfo info = map.value(it.key());
        QCOMPARE(info.size, it.value().size());
        QCOMPARE(info.etag, QCryptographicHash::hash(it.value(), QCryptographicHash::Md5).toHex());
        QVERIFY(info.lastModified.isValid());
        QCOMPARE(info.lastModified.timeSpec(), Qt::UTC);
        QVERIFY(qAbs(info.lastModified.secsTo(now)) < 60);
    }
}

void TestAmazonConnection::detailedListingKeepsLaterDuplicate()
{
    // An empty prefix lists the whole bucket in one page, so two keys may
    // share a last component; the later entry wins.
    QCOMPARE(put("a/same.txt", "first", "dupes"), QByteArray());
    QCOMPARE(put("b/same.txt", "second!", "dupes"), QByteArray());
    QMap<QString, CloudFileInfo> map;
    QVERIFY(m_conn->getCloudDirContentsLastModified("dupes", QString(), map));
    QCOMPARE(map.keys(), QStringList({"same.txt"}));
    QCOMPARE(map.value("same.txt").size, 7);
}

void TestAmazonConnection::emptyFolderAndPlainListing()
{
    QCOMPARE(m_conn->getCloudDirContents("lattica", "nobody@example.com/"), QStringList());
    QVERIFY(m_conn->lastError.isEmpty());
    QMap<QString, CloudFileInfo> map;
    QVERIFY(m_conn->getCloudDirContentsLastModified("lattica", "nobody@example.com/", map));
    QVERIFY(map.isEmpty());
    m_server.takeJournal();

    // without a prefix: a plain listing, one page only
    QCOMPARE(put("plain/one", "1"), QByteArray());
    QCOMPARE(put("plain/two", "2"), QByteArray());
    QCOMPARE(put("plain/three", "3"), QByteArray());
    m_server.takeJournal();
    const QStringList keys = m_conn->getCloudDirContents("lattica", QString());
    QCOMPARE(keys.size(), 2);
    const QList<QJsonObject> journal = m_server.takeJournal();
    QCOMPARE(journal.size(), 1);
    QCOMPARE(queryKeys(urlOf(journal[0])), QStringList({"AWSAccessKeyId", "Signature", "Expires"}));
}

void TestAmazonConnection::copyAndDelete()
{
    const QString source = "acct@example.com/xfer/u1/X9.vexa";
    const QString target = "acct@example.com/a/X9.vexa";
    QCOMPARE(put(source, "{\"orderID\":\"X9\"}"), QByteArray());
    m_server.takeJournal();

    QSignalSpy finished(m_conn.get(), &QCloudConnection::finished);
    QSignalSpy failed(m_conn.get(), &QCloudConnection::cloudError);
    QVERIFY(m_conn->copyFile(source, target, "lattica"));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(failed.count(), 0);
    const QList<QJsonObject> journal = m_server.takeJournal();
    QCOMPARE(journal.size(), 1);
    QCOMPARE(header(journal[0], "x-amz-copy-source"), QString("/lattica/") + source);
    QCOMPARE(queryKeys(urlOf(journal[0])), QStringList({"AWSAccessKeyId", "Signature", "Expires"}));

    QNetworkReply *reply = m_conn->getFile(kBucket, target.toLatin1());
    QCOMPARE(reply->error(), QNetworkReply::NoError);
    QCOMPARE(reply->readAll(), QByteArray("{\"orderID\":\"X9\"}"));

    QVERIFY(m_conn->deleteFile(source, "lattica"));
    QVERIFY(m_conn->lastError.isEmpty());
    reply = m_conn->getFile(kBucket, source.toLatin1());
    QCOMPARE(reply->error(), QNetworkReply::ContentNotFoundError);
    QCOMPARE(m_conn->getCloudDirContents("lattica", "acct@example.com/xfer/u1/"), QStringList());

    // copying what is no longer there fails cleanly
    QVERIFY(!m_conn->copyFile(source, target, "lattica"));
    QCOMPARE(failed.count(), 1);
    QVERIFY(!m_conn->lastError.isEmpty());
    QVERIFY(!m_conn->lastError.contains("Signature"));
    QVERIFY(!m_conn->lastError.contains("127.0.0.1"));
}

void TestAmazonConnection::missingObjects()
{
    QSignalSpy failed(m_conn.get(), &QCloudConnection::cloudError);
    QVERIFY(!m_conn->getLastModified(kBucket, "ghost@example.com/nxtdev").isValid());
    QCOMPARE(m_conn->lastErrorCode, int(QNetworkReply::ContentNotFoundError));
    QCOMPARE(failed.count(), 1);

    QNetworkReply *reply = m_conn->getFile(kBucket, "ghost@example.com/enc");
    QString message;
    QVERIFY(!checkCloudReply(reply, true, &message));
    QCOMPARE(message, QString("Failed to find your account or catalogue data in the cloud."));

    // an empty object is found but holds nothing
    QCOMPARE(put("ghost@example.com/enc", QByteArray()), QByteArray());
    reply = m_conn->getFile(kBucket, "ghost@example.com/enc");
    QVERIFY(!checkCloudReply(reply, true, &message));
    QCOMPARE(message, QString("Cloud data found but 0 bytes"));
    QVERIFY(checkCloudReply(reply, false, &message));
}

void TestAmazonConnection::accessRefused_data()
{
    QTest::addColumn<QByteArray>("keyId");
    QTest::addColumn<QByteArray>("secret");
    QTest::addColumn<int>("clockOffset");
    QTest::newRow("wrong secret") << QByteArray(S3TestServer::kKeyId) << QByteArray("not-the-secret") << 0;
    QTest::newRow("expired signature") << QByteArray(S3TestServer::kKeyId) << QByteArray(S3TestServer::kSecret) << -600;
    QTest::newRow("unknown key id") << QByteArray("NOSUCHKEY") << QByteArray(S3TestServer::kSecret) << 0;
}

void TestAmazonConnection::accessRefused()
{
    QFETCH(QByteArray, keyId);
    QFETCH(QByteArray, secret);
    QFETCH(int, clockOffset);
    QCOMPARE(put("acct@example.com/nxtdev", "4"), QByteArray());

    QAmazonConnection conn(keyId, secret, m_server.endpoint());
    conn.setClockOffset(clockOffset);
    const QString accessDenied = "Access denied. Check that your device time is correct. It must be within 2 mins "
                                 "of actual time, and account is correct";

    logLines.clear();
    previousHandler = qInstallMessageHandler(captureLog);
    QString message;
    QStringList errors;

    QNetworkReply *reply = conn.getFile(kBucket, "acct@example.com/nxtdev", QDateTime::currentDateTimeUtc().addDays(-1));
    QVERIFY(!checkCloudReply(reply, true, &message));
    QCOMPARE(message, accessDenied);
    errors << reply->errorString();

    reply = conn.putFile("acct@example.com/nxtdev", "lattica", "5", false);
    QVERIFY(!checkCloudReply(reply, false, &message));
    QCOMPARE(message, accessDenied);

    QVERIFY(conn.getCloudDirContents("lattica", "acct@example.com/").isEmpty());
    QCOMPARE(conn.lastErrorCode, int(QNetworkReply::ContentAccessDenied));
    errors << conn.lastError;
    QCOMPARE(cloudReplyMessage(conn.lastErrorCode, conn.lastError), accessDenied);

    QVERIFY(!conn.getLastModified(kBucket, "acct@example.com/nxtdev").isValid());
    QCOMPARE(conn.lastErrorCode, int(QNetworkReply::ContentAccessDenied));
    errors << conn.lastError;
    QVERIFY(!conn.copyFile("acct@example.com/nxtdev", "acct@example.com/copy", "lattica"));
    errors << conn.lastError;
    QVERIFY(!conn.deleteFile("acct@example.com/nxtdev", "lattica"));
    errors << conn.lastError;
    qInstallMessageHandler(previousHandler);

    // the object is untouched
    reply = m_conn->getFile(kBucket, "acct@example.com/nxtdev");
    QCOMPARE(reply->readAll(), QByteArray("4"));

    // the raw reply text carries the signed address; nothing the client
    // stores or logs does
    QVERIFY(errors.first().contains("Signature="));
    for (const QString &e : errors.mid(1)) {
        QVERIFY2(!e.isEmpty(), "no error recorded");
        QVERIFY2(!e.contains("Signature") && !e.contains("AWSAccessKeyId") && !e.contains("http"), qPrintable(e));
    }
    QVERIFY(!message.contains("Signature"));
    for (const QString &line : qAsConst(logLines))
        QVERIFY2(!line.contains("Signature=") && !line.contains("AWSAccessKeyId="), qPrintable(line));
}

QTEST_GUILESS_MAIN(TestAmazonConnection)
#include "tst_amazonconnection.moc"
