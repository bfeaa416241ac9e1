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
#include "cloud/mailsender.h"
#include "cloud/qamazonconnection.h"
#include "orders/vexaorder.h"
#include "orders/vexaorderitem.h"
#include "localcloud.h"
#include "testenv.h"

#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

namespace {

QString python() { return QFileInfo::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3"; }

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

// Each attachment of a parsed mail as "name=body", the body's bytes kept exactly.
QStringList attachmentsOf(const QJsonObject &mail)
{
    QStringList out;
    for (const QJsonValue &a : mail["attachments"].toArray())
        out << a["name"].toString() + '=' + QString::fromLatin1(QByteArray::fromBase64(a["body"].toString().toLatin1()));
    return out;
}

// One item as the surveyor captures it: the product, supplier, range and
// colour through the selection cascade, the size, then each option choice.
VexaOrderItem *captureItem(VexaOrder &order, const QString &room, const QStringList &choice, QSize size,
                           const QList<QPair<QString, QString>> &options)
{
    order.addBlind(room);
    if (order.productCBModel().index(choice.at(0)) < 0) { // the list's "add..." entry
        order.addProductDbItem(choice.at(0), "product");
        order.productCBModel().addElement(choice.at(0));
    }
    order.productSelected(order.productCBModel().index(choice.at(0)));
    order.supplierSelected(order.supplierCBModel().index(choice.at(1)));
    order.rangeSelected(order.rangeCBModel().index(choice.at(2)));
    order.colourSelected(order.colourCBModel().index(choice.at(3)));
    VexaOrderItem *item = order.getVexaOrderItem();
    item->set_bl_width(size.width());
    item->set_bl_drop(size.height());
    item->set_dataMap({{"PanelConfig", "L"}});
    order.processOrderItem(true);
    for (const auto &option : options)
        order.optionSelected(option.first, option.second, -1);
    order.processOrderItem(true);
    return item;
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
    void orderCapturedCompletedAndSent();
    void mailCatcherKeepsStandardMessages();
    void secondRegistrationRefused();

private:
    QJsonObject m_stack;
    LocalCloud m_localCloud;
    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<CloudComms> m_cloud;
    std::unique_ptr<BusinessManager> m_business;
    std::unique_ptr<StaffManager> m_staff;
};

void TestFirstRun::initTestCase()
{
    TestEnv::initApp();
    m_data.reset(TestEnv::freshDataFolder());
    // started and pointed at as scripts/run does for the demo
    const QString failed = m_localCloud.start();
    QVERIFY2(failed.isEmpty(), qPrintable(failed));
    m_stack = m_localCloud.stack();
    // the demo checks no customer addresses, and would ask the catcher if it did
    const QByteArray run = TestEnv::readFile(TestEnv::sourcePath("scripts/run"));
    QVERIFY(run.contains(" mailchk_b=false \"mailChkUrl_s=$(field probeUrl)")
            && run.contains("\"mgValidateUrl_s=$(field probeUrl)"));
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
    m_localCloud.stop();
}

void TestFirstRun::seededStore()
{
    // The supplier's file server holds the demo account's addresses, in the
    // quoted form with the "Account Number" header, and an empty drop folder.
    const QJsonObject demo = m_stack["demo"].toObject();
    const QByteArray addresses =
        TestEnv::readFile(m_stack["ftpRoot"].toString() + "/Addresses/" + demo["customer"].toString() + ".txt");
    const QList<QByteArray> lines = addresses.trimmed().split('\n');
    QVERIFY(lines.size() >= 2 && lines.at(0).contains("\"Account Number\""));
    QVERIFY(lines.at(1).startsWith('"' + demo["customer"].toString().toLatin1() + "\",\"" + demo["business"].toString().toLatin1() + '"'));
    QVERIFY(QDir(m_stack["dropDir"].toString()).exists() && QDir(m_stack["dropDir"].toString()).isEmpty());
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
    auto settings = [](const QStringList &keys) { QStringList v; for (const QString &k : keys) v << AppContext::setting(k).toString(); return v; };
    QCOMPARE(settings({"regem_s", "device_n", "userID_s", "userName_s"}), (QStringList{email, "1", "Admin", "Administrator"}));
    QCOMPARE(m_cloud->checkPwd(email, demo["password"].toString()), QString());
    QCOMPARE(m_cloud->checkPwd(email, "wrong"), QString("Incorrect password"));

    // The catalogue came through the update path, byte for byte.
    for (const QString &file : QStringList{"Lattica/prod.ini", "Lattica/Prices/ShutterA.csv",
                                           "Roller Blinds/Extras/_info.csv"}) {
        const QByteArray got = TestEnv::readFile(AppContext::catalogueProductsFolder + '/' + file);
        QVERIFY2(!got.isEmpty(), qPrintable(file));
        QCOMPARE(got, TestEnv::readFile(TestEnv::sourcePath("data/catalogue/") + file));
    }
    // So did the configuration: the portal on the local file server, the
    // business values in the user settings, "un.ini" merged.
    const EdiConfig edi = readEdiConfig();
    QVERIFY(edi.present && edi.enabled && edi.passwordOk);
    QCOMPARE(QStringList({edi.scheme, edi.address, edi.password}), QStringList({"ftp", "127.0.0.1", demo["ftpPassword"].toString()}));
    QCOMPARE(settings({"ordersemail", "attachXml_b", "currSuppAccnt"}), (QStringList{demo["ordersEmail"].toString(), "true", customer}));
    QVERIFY(AppContext::setting("un.ini").toDateTime().isValid());
    // The account's addresses came from the supplier's file server.
    QCOMPARE(AppContext::sharedSettings()->value("busNames/" + customer).toString(), demo["business"].toString());

    // Support hears of the new account.
    const QList<QJsonObject> mails = readMails(emlDir);
    QCOMPARE(mails.size(), mailsBefore + 1);
    const QJsonObject notice = mails.last();
    QCOMPARE(notice["to"].toArray(), QJsonArray{"support@lattica.test"});
    QCOMPARE(notice["subject"].toString(), QString("New Lattica account: "));
    QVERIFY(notice["text"].toString().contains(customer) && notice["text"].toString().contains(email));
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
    QVERIFY(QFileInfo::exists(AppContext::catalogueProductsFolder + "/Lattica/prod.ini"));
}

void TestFirstRun::orderCapturedCompletedAndSent()
{
    const QJsonObject demo = m_stack["demo"].toObject();
    const QString emlDir = m_stack["emlDir"].toString();
    const int mailsBefore = readMails(emlDir).size();

    // Capture: the customer block, the order reference, two rooms priced
    // from the installed catalogue, each with an option group chosen.
    VexaOrder order;
    order.newOrder();
    const QString id = order.orderID();
    order.processAddress("Jane Smith\n12 Mill Lane\nYork\nYO1 7HH\n01904 123456\njane@customer.test");
    order.set_manOrderID("DEMO-1");
    VexaOrderItem *lounge = captureItem(order, "Lounge", {"Roller Blinds", "Brightside Fabrics", "Harlow Plain", "Chalk"},
                                        QSize(900, 1200), {{"Control Type", "Spring"}, {"Control Side", "Left"}});
    VexaOrderItem *study = captureItem(order, "Study", {"Roller Blinds", "Coastline Blinds", "Dune Dimout", "Oat"},
                                       QSize(1200, 900), {{"Control Type", "Chain"}, {"Control Side", "Right"}, {"Bottom Bar", "Weighted Oval"}});
    // the bands of the range tables, the table prices (52.00, 71.50) with VAT
    QCOMPARE(lounge->bl_band() + '|' + study->bl_band(), QString("RollerBand1|RollerBand3"));
    QCOMPARE(QList<double>({lounge->item_price(), study->item_price()}), QList<double>({52.00 * 1.2, 71.50 * 1.2}));
    QVERIFY2(!order.hasWarnings(), qPrintable(order.warning()));
    QVERIFY(order.saveOrder());

    // Complete, as the completion screen does: fitting and deposit, the
    // account's delivery address, a signature, then queued for sending.
    order.set_fittingCost(45);
    order.set_deposit(50);
    order.calcBalance();
    QVariantMap props = order.properties();
    QCOMPARE(props.value("AccountName").toString(), demo["business"].toString());
    const QStringList deliveries = m_business->deliveryNames(props.value("AccountName").toString());
    const QString deliver = AppContext::setting("list1_sl").toString().section(',', 1, 1);
    QVERIFY(!deliveries.isEmpty() && deliver.startsWith("Deliver"));
    props.insert("list1sel_s", deliver);
    props.insert("delAddr", deliveries.first());
    props.insert("da_used", false);
    order.set_properties(props);
    order.set_changed(true);
    QVERIFY(order.saveOrder());
    QTemporaryDir sign;
    QImage ink(40, 20, QImage::Format_RGB32);
    ink.fill(Qt::white);
    ink.setPixel(5, 5, qRgb(0, 0, 0));
    QVERIFY(ink.save(sign.path() + "/signature.png"));
    order.imageToSignature(sign.path() + "/signature.png");
    QVERIFY(order.signature().startsWith("data:image/png;base64,"));
    QVERIFY(order.saveOrder(1));
    QVERIFY(QFileInfo::exists(AppContext::ordersFolder + "post/" + id));

    // Send: the orders list's posting chain.
    QSignalSpy results(m_cloud.get(), &CloudComms::asyncResult);
    QSignalSpy finished(m_cloud.get(), &CloudComms::postingFinished);
    m_cloud->asyncPostOrders();
    if (finished.isEmpty())
        QVERIFY(finished.wait(60000));
    for (const QList<QVariant> &r : qAsConst(results))
        QVERIFY2(r.first().toString().isEmpty(), qPrintable(r.first().toString()));
    QVERIFY(finished.first().first().toBool());

    const QByteArray posted = TestEnv::readFile(AppContext::ordersFolder + "posted/" + id);
    QVERIFY(!posted.isEmpty() && !QFileInfo::exists(AppContext::ordersFolder + "post/" + id));
    QCOMPARE(QJsonDocument::fromJson(posted).object()["manOrderID"].toString(), QString("DEMO-1"));

    // The portal XML in the drop folder, named after the account and attached
    // byte for byte to the supplier's mail; the confirmation to the business.
    const QFileInfoList drops = QDir(m_stack["dropDir"].toString()).entryInfoList({"Shutter_*.xml"}, QDir::Files);
    QCOMPARE(drops.size(), 1);
    const QByteArray xml = TestEnv::readFile(drops.first().absoluteFilePath());
    QVERIFY(drops.first().fileName().startsWith("Shutter_" + demo["customer"].toString() + "_"));
    for (const QString &part : QStringList{"CustOrderRef=\"DEMO-1\"", "CustOrderID=\"" + id + '"', "DeliveryLocationName=\"" + deliveries.first() + '"',
                                           "ShutterWindowLocation=\"Lounge #1\" ItemNumber=\"1\" Width=\"900\" Drop=\"1200\"",
                                           "ShutterWindowLocation=\"Study #1\" ItemNumber=\"2\" Width=\"1200\" Drop=\"900\"",
                                "AccountCode=\"" + demo["customer"].toString() + '"'})
        QVERIFY2(xml.contains(part.toUtf8()), qPrintable(part));
    const QList<QJsonObject> mails = readMails(emlDir).mid(mailsBefore);
    QCOMPARE(mails.size(), 2);
    const QJsonObject supplier = mails.at(0), confirmation = mails.at(1);
    QCOMPARE(supplier["to"].toArray(), QJsonArray{demo["ordersEmail"].toString()});
    QCOMPARE(supplier["subject"].toString(), "Lattica Order from: " + demo["business"].toString() + " Ref: DEMO-1");
    QCOMPARE(attachmentsOf(supplier), QStringList{drops.first().fileName() + '=' + QString::fromLatin1(xml)});
    QCOMPARE(confirmation["to"].toArray(), QJsonArray{demo["email"].toString()});
    QCOMPARE(confirmation["subject"].toString(), QString("Your Lattica order has been sent to Heldon: DEMO-1"));
    for (const QJsonObject &mail : {supplier, confirmation}) {
        const QString html = mail["html"].toString();
        for (const char *part : {"Order Ref: DEMO-1", "Room: Lounge", "Control Type: Spring", "Room: Study",
                                 "Bottom Bar: Weighted Oval", "Upload ID: Shutter_"})
            QVERIFY2(html.contains(part), part);
        QCOMPARE(mail["defects"].toArray(), QJsonArray());
    }

    // The tracking copy in the store is the posted order.
    QAmazonConnection store(m_stack["keyId"].toString().toLatin1(), m_stack["secret"].toString().toLatin1());
    QNetworkReply *copy = store.getFile("lattica", (demo["email"].toString() + "/jbs/" + id + ".vexa").toUtf8());
    QVERIFY(copy->error() == QNetworkReply::NoError && copy->readAll() == posted);
}

void TestFirstRun::secondRegistrationRefused()
{
    // Last: a refused registration starts the screen afresh, clearing the
    // device's settings but not the endpoints it was pointed at.
    const QJsonObject demo = m_stack["demo"].toObject();
    CloudComms again(nullptr);
    QCOMPARE(again.registerAtLTA(demo["email"].toString(), demo["customer"].toString(), "x", false, false),
             QString("This Lattica email/account already exists"));
    QCOMPARE(QVariantList({AppContext::setting("regem_s").toString(), AppContext::setting("storagePort_i").toInt(),
                            AppContext::setting("ediFtpPort_i").toInt()}), QVariantList({QString(), m_stack["s3"].toInt(), m_stack["ftp"].toInt()}));
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
    QVERIFY(mail["html"].toString().contains("<h1>Order D1-0001</h1>") && mail["text"].toString().contains("Order D1-0001"));
    QCOMPARE(attachmentsOf(mail), QStringList{"D1-0001.xml=" + QString::fromLatin1(xml)});
    QCOMPARE(mail["defects"].toArray(), QJsonArray());
}

// a GUI application, as the program is: the mail's plain text comes from its HTML
QTEST_MAIN(TestFirstRun)
#include "tst_firstrun.moc"
