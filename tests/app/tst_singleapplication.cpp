// One running copy per user: later starts hand their message to the first
// copy and exit; malformed connections are dropped; a crashed first copy
// does not lock the program out.
#include "app/singleapplication.h"

#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <thread>

namespace {
void setNames()
{
    // a name of its own so parallel test programs never share the block
    QCoreApplication::setOrganizationName("Vexa");
    QCoreApplication::setOrganizationDomain("lattica.app");
    QCoreApplication::setApplicationName("LtaSingleInstanceTest");
}

const uint kOptions = SingleApplication::User | SingleApplication::ExcludeAppPath;

// Child process roles, chosen by the first argument.
int runChild(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    setNames();
    const QString role = QString::fromLocal8Bit(argv[1]);
    SingleApplication single(true, kOptions, 1000);
    if (role == "--child-send") {
        if (!single.isSecondary()) {
            std::printf("primary\n");
            return 3;
        }
        const QByteArray msg = argc > 2 ? QByteArray(argv[2]) : QByteArray();
        const bool sent = single.sendMessage(msg, 1000);
        std::printf("secondary %u %s\n", single.instanceId(), sent ? "sent" : "unsent");
        return 0;
    }
    if (role == "--child-primary") {
        std::printf("%s\n", single.isSecondary() ? "secondary" : "primary");
        std::fflush(stdout);
        return app.exec();   // until killed
    }
    return 2;
}
} // namespace

class TestSingleApplication : public QObject
{
    Q_OBJECT
private slots:
    void init() { setNames(); }

    void secondaryHandsOverItsArgument_data();
    void secondaryHandsOverItsArgument();
    void malformedPreambleIsDropped_data();
    void malformedPreambleIsDropped();
    void crashedPrimaryIsReplaced();

private:
    QProcess *startChild(const QStringList &args);
};

QProcess *TestSingleApplication::startChild(const QStringList &args)
{
    auto *p = new QProcess(this);
    p->setProgram(QCoreApplication::applicationFilePath());
    p->setArguments(args);
    p->start();
    return p;
}

void TestSingleApplication::secondaryHandsOverItsArgument_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("order file path") << QByteArray("/home/sam/Orders/incoming/AB-1042.json");
    QTest::newRow("utf-8 path") << QString("/tmp/Müller order.json").toUtf8();
    QTest::newRow("one byte") << QByteArray("x");
    QTest::newRow("no argument") << QByteArray();
}

void TestSingleApplication::secondaryHandsOverItsArgument()
{
    QFETCH(QByteArray, message);
    SingleApplication primary(true, kOptions, 100);
    QVERIFY(primary.isPrimary());
    QSignalSpy received(&primary, &SingleApplication::receivedMessage);
    QSignalSpy started(&primary, &SingleApplication::instanceStarted);

    QStringList args{"--child-send"};
    if (!message.isEmpty())
        args << QString::fromUtf8(message);
    QProcess *child = startChild(args);
    QTRY_VERIFY_WITH_TIMEOUT(child->state() == QProcess::NotRunning, 10000);
    QCOMPARE(child->exitCode(), 0);
    const QByteArray out = child->readAllStandardOutput();
    QVERIFY2(out.startsWith("secondary "), out.constData());
    QVERIFY(out.contains(" sent"));

    if (message.isEmpty()) {
        QTest::qWait(200);
        QCOMPARE(received.count(), 0);     // an empty message transmits nothing
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(!received.isEmpty(), 5000);
        QByteArray whole;
        for (const auto &call : qAsConst(received))
            whole += call.at(1).toByteArray();
        QCOMPARE(whole, message);
        QVERIFY(received.first().at(0).toUInt() >= 1);   // the secondary's number
    }
    QCOMPARE(started.count(), 0);          // secondaries are not announced (option 4 off)
}

void TestSingleApplication::malformedPreambleIsDropped_data()
{
    QTest::addColumn<int>("damage");   // 0 intact, 1 checksum, 2 type, 3 name
    QTest::newRow("intact N") << 0;
    QTest::newRow("bad checksum") << 1;
    QTest::newRow("unknown type") << 2;
    QTest::newRow("wrong name") << 3;
}

void TestSingleApplication::malformedPreambleIsDropped()
{
    QFETCH(int, damage);
    SingleApplication primary(true, kOptions, 100);
    QSignalSpy received(&primary, &SingleApplication::receivedMessage);
    QSignalSpy started(&primary, &SingleApplication::instanceStarted);

    QString name = primary.blockServerName();
    char type = 'N';
    if (damage == 2)
        type = 'X';
    if (damage == 3)
        name[0] = name[0] == 'A' ? 'B' : 'A';
    QByteArray preamble = SingleApplication::connectionMessage(name, type, 5);
    if (damage == 1)
        preamble[preamble.size() - 1] = char(preamble.at(preamble.size() - 1) ^ 0x01);

    // connect from a thread of our own so the primary's blocking read can run
    std::thread client([&] {
        QLocalSocket s;
        s.connectToServer(primary.blockServerName());
        if (s.waitForConnected(2000)) {
            s.write(preamble + "payload");
            s.waitForBytesWritten(2000);
            s.waitForDisconnected(500);
        }
    });
    QTest::qWait(800);
    client.join();
    QTest::qWait(100);

    if (damage == 0) {
        QCOMPARE(started.count(), 1);
        QVERIFY(!received.isEmpty());
        QCOMPARE(received.first().at(0).toUInt(), 5u);
        QCOMPARE(received.first().at(1).toByteArray(), QByteArray("payload"));
    } else {
        QCOMPARE(started.count(), 0);
        QCOMPARE(received.count(), 0);
    }
}

void TestSingleApplication::crashedPrimaryIsReplaced()
{
    QProcess *child = startChild({"--child-primary"});
    QVERIFY(child->waitForReadyRead(10000));
    QCOMPARE(child->readLine().trimmed(), QByteArray("primary"));
    ::kill(pid_t(child->processId()), SIGKILL);
    QVERIFY(child->waitForFinished(5000));

    SingleApplication next(true, kOptions, 100);
    QVERIFY(next.isPrimary());

    // and a start after that is a secondary of the new primary
    QProcess *second = startChild({"--child-send", "/tmp/x.json"});
    QSignalSpy received(&next, &SingleApplication::receivedMessage);
    QTRY_VERIFY_WITH_TIMEOUT(second->state() == QProcess::NotRunning, 10000);
    QVERIFY(second->readAllStandardOutput().startsWith("secondary"));
    QTRY_VERIFY_WITH_TIMEOUT(!received.isEmpty(), 5000);
}

int main(int argc, char *argv[])
{
    if (argc > 1 && QByteArray(argv[1]).startsWith("--child-"))
        return runChild(argc, argv);
    QCoreApplication app(argc, argv);
    TestSingleApplication tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_singleapplication.moc"
