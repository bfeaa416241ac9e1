// Catalogue and configuration updates, file transfers, the task queue and the
// connectivity probe of the cloud controller, against a real S3-compatible
// server (npm s3rver) and a local HTTP probe, all on 127.0.0.1.
#include "app/appcontext.h"
#include "app/appsettings.h"
#include "cloud/cloudcomms.h"
#include "cloud/cloudcredentials.h"
#include "cloud/qamazonconnection.h"
#include "s3testserver.h"
#include "testenv.h"
#include "testzip.h"

#include <QNetworkReply>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <functional>
#include <memory>

namespace {

const QString kAccount = QStringLiteral("acc@example.com");
const QString kInvalid = QStringLiteral("Invalid data from the cloud. Try uploading again from Vexa Setup.");

// The page checkInternet fetches: answers every request with the set body
// (an empty one when null) and runs onRequest first.
class ProbeServer : public QObject
{
public:
    QByteArray body = "<html>up</html>";
    std::function<void()> onRequest;
    int requests = 0;

    bool start() { return m_server.listen(QHostAddress::LocalHost); }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/").arg(m_server.serverPort()); }

    ProbeServer()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    m_pending[socket] += socket->readAll();
                    if (!m_pending[socket].contains("\r\n\r\n"))
                        return;
                    m_pending.remove(socket);
                    ++requests;
                    if (onRequest)
                        onRequest();
                    socket->write("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: "
                                  + QByteArray::number(body.size()) + "\r\n\r\n" + body);
                    socket->disconnectFromHost();
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }

private:
    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_pending;
};

QStringList filesUnder(const QString &folder)
{
    QStringList out;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << QDir(folder).relativeFilePath(it.next());
    out.sort();
    return out;
}

} // namespace

class TestCloudUpdates : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void catalogueDownloadThenNotModified();
    void refusedArchiveKeepsCatalogue_data();
    void refusedArchiveKeepsCatalogue();
    void tooSmallArchive();
    void dataCheckTask();
    void configurationCheckThrottled();
    void universalSettings();
    void versionNumber_data();
    void versionNumber();
    void fileTransfers();
    void staffCheckAndProductDatabase();
    void queueWhileRunning();
    void queueOfflineAndStopped();
    void checkInternet_data();
    void checkInternet();

private:
    void put(const QString &key, const QByteArray &body);
    void remove(const QString &key);

    S3TestServer m_s3;
    ProbeServer m_probe;
    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<QAmazonConnection> m_seed;
    std::unique_ptr<CloudComms> m_comms;
};

void TestCloudUpdates::initTestCase()
{
    TestEnv::initApp();
    const QString reason = S3TestServer::unavailableReason();
    if (!reason.isEmpty())
        QSKIP(qPrintable("S3 test server unavailable: " + reason));
    QVERIFY2(m_s3.start({"lattica"}), qPrintable(m_s3.error()));
    QVERIFY(m_probe.start());
    m_seed.reset(new QAmazonConnection(S3TestServer::kKeyId, S3TestServer::kSecret, m_s3.endpoint()));
}

void TestCloudUpdates::cleanupTestCase()
{
    m_comms.reset();
    m_seed.reset();
    m_s3.stop();
}

void TestCloudUpdates::init()
{
    m_comms.reset();
    if (appSettings *old = AppContext::userSettings()) {
        old->clear();
        old->sync();
    }
    m_data.reset(TestEnv::freshDataFolder());
    appSettings *user = AppContext::userSettings();
    m_s3.useInSettings();
    user->setValue("credblock_s", QString::fromLatin1(CloudCredentials::seal(
                                      S3TestServer::kKeyId, S3TestServer::kSecret, "api:key-test")));
    user->setValue("inetProbeUrl_s", m_probe.url());
    user->setValue("regem_s", kAccount);
    user->setValue("userID_s", "JS");
    m_probe.body = "<html>up</html>";
    m_probe.onRequest = nullptr;
    m_probe.requests = 0;
    m_comms.reset(new CloudComms(nullptr));
    m_s3.takeJournal();
}

void TestCloudUpdates::put(const QString &key, const QByteArray &body)
{
    QNetworkReply *reply = m_seed->putFile(key, "lattica", body, false);
    QVERIFY2(reply->error() == QNetworkReply::NoError, qPrintable(key + ": " + reply->errorString()));
}

void TestCloudUpdates::remove(const QString &key)
{
    QVERIFY(m_seed->deleteFile(key, "lattica"));
}

void TestCloudUpdates::catalogueDownloadThenNotModified()
{
    const QString folder = AppContext::dataFolder + "/V3VexaData";
    QVERIFY(TestEnv::writeFile(folder + "/stale.csv", "from the previous catalogue"));
    put(kAccount + "/V3VexaData.zip",
        TestZip::make({{"prod.ini", "[General]\nversion=2\n"},
                       {"Products/", QByteArray()},
                       {"Products/shutters.csv", "Range,Min,Max\nTier 1,200,900\n"},
                       {"tiny.txt", "ab"}}));

    QCOMPARE(m_comms->checkForData("V3VexaData"), 1);
    QCOMPARE(filesUnder(folder), (QStringList{"Products/shutters.csv", "prod.ini", "tiny.txt"}));
    QCOMPARE(TestEnv::readFile(folder + "/Products/shutters.csv"), QByteArray("Range,Min,Max\nTier 1,200,900\n"));
    QCOMPARE(TestEnv::readFile(folder + "/tiny.txt"), QByteArray("ab"));
    QVERIFY(!QFile::exists(folder + ".zip"));
    QVERIFY(!QFileInfo::exists(folder + ".part"));
    QVERIFY(!QFileInfo::exists(folder + ".old"));
    const QString stamp = AppContext::setting("V3VexaData").toString();
    QVERIFY(stamp.endsWith(" GMT"));

    m_s3.takeJournal();
    QCOMPARE(m_comms->checkForData("V3VexaData"), 0);
    QCOMPARE(m_comms->lastMessage(), QString("No new data is available"));
    const QList<QJsonObject> journal = m_s3.takeJournal();
    QCOMPARE(journal.size(), 1);
    QCOMPARE(journal.first().value("headers").toObject().value("if-modified-since").toString(), stamp);
    QVERIFY(QFile::exists(folder + "/prod.ini"));

    // without the local folder the check is unconditional again
    QVERIFY(QDir(folder).removeRecursively());
    QCOMPARE(m_comms->checkForData("V3VexaData"), 1);
    QVERIFY(QFile::exists(folder + "/prod.ini"));
}

void TestCloudUpdates::refusedArchiveKeepsCatalogue_data()
{
    QTest::addColumn<QByteArray>("archive");

    const QString outside = QDir::tempPath() + "/lta-unzip-outside-" + QString::number(QCoreApplication::applicationPid());
    QTest::newRow("parent entry") << TestZip::make({{"ok.csv", "fine"}, {"../evil.txt", "escaped"}});
    QTest::newRow("parent inside path") << TestZip::make({{"Products/../../evil.txt", "escaped"}});
    QTest::newRow("backslash parent") << TestZip::make({{"..\\evil.txt", "escaped"}});
    QTest::newRow("absolute entry") << TestZip::make({{outside + "/evil.txt", "escaped"}});

    // a stored entry whose bytes change after the CRC was taken
    QByteArray damaged = TestZip::make({{"first.csv", "written before the damage"},
                                        {"second.csv", "CORRUPTME and more bytes"}}, true);
    const int at = damaged.indexOf("CORRUPTME");
    damaged[at] = 'X';
    QTest::newRow("damaged entry") << damaged;

    const QByteArray whole = TestZip::make({{"first.csv", QByteArray(400, 'a')}, {"second.csv", QByteArray(400, 'b')}});
    QTest::newRow("truncated archive") << whole.left(whole.size() * 2 / 3);
}

void TestCloudUpdates::refusedArchiveKeepsCatalogue()
{
    QFETCH(QByteArray, archive);
    QVERIFY(archive.size() >= 10);

    const QString folder = AppContext::dataFolder + "/V3VexaData";
    put(kAccount + "/V3VexaData.zip", TestZip::make({{"prod.ini", "good catalogue"}}));
    QCOMPARE(m_comms->checkForData("V3VexaData"), 1);

    put(kAccount + "/V3VexaData.zip", archive);
    AppContext::userSettings()->remove("V3VexaData"); // same second: ask unconditionally
    QCOMPARE(m_comms->checkForData("V3VexaData"), -1);
    QCOMPARE(m_comms->lastMessage(), kInvalid);

    QCOMPARE(filesUnder(folder), QStringList{"prod.ini"});
    QCOMPARE(TestEnv::readFile(folder + "/prod.ini"), QByteArray("good catalogue"));
    QVERIFY(!QFileInfo::exists(folder + ".part"));
    QVERIFY(!QFile::exists(AppContext::dataFolder + "/evil.txt"));
    QVERIFY(!QFile::exists(QFileInfo(AppContext::dataFolder).absolutePath() + "/evil.txt"));
    QVERIFY(!QFileInfo::exists(QDir::tempPath() + "/lta-unzip-outside-" + QString::number(QCoreApplication::applicationPid())));
}

void TestCloudUpdates::tooSmallArchive()
{
    const QString folder = AppContext::dataFolder + "/V3VexaData";
    QVERIFY(TestEnv::writeFile(folder + "/prod.ini", "current"));
    put(kAccount + "/V3VexaData.zip", QByteArray("PK\x03\x04xxxxx", 9));
    QCOMPARE(m_comms->checkForData("V3VexaData"), -1);
    QCOMPARE(m_comms->lastMessage(), QString("Invalid data from cloud (too few bytes)"));
    QCOMPARE(TestEnv::readFile(folder + "/prod.ini"), QByteArray("current"));

    remove(kAccount + "/V3VexaData.zip");
    QCOMPARE(m_comms->checkForData("V3VexaData"), -1);
    QCOMPARE(m_comms->lastMessage(), QString("Failed to find your account or catalogue data in the cloud."));
}

void TestCloudUpdates::dataCheckTask()
{
    put(kAccount + "/V3VexaData.zip", TestZip::make({{"prod.ini", "catalogue"}}));
    put(kAccount + "/VexaCfg.zip", TestZip::make({{"edi.cfg", "[General]\n"}}));
    QSignalSpy results(m_comms.get(), &CloudComms::asyncResult);
    QSignalSpy catalogue(m_comms.get(), &CloudComms::catalogueUpdated);
    QSignalSpy config(m_comms.get(), &CloudComms::businessConfigUpdated);

    m_comms->asyncCheckForData();
    QCOMPARE(results.count(), 1);
    QCOMPARE(results.takeFirst().at(0).toString(),
             QString("Products: Successfully downloaded new data.\nSettings: Successfully downloaded new settings"));
    QCOMPARE(catalogue.count(), 1);
    QCOMPARE(config.count(), 1);
    QVERIFY(QFile::exists(AppContext::dataFolder + "/VexaCfg/edi.cfg"));

    m_comms->asyncCheckForData();
    QCOMPARE(results.count(), 1);
    QCOMPARE(results.takeFirst().at(0).toString(),
             QString("Products: No new data is available.\nSettings: No new data is available"));

    // a failed catalogue fetch skips the settings
    remove(kAccount + "/V3VexaData.zip");
    remove(kAccount + "/VexaCfg.zip");
    AppContext::userSettings()->remove("V3VexaData");
    m_comms->asyncCheckForData();
    QCOMPARE(results.count(), 1);
    QCOMPARE(results.takeFirst().at(0).toString(),
             QString("Products: Failed to find your account or catalogue data in the cloud."));

    AppContext::userSettings()->remove("userID_s");
    m_s3.takeJournal();
    m_comms->asyncCheckForData();
    QCOMPARE(m_comms->lastMessage(), QString("User ID is empty"));
    AppContext::userSettings()->remove("regem_s");
    m_comms->asyncCheckForData();
    QCOMPARE(m_comms->lastMessage(), QString("Your Vexa account has not been set"));
    QCOMPARE(results.count(), 0);
    QVERIFY(m_s3.takeJournal().isEmpty());
}

void TestCloudUpdates::configurationCheckThrottled()
{
    put("0_cfg/V3VexaData.zip", TestZip::make({{"prod.ini", "universal"}}));
    put("0_cfg/VexaCfg.zip", TestZip::make({{"values.cfg", "[General]\n"}}));
    put("0_cfg/un.ini", "[General]\nnote=hello\n");
    QSignalSpy checked(m_comms.get(), &CloudComms::configurationChecked);

    m_comms->checkFor_cfgUpdates(true);
    QCOMPARE(m_comms->lastMessage(), QString());
    QCOMPARE(checked.count(), 1);
    QCOMPARE(TestEnv::readFile(AppContext::dataFolder + "/V3VexaData/prod.ini"), QByteArray("universal"));
    QCOMPARE(AppContext::setting("note").toString(), QString("hello"));
    QCOMPARE(m_comms->regEmail(), kAccount);
    QVERIFY(!m_s3.takeJournal().isEmpty());

    m_comms->checkFor_cfgUpdates(true);
    QVERIFY(m_s3.takeJournal().isEmpty());
    QCOMPARE(checked.count(), 1);

    // a failure stops the check before the universal settings
    AppContext::userSettings()->remove("cfg_chk");
    AppContext::userSettings()->remove("V3VexaData");
    remove("0_cfg/V3VexaData.zip");
    m_comms->checkFor_cfgUpdates();
    QCOMPARE(m_comms->lastMessage(), QString("Failed to find your account or catalogue data in the cloud."));
    QCOMPARE(checked.count(), 1);
}

void TestCloudUpdates::universalSettings()
{
    appSettings *user = AppContext::userSettings();
    user->setValue("lead_time_i", 5);
    put("0_cfg/un.ini", "[General]\ncurrvers=3.12.7\ngreeting=hello\n-lead_time_i=\n");

    m_comms->downloadUniversalSettings();
    QCOMPARE(user->value("currver").toInt(), 31207);
    QCOMPARE(user->value("greeting").toString(), QString("hello"));
    QVERIFY(!user->contains("lead_time_i"));
    QVERIFY(user->value("un.ini").toDateTime().isValid());
    QVERIFY(QFile::exists(AppContext::dataFolder + "/un/un.ini"));

    // unchanged on the server: a 304 leaves local changes alone
    user->setValue("greeting", "changed here");
    m_s3.takeJournal();
    m_comms->downloadUniversalSettings();
    QCOMPARE(user->value("greeting").toString(), QString("changed here"));
    const QList<QJsonObject> journal = m_s3.takeJournal();
    QCOMPARE(journal.size(), 1);
    QVERIFY(!journal.first().value("headers").toObject().value("if-modified-since").toString().isEmpty());

    // the notification check merges its own copy, also after a 304
    user->remove("un.ini");
    QVERIFY(m_comms->notificationCheck());
    QCOMPARE(user->value("greeting").toString(), QString("hello"));
    user->setValue("greeting", "changed again");
    QVERIFY(m_comms->notificationCheck());
    QCOMPARE(user->value("greeting").toString(), QString("hello"));

    remove("0_cfg/un.ini");
    user->remove("un.ini");
    QVERIFY(!m_comms->notificationCheck());
    QCOMPARE(user->value("currver").toInt(), 31207);
}

void TestCloudUpdates::versionNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("number");
    QTest::newRow("release") << "3.12.7" << 31207;
    QTest::newRow("two parts") << "3.12" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("four parts") << "1.2.3.4" << 10203;
}

void TestCloudUpdates::versionNumber()
{
    QFETCH(QString, text);
    QFETCH(int, number);
    QCOMPARE(CloudComms::versionNumber(text), number);
}

void TestCloudUpdates::fileTransfers()
{
    const QString empty = m_data->filePath("empty.txt");
    QVERIFY(TestEnv::writeFile(empty, QByteArray()));
    QVERIFY(m_comms->uploadFile(empty, kAccount + "/empty.txt", false));
    QVERIFY(!QFile::exists(empty));
    QVERIFY(!m_comms->uploadFile(m_data->filePath("missing.txt"), kAccount + "/missing.txt", false));
    QVERIFY(m_s3.takeJournal().isEmpty());

    const QString local = m_data->filePath("report.txt");
    QVERIFY(TestEnv::writeFile(local, "order report"));
    QVERIFY(m_comms->uploadFile(local, kAccount + "/report.txt", true));
    const QList<QJsonObject> journal = m_s3.takeJournal();
    QCOMPARE(journal.size(), 1);
    QCOMPARE(journal.first().value("headers").toObject().value("x-amz-acl").toString(), QString("public-read"));

    const QString copy = m_data->filePath("copy.txt");
    QVariant condition;
    QCOMPARE(m_comms->downloadToFile(copy, kAccount + "/report.txt", &condition), 0);
    QCOMPARE(TestEnv::readFile(copy), QByteArray("order report"));
    QVERIFY(condition.toDateTime().isValid());
    QCOMPARE(m_comms->downloadToFile(copy, kAccount + "/report.txt", &condition), 304);
    QCOMPARE(m_comms->downloadToFile(copy, kAccount + "/nothing.txt"), int(QNetworkReply::ContentNotFoundError));
    QCOMPARE(m_comms->downloadToFile(m_data->filePath("no/such/folder/x.txt"), kAccount + "/report.txt"), 1);
    QCOMPARE(TestEnv::readFile(copy), QByteArray("order report"));
}

void TestCloudUpdates::staffCheckAndProductDatabase()
{
    appSettings *shared = AppContext::sharedSettings();
    shared->setValue("staff/1", "Admin:Administrator:AAAA:2460000");
    put(kAccount + "/db/JS.db3", "SQLite format 3 (test)");
    AppContext::userSettings()->setValue("dbmod", true);
    QSignalSpy results(m_comms.get(), &CloudComms::asyncResult);

    m_comms->asyncRegisterUser();
    QCOMPARE(results.count(), 1);
    QCOMPARE(results.takeFirst().at(0).toString(), QString("The user ID: JS has been removed from this Lattica account"));
    QCOMPARE(TestEnv::readFile(AppContext::dataFolder + "/db/products.db3"), QByteArray("SQLite format 3 (test)"));
    QCOMPARE(AppContext::setting("dbmod"), QVariant(false));

    shared->setValue("staff/2", "JS:Jo Smith:BBBB:2460000");
    m_comms->queueTask(CloudComms::TaskStaffCheck);
    QCOMPARE(results.count(), 1);
    QCOMPARE(results.takeFirst().at(0).toString(), QString());
}

void TestCloudUpdates::queueWhileRunning()
{
    put(kAccount + "/V3VexaData.zip", TestZip::make({{"prod.ini", "catalogue"}}));
    QList<int> seen;
    // The interface asks again while the runner waits for the probe.
    m_probe.onRequest = [this, &seen] {
        if (m_probe.requests != 1)
            return;
        m_comms->asyncCheckForData();
        m_comms->asyncCheckForData();
        m_comms->queueTask(CloudComms::TaskConnections);
        seen = m_comms->queuedTasks();
    };
    QSignalSpy results(m_comms.get(), &CloudComms::asyncResult);
    m_comms->asyncCheckForData();
    QCOMPARE(seen, (QList<int>{CloudComms::TaskCheckForData, CloudComms::TaskConnections}));
    QCOMPARE(results.count(), 1);
    QVERIFY(results.first().at(0).toString().startsWith("Products: Successfully downloaded new data"));
    QCOMPARE(m_probe.requests, 2);
    QVERIFY(m_comms->queuedTasks().isEmpty());
}

void TestCloudUpdates::queueOfflineAndStopped()
{
    QSignalSpy results(m_comms.get(), &CloudComms::asyncResult);
    m_probe.body.clear(); // an empty page counts as offline
    m_comms->queueTask(CloudComms::TaskConnections);
    QCOMPARE(results.count(), 1);
    QCOMPARE(results.takeFirst().at(0).toString(), QString("You are not connected to the Internet"));

    m_probe.requests = 0;
    m_comms->stopPosting();
    m_comms->queueTask(CloudComms::TaskConnections);
    QCOMPARE(m_probe.requests, 0);
    QVERIFY(m_comms->queuedTasks().isEmpty());
    QCOMPARE(results.count(), 0);
    // the stop applies once
    m_probe.body = "up";
    m_comms->queueTask(CloudComms::TaskConnections);
    QCOMPARE(m_probe.requests, 1);
}

void TestCloudUpdates::checkInternet_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("online");
    QTest::newRow("page") << "page" << true;
    QTest::newRow("empty page") << "empty" << false;
    QTest::newRow("nothing listening") << "closed" << false;
}

void TestCloudUpdates::checkInternet()
{
    QFETCH(QString, mode);
    QFETCH(bool, online);
    appSettings *user = AppContext::userSettings();
    QTcpServer closed;
    if (mode == "empty") {
        m_probe.body.clear();
    } else if (mode == "closed") {
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        user->setValue("inetProbeUrl_s", QString("http://127.0.0.1:%1/").arg(port));
    }
    QCOMPARE(m_comms->checkInternet(), online);
    if (mode != "closed")
        QCOMPARE(m_probe.requests, 1);
}

QTEST_GUILESS_MAIN(TestCloudUpdates)
#include "tst_cloudupdates.moc"
