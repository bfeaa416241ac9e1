// Composition of the supplier order e-mail and the confirmation copy.
#include "cloudfixture.h"
#include "documents/orderhtml.h"
#include "documents/ordermail.h"
#include "htmlparse.h"
#include "orders/fileutils.h"
#include "orders/vexaorder.h"


class TestOrderMail : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::initApp(); }
    void senderName_data()
    {
        QTest::addColumn<QString>("account");
        QTest::addColumn<QString>("expected");
        QTest::newRow("brackets") << "Smith & Sons (Leeds)" << "Smith-&-Sons-Leeds";
        QTest::newRow("apostrophes") << "O'Brien's Blinds" << "OBriens-Blinds";
        QTest::newRow("one pass each") << "  ..Acme  --  Co_1.. " << "Acme--Co_1";
        QTest::newRow("quotes and angles") << "\"Best\" <Blinds>\t\n" << "Best--Blinds";
        QTest::newRow("empty") << "" << "";
    }

    void senderName()
    {
        QFETCH(QString, account);
        QFETCH(QString, expected);
        QCOMPARE(mailSenderName(account), expected);
    }

    void composed_data()
    {
        QTest::addColumn<QString>("account");
        QTest::addColumn<QString>("uploadId");
        QTest::addColumn<bool>("attachXml");
        QTest::addColumn<bool>("attachLta");
        QTest::addColumn<QString>("confirmTo"); // "emailconf_s"; empty: the account e-mail
        QTest::addColumn<QString>("ordersTo");
        QTest::newRow("upload, both attachments") << "Smith & Sons (Leeds)" << "U77" << true << true << "conf@shop.example"
                                                  << "orders@supplier.example";
        QTest::newRow("no upload this step") << "O'Brien's Blinds" << "" << true << false << "conf@shop.example"
                                             << "orders@supplier.example";
        QTest::newRow("no attachments") << "Acme" << "U78" << false << false << "" << "orders@supplier.example";
        QTest::newRow("no order desk") << "" << "U79" << true << true << "conf@shop.example" << "";
    }

    void composed()
    {
        QFETCH(QString, account);
        QFETCH(QString, uploadId);
        QFETCH(bool, attachXml);
        QFETCH(bool, attachLta);
        QFETCH(QString, confirmTo);
        QFETCH(QString, ordersTo);
        std::unique_ptr<QTemporaryDir> data(TestEnv::freshDataFolder());
        // "ltaUpload": an earlier order's upload must not leak into this one
        CloudFixture::setUser({{"ordersemail", ordersTo}, {"emailconf_s", confirmTo}, {"regem_s", "account@shop.example"},
                               {"attachXml_b", attachXml}, {"attachLta_b", attachLta}, {"ltaUpload", "OLD1"}});

        VexaOrder order;
        order.readJson(QJsonDocument::fromJson(R"({"orderID": "Q3001", "manOrderID": "REF-9", "custName": "Ann Customer",
            "items": [{"room": "Den & Study", "width": 700, "drop": 900}]})").object());
        QVariantMap props;
        props.insert("AccountName", account);
        order.set_properties(props);
        order.set_orderState(VexaOrder::ForPosting);
        const QString orderFile = orderFilePath(VexaOrder::ForPosting, "Q3001");
        QVERIFY(order.writeOrderFile(orderFile));

        const QString paragraph = uploadId.isEmpty() ? QString() : "<p>Upload ID: Shutter_" + uploadId + ".xml";
        const QString html = orderHtml(order, false) + paragraph;
        const QString from = confirmTo.isEmpty() ? "account@shop.example" : confirmTo;

        const ComposedMail supplier = composeSupplierMail(order, uploadId);
        if (ordersTo.isEmpty()) {
            QVERIFY(supplier.to.isEmpty());
        } else {
            QCOMPARE(supplier.to, ordersTo);
            QCOMPARE(supplier.replyTo, QString());
            QCOMPARE(supplier.from, mailSenderName(account) + " <" + from + ">");
            QCOMPARE(supplier.subject, "Lattica Order from: " + account + " Ref: REF-9");
            QCOMPARE(supplier.html, html);
            const QStringList xml = {AppContext::dataFolder + "/tmp/ShutterQ3001.xml;Shutter_" + uploadId + ".xml"};
            QCOMPARE(supplier.attachments, attachXml && !uploadId.isEmpty() ? xml : QStringList());
        }

        const ComposedMail confirmation = composeConfirmationMail(order, uploadId);
        QCOMPARE(confirmation.to, from);
        QCOMPARE(confirmation.replyTo, QString());
        QCOMPARE(confirmation.from, QString("Lattica App <no-reply@mg.lattica.app>"));
        QCOMPARE(confirmation.subject, QString("Your Lattica order has been sent to Heldon: REF-9"));
        QCOMPARE(confirmation.html, html);
        QCOMPARE(confirmation.attachments, attachLta ? QStringList({orderFile + ";Q3001.lta"}) : QStringList());

        // the body is the supplier variant: no customer, the upload as its last line
        const ParsedHtml parsed = parseHtml(confirmation.html);
        QVERIFY(parsed.ok && !parsed.lines.join('|').contains("Ann Customer") && parsed.lines.contains("Room: Den & Study"));
        QCOMPARE(parsed.lines.last(),
                 uploadId.isEmpty() ? QString("Pre-assembled: true") : "Upload ID: Shutter_" + uploadId + ".xml");
        QVERIFY(!confirmation.html.contains("OLD1"));
    }

    // A business that never set "attachXml_b" gets the portal file with the
    // supplier's mail; only an explicit "false" leaves it out.
    void xmlAttachedUnlessSwitchedOff()
    {
        std::unique_ptr<QTemporaryDir> data(TestEnv::freshDataFolder());
        CloudFixture::setUser({{"ordersemail", "orders@supplier.example"}, {"regem_s", "account@shop.example"}});
        AppContext::userSettings()->remove("attachXml_b");
        VexaOrder order;
        order.readJson(QJsonDocument::fromJson(R"({"orderID": "Q3002", "manOrderID": "REF-10"})").object());
        const QStringList xml = {AppContext::dataFolder + "/tmp/ShutterQ3002.xml;Shutter_U80.xml"};
        QCOMPARE(composeSupplierMail(order, "U80").attachments, xml);
        CloudFixture::setUser({{"attachXml_b", false}});
        QCOMPARE(composeSupplierMail(order, "U80").attachments, QStringList());
    }

    // `lattica-cli order html` and `order mail` print what the program makes and
    // leave every file alone.
    void commandLine()
    {
        std::unique_ptr<QTemporaryDir> data(TestEnv::freshDataFolder());
        CloudFixture::setUser({{"ordersemail", "orders@supplier.example"}, {"emailconf_s", "conf@shop.example"},
                               {"attachXml_b", true}, {"attachLta_b", true}});
        const QByteArray content = TestEnv::readFile(TestEnv::sourcePath("tests/orders/data/full_roundtrip/input.json"));
        const QString file = data->filePath("incoming/order.json");
        const QString posted = AppContext::stateFolder(VexaOrder::Posted) + "Q1000";
        QVERIFY(TestEnv::writeFile(file, content) && TestEnv::writeFile(posted, content));
        VexaOrder order;
        QVERIFY(order.readOrderFile(file));

        auto run = [&data](const QStringList &args, int *exit) {
            QByteArray out;
            *exit = CloudFixture::runCli(QStringList{"order"} + args.mid(0, 1) + QStringList{"--data", data->path()} + args.mid(1), &out);
            return QString::fromUtf8(out);
        };
        int exit = -1;
        const QString document = run({"html", file}, &exit);
        QCOMPARE(exit, 0);
        QCOMPARE(document, orderHtml(order, true) + "\n");
        QVERIFY(parseHtml(document).lines.contains("EXCLUDED FROM ORDER"));
        QCOMPARE(run({"html", "--supplier", "Q1000"}, &exit), orderHtml(order, false) + "\n");
        QCOMPARE(exit, 0);

        const QJsonObject mails = QJsonDocument::fromJson(run({"mail", "Q1000"}, &exit).toUtf8()).object();
        QCOMPARE(exit, 0);
        const QJsonObject supplier = mails.value("supplier").toObject(), confirmation = mails.value("confirmation").toObject();
        QCOMPARE(QStringList({supplier.value("to").toString(), supplier.value("from").toString(), supplier.value("subject").toString()}),
                 QStringList({"orders@supplier.example", "Main <conf@shop.example>", "Lattica Order from: Main Ref: REF-9"}));
        QCOMPARE(supplier.value("html").toString(), orderHtml(order, false));
        QCOMPARE(supplier.value("attachments").toArray(), QJsonArray()); // no upload in this step
        QCOMPARE(confirmation.value("to").toString() + confirmation.value("replyTo").toString(), QString("conf@shop.example"));
        QCOMPARE(confirmation.value("html").toString(), orderHtml(order, false));
        QCOMPARE(confirmation.value("attachments").toArray(), QJsonArray({posted + ";Q1000.lta"}));

        QCOMPARE(TestEnv::readFile(file), content);
        QCOMPARE(TestEnv::readFile(posted), content);
        QVERIFY(!QFile::exists(AppContext::ordersFolder + "Q1000") && !QFile::exists(AppContext::dataFolder + "/print"));
        QCOMPARE(CloudFixture::runCli({"order", "mail", "--data", data->path(), "NOPE"}), 1);
        QCOMPARE(CloudFixture::runCli({"order", "html", "--data", data->path(), "a", "b"}), 2);
    }

};

QTEST_MAIN(TestOrderMail)
#include "tst_ordermail.moc"
