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
QStringList linesOf(const QString &path) { return QString::fromUtf8(TestEnv::readFile(path)).split('\n', Qt::SkipEmptyParts); }
const QString kStamp = QStringLiteral("^\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d ");
} // namespace

class TestLogRotate : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::initApp(); }
    void init()
    {
        m_data.reset(TestEnv::freshDataFolder());
        m_logs = AppContext::logsFolder;
        // the file number lives in the user settings, which outlive a test case
        AppContext::userSettings()->remove("diag");
    }
    void cleanup()
    {
        installLogHandler(nullptr);
        AppContext::releaseSettings();
    }

    // Every level in the same line form, day/month and a 24-hour clock; the
    // "QMetaProperty::read" noise at the start of a message is dropped.
    void lineFormatAndDroppedLines()
    {
        LogRotate log(102400, m_logs, "diag", 2);
        installLogHandler(&log);
        for (QtMsgType type : {QtDebugMsg, QtInfoMsg, QtWarningMsg, QtCriticalMsg})
            latticaMessageHandler(type, QMessageLogContext(), "file not found: a/b.csv");
        qWarning("QMetaProperty::read: Unable to handle unregistered datatype");
        qWarning("note: QMetaProperty::read elsewhere in the text is kept");
        qDebug("qmetaproperty::read is case-sensitive");
        installLogHandler(nullptr);
        const QStringList lines = linesOf(m_logs + "/diag1.txt");
        QCOMPARE(lines.size(), 6);
        const QStringList levels{"Debug", "Info", "Warning", "Critical"};
        for (int i = 0; i < levels.size(); ++i)
            QVERIFY2(QRegularExpression(kStamp + levels.at(i) + ": file not found: a/b.csv$").match(lines.at(i)).hasMatch(), qPrintable(lines.at(i)));
        const QDate today = QDate::currentDate();
        QVERIFY(lines.first().startsWith(today.toString("dd/MM")) || lines.first().startsWith(today.addDays(-1).toString("dd/MM")));
        QVERIFY(lines.first().mid(6, 2).toInt() < 24);
        QVERIFY(lines.at(4).endsWith("Warning: note: QMetaProperty::read elsewhere in the text is kept"));
        QVERIFY(lines.at(5).endsWith("Debug: qmetaproperty::read is case-sensitive"));
    }

    void rotatesOneTwoOne()
    {
        // Every line is 70 bytes: "dd/MM hh:mm:ss.zzz" + " Debug: " + "NN " + 40 x + "\n".
        // With a 200-byte limit the check before the 4th line (210 > 200) rotates.
        auto lines = [](int from, int to) { for (int i = from; i < to; ++i) qDebug("%02d %s", i, qPrintable(QString(40, 'x'))); };
        QVERIFY(TestEnv::writeFile(m_logs + "/diag2.txt", "old content of file two\n"));
        LogRotate log(200, m_logs, "diag", 2);
        installLogHandler(&log);
        lines(0, 3);
        QCOMPARE(linesOf(m_logs + "/diag1.txt").size(), 3);     // passes the limit by one line
        QCOMPARE(TestEnv::readFile(m_logs + "/diag2.txt"), QByteArray("old content of file two\n"));
        lines(3, 4);
        QCOMPARE(AppContext::setting("diag").toInt(), 2);
        const QStringList two = linesOf(m_logs + "/diag2.txt");  // truncated, then written
        QVERIFY(two.size() == 1 && two.first().contains("Debug: 03 x"));
        lines(4, 7);
        QCOMPARE(AppContext::setting("diag").toInt(), 1);
        const QStringList one = linesOf(m_logs + "/diag1.txt");
        QVERIFY(one.size() == 1 && one.first().contains("Debug: 06 x"));
        QCOMPARE(linesOf(m_logs + "/diag2.txt").size(), 3);
    }

    void appendsAfterRestart()
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
        QVERIFY(lines.at(0).endsWith("before restart") && lines.at(1).endsWith("Info: after restart"));
        QVERIFY(!QFile::exists(m_logs + "/diag1.txt"));
    }

    void concurrentWritersKeepLinesWhole()
    {
        LogRotate log(1 << 20, m_logs, "diag", 2);
        installLogHandler(&log);
        std::vector<std::unique_ptr<QThread>> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back(QThread::create([t] { for (int i = 0; i < 200; ++i) qDebug("thread %d line %d end", t, i); }));
            threads.back()->start();
        }
        for (auto &th : threads)
            QVERIFY(th->wait(20000));
        installLogHandler(nullptr);
        const QStringList lines = linesOf(m_logs + "/diag1.txt");
        QCOMPARE(lines.size(), 4 * 200);
        const QRegularExpression re(kStamp + "Debug: thread \\d line \\d+ end$");
        for (const QString &l : lines)
            QVERIFY2(re.match(l).hasMatch(), qPrintable(l));
    }

private:
    QScopedPointer<QTemporaryDir> m_data;
    QString m_logs;
};

QTEST_GUILESS_MAIN(TestLogRotate)
#include "tst_logrotate.moc"
