// Catalogue and configuration updates, file transfers, the task queue and the
// connectivity probe of the cloud controller, against a real S3-compatible
// server (npm s3rver) on 127.0.0.1, which also serves the probed page.
#include "app/appcontext.h"
#include "app/appsettings.h"
#include "cloud/cloudcomms.h"
#include "cloud/cloudcredentials.h"
#include "cloud/qamazonconnection.h"
#include "testenv.h"
#include "testservers.h"
#include "testzip.h"

#include <QNetworkReply>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>
#include <memory>

namespace {
const QString kAccount = "acc@example.com", kZip = kAccount + "/V3VexaData.zip";
const QString kNotFound = "Failed to find your account or catalogue data in the cloud.";

QStringList filesUnder(const QString &folder)
{
    QStringList out;
    for (QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
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
    void init();
    void catalogueDownloadThenNotModified();
    void refusedArchiveKeepsCatalogue_data();
    void refusedArchiveKeepsCatalogue();
    void tooSmallArchive();
    void dataCheckTask();
    void configurationCheckThrottled();
    void universalSettings();
    void fileTransfers();
    void staffCheckAndProductDatabase();
    void queueWhileRunning();
    void offlineAndStopped();

private:
    void put(const QString &key, const QByteArray &body)
    {
        QNetworkReply *reply = m_seed->putFile(key, "lattica", body, false);
        QVERIFY2(reply->error() == QNetworkReply::NoError, qPrintable(key + ": " + reply->errorString()));
    }
    void remove(const QString &key) { QVERIFY(m_seed->deleteFile(key, "lattica")); }
    int probes()
    {
        int n = 0;
        for (const QJsonObject &entry : m_s3.take())
            n += entry.value("url").toString() == "/";
        return n;
    }

    S3TestServer m_s3;
    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<QAmazonConnection> m_seed;
    std::unique_ptr<CloudComms> m_comms;
};

void TestCloudUpdates::initTestCase()
{
    TestEnv::initApp();
    QVERIFY2(m_s3.start({"lattica"}), qPrintable(m_s3.error()));
    m_seed.reset(new QAmazonConnection(S3TestServer::kKeyId, S3TestServer::kSecret, m_s3.endpoint()));
    put("probe/empty", QByteArray());
}

void TestCloudUpdates::init()
{
    m_comms.reset();
    if (appSettings *old = AppContext::userSettings()) {
        old->clear();
        old->sync();
    }
    m_data.reset(TestEnv::freshDataFolder());
    m_s3.useInSettings();
    appSettings *user = AppContext::userSettings();
    user->setValue("credblock_s", QString(CloudCredentials::seal(S3TestServer::kKeyId, S3TestServer::kSecret, "api:k")));
    user->setValue("inetProbeUrl_s", m_s3.url("/").toString()); // the bucket list: a page with content
    user->setValue("regem_s", kAccount);
    user->setValue("userID_s", "JS");
    m_comms.reset(new CloudComms(nullptr));
    m_s3.take();
}

void TestCloudUpdates::catalogueDownloadThenNotModified()
{
    const QString folder = AppContext::dataFolder + "/V3VexaData";
    QVERIFY(TestEnv::writeFile(folder + "/stale.csv", "from the previous catalogue"));
    put(kZip, TestZip::make({{"prod.ini", "[General]\nversion=2\n"}, {"Products/", QByteArray()},
                             {"Products/shutters.csv", "Range,Min,Max\nTier 1,200,900\n"}, {"tiny.txt", "ab"}}));
    QCOMPARE(m_comms->checkForData("V3VexaData"), 1);
    QCOMPARE(filesUnder(folder), (QStringList{"Products/shutters.csv", "prod.ini", "tiny.txt"}));
    QCOMPARE(TestEnv::readFile(folder + "/Products/shutters.csv"), QByteArray("Range,Min,Max\nTier 1,200,900\n"));
    QCOMPARE(TestEnv::readFile(folder + "/tiny.txt"), QByteArray("ab"));
    for (const char *leftover : {".zip", ".part", ".old"})
        QVERIFY2(!QFileInfo::exists(folder + leftover), leftover);
    const QString stamp = AppContext::setting("V3VexaData").toString();
    QVERIFY(stamp.endsWith(" GMT"));

    m_s3.take();
    QCOMPARE(m_comms->checkForData("V3VexaData"), 0);
    QCOMPARE(m_comms->lastMessage(), QString("No new data is available"));
    const QList<QJsonObject> journal = m_s3.take();
    QCOMPARE(journal.size(), 1);
    QCOMPARE(journal[0].value("headers").toObject().value("if-modified-since").toString(), stamp);
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
    QTest::newRow("parent inside") << TestZip::make({{"Products/../../evil.txt", "escaped"}});
    QTest::newRow("backslash") << TestZip::make({{"..\\evil.txt", "escaped"}});
    QTest::newRow("absolute") << TestZip::make({{outside + "/evil.txt", "escaped"}});
    // a stored entry whose bytes change after the CRC was taken
    QByteArray damaged = TestZip::make({{"first.csv", "written before"}, {"second.csv", "CORRUPTME and more"}}, true);
    damaged[damaged.indexOf("CORRUPTME")] = 'X';
    QTest::newRow("damaged") << damaged;
    const QByteArray whole = TestZip::make({{"first.csv", QByteArray(400, 'a')}, {"second.csv", QByteArray(400, 'b')}});
    QTest::newRow("truncated") << whole.left(whole.size() * 2 / 3);
}

void TestCloudUpdates::refusedArchiveKeepsCatalogue()
{
    QFETCH(QByteArray, archive);
    const QString folder = AppContext::dataFolder + "/V3VexaData";
    put(kZip, TestZip::make({{"prod.ini", "good catalogue"}}));
    QCOMPARE(m_comms->checkForData("V3VexaData"), 1);
    put(kZip, archive);
    AppContext::userSettings()->remove("V3VexaData"); // same second: ask unconditionally
    QCOMPARE(m_comms->checkForData("V3VexaData"), -1);
    QCOMPARE(m_comms->lastMessage(), QString("Invalid data from the cloud. Try uploading again from Vexa Setup."));
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
    put(kZip, QByteArray("PK\x03\x04xxxxx", 9));
    QCOMPARE(m_comms->checkForData("V3VexaData"), -1);
    QCOMPARE(m_comms->lastMessage(), QString("Invalid data from cloud (too few bytes)"));
    QCOMPARE(TestEnv::readFile(folder + "/prod.ini"), QByteArray("current"));
    remove(kZip);
    QCOMPARE(m_comms->checkForData("V3VexaData"), -1);
    QCOMPARE(m_comms->lastMessage(), kNotFound);
}

void TestCloudUpdates::dataCheckTask()
{
    put(kZip, TestZip::make({{"prod.ini", "catalogue"}}));
    put(kAccount + "/VexaCfg.zip", TestZip::make({{"edi.cfg", "[General]\n"}}));
    QSignalSpy results(m_comms.get(), &CloudComms::asyncResult);
    QSignalSpy catalogue(m_comms.get(), &CloudComms::catalogueUpdated);
    QSignalSpy config(m_comms.get(), &CloudComms::businessConfigUpdated);
    auto result = [&] { return results.size() == 1 ? results.takeFirst().at(0).toString() : "<no single result>"; };

    m_comms->asyncCheckForData();
    QCOMPARE(result(), QString("Products: Successfully downloaded new data.\nSettings: Successfully downloaded new settings"));
    QCOMPARE(catalogue.count(), 1);
    QCOMPARE(config.count(), 1);
    QVERIFY(QFile::exists(AppContext::dataFolder + "/VexaCfg/edi.cfg"));
    m_comms->asyncCheckForData();
    QCOMPARE(result(), QString("Products: No new data is available.\nSettings: No new data is available"));

    // a failed catalogue fetch skips the settings
    remove(kZip);
    remove(kAccount + "/VexaCfg.zip");
    AppContext::userSettings()->remove("V3VexaData");
    m_comms->asyncCheckForData();
    QCOMPARE(result(), "Products: " + kNotFound);

    AppContext::userSettings()->remove("userID_s");
    m_s3.take();
    m_comms->asyncCheckForData();
    QCOMPARE(m_comms->lastMessage(), QString("User ID is empty"));
    AppContext::userSettings()->remove("regem_s");
    m_comms->asyncCheckForData();
    QCOMPARE(m_comms->lastMessage(), QString("Your Vexa account has not been set"));
    QCOMPARE(results.count(), 0);
    QVERIFY(m_s3.take().isEmpty());
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
    QVERIFY(!m_s3.take().isEmpty());
    m_comms->checkFor_cfgUpdates(true);
    QVERIFY(m_s3.take().isEmpty());
    QCOMPARE(checked.count(), 1);

    // a failure stops the check before the universal settings
    AppContext::userSettings()->remove("cfg_chk");
    AppContext::userSettings()->remove("V3VexaData");
    remove("0_cfg/V3VexaData.zip");
    m_comms->checkFor_cfgUpdates();
    QCOMPARE(m_comms->lastMessage(), kNotFound);
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
    QVERIFY(QFile::exists(AppContext::dataFolder + "/un/un.ini"));

    // unchanged on the server: a 304 leaves local changes alone
    user->setValue("greeting", "changed here");
    m_s3.take();
    m_comms->downloadUniversalSettings();
    QCOMPARE(user->value("greeting").toString(), QString("changed here"));
    QVERIFY(!m_s3.take().value(0).value("headers").toObject().value("if-modified-since").toString().isEmpty());

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

    for (const auto &v : {qMakePair(QString("3.12"), 0), qMakePair(QString(""), 0), qMakePair(QString("1.2.3.4"), 10203)})
        QCOMPARE(CloudComms::versionNumber(v.first), v.second);
}

void TestCloudUpdates::fileTransfers()
{
    const QString empty = m_data->filePath("empty.txt"), local = m_data->filePath("report.txt");
    QVERIFY(TestEnv::writeFile(empty, QByteArray()));
    QVERIFY(m_comms->uploadFile(empty, kAccount + "/empty.txt", false));
    QVERIFY(!QFile::exists(empty));
    QVERIFY(!m_comms->uploadFile(m_data->filePath("missing.txt"), kAccount + "/missing.txt", false));
    QVERIFY(m_s3.take().isEmpty());

    QVERIFY(TestEnv::writeFile(local, "order report"));
    QVERIFY(m_comms->uploadFile(local, kAccount + "/report.txt", true));
    QCOMPARE(m_s3.take().value(0).value("headers").toObject().value("x-amz-acl").toString(), QString("public-read"));

    const QString copy = m_data->filePath("copy.txt");
    QVariant condition;
    QCOMPARE(m_comms->downloadToFile(copy, kAccount + "/report.txt", &condition), 0);
    QCOMPARE(TestEnv::readFile(copy), QByteArray("order report"));
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
    put(kZip, TestZip::make({{"prod.ini", "catalogue"}}));
    m_s3.take();
    // the interface asks again while the runner waits for the first probe
    QList<int> seen;
    QTimer::singleShot(0, this, [&] {
        m_comms->asyncCheckForData();
        m_comms->asyncCheckForData();
        m_comms->queueTask(CloudComms::TaskConnections);
        seen = m_comms->queuedTasks();
    });
    QSignalSpy results(m_comms.get(), &CloudComms::asyncResult);
    m_comms->asyncCheckForData();
    QCOMPARE(seen, (QList<int>{CloudComms::TaskCheckForData, CloudComms::TaskConnections}));
    QCOMPARE(results.count(), 1);
    QVERIFY(results.first().at(0).toString().startsWith("Products: Successfully downloaded new data"));
    QCOMPARE(probes(), 2);
    QVERIFY(m_comms->queuedTasks().isEmpty());
}

void TestCloudUpdates::offlineAndStopped()
{
    QVERIFY(m_comms->checkInternet());
    QTcpServer closed; // a port that is not answered
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    AppContext::userSettings()->setValue("inetProbeUrl_s", QString("http://127.0.0.1:%1/").arg(closed.serverPort()));
    closed.close();
    QVERIFY(!m_comms->checkInternet());

    // an empty page counts as offline
    AppContext::userSettings()->setValue("inetProbeUrl_s", m_s3.url("/lattica/probe/empty").toString());
    QVERIFY(!m_comms->checkInternet());
    QSignalSpy results(m_comms.get(), &CloudComms::asyncResult);
    m_comms->queueTask(CloudComms::TaskConnections);
    QCOMPARE(results.count(), 1);
    QCOMPARE(results.takeFirst().at(0).toString(), QString("You are not connected to the Internet"));

    AppContext::userSettings()->setValue("inetProbeUrl_s", m_s3.url("/").toString());
    m_s3.take();
    m_comms->stopPosting();
    m_comms->queueTask(CloudComms::TaskConnections);
    QCOMPARE(probes(), 0);
    QVERIFY(m_comms->queuedTasks().isEmpty());
    QCOMPARE(results.count(), 0);
    m_comms->queueTask(CloudComms::TaskConnections); // the stop applies once
    QCOMPARE(probes(), 1);
}

QTEST_GUILESS_MAIN(TestCloudUpdates)
#include "tst_cloudupdates.moc"
