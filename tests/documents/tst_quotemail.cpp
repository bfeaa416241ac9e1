// The quote mail through the program's mail sending, against the local mail
// catcher writing .eml files, read back with Python's email package: to the
// customer with the PDF attached, only when asked, and "quoteSent" recorded
// only when the mail service accepted it. The PDF button writes beside the
// print files and hands the file to the desktop.
#include "app/externalopen.h"
#include "cloud/cloudcomms.h"
#include "cloudfixture.h"
#include "documents/quotetools.h"
#include "orders/vexaorder.h"

namespace {

class EmlMailServer : public MailTestServer
{
public:
    bool startWithEml(const QString &dir)
    {
        const QString python = QFileInfo::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
        return ServerProcess::start(python, {TestEnv::sourcePath("tests/servers/mailserver.py"), "--eml-dir", dir}, "MAIL");
    }
};

// Every .eml of the folder, parsed as a mail program would.
QList<QJsonObject> readEml(const QString &dir)
{
    QStringList files;
    for (const QFileInfo &fi : QDir(dir).entryInfoList({"*.eml"}, QDir::Files, QDir::Name))
        files << fi.absoluteFilePath();
    QList<QJsonObject> mails;
    if (files.isEmpty())
        return mails;
    QProcess reader;
    reader.start("/usr/bin/python3", QStringList{TestEnv::sourcePath("tests/common/emlread.py")} + files);
    reader.waitForFinished(30000);
    for (const QByteArray &line : reader.readAllStandardOutput().split('\n'))
        if (!line.trimmed().isEmpty())
            mails << QJsonDocument::fromJson(line).object();
    return mails;
}

const char *kOrder = R"({"orderID": "Q77", "manOrderID": "K-77", "custName": "Mrs Ada Fenwick",
  "custEmail": "ada@customer.example", "custAddr": "Mrs Ada Fenwick\n1 Lane", "fitting": 50, "discount": 10,
  "items": [{"room": "Hall", "width": 700, "drop": 1200, "item_price": "400.00", "man_price": true,
             "data": {"PanelConfig": "LR"}},
            {"room": "Study", "width": 900, "drop": 1300, "mult": 2, "item_price": "250.00", "man_price": true,
             "data": {"PanelConfig": "LTR", "TPost1": 450}}]})";

} // namespace

class TestQuoteMail : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestEnv::initApp();
        QVERIFY(m_emlDir.isValid());
        QVERIFY2(m_mail.startWithEml(m_emlDir.path()), qPrintable(m_mail.error()));
        setExternalOpener([this](const QUrl &url) {
            m_opened << url;
            return true;
        });
    }

    void init()
    {
        m_data.reset(TestEnv::freshDataFolder());
        CloudFixture::setUser({{"credblock_s", CloudFixture::sealed(S3TestServer::kSecret, "api:key-quote")},
                               {"ltaurl", m_mail.url("/v3/mg.example/messages").toString()},
                               {"bus_s", "Fenwick & Daughters"}, {"emailconf_s", "sales@fenwick.example"}});
        QVERIFY(m_mail.control({}));
        for (const QString &f : QDir(m_emlDir.path()).entryList(QDir::Files))
            QFile::remove(m_emlDir.filePath(f));
        m_mail.take();
        m_opened.clear();
        m_order = std::make_unique<VexaOrder>();
        m_order->readJson(QJsonDocument::fromJson(kOrder).object());
        m_cloud = std::make_unique<CloudComms>(nullptr);
        m_tools = std::make_unique<QuoteTools>(m_order.get(), m_cloud.get());
    }

    void pdfButtonSavesBesidePrintFilesAndSendsNothing()
    {
        QSignalSpy messages(m_tools.get(), &QuoteTools::message);
        QCOMPARE(m_tools->openQuotePdf(), QString());
        const QString path = m_tools->quotePdfPath();
        QCOMPARE(QFileInfo(path).absolutePath(), QDir(AppContext::dataFolder + "/print").absolutePath());
        QCOMPARE(m_opened, QList<QUrl>({QUrl::fromLocalFile(path)}));
        QVERIFY(TestEnv::readFile(path).startsWith("%PDF-"));
        QCOMPARE(messages.size(), 1);
        // writing the quote sends nothing and records nothing
        QCOMPARE(m_mail.take().size(), 0);
        QVERIFY(readEml(m_emlDir.path()).isEmpty());
        QVERIFY(!m_order->properties().contains("quoteSent"));

        // nowhere to open it: said so, the file stays
        setExternalOpener([](const QUrl &) { return false; });
        QVERIFY(m_tools->openQuotePdf().contains(path));
        setExternalOpener([this](const QUrl &url) {
            m_opened << url;
            return true;
        });
    }

    void quoteGoesToTheCustomer()
    {
        QCOMPARE(m_tools->emailQuote(), QString());
        const QList<QJsonObject> mails = readEml(m_emlDir.path());
        QCOMPARE(mails.size(), 1);
        const QJsonObject mail = mails.first();
        QCOMPARE(mail["defects"].toArray().size(), 0);
        QCOMPARE(mail["to"].toArray(), QJsonArray({"ada@customer.example"}));
        QCOMPARE(mail["replyTo"].toString(), QString("sales@fenwick.example"));
        QCOMPARE(mail["subject"].toString(), QString("Your quote from Fenwick & Daughters: K-77"));
        QVERIFY2(mail["from"].toString().startsWith("Fenwick & Daughters <"), qPrintable(mail["from"].toString()));
        // the body greets the customer and gives the quote's price: (400 + 2 x 250 + 50) less 10 %
        const QString html = mail["html"].toString();
        QVERIFY2(html.contains("Dear Mrs Ada Fenwick,") && html.contains("K-77") && html.contains("£855.00")
                     && html.contains("3 shutters"),
                 qPrintable(html));
        const QJsonArray attachments = mail["attachments"].toArray();
        QCOMPARE(attachments.size(), 1);
        QCOMPARE(attachments[0]["name"].toString(), QString("Quote-K-77.pdf"));
        const QByteArray pdf = QByteArray::fromBase64(attachments[0]["body"].toString().toLatin1());
        QCOMPARE(pdf, TestEnv::readFile(m_tools->quotePdfPath()));
        QVERIFY(pdf.startsWith("%PDF-"));

        // recorded on the order and in its file
        const QDateTime sent = QDateTime::fromString(m_order->properties().value("quoteSent").toString(), Qt::ISODate);
        QVERIFY(sent.isValid() && std::abs(sent.secsTo(QDateTime::currentDateTime())) < 120);
        const QJsonObject saved = QJsonDocument::fromJson(TestEnv::readFile(AppContext::ordersFolder + "Q77")).object();
        QCOMPARE(saved["props"].toObject()["quoteSent"].toString(), m_order->properties().value("quoteSent").toString());
        QCOMPARE(m_opened.size(), 0);
    }

    void failedSendLeavesNoRecord_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QJsonObject>("control");
        QTest::newRow("service refuses") << "/v3/mg.example/notqueued" << QJsonObject();
        QTest::newRow("server error") << "/v3/mg.example/messages"
                                      << QJsonObject{{"fail", QJsonObject{{"ada@customer.example", QJsonArray{500, "boom"}}}}};
        QTest::newRow("nothing listening") << "" << QJsonObject();
    }

    void failedSendLeavesNoRecord()
    {
        QFETCH(QString, path);
        QFETCH(QJsonObject, control);
        QVERIFY(m_mail.control(control));
        AppContext::userSettings()->setValue("ltaurl", path.isEmpty() ? QString("http://127.0.0.1:1/v3/x/messages")
                                                                      : m_mail.url(path).toString());
        QSignalSpy messages(m_tools.get(), &QuoteTools::message);
        const QString result = m_tools->emailQuote();
        QVERIFY(!result.isEmpty());
        QCOMPARE(m_tools->lastMessage(), result);
        QCOMPARE(messages.size() == 1 ? messages.first().first().toString() : QString("<no single message>"), result);
        QVERIFY(!m_order->properties().contains("quoteSent"));
        QVERIFY(!QFile::exists(AppContext::ordersFolder + "Q77"));
    }

    void noUsableAddressSendsNothing_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("none") << "";
        QTest::newRow("not an address") << "ada at home";
        QTest::newRow("two addresses") << "a@x.example, b@y.example";
    }

    void noUsableAddressSendsNothing()
    {
        QFETCH(QString, address);
        m_order->set_custEmail(address);
        QVERIFY(!m_tools->emailQuote().isEmpty());
        QCOMPARE(m_mail.take().size(), 0);
        QVERIFY(!m_order->properties().contains("quoteSent"));
    }

    void signatureDialogTotals()
    {
        // the figures the signature dialog shows are the quote's
        const QVariantMap totals = m_tools->totals();
        QCOMPARE(totals.value("total").toString(), QString("£950.00"));
        QCOMPARE(totals.value("discountPercent").toString(), QString("10"));
        QCOMPARE(totals.value("discount").toString(), QString("-£95.00"));
        QCOMPARE(totals.value("price").toString(), QString("£855.00"));
        QCOMPARE(totals.value("balance").toString(), QString("£855.00"));
        QCOMPARE(totals.value("vat").toString(), QString("Prices include VAT"));
        m_order->set_deposit(100);
        m_order->set_exVat(true);
        AppContext::userSettings()->setValue("crncy", "&euro;");
        QCOMPARE(m_tools->totals().value("balance").toString(), QString("€755.00"));
        QCOMPARE(m_tools->totals().value("vat").toString(), QString("Prices exclude VAT"));
    }

private:
    QTemporaryDir m_emlDir;
    EmlMailServer m_mail;
    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<VexaOrder> m_order;
    std::unique_ptr<CloudComms> m_cloud;
    std::unique_ptr<QuoteTools> m_tools;
    QList<QUrl> m_opened;
};

QTEST_MAIN(TestQuoteMail)
#include "tst_quotemail.moc"
