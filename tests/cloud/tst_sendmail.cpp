// The mail request against a local stand-in of the mail API that parses the
// multipart body with Python's MIME parser.
#include "cloud/mailsender.h"
#include "cloudfixture.h"

#include <QUrlQuery>


static const QByteArray kCredential = "api:key-3ax6xnjp29jd6fds4gc373sgvjxteol0";

class TestSendMail : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestEnv::initApp();
        QVERIFY2(m_server.start(), qPrintable(m_server.error()));
    }

    void init()
    {
        m_data.reset(TestEnv::freshDataFolder());
        AppContext::userSettings()->setValue("ltaurl", m_server.url("/v3/mg.example/messages").toString());
        m_server.take();
    }

    void fullMessageWithAttachments()
    {
        const QString xml = m_data->filePath("A12.xml"), order = m_data->filePath("A12.vexa");
        QByteArray binary;
        for (int i = 0; i < 256; ++i)
            binary.append(char(i));
        QVERIFY(TestEnv::writeFile(xml, "<order id=\"A12\"/>") && TestEnv::writeFile(order, binary));
        MailSender sender(kCredential);
        QSignalSpy results(&sender, &MailSender::asyncResult);
        QVERIFY2(sender.sendMail("orders@supplier.example", "shop@retailer.example", "Retailer <shop@retailer.example>",
                                 "Order A12 – Café Row", "Please supply the attached order.\nThanks",
                                 {xml + ";\"A12\r\n.xml\"", m_data->filePath("missing.pdf") + ";missing.pdf", order + ";A12.vexa"},
                                 "copy@retailer.example"),
                 qPrintable(sender.lastMessage()));
        QCOMPARE(results.count(), 0);

        QStringList parts;
        const QJsonObject m = take(&parts);
        QCOMPARE(m.value("path").toString(), QString("/v3/mg.example/messages"));
        QVERIFY(m.value("contentType").toString().startsWith("multipart/form-data; boundary="));
        QCOMPARE(m.value("defects").toInt(), 0);
        QCOMPARE(m.value("authorization").toString(), QString("Basic " + kCredential.toBase64()));
        QCOMPARE(m.value("parts").toArray().at(6).toObject().value("contentType").toString(), QString("application/octet-stream"));
        // the unreadable attachment is left out; the others keep their bytes and
        // their names, less the quotes and line breaks that would break the header
        QCOMPARE(parts, QStringList({"to=orders@supplier.example", "cc=copy@retailer.example", "subject=Order A12 – Café Row",
                                     "from=Retailer <shop@retailer.example>", "h:Reply-To=shop@retailer.example",
                                     "text=Please supply the attached order.\nThanks", "attachment;A12.xml=<order id=\"A12\"/>",
                                     "attachment;A12.vexa=" + QString::fromUtf8(binary)}));
        QCOMPARE(QByteArray::fromBase64(m.value("parts").toArray().at(7).toObject().value("body").toString().toLatin1()), binary);
    }

    void bodies()
    {
        // an HTML body goes out as is and as plain text; optional fields are left out
        const QString html = "<!DOCTYPE HTML><html><body><h1>Order A12</h1><p>Kitchen: 2 panels</p>"
                             "<table><tr><td>Total</td><td>£1,234.50</td></tr></table></body></html>";
        MailSender sender(kCredential);
        QVERIFY(sender.sendMail("orders@supplier.example", QString(), "shop@retailer.example", "Order A12", html));
        QStringList parts;
        take(&parts);
        QCOMPARE(parts.mid(0, 4), QStringList({"to=orders@supplier.example", "subject=Order A12", "from=shop@retailer.example", "html=" + html}));
        const QString text = parts.value(4);
        QVERIFY2(text.startsWith("text=") && !text.contains('<') && !text.contains('>') && text.contains("Order A12")
                     && text.contains("Kitchen: 2 panels") && text.contains("£1,234.50") && parts.size() == 5,
                 qPrintable(parts.join('|')));

        QVERIFY(sender.sendMail("me@retailer.example", QString(), QString(), "Logs from: Shutters", "no html here <b>"));
        parts.clear();
        take(&parts);
        QCOMPARE(parts, QStringList({"to=me@retailer.example", "subject=Logs from: Shutters", "text=no html here <b>"}));
    }

    void failures_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("status");
        QTest::newRow("not queued") << "/v3/mg.example/notqueued" << "'to' parameter is not a valid address" << 200;
        QTest::newRow("not authorised") << "/v3/mg.example/unauthorised" << "" << 401;
        QTest::newRow("nothing listening") << "" << "" << 0;
    }

    void failures()
    {
        QFETCH(QString, path);
        QFETCH(QString, message);
        QFETCH(int, status);
        // nothing listens on port 1
        AppContext::userSettings()->setValue("ltaurl", (path.isEmpty() ? QUrl("http://127.0.0.1:1/v3/x/messages") : m_server.url(path)).toString());
        MailSender sender(kCredential);
        QSignalSpy results(&sender, &MailSender::asyncResult);
        QVERIFY(!sender.sendMail("bad address", QString(), QString(), "s", "b"));
        QVERIFY(!sender.lastMessage().isEmpty() && sender.lastMessage().contains(message));
        QCOMPARE(results.count() == 1 ? results.first().first().toString() : "<no single result>", sender.lastMessage());
        // each of these is known not to have been taken
        QCOMPARE(sender.outcome(), MailSender::Refused);
        QCOMPARE(sender.status(), status);

        // without the setting the real service is used
        AppContext::userSettings()->remove("ltaurl");
        QCOMPARE(MailSender::endpoint().scheme(), QString("https"));
        QVERIFY(MailSender::endpoint().path().startsWith("/v3/") && MailSender::endpoint().path().endsWith("/messages"));
    }

    // Header values keep no control character, whatever they were given.
    void headerText_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "Order A12 – Café Row" << "Order A12 – Café Row";
        QTest::newRow("CR LF and a header") << "R-1\r\nBcc: evil@example.com" << "R-1 Bcc: evil@example.com";
        QTest::newRow("lone LF, tab, NUL") << "a\nb\tc" + QString(QChar(0)) + "d" << "a b c d";
        QTest::newRow("C1 NEL and DEL") << QString("x") + QChar(0x85) + "y" + QChar(0x7f) << "x y";
        QTest::newRow("Unicode line separators") << QString("p") + QChar(0x2028) + "q" + QChar(0x2029) << "p q";
        QTest::newRow("blank around a break") << "a \r\n b" << "a  b";
        QTest::newRow("only breaks") << "\r\n\r\n" << "";
        QTest::newRow("its own blanks stay") << " New account: " << " New account: ";
        QTest::newRow("breaks at the ends go") << "\nRef\r\n" << "Ref";
    }

    void headerText()
    {
        QFETCH(QString, value);
        QFETCH(QString, expected);
        QCOMPARE(MailSender::headerText(value), expected);
    }

    // Every header field of the request goes without its control characters.
    void headersCleanedOnTheWire()
    {
        MailSender sender(kCredential);
        QVERIFY(sender.sendMail("to@x.example\r\nBcc: a@evil.example", "reply@x.example\n", "Me\r <me@x.example>",
                                "Ref\r\nX-Evil: 1", "body\r\nkept", {}, "cc@x.example\u0085"));
        QStringList parts;
        take(&parts);
        QCOMPARE(parts, QStringList({"to=to@x.example Bcc: a@evil.example", "cc=cc@x.example", "subject=Ref X-Evil: 1",
                                     "from=Me <me@x.example>", "h:Reply-To=reply@x.example", "text=body\r\nkept"}));
    }

    // The service's event log, as the posting asks it about a message whose
    // outcome a crash hid: only a message to that recipient with exactly that
    // subject and that posting's variable counts.
    void eventLog()
    {
        MailSender sender(kCredential);
        sender.setVariable("lattica-posting", "tok-1");
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        QVERIFY(sender.sendMail("Orders <orders+desk@supplier.example>", QString(), QString(), "Order Ref: R-1", "b"));
        MailSender other(kCredential);
        other.setVariable("lattica-posting", "tok-2");
        QVERIFY(other.sendMail("orders+desk@supplier.example", QString(), QString(), "Order Ref: R-10", "b"));
        m_server.take();

        MailSender asker(kCredential);
        const auto ask = [&](const QString &to, const QString &subject, const QString &token) {
            return asker.wasAccepted(to, subject, "lattica-posting", token, before);
        };
        QCOMPARE(ask("orders+desk@supplier.example", "Order Ref: R-1", "tok-1"), MailSender::LoggedAccepted);
        // the request as the service's API takes it
        const QJsonObject query = m_server.take().value(0);
        const QUrlQuery q(QUrl(query.value("path").toString()));
        QCOMPARE(QUrl(query.value("path").toString()).path(), QString("/v3/mg.example/events"));
        QCOMPARE(q.queryItemValue("event"), QString("accepted"));
        QCOMPARE(q.queryItemValue("recipient", QUrl::FullyDecoded), QString("orders+desk@supplier.example"));
        QCOMPARE(q.queryItemValue("subject", QUrl::FullyDecoded), QString("\"Order Ref: R-1\""));
        QVERIFY(q.queryItemValue("begin").toLongLong() <= before.toSecsSinceEpoch());
        QCOMPARE(query.value("authorization").toString(), QString("Basic " + kCredential.toBase64()));

        QCOMPARE(ask("ORDERS+desk@supplier.example", "Order Ref: R-10", "tok-2"), MailSender::LoggedAccepted);
        QCOMPARE(ask("orders+desk@supplier.example", "Order Ref: R-1", "tok-2"), MailSender::NotLogged);
        QCOMPARE(ask("orders+desk@supplier.example", "Order Ref: R-", "tok-1"), MailSender::NotLogged);
        QCOMPARE(ask("orders@supplier.example", "Order Ref: R-1", "tok-1"), MailSender::NotLogged);

        // a log that fails or answers nonsense cannot tell
        QVERIFY(m_server.control({{"events", QJsonArray{503, "busy"}}}));
        QCOMPARE(ask("orders+desk@supplier.example", "Order Ref: R-1", "tok-1"), MailSender::CannotTell);
        QVERIFY(asker.lastMessage().contains("Service Unavailable"));
        QVERIFY(m_server.control({{"events", QJsonArray{200, "<html>maintenance</html>"}}}));
        QCOMPARE(ask("orders+desk@supplier.example", "Order Ref: R-1", "tok-1"), MailSender::CannotTell);
        QVERIFY(m_server.control({}));
        AppContext::userSettings()->setValue("ltaurl", "http://127.0.0.1:1/v3/mg.example/messages");
        QCOMPARE(ask("orders+desk@supplier.example", "Order Ref: R-1", "tok-1"), MailSender::CannotTell);
    }

    // The log is read page by page, as the service hands it out.
    void eventLogPaged()
    {
        MailSender sender(kCredential);
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        for (int i = 0; i < 302; ++i) {
            sender.setVariable("lattica-posting", QString("p%1").arg(i));
            QVERIFY(sender.sendMail("paged@supplier.example", QString(), QString(), "Same subject", "b"));
        }
        m_server.take();
        QCOMPARE(sender.wasAccepted("paged@supplier.example", "Same subject", "lattica-posting", "p301", before),
                 MailSender::LoggedAccepted);
        QCOMPARE(m_server.take().size(), 2); // two pages of at most 300
        QCOMPARE(sender.wasAccepted("paged@supplier.example", "Same subject", "lattica-posting", "p302", before),
                 MailSender::NotLogged);
        QCOMPARE(m_server.take().size(), 3); // to the empty page
    }

private:
    // The one message received, its parts as "name[;filename]=body" in order.
    QJsonObject take(QStringList *parts)
    {
        const QList<QJsonObject> messages = m_server.take();
        for (const QJsonValue &v : messages.value(0).value("parts").toArray()) {
            const QJsonObject o = v.toObject();
            *parts << o.value("name").toString() + (o.value("filename").isString() ? ";" + o.value("filename").toString() : "")
                          + "=" + QString::fromUtf8(QByteArray::fromBase64(o.value("body").toString().toLatin1()));
        }
        if (messages.size() != 1)
            *parts << "<messages received: " + QString::number(messages.size()) + ">";
        return messages.value(0);
    }

    MailTestServer m_server;
    std::unique_ptr<QTemporaryDir> m_data;
};

QTEST_MAIN(TestSendMail)
#include "tst_sendmail.moc"
