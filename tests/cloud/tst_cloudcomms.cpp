// The cloud controller against a real S3-compatible server (npm s3rver, which
// also serves the probed page) and the local stand-in of the mail API, both
// on 127.0.0.1: accounts, staff codes, passwords, catalogue and configuration
// updates, file transfers and the task queue.
#include "app/appcontext.h"
#include "app/appsettings.h"
#include "app/textcipher.h"
#include "cloud/cloudcomms.h"
#include "cloud/cloudcredentials.h"
#include "cloud/qamazonconnection.h"
#include "testenv.h"
#include "testservers.h"
#include "testzip.h"

#include <QJsonArray>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>
#include <memory>

namespace {
const QString kOwner = "owner@example.com", kOwnerPassword = "Sesame 1", kSupport = "help@lattica.test";
const QString kZip = "acc@example.com/V3VexaData.zip", kNotFound = "Failed to find your account or catalogue data in the cloud.";
const QString kDenied = "Access denied. Check that your device time is correct. It must be within 2 mins of actual time, and account is correct";

QString field(const QJsonObject &message, const QString &name)
{
    for (const QJsonValue &v : message.value("parts").toArray())
        if (v.toObject().value("name").toString() == name)
            return QString::fromUtf8(QByteArray::fromBase64(v.toObject().value("body").toString().toLatin1()));
    return "<no " + name + ">";
}
// User settings as text, "-" where unset.
QStringList user(const QStringList &keys)
{
    QStringList out;
    for (const QString &key : keys)
        out << AppContext::userSettings()->value(key, "-").toString();
    return out;
}
QStringList filesUnder(const QString &folder)
{
    QStringList out;
    for (QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
        out << QDir(folder).relativeFilePath(it.next());
    out.sort();
    return out;
}
} // namespace

class TestCloudComms : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void registration_data();
    void registration();
    void confirmationThenSignIn();
    void twoDevicesTakeConsecutiveNumbers();
    void signInRefused_data();
    void signInRefused();
    void staffCode_data();
    void staffCode();
    void forgottenAndChangedPassword();
    void storageRefused_data();
    void storageRefused();
    void unregisterKeepsInstallation();
    void catalogueDownloadThenNotModified();
    void refusedArchiveKeepsCatalogue_data();
    void refusedArchiveKeepsCatalogue();
    void dataCheckTask();
    void configurationAndUniversalSettings();
    void fileTransfers();
    void staffCheckAndProductDatabase();
    void queueWhileRunning();
    void offlineAndStopped();

private:
    std::unique_ptr<CloudComms> newComms(bool signedIn = false);
    void newDevice();
    QByteArray object(const QString &key)
    {
        QNetworkReply *reply = m_seed->getFile("lattica", key.toLatin1());
        return reply->error() == QNetworkReply::NoError ? reply->readAll() : "<missing>";
    }
    void put(const QString &key, const QByteArray &body, const char *bucket = "lattica")
    {
        QNetworkReply *reply = m_seed->putFile(key, QLatin1String(bucket), body, false);
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
    MailTestServer m_mail;
    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<QAmazonConnection> m_seed;
    QStringList m_fetched, m_added;
    int m_refreshes = 0;
};

void TestCloudComms::initTestCase()
{
    TestEnv::initApp();
    QVERIFY2(m_s3.start({"lattica", "vexatimecodes"}), qPrintable(m_s3.error()));
    QVERIFY2(m_mail.start(), qPrintable(m_mail.error()));
    m_seed.reset(new QAmazonConnection(S3TestServer::kKeyId, S3TestServer::kSecret, m_s3.endpoint()));
    put(kOwner + "/enc", encryptText(kOwnerPassword.toLocal8Bit()).toBase64());
    put(kOwner + "/nxtdev", "7");
    put(kOwner + "/st/lta.ini", "[General]\nsuppAccnts_sl=C123456\n[busNames]\nC123456=Acme Shutters\n");
    put("gone@example.com/enc", QByteArray());
    put("broken@example.com/enc", QByteArray("not a cipher").toBase64());
    put("K7Q2-MX", "2,JS," + kOwner.toLatin1(), "vexatimecodes");
    put("TWO-FIELDS", "2,JS", "vexatimecodes");
    put("NO-ACCOUNT", "3,AB,nobody@example.com", "vexatimecodes");
    put("probe/empty", QByteArray());
}

void TestCloudComms::init()
{
    // universal data every registration and sign-in checks first
    put("0_cfg/V3VexaData.zip", TestZip::make({{"prod.ini", "universal"}}));
    put("0_cfg/VexaCfg.zip", TestZip::make({{"edi.cfg", "[General]\n"}}));
    put("0_cfg/un.ini", "[General]\ncurrvers=3.12.7\n");
    newDevice();
    m_s3.take();
    m_mail.take();
    m_fetched.clear();
    m_added.clear();
    m_refreshes = 0;
}

// A fresh installation: empty user settings and its own data folder.
void TestCloudComms::newDevice()
{
    if (appSettings *old = AppContext::userSettings()) {
        old->clear();
        old->sync();
    }
    m_data.reset(TestEnv::freshDataFolder());
    m_s3.useInSettings();
    appSettings *user = AppContext::userSettings();
    user->setValue("credblock_s", QString(CloudCredentials::seal(S3TestServer::kKeyId, S3TestServer::kSecret, "api:key-test")));
    user->setValue("ltaurl", m_mail.url("/v3/mg.example/messages").toString());
    user->setValue("supportemail", kSupport);
    user->setValue("inetProbeUrl_s", m_s3.url("/").toString()); // the bucket list: a page with content
}

std::unique_ptr<CloudComms> TestCloudComms::newComms(bool signedIn)
{
    if (signedIn) {
        AppContext::userSettings()->setValue("regem_s", "acc@example.com");
        AppContext::userSettings()->setValue("userID_s", "JS");
    }
    std::unique_ptr<CloudComms> comms(new CloudComms(nullptr));
    // the business data of a customer number, as the supplier would give it
    comms->business.fetchAccountAddresses = [this](const QString &account) {
        m_fetched << account;
        const QMap<QString, QString> names{{"C123456", "Acme Shutters"}, {"M1234567", "Mill Blinds"}};
        if (names.contains(account))
            AppContext::sharedSettings()->setValue("busNames/" + account, names.value(account));
        return QString();
    };
    comms->staff.refreshStaffList = [this] { ++m_refreshes; };
    comms->staff.addStaff = [this](const QString &id, const QString &name) { return m_added << id + ":" + name, true; };
    comms->staff.fullNameFromShortName = [](const QString &id) {
        return id == "Admin" ? "Administrator" : id == "JS" ? "Jo Smith" : "";
    };
    return comms;
}

void TestCloudComms::registration_data()
{
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("customer");
    QTest::addColumn<QString>("expected");
    QTest::newRow("exists") << "Owner@Example.com " << "C123456" << "This Lattica email/account already exists";
    for (const char *bad : {"c123456", "C12345", "M123456", "C1234567"})
        QTest::newRow(bad) << "new@example.com" << bad << "Invalid Customer Number";
    QTest::newRow("C123456") << "new@example.com" << "C123456" << "Company Name:<br>Acme Shutters";
    QTest::newRow("M1234567") << "new@example.com" << "M1234567" << "Company Name:<br>Mill Blinds";
    QTest::newRow("no business") << "new@example.com" << "C999999" << "No business was found for customer number C999999";
}

void TestCloudComms::registration()
{
    QFETCH(QString, email);
    QFETCH(QString, customer);
    QFETCH(QString, expected);
    AppContext::userSettings()->setValue("bus_s", "left over");
    auto comms = newComms();
    QCOMPARE(comms->registerAtLTA(email, customer, "secret", false), expected);
    if (expected.startsWith("Company ")) {
        QCOMPARE(user({"controller", "userID_s", "currver"}), QStringList({"true", "Admin", "31207"}));
        QCOMPARE(m_added, QStringList{"Admin:Administrator"});
        QCOMPARE(m_fetched, QStringList{customer});
        QCOMPARE(AppContext::sharedSettings()->value("suppAccnts_sl").toStringList(), QStringList{customer});
        // the universal catalogue arrived on the way
        QCOMPARE(TestEnv::readFile(AppContext::dataFolder + "/V3VexaData/prod.ini"), QByteArray("universal"));
    } else {
        // a failed registration starts the screen clean, installation kept
        QCOMPARE(user({"controller", "regem_s", "bus_s", "datapath", "storagePort_i"}),
                 QStringList({"-", "-", "-", m_data->path(), QString::number(m_s3.port())}));
        QVERIFY(comms->regEmail().isEmpty() && m_added.isEmpty());
    }
    // nothing is written to the account before the business is confirmed
    QCOMPARE(object("new@example.com/enc") + object("new@example.com/nxtdev"), QByteArray("<missing><missing>"));
}

void TestCloudComms::confirmationThenSignIn()
{
    const QString email = "New.Shop@Example.com ", account = "new.shop@example.com", password = QString::fromUtf8("Tr1cky £ pw");
    auto comms = newComms();
    QCOMPARE(comms->registerAtLTA(email, "C123456", password, false), QString("Company Name:<br>Acme Shutters"));
    AppContext::userSettings()->setValue("bus_s", "Acme Shutters");
    QCOMPARE(comms->confirmedBusiness(email, "C123456", password), QString());
    QCOMPARE(user({"regem_s", "device_n", "list2lbl_s"}), QStringList({account, "1", "Delivery Address"}));
    QCOMPARE(object(account + "/nxtdev"), QByteArray("1"));
    QByteArray plain;
    QVERIFY(decryptText(QByteArray::fromBase64(object(account + "/enc")), &plain));
    QCOMPARE(plain, password.toLocal8Bit());
    QCOMPARE(newComms()->checkPwd(account, password), QString());

    const QList<QJsonObject> mails = m_mail.take();
    QCOMPARE(mails.size(), 1);
    QCOMPARE(QStringList({field(mails[0], "to"), field(mails[0], "subject"), field(mails[0], "text")}),
             QStringList({kSupport, "New Lattica account: ", "Account: C123456 : Acme Shutters<p>Email: new.shop@example.com"}));
    QCOMPARE(mails[0].value("authorization").toString(), QString("Basic " + QByteArray("api:key-test").toBase64()));
}

void TestCloudComms::twoDevicesTakeConsecutiveNumbers()
{
    const int first = object(kOwner + "/nxtdev").toInt();
    QVERIFY(first > 0);
    QCOMPARE(newComms()->registerAtLTA(" OWNER@example.com", QString(), kOwnerPassword, true), QString());
    QCOMPARE(user({"device_n", "regem_s", "controller", "userName_s"}),
             QStringList({QString::number(first + 1), kOwner, "true", "Administrator"}));
    QVERIFY(AppContext::userSettings()->value("pwrst").toLongLong() > QDateTime::currentMSecsSinceEpoch() - 60000);
    // the account's shared settings came down and its business data was fetched
    QCOMPARE(AppContext::sharedSettings()->value("suppAccnts_sl").toStringList(), QStringList{"C123456"});
    QCOMPARE(m_fetched, QStringList{"C123456"});
    QVERIFY(m_added.isEmpty() && m_refreshes > 0);

    newDevice();
    QCOMPARE(newComms()->registerAtLTA(kOwner, QString(), kOwnerPassword, true), QString());
    QCOMPARE(user({"device_n"}), QStringList{QString::number(first + 2)});
    QCOMPARE(object(kOwner + "/nxtdev"), QByteArray::number(first + 2));
}

void TestCloudComms::signInRefused_data()
{
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("expected");
    QTest::newRow("wrong password") << kOwner << "sesame 1" << "Incorrect password";
    QTest::newRow("password prefix") << kOwner << "Sesame" << "Incorrect password";
    QTest::newRow("no account") << "nobody@example.com" << "x" << "There is no Lattica account for nobody@example.com";
    QTest::newRow("emptied record") << "gone@example.com" << "x" << "Your account is disabled.\nContact: " + kSupport;
    QTest::newRow("invalid record") << "broken@example.com" << "x" << "Your account is disabled.\nContact: " + kSupport;
    QTest::newRow("no credentials") << kOwner << kOwnerPassword << "Security file decrypt failure: 2";
}

void TestCloudComms::signInRefused()
{
    QFETCH(QString, email);
    QFETCH(QString, password);
    QFETCH(QString, expected);
    const QByteArray counter = object(kOwner + "/nxtdev"), record = object(kOwner + "/enc");
    if (expected.startsWith("Security")) {
        // without a valid credential block nothing is attempted
        AppContext::userSettings()->setValue("credblock_s", "00ff00ff");
        m_s3.take();
    }
    auto comms = newComms();
    QCOMPARE(comms->registerAtLTA(email, QString(), password, true), expected);
    QCOMPARE(comms->lastMessage(), expected);
    QCOMPARE(user({"controller", "device_n", "regem_s"}), QStringList({"-", "-", "-"}));
    if (expected.startsWith("Security")) {
        QCOMPARE(comms->checkPwd(kOwner, kOwnerPassword), expected);
        QCOMPARE(comms->registerStaff("K7Q2-MX"), expected);
        QCOMPARE(comms->checkForData("V3VexaData"), -1);
        QVERIFY(!comms->storePassword(kOwner, "x"));
        QVERIFY(m_s3.take().isEmpty());
    }
    QCOMPARE(object(kOwner + "/nxtdev") + object(kOwner + "/enc"), counter + record);
}

void TestCloudComms::staffCode_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("expected");
    QTest::newRow("valid") << " K7Q2-MX" << "Connected to account " + kOwner;
    QTest::newRow("two fields") << "TWO-FIELDS" << "Failed to read valid data using your code";
    QTest::newRow("unknown") << "ZZZZ-00" << "Invalid code.  Note that the code expires after 1 day";
    QTest::newRow("account gone") << "NO-ACCOUNT" << "There is no Lattica account for nobody@example.com";
}

void TestCloudComms::staffCode()
{
    QFETCH(QString, code);
    QFETCH(QString, expected);
    appSettings *settings = AppContext::userSettings();
    settings->setValue("controller", true);
    settings->setValue("oStaffID", "99");
    settings->setValue("regem_s", "someone@else.example");
    const QByteArray counter = object(kOwner + "/nxtdev");
    auto comms = newComms();
    QCOMPARE(comms->registerStaff(code), expected);
    const QStringList keys{"controller", "oStaffID", "userID_s", "userName_s", "regem_s", "bus_s", "device_n"};
    if (expected.startsWith("Connected")) {
        QCOMPARE(user(keys), QStringList({"false", "2", "JS", "Jo Smith", kOwner, "Acme Shutters", QString::number(counter.toInt() + 1)}));
        QVERIFY(m_fetched.isEmpty()); // a staff member does not manage the business accounts
    } else {
        QCOMPARE(user(keys).mid(1, 4), QStringList({"-", "-", "-", "-"}));
        QVERIFY(!settings->value("controller").toBool() && comms->regEmail().isEmpty());
        QCOMPARE(object(kOwner + "/nxtdev"), counter);
    }
}

void TestCloudComms::forgottenAndChangedPassword()
{
    const QString email = "reset@example.com";
    auto comms = newComms();
    QVERIFY(comms->storePassword(email, "Old pw 1"));
    QCOMPARE(comms->forgotPassword("unknown@example.com"), QString("There is no Lattica account for unknown@example.com"));
    QCOMPARE(m_mail.take().size(), 0);

    QStringList temporaries;
    const QRegularExpression text("^Your temporary Lattica password is:\n([0-9A-Y]{8})\n"
                                  "You can change this from the Settings page of Lattica$");
    for (int round = 0; round < 2; ++round) {
        QCOMPARE(comms->forgotPassword(email), "An email with a temporary password has been sent to " + email);
        const QJsonObject mail = m_mail.take().value(0);
        QCOMPARE(QStringList({field(mail, "to"), field(mail, "subject")}), QStringList({email, "Your Lattica password"}));
        QVERIFY(field(mail, "from").startsWith("Lattica Support <"));
        const QRegularExpressionMatch m = text.match(field(mail, "text"));
        QVERIFY2(m.hasMatch(), qPrintable(field(mail, "text")));
        temporaries << m.captured(1);
    }
    QVERIFY(temporaries[0] != temporaries[1]);
    QCOMPARE(comms->checkPwd(email, "Old pw 1") + comms->checkPwd(email, temporaries[0]), QString("Incorrect passwordIncorrect password"));
    QCOMPARE(comms->checkPwd(email, temporaries[1]), QString());

    AppContext::userSettings()->setValue("regem_s", email);
    QCOMPARE(comms->resetPassword("Old pw 1", "New pw 2", true), QString("Incorrect password"));
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    QCOMPARE(comms->resetPassword(temporaries[1], "New pw 2", true), QString());
    QCOMPARE(comms->checkPwd(email, "New pw 2"), QString());
    QCOMPARE(comms->checkPwd(email, temporaries[1]), QString("Incorrect password"));
    const qint64 stamp = AppContext::sharedSettings()->value("pwrst").toLongLong();
    QVERIFY(stamp >= before);
    // other devices of the account find the change in the uploaded copy
    QVERIFY(object(email + "/rc/lta.ini").contains("pwrst=" + QByteArray::number(stamp)));
}

void TestCloudComms::storageRefused_data()
{
    QTest::addColumn<QByteArray>("secret");
    QTest::addColumn<int>("clockOffset");
    QTest::addColumn<QString>("expected");
    QTest::newRow("wrong secret") << QByteArray("not-the-secret") << 0 << kDenied;
    QTest::newRow("expired") << QByteArray(S3TestServer::kSecret) << -7200 << kDenied;
    QTest::newRow("nothing listening") << QByteArray(S3TestServer::kSecret) << 0 << "Connection refused, (1)";
}

void TestCloudComms::storageRefused()
{
    QFETCH(QByteArray, secret);
    QFETCH(int, clockOffset);
    QFETCH(QString, expected);
    AppContext::userSettings()->setValue("credblock_s", QString(CloudCredentials::seal(S3TestServer::kKeyId, secret, "api:k")));
    if (expected.startsWith("Connection")) {
        QTcpServer closed; // a port that was free a moment ago
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        AppContext::userSettings()->setValue("storagePort_i", closed.serverPort());
    }
    auto comms = newComms();
    comms->connection()->setClockOffset(clockOffset);
    QCOMPARE(comms->checkPwd(kOwner, kOwnerPassword), expected);
    QCOMPARE(comms->registerStaff("K7Q2-MX"), "Failed: " + expected);
    QCOMPARE(comms->registerAtLTA("brand.new@example.com", "C123456", "pw", false), expected);
}

void TestCloudComms::unregisterKeepsInstallation()
{
    AppContext::userSettings()->setValue("regem_s", kOwner);
    AppContext::userSettings()->setValue("device_n", 4);
    AppContext::sharedSettings()->setValue("suppAccnts_sl", QStringList{"C123456"});
    auto comms = newComms();
    QCOMPARE(comms->regEmail(), kOwner);
    comms->unregister();
    QVERIFY(comms->regEmail().isEmpty() && AppContext::sharedSettings()->allKeys().isEmpty());
    QCOMPARE(user({"regem_s", "device_n", "datapath"}), QStringList({"-", "-", m_data->path()}));
    QVERIFY(AppContext::userSettings()->contains("credblock_s"));
}

void TestCloudComms::catalogueDownloadThenNotModified()
{
    const QString folder = AppContext::dataFolder + "/V3VexaData";
    QVERIFY(TestEnv::writeFile(folder + "/stale.csv", "from the previous catalogue"));
    put(kZip, TestZip::make({{"prod.ini", "[General]\nversion=2\n"}, {"Products/", QByteArray()},
                             {"Products/shutters.csv", "Range,Min,Max\nTier 1,200,900\n"}, {"tiny.txt", "ab"}}));
    auto comms = newComms(true);
    QCOMPARE(comms->checkForData("V3VexaData"), 1);
    QCOMPARE(filesUnder(folder), (QStringList{"Products/shutters.csv", "prod.ini", "tiny.txt"}));
    QCOMPARE(TestEnv::readFile(folder + "/Products/shutters.csv") + TestEnv::readFile(folder + "/tiny.txt"),
             QByteArray("Range,Min,Max\nTier 1,200,900\nab"));
    for (const char *leftover : {".zip", ".part", ".old"})
        QVERIFY2(!QFileInfo::exists(folder + leftover), leftover);
    const QString stamp = AppContext::setting("V3VexaData").toString();
    QVERIFY(stamp.endsWith(" GMT"));

    m_s3.take();
    QCOMPARE(comms->checkForData("V3VexaData"), 0);
    QCOMPARE(comms->lastMessage(), QString("No new data is available"));
    const QList<QJsonObject> journal = m_s3.take();
    QCOMPARE(journal.size(), 1);
    QCOMPARE(journal[0].value("headers").toObject().value("if-modified-since").toString(), stamp);
    QVERIFY(QFile::exists(folder + "/prod.ini"));
    // without the local folder the check is unconditional again
    QVERIFY(QDir(folder).removeRecursively());
    QCOMPARE(comms->checkForData("V3VexaData"), 1);
    QVERIFY(QFile::exists(folder + "/prod.ini"));
}

void TestCloudComms::refusedArchiveKeepsCatalogue_data()
{
    QTest::addColumn<QByteArray>("archive");
    QTest::addColumn<QString>("message");
    const QString invalid = "Invalid data from the cloud. Try uploading again from Vexa Setup.";
    const QString outside = QDir::tempPath() + "/lta-unzip-outside-" + QString::number(QCoreApplication::applicationPid());
    QTest::newRow("parent entry") << TestZip::make({{"ok.csv", "fine"}, {"../evil.txt", "escaped"}}) << invalid;
    QTest::newRow("parent inside") << TestZip::make({{"Products/../../evil.txt", "escaped"}}) << invalid;
    QTest::newRow("backslash") << TestZip::make({{"..\\evil.txt", "escaped"}}) << invalid;
    QTest::newRow("absolute") << TestZip::make({{outside + "/evil.txt", "escaped"}}) << invalid;
    // a stored entry whose bytes change after the CRC was taken
    QByteArray damaged = TestZip::make({{"first.csv", "written before"}, {"second.csv", "CORRUPTME and more"}}, true);
    damaged[damaged.indexOf("CORRUPTME")] = 'X';
    QTest::newRow("damaged") << damaged << invalid;
    const QByteArray whole = TestZip::make({{"first.csv", QByteArray(400, 'a')}, {"second.csv", QByteArray(400, 'b')}});
    QTest::newRow("truncated") << whole.left(whole.size() * 2 / 3) << invalid;
    QTest::newRow("9 bytes") << QByteArray("PK\x03\x04xxxxx", 9) << "Invalid data from cloud (too few bytes)";
    QTest::newRow("none") << QByteArray() << kNotFound;
}

void TestCloudComms::refusedArchiveKeepsCatalogue()
{
    QFETCH(QByteArray, archive);
    QFETCH(QString, message);
    const QString folder = AppContext::dataFolder + "/V3VexaData";
    put(kZip, TestZip::make({{"prod.ini", "good catalogue"}}));
    auto comms = newComms(true);
    QCOMPARE(comms->checkForData("V3VexaData"), 1);
    if (archive.isEmpty())
        remove(kZip);
    else
        put(kZip, archive);
    AppContext::userSettings()->remove("V3VexaData"); // same second: ask unconditionally
    QCOMPARE(comms->checkForData("V3VexaData"), -1);
    QCOMPARE(comms->lastMessage(), message);
    QCOMPARE(filesUnder(folder), QStringList{"prod.ini"});
    QCOMPARE(TestEnv::readFile(folder + "/prod.ini"), QByteArray("good catalogue"));
    QVERIFY(!QFileInfo::exists(folder + ".part"));
    QVERIFY(!QFile::exists(AppContext::dataFolder + "/evil.txt"));
    QVERIFY(!QFile::exists(QFileInfo(AppContext::dataFolder).absolutePath() + "/evil.txt"));
    QVERIFY(!QFileInfo::exists(QDir::tempPath() + "/lta-unzip-outside-" + QString::number(QCoreApplication::applicationPid())));
}

void TestCloudComms::dataCheckTask()
{
    put(kZip, TestZip::make({{"prod.ini", "catalogue"}}));
    put("acc@example.com/VexaCfg.zip", TestZip::make({{"edi.cfg", "[General]\n"}}));
    auto comms = newComms(true);
    QSignalSpy results(comms.get(), &CloudComms::asyncResult);
    QSignalSpy catalogue(comms.get(), &CloudComms::catalogueUpdated);
    QSignalSpy config(comms.get(), &CloudComms::businessConfigUpdated);
    auto result = [&] { return results.size() == 1 ? results.takeFirst().at(0).toString() : "<no single result>"; };
    comms->asyncCheckForData();
    QCOMPARE(result(), QString("Products: Successfully downloaded new data.\nSettings: Successfully downloaded new settings"));
    QCOMPARE(catalogue.count() + config.count(), 2);
    QVERIFY(QFile::exists(AppContext::dataFolder + "/VexaCfg/edi.cfg"));
    comms->asyncCheckForData();
    QCOMPARE(result(), QString("Products: No new data is available.\nSettings: No new data is available"));

    // a failed catalogue fetch skips the settings
    remove(kZip);
    remove("acc@example.com/VexaCfg.zip");
    AppContext::userSettings()->remove("V3VexaData");
    comms->asyncCheckForData();
    QCOMPARE(result(), "Products: " + kNotFound);

    AppContext::userSettings()->remove("userID_s");
    m_s3.take();
    comms->asyncCheckForData();
    QCOMPARE(comms->lastMessage(), QString("User ID is empty"));
    AppContext::userSettings()->remove("regem_s");
    comms->asyncCheckForData();
    QCOMPARE(comms->lastMessage(), QString("Your Vexa account has not been set"));
    QCOMPARE(results.count(), 0);
    QVERIFY(m_s3.take().isEmpty());
}

void TestCloudComms::configurationAndUniversalSettings()
{
    appSettings *settings = AppContext::userSettings();
    settings->setValue("lead_time_i", 5);
    put("0_cfg/un.ini", "[General]\ncurrvers=3.12.7\ngreeting=hello\n-lead_time_i=\n");
    auto comms = newComms(true);
    QSignalSpy checked(comms.get(), &CloudComms::configurationChecked);
    comms->checkFor_cfgUpdates(true);
    QCOMPARE(comms->lastMessage(), QString());
    QCOMPARE(checked.count(), 1);
    QCOMPARE(TestEnv::readFile(AppContext::dataFolder + "/V3VexaData/prod.ini"), QByteArray("universal"));
    QCOMPARE(user({"currver", "greeting", "lead_time_i"}), QStringList({"31207", "hello", "-"}));
    QVERIFY(QFile::exists(AppContext::dataFolder + "/un/un.ini"));
    QVERIFY(!m_s3.take().isEmpty());
    comms->checkFor_cfgUpdates(true); // throttled
    QVERIFY(m_s3.take().isEmpty());
    QCOMPARE(checked.count(), 1);

    // unchanged on the server: a 304 leaves local changes alone
    settings->setValue("greeting", "changed here");
    comms->downloadUniversalSettings();
    QCOMPARE(user({"greeting"}), QStringList{"changed here"});
    QVERIFY(!m_s3.take().value(0).value("headers").toObject().value("if-modified-since").toString().isEmpty());
    // the notification check merges its own copy, also after a 304
    settings->remove("un.ini");
    QVERIFY(comms->notificationCheck());
    QCOMPARE(user({"greeting"}), QStringList{"hello"});
    settings->setValue("greeting", "changed again");
    QVERIFY(comms->notificationCheck());
    QCOMPARE(user({"greeting"}), QStringList{"hello"});
    remove("0_cfg/un.ini");
    settings->remove("un.ini");
    QVERIFY(!comms->notificationCheck());

    // a failure stops the check before the universal settings
    settings->remove("cfg_chk");
    settings->remove("V3VexaData");
    remove("0_cfg/V3VexaData.zip");
    comms->checkFor_cfgUpdates();
    QCOMPARE(comms->lastMessage(), kNotFound);
    QCOMPARE(checked.count(), 1);
    for (const auto &v : {qMakePair(QString("3.12"), 0), qMakePair(QString(""), 0), qMakePair(QString("1.2.3.4"), 10203)})
        QCOMPARE(CloudComms::versionNumber(v.first), v.second);
}

void TestCloudComms::fileTransfers()
{
    const QString empty = m_data->filePath("empty.txt"), local = m_data->filePath("report.txt"), copy = m_data->filePath("copy.txt");
    auto comms = newComms(true);
    QVERIFY(TestEnv::writeFile(empty, QByteArray()));
    QVERIFY(comms->uploadFile(empty, "acc@example.com/empty.txt", false));
    QVERIFY(!QFile::exists(empty));
    QVERIFY(!comms->uploadFile(m_data->filePath("missing.txt"), "acc@example.com/missing.txt", false));
    QVERIFY(m_s3.take().isEmpty());

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

void TestCloudComms::staffCheckAndProductDatabase()
{
    AppContext::sharedSettings()->setValue("staff/1", "Admin:Administrator:AAAA:2460000");
    put("acc@example.com/db/JS.db3", "SQLite format 3 (test)");
    AppContext::userSettings()->setValue("dbmod", true);
    auto comms = newComms(true);
    QSignalSpy results(comms.get(), &CloudComms::asyncResult);
    comms->asyncRegisterUser();
    QCOMPARE(results.count(), 1);
    QCOMPARE(results.takeFirst().at(0).toString(), QString("The user ID: JS has been removed from this Lattica account"));
    QCOMPARE(TestEnv::readFile(AppContext::dataFolder + "/db/products.db3"), QByteArray("SQLite format 3 (test)"));
    QCOMPARE(AppContext::setting("dbmod"), QVariant(false));

    AppContext::sharedSettings()->setValue("staff/2", "JS:Jo Smith:BBBB:2460000");
    comms->queueTask(CloudComms::TaskStaffCheck);
    QCOMPARE(results.count(), 1);
    QCOMPARE(results.takeFirst().at(0).toString(), QString());
}

void TestCloudComms::queueWhileRunning()
{
    put(kZip, TestZip::make({{"prod.ini", "catalogue"}}));
    auto comms = newComms(true);
    m_s3.take();
    // the interface asks again while the runner waits for the first probe
    QList<int> seen;
    QTimer::singleShot(0, this, [&] {
        comms->asyncCheckForData();
        comms->asyncCheckForData();
        comms->queueTask(CloudComms::TaskConnections);
        seen = comms->queuedTasks();
    });
    QSignalSpy results(comms.get(), &CloudComms::asyncResult);
    comms->asyncCheckForData();
    QCOMPARE(seen, (QList<int>{CloudComms::TaskCheckForData, CloudComms::TaskConnections}));
    QCOMPARE(results.count(), 1);
    QVERIFY(results.first().at(0).toString().startsWith("Products: Successfully downloaded new data"));
    QCOMPARE(probes(), 2);
    QVERIFY(comms->queuedTasks().isEmpty());
}

void TestCloudComms::offlineAndStopped()
{
    auto comms = newComms(true);
    QVERIFY(comms->checkInternet());
    QTcpServer closed; // a port that is not answered
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    AppContext::userSettings()->setValue("inetProbeUrl_s", QString("http://127.0.0.1:%1/").arg(closed.serverPort()));
    closed.close();
    QVERIFY(!comms->checkInternet());

    // an empty page counts as offline
    AppContext::userSettings()->setValue("inetProbeUrl_s", m_s3.url("/lattica/probe/empty").toString());
    QVERIFY(!comms->checkInternet());
    QSignalSpy results(comms.get(), &CloudComms::asyncResult);
    comms->queueTask(CloudComms::TaskConnections);
    QCOMPARE(results.count(), 1);
    QCOMPARE(results.takeFirst().at(0).toString(), QString("You are not connected to the Internet"));

    AppContext::userSettings()->setValue("inetProbeUrl_s", m_s3.url("/").toString());
    m_s3.take();
    comms->stopPosting();
    comms->queueTask(CloudComms::TaskConnections);
    QCOMPARE(probes(), 0);
    QVERIFY(comms->queuedTasks().isEmpty());
    QCOMPARE(results.count(), 0);
    comms->queueTask(CloudComms::TaskConnections); // the stop applies once
    QCOMPARE(probes(), 1);
}

QTEST_GUILESS_MAIN(TestCloudComms)
#include "tst_cloudcomms.moc"
