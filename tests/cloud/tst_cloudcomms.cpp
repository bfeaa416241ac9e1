// The cloud controller against a real S3-compatible server (npm s3rver, which
// also serves the probed page) and the local stand-in of the mail API, both
// on 127.0.0.1: accounts, staff codes, passwords, catalogue and configuration
// updates, file transfers and the task queue.
#include "app/textcipher.h"
#include "cloud/cloudcomms.h"
#include "cloudfixture.h"
#include "testzip.h"

using CloudFixture::mailField;

namespace {
const QString kOwner = "owner@example.com", kOwnerPassword = "Sesame 1", kSupport = "help@lattica.test";
const QString kZip = "acc@example.com/V3VexaData.zip", kNotFound = "Failed to find your account or catalogue data in the cloud.";
const QString kDenied = "Access denied. Check that your device time is correct. It must be within 2 mins of actual time, and account is correct";
const QString kOutside = QDir::tempPath() + "/lta-unzip-outside-" + QString::number(QCoreApplication::applicationPid());
QStringList user(const QStringList &keys) { return CloudFixture::userValues(keys); }
// The one result a spy caught.
QString only(QSignalSpy &spy) { return spy.size() == 1 ? spy.takeFirst().at(0).toString() : QStringLiteral("<%1 results>").arg(spy.size()); }
} // namespace

class TestCloudComms : public QObject
{
    Q_OBJECT
    S3TestServer m_s3;
    MailTestServer m_mail;
    std::unique_ptr<QTemporaryDir> m_data;
    CloudFixture::Store m_store;
    QStringList m_fetched, m_added;

    QByteArray object(const QString &key) { return m_store.get(key); }
    void put(const QString &key, const QByteArray &body, const char *bucket = "lattica") { QVERIFY2(m_store.put(key, body, bucket).isEmpty(), qPrintable(key)); }
    void newDevice()
    {
        m_data.reset(CloudFixture::freshDevice(m_s3, &m_mail, "api:key-test"));
        AppContext::userSettings()->setValue("supportemail", kSupport);
    }

    std::unique_ptr<CloudComms> newComms(bool signedIn = false)
    {
        if (signedIn)
            CloudFixture::setUser({{"regem_s", "acc@example.com"}, {"userID_s", "JS"}});
        std::unique_ptr<CloudComms> comms(new CloudComms(nullptr));
        // the business data of a customer number, as the supplier would give it
        comms->business.fetchAccountAddresses = [this](const QString &account) {
            m_fetched << account;
            if (account == "C123456" || account == "M1234567")
                AppContext::sharedSettings()->setValue("busNames/" + account, account == "C123456" ? "Acme Shutters" : "Mill Blinds");
            return QString();
        };
        comms->staff.refreshStaffList = [] {};
        comms->staff.addStaff = [this](const QString &id, const QString &name) { return m_added << id + ":" + name, true; };
        comms->staff.fullNameFromShortName = [](const QString &id) { return id == "Admin" ? "Administrator" : id == "JS" ? "Jo Smith" : ""; };
        return comms;
    }

private slots:
    void initTestCase()
    {
        TestEnv::initApp();
        QVERIFY2(m_s3.start({"lattica", "vexatimecodes"}), qPrintable(m_s3.error()));
        QVERIFY2(m_mail.start(), qPrintable(m_mail.error()));
        m_store.open(m_s3);
        put(kOwner + "/enc", encryptText(kOwnerPassword.toLocal8Bit()).toBase64());
        put(kOwner + "/nxtdev", "7");
        put(kOwner + "/st/lta.ini", "[General]\nsuppAccnts_sl=C123456\n[busNames]\nC123456=Acme Shutters\n");
        put("gone@example.com/enc", QByteArray());
        put("K7Q2-MX", "2,JS," + kOwner.toLatin1(), "vexatimecodes");
        put("TWO-FIELDS", "2,JS", "vexatimecodes");
        // universal data every registration and sign-in checks first
        put("0_cfg/V3VexaData.zip", TestZip::make({{"prod.ini", "universal"}}));
        put("0_cfg/VexaCfg.zip", TestZip::make({{"edi.cfg", "[General]\n"}}));
    }

    void init()
    {
        put("0_cfg/un.ini", "[General]\ncurrvers=3.12.7\n");
        newDevice();
        m_s3.take();
        m_mail.take();
        m_fetched.clear();
        m_added.clear();
    }

    void registration_data()
    {
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("customer");
        QTest::addColumn<QString>("expected");
        QTest::newRow("exists") << "Owner@Example.com " << "C123456" << "This Lattica email/account already exists";
        for (const char *bad : {"C1234567", "M123456"})
            QTest::newRow(bad) << "new@example.com" << bad << "Invalid Customer Number";
        QTest::newRow("C123456") << "new@example.com" << "C123456" << "Company Name:<br>Acme Shutters";
        QTest::newRow("M1234567") << "new@example.com" << "M1234567" << "Company Name:<br>Mill Blinds";
        QTest::newRow("no business") << "new@example.com" << "C999999" << "No business was found for customer number C999999";
    }

    void registration()
    {
        QFETCH(QString, email);
        QFETCH(QString, customer);
        QFETCH(QString, expected);
        AppContext::userSettings()->setValue("bus_s", "left over");
        auto comms = newComms();
        QCOMPARE(comms->registerAtLTA(email, customer, "secret", false), expected);
        if (expected.startsWith("Company ")) {
            QCOMPARE(user({"controller", "userID_s", "currver"}), QStringList({"true", "Admin", "31207"}));
            QCOMPARE(m_added + m_fetched, QStringList({"Admin:Administrator", customer}));
            QCOMPARE(AppContext::sharedSettings()->value("suppAccnts_sl").toStringList(), QStringList{customer});
            // the universal catalogue arrived on the way
            QCOMPARE(TestEnv::readFile(AppContext::dataFolder + "/V3VexaData/prod.ini"), QByteArray("universal"));
        } else {
            // a failed registration starts the screen clean, installation kept
            QCOMPARE(user({"controller", "regem_s", "bus_s", "datapath", "storagePort_i"}),
                     QStringList({"-", "-", "-", m_data->path(), QString::number(m_s3.port())}));
            QVERIFY(m_added.isEmpty());
        }
        // nothing is written to the account before the business is confirmed
        QCOMPARE(object("new@example.com/enc") + object("new@example.com/nxtdev"), QByteArray("<missing><missing>"));
    }

    // Registration confirmed on one device, sign-in on two more, the last of which then leaves.
    void confirmationThenMoreDevices()
    {
        const QString email = "New.Shop@Example.com ", account = "new.shop@example.com", password = QString::fromUtf8("Tr1cky £ pw");
        auto comms = newComms();
        QCOMPARE(comms->registerAtLTA(email, "C123456", password, false), QString("Company Name:<br>Acme Shutters"));
        AppContext::userSettings()->setValue("bus_s", "Acme Shutters");
        QCOMPARE(comms->confirmedBusiness(email, "C123456", password), QString());
        QCOMPARE(user({"regem_s", "device_n"}), QStringList({account, "1"}));
        QByteArray plain;
        QVERIFY(decryptText(QByteArray::fromBase64(object(account + "/enc")), &plain) && plain == password.toLocal8Bit());
        const QJsonObject mail = m_mail.take().value(0);
        QCOMPARE(QStringList({mailField(mail, "to"), mailField(mail, "subject"), mailField(mail, "text"), mail.value("authorization").toString()}),
                 QStringList({kSupport, "New Lattica account: ", "Account: C123456 : Acme Shutters<p>Email: new.shop@example.com",
                              "Basic " + QByteArray("api:key-test").toBase64()}));

        put(account + "/st/lta.ini", "[General]\nsuppAccnts_sl=C123456\n"); // as the first device's settings sync leaves it
        newDevice();
        m_fetched.clear();
        QCOMPARE(newComms()->registerAtLTA(" NEW.shop@example.com", QString(), password, true), QString());
        QCOMPARE(user({"device_n", "regem_s", "controller", "userName_s"}), QStringList({"2", account, "true", "Administrator"}));
        // the account's shared settings came down and its business data was fetched
        QCOMPARE(AppContext::sharedSettings()->value("suppAccnts_sl").toStringList() + m_fetched, QStringList({"C123456", "C123456"}));
        newDevice(); // and a third device follows
        QCOMPARE(newComms()->registerAtLTA(account, QString(), password, true), QString());
        QCOMPARE(user({"device_n"}) << QString(object(account + "/nxtdev")), QStringList({"3", "3"}));

        // leaving the account keeps the installation
        newComms()->unregister();
        QCOMPARE(user({"regem_s", "device_n", "datapath"}), QStringList({"-", "-", m_data->path()}));
        QVERIFY(AppContext::sharedSettings()->allKeys().isEmpty() && AppContext::userSettings()->contains("credblock_s"));
    }

    void signInRefused_data()
    {
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QByteArray>("secret");
        QTest::addColumn<QString>("expected");
        QTest::newRow("wrong password") << kOwner << "sesame 1" << QByteArray(S3TestServer::kSecret) << "Incorrect password";
        QTest::newRow("no account") << "nobody@example.com" << "x" << QByteArray(S3TestServer::kSecret) << "There is no Lattica account for nobody@example.com";
        QTest::newRow("disabled") << "gone@example.com" << "x" << QByteArray(S3TestServer::kSecret) << "Your account is disabled.\nContact: " + kSupport;
        QTest::newRow("wrong secret") << kOwner << kOwnerPassword << QByteArray("not-the-secret") << kDenied;
        QTest::newRow("no credentials") << kOwner << kOwnerPassword << QByteArray() << "Security file decrypt failure: 2";
    }

    void signInRefused()
    {
        QFETCH(QString, email);
        QFETCH(QString, password);
        QFETCH(QByteArray, secret);
        QFETCH(QString, expected);
        const QByteArray counter = object(kOwner + "/nxtdev"), record = object(kOwner + "/enc");
        AppContext::userSettings()->setValue("credblock_s", secret.isEmpty() ? QString("00ff00ff")
                                                                             : CloudFixture::sealed(secret));
        m_s3.take();
        auto comms = newComms();
        QCOMPARE(comms->registerAtLTA(email, QString(), password, true), expected);
        QCOMPARE(user({"controller", "device_n", "regem_s"}), QStringList({"-", "-", "-"}));
        if (secret.isEmpty()) {
            // without a valid credential block nothing is attempted
            QCOMPARE(comms->checkPwd(kOwner, kOwnerPassword) + comms->registerStaff("K7Q2-MX"), expected + expected);
            QVERIFY(comms->checkForData("V3VexaData") == -1 && !comms->storePassword(kOwner, "x"));
            QVERIFY(m_s3.take().isEmpty());
        }
        QCOMPARE(object(kOwner + "/nxtdev") + object(kOwner + "/enc"), counter + record);
    }

    void staffCode_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("expected");
        QTest::newRow("valid") << " K7Q2-MX" << "Connected to account " + kOwner;
        QTest::newRow("two fields") << "TWO-FIELDS" << "Failed to read valid data using your code";
        QTest::newRow("unknown") << "ZZZZ-00" << "Invalid code.  Note that the code expires after 1 day";
    }

    void staffCode()
    {
        QFETCH(QString, code);
        QFETCH(QString, expected);
        CloudFixture::setUser({{"controller", true}, {"oStaffID", "99"}, {"regem_s", "someone@else.example"}});
        const QByteArray counter = object(kOwner + "/nxtdev");
        auto comms = newComms();
        QCOMPARE(comms->registerStaff(code), expected);
        const QStringList keys{"controller", "oStaffID", "userID_s", "userName_s", "regem_s", "bus_s", "device_n"};
        if (expected.startsWith("Connected")) {
            QCOMPARE(user(keys), QStringList({"false", "2", "JS", "Jo Smith", kOwner, "Acme Shutters", QString::number(counter.toInt() + 1)}));
            QVERIFY(m_fetched.isEmpty()); // a staff member does not manage the business accounts
        } else {
            QCOMPARE(user(keys).mid(1, 4), QStringList({"-", "-", "-", "-"}));
            QVERIFY(!AppContext::setting("controller").toBool() && comms->regEmail().isEmpty());
            QCOMPARE(object(kOwner + "/nxtdev"), counter);
        }
    }

    void forgottenAndChangedPassword()
    {
        const QString email = "reset@example.com";
        auto comms = newComms();
        QVERIFY(comms->storePassword(email, "Old pw 1"));
        QCOMPARE(comms->forgotPassword("unknown@example.com"), QString("There is no Lattica account for unknown@example.com"));
        QStringList temporaries;
        const QRegularExpression text("^reset@example.com\\|Your Lattica password\\|Your temporary Lattica password is:\n([0-9A-Y]{8})\n"
                                      "You can change this from the Settings page of Lattica$");
        for (int round = 0; round < 2; ++round) {
            QCOMPARE(comms->forgotPassword(email), "An email with a temporary password has been sent to " + email);
            const QJsonObject mail = m_mail.take().value(0);
            const QString sent = mailField(mail, "to") + "|" + mailField(mail, "subject") + "|" + mailField(mail, "text");
            QVERIFY2(text.match(sent).hasMatch(), qPrintable(sent));
            temporaries << text.match(sent).captured(1);
        }
        QVERIFY(temporaries[0] != temporaries[1]);
        QCOMPARE(comms->checkPwd(email, "Old pw 1") + comms->checkPwd(email, temporaries[0]), QString("Incorrect passwordIncorrect password"));

        AppContext::userSettings()->setValue("regem_s", email);
        QCOMPARE(comms->resetPassword("Old pw 1", "New pw 2", true), QString("Incorrect password"));
        QCOMPARE(comms->resetPassword(temporaries[1], "New pw 2", true), QString());
        QCOMPARE(comms->checkPwd(email, "New pw 2") + comms->checkPwd(email, temporaries[1]), QString("Incorrect password"));
        // other devices of the account find the change in the uploaded copy
        const QByteArray stamp = AppContext::sharedSettings()->value("pwrst").toByteArray();
        QVERIFY(stamp.toLongLong() > QDateTime::currentMSecsSinceEpoch() - 60000 && object(email + "/rc/lta.ini").contains("pwrst=" + stamp));
    }

    void catalogueDownloadThenNotModified()
    {
        const QString folder = AppContext::dataFolder + "/V3VexaData";
        QVERIFY(TestEnv::writeFile(folder + "/stale.csv", "from the previous catalogue"));
        put(kZip, TestZip::make({{"prod.ini", "[General]\nversion=2\n"}, {"Products/", QByteArray()},
                                 {"Products/shutters.csv", "Range,Min,Max\nTier 1,200,900\n"}, {"tiny.txt", "ab"}}));
        auto comms = newComms(true);
        QCOMPARE(comms->checkForData("V3VexaData"), 1);
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), (QStringList{"prod.ini", "Products", "tiny.txt"}));
        QCOMPARE(TestEnv::readFile(folder + "/Products/shutters.csv") + TestEnv::readFile(folder + "/tiny.txt"),
                 QByteArray("Range,Min,Max\nTier 1,200,900\nab"));
        for (const char *leftover : {".zip", ".part", ".old"})
            QVERIFY2(!QFileInfo::exists(folder + leftover), leftover);

        QCOMPARE(comms->checkForData("V3VexaData"), 0);
        QCOMPARE(comms->lastMessage(), QString("No new data is available"));
        QVERIFY(QFile::exists(folder + "/prod.ini"));
        // without the local folder the check is unconditional again
        QVERIFY(QDir(folder).removeRecursively());
        QCOMPARE(comms->checkForData("V3VexaData"), 1);
        QVERIFY(QFile::exists(folder + "/prod.ini"));
    }

    void refusedArchiveKeepsCatalogue_data()
    {
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<QString>("message");
        const QString invalid = "Invalid data from the cloud. Try uploading again from Vexa Setup.";
        QTest::newRow("parent") << TestZip::make({{"ok.csv", "fine"}, {"Products/../../evil.txt", "escaped"}}) << invalid;
        QTest::newRow("absolute") << TestZip::make({{kOutside + "/evil.txt", "escaped"}}) << invalid;
        // a stored entry whose bytes change after the CRC was taken
        QByteArray damaged = TestZip::make({{"first.csv", "written before"}, {"second.csv", "CORRUPTME and more"}}, true);
        damaged[damaged.indexOf("CORRUPTME")] = 'X';
        QTest::newRow("damaged") << damaged << invalid;
        QTest::newRow("9 bytes") << QByteArray("PK\x03\x04xxxxx", 9) << "Invalid data from cloud (too few bytes)";
    }

    void refusedArchiveKeepsCatalogue()
    {
        QFETCH(QByteArray, archive);
        QFETCH(QString, message);
        const QString folder = AppContext::dataFolder + "/V3VexaData";
        put(kZip, TestZip::make({{"prod.ini", "good catalogue"}}));
        auto comms = newComms(true);
        comms->checkForData("V3VexaData");
        put(kZip, archive);
        AppContext::userSettings()->remove("V3VexaData"); // same second: ask unconditionally
        QCOMPARE(comms->checkForData("V3VexaData"), -1);
        QCOMPARE(comms->lastMessage(), message);
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"prod.ini"});
        QCOMPARE(TestEnv::readFile(folder + "/prod.ini"), QByteArray("good catalogue"));
        for (const QString &path : {folder + ".part", AppContext::dataFolder + "/evil.txt", QFileInfo(AppContext::dataFolder).absolutePath() + "/evil.txt", kOutside})
            QVERIFY2(!QFileInfo::exists(path), qPrintable(path));
    }

    void dataCheckTask()
    {
        put(kZip, TestZip::make({{"prod.ini", "catalogue"}}));
        put("acc@example.com/VexaCfg.zip", TestZip::make({{"edi.cfg", "[General]\n"}}));
        auto comms = newComms(true);
        QSignalSpy results(comms.get(), &CloudComms::asyncResult);
        QSignalSpy catalogue(comms.get(), &CloudComms::catalogueUpdated);
        QSignalSpy config(comms.get(), &CloudComms::businessConfigUpdated);
        // the interface asks again while the runner waits for the first probe
        QList<int> seen;
        QTimer::singleShot(0, this, [&] {
            comms->asyncCheckForData();
            comms->asyncCheckForData();
            comms->queueTask(CloudComms::TaskConnections);
            seen = comms->queuedTasks();
        });
        m_s3.take();
        comms->asyncCheckForData();
        QCOMPARE(seen, (QList<int>{CloudComms::TaskCheckForData, CloudComms::TaskConnections}));
        const QList<QJsonObject> requests = m_s3.take(); // two probes: one for each task
        QCOMPARE(int(std::count_if(requests.begin(), requests.end(), [](const QJsonObject &e) { return e.value("url") == "/"; })), 2);
        QVERIFY(comms->queuedTasks().isEmpty());
        QCOMPARE(only(results), QString("Products: Successfully downloaded new data.\nSettings: Successfully downloaded new settings"));
        QCOMPARE(catalogue.count(), 1);
        QCOMPARE(config.count(), 1);
        QVERIFY(QFile::exists(AppContext::dataFolder + "/VexaCfg/edi.cfg"));
        // a failed catalogue fetch skips the settings
        QVERIFY(m_store.conn->deleteFile(kZip, "lattica"));
        AppContext::userSettings()->remove("V3VexaData");
        comms->asyncCheckForData();
        QCOMPARE(only(results), "Products: " + kNotFound);
    }

    void configurationAndUniversalSettings()
    {
        appSettings *settings = AppContext::userSettings();
        settings->setValue("lead_time_i", 5);
        put("0_cfg/un.ini", "[General]\ncurrvers=3.12.7\nnotifytitle=hello\n-lead_time_i=\n");
        auto comms = newComms(true);
        comms->checkFor_cfgUpdates(true);
        QCOMPARE(TestEnv::readFile(AppContext::dataFolder + "/V3VexaData/prod.ini"), QByteArray("universal"));
        QCOMPARE(user({"currver", "notifytitle", "lead_time_i"}), QStringList({"31207", "hello", "-"}));

        // unchanged on the server: a 304 leaves local changes alone
        settings->setValue("notifytitle", "changed here");
        comms->downloadUniversalSettings();
        QCOMPARE(user({"notifytitle"}), QStringList{"changed here"});
        QVERIFY(!m_s3.take().last().value("headers").toObject().value("if-modified-since").toString().isEmpty());
        // the notification check merges its own copy
        settings->remove("un.ini");
        QVERIFY(comms->notificationCheck());
        QCOMPARE(user({"notifytitle"}), QStringList{"hello"});
    }

    void fileTransfers()
    {
        const QString local = m_data->filePath("report.txt"), copy = m_data->filePath("copy.txt");
        auto comms = newComms(true);
        QVERIFY(!comms->uploadFile(m_data->filePath("missing.txt"), "acc@example.com/missing.txt", false));
        QVERIFY(TestEnv::writeFile(local, "order report"));
        QVERIFY(comms->uploadFile(local, "acc@example.com/report.txt", true));
        QCOMPARE(m_s3.take().value(0).value("headers").toObject().value("x-amz-acl").toString(), QString("public-read"));
        QVariant condition;
        QCOMPARE(comms->downloadToFile(copy, "acc@example.com/report.txt", &condition), 0);
        QCOMPARE(TestEnv::readFile(copy), QByteArray("order report"));
        QCOMPARE(comms->downloadToFile(copy, "acc@example.com/report.txt", &condition), 304);
        QCOMPARE(comms->downloadToFile(copy, "acc@example.com/nothing.txt"), int(QNetworkReply::ContentNotFoundError));
        QCOMPARE(comms->downloadToFile(m_data->filePath("no/such/folder/x.txt"), "acc@example.com/report.txt"), 1);
        QCOMPARE(TestEnv::readFile(copy), QByteArray("order report"));
    }

    void staffCheckAndProductDatabase()
    {
        AppContext::sharedSettings()->setValue("staff/1", "Admin:Administrator:AAAA:2460000");
        put("acc@example.com/db/JS.db3", "SQLite format 3 (test)");
        AppContext::userSettings()->setValue("dbmod", true);
        auto comms = newComms(true);
        QSignalSpy results(comms.get(), &CloudComms::asyncResult);
        comms->asyncRegisterUser();
        QCOMPARE(only(results), QString("The user ID: JS has been removed from this Lattica account"));
        QCOMPARE(TestEnv::readFile(AppContext::dataFolder + "/db/products.db3"), QByteArray("SQLite format 3 (test)"));
        QCOMPARE(AppContext::setting("dbmod"), QVariant(false));
        AppContext::sharedSettings()->setValue("staff/2", "JS:Jo Smith:BBBB:2460000");
        comms->queueTask(CloudComms::TaskStaffCheck);
        QCOMPARE(only(results), QString());
    }

    void offline()
    {
        auto comms = newComms(true);
        AppContext::userSettings()->setValue("inetProbeUrl_s", "http://127.0.0.1:1/"); // nothing answers there
        QVERIFY(!comms->checkInternet());
        QSignalSpy results(comms.get(), &CloudComms::asyncResult);
        comms->queueTask(CloudComms::TaskConnections);
        QCOMPARE(only(results), QString("You are not connected to the Internet"));
    }
};

QTEST_GUILESS_MAIN(TestCloudComms)
#include "tst_cloudcomms.moc"
