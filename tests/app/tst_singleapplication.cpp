// One running copy per user: later starts hand their message to the first
// copy and exit; malformed connections are dropped; a crashed first copy
// does not lock the program out.
#include "app/singleapplication.h"

#include <QLocalSocket>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <thread>

namespace {
// a name of its own so parallel test programs never share the block
void setNames() { QCoreApplication::setApplicationName("LtaSingleInstanceTest"); }

const uint kOptions = SingleApplication::User | SingleApplication::ExcludeAppPath;

// Child process roles, chosen by the first argument.
int runChild(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    setNames();
    SingleApplication single(true, kOptions, 1000);
    if (QByteArray(argv[1]) == "--child-send") {
        if (!single.isSecondary())
            return 3;
        const bool sent = single.sendMessage(argc > 2 ? QByteArray(argv[2]) : QByteArray(), 1000);
        std::printf("secondary %u %s\n", single.instanceId(), sent ? "sent" : "unsent");
        return 0;
    }
    std::printf("%s\n", single.isSecondary() ? "secondary" : "primary");   // --child-primary
    std::fflush(stdout);
    return app.exec();   // until killed
}

// Writes bytes to the primary from a thread of our own, so that the primary's
// blocking read can run, in pieces of chunk bytes; returns after waitMs.
void sendRaw(const QString &server, const QByteArray &bytes, int chunk, int waitMs)
{
    std::thread client([&] {
        QLocalSocket s;
        s.connectToServer(server);
        if (!s.waitForConnected(2000))
            return;
        for (int at = 0; at < bytes.size(); at += chunk) {
            s.write(bytes.mid(at, chunk));
            s.waitForBytesWritten(1000);
            if (chunk < bytes.size())
                QThread::msleep(60);
        }
        s.waitForDisconnected(500);
    });
    QTest::qWait(waitMs);
    client.join();
    QTest::qWait(100);
}
} // namespace

class TestSingleApplication : public QObject
{
    Q_OBJECT
private slots:
    void init() { setNames(); }

    void secondaryHandsOverItsArgument_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("utf-8 path") << QString("/tmp/Müller order.json").toUtf8();
        QTest::newRow("no argument") << QByteArray();
    }

    void secondaryHandsOverItsArgument()
    {
        QFETCH(QByteArray, message);
        SingleApplication primary(true, kOptions, 100);
        QSignalSpy received(&primary, &SingleApplication::receivedMessage);
        QSignalSpy started(&primary, &SingleApplication::instanceStarted);
        QProcess *child = startChild(QStringList{"--child-send"} + (message.isEmpty() ? QStringList() : QStringList{QString::fromUtf8(message)}));
        QTRY_VERIFY_WITH_TIMEOUT(child->state() == QProcess::NotRunning, 10000);
        const QByteArray out = child->readAllStandardOutput();
        QVERIFY2(child->exitCode() == 0 && out.startsWith("secondary ") && out.contains(" sent"), out.constData());
        // one whole message with the secondary's number; an empty one transmits nothing at all
        QTest::qWait(200);
        QTRY_COMPARE_WITH_TIMEOUT(received.size(), int(!message.isEmpty()), 5000);
        QVERIFY(message.isEmpty() || (received.first().at(1).toByteArray() == message && received.first().at(0).toUInt() >= 1));
        QCOMPARE(started.count(), 0);          // secondaries are not announced (option 4 off)
    }

    void malformedPreambleIsDropped_data()
    {
        QTest::addColumn<int>("damage");   // 0 intact, 1 checksum, 2 type, 3 name
        QTest::newRow("intact N") << 0;
        QTest::newRow("bad checksum") << 1;
        QTest::newRow("unknown type") << 2;
        QTest::newRow("wrong name") << 3;
    }

    void malformedPreambleIsDropped()
    {
        QFETCH(int, damage);
        SingleApplication primary(true, kOptions, 100);
        QSignalSpy received(&primary, &SingleApplication::receivedMessage);
        QSignalSpy started(&primary, &SingleApplication::instanceStarted);
        const QString name = (damage == 3 ? "x" : "") + primary.blockServerName();
        QByteArray preamble = SingleApplication::connectionMessage(name, damage == 2 ? 'X' : 'N', 5);
        if (damage == 1)
            preamble[preamble.size() - 1] = char(preamble.at(preamble.size() - 1) ^ 0x01);
        sendRaw(primary.blockServerName(), preamble + "payload", 1 << 20, 800);
        QCOMPARE(started.count(), int(damage == 0));
        QCOMPARE(received, (damage ? QList<QVariantList>() : QList<QVariantList>{{5u, QByteArray("payload")}}));
    }

    void messageInPiecesArrivesWhole()
    {
        SingleApplication primary(true, kOptions, 100);
        QSignalSpy received(&primary, &SingleApplication::receivedMessage);
        const QByteArray path = "/home/user/Orders/Smith, 12 Long Road.json";
        // the preamble too may arrive in pieces on a busy machine
        sendRaw(primary.blockServerName(), SingleApplication::connectionMessage(primary.blockServerName(), 'R', 3) + path, 10, 800);
        QTRY_VERIFY_WITH_TIMEOUT(!received.isEmpty(), 5000);
        QTest::qWait(100);
        QCOMPARE(received, (QList<QVariantList>{{3u, path}}));
    }

    void messageSizeIsBounded_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("delivered");
        QTest::newRow("at the bound") << SingleApplication::kMaxMessageSize << true;
        QTest::newRow("one byte past") << SingleApplication::kMaxMessageSize + 1 << false;
        QTest::newRow("megabytes") << 8 * 1024 * 1024 << false;
    }
    void messageSizeIsBounded()
    {
        QFETCH(int, size);
        QFETCH(bool, delivered);
        SingleApplication primary(true, kOptions, 100);
        QSignalSpy received(&primary, &SingleApplication::receivedMessage);
        const QByteArray message(size, 'm');
        sendRaw(primary.blockServerName(), SingleApplication::connectionMessage(primary.blockServerName(), 'R', 4) + message,
                256 * 1024, 1500);
        QTest::qWait(200);
        QCOMPARE(received.size(), int(delivered));
        if (delivered)
            QCOMPARE(received.first().at(1).toByteArray().size(), size);
    }

    void crashedPrimaryIsReplaced()
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
        QTRY_VERIFY_WITH_TIMEOUT(!received.isEmpty() && second->state() == QProcess::NotRunning, 10000);
        QVERIFY(second->readAllStandardOutput().startsWith("secondary"));
    }

private:
    QProcess *startChild(const QStringList &args)
    {
        auto *p = new QProcess(this);
        p->start(QCoreApplication::applicationFilePath(), args);
        return p;
    }
};

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
