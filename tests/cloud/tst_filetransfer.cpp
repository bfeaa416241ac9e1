// The transfer worker against Debian's pyftpdlib and a local HTTPS drop.
#include "app/appcontext.h"
#include "app/appsettings.h"
#include "cloud/filetransfer.h"
#include "suppliertestservers.h"
#include "testenv.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>
#include <memory>

namespace {
const QString kPass = QStringLiteral("s3cr@t:/pw");

QByteArray allBytes()
{
    QByteArray b;
    for (int round = 0; round < 300; ++round)
        for (int i = 0; i < 256; ++i)
            b.append(char(i));
    return b;
}
} // namespace

class TestFileTransfer : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void ftpPutAndGet();
    void httpsPost();
    void failures_data();
    void failures();
    void failedOpenClearsQueue();

private:
    QUrl ftpUrl(const QString &path, const QString &user = "writer", const QString &pass = kPass) const
    {
        QUrl url;
        url.setScheme("ftp");
        url.setHost("127.0.0.1");
        url.setPort(m_ftp.port());
        url.setPath(path);
        url.setUserName(user);
        url.setPassword(pass);
        return url;
    }
    QUrl httpsUrl(const QString &path, int port, const QString &pass = kPass) const
    {
        QUrl url(QStringLiteral("https://127.0.0.1%1").arg(path));
        url.setPort(port);
        url.setUserName("dropper");
        url.setPassword(pass);
        return url;
    }
    // Runs one transfer to its end; returns the worker's error.
    QString run(FileTransfer &t, const QUrl &url, int method, const QString &local = QString())
    {
        QSignalSpy done(&t, &FileTransfer::finished);
        t.append(url, method, local);
        if (!done.wait(20000))
            return "<no finished() signal>";
        return t.error();
    }

    FtpTestServer m_ftp;
    HttpsDropServer m_drop, m_untrusted;
    std::unique_ptr<QTemporaryDir> m_data;
};

void TestFileTransfer::initTestCase()
{
    TestEnv::initApp();
    QVERIFY2(m_ftp.start("writer", kPass, "reader", "readpw"), qPrintable(m_ftp.error()));
    QVERIFY2(m_drop.start("dropper", kPass), qPrintable(m_drop.error()));
    QVERIFY2(m_untrusted.start("dropper", kPass), qPrintable(m_untrusted.error()));
    m_drop.trust();
    QDir(m_ftp.root()).mkpath("Orders");
}

void TestFileTransfer::init()
{
    m_data.reset(TestEnv::freshDataFolder());
    m_ftp.take();
    m_drop.take();
}

void TestFileTransfer::ftpPutAndGet()
{
    const QByteArray bytes = allBytes();
    const QString local = m_data->filePath("up.bin");
    QVERIFY(TestEnv::writeFile(local, bytes));
    FileTransfer t;
    QCOMPARE(run(t, ftpUrl("/Orders/up.bin"), FileTransfer::Put, local), QString());
    QCOMPARE(TestEnv::readFile(m_ftp.root() + "/Orders/up.bin"), bytes);
    QCOMPARE(m_ftp.take().value(0).value("path").toString(), QString("/Orders/up.bin"));

    // the read-only user fetches it back, byte for byte
    FileTransfer get;
    QCOMPARE(run(get, ftpUrl("/Orders/up.bin", "reader", "readpw"), FileTransfer::Get), QString());
    QCOMPARE(get.data(), bytes);
}

void TestFileTransfer::httpsPost()
{
    const QByteArray bytes = "<?xml version=\"1.0\"?>\n<Order AccountCode=\"C123456\"/>\n" + allBytes();
    const QString local = m_data->filePath("Shutter1.xml");
    QVERIFY(TestEnv::writeFile(local, bytes));
    FileTransfer t;
    QCOMPARE(run(t, httpsUrl("/Orders/Shutter_C123456_1.xml", m_drop.port()), FileTransfer::Post, local), QString());
    const QList<QJsonObject> drops = m_drop.take();
    QCOMPARE(drops.size(), 1);
    QCOMPARE(drops[0].value("method").toString(), QString("POST"));
    QCOMPARE(drops[0].value("path").toString(), QString("/Orders/Shutter_C123456_1.xml"));
    QCOMPARE(drops[0].value("user").toString(), QString("dropper"));
    QCOMPARE(drops[0].value("contentType").toString(), QString("application/xml"));
    QCOMPARE(QByteArray::fromBase64(drops[0].value("body").toString().toLatin1()), bytes);
}

void TestFileTransfer::failures_data()
{
    QTest::addColumn<QString>("target"); // which server and path
    QTest::addColumn<int>("method");
    QTest::addColumn<QString>("expected");
    // the delivery failures are checked with the portal upload; these are
    // the worker's own rules
    QTest::newRow("wrong password") << "ftp-wrongpass:/Orders/a.xml" << int(FileTransfer::Put) << "authentication";
    QTest::newRow("missing remote file") << "ftp:/Addresses/C999999.txt" << int(FileTransfer::Get)
                                         << "is not retrievable";
    QTest::newRow("302 is no delivery") << "https:/moved/a.xml" << int(FileTransfer::Post) << "answered 302";
    QTest::newRow("untrusted certificate") << "untrusted:/Orders/a.xml" << int(FileTransfer::Post) << "self-signed";
    QTest::newRow("never answers") << "silent:/Orders/a.xml" << int(FileTransfer::Get) << "Transfer Timed Out";
}

void TestFileTransfer::failures()
{
    QFETCH(QString, target);
    QFETCH(int, method);
    QFETCH(QString, expected);
    const QString kind = target.section(':', 0, 0), path = target.section(':', 1);
    const QString local = m_data->filePath("a.xml");
    QVERIFY(TestEnv::writeFile(local, "<Order/>"));
    if (kind == "silent")
        AppContext::userSettings()->setValue("transferTimeout_i", 1);

    QTcpServer silent; // accepts and never says a word
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    QUrl url;
    if (kind == "ftp")
        url = ftpUrl(path);
    else if (kind == "ftp-wrongpass")
        url = ftpUrl(path, "writer", "wr@ng:pass");
    else if (kind == "https")
        url = httpsUrl(path, m_drop.port());
    else if (kind == "untrusted")
        url = httpsUrl(path, m_untrusted.port());
    else
        url = ftpUrl(path), url.setPort(silent.serverPort());

    // everything the worker logs goes through the message handler
    static QStringList logged;
    static QMutex lock; // the network threads log too
    lock.lock();
    logged.clear();
    lock.unlock();
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &msg) {
        QMutexLocker locked(&lock);
        logged << msg;
    });
    FileTransfer t;
    QSignalSpy messages(&t, &FileTransfer::errorMessage);
    const QString error = run(t, url, method, local);
    qInstallMessageHandler(previous);
    QMutexLocker locked(&lock);

    QVERIFY2(error.contains(expected), qPrintable(error));
    QCOMPARE(messages.count(), 1);
    QCOMPARE(messages.at(0).at(0).toString(), error);
    const QString password = url.password();
    const QStringList texts = QStringList(logged) << error;
    for (const QString &text : texts) {
        QVERIFY2(!text.contains(password) && !text.contains(QUrl::toPercentEncoding(password)), qPrintable(text));
    }
    QVERIFY(!QFileInfo::exists(m_ftp.root() + path));
    QVERIFY(m_drop.take().isEmpty());
}

void TestFileTransfer::failedOpenClearsQueue()
{
    const QString good = m_data->filePath("good.xml");
    QVERIFY(TestEnv::writeFile(good, "<Order/>"));
    FileTransfer t;
    QSignalSpy done(&t, &FileTransfer::finished);
    t.append(ftpUrl("/Orders/x1.xml"), FileTransfer::Put, m_data->filePath("missing.xml"));
    t.append(ftpUrl("/Orders/x2.xml"), FileTransfer::Put, good);
    QVERIFY(done.wait(20000));
    QVERIFY2(t.error().contains("No such file"), qPrintable(t.error()));
    QTest::qWait(200);
    QCOMPARE(done.count(), 1);
    QVERIFY(!QFileInfo::exists(m_ftp.root() + "/Orders/x2.xml"));

    // the queue is empty again, so a new append starts by itself
    QCOMPARE(run(t, ftpUrl("/Orders/x3.xml"), FileTransfer::Put, good), QString());
    QCOMPARE(TestEnv::readFile(m_ftp.root() + "/Orders/x3.xml"), QByteArray("<Order/>"));
}

QTEST_GUILESS_MAIN(TestFileTransfer)
#include "tst_filetransfer.moc"
