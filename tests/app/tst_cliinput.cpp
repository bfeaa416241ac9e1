// Bad input at the command line: each case ends with a clear message and a
// non-zero exit, within a memory limit, and leaves everything outside the
// data folder as it was.
#include "testenv.h"

#include <QDirIterator>
#include <QProcess>
#include <QtTest>

namespace {

// Every file below root (but the data folder) with its size and content hash.
QStringList snapshot(const QString &root, const QString &skip)
{
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.startsWith(skip))
            continue;
        const QFileInfo info = it.fileInfo();
        out << path + ' ' + QString::number(info.isSymLink() ? -1 : info.size()) + ' '
                   + info.lastModified().toString(Qt::ISODateWithMs);
    }
    out.sort();
    return out;
}

} // namespace

class TestCliInput : public QObject
{
    Q_OBJECT
    QTemporaryDir m_root;   // holds the data folder and the inputs
    QString m_data, m_in;

private slots:
    void initTestCase()
    {
        TestEnv::initApp();
        m_data = m_root.path() + "/data";
        m_in = m_root.path() + "/inputs";
        for (const char *sub : {"/Orders/post", "/Orders/b", "/tmp", "/db"})
            QVERIFY(QDir().mkpath(m_data + sub));
        QVERIFY(TestEnv::writeFile(m_in + "/truncated.json", "{\"orderID\":\"T1\",\"items\":[{\"room\":\"Hall\",\"wid"));
        QVERIFY(TestEnv::writeFile(m_in + "/nested.json", QByteArray(100000, '[') + QByteArray(100000, ']')));
        QVERIFY(TestEnv::writeFile(m_in + "/nested-object.json", "{\"orderID\":\"N1\",\"items\":" + QByteArray(100000, '[')));
        QByteArray huge = "{\"orderID\":\"BIG\",\"items\":[";
        while (huge.size() < 50 * 1024 * 1024)
            huge += "{\"room\":\"Hall\",\"width\":600,\"drop\":900},";
        huge.chop(1);
        QVERIFY(TestEnv::writeFile(m_in + "/huge.json", huge + "]}"));
        QVERIFY(TestEnv::writeFile(m_in + "/latin1.json", "{\"orderID\":\"L\xe9on\xff\xfe\",\"custAddr\":\"Caf\xe9\"}"));
        QVERIFY(QDir().mkpath(m_in + "/folder.json"));
        // a catalogue whose link points at a file outside it
        QVERIFY(TestEnv::writeFile(m_root.path() + "/secret.txt", "not for the catalogue"));
        QVERIFY(TestEnv::writeFile(m_in + "/catalogue/Shutters/prod.ini", "measures=\n"));
        QVERIFY(QDir().mkpath(m_in + "/catalogue/Shutters/Prices"));
        QVERIFY(QFile::link(m_root.path() + "/secret.txt", m_in + "/catalogue/Shutters/Prices/leak.csv"));
        QVERIFY(QFile::link(m_root.path(), m_in + "/catalogue/Shutters/up"));
    }

    void refused_data()
    {
        QTest::addColumn<QStringList>("args");   // "@" stands for the inputs folder
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");   // found in standard error
        QTest::newRow("truncated json") << QStringList{"order", "show", "@/truncated.json"} << 1 << "cannot load order";
        QTest::newRow("nested 100000 deep") << QStringList{"price", "--save", "@/nested.json"} << 1 << "cannot read order";
        QTest::newRow("nested inside an order") << QStringList{"order", "show", "@/nested-object.json"} << 1 << "cannot load order";
        QTest::newRow("50 MB file") << QStringList{"price", "--save", "@/huge.json"} << 1 << "Order file too large";
        QTest::newRow("50 MB file shown") << QStringList{"order", "show", "@/huge.json"} << 1 << "Order file too large";
        QTest::newRow("not UTF-8") << QStringList{"order", "show", "@/latin1.json"} << 1 << "cannot load order";
        QTest::newRow("folder for a file") << QStringList{"price", "@/folder.json"} << 1 << "no order file or order ID";
        QTest::newRow("folder to show") << QStringList{"order", "show", "@/folder.json"} << 1 << "cannot load order";
        QTest::newRow("file for a catalogue") << QStringList{"catalogue", "install", "@/truncated.json"} << 2 << "usage";
        QTest::newRow("climbing ID") << QStringList{"price", "--save", "../secret.txt"} << 1 << "no order file or order ID";
        QTest::newRow("climbing ID shown") << QStringList{"order", "show", "../../secret.txt"} << 1 << "unsafe order ID";
        QTest::newRow("newline in ID") << QStringList{"order", "show", "A1\n../x"} << 1 << "unsafe order ID";
        QTest::newRow("control byte in ID") << QStringList{"price", "A1\x01"} << 1 << "no order file or order ID";
        QTest::newRow("catalogue link outside") << QStringList{"catalogue", "install", "@/catalogue"} << 1 << "skipped Shutters/Prices/leak.csv";
    }

    void refused()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        const QStringList before = snapshot(m_root.path(), m_data);
        args.replaceInStrings(QRegularExpression("^@"), m_in);
        args.insert(2, "--data");
        args.insert(3, m_data);
        // a child over 1 GB of address space fails its allocations
        QProcess cli;
        cli.start("/bin/sh", QStringList{"-c", "ulimit -v 1048576; exec \"$0\" \"$@\"", LTA_BINARY_DIR "/src/lattica-cli"} + args);
        QVERIFY2(cli.waitForFinished(60000), "no answer within a minute");
        const QString err = QString::fromUtf8(cli.readAllStandardError());
        QVERIFY2(cli.exitStatus() == QProcess::NormalExit && cli.exitCode() == exitCode,
                 qPrintable(QString::number(cli.exitCode()) + ": " + err.left(500)));
        QVERIFY2(err.contains(message), qPrintable(err.left(500)));
        QCOMPARE(snapshot(m_root.path(), m_data), before);
        // nothing of the outside file reached the data folder
        QDirIterator it(m_data, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext())
            QVERIFY2(TestEnv::readFile(it.next()) != "not for the catalogue", qPrintable(it.filePath()));
    }
};

QTEST_GUILESS_MAIN(TestCliInput)
#include "tst_cliinput.moc"
