// Two real starts of the application: the second hands its order file (given
// as a relative path) to the first and exits without touching the data
// folder; the first imports it.
#include "app/appcontext.h"
#include "testenv.h"

#include <QProcess>
#include <QtTest>
#include <memory>

class TestHandover : public QObject
{
    Q_OBJECT
private slots:
    void secondStartHandsOverItsFile()
    {
        TestEnv::initApp();
        std::unique_ptr<QTemporaryDir> data(TestEnv::freshDataFolder());
        const QString log = AppContext::logsFolder + "/diag1.txt";
        // both starts share a private temporary folder: the guard's block and
        // socket live there, away from any other copy on this machine
        QTemporaryDir tmp, elsewhere;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TMPDIR", tmp.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        const QString exe = QStringLiteral(LTA_BINARY_DIR "/src/lattica");

        QByteArray order = R"({"orderID":"HO-7001","custAddr":"Mrs Handover\n1 Relay Road","orderState":6,"items":[]})";
        order += QByteArray(200, ' ');
        QVERIFY(TestEnv::writeFile(elsewhere.path() + "/HO-7001.json", order));

        QProcess first;
        first.setProcessEnvironment(env);
        first.start(exe, {});
        QTRY_VERIFY_WITH_TIMEOUT(TestEnv::readFile(log).contains("sslLibraryBuildVersion"), 30000);

        // what the running copy stages in tmp/ (a save, the portal's file)
        const QString staged = AppContext::dataFolder + "/tmp/Shutter-staged.xml";
        QVERIFY(TestEnv::writeFile(staged, "<order/>"));

        QProcess second;
        second.setProcessEnvironment(env);
        second.setWorkingDirectory(elsewhere.path());
        second.start(exe, {"HO-7001.json"});
        QVERIFY(second.waitForFinished(30000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        // the second start touched nothing of the running copy's data folder
        QVERIFY(QFile::exists(staged));

        const QString imported = AppContext::stateFolder(2) + "HO-7001";
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(imported) || QFileInfo::exists(imported + ".json"), 10000);
        const QByteArray text = TestEnv::readFile(log);
        QVERIFY2(text.contains("Received message from instance: "), text.constData());
        QVERIFY(text.contains(QString(elsewhere.path() + "/HO-7001.json").toUtf8()));
        // the window took the opened order without a complaint
        QTest::qWait(500);
        for (const QByteArray &line : TestEnv::readFile(log).split('\n'))
            QVERIFY2(!(line.contains("qrc:/") && (line.contains(" Warning: ") || line.contains(" Critical: "))),
                     line.constData());
        QCOMPARE(first.state(), QProcess::Running);
        first.kill();
        first.waitForFinished(5000);
    }
};

QTEST_GUILESS_MAIN(TestHandover)
#include "tst_handover.moc"
