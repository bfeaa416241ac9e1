// The diagnostic log: line format, dropped messages, rotation between the two
// files with truncation, and appending after a restart.
#include "app/appcontext.h"
#include "app/appsettings.h"
#include "app/logrotate.h"
#include "testenv.h"

#include <QRegularExpression>
#include <QtTest>
#include <memory>

namespace {
QStringList linesOf(const QString &path)
{
    return QString::fromUtf8(TestEnv::readFile(path)).split('\n', Qt::SkipEmptyParts);
}
} // namespace

class TestLogRotate : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::initApp(); }
    void init();
    void cleanup();

    void lineFormat_data();
    void lineFormat();
    void metaPropertyReadDropped();
    void rotatesOneTwoOne();
    void appendsAfterRestart();
    void concurrentWritersKeepLinesWhole();

private:
    QScopedPointer<QTemporaryDir> m_data;
    QString m_logs;
};

void TestLogRotate::init()
{
    m_data.reset(TestEnv::freshDataFolder());
    m_logs = AppContext::logsFolder;
    // the file number lives in the user settings, which outlive a test case
    AppContext::userSettings()->remove("diag");
}

void TestLogRotate::cleanup()
{
    installLogHandler(nullptr);
    AppContext::releaseSettings();
}

void TestLogRotate::lineFormat_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("level");
    QTest::newRow("debug") << int(QtDebugMsg) << "Debug";
    QTest::newRow("info") << int(QtInfoMsg) << "Info";
    QTest::newRow("warning") << int(QtWarningMsg) << "Warning";
    QTest::newRow("critical") << int(QtCriticalMsg) << "Critical";
}

void TestLogRotate::lineFormat()
{
    QFETCH(int, type);
    QFETCH(QString, level);
    LogRotate log(102400, m_logs, "diag", 2);
    installLogHandler(&log);
    latticaMessageHandler(QtMsgType(type), QMessageLogContext(), "file not found: a/b.csv");
    installLogHandler(nullptr);

    const QStringList lines = linesOf(m_logs + "/diag1.txt");
    QCOMPARE(lines.size(), 1);
    const QRegularExpression re(QStringLiteral(
        "^(\\d\\d)/(\\d\\d) (\\d\\d):(\\d\\d):(\\d\\d)\\.(\\d\\d\\d) %1: file not found: a/b.csv$").arg(level));
    const auto m = re.match(lines.first());
    QVERIFY2(m.hasMatch(), qPrintable(lines.first()));
    // day/month order, 24-hour clock
    const QDate today = QDate::currentDate();
    QVERIFY(m.captured(1).toInt() == today.day() || m.captured(1).toInt() == today.addDays(-1).day());
    QVERIFY(m.captured(3).toInt() < 24);
}

void TestLogRotate::metaPropertyReadDropped()
{
    LogRotate log(102400, m_logs, "diag", 2);
    installLogHandler(&log);
    qWarning("QMetaProperty::read: Unable to handle unregistered datatype");
    qWarning("note: QMetaProperty::read elsewhere in the text is kept");
    qDebug("qmetaproperty::read is case-sensitive");
    installLogHandler(nullptr);
    const QStringList lines = linesOf(m_logs + "/diag1.txt");
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines.at(0).endsWith("Warning: note: QMetaProperty::read elsewhere in the text is kept"));
    QVERIFY(lines.at(1).endsWith("Debug: qmetaproperty::read is case-sensitive"));
}

void TestLogRotate::rotatesOneTwoOne()
{
    // Every line is 70 bytes: "dd/MM hh:mm:ss.zzz" + " Debug: " + "NN " + 40 x + "\n".
    // With a 200-byte limit the check before the 4th line (210 > 200) rotates.
    const QString pad(40, QLatin1Char('x'));
    auto line = [&pad](int i) { qDebug("%02d %s", i, qPrintable(pad)); };
    QVERIFY(TestEnv::writeFile(m_logs + "/diag2.txt", "old content of file two\n"));
    LogRotate log(200, m_logs, "diag", 2);
    installLogHandler(&log);

    for (int i = 0; i < 3; ++i)
        line(i);
    QCOMPARE(linesOf(m_logs + "/diag1.txt").size(), 3);     // passes the limit by one line
    QCOMPARE(AppContext::setting("diag", 1).toInt(), 1);
    QCOMPARE(TestEnv::readFile(m_logs + "/diag2.txt"), QByteArray("old content of file two\n"));

    line(3);
    QCOMPARE(AppContext::setting("diag").toInt(), 2);
    QStringList two = linesOf(m_logs + "/diag2.txt");
    QCOMPARE(two.size(), 1);                                 // truncated, then written
    QVERIFY(two.first().contains("Debug: 03 x"));
    QCOMPARE(linesOf(m_logs + "/diag1.txt").size(), 3);

    line(4);
    line(5);
    line(6);
    QCOMPARE(AppContext::setting("diag").toInt(), 1);
    const QStringList one = linesOf(m_logs + "/diag1.txt");
    QCOMPARE(one.size(), 1);
    QVERIFY(one.first().contains("Debug: 06 x"));
    QCOMPARE(linesOf(m_logs + "/diag2.txt").size(), 3);
    installLogHandler(nullptr);
}

void TestLogRotate::appendsAfterRestart()
{
    AppContext::userSettings()->setValue("diag", 2);
    QVERIFY(TestEnv::writeFile(m_logs + "/diag2.txt", "01/01 00:00:00.000 Debug: before restart\n"));
    {
        LogRotate log(102400, m_logs, "diag", 2);
        installLogHandler(&log);
        qInfo("after restart");
        installLogHandler(nullptr);
    }
    const QStringList lines = linesOf(m_logs + "/diag2.txt");
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines.at(0).endsWith("before restart"));
    QVERIFY(lines.at(1).endsWith("Info: after restart"));
    QVERIFY(!QFile::exists(m_logs + "/diag1.txt"));
}

void TestLogRotate::concurrentWritersKeepLinesWhole()
{
    LogRotate log(1 << 20, m_logs, "diag", 2);
    installLogHandler(&log);
    const int perThread = 200;
    std::vector<std::unique_ptr<QThread>> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back(QThread::create([t] {
            for (int i = 0; i < perThread; ++i)
                qDebug("thread %d line %d end", t, i);
        }));
        threads.back()->start();
    }
    for (auto &th : threads)
        QVERIFY(th->wait(20000));
    installLogHandler(nullptr);
    const QStringList lines = linesOf(m_logs + "/diag1.txt");
    QCOMPARE(lines.size(), 4 * perThread);
    const QRegularExpression re("^\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} Debug: thread \\d line \\d+ end$");
    for (const QString &l : lines)
        QVERIFY2(re.match(l).hasMatch(), qPrintable(l));
}

QTEST_GUILESS_MAIN(TestLogRotate)
#include "tst_logrotate.moc"
