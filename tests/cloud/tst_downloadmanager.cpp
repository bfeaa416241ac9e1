// The installer download against a local https server of the tests
// (downloadserver.py): only a whole file matching its published digest,
// fetched over https, reaches the launcher.
#include "cloud/downloadbudget.h"
#include "cloud/downloadmanager.h"
#include "cloudfixture.h"
#include "downloadserver.h"
#include "suppliertestservers.h"

#include <QCryptographicHash>
#include <QStandardPaths>

namespace {
QByteArray wholeFile() { return DownloadServer::wholeFile(); }

QString downloads() { return QStandardPaths::writableLocation(QStandardPaths::DownloadLocation); }
} // namespace

class TestDownloadManager : public QObject
{
    Q_OBJECT
    DownloadServer m_server;
    std::unique_ptr<QTemporaryDir> m_data;

    // Runs the queue to its end; returns what the launcher was asked to start.
    QStringList run(DownloadManager &dm, const QStringList &paths, QStringList *errors = nullptr)
    {
        QStringList launched;
        dm.setLauncher([&launched](const QString &path, QString *) { return launched << path, true; });
        dm.setTimeoutMs(1500);
        dm.setShutdownDelayMs(0);
        QSignalSpy finished(&dm, &DownloadManager::finished), shutdown(&dm, &DownloadManager::shutdown),
            error(&dm, &DownloadManager::errorMessage);
        for (const QString &p : paths)
            dm.append(p.startsWith("http:") ? QUrl(p.arg(m_server.port())) : m_server.https(p));
        [&] { QTRY_VERIFY_WITH_TIMEOUT(finished.size() + shutdown.size() == 1, 15000); }();
        if (errors)
            for (const QList<QVariant> &e : error)
                *errors << e.at(0).toString();
        return launched;
    }

private slots:
    void initTestCase()
    {
        TestEnv::initApp();
        m_data.reset(TestEnv::freshDataFolder());
        QVERIFY2(m_server.start(), qPrintable(m_server.error()));
    }
    void init() { QDir(downloads()).removeRecursively(); }

    void onlyWholeFileIsStarted_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("digest");
        QTest::addColumn<QString>("error"); // "" = started
        const QString good = QCryptographicHash::hash(wholeFile(), QCryptographicHash::Sha256).toHex();
        QTest::newRow("whole, digest matches") << "/files/setup.bin" << good.toUpper() << "";
        QTest::newRow("whole, no digest published") << "/files/setup.bin" << "" << "no checksum is published";
        QTest::newRow("plain http") << "http://127.0.0.1:%1/files/setup.bin" << good << "its address is not https";
        QTest::newRow("whole, other digest") << "/files/setup.bin" << QString(64, 'a') << "does not match its published checksum";
        QTest::newRow("shorter than its length") << "/short/setup.bin" << good << "Download failed: ";
        QTest::newRow("cut off without length") << "/cut/setup.bin" << good << "does not match its published checksum";
        QTest::newRow("error page with 200") << "/page/setup.bin" << good << "does not match its published checksum";
        QTest::newRow("302") << "/moved/setup.bin" << good << "redirected";
        QTest::newRow("404") << "/missing/setup.bin" << good << "ContentNotFoundError";
        QTest::newRow("stalled") << "/stall/setup.bin" << good << "Download timed out";
    }
    void onlyWholeFileIsStarted()
    {
        QFETCH(QString, path);
        QFETCH(QString, digest);
        QFETCH(QString, error);
        AppContext::userSettings()->setValue("installsha256_s", digest);
        DownloadManager dm;
        QSignalSpy prog(&dm, &DownloadManager::progChanged);
        QStringList errors;
        const QStringList launched = run(dm, {path}, &errors);
        const QString saved = downloads() + "/setup.bin";
        if (error.isEmpty()) {
            QCOMPARE(launched, QStringList{saved});
            QCOMPARE(TestEnv::readFile(saved), wholeFile());
            QVERIFY(errors.isEmpty() && prog.size() > 1 && dm.prog() == 1.0);
            QCOMPARE(dm.rate(), QString("100%"));
        } else {
            QVERIFY(launched.isEmpty() && !QFile::exists(saved));
            QVERIFY2(errors.size() == 1 && errors.first().contains(error), qPrintable(errors.join('|')));
        }
    }

    // a file that goes on past any installer's size is cut, not started
    void pastBudgetIsCut()
    {
        AppContext::userSettings()->setValue("installsha256_s", QCryptographicHash::hash(wholeFile(), QCryptographicHash::Sha256).toHex());
        DownloadBudget::setLimit(DownloadBudget::Archive, 150000);
        DownloadManager dm;
        QStringList errors;
        const QStringList launched = run(dm, {"/files/setup.bin"}, &errors);
        DownloadBudget::setLimit(DownloadBudget::Archive, 0);
        QVERIFY(launched.isEmpty() && !QFile::exists(downloads() + "/setup.bin"));
        QCOMPARE(errors, QStringList{"Download failed: the file is larger than any installer"});
    }

    void saveNames()
    {
        AppContext::userSettings()->setValue("installsha256_s", QCryptographicHash::hash(wholeFile(), QCryptographicHash::Sha256).toHex());
        DownloadManager dm;
        QStringList errors;
        // the launcher gets the last file of the queue
        QCOMPARE(run(dm, {"/files/setup.exe", "/files/setup.exe", "/files/..%2F..%2Fevil", "/files/", "/files/"}, &errors),
                 QStringList{downloads() + "/download.1"});
        QCOMPARE(QDir(downloads()).entryList(QDir::Files), QStringList({"download", "download.1", "setup(1).exe", "setup.exe"}));
        QCOMPARE(errors, QStringList{"Refused to save a file named ../../evil"});
        QCOMPARE(dm.completedCount(), 4);
    }

    void linuxLauncher_data()
    {
        QTest::addColumn<QString>("command");   // "SCRIPT" stands for a script that lists its arguments
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("started");
        QTest::addColumn<QString>("result");    // the message, or the arguments the script got
        // without a command the file is only reported; a package with how to install it
        QTest::newRow("no command") << "" << "/tmp/setup.bin" << false
                                    << "The new version was saved to /tmp/setup.bin";
        QTest::newRow("no command, .deb")
            << "" << "/tmp/lattica_1.8.0_amd64.deb" << false
            << "The new version was saved to /tmp/lattica_1.8.0_amd64.deb. Install it with: sudo apt install "
               "/tmp/lattica_1.8.0_amd64.deb";
        // with one, it is started with the file, after the command's own arguments
        QTest::newRow("command") << "SCRIPT" << "/tmp/setup.bin" << true << "/tmp/setup.bin\n";
        QTest::newRow("command with arguments")
            << "SCRIPT --local-filename \"two words\"" << "/tmp/lattica_1.8.0_amd64.deb" << true
            << "--local-filename\ntwo words\n/tmp/lattica_1.8.0_amd64.deb\n";
        QTest::newRow("missing program") << "/nonexistent/installer --quiet" << "/tmp/x.deb" << false
                                         << "Failed to start /nonexistent/installer --quiet";
    }

    void linuxLauncher()
    {
        QFETCH(QString, command);
        QFETCH(QString, file);
        QFETCH(bool, started);
        QFETCH(QString, result);
        const QString script = m_data->path() + "/install.sh", marker = m_data->path() + "/started";
        TestEnv::writeFile(script, "#!/bin/sh\nprintf '%s\\n' \"$@\" > " + marker.toUtf8() + "\n");
        QFile(script).setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        QFile::remove(marker);
        command.replace("SCRIPT", script);
        if (command.isEmpty())
            AppContext::userSettings()->remove("installCmd_s");
        else
            AppContext::userSettings()->setValue("installCmd_s", command);
        QString message;
        QCOMPARE(DownloadManager::defaultLauncher(file, &message), started);
        if (started)
            QTRY_COMPARE(QString::fromUtf8(TestEnv::readFile(marker)), result);
        else
            QCOMPARE(message, result);
        AppContext::userSettings()->remove("installCmd_s");
    }
};

QTEST_GUILESS_MAIN(TestDownloadManager)
#include "tst_downloadmanager.moc"
