// The mail request against a local stand-in of the mail API that parses the
// multipart body with Python's MIME parser.
#include "app/appcontext.h"
#include "app/appsettings.h"
#include "cloud/mailsender.h"
#include "mailtestserver.h"
#include "testenv.h"

#include <QJsonArray>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>
#include <memory>

namespace {

const QByteArray kCredential = "api:key-3ax6xnjp29jd6fds4gc373sgvjxteol0";

struct Part
{
    QString name;
    QString filename;
    QString contentType;
    QByteArray body;
};

QList<Part> partsOf(const QJsonObject &message)
{
    QList<Part> parts;
    const QJsonArray array = message.value("parts").toArray();
    for (const QJsonValue &v : array) {
        const QJsonObject o = v.toObject();
        parts.append({o.value("name").toString(), o.value("filename").toString(),
                      o.value("contentType").toString(),
                      QByteArray::fromBase64(o.value("body").toString().toLatin1())});
    }
    return parts;
}

QStringList namesOf(const QList<Part> &parts)
{
    QStringList names;
    for (const Part &p : parts)
        names << p.name;
    return names;
}

} // namespace

class TestSendMail : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void fullMessageWithAttachments();
    void htmlBodyAlsoSentAsText();
    void optionalFieldsLeftOut();
    void replyWithoutQueuedFails();
    void refusedRequestFails_data();
    void refusedRequestFails();
    void endpointFromSettings();

private:
    MailTestServer m_server;
    std::unique_ptr<QTemporaryDir> m_data;
};

void TestSendMail::initTestCase()
{
    TestEnv::initApp();
    if (MailTestServer::python().isEmpty())
        QFAIL("python3 is not installed (run scripts/setup)");
    QVERIFY2(m_server.start(), qPrintable(m_server.error()));
}

void TestSendMail::cleanupTestCase()
{
    m_server.stop();
}

void TestSendMail::init()
{
    m_data.reset(TestEnv::freshDataFolder());
    AppContext::userSettings()->setValue("ltaurl", m_server.url("/v3/mg.example/messages").toString());
    m_server.takeMessages();
}

void TestSendMail::fullMessageWithAttachments()
{
    const QString xml = m_data->filePath("A12.xml");
    const QString order = m_data->filePath("A12.vexa");
    QByteArray binary;
    for (int i = 0; i < 256; ++i)
        binary.append(char(i));
    QVERIFY(TestEnv::writeFile(xml, "<order id=\"A12\"/>"));
    QVERIFY(TestEnv::writeFile(order, binary));

    MailSender sender(kCredential);
    QSignalSpy results(&sender, &MailSender::asyncResult);
    const bool sent = sender.sendMail("orders@supplier.example", "shop@retailer.example", "Retailer <shop@retailer.example>",
                                      "Order A12 – Café Row", "Please supply the attached order.\nThanks",
                                      {xml + ";A12.xml", m_data->filePath("missing.pdf") + ";missing.pdf",
                                       order + ";A12.vexa"},
                                      "copy@retailer.example");
    QVERIFY2(sent, qPrintable(sender.lastMessage()));
    QCOMPARE(results.count(), 0);

    const QList<QJsonObject> messages = m_server.takeMessages();
    QCOMPARE(messages.size(), 1);
    const QJsonObject m = messages.first();
    QCOMPARE(m.value("path").toString(), QString("/v3/mg.example/messages"));
    QVERIFY(m.value("multipart").toBool());
    QVERIFY(m.value("contentType").toString().startsWith("multipart/form-data; boundary="));
    QCOMPARE(m.value("defects").toInt(), 0);

    const QString auth = m.value("authorization").toString();
    QVERIFY(auth.startsWith("Basic "));
    QCOMPARE(QByteArray::fromBase64(auth.mid(6).toLatin1()), kCredential);

    const QList<Part> parts = partsOf(m);
    QCOMPARE(namesOf(parts),
             QStringList({"to", "cc", "subject", "from", "h:Reply-To", "text", "attachment", "attachment"}));
    QCOMPARE(parts[0].body, QByteArray("orders@supplier.example"));
    QCOMPARE(parts[1].body, QByteArray("copy@retailer.example"));
    QCOMPARE(QString::fromUtf8(parts[2].body), QString("Order A12 – Café Row"));
    QCOMPARE(parts[3].body, QByteArray("Retailer <shop@retailer.example>"));
    QCOMPARE(parts[4].body, QByteArray("shop@retailer.example"));
    QCOMPARE(parts[5].body, QByteArray("Please supply the attached order.\nThanks"));
    for (int i = 0; i < 6; ++i)
        QVERIFY(parts[i].filename.isEmpty());

    // the unreadable attachment is left out; the others keep their names
    QCOMPARE(parts[6].filename, QString("A12.xml"));
    QCOMPARE(parts[6].contentType, QString("application/octet-stream"));
    QCOMPARE(parts[6].body, QByteArray("<order id=\"A12\"/>"));
    QCOMPARE(parts[7].filename, QString("A12.vexa"));
    QCOMPARE(parts[7].body, binary);
}

void TestSendMail::htmlBodyAlsoSentAsText()
{
    const QString html = "<!DOCTYPE HTML><html><body><h1>Order A12</h1><p>Kitchen: 2 panels</p>"
                         "<table><tr><td>Total</td><td>£1,234.50</td></tr></table></body></html>";
    MailSender sender(kCredential);
    QVERIFY(sender.sendMail("orders@supplier.example", QString(), "shop@retailer.example", "Order A12", html));
    const QList<QJsonObject> messages = m_server.takeMessages();
    QCOMPARE(messages.size(), 1);
    const QList<Part> parts = partsOf(messages.first());
    QCOMPARE(namesOf(parts), QStringList({"to", "subject", "from", "html", "text"}));
    QCOMPARE(QString::fromUtf8(parts[3].body), html);
    const QString text = QString::fromUtf8(parts[4].body);
    QVERIFY2(!text.contains('<') && !text.contains('>'), qPrintable(text));
    QVERIFY(text.contains("Order A12"));
    QVERIFY(text.contains("Kitchen: 2 panels"));
    QVERIFY(text.contains("£1,234.50"));
}

void TestSendMail::optionalFieldsLeftOut()
{
    MailSender sender(kCredential);
    QVERIFY(sender.sendMail("me@retailer.example", QString(), QString(), "Logs from: Shutters", "no html here <b>"));
    const QList<QJsonObject> messages = m_server.takeMessages();
    QCOMPARE(messages.size(), 1);
    const QList<Part> parts = partsOf(messages.first());
    QCOMPARE(namesOf(parts), QStringList({"to", "subject", "text"}));
    QCOMPARE(parts[2].body, QByteArray("no html here <b>"));
}

void TestSendMail::replyWithoutQueuedFails()
{
    AppContext::userSettings()->setValue("ltaurl", m_server.url("/v3/mg.example/notqueued").toString());
    MailSender sender(kCredential);
    QSignalSpy results(&sender, &MailSender::asyncResult);
    QVERIFY(!sender.sendMail("bad address", QString(), QString(), "s", "b"));
    QVERIFY(sender.lastMessage().contains("'to' parameter is not a valid address"));
    QCOMPARE(results.count(), 1);
    QCOMPARE(results.first().first().toString(), sender.lastMessage());
    QCOMPARE(m_server.takeMessages().size(), 1);
}

void TestSendMail::refusedRequestFails_data()
{
    QTest::addColumn<bool>("closedPort");
    QTest::newRow("not authorised") << false;
    QTest::newRow("nothing listening") << true;
}

void TestSendMail::refusedRequestFails()
{
    QFETCH(bool, closedPort);
    QUrl url = m_server.url("/v3/mg.example/unauthorised");
    if (closedPort) {
        QTcpServer probe; // a port that was free a moment ago
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        url = QUrl(QStringLiteral("http://127.0.0.1:%1/v3/x/messages").arg(probe.serverPort()));
    }
    AppContext::userSettings()->setValue("ltaurl", url.toString());
    MailSender sender(kCredential);
    QSignalSpy results(&sender, &MailSender::asyncResult);
    QVERIFY(!sender.sendMail("a@b.example", QString(), QString(), "s", "b"));
    QVERIFY(!sender.lastMessage().isEmpty());
    QCOMPARE(results.count(), 1);
    QCOMPARE(results.first().first().toString(), sender.lastMessage());
}

void TestSendMail::endpointFromSettings()
{
    AppContext::userSettings()->remove("ltaurl");
    const QUrl fallback = MailSender::endpoint();
    QCOMPARE(fallback.scheme(), QString("https"));
    QVERIFY(fallback.path().startsWith("/v3/"));
    QVERIFY(fallback.path().endsWith("/messages"));
    AppContext::userSettings()->setValue("ltaurl", "http://127.0.0.1:1/v3/x/messages");
    QCOMPARE(MailSender::endpoint(), QUrl("http://127.0.0.1:1/v3/x/messages"));
}

QTEST_MAIN(TestSendMail)
#include "tst_sendmail.moc"
