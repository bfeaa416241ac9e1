// Order files moving between the state folders, backups, order identities
// and importing files from outside.

#include "app/appcontext.h"
#include "app/appsettings.h"
#include "orders/fileutils.h"
#include "orders/vexaorder.h"
#include "testenv.h"

#include <QDate>
#include <QDir>
#include <QDirIterator>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopedPointer>
#include <QSignalSpy>
#include <QtTest>

namespace {

const QByteArray kOrder = "{\"custAddr\":\"Mrs C Green\\n4 Park Road\\nLeeds\",\"date\":\"2026-11-30T12:00:00.000\","
                          "\"items\":[{\"extras_price\":\"0.00\",\"item_price\":\"0.00\",\"options\":[],\"room\":\"Hall\"}],"
                          "\"orderID\":\"T1\"}";

QString pathIn(int state, const QString &id)
{
    return AppContext::stateFolder(state) + id;
}

QStringList filesBelow(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    files.sort();
    return files;
}

void setAll(const QVariantMap &settings)
{
    for (auto it = settings.begin(); it != settings.end(); ++it)
        AppContext::userSettings()->setValue(it.key(), it.value());
}

} // namespace

class TestOrderFolders : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnv::initApp(); }

    void init()
    {
        m_data.reset(TestEnv::freshDataFolder());
        for (const char *key : {"ordnum", "ordpre", "orderpost", "doy", "orderSeq", "device_n", "userID_s", "userName_s",
                                "users", "uidList", "xfer", "imp"})
            AppContext::userSettings()->remove(QLatin1String(key));
    }

    void cleanup() { m_data.reset(); }

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
        QTest::newRow("open queued") << "load" << int(O::ForPosting) << int(O::InProgress);
        QTest::newRow("open sent") << "load" << int(O::Posted) << int(O::InProgress);
        QTest::newRow("open transfer") << "load" << int(O::ForTransfer) << int(O::InProgress);
        QTest::newRow("transfer to other") << "Sue" << int(O::InProgress) << int(O::ForTransfer);
        QTest::newRow("transfer to self") << "Me" << int(O::InProgress) << int(O::Received);
        QTest::newRow("delete in progress") << "delete" << int(O::InProgress) << -1;
        QTest::newRow("delete sent") << "delete" << int(O::Posted) << -1;
    }

    // Each move leaves a backup: the original file, or for a transfer the file
    // as sent on.
    void transitions()
    {
        QFETCH(QString, op);
        QFETCH(int, from);
        QFETCH(int, to);
        const QString id = QStringLiteral("T1");
        QVERIFY(TestEnv::writeFile(pathIn(from, id), kOrder));
        setAll({{"userID_s", "17"}, {"userName_s", "Me"}, {"users", QStringList{"Bob", "Sue"}},
                {"uidList", QStringList{"21", "22"}}});

        VexaOrder order;
        order.readJson(QJsonDocument::fromJson(kOrder).object());
        order.set_changed(true);
        const bool xfer = op == "Sue" || op == "Me";
        bool ok = false;
        if (op.startsWith("save"))
            ok = order.saveOrder(op.right(1).toInt());
        else if (op == "sent")
            ok = order.markAsSent(id);
        else if (op == "load")
            ok = order.loadOrder(id, VexaOrder::OrderState(from), true);
        else if (op == "delete")
            ok = order.deleteOrder(id, VexaOrder::OrderState(from));
        else
            ok = order.xferOrderTo(op);
        QVERIFY(ok);
        QVERIFY(AppContext::lastFileError.isEmpty());
        QVERIFY(!QFile::exists(pathIn(from, id)) || from == to);
        QVERIFY(order.otid.isEmpty()); // only a generated (uuid) ID is replaced
        const QJsonObject moved = QJsonDocument::fromJson(to >= 0 ? TestEnv::readFile(pathIn(to, id)) : "").object();
        if (to >= 0) {
            QCOMPARE(moved.value("orderID").toString(), id);
            QCOMPARE(moved.value("custAddr").toString(), QStringLiteral("Mrs C Green\n4 Park Road\nLeeds"));
        }
        const QByteArray backup = TestEnv::readFile(pathIn(VexaOrder::Backup, id + "-b"));
        QCOMPARE(backup, xfer ? TestEnv::readFile(pathIn(to, id)) : kOrder);
        if (op == "save1" || op == "save2")
            QCOMPARE(order.orderState(), int(VexaOrder::ForPosting));
        if (op == "Sue") {
            QCOMPARE(moved.value("xto").toString(), QStringLiteral("22"));
            QCOMPARE(order.xfrom, QStringLiteral("17"));
            QCOMPARE(AppContext::userSettings()->value("xfer").toString(), QStringLiteral("Sue"));
        }
    }

    void failedMoveKeepsSource()
    {
        const QString id = QStringLiteral("T1");
        QVERIFY(TestEnv::writeFile(pathIn(VexaOrder::ForPosting, id), kOrder));
        QVERIFY(QDir(AppContext::stateFolder(VexaOrder::Posted)).removeRecursively());
        VexaOrder order;
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("Failed to rename")));
        QVERIFY(!order.markAsSent(id));
        QVERIFY(AppContext::lastFileError.startsWith(QStringLiteral("Failed to rename")));
        QCOMPARE(TestEnv::readFile(pathIn(VexaOrder::ForPosting, id)), kOrder);
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("^posted: order not found")));
        QVERIFY(!order.markAsSent(QStringLiteral("T3")));

        // Completing an order whose in-progress file is missing fails and says why.
        order.readJson(QJsonDocument::fromJson(kOrder).object());
        order.set_orderID(QStringLiteral("T2"));
        order.set_changed(true);
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("src does not exist")));
        QVERIFY(!order.saveOrder(1));
        QVERIFY(AppContext::lastFileError.startsWith(QStringLiteral("Move: src does not exist")));
        QVERIFY(order.changed());

        // A folder in the way is not removed, nor is the source.
        const QString src = m_data->path() + QStringLiteral("/src-order"), dst = m_data->path() + QStringLiteral("/dst");
        QVERIFY(TestEnv::writeFile(src, kOrder));
        QVERIFY(TestEnv::writeFile(dst + QStringLiteral("/inside"), "x"));
        QVERIFY(!moveFile(src, dst, false));
        QVERIFY(AppContext::lastFileError.startsWith(QStringLiteral("Failed to remove")));
        QCOMPARE(TestEnv::readFile(src), kOrder);
    }

    // "ordnum" numbering, else date-device-user-sequence; "@" stands for
    // today's stem, and a number already used in any state folder is skipped.
    void numbering_data()
    {
        QTest::addColumn<QVariantMap>("settings");
        QTest::addColumn<QStringList>("existing"); // "state:ID"
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QVariantMap>("after");
        const int today = QDate::currentDate().dayOfYear(), otherDay = today % 366 + 1;
        QTest::newRow("first") << QVariantMap{{"ordnum", "1000"}, {"ordpre", "Q"}} << QStringList() << "Q1000"
                               << QVariantMap{{"ordnum", "1001"}};
        QTest::newRow("taken in sent") << QVariantMap{{"ordnum", "1000"}, {"ordpre", "Q"}} << QStringList{"4:Q1000"}
                                       << "Q1001" << QVariantMap{{"ordnum", "1002"}};
        QTest::newRow("taken twice") << QVariantMap{{"ordnum", "1000"}, {"ordpre", "Q"}}
                                     << QStringList{"5:Q1000", "1:Q1001"} << "Q1002" << QVariantMap{{"ordnum", "1003"}};
        QTest::newRow("other prefix") << QVariantMap{{"ordnum", "7"}, {"ordpre", "A"}} << QStringList{"2:Q7"} << "A7"
                                      << QVariantMap{{"ordnum", "8"}};
        QTest::newRow("suffix") << QVariantMap{{"ordnum", "41"}, {"orderpost", "-S"}} << QStringList{"3:41-S"} << "42-S"
                                << QVariantMap{{"ordnum", "43"}};
        const QVariantMap dev{{"device_n", "2"}, {"userID_s", "17"}, {"doy", today}, {"orderSeq", 2}};
        auto with = [&dev](const QString &key, const QVariant &value) { QVariantMap m = dev; m.insert(key, value); return m; };
        auto seq = [today](int n) { return QVariantMap{{"orderSeq", n}, {"doy", today}}; };
        QTest::newRow("third of the day") << dev << QStringList() << "@3" << seq(3);
        QTest::newRow("new day") << with("doy", otherDay) << QStringList() << "@1" << seq(1);
        QTest::newRow("seq taken") << dev << QStringList{"5:@3", "4:@4"} << "@5" << seq(5);
        QTest::newRow("ordnum not a number") << with("ordnum", "12a") << QStringList() << "@3" << seq(3);
        QTest::newRow("ordnum negative") << with("ordnum", "-5") << QStringList() << "@3" << seq(3);
    }

    void numbering()
    {
        QFETCH(QVariantMap, settings);
        QFETCH(QStringList, existing);
        QFETCH(QString, expected);
        QFETCH(QVariantMap, after);
        const QString stem = QDate::currentDate().toString(QStringLiteral("yyMMdd")) + QStringLiteral("-217-");
        setAll(settings);
        for (const QString &e : existing)
            QVERIFY(TestEnv::writeFile(pathIn(e.section(':', 0, 0).toInt(), e.section(':', 1).replace("@", stem)), kOrder));
        VexaOrder order;
        order.newOrder();
        QCOMPARE(order.orderID(), QString(expected).replace("@", stem));
        for (auto it = after.begin(); it != after.end(); ++it)
            QCOMPARE(AppContext::userSettings()->value(it.key()).toString(), it.value().toString());
        QVERIFY(order.confirmed() || expected.startsWith("@"));
    }

    void uuidOrderRenumberedOnOpen()
    {
        const QString uuid = QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e");
        QByteArray withType = kOrder;
        withType.replace("\"orderID\"", "\"apType\":\"Measure\",\"apmnt\":\"2026-12-09T09:00:00.000\",\"orderID\"");
        QVERIFY(TestEnv::writeFile(pathIn(VexaOrder::Posted, uuid), withType));
        setAll({{"ordnum", "500"}, {"ordpre", "R"}, {"fit_d", 45.0}, {"aptypes_sl", QStringList{"Survey"}}});
        VexaOrder order;
        QVERIFY(order.loadOrder(uuid, VexaOrder::Posted, true));
        QCOMPARE(order.orderID(), QStringLiteral("R500"));
        QCOMPARE(order.otid, uuid);
        QCOMPARE(order.fittingCost(), 45.0);
        QVERIFY(order.sendEmailToCustomer());
        QVERIFY(QFile::exists(pathIn(VexaOrder::InProgress, QStringLiteral("R500"))));
        QVERIFY(!QFile::exists(pathIn(VexaOrder::Posted, uuid)));
        QCOMPARE(AppContext::userSettings()->value("aptypes_sl").toStringList(), (QStringList{"Survey", "Measure"}));

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
        QTest::newRow("no orderID") << QByteArray(kOrder).replace("\"orderID\"", "\"orderRef\"") << -1 << "^Failed to read orderID";
        QTest::newRow("orderID a number") << id("1234") << -1 << "^Failed to read orderID";
        QTest::newRow("not JSON") << QByteArray(120, 'x') << -1 << "^Failed to read orderID";
        for (const char *unsafe : {"\"../evil\"", "\"a/b\"", "\"..\"", "\".\"", "\"x\\\\..\\\\y\"", "\"tab\\there\""})
            QTest::newRow(unsafe) << id(unsafe) << -1 << "unsafe order ID";
    }

    // A file from outside is copied into progress and opened; an existing ID
    // is reported with its list; anything else is refused and nothing written.
    void import()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, existsIn);
        QFETCH(QString, logged);
        const QString outside = m_data->path() + QStringLiteral("/Downloads/T1.json");
        QVERIFY(TestEnv::writeFile(outside, content));
        if (existsIn >= 0)
            QVERIFY(TestEnv::writeFile(pathIn(existsIn, "T1"), "older"));
        AppContext::userSettings()->setValue("imp", outside);
        const QStringList before = filesBelow(AppContext::ordersFolder);
        VexaOrder order;
        QSignalSpy closed(&order, &VexaOrder::closeOrder);
        QSignalSpy opened(&order, &VexaOrder::openOrder);
        QSignalSpy exists(&order, &VexaOrder::openOrderExist);
        if (!logged.isEmpty())
            QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(logged));
        order.incomingOrderFile(QUrl::fromLocalFile(outside).toString());
        QVERIFY(!AppContext::userSettings()->contains(QStringLiteral("imp")));
        QVERIFY(QFile::exists(outside));
        const bool accepted = logged.isEmpty() && existsIn < 0;
        QCOMPARE(closed.count() + opened.count(), accepted ? 2 : 0);
        QCOMPARE(exists.count(), existsIn >= 0 ? 1 : 0);
        if (existsIn >= 0)
            QCOMPARE(exists.at(0), (QVariantList{"T1", outside, existsIn, "This order for customer: <b>Mrs C Green</b><br> "
                                                                          "already exists in your <b>Sent</b> list"}));
        if (!accepted) {
            QCOMPARE(filesBelow(AppContext::ordersFolder), before);
            return;
        }
        QCOMPARE(opened.at(0).at(0).toString(), QStringLiteral("T1"));
        QCOMPARE(TestEnv::readFile(pathIn(VexaOrder::InProgress, "T1")), kOrder);
        QCOMPARE(order.custAddress(), QStringLiteral("Mrs C Green\n4 Park Road\nLeeds"));
        // the same path handed over by a second start of the program
        QVERIFY(QFile::remove(pathIn(VexaOrder::InProgress, "T1")));
        order.receivedMessage(3, QByteArray("x"));
        order.receivedMessage(3, outside.toUtf8());
        QCOMPARE(opened.count(), 2);
        QVERIFY(QFile::exists(pathIn(VexaOrder::InProgress, "T1")));
    }

    void unsafeIdsNeverNameFiles()
    {
        const QString secret = m_data->path() + QStringLiteral("/secret");
        QVERIFY(TestEnv::writeFile(secret, "precious"));
        VexaOrder order;
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("unsafe order ID")));
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("^Failed to find order in any folder")));
        QVERIFY(!order.deleteOrder(QStringLiteral("../secret"), VexaOrder::InProgress));
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("unsafe order ID")));
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("^Failed to find order")));
        QVERIFY(!order.loadOrder(QStringLiteral("../secret"), VexaOrder::InProgress, true));
        order.set_orderID(QStringLiteral("../secret"));
        order.set_changed(true);
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("unsafe order ID")));
        QVERIFY(!order.saveOrder(0));
        QCOMPARE(TestEnv::readFile(secret), QByteArray("precious"));
        VexaOrder empty; // no ID: nothing to name the file after
        empty.set_changed(true);
        QVERIFY(!empty.saveOrder(0));
    }

private:
    QScopedPointer<QTemporaryDir> m_data;
};


QTEST_GUILESS_MAIN(TestOrderFolders)
#include "tst_orderfolders.moc"
