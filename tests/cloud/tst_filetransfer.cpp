// The transfer worker's own rules against Debian's pyftpdlib; deliveries (byte
// for byte, by the writing user, with a password that needs escaping) and
// their failures are checked through the portal upload, fetches (by the
// read-only user) through the address fetch.
#include "cloud/filetransfer.h"
#include "cloudfixture.h"
#include "suppliertestservers.h"

class TestFileTransfer : public QObject
{
    Q_OBJECT
    FtpTestServer m_ftp;

    QUrl ftpUrl(const QString &path) const { return QUrl(QStringLiteral("ftp://writer:pw@127.0.0.1:%1%2").arg(m_ftp.port()).arg(path)); }

private slots:
    void initTestCase()
    {
        TestEnv::initApp();
        QVERIFY2(m_ftp.start("writer", "pw", "reader", "readpw"), qPrintable(m_ftp.error()));
        QDir(m_ftp.root()).mkpath("Orders");
    }

    void failedOpenClearsQueue()
    {
        std::unique_ptr<QTemporaryDir> data(TestEnv::freshDataFolder());
        const QString good = data->filePath("good.xml");
        QVERIFY(TestEnv::writeFile(good, "<Order/>"));
        FileTransfer t;
        QSignalSpy done(&t, &FileTransfer::finished);
        QSignalSpy messages(&t, &FileTransfer::errorMessage);
        t.append(ftpUrl("/Orders/x1.xml"), FileTransfer::Put, data->filePath("missing.xml"));
        t.append(ftpUrl("/Orders/x2.xml"), FileTransfer::Put, good);
        QVERIFY(done.wait(20000));
        QVERIFY2(t.error().contains("No such file"), qPrintable(t.error()));
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.at(0).at(0).toString(), t.error());
        QTest::qWait(200);
        QCOMPARE(done.count(), 1);
        QVERIFY(!QFileInfo::exists(m_ftp.root() + "/Orders/x2.xml"));

        // the queue is empty again, so a new append starts by itself
        t.append(ftpUrl("/Orders/x3.xml"), FileTransfer::Put, good);
        QVERIFY(done.wait(20000));
        QCOMPARE(t.error(), QString());
        QCOMPARE(TestEnv::readFile(m_ftp.root() + "/Orders/x3.xml"), QByteArray("<Order/>"));
    }
};

QTEST_GUILESS_MAIN(TestFileTransfer)
#include "tst_filetransfer.moc"
