// Exporting and delivering an order to the portal's drop: Debian's pyftpdlib
// and a local HTTPS drop with a certificate made for the test.
#include "cloudfixture.h"
#include "documents/uploadtolta.h"
#include "suppliertestservers.h"

#include <QSettings>
#include <QTcpServer>

namespace {
const QString kPass = QStringLiteral("p@ss:w/rd");
QStringList g_logged;
QMutex g_logLock; // network threads log too
void capture(QtMsgType, const QMessageLogContext &, const QString &msg)
{
    QMutexLocker locked(&g_logLock);
    g_logged << msg;
}

// Delivers a file as it is, without an export.
class PlainUpload : public UploadTo3rdParty
{
public:
    QString upload(const QString &path, const QString &) override
    {
        m_filePath = path;
        return uploadData(QStringLiteral("/Orders/plain.xml"));
    }
};
} // namespace

class TestPortalUpload : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestEnv::initApp();
        QVERIFY2(m_ftp.start("portal", kPass, "viewer", kPass + "2"), qPrintable(m_ftp.error()));
        QVERIFY2(m_drop.start("portal", kPass), qPrintable(m_drop.error()));
        QVERIFY2(m_untrusted.start("portal", kPass), qPrintable(m_untrusted.error()));
        m_drop.trust();
        QVERIFY(QDir(m_ftp.root()).mkpath("Orders"));
    }

    void init()
    {
        m_data.reset(TestEnv::freshDataFolder());
        AppContext::sharedSettings()->setValue("busNames/C123456", "Main Shutters Ltd");
        CloudFixture::setUser({{"ediFtpPort_i", m_ftp.port()}, {"ediHttpsPort_i", m_drop.port()}, {"ltaUpload", "earlier"}});
        m_ftp.take();
        m_drop.take();
    }

    void delivered_data()
    {
        QTest::addColumn<QString>("scheme");
        QTest::newRow("ftp") << "ftp";
        QTest::newRow("https") << "https";
    }

    void delivered()
    {
        QFETCH(QString, scheme);
        UploadToLTA exporter;
        exporter.setSupplier(supplier(scheme, "portal", kPass));
        const qint64 start = QDateTime::currentMSecsSinceEpoch();
        QCOMPARE(exporter.upload(writeOrder(), "C123456"), QString());

        const QString name = AppContext::setting("ltaUpload").toString();
        QVERIFY2(QRegularExpression("^C123456_\\d+$").match(name).hasMatch(), qPrintable(name));
        QVERIFY(name.mid(8).toLongLong() >= start);
        const QByteArray sent = TestEnv::readFile(exporter.filePath());
        QVERIFY(sent.contains("CustOrderRef=\"Café &amp; Co\""));
        const QString remote = "/Orders/Shutter_" + name + ".xml";
        if (scheme == "ftp") {
            // written under a temporary name, then renamed: never seen in part
            QCOMPARE(m_ftp.take().value(0).value("path").toString(), remote + ".part");
            QCOMPARE(TestEnv::readFile(m_ftp.root() + remote), sent);
            QVERIFY(!QFileInfo::exists(m_ftp.root() + remote + ".part"));
        } else {
            const QJsonObject drop = m_drop.take().value(0);
            QCOMPARE(drop.value("path").toString(), remote);
            QCOMPARE(QByteArray::fromBase64(drop.value("body").toString().toLatin1()), sent);
        }
    }

    // Delivering again under the same name (a retry after a crash): what a
    // broken try left is replaced by the whole file; a file already there
    // whole is left alone and nothing is sent.
    void redelivered_data()
    {
        QTest::addColumn<QString>("left");     // what the earlier try left
        QTest::addColumn<bool>("transferred");
        QTest::newRow("part of the temporary file") << "part" << true;
        QTest::newRow("an empty temporary file") << "empty part" << true;
        QTest::newRow("a short file under the name") << "short" << true;
        QTest::newRow("the whole file") << "whole" << false;
    }

    void redelivered()
    {
        QFETCH(QString, left);
        QFETCH(bool, transferred);
        UploadToLTA exporter;
        exporter.setSupplier(supplier("ftp", "portal", kPass));
        QCOMPARE(exporter.orderToXml(writeOrder()), QString());
        const QByteArray whole = TestEnv::readFile(exporter.filePath());
        const QString remote = m_ftp.root() + "/Orders/Shutter_C123456_42.xml";
        QFile::remove(remote);
        QFile::remove(remote + ".part");
        if (left == "part")
            QVERIFY(TestEnv::writeFile(remote + ".part", whole.left(whole.size() / 2)));
        if (left == "empty part")
            QVERIFY(TestEnv::writeFile(remote + ".part", ""));
        if (left == "short")
            QVERIFY(TestEnv::writeFile(remote, whole.left(10)));
        if (left == "whole")
            QVERIFY(TestEnv::writeFile(remote, whole));
        QCOMPARE(exporter.deliver("C123456", "C123456_42"), QString());
        QCOMPARE(TestEnv::readFile(remote), whole);
        QVERIFY(!QFileInfo::exists(remote + ".part"));
        QCOMPARE(m_ftp.take().size(), transferred ? 1 : 0);
        QCOMPARE(AppContext::setting("ltaUpload").toString(), QString("C123456_42"));
        // a name that is not this account's is never used
        QCOMPARE(exporter.deliver("C123456", "C654321_42"), QString("Invalid transfer name: C654321_42"));
    }

    void failures_data()
    {
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("pass");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("account");
        QTest::addColumn<QString>("expected");
        QTest::newRow("ftp wrong password") << "ftp" << "portal" << "wr@ng:pw" << "Orders" << "C123456"
                                            << "Logging in to 127.0.0.1 failed: authentication required";
        QTest::newRow("ftp read-only user") << "ftp" << "viewer" << kPass + "2" << "Orders" << "C123456"
                                            << "Uploading file failed:\nNot enough privileges.";
        QTest::newRow("ftp missing folder") << "ftp" << "portal" << kPass << "Nowhere" << "C123456"
                                            << "Uploading file failed:\nNo such file or directory.";
        QTest::newRow("https 403") << "https" << "portal" << kPass << "forbidden" << "C123456" << "Forbidden";
        QTest::newRow("https 302") << "https" << "portal" << kPass << "moved" << "C123456" << "answered 302 Found";
        QTest::newRow("https wrong password") << "https" << "portal" << "wr@ng:pw" << "Orders" << "C123456"
                                              << "Host requires authentication";
        QTest::newRow("untrusted certificate") << "untrusted" << "portal" << kPass << "Orders" << "C123456"
                                               << "The certificate is self-signed, and untrusted";
        QTest::newRow("unknown scheme") << "sftp" << "portal" << kPass << "Orders" << "C123456"
                                        << "UploadTo3rdParty: No valid ediScheme";
        QTest::newRow("missing local file") << "plain" << "portal" << kPass << "Orders" << "C123456"
                                            << "/missing.xml does not exist";
        QTest::newRow("never answers") << "silent" << "portal" << kPass << "Orders" << "C123456"
                                       << "Transfer Timed Out";
        QTest::newRow("account not usable in a path") << "ftp" << "portal" << kPass << "Orders" << "C123456/../x"
                                                      << "Invalid acount number: C123456/../x";
    }

    void failures()
    {
        QFETCH(QString, scheme);
        QFETCH(QString, user);
        QFETCH(QString, pass);
        QFETCH(QString, folder);
        QFETCH(QString, account);
        QFETCH(QString, expected);
        QTcpServer silent; // accepts and never says a word
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        if (scheme == "untrusted")
            AppContext::userSettings()->setValue("ediHttpsPort_i", m_untrusted.port());
        if (scheme == "silent")
            CloudFixture::setUser({{"ediFtpPort_i", silent.serverPort()}, {"transferTimeout_i", 1}});
        AppContext::userSettings()->setValue("ftpFolder", folder);
        const bool plain = scheme == "plain";
        const QString real = scheme == "untrusted" ? "https" : scheme == "silent" || plain ? "ftp" : scheme;

        g_logLock.lock();
        g_logged.clear();
        g_logLock.unlock();
        const QtMessageHandler previous = qInstallMessageHandler(capture);
        std::unique_ptr<UploadTo3rdParty> exporter(plain ? static_cast<UploadTo3rdParty *>(new PlainUpload)
                                                         : new UploadToLTA);
        exporter->setSupplier(supplier(real, user, pass));
        const QString error = exporter->upload(plain ? m_data->filePath("missing.xml") : writeOrder(), account);
        qInstallMessageHandler(previous);

        QVERIFY2(error.contains(expected), qPrintable(error));
        QCOMPARE(AppContext::setting("ltaUpload").toString(), QString("earlier"));
        QMutexLocker locked(&g_logLock);
        if (scheme != "sftp" && !plain && account == "C123456") // the transfer was logged, password hidden
            QVERIFY2(g_logged.join('\n').contains(":xxx@127.0.0.1"), qPrintable(g_logged.join('\n')));
        for (const QString &text : g_logged + QStringList{error})
            QVERIFY2(!text.contains(pass) && !text.contains(QUrl::toPercentEncoding(pass)), qPrintable(text));
        QVERIFY(m_drop.take().isEmpty());
        QVERIFY(m_ftp.take().isEmpty());
    }

private:
    SupplierItem supplier(const QString &scheme, const QString &user, const QString &pass)
    {
        CloudFixture::writeEdi(scheme, user, pass);
        SupplierItem s;
        QString error;
        if (!loadEdiConfig(&s, &error))
            qWarning() << error;
        return s;
    }
    QString writeOrder()
    {
        const QString path = m_data->filePath("Q3001");
        TestEnv::writeFile(path, QJsonDocument::fromJson(R"({"orderID":"Q3001","manOrderID":"Café & Co",
            "props":{"AccountName":"Main Shutters Ltd","list1sel_s":"Collect"},
            "items":[{"room":"Hall","product":"Lattica","width":600,"drop":900,"options":[]}]})")
                                         .toJson());
        return path;
    }

    FtpTestServer m_ftp;
    HttpsDropServer m_drop, m_untrusted;
    std::unique_ptr<QTemporaryDir> m_data;
};

QTEST_GUILESS_MAIN(TestPortalUpload)
#include "tst_portalupload.moc"
