// The transfer worker's own rules against Debian's pyftpdlib; deliveries (byte
// for byte, by the writing user) and their failures are checked through the
// portal upload, fetches (by the read-only user) through the address fetch.
#include "cloud/filetransfer.h"
#include "cloudfixture.h"
#include "suppliertestservers.h"

class TestFileTransfer : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestEnv::initApp();
        QVERIFY2(m_ftp.start("writer", "s3cr@t:/pw", "reader", "readpw"), qPrintable(m_ftp.error()));
        QDir(m_ftp.root()).mkpath("Orders");
    }

    void init()
    {
        m_data.reset(TestEnv::freshDataFolder());
        m_ftp.take();
    }

    void failedOpenClearsQueue()
    {
        const QString good = m_data->filePath("good.xml");
        QVERIFY(TestEnv::writeFile(good, "<Order/>"));
        FileTransfer t;
        QSignalSpy done(&t, &FileTransfer::finished);
        QSignalSpy messages(&t, &FileTransfer::errorMessage);
        t.append(ftpUrl("/Orders/x1.xml"), FileTransfer::Put, m_data->filePath("missing.xml"));
        t.append(ftpUrl("/Orders/x2.xml"), FileTransfer::Put, good);
        QVERIFY(done.wait(20000));
        QVERIFY2(t.error().contains("No such file"), qPrintable(t.error()));
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.at(0).at(0).toString(), t.error());
        QTest::qWait(200);
        QCOMPARE(done.count(), 1);
        QVERIFY(!QFileInfo::exists(m_ftp.root() + "/Orders/x2.xml"));

        // the queue is empty again, so a new append starts by itself
        QCOMPARE(run(t, ftpUrl("/Orders/x3.xml"), FileTransfer::Put, good), QString());
        QCOMPARE(TestEnv::readFile(m_ftp.root() + "/Orders/x3.xml"), QByteArray("<Order/>"));
    }

private:
    QUrl ftpUrl(const QString &path, const QString &user = "writer", const QString &pass = "s3cr@t:/pw") const
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
    QString run(FileTransfer &t, const QUrl &url, int method, const QString &local = QString())
    {
        QSignalSpy done(&t, &FileTransfer::finished);
        t.append(url, method, local);
        if (!done.wait(20000))
            return "<no finished() signal>";
        return t.error();
    }

    FtpTestServer m_ftp;
    std::unique_ptr<QTemporaryDir> m_data;
};

QTEST_GUILESS_MAIN(TestFileTransfer)
#include "tst_filetransfer.moc"
