// The storage client against a real S3-compatible server (npm s3rver) on
// 127.0.0.1, started and stopped here.
#include "app/appcontext.h"
#include "cloud/cloudreply.h"
#include "cloud/qamazonconnection.h"
#include "testenv.h"
#include "testservers.h"

#include <QCryptographicHash>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QUrlQuery>
#include <QtTest>
#include <memory>

namespace {
const QByteArray kBucket = "lattica";
const QString kDenied = "Access denied. Check that your device time is correct. It must be within 2 mins "
                        "of actual time, and account is correct";
QStringList logLines;

QUrl urlOf(const QJsonObject &entry) { return QUrl("http://server" + entry.value("url").toString()); }
QString header(const QJsonObject &entry, const char *name)
{
    return entry.value("headers").toObject().value(QLatin1String(name)).toString();
}
QStringList queryKeys(const QJsonObject &entry)
{
    QStringList keys;
    for (const auto &item : QUrlQuery(urlOf(entry)).queryItems())
        keys << item.first;
    return keys;
}
int status(QNetworkReply *reply) { return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(); }
} // namespace

class TestAmazonConnection : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { m_server.take(); }
    void putGetAndHead();
    void publicPutSendsSignedHeaders();
    void conditionalGet_data();
    void conditionalGet();
    void pagedListing();
    void detailedListing();
    void emptyFolderAndPlainListing();
    void copyAndDelete();
    void missingObjects();
    void accessRefused_data();
    void accessRefused();

private:
    void put(const QString &key, const QByteArray &body, const QString &bucket = kBucket)
    {
        QNetworkReply *reply = m_conn->putFile(key, bucket, body, false);
        QVERIFY2(reply->error() == QNetworkReply::NoError, qPrintable(key + ": " + reply->errorString()));
    }

    S3TestServer m_server;
    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<QAmazonConnection> m_conn;
};

void TestAmazonConnection::initTestCase()
{
    TestEnv::initApp();
    m_data.reset(TestEnv::freshDataFolder());
    QVERIFY2(m_server.start({"lattica", "dupes"}, 2), qPrintable(m_server.error()));
    m_server.useInSettings(); // found through the configuration, as the program does
    m_conn.reset(new QAmazonConnection(S3TestServer::kKeyId, S3TestServer::kSecret));
}

void TestAmazonConnection::putGetAndHead()
{
    const QByteArray body = "[General]\nbus_s=Shutters & Co\n";
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    QNetworkReply *reply = m_conn->putFile("acct@example.com/st/lta.ini", kBucket, body, false);
    QCOMPARE(reply->error(), QNetworkReply::NoError);
    QCOMPARE(status(reply), 200);
    QList<QJsonObject> journal = m_server.take();
    QCOMPARE(journal.size(), 1);
    QCOMPARE(journal[0].value("method").toString(), QString("PUT"));
    QCOMPARE(urlOf(journal[0]).path(), QString("/lattica/acct@example.com/st/lta.ini"));
    QCOMPARE(queryKeys(journal[0]),
             QStringList({"AWSAccessKeyId", "Signature", "Content-Type", "Content-Length", "Expires"}));
    const QUrlQuery query(urlOf(journal[0]));
    QCOMPARE(query.queryItemValue("Content-Type"), QString("text/plain"));
    QCOMPARE(query.queryItemValue("Content-Length"), QString::number(body.size()));
    const qint64 expires = query.queryItemValue("Expires").toLongLong();
    QVERIFY2(expires >= now + 200 && expires <= now + 210, qPrintable(QString::number(expires - now)));
    QVERIFY(header(journal[0], "x-amz-acl").isEmpty() && header(journal[0], "content-type").isEmpty());

    reply = m_conn->getFile(kBucket, "acct@example.com/st/lta.ini");
    QCOMPARE(reply->readAll(), body);
    const QDateTime modified = m_conn->getLastModified(kBucket, "acct@example.com/st/lta.ini");
    QVERIFY(qAbs(modified.toSecsSinceEpoch() - now) < 60);
    QVERIFY(m_conn->lastError.isEmpty());

    // an empty body sends no content type
    m_server.take();
    QCOMPARE(m_conn->putFile("acct@example.com/mod/jbs", kBucket, QByteArray(), false)->error(), QNetworkReply::NoError);
    journal = m_server.take();
    QCOMPARE(queryKeys(journal.value(0)), QStringList({"AWSAccessKeyId", "Signature", "Content-Length", "Expires"}));
    QCOMPARE(QUrlQuery(urlOf(journal[0])).queryItemValue("Content-Length"), QString("0"));
    reply = m_conn->getFile(kBucket, "acct@example.com/mod/jbs");
    QCOMPARE(reply->error(), QNetworkReply::NoError);
    QCOMPARE(reply->readAll(), QByteArray());
}

void TestAmazonConnection::publicPutSendsSignedHeaders()
{
    // The server checks the signature over the x-amz-* headers it received,
    // so success also shows they went out as signed, in order.
    const QHash<QString, QString> params{{"verb", "PUT"}, {"bucket", "lattica"}, {"filename", "acct@example.com/meta"},
                                         {"filesize", "2"}, {"Content-Type", "text/plain"},
                                         {"x-amz-acl", "public-read"}, {"x-amz-meta-rt", "1733480000"}};
    QNetworkReply *reply = m_conn->syncPut(m_conn->createRequest(params), "ok");
    reply->deleteLater();
    QCOMPARE(reply->error(), QNetworkReply::NoError);
    const QJsonObject entry = m_server.take().value(0);
    QCOMPARE(header(entry, "x-amz-meta-rt") + header(entry, "x-amz-acl"), QString("1733480000public-read"));
}

void TestAmazonConnection::conditionalGet_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("expected");
    QTest::newRow("etag") << "etag" << 304;
    QTest::newRow("other etag") << "otheretag" << 200;
    QTest::newRow("date-time") << "datetime" << 304;
    QTest::newRow("header text") << "text" << 304;
    QTest::newRow("bytes") << "bytes" << 304;
    QTest::newRow("a minute before") << "older" << 200;
    QTest::newRow("none") << "none" << 200;
}

void TestAmazonConnection::conditionalGet()
{
    QFETCH(QString, kind);
    QFETCH(int, expected);
    const QByteArray key = "acct@example.com/V3VexaData.zip", body = "PK\x03\x04 catalogue";
    put(key, body);
    const QByteArray etag = m_conn->getFile(kBucket, key)->rawHeader("ETag");
    const QByteArray modifiedText = m_conn->getFile(kBucket, key)->rawHeader("Last-Modified");
    const QDateTime modified = m_conn->getLastModified(kBucket, key).toUTC();
    QVERIFY(!etag.isEmpty() && !modifiedText.isEmpty() && modified.isValid());

    QNetworkReply *reply = kind == "etag"        ? m_conn->getFile(kBucket, key, etag)
                         : kind == "otheretag"   ? m_conn->getFile(kBucket, key, QByteArray("\"0123456789abcdef\""))
                         : kind == "datetime"    ? m_conn->getFile(kBucket, key, modified)
                         : kind == "text"        ? m_conn->getFile(kBucket, key, QString::fromLatin1(modifiedText))
                         : kind == "bytes"       ? m_conn->getFileIfModifiedSince(kBucket, key, modifiedText)
                         : kind == "older"       ? m_conn->getFile(kBucket, key, modified.addSecs(-60))
                                                 : m_conn->getFile(kBucket, key, QVariant());
    QCOMPARE(status(reply), expected);
    QCOMPARE(reply->error(), QNetworkReply::NoError);
    QCOMPARE(reply->readAll(), expected == 304 ? QByteArray() : body);
}

void TestAmazonConnection::pagedListing()
{
    // "+" in a prefix must not reach the server as a blank
    const QString prefix = "sales+north@example.com/jbs/";
    QStringList expected{prefix}; // the folder marker itself
    put(prefix, QByteArray());
    for (int i = 0; i < 9; ++i) {
        expected << prefix + QStringLiteral("order-%1.vexa").arg(i);
        put(expected.last(), QByteArray::number(i));
    }
    put(prefix + "sub/deeper.vexa", "x"); // not a direct child
    m_server.take();

    QCOMPARE(m_conn->getCloudDirContents("lattica", prefix), expected);
    QVERIFY(m_conn->lastError.isEmpty());
    // ten keys at two a page: several requests, each following the token
    const QList<QJsonObject> journal = m_server.take();
    QVERIFY2(journal.size() >= 5, qPrintable(QString::number(journal.size())));
    for (int i = 0; i < journal.size(); ++i) {
        QCOMPARE(urlOf(journal[i]).path(), QString("/lattica/"));
        QStringList order{"AWSAccessKeyId", "Signature", "list-type", "prefix", "delimiter"};
        QCOMPARE(queryKeys(journal[i]), order << (i ? QStringList{"continuation-token", "Expires"} : QStringList{"Expires"}));
        const QUrlQuery q(urlOf(journal[i]));
        QCOMPARE(q.queryItemValue("list-type"), QString("2"));
        QCOMPARE(q.queryItemValue("prefix", QUrl::FullyDecoded), prefix);
        QCOMPARE(q.queryItemValue("delimiter", QUrl::FullyDecoded), QString("/"));
        QVERIFY(!journal[i].value("url").toString().contains('+'));
    }
}

void TestAmazonConnection::detailedListing()
{
    const QString prefix = "details@example.com/st/";
    put(prefix, QByteArray());
    for (int i = 0; i < 5; ++i)
        put(prefix + QStringLiteral("file%1.ini").arg(i), QByteArray("content ").repeated(i + 1));
    put(prefix + "sub/other.ini", "o");

    QMap<QString, CloudFileInfo> map{{"kept-from-before", CloudFileInfo{}}};
    QVERIFY(m_conn->getCloudDirContentsLastModified("lattica", prefix, map));
    QVERIFY(m_conn->lastError.isEmpty());
    QCOMPARE(map.keys(), QStringList({"file0.ini", "file1.ini", "file2.ini", "file3.ini", "file4.ini", "kept-from-before"}));
    for (int i = 0; i < 5; ++i) {
        const CloudFileInfo info = map.value(QStringLiteral("file%1.ini").arg(i));
        const QByteArray body = QByteArray("content ").repeated(i + 1);
        QCOMPARE(info.size, body.size());
        QCOMPARE(info.etag, QCryptographicHash::hash(body, QCryptographicHash::Md5).toHex());
        QCOMPARE(info.lastModified.timeSpec(), Qt::UTC);
        QVERIFY(qAbs(info.lastModified.secsTo(QDateTime::currentDateTimeUtc())) < 60);
    }

    // the whole bucket in one page: of two keys with one last component, the later wins
    put("a/same.txt", "first", "dupes");
    put("b/same.txt", "second!", "dupes");
    map.clear();
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

    // without a prefix: a plain listing, one page only
    for (const char *key : {"plain/one", "plain/two", "plain/three"})
        put(key, "1");
    m_server.take();
    QCOMPARE(m_conn->getCloudDirContents("lattica", QString()).size(), 2);
    const QList<QJsonObject> journal = m_server.take();
    QCOMPARE(journal.size(), 1);
    QCOMPARE(queryKeys(journal[0]), QStringList({"AWSAccessKeyId", "Signature", "Expires"}));
}

void TestAmazonConnection::copyAndDelete()
{
    const QString source = "acct@example.com/xfer/u1/X9.vexa", target = "acct@example.com/a/X9.vexa";
    put(source, "{\"orderID\":\"X9\"}");
    m_server.take();
    QSignalSpy finished(m_conn.get(), &QCloudConnection::finished);
    QSignalSpy failed(m_conn.get(), &QCloudConnection::cloudError);
    QVERIFY(m_conn->copyFile(source, target, "lattica"));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(failed.count(), 0);
    const QJsonObject entry = m_server.take().value(0);
    QCOMPARE(header(entry, "x-amz-copy-source"), "/lattica/" + source);
    QCOMPARE(queryKeys(entry), QStringList({"AWSAccessKeyId", "Signature", "Expires"}));
    QCOMPARE(m_conn->getFile(kBucket, target.toLatin1())->readAll(), QByteArray("{\"orderID\":\"X9\"}"));

    QVERIFY(m_conn->deleteFile(source, "lattica"));
    QVERIFY(m_conn->lastError.isEmpty());
    QCOMPARE(m_conn->getFile(kBucket, source.toLatin1())->error(), QNetworkReply::ContentNotFoundError);

    // copying what is no longer there fails cleanly
    QVERIFY(!m_conn->copyFile(source, target, "lattica"));
    QCOMPARE(failed.count(), 1);
    QVERIFY(!m_conn->lastError.isEmpty());
    QVERIFY(!m_conn->lastError.contains("Signature") && !m_conn->lastError.contains("127.0.0.1"));
}

void TestAmazonConnection::missingObjects()
{
    QSignalSpy failed(m_conn.get(), &QCloudConnection::cloudError);
    QVERIFY(!m_conn->getLastModified(kBucket, "ghost@example.com/nxtdev").isValid());
    QCOMPARE(m_conn->lastErrorCode, int(QNetworkReply::ContentNotFoundError));
    QCOMPARE(failed.count(), 1);

    QString message;
    // an empty object is found but holds nothing
    put("ghost@example.com/enc", QByteArray());
    QNetworkReply *reply = m_conn->getFile(kBucket, "ghost@example.com/enc");
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
    QTest::newRow("expired") << QByteArray(S3TestServer::kKeyId) << QByteArray(S3TestServer::kSecret) << -600;
    QTest::newRow("unknown key") << QByteArray("NOSUCHKEY") << QByteArray(S3TestServer::kSecret) << 0;
}

void TestAmazonConnection::accessRefused()
{
    QFETCH(QByteArray, keyId);
    QFETCH(QByteArray, secret);
    QFETCH(int, clockOffset);
    put("acct@example.com/nxtdev", "4");
    QAmazonConnection conn(keyId, secret, m_server.endpoint());
    conn.setClockOffset(clockOffset);

    logLines.clear();
    static QtMessageHandler previous = nullptr;
    previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &msg) {
        logLines << msg;
        previous(type, context, msg);
    });
    QString message;
    QNetworkReply *reply = conn.getFile(kBucket, "acct@example.com/nxtdev", QDateTime::currentDateTimeUtc().addDays(-1));
    QVERIFY(!checkCloudReply(reply, true, &message));
    QCOMPARE(message, kDenied);
    QVERIFY(reply->errorString().contains("Signature=")); // the raw text carries the signed address
    QVERIFY(!checkCloudReply(conn.putFile("acct@example.com/nxtdev", "lattica", "5", false), false, &message));
    QCOMPARE(message, kDenied);

    QStringList errors;
    QVERIFY(conn.getCloudDirContents("lattica", "acct@example.com/").isEmpty());
    QCOMPARE(conn.lastErrorCode, int(QNetworkReply::ContentAccessDenied));
    QCOMPARE(cloudReplyMessage(conn.lastErrorCode, conn.lastError), kDenied);
    errors << conn.lastError;
    QVERIFY(!conn.getLastModified(kBucket, "acct@example.com/nxtdev").isValid());
    QCOMPARE(conn.lastErrorCode, int(QNetworkReply::ContentAccessDenied));
    errors << conn.lastError;
    QVERIFY(!conn.copyFile("acct@example.com/nxtdev", "acct@example.com/copy", "lattica"));
    errors << conn.lastError;
    QVERIFY(!conn.deleteFile("acct@example.com/nxtdev", "lattica"));
    errors << conn.lastError;
    qInstallMessageHandler(previous);

    QCOMPARE(m_conn->getFile(kBucket, "acct@example.com/nxtdev")->readAll(), QByteArray("4")); // untouched
    // nothing the client stores or logs carries the signed address
    for (const QString &e : qAsConst(errors))
        QVERIFY2(!e.isEmpty() && !e.contains("Signature") && !e.contains("AWSAccessKeyId") && !e.contains("http"), qPrintable(e));
    for (const QString &line : qAsConst(logLines))
        QVERIFY2(!line.contains("Signature=") && !line.contains("AWSAccessKeyId="), qPrintable(line));
}

QTEST_GUILESS_MAIN(TestAmazonConnection)
#include "tst_amazonconnection.moc"
