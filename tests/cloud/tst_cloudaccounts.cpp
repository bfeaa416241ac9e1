// Account registration, sign-in, staff codes and passwords of the cloud
// controller against a real S3-compatible server (npm s3rver) and the local
// stand-in of the mail API, both on 127.0.0.1.
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
#include <QTcpServer>
#include <QtTest>
#include <memory>

namespace {
const QString kOwner = "owner@example.com", kOwnerPassword = "Sesame 1", kSupport = "help@lattica.test";
const QString kDisabled = "Your account is disabled.\nContact: " + kSupport;

QString field(const QJsonObject &message, const QString &name)
{
    for (const QJsonValue &v : message.value("parts").toArray())
        if (v.toObject().value("name").toString() == name)
            return QString::fromUtf8(QByteArray::fromBase64(v.toObject().value("body").toString().toLatin1()));
    return "<no " + name + ">";
}
} // namespace

class TestCloudAccounts : public QObject
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
    void withoutCredentialBlock();
    void storageRefused_data();
    void storageRefused();
    void unregisterKeepsInstallation();

private:
    void newDevice();
    std::unique_ptr<CloudComms> newComms();
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

    S3TestServer m_s3;
    MailTestServer m_mail;
    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<QAmazonConnection> m_seed;
    QStringList m_fetched, m_added;
    int m_refreshes = 0;
};

void TestCloudAccounts::initTestCase()
{
    TestEnv::initApp();
    QVERIFY2(m_s3.start({"lattica", "vexatimecodes"}), qPrintable(m_s3.error()));
    QVERIFY2(m_mail.start(), qPrintable(m_mail.error()));
    m_seed.reset(new QAmazonConnection(S3TestServer::kKeyId, S3TestServer::kSecret, m_s3.endpoint()));

    // universal data every registration and sign-in checks first
    put("0_cfg/V3VexaData.zip", TestZip::make({{"prod.ini", "[General]\nname=universal\n"}}));
    put("0_cfg/VexaCfg.zip", TestZip::make({{"edi.cfg", "[General]\n"}}));
    put("0_cfg/un.ini", "[General]\ncurrvers=3.12.7\n");

    put(kOwner + "/enc", encryptText(kOwnerPassword.toLocal8Bit()).toBase64());
    put(kOwner + "/nxtdev", "7");
    put(kOwner + "/st/lta.ini", "[General]\nsuppAccnts_sl=C123456\n[busNames]\nC123456=Acme Shutters\n");
    put("gone@example.com/enc", QByteArray());
    put("broken@example.com/enc", QByteArray("not a cipher").toBase64());
    put("K7Q2-MX", "2,JS," + kOwner.toLatin1(), "vexatimecodes");
    put("TWO-FIELDS", "2,JS", "vexatimecodes");
    put("NO-ACCOUNT", "3,AB,nobody@example.com", "vexatimecodes");
}

void TestCloudAccounts::init()
{
    newDevice();
    m_s3.take();
    m_mail.take();
    m_fetched.clear();
    m_added.clear();
    m_refreshes = 0;
}

// A fresh installation: empty user settings and its own data folder.
void TestCloudAccounts::newDevice()
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
}

std::unique_ptr<CloudComms> TestCloudAccounts::newComms()
{
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

void TestCloudAccounts::registration_data()
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

void TestCloudAccounts::registration()
{
    QFETCH(QString, email);
    QFETCH(QString, customer);
    QFETCH(QString, expected);
    appSettings *user = AppContext::userSettings();
    user->setValue("bus_s", "left over");
    auto comms = newComms();
    QCOMPARE(comms->registerAtLTA(email, customer, "secret", false), expected);
    if (expected.startsWith("Company ")) {
        QCOMPARE(user->value("controller"), QVariant(true));
        QCOMPARE(user->value("userID_s").toString(), QString("Admin"));
        QCOMPARE(m_added, QStringList{"Admin:Administrator"});
        QCOMPARE(m_fetched, QStringList{customer});
        QCOMPARE(AppContext::sharedSettings()->value("suppAccnts_sl").toStringList(), QStringList{customer});
        // the universal catalogue arrived on the way
        QCOMPARE(TestEnv::readFile(AppContext::dataFolder + "/V3VexaData/prod.ini"), QByteArray("[General]\nname=universal\n"));
        QCOMPARE(user->value("currver").toInt(), 31207);
    } else {
        // a failed registration starts the screen clean, installation kept
        QVERIFY(!user->contains("controller") && !user->contains("regem_s") && !user->contains("bus_s"));
        QVERIFY(comms->regEmail().isEmpty() && m_added.isEmpty());
        QCOMPARE(user->value("datapath").toString(), m_data->path());
        QCOMPARE(user->value("storagePort_i").toInt(), m_s3.port());
    }
    // nothing is written to the account before the business is confirmed
    QCOMPARE(object("new@example.com/enc"), QByteArray("<missing>"));
    QCOMPARE(object("new@example.com/nxtdev"), QByteArray("<missing>"));
}

void TestCloudAccounts::confirmationThenSignIn()
{
    const QString email = "New.Shop@Example.com ", account = "new.shop@example.com";
    const QString password = QString::fromUtf8("Tr1cky £ pw");
    auto comms = newComms();
    QCOMPARE(comms->registerAtLTA(email, "C123456", password, false), QString("Company Name:<br>Acme Shutters"));
    AppContext::userSettings()->setValue("bus_s", "Acme Shutters");
    QCOMPARE(comms->confirmedBusiness(email, "C123456", password), QString());

    appSettings *user = AppContext::userSettings();
    QCOMPARE(user->value("regem_s").toString(), account);
    QCOMPARE(user->value("device_n").toInt(), 1);
    QCOMPARE(user->value("list2lbl_s").toString(), QString("Delivery Address"));
    QCOMPARE(object(account + "/nxtdev"), QByteArray("1"));
    QByteArray plain;
    QVERIFY(decryptText(QByteArray::fromBase64(object(account + "/enc")), &plain));
    QCOMPARE(plain, password.toLocal8Bit());
    QCOMPARE(newComms()->checkPwd(account, password), QString());

    const QList<QJsonObject> mails = m_mail.take();
    QCOMPARE(mails.size(), 1);
    QCOMPARE(field(mails[0], "to"), kSupport);
    QCOMPARE(field(mails[0], "subject"), QString("New Lattica account: "));
    QCOMPARE(field(mails[0], "text"), QString("Account: C123456 : Acme Shutters<p>Email: new.shop@example.com"));
    QCOMPARE(mails[0].value("authorization").toString(), QString("Basic " + QByteArray("api:key-test").toBase64()));
}

void TestCloudAccounts::twoDevicesTakeConsecutiveNumbers()
{
    const int first = object(kOwner + "/nxtdev").toInt();
    QVERIFY(first > 0);
    QCOMPARE(newComms()->registerAtLTA(" OWNER@example.com", QString(), kOwnerPassword, true), QString());
    appSettings *user = AppContext::userSettings();
    QCOMPARE(user->value("device_n").toInt(), first + 1);
    QCOMPARE(user->value("regem_s").toString(), kOwner);
    QCOMPARE(user->value("controller"), QVariant(true));
    QCOMPARE(user->value("userName_s").toString(), QString("Administrator"));
    QVERIFY(user->value("pwrst").toLongLong() > QDateTime::currentMSecsSinceEpoch() - 60000);
    // the account's shared settings came down and its business data was fetched
    QCOMPARE(AppContext::sharedSettings()->value("suppAccnts_sl").toStringList(), QStringList{"C123456"});
    QCOMPARE(m_fetched, QStringList{"C123456"});
    QVERIFY(m_added.isEmpty() && m_refreshes > 0);

    newDevice();
    QCOMPARE(newComms()->registerAtLTA(kOwner, QString(), kOwnerPassword, true), QString());
    QCOMPARE(AppContext::userSettings()->value("device_n").toInt(), first + 2);
    QCOMPARE(object(kOwner + "/nxtdev"), QByteArray::number(first + 2));
}

void TestCloudAccounts::signInRefused_data()
{
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("expected");
    QTest::newRow("wrong password") << kOwner << "sesame 1" << "Incorrect password";
    QTest::newRow("password prefix") << kOwner << "Sesame" << "Incorrect password";
    QTest::newRow("no account") << "nobody@example.com" << "x" << "There is no Lattica account for nobody@example.com";
    QTest::newRow("emptied record") << "gone@example.com" << "x" << kDisabled;
    QTest::newRow("invalid record") << "broken@example.com" << "x" << kDisabled;
}

void TestCloudAccounts::signInRefused()
{
    QFETCH(QString, email);
    QFETCH(QString, password);
    QFETCH(QString, expected);
    const QByteArray counter = object(kOwner + "/nxtdev");
    auto comms = newComms();
    QCOMPARE(comms->registerAtLTA(email, QString(), password, true), expected);
    QCOMPARE(comms->lastMessage(), expected);
    appSettings *user = AppContext::userSettings();
    QVERIFY(!user->contains("controller") && !user->contains("device_n") && !user->contains("regem_s"));
    QCOMPARE(object(kOwner + "/nxtdev"), counter);
}

void TestCloudAccounts::staffCode_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("expected");
    QTest::newRow("valid") << " K7Q2-MX" << "Connected to account " + kOwner;
    QTest::newRow("two fields") << "TWO-FIELDS" << "Failed to read valid data using your code";
    QTest::newRow("unknown") << "ZZZZ-00" << "Invalid code.  Note that the code expires after 1 day";
    QTest::newRow("account gone") << "NO-ACCOUNT" << "There is no Lattica account for nobody@example.com";
}

void TestCloudAccounts::staffCode()
{
    QFETCH(QString, code);
    QFETCH(QString, expected);
    appSettings *user = AppContext::userSettings();
    user->setValue("controller", true);
    user->setValue("oStaffID", "99");
    user->setValue("regem_s", "someone@else.example");
    const QByteArray counter = object(kOwner + "/nxtdev");
    auto comms = newComms();
    QCOMPARE(comms->registerStaff(code), expected);
    if (expected.startsWith("Connected")) {
        QCOMPARE(user->value("controller"), QVariant(false));
        QCOMPARE(user->value("oStaffID").toString(), QString("2"));
        QCOMPARE(user->value("userID_s").toString(), QString("JS"));
        QCOMPARE(user->value("userName_s").toString(), QString("Jo Smith"));
        QCOMPARE(user->value("regem_s").toString(), kOwner);
        QCOMPARE(user->value("bus_s").toString(), QString("Acme Shutters"));
        QCOMPARE(user->value("device_n").toInt(), counter.toInt() + 1);
        QVERIFY(m_fetched.isEmpty()); // a staff member does not manage the business accounts
    } else {
        QVERIFY(!user->contains("regem_s") && !user->contains("oStaffID") && !user->value("controller").toBool());
        QVERIFY(comms->regEmail().isEmpty());
        QCOMPARE(object(kOwner + "/nxtdev"), counter);
    }
}

void TestCloudAccounts::forgottenAndChangedPassword()
{
    const QString email = "reset@example.com";
    auto comms = newComms();
    QVERIFY(comms->storePassword(email, "Old pw 1"));
    QCOMPARE(comms->forgotPassword("unknown@example.com"), QString("There is no Lattica account for unknown@example.com"));
    QCOMPARE(m_mail.take().size(), 0);

    QStringList temporaries;
    for (int round = 0; round < 2; ++round) {
        QCOMPARE(comms->forgotPassword(email), "An email with a temporary password has been sent to " + email);
        const QJsonObject mail = m_mail.take().value(0);
        QCOMPARE(field(mail, "to"), email);
        QCOMPARE(field(mail, "subject"), QString("Your Lattica password"));
        QVERIFY(field(mail, "from").startsWith("Lattica Support <"));
        const QRegularExpressionMatch m = QRegularExpression("^Your temporary Lattica password is:\n([0-9A-Y]{8})\n"
                                                             "You can change this from the Settings page of Lattica$")
                                              .match(field(mail, "text"));
        QVERIFY2(m.hasMatch(), qPrintable(field(mail, "text")));
        temporaries << m.captured(1);
    }
    QVERIFY(temporaries[0] != temporaries[1]);
    QCOMPARE(comms->checkPwd(email, "Old pw 1"), QString("Incorrect password"));
    QCOMPARE(comms->checkPwd(email, temporaries[0]), QString("Incorrect password"));
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

void TestCloudAccounts::withoutCredentialBlock()
{
    const QByteArray record = object(kOwner + "/enc");
    m_s3.take();
    AppContext::userSettings()->setValue("credblock_s", "00ff00ff");
    auto comms = newComms();
    const QString message = comms->lastMessage();
    QVERIFY2(message.startsWith("Security file decrypt failure: "), qPrintable(message));
    QCOMPARE(comms->checkPwd(kOwner, kOwnerPassword), message);
    QCOMPARE(comms->registerAtLTA(kOwner, QString(), kOwnerPassword, true), message);
    QCOMPARE(comms->registerStaff("K7Q2-MX"), message);
    QCOMPARE(comms->checkForData("V3VexaData"), -1);
    QVERIFY(!comms->storePassword(kOwner, "x"));
    QVERIFY(m_s3.take().isEmpty()); // nothing was attempted
    QCOMPARE(object(kOwner + "/enc"), record);
}

void TestCloudAccounts::storageRefused_data()
{
    QTest::addColumn<QByteArray>("secret");
    QTest::addColumn<int>("clockOffset");
    QTest::addColumn<QString>("expected");
    const QString denied = "Access denied. Check that your device time is correct. It must be within 2 mins "
                           "of actual time, and account is correct";
    QTest::newRow("wrong secret") << QByteArray("not-the-secret") << 0 << denied;
    QTest::newRow("expired") << QByteArray(S3TestServer::kSecret) << -7200 << denied;
    QTest::newRow("nothing listening") << QByteArray(S3TestServer::kSecret) << 0 << "Connection refused, (1)";
}

void TestCloudAccounts::storageRefused()
{
    QFETCH(QByteArray, secret);
    QFETCH(int, clockOffset);
    QFETCH(QString, expected);
    appSettings *user = AppContext::userSettings();
    user->setValue("credblock_s", QString(CloudCredentials::seal(S3TestServer::kKeyId, secret, "api:k")));
    if (expected.startsWith("Connection")) {
        QTcpServer closed; // a port that was free a moment ago
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        user->setValue("storagePort_i", closed.serverPort());
    }
    auto comms = newComms();
    comms->connection()->setClockOffset(clockOffset);
    QCOMPARE(comms->checkPwd(kOwner, kOwnerPassword), expected);
    QCOMPARE(comms->registerStaff("K7Q2-MX"), "Failed: " + expected);
    QCOMPARE(comms->registerAtLTA("brand.new@example.com", "C123456", "pw", false), expected);
}

void TestCloudAccounts::unregisterKeepsInstallation()
{
    appSettings *user = AppContext::userSettings();
    user->setValue("regem_s", kOwner);
    user->setValue("device_n", 4);
    AppContext::sharedSettings()->setValue("suppAccnts_sl", QStringList{"C123456"});
    auto comms = newComms();
    QCOMPARE(comms->regEmail(), kOwner);
    comms->unregister();
    QVERIFY(comms->regEmail().isEmpty() && !user->contains("regem_s") && !user->contains("device_n"));
    QVERIFY(AppContext::sharedSettings()->allKeys().isEmpty());
    QCOMPARE(user->value("datapath").toString(), m_data->path());
    QVERIFY(user->contains("credblock_s"));
}

QTEST_GUILESS_MAIN(TestCloudAccounts)
#include "tst_cloudaccounts.moc"
