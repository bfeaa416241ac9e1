// Order files moving between the state folders, backups, order identities
// and importing files from outside.

#include "app/appcontext.h"
#include "app/appsettings.h"
#include "orders/fileutils.h"
#include "orders/vexaorder.h"
#include "testenv.h"

#include <QtTest>

static const QByteArray kOrder = "{\"custAddr\":\"Mrs C Green\\n4 Park Road\\nLeeds\","
                                 "\"items\":[{\"extras_price\":\"0.00\",\"item_price\":\"0.00\",\"options\":[],\"room\":\"Hall\"}],"
                                 "\"orderID\":\"T1\"}";

static QString pathIn(int state, const QString &id) { return AppContext::stateFolder(state) + id; }

static QStringList filesBelow(const QString &folder)
{
    QStringList files;
    for (QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();)
        files << it.next();
    return files;
}

static void setAll(const QVariantMap &settings)
{
    for (auto it = settings.begin(); it != settings.end(); ++it)
        AppContext::userSettings()->setValue(it.key(), it.value());
}

class TestOrderFolders : public QObject
{
    Q_OBJECT
    QScopedPointer<QTemporaryDir> m_data;

private slots:
    void initTestCase() { TestEnv::initApp(); }

    void init()
    {
        m_data.reset(TestEnv::freshDataFolder());
        for (const char *key : {"ordnum", "ordpre", "orderpost", "doy", "orderSeq", "device_n", "userID_s", "userName_s"})
            AppContext::userSettings()->remove(QLatin1String(key));
    }

    void transitions_data()
    {
        QTest::addColumn<QString>("op");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to"); // -1: the order is deleted
        using O = VexaOrder;
        QTest::newRow("save in progress") << "save0" << int(O::ForPosting) << int(O::InProgress);
        QTest::newRow("complete") << "save1" << int(O::InProgress) << int(O::ForPosting);
        QTest::newRow("send again") << "save2" << int(O::Posted) << int(O::ForPosting);
        QTest::newRow("mark as sent") << "sent" << int(O::ForPosting) << int(O::Posted);
        QTest::newRow("open received") << "load" << int(O::Received) << int(O::InProgress);
        QTest::newRow("open sent") << "load" << int(O::Posted) << int(O::InProgress);
        QTest::newRow("open transfer") << "load" << int(O::ForTransfer) << int(O::InProgress);
        QTest::newRow("transfer to other") << "Sue" << int(O::InProgress) << int(O::ForTransfer);
        QTest::newRow("transfer to self") << "Me" << int(O::InProgress) << int(O::Received);
        QTest::newRow("delete") << "delete" << int(O::Posted) << -1;
    }

    // Each move leaves a backup: the original file, or for a transfer the file
    // as sent on.
    void transitions()
    {
        QFETCH(QString, op);
        QFETCH(int, from);
        QFETCH(int, to);
        QVERIFY(TestEnv::writeFile(pathIn(from, "T1"), kOrder));
        setAll({{"userID_s", "17"}, {"userName_s", "Me"}, {"users", QStringList{"Bob", "Sue"}}, {"uidList", QStringList{"21", "22"}}});
        VexaOrder order;
        order.readJson(QJsonDocument::fromJson(kOrder).object());
        order.set_changed(true);
        const bool ok = op.startsWith("save") ? order.saveOrder(op.right(1).toInt())
                        : op == "sent"        ? order.markAsSent("T1")
                        : op == "load"        ? order.loadOrder("T1", VexaOrder::OrderState(from), true)
                        : op == "delete"      ? order.deleteOrder("T1", VexaOrder::OrderState(from))
                                              : order.xferOrderTo(op);
        QVERIFY(ok && AppContext::lastFileError.isEmpty() && !QFile::exists(pathIn(from, "T1")));
        const QJsonObject moved = QJsonDocument::fromJson(to >= 0 ? TestEnv::readFile(pathIn(to, "T1")) : "").object();
        QCOMPARE(moved.value("custAddr").toString(), to < 0 ? QString() : QStringLiteral("Mrs C Green\n4 Park Road\nLeeds"));
        const bool xfer = op == "Sue" || op == "Me";
        QCOMPARE(TestEnv::readFile(pathIn(VexaOrder::Backup, "T1-b")), xfer ? TestEnv::readFile(pathIn(to, "T1")) : kOrder);
        if (op == "save1" || op == "save2")
            QCOMPARE(order.orderState(), to);
        QVERIFY(op != "Sue" || moved.value("xto").toString() + order.xfrom == "2217");
    }

    void failedMoveKeepsSource()
    {
        // Completing an order whose in-progress file is missing fails, says
        // why and keeps the edits.
        VexaOrder order;
        order.readJson(QJsonDocument::fromJson(kOrder).object());
        order.set_changed(true);
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("src does not exist")));
        QVERIFY(!order.saveOrder(1) && order.changed());

        QVERIFY(TestEnv::writeFile(pathIn(VexaOrder::ForPosting, "T1"), kOrder));
        QVERIFY(QDir(AppContext::stateFolder(VexaOrder::Posted)).removeRecursively());
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("Failed to rename")));
        QVERIFY(!order.markAsSent("T1") && AppContext::lastFileError.startsWith(QStringLiteral("Failed to rename")));
        QCOMPARE(TestEnv::readFile(pathIn(VexaOrder::ForPosting, "T1")), kOrder);

        // Opening a sent order over an in-progress copy of the same ID keeps
        // the in-progress edits beside the backup.
        QVERIFY(TestEnv::writeFile(pathIn(VexaOrder::Posted, "T1"), kOrder));
        QVERIFY(TestEnv::writeFile(pathIn(VexaOrder::InProgress, "T1"), "in-progress edits"));
        QVERIFY(order.loadOrder("T1", VexaOrder::Posted, true));
        QCOMPARE(TestEnv::readFile(pathIn(VexaOrder::Backup, "T1-b.replaced")), QByteArray("in-progress edits"));

        // A folder in the way is not removed, nor is the source.
        const QString src = m_data->path() + QStringLiteral("/src-order"), dst = m_data->path() + QStringLiteral("/dst");
        QVERIFY(TestEnv::writeFile(src, kOrder) && TestEnv::writeFile(dst + QStringLiteral("/inside"), "x"));
        QVERIFY(!moveFile(src, dst, false));
        QVERIFY(TestEnv::readFile(src) == kOrder && QFile::exists(dst + QStringLiteral("/inside")));
    }

    // "ordnum" numbering, else date-device-user-sequence; "@" stands for
    // today's stem, and a number already used in any state folder is skipped.
    void numbering_data()
    {
        QTest::addColumn<QVariantMap>("settings");
        QTest::addColumn<QStringList>("existing"); // "state:ID"
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("after"); // the number stored for next time
        const QVariantMap q{{"ordnum", "1000"}, {"ordpre", "Q"}};
        const int today = QDate::currentDate().dayOfYear();
        const QVariantMap dev{{"device_n", "2"}, {"userID_s", "17"}, {"doy", today}, {"orderSeq", 2}};
        auto with = [&dev](const QString &key, const QVariant &value) { QVariantMap m = dev; m.insert(key, value); return m; };
        QTest::newRow("first") << q << QStringList() << "Q1000" << "ordnum=1001";
        QTest::newRow("taken in sent") << q << QStringList{"4:Q1000"} << "Q1001" << "ordnum=1002";
        QTest::newRow("suffix") << QVariantMap{{"ordnum", "41"}, {"orderpost", "-S"}} << QStringList{"3:41-S"} << "42-S" << "ordnum=43";
        QTest::newRow("third of the day") << dev << QStringList() << "@3" << "orderSeq=3";
        QTest::newRow("new day") << with("doy", today % 366 + 1) << QStringList() << "@1" << "orderSeq=1";
        QTest::newRow("seq taken") << dev << QStringList{"5:@3", "4:@4"} << "@5" << "orderSeq=5";
        QTest::newRow("ordnum not a number") << with("ordnum", "12a") << QStringList() << "@3" << "orderSeq=3";
    }

    void numbering()
    {
        QFETCH(QVariantMap, settings);
        QFETCH(QStringList, existing);
        QFETCH(QString, expected);
        QFETCH(QString, after);
        const QString stem = QDate::currentDate().toString(QStringLiteral("yyMMdd")) + QStringLiteral("-217-");
        setAll(settings);
        for (const QString &e : existing)
            QVERIFY(TestEnv::writeFile(pathIn(e.section(':', 0, 0).toInt(), e.section(':', 1).replace("@", stem)), kOrder));
        VexaOrder order;
        order.newOrder();
        QCOMPARE(order.orderID(), QString(expected).replace("@", stem));
        QCOMPARE(AppContext::userSettings()->value(after.section('=', 0, 0)).toString(), after.section('=', 1));
        if (expected.startsWith("@"))
            QCOMPARE(AppContext::userSettings()->value("doy").toInt(), QDate::currentDate().dayOfYear());
    }

    void uuidOrderRenumberedOnOpen()
    {
        const QString uuid = QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e");
        QVERIFY(TestEnv::writeFile(pathIn(VexaOrder::Posted, uuid), kOrder));
        setAll({{"ordnum", "500"}, {"ordpre", "R"}});
        VexaOrder order;
        QVERIFY(order.loadOrder(uuid, VexaOrder::Posted, true));
        QCOMPARE(order.orderID() + ' ' + order.otid, "R500 " + uuid);
        QVERIFY(QFile::exists(pathIn(VexaOrder::InProgress, QStringLiteral("R500"))) && !QFile::exists(pathIn(VexaOrder::Posted, uuid)));
    }

    void import_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("existsIn"); // state folder already holding T1, or -1
        QTest::addColumn<QString>("logged"); // the refusal, or empty when accepted
        const auto id = [](const QByteArray &json) { return QByteArray(kOrder).replace("\"T1\"", json); };
        QTest::newRow("new") << kOrder << -1 << "";
        QTest::newRow("exists") << kOrder << int(VexaOrder::Posted) << "";
        QTest::newRow("under 100 bytes") << QByteArray("{\"orderID\":\"T1\"}") << -1 << "^Invalid import order file, too small";
        QTest::newRow("orderID a number") << id("1234") << -1 << "^Failed to read orderID";
        for (const char *unsafe : {"\"../evil\"", "\"a/b\"", "\"..\"", "\".\"", "\"x\\\\..\\\\y\"", "\"tab\\there\""})
            QTest::newRow(unsafe) << id(unsafe) << -1 << "cannot be used";
        // names no list or queue would handle
        QTest::newRow("hidden") << id("\".T1\"") << -1 << "the order ID \".T1\" cannot be used \\(it begins with \"\\.\"\\)";
        QTest::newRow("ends in .xml") << id("\"T1.XML\"") << -1 << "cannot be used \\(it ends in \"\\.xml\"\\)";
    }

    // A file from outside is copied into progress and opened; an existing ID
    // is reported with its list; anything else is refused and nothing written.
    void import()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, existsIn);
        QFETCH(QString, logged);
        const QString outside = m_data->path() + QStringLiteral("/Downloads/T1.json");
        QVERIFY(TestEnv::writeFile(outside, content) && (existsIn < 0 || TestEnv::writeFile(pathIn(existsIn, "T1"), "older")));
        VexaOrder order;
        const QStringList before = filesBelow(m_data->path());
        QSignalSpy opened(&order, &VexaOrder::openOrder);
        QSignalSpy exists(&order, &VexaOrder::openOrderExist);
        if (!logged.isEmpty())
            QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(logged));
        order.incomingOrderFile(QUrl::fromLocalFile(outside).toString());
        const bool accepted = logged.isEmpty() && existsIn < 0;
        QCOMPARE(opened.count(), accepted ? 1 : 0);
        QCOMPARE(exists.count(), existsIn >= 0 ? 1 : 0);
        if (existsIn >= 0)
            QCOMPARE(exists.at(0), (QVariantList{"T1", outside, existsIn, "This order for customer: <b>Mrs C Green</b><br> "
                                                                          "already exists in your <b>Sent</b> list"}));
        QCOMPARE(filesBelow(m_data->path()) == before, !accepted); // nothing written when refused
        if (!accepted)
            return;
        QCOMPARE(TestEnv::readFile(pathIn(VexaOrder::InProgress, "T1")), kOrder);
        QVERIFY(QFile::remove(pathIn(VexaOrder::InProgress, "T1")) && QFile::exists(outside));
        order.receivedMessage(3, outside.toUtf8()); // the path handed over by a second start of the program
        QVERIFY(opened.count() == 2 && QFile::exists(pathIn(VexaOrder::InProgress, "T1")));
    }

    void unsafeIdsNeverNameFiles()
    {
        const QString secret = m_data->path() + QStringLiteral("/secret");
        QVERIFY(TestEnv::writeFile(secret, "precious"));
        VexaOrder order;
        for (int i = 0; i < 3; ++i)
            QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("unsafe order ID")));
        QVERIFY(!order.deleteOrder(QStringLiteral("../secret"), VexaOrder::InProgress));
        QVERIFY(!order.loadOrder(QStringLiteral("../secret"), VexaOrder::InProgress, true));
        order.set_orderID(QStringLiteral("../secret"));
        order.set_changed(true);
        QVERIFY(!order.saveOrder(0));
        QCOMPARE(TestEnv::readFile(secret), QByteArray("precious"));
        order.set_orderID(QString()); // no ID: nothing to name the file after
        QVERIFY(!order.saveOrder(0));
    }
};

QTEST_GUILESS_MAIN(TestOrderFolders)
#include "tst_orderfolders.moc"
