// The first run of the demo, as a newcomer meets it: the local cloud of
// tests/servers/stack.py (the one scripts/run starts), seeded from the sample
// catalogue, used through the application's own objects. Mails are read back
// from the catcher's .eml files with Python's email package.
#include "app/appcontext.h"
#include "app/appsettings.h"
#include "business/businessconfig.h"
#include "business/businessmanager.h"
#include "business/controllerlink.h"
#include "business/staffmanager.h"
#include "cloud/cloudcomms.h"
#include "cloud/cloudcredentials.h"
#include "cloud/mailsender.h"
#include "testenv.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

namespace {

QString python()
{
    return QFileInfo::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
}

// Every .eml file of the folder, parsed, oldest first.
QList<QJsonObject> readMails(const QString &folder)
{
    QStringList files;
    for (const QFileInfo &fi : QDir(folder).entryInfoList({"*.eml"}, QDir::Files, QDir::Name))
        files << fi.absoluteFilePath();
    QList<QJsonObject> mails;
    if (files.isEmpty())
        return mails;
    QProcess reader;
    reader.start(python(), QStringList{TestEnv::sourcePath("tests/common/emlread.py")} + files);
    reader.waitForFinished(30000);
    if (reader.exitCode() != 0)
        qWarning().noquote() << "emlread:" << reader.readAllStandardError();
    for (const QByteArray &line : reader.readAllStandardOutput().split('\n'))
        if (!line.trimmed().isEmpty())
            mails << QJsonDocument::fromJson(line).object();
    return mails;
}

} // namespace

class TestFirstRun : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void seededStore();
    void registrationAsANewBusiness();
    void laterUpdateCheckFindsTheAccountsCatalogue();
    void mailCatcherKeepsStandardMessages();
    void secondRegistrationRefused();

private:
    QJsonObject m_stack;
    QProcess m_process;
    QTemporaryDir m_state;
    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<CloudComms> m_cloud;
    std::unique_ptr<BusinessManager> m_business;
    std::unique_ptr<StaffManager> m_staff;
};

void TestFirstRun::initTestCase()
{
    TestEnv::initApp();
    m_data.reset(TestEnv::freshDataFolder());
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(python(), {TestEnv::sourcePath("tests/servers/stack.py"), "--state", m_state.path(), "--seed",
                               QStringLiteral(LTA_BINARY_DIR "/src/lattica-cli")});
    QDeadlineTimer deadline(60000);
    QByteArray out;
    while (m_stack.isEmpty() && !deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
        m_process.waitForReadyRead(500);
        out += m_process.readAllStandardOutput();
        const int at = out.indexOf("READY ");
        const int end = out.indexOf('\n', at);
        if (at >= 0 && end > at)
            m_stack = QJsonDocument::fromJson(out.mid(at + 6, end - at - 6)).object();
    }
    QVERIFY2(!m_stack.isEmpty(), "the local cloud did not start");

    // What scripts/run writes into the demo's settings.
    QString error;
    const QByteArray block = CloudCredentials::seal(m_stack["keyId"].toString().toLatin1(),
                                                    m_stack["secret"].toString().toLatin1(),
                                                    m_stack["mailCredential"].toString().toLatin1(), &error);
    QVERIFY2(!block.isEmpty(), qPrintable(error));
    appSettings *user = AppContext::userSettings();
    user->setValue("storageScheme_s", "http");
    user->setValue("storageHost_s", "127.0.0.1");
    user->setValue("storagePort_i", m_stack["s3"].toInt());
    user->setValue("storagePathStyle_b", true);
    user->setValue("credblock_s", block);
    user->setValue("allweddi", block);
    user->setValue("ltaurl", m_stack["mailUrl"].toString());
    user->setValue("inetProbeUrl_s", m_stack["probeUrl"].toString());
    user->setValue("ediFtpPort_i", m_stack["ftp"].toInt());
    user->setValue("supportemail", "support@lattica.test");
    m_cloud = std::make_unique<CloudComms>(nullptr);
    m_business = std::make_unique<BusinessManager>();
    linkBusinessToController(m_cloud.get(), m_business.get());
    m_staff = std::make_unique<StaffManager>();
    m_staff->connectTo(m_cloud.get());
    QVERIFY(m_cloud->checkInternet());
}

void TestFirstRun::cleanupTestCase()
{
    m_cloud.reset();
    m_business.reset();
    m_staff.reset();
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(10000))
        m_process.kill();
}

void TestFirstRun::seededStore()
{
    // The supplier's file server holds the demo account's addresses, in the
    // quoted form with the "Account Number" header, and an empty drop folder.
    const QJsonObject demo = m_stack["demo"].toObject();
    const QByteArray addresses =
        TestEnv::readFile(m_stack["ftpRoot"].toString() + "/Addresses/" + demo["customer"].toString() + ".txt");
    const QList<QByteArray> lines = addresses.trimmed().split('\n');
    QVERIFY(lines.size() >= 2);
    QVERIFY(lines.at(0).contains("\"Account Number\""));
    QVERIFY(lines.at(1).startsWith('"' + demo["customer"].toString().toLatin1() + "\",\""
                                   + demo["business"].toString().toLatin1() + '"'));
    QVERIFY(QDir(m_stack["dropDir"].toString()).exists());
    QVERIFY(QDir(m_stack["dropDir"].toString()).isEmpty());
}

void TestFirstRun::registrationAsANewBusiness()
{
    // The registration screen's two steps with the details scripts/run prints:
    // the business behind the customer number, then the confirmation.
    const QJsonObject demo = m_stack["demo"].toObject();
    const QString email = demo["email"].toString(), customer = demo["customer"].toString();
    const QString emlDir = m_stack["emlDir"].toString();
    const int mailsBefore = readMails(emlDir).size();
    QSignalSpy busy(m_cloud.get(), &CloudComms::busy);
    QCOMPARE(m_cloud->registerAtLTA(email, customer, demo["password"].toString(), false, false),
             "Company Name:<br>" + demo["business"].toString());
    // the window was told of the download and the unpacking, and of their end
    QStringList shown;
    for (const QList<QVariant> &args : qAsConst(busy))
        shown << args.first().toString();
    QVERIFY2(shown.contains("Unpacking new product data...") && shown.contains("Unpacking new settings..."),
             qPrintable(shown.join('|')));
    QCOMPARE(shown.last(), QString());
    QCOMPARE(m_cloud->confirmedBusiness(email, customer, demo["password"].toString()), QString());
    QCOMPARE(AppContext::setting("regem_s").toString(), email);
    QCOMPARE(AppContext::setting("device_n").toInt(), 1);
    QCOMPARE(AppContext::setting("userID_s").toString(), QString("Admin"));
    QCOMPARE(AppContext::setting("userName_s").toString(), QString("Administrator"));
    QCOMPARE(m_cloud->checkPwd(email, demo["password"].toString()), QString());
    QCOMPARE(m_cloud->checkPwd(email, "wrong"), QString("Incorrect password"));

    // The catalogue came through the update path, byte for byte.
    for (const QString &file : QStringList{"Plantation Shutters/prod.ini", "Plantation Shutters/Prices/ShutterA.csv",
                                           "Roller Blinds/Extras/_info.csv"}) {
        const QByteArray got = TestEnv::readFile(AppContext::catalogueProductsFolder + '/' + file);
        QVERIFY2(!got.isEmpty(), qPrintable(file));
        QCOMPARE(got, TestEnv::readFile(TestEnv::sourcePath("data/catalogue/") + file));
    }
    // So did the configuration: the portal on the local file server, the
    // business values in the user settings, "un.ini" merged.
    const EdiConfig edi = readEdiConfig();
    QVERIFY(edi.present && edi.enabled && edi.passwordOk);
    QCOMPARE(edi.scheme, QString("ftp"));
    QCOMPARE(edi.address, QString("127.0.0.1"));
    QCOMPARE(edi.password, demo["ftpPassword"].toString());
    QCOMPARE(AppContext::setting("ordersemail").toString(), demo["ordersEmail"].toString());
    QCOMPARE(AppContext::setting("attachXml_b").toBool(), true);
    QVERIFY(AppContext::setting("un.ini").toDateTime().isValid());
    // The account's addresses came from the supplier's file server.
    QCOMPARE(AppContext::sharedSettings()->value("busNames/" + customer).toString(), demo["business"].toString());
    QCOMPARE(AppContext::setting("currSuppAccnt").toString(), customer);

    // Support hears of the new account.
    const QList<QJsonObject> mails = readMails(emlDir);
    QCOMPARE(mails.size(), mailsBefore + 1);
    const QJsonObject notice = mails.last();
    QCOMPARE(notice["to"].toArray(), QJsonArray{"support@lattica.test"});
    QCOMPARE(notice["subject"].toString(), QString("New Lattica account: "));
    QVERIFY(notice["text"].toString().contains(customer));
    QVERIFY(notice["text"].toString().contains(email));
    QCOMPARE(notice["defects"].toArray(), QJsonArray());
}

void TestFirstRun::laterUpdateCheckFindsTheAccountsCatalogue()
{
    // The home screen's check reads the account's own published copies.
    QSignalSpy results(m_cloud.get(), &CloudComms::asyncResult);
    m_cloud->asyncCheckForData();
    // the task may run at once or from the event loop
    if (results.isEmpty())
        QVERIFY(results.wait(30000));
    const QString text = results.last().first().toString();
    QVERIFY2(text.startsWith("Products: Successfully downloaded new data") || text.startsWith("Products: No new data"),
             qPrintable(text));
    QVERIFY2(!text.contains("Failed"), qPrintable(text));
    QVERIFY(QFileInfo::exists(AppContext::catalogueProductsFolder + "/Plantation Shutters/prod.ini"));
}

void TestFirstRun::secondRegistrationRefused()
{
    // Last: a refused registration starts the screen afresh, clearing the
    // device's settings but not the endpoints it was pointed at.
    const QJsonObject demo = m_stack["demo"].toObject();
    CloudComms again(nullptr);
    QCOMPARE(again.registerAtLTA(demo["email"].toString(), demo["customer"].toString(), "x", false, false),
             QString("This Lattica email/account already exists"));
    QCOMPARE(AppContext::setting("regem_s").toString(), QString());
    QCOMPARE(AppContext::setting("storagePort_i").toInt(), m_stack["s3"].toInt());
    QCOMPARE(AppContext::setting("ediFtpPort_i").toInt(), m_stack["ftp"].toInt());
}

void TestFirstRun::mailCatcherKeepsStandardMessages()
{
    // An HTML mail with an attachment, as the order mails are sent: the .eml
    // holds both bodies, the header fields and the attachment's exact bytes.
    QTemporaryDir files;
    const QByteArray xml = "<?xml version=\"1.0\"?>\n<Order id=\"D1-0001\">\xc2\xa3 12.50</Order>\n";
    QVERIFY(TestEnv::writeFile(files.path() + "/order.xml", xml));
    const QString html = "<!DOCTYPE html><html><body><h1>Order D1-0001</h1><p>2 rooms \xc2\xa3</p></body></html>";
    MailSender sender(m_stack["mailCredential"].toString().toLatin1());
    QVERIFY2(sender.sendMail("orders@supplier.test", "demo@lattica.test", "Lattica <orders@lattica.test>",
                             "Order D1-0001 — Demo Shutters Ltd", QString::fromUtf8(html.toUtf8()),
                             {files.path() + "/order.xml;D1-0001.xml"}, "copy@lattica.test"),
             qPrintable(sender.lastMessage()));
    const QJsonObject mail = readMails(m_stack["emlDir"].toString()).last();
    QCOMPARE(mail["to"].toArray(), QJsonArray{"orders@supplier.test"});
    QCOMPARE(mail["cc"].toArray(), QJsonArray{"copy@lattica.test"});
    QCOMPARE(mail["replyTo"].toString(), QString("demo@lattica.test"));
    QCOMPARE(mail["subject"].toString(), QString("Order D1-0001 — Demo Shutters Ltd"));
    QVERIFY(mail["html"].toString().contains("<h1>Order D1-0001</h1>"));
    QVERIFY(mail["text"].toString().contains("Order D1-0001"));
    const QJsonArray attachments = mail["attachments"].toArray();
    QCOMPARE(attachments.size(), 1);
    QCOMPARE(attachments[0].toObject()["name"].toString(), QString("D1-0001.xml"));
    QCOMPARE(QByteArray::fromBase64(attachments[0].toObject()["body"].toString().toLatin1()), xml);
    QCOMPARE(mail["defects"].toArray(), QJsonArray());
}

// a GUI application, as the program is: the mail's plain text comes from its HTML
QTEST_MAIN(TestFirstRun)
#include "tst_firstrun.moc"
