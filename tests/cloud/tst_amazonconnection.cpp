// The storage client against a real S3-compatible server (npm s3rver) on
// 127.0.0.1, started and stopped here.
#include "cloud/cloudreply.h"
#include "cloudfixture.h"

#include <QCryptographicHash>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrlQuery>
#include <functional>

namespace {
const QByteArray kBucket = "lattica";
const QString kDenied = "Access denied. Check that your device time is correct. It must be within 2 mins "
                        "of actual time, and account is correct";
QStringList logLines;

QUrlQuery queryOf(const QJsonObject &entry) { return QUrlQuery(QUrl("http://server" + entry.value("url").toString())); }
// The query's names in order, "&"-joined.
QString queryKeys(const QJsonObject &entry) { return queryOf(entry).query().remove(QRegularExpression("=[^&]*")); }
QString header(const QJsonObject &e, const char *name) { return e.value("headers").toObject().value(QLatin1String(name)).toString(); }
} // namespace

class TestAmazonConnection : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestEnv::initApp();
        m_data.reset(TestEnv::freshDataFolder());
        QVERIFY2(m_server.start({"lattica"}, 2), qPrintable(m_server.error()));
        m_server.useInSettings(); // found through the configuration, as the program does
        m_conn.reset(new QAmazonConnection(S3TestServer::kKeyId, S3TestServer::kSecret));
    }

    void init() { m_server.take(); }
    void putGetAndHead()
    {
        const QByteArray body = "[General]\nbus_s=Shutters & Co\n";
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        put("acct@example.com/st/lta.ini", body);
        QJsonObject entry = m_server.take().value(0);
        QCOMPARE(queryKeys(entry), QString("AWSAccessKeyId&Signature&Content-Type&Content-Length&Expires"));
        QCOMPARE(queryOf(entry).queryItemValue("Content-Type", QUrl::FullyDecoded) + "," + queryOf(entry).queryItemValue("Content-Length"),
                 QString("text/plain,30"));
        QVERIFY(qAbs(queryOf(entry).queryItemValue("Expires").toLongLong() - now - 205) <= 5);
        QVERIFY(header(entry, "x-amz-acl").isEmpty() && header(entry, "content-type").isEmpty());
        QCOMPARE(m_conn->getFile(kBucket, "acct@example.com/st/lta.ini")->readAll(), body);
        QVERIFY(qAbs(m_conn->getLastModified(kBucket, "acct@example.com/st/lta.ini").toSecsSinceEpoch() - now) < 60);

        // an empty body sends no content type
        put("acct@example.com/mod/jbs", QByteArray());
        QCOMPARE(queryKeys(m_server.take().last()), QString("AWSAccessKeyId&Signature&Content-Length&Expires"));
        // HEAD of a missing object: no date, the code kept
        QVERIFY(!m_conn->getLastModified(kBucket, "ghost@example.com/nxtdev").isValid());
        QCOMPARE(m_conn->lastErrorCode, int(QNetworkReply::ContentNotFoundError));
        // an empty object is found but holds nothing
        QString message;
        QVERIFY(!checkCloudReply(m_conn->getFile(kBucket, "acct@example.com/mod/jbs"), true, &message));
        QCOMPARE(message, QString("Cloud data found but 0 bytes"));
    }

    void publicPutSendsSignedHeaders()
    {
        // The server checks the signature over the x-amz-* headers it received,
        // so success also shows they went out as signed, in order.
        QCOMPARE(m_conn->syncPut(m_conn->createRequest({{"verb", "PUT"}, {"bucket", "lattica"}, {"filename", "acct@example.com/meta"},
                                                        {"filesize", "2"}, {"Content-Type", "text/plain"},
                                                        {"x-amz-acl", "public-read"}, {"x-amz-meta-rt", "1733480000"}}), "ok")->error(), QNetworkReply::NoError);
        const QJsonObject entry = m_server.take().value(0);
        QCOMPARE(header(entry, "x-amz-meta-rt") + header(entry, "x-amz-acl"), QString("1733480000public-read"));
    }

    void conditionalGet()
    {
        const QByteArray key = "acct@example.com/V3VexaData.zip", body = "PK\x03\x04 catalogue";
        put(key, body);
        const QByteArray etag = m_conn->getFile(kBucket, key)->rawHeader("ETag");
        const QDateTime modified = m_conn->getLastModified(kBucket, key).toUTC();
        auto check = [&](QNetworkReply *reply, int expected) {
            QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), expected);
            QCOMPARE(reply->error(), QNetworkReply::NoError);
            QCOMPARE(reply->readAll(), expected == 304 ? QByteArray() : body);
        };
        check(m_conn->getFile(kBucket, key, etag), 304);
        check(m_conn->getFile(kBucket, key, QByteArray("\"0123456789abcdef\"")), 200);
        check(m_conn->getFile(kBucket, key, modified), 304);
        check(m_conn->getFile(kBucket, key, modified.addSecs(-60)), 200);
    }

    // Both listings, paged at two keys a page.
    void listings()
    {
        // "+" in a prefix must not reach the server as a blank
        const QString prefix = "sales+north@example.com/jbs/";
        QMap<QString, CloudFileInfo> map;
        QCOMPARE(m_conn->getCloudDirContents("lattica", prefix), QStringList()); // nothing there yet
        QVERIFY(m_conn->lastError.isEmpty());
        QVERIFY(m_conn->getCloudDirContentsLastModified("lattica", prefix, map) && map.isEmpty());
        QStringList expected{prefix}; // the folder marker itself
        put(prefix, QByteArray());
        for (int i = 0; i < 9; ++i) {
            expected << prefix + QStringLiteral("order-%1.vexa").arg(i);
            put(expected.last(), QByteArray::number(i).repeated(i + 1));
        }
        put(prefix + "sub/deeper.vexa", "x"); // not a direct child
        m_server.take();

        QCOMPARE(m_conn->getCloudDirContents("lattica", prefix), expected);
        // ten keys at two a page: several requests, each following the token
        const QList<QJsonObject> journal = m_server.take();
        QVERIFY2(journal.size() >= 5, qPrintable(QString::number(journal.size())));
        for (int i = 0; i < journal.size(); ++i) {
            QVERIFY(!journal[i].value("url").toString().contains('+'));
            QCOMPARE(queryKeys(journal[i]), QString("AWSAccessKeyId&Signature&list-type&prefix&delimiter") + (i ? "&continuation-token&Expires" : "&Expires"));
            const QUrlQuery q = queryOf(journal[i]);
            QCOMPARE(q.queryItemValue("list-type") + q.queryItemValue("prefix", QUrl::FullyDecoded) + q.queryItemValue("delimiter", QUrl::FullyDecoded),
                     "2" + prefix + "/");
        }
        // the detailed listing: names within the folder, with size, digest and UTC time
        QVERIFY(m_conn->getCloudDirContentsLastModified("lattica", prefix, map));
        QCOMPARE(map.keys(), expected.mid(1).replaceInStrings(prefix, ""));
        for (int i = 0; i < 9; ++i) {
            const CloudFileInfo info = map.value(QStringLiteral("order-%1.vexa").arg(i));
            const QByteArray body = QByteArray::number(i).repeated(i + 1);
            QCOMPARE(info.size, body.size());
            QCOMPARE(info.etag, QCryptographicHash::hash(body, QCryptographicHash::Md5).toHex());
            QVERIFY(info.lastModified.timeSpec() == Qt::UTC && qAbs(info.lastModified.secsTo(QDateTime::currentDateTimeUtc())) < 60);
        }
    }

    void copyAndDelete()
    {
        const QString source = "acct@example.com/xfer/u1/X9.vexa", target = "acct@example.com/a/X9.vexa";
        put(source, "{\"orderID\":\"X9\"}");
        QSignalSpy failed(m_conn.get(), &QCloudConnection::cloudError);
        QVERIFY(m_conn->copyFile(source, target, "lattica"));
        const QJsonObject entry = m_server.take().value(1); // after the upload
        QCOMPARE(header(entry, "x-amz-copy-source"), "/lattica/" + source);
        QCOMPARE(queryKeys(entry), QString("AWSAccessKeyId&Signature&Expires"));
        // the copy's content and the deletion are seen in the transfers between users
        QVERIFY(m_conn->deleteFile(source, "lattica"));
        // copying what is no longer there fails cleanly
        QVERIFY(!m_conn->copyFile(source, target, "lattica"));
        QCOMPARE(failed.count(), 1);
        QVERIFY(!m_conn->lastError.isEmpty() && !m_conn->lastError.contains("Signature") && !m_conn->lastError.contains("127.0.0.1"));
    }

    // No real store hands back tokens it gave before or names that climb out of
    // a folder, so a small local service does: its pages' tokens go A, B, A, B...
    void misbehavingListing()
    {
        QTcpServer service;
        QVERIFY(service.listen(QHostAddress::LocalHost));
        QStringList askedTokens;
        const QStringList pageKeys{"p/one", "p/..", "p/two", "p/a\\b", "p/three", "p/./x"};
        connect(&service, &QTcpServer::newConnection, this, [&] {
            while (QTcpSocket *socket = service.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [&, socket] {
                    socket->setProperty("req", socket->property("req").toByteArray() + socket->readAll());
                    const QByteArray request = socket->property("req").toByteArray();
                    if (!request.contains("\r\n\r\n"))
                        return;
                    const QUrl url = QUrl::fromEncoded(request.split(' ').value(1));
                    askedTokens << QUrlQuery(url).queryItemValue("continuation-token");
                    const int page = askedTokens.size() - 1;
                    const QString body = QStringLiteral("<ListBucketResult><Contents><Key>%1</Key><Size>1</Size></Contents>"
                                                        "<Contents><Key>%2</Key><Size>1</Size></Contents>"
                                                        "<NextContinuationToken>%3</NextContinuationToken></ListBucketResult>")
                                             .arg(pageKeys.value(2 * page, "p/more"), pageKeys.value(2 * page + 1, "p/more"),
                                                  page % 2 ? "B" : "A");
                    socket->write("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: " + QByteArray::number(body.toUtf8().size())
                                  + "\r\n\r\n" + body.toUtf8());
                    socket->disconnectFromHost();
                });
            }
        });
        QAmazonConnection conn(S3TestServer::kKeyId, S3TestServer::kSecret, CloudEndpoint{"http", "127.0.0.1", service.serverPort(), true});
        QCOMPARE(conn.getCloudDirContents("lattica", "p/"), QStringList({"p/one", "p/two", "p/three"}));
        QCOMPARE(askedTokens, QStringList({"", "A", "B"}));   // the third page's "A" was given before
        askedTokens.clear();
        QMap<QString, CloudFileInfo> map;
        QVERIFY(conn.getCloudDirContentsLastModified("lattica", "p/", map));
        QCOMPARE(map.keys(), QStringList({"one", "three", "two"}));
        QCOMPARE(askedTokens.size(), 3);
    }

    // Keys are encoded once and signed as they travel: the unmodified server
    // accepts every operation, and botocore's signer (AWS's own SDK, the
    // oracle) computes the same signature for each request as it arrived.
    void keysAsSent_data()
    {
        QTest::addColumn<QString>("key");
        QTest::newRow("plain") << "acct@example.com/st/lta.ini";
        QTest::newRow("blanks") << "acct@example.com/xfer/j s/Order  12.json";
        QTest::newRow("plus") << "acct@example.com/a+b/c+d.txt";
        QTest::newRow("percent") << "acct@example.com/100%/x%20y.txt";
        QTest::newRow("non-ASCII") << QString::fromUtf8("acct@example.com/Müller/é café.json");
        QTest::newRow("sub-delimiters") << "acct@example.com/it's (1)!*~_.-=&;,$.txt";
    }
    void keysAsSent()
    {
        QFETCH(QString, key);
        const QString folder = key.section('/', 0, -2) + '/', copy = key + " copy";
        put(key, "body");
        QCOMPARE(m_conn->getFile(kBucket, key.toUtf8())->readAll(), QByteArray("body"));
        QVERIFY(m_conn->getLastModified(kBucket, key.toUtf8()).isValid());
        QVERIFY2(m_conn->getCloudDirContents("lattica", folder).contains(key), qPrintable(m_conn->lastError));
        QMap<QString, CloudFileInfo> details;
        QVERIFY(m_conn->getCloudDirContentsLastModified("lattica", folder, details) && details.contains(key.section('/', -1)));
        QVERIFY2(m_conn->copyFile(key, copy, "lattica"), qPrintable(m_conn->lastError));
        QCOMPARE(m_conn->getFile(kBucket, copy.toUtf8())->readAll(), QByteArray("body"));
        m_conn->getCloudDirContents("lattica", ""); // an empty prefix: the bucket's own listing
        QCOMPARE(m_conn->lastError, QString());
        QVERIFY(m_conn->deleteFile(copy, "lattica") && m_conn->deleteFile(key, "lattica"));
        QCOMPARE(m_conn->getFile(kBucket, key.toUtf8())->error(), QNetworkReply::ContentNotFoundError);

        // every request as the server received it, signed again by botocore
        const QList<QJsonObject> received = m_server.take();
        QJsonArray cases;
        for (const QJsonObject &r : received)
            cases.append(QJsonObject{{"method", r.value("method")}, {"url", "http://127.0.0.1" + r.value("url").toString()},
                                     {"headers", r.value("headers")}});
        QVERIFY(cases.size() >= 11);
        QProcess python;
        python.start("/usr/bin/python3", {"-c", R"(
import json, sys
from urllib.parse import urlsplit, parse_qs
from botocore.auth import HmacV1QueryAuth
from botocore.awsrequest import HTTPHeaders
from botocore.credentials import Credentials
class At(HmacV1QueryAuth):
    def __init__(self, expires):
        super().__init__(Credentials(sys.argv[1], sys.argv[2]))
        self.at = expires
    def _get_date(self):
        return self.at
for case in json.load(sys.stdin):
    split = urlsplit(case["url"])
    query = parse_qs(split.query, keep_blank_values=True)
    headers = HTTPHeaders()
    for name, value in case["headers"].items():
        if name.startswith("x-amz-") or name == "content-type":
            headers[name] = value
    expected = At(query["Expires"][0]).get_signature(case["method"], split, headers)
    print("ok" if expected == query["Signature"][0] else "MISMATCH %s %s" % (case["method"], case["url"]))
)", S3TestServer::kKeyId, S3TestServer::kSecret});
        python.write(QJsonDocument(cases).toJson());
        python.closeWriteChannel();
        QVERIFY(python.waitForFinished(30000));
        QCOMPARE(python.readAllStandardError(), QByteArray());
        const QList<QByteArray> verdicts = python.readAllStandardOutput().trimmed().split('\n');
        QCOMPARE(verdicts.size(), cases.size());
        for (const QByteArray &verdict : verdicts)
            QVERIFY2(verdict == "ok", verdict.constData());
    }

    // Messages and logs never carry the signed address, even when the key
    // holds a blank (Qt's error text shows the address decoded).
    void noSignedAddressInMessages_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("blank in key") << "Error transferring http://127.0.0.1:9/lattica/a b@x.com/st/lta.ini?AWSAccessKeyId=K"
                                         "&Signature=abc%2Bdef&Expires=1 - server replied: Forbidden";
        QTest::newRow("no reply part") << "Host http://127.0.0.1/lattica/a b/c?AWSAccessKeyId=K&Signature=s&Expires=1 not found";
        QTest::newRow("ftp address") << "Error while downloading ftp://u:p@h/a b?Signature=x";
        QTest::newRow("bare query") << "refused: lattica/a b?AWSAccessKeyId=K&Signature=s";
    }
    void noSignedAddressInMessages()
    {
        QFETCH(QString, text);
        const QString cleaned = QAmazonConnection::cleanErrorString(text);
        QVERIFY2(!cleaned.contains("Signature") && !cleaned.contains("AWSAccessKeyId"), qPrintable(cleaned));

        // on the wire: a refused request for a key with a blank
        QAmazonConnection wrong(S3TestServer::kKeyId, "not-the-secret", m_server.endpoint());
        QNetworkReply *reply = wrong.getFile(kBucket, "a b@example.com/st/lta.ini");
        QVERIFY(reply->errorString().contains("Signature="));
        AppContext::userSettings()->setValue("debug", true);
        QString message;
        QVERIFY(!checkCloudReply(reply, true, &message));
        AppContext::userSettings()->remove("debug");
        const QString plain = cloudReplyMessage(reply->error(), QAmazonConnection::replyErrorText(reply));
        // (the reply is gone once the next request has waited)
        QVERIFY(!wrong.getLastModified(kBucket, "a b@example.com/st/lta.ini").isValid());
        for (const QString &m : {message, wrong.lastError, plain})
            QVERIFY2(!m.isEmpty() && !m.contains("Signature") && !m.contains("AWSAccessKeyId") && !m.contains("http"),
                     qPrintable(m));
        QVERIFY2(message.contains("ContentAccessDenied"), qPrintable(message));
    }

    void accessRefused_data()
    {
        QTest::addColumn<QByteArray>("secret");
        QTest::addColumn<int>("clockOffset");
        QTest::newRow("wrong secret") << QByteArray("not-the-secret") << 0;
        QTest::newRow("expired") << QByteArray(S3TestServer::kSecret) << -600;
    }

    void accessRefused()
    {
        QFETCH(QByteArray, secret);
        QFETCH(int, clockOffset);
        put("acct@example.com/nxtdev", "4");
        QAmazonConnection conn(S3TestServer::kKeyId, secret, m_server.endpoint());
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
        // each call must set the code itself: it starts from a code that is not the refusal's
        auto refused = [&](const std::function<bool()> &call) {
            conn.lastErrorCode = QNetworkReply::NoError;
            conn.lastError.clear();
            const bool failed = call();
            errors << conn.lastError;
            return failed && cloudReplyMessage(conn.lastErrorCode, conn.lastError) == kDenied;
        };
        QVERIFY(refused([&] { return conn.getCloudDirContents("lattica", "acct@example.com/").isEmpty(); }));
        QVERIFY(refused([&] { return !conn.getLastModified(kBucket, "acct@example.com/nxtdev").isValid(); }));
        QVERIFY(refused([&] { return !conn.copyFile("acct@example.com/nxtdev", "acct@example.com/copy", "lattica"); }));
        QVERIFY(refused([&] { return !conn.deleteFile("acct@example.com/nxtdev", "lattica"); }));
        qInstallMessageHandler(previous);

        QCOMPARE(m_conn->getFile(kBucket, "acct@example.com/nxtdev")->readAll(), QByteArray("4")); // untouched
        // nothing the client stores or logs carries the signed address
        for (const QString &e : qAsConst(errors))
            QVERIFY2(!e.isEmpty() && !e.contains("Signature") && !e.contains("AWSAccessKeyId") && !e.contains("http"), qPrintable(e));
        for (const QString &line : qAsConst(logLines))
            QVERIFY2(!line.contains("Signature=") && !line.contains("AWSAccessKeyId="), qPrintable(line));
    }

private:
    void put(const QString &key, const QByteArray &body)
    {
        QNetworkReply *reply = m_conn->putFile(key, kBucket, body, false);
        QVERIFY2(reply->error() == QNetworkReply::NoError, qPrintable(key + ": " + reply->errorString()));
    }

    S3TestServer m_server;
    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<QAmazonConnection> m_conn;
};

QTEST_GUILESS_MAIN(TestAmazonConnection)
#include "tst_amazonconnection.moc"
