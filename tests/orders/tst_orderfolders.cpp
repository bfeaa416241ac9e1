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

QString backupOf(const QString &id)
{
    return AppContext::stateFolder(VexaOrder::Backup) + id + QStringLiteral("-b");
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

appSettings *user()
{
    return AppContext::userSettings();
}

} // namespace

class TestOrderFolders : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnv::initApp(); }
    void init();
    void cleanup() { m_data.reset(); }

    void transitions_data();
    void transitions();
    void unchangedOrderIsNotWritten();
    void failedMoveKeepsSource();
    void moveOntoFolderFails();
    void userNumbering_data();
    void userNumbering();
    void dateDeviceUserSequence_data();
    void dateDeviceUserSequence();
    void uuidOrderRenumberedOnOpen();
    void importNewOrder();
    void handedOverFileIsImported();
    void importRefused_data();
    void importRefused();
    void importExistingReported();
    void unsafeIdsNeverNameFiles();

private:
    QScopedPointer<QTemporaryDir> m_data;
};

void TestOrderFolders::init()
{
    m_data.reset(TestEnv::freshDataFolder());
    for (const char *key : {"ordnum", "ordpre", "orderpost", "doy", "orderSeq", "device_n", "userID_s", "userName_s",
                            "users", "uidList", "xfer", "imp"})
        user()->remove(QLatin1String(key));
}

void TestOrderFolders::transitions_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to"); // -1: the order is deleted
    QTest::addColumn<bool>("backupHoldsOriginal");
    QTest::newRow("save in progress from queue") << "save0" << int(VexaOrder::ForPosting) << int(VexaOrder::InProgress) << true;
    QTest::newRow("complete for sending") << "save1" << int(VexaOrder::InProgress) << int(VexaOrder::ForPosting) << true;
    QTest::newRow("send again") << "save2" << int(VexaOrder::Posted) << int(VexaOrder::ForPosting) << true;
    QTest::newRow("mark as sent") << "sent" << int(VexaOrder::ForPosting) << int(VexaOrder::Posted) << true;
    QTest::newRow("open received") << "load" << int(VexaOrder::Received) << int(VexaOrder::InProgress) << true;
    QTest::newRow("open queued") << "load" << int(VexaOrder::ForPosting) << int(VexaOrder::InProgress) << true;
    QTest::newRow("open sent") << "load" << int(VexaOrder::Posted) << int(VexaOrder::InProgress) << true;
    QTest::newRow("open transfer") << "load" << int(VexaOrder::ForTransfer) << int(VexaOrder::InProgress) << true;
    QTest::newRow("transfer to other") << "xferOther" << int(VexaOrder::InProgress) << int(VexaOrder::ForTransfer) << false;
    QTest::newRow("transfer to self") << "xferSelf" << int(VexaOrder::InProgress) << int(VexaOrder::Received) << false;
    QTest::newRow("delete in progress") << "delete" << int(VexaOrder::InProgress) << -1 << true;
    QTest::newRow("delete sent") << "delete" << int(VexaOrder::Posted) << -1 << true;
}

void TestOrderFolders::transitions()
{
    QFETCH(QString, op);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(bool, backupHoldsOriginal);
    const QString id = QStringLiteral("T1");
    QVERIFY(TestEnv::writeFile(pathIn(from, id), kOrder));
    user()->setValue(QStringLiteral("userID_s"), QStringLiteral("17"));
    user()->setValue(QStringLiteral("userName_s"), QStringLiteral("Me"));
    user()->setValue(QStringLiteral("users"), QStringList{QStringLiteral("Bob"), QStringLiteral("Sue")});
    user()->setValue(QStringLiteral("uidList"), QStringList{QStringLiteral("21"), QStringLiteral("22")});

    VexaOrder order;
    order.readJson(QJsonDocument::fromJson(kOrder).object());
    order.set_changed(true);
    bool ok = false;
    if (op == QLatin1String("save0"))
        ok = order.saveOrder(0);
    else if (op == QLatin1String("save1"))
        ok = order.saveOrder(1);
    else if (op == QLatin1String("save2"))
        ok = order.saveOrder(2);
    else if (op == QLatin1String("sent"))
        ok = order.markAsSent(id);
    else if (op == QLatin1String("load"))
        ok = order.loadOrder(id, VexaOrder::OrderState(from), true);
    else if (op == QLatin1String("xferOther"))
        ok = order.xferOrderTo(QStringLiteral("Sue"));
    else if (op == QLatin1String("xferSelf"))
        ok = order.xferOrderTo(QStringLiteral("Me"));
    else if (op == QLatin1String("delete"))
        ok = order.deleteOrder(id, VexaOrder::OrderState(from));
    QVERIFY(ok);
    QVERIFY(AppContext::lastFileError.isEmpty());

    if (to >= 0) {
        QVERIFY(QFile::exists(pathIn(to, id)));
        const QJsonObject moved = QJsonDocument::fromJson(TestEnv::readFile(pathIn(to, id))).object();
        QCOMPARE(moved.value(QStringLiteral("orderID")).toString(), id);
        QCOMPARE(moved.value(QStringLiteral("custAddr")).toString(), QStringLiteral("Mrs C Green\n4 Park Road\nLeeds"));
    }
    if (from != to)
        QVERIFY(!QFile::exists(pathIn(from, id)));
    QVERIFY(QFile::exists(backupOf(id)));
    if (backupHoldsOriginal)
        QCOMPARE(TestEnv::readFile(backupOf(id)), kOrder);
    else
        QCOMPARE(TestEnv::readFile(backupOf(id)), TestEnv::readFile(pathIn(to, id)));

    if (op == QLatin1String("save1") || op == QLatin1String("save2"))
        QCOMPARE(order.orderState(), int(VexaOrder::ForPosting));
    if (op == QLatin1String("xferOther")) {
        QCOMPARE(order.xfrom, QStringLiteral("17"));
        QCOMPARE(order.xto, QStringLiteral("22"));
        QCOMPARE(user()->value(QStringLiteral("xfer")).toString(), QStringLiteral("Sue"));
        const QJsonObject moved = QJsonDocument::fromJson(TestEnv::readFile(pathIn(to, id))).object();
        QCOMPARE(moved.value(QStringLiteral("xto")).toString(), QStringLiteral("22"));
    }
}

void TestOrderFolders::unchangedOrderIsNotWritten()
{
    VexaOrder order;
    order.newOrder();
    const QString path = pathIn(VexaOrder::InProgress, order.orderID());
    QVERIFY(order.saveOrder(0));
    QVERIFY(!QFile::exists(path));
    order.set_custName(QStringLiteral("Dee"));
    order.set_changed(true);
    QVERIFY(order.saveOrder(0));
    QVERIFY(QFile::exists(path));

    VexaOrder empty;
    empty.set_changed(true);
    QVERIFY(!empty.saveOrder(0));
}

void TestOrderFolders::failedMoveKeepsSource()
{
    const QString id = QStringLiteral("T1");
    QVERIFY(TestEnv::writeFile(pathIn(VexaOrder::ForPosting, id), kOrder));
    QVERIFY(QDir(AppContext::stateFolder(VexaOrder::Posted)).removeRecursively());

    VexaOrder order;
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("Failed to rename")));
    QVERIFY(!order.markAsSent(id));
    QVERIFY(AppContext::lastFileError.startsWith(QStringLiteral("Failed to rename")));
    QCOMPARE(TestEnv::readFile(pathIn(VexaOrder::ForPosting, id)), kOrder);

    // Completing an order whose in-progress file is missing fails and says why.
    order.readJson(QJsonDocument::fromJson(kOrder).object());
    order.set_orderID(QStringLiteral("T2"));
    order.set_changed(true);
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("src does not exist")));
    QVERIFY(!order.saveOrder(1));
    QVERIFY(AppContext::lastFileError.startsWith(QStringLiteral("Move: src does not exist")));
    QVERIFY(order.changed());

    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("^posted: order not found")));
    QVERIFY(!order.markAsSent(QStringLiteral("T3")));
}

void TestOrderFolders::moveOntoFolderFails()
{
    const QString src = m_data->path() + QStringLiteral("/src-order");
    const QString dst = m_data->path() + QStringLiteral("/occupied");
    QVERIFY(TestEnv::writeFile(src, kOrder));
    QVERIFY(TestEnv::writeFile(dst + QStringLiteral("/inside"), "x"));
    QVERIFY(!moveFile(src, dst, false));
    QVERIFY(AppContext::lastFileError.startsWith(QStringLiteral("Failed to remove")));
    QCOMPARE(TestEnv::readFile(src), kOrder);

    // A missing source leaves an existing destination alone.
    QVERIFY(TestEnv::writeFile(dst + QStringLiteral("2"), "keep"));
    QVERIFY(!moveFile(src + QStringLiteral("-gone"), dst + QStringLiteral("2"), false));
    QCOMPARE(TestEnv::readFile(dst + QStringLiteral("2")), QByteArray("keep"));

    QVERIFY(moveFile(src, src, true));
    QVERIFY(AppContext::lastFileError.isEmpty());
}

void TestOrderFolders::userNumbering_data()
{
    QTest::addColumn<QString>("ordnum");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QStringList>("existing"); // "state:ID"
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("next");
    QTest::newRow("first number") << "1000" << "Q" << "" << QStringList() << "Q1000" << "1001";
    QTest::newRow("taken in sent") << "1000" << "Q" << "" << QStringList{"4:Q1000"} << "Q1001" << "1002";
    QTest::newRow("taken in two folders") << "1000" << "Q" << "" << QStringList{"5:Q1000", "1:Q1001"} << "Q1002"
                                          << "1003";
    QTest::newRow("other prefix free") << "7" << "A" << "" << QStringList{"2:Q7"} << "A7" << "8";
    QTest::newRow("with suffix") << "41" << "" << "-S" << QStringList{"3:41-S"} << "42-S" << "43";
}

void TestOrderFolders::userNumbering()
{
    QFETCH(QString, ordnum);
    QFETCH(QString, prefix);
    QFETCH(QString, suffix);
    QFETCH(QStringList, existing);
    QFETCH(QString, expected);
    QFETCH(QString, next);
    user()->setValue(QStringLiteral("ordnum"), ordnum);
    user()->setValue(QStringLiteral("ordpre"), prefix);
    user()->setValue(QStringLiteral("orderpost"), suffix);
    for (const QString &e : existing)
        QVERIFY(TestEnv::writeFile(pathIn(e.section(':', 0, 0).toInt(), e.section(':', 1)), kOrder));

    VexaOrder order;
    order.newOrder();
    QCOMPARE(order.orderID(), expected);
    QCOMPARE(user()->value(QStringLiteral("ordnum")).toString(), next);
    QVERIFY(order.confirmed());
}

void TestOrderFolders::dateDeviceUserSequence_data()
{
    QTest::addColumn<QString>("ordnum");
    QTest::addColumn<bool>("sameDay");
    QTest::addColumn<int>("storedSeq");
    QTest::addColumn<QStringList>("existingSeqs"); // "state:seq"
    QTest::addColumn<int>("expectedSeq");
    QTest::newRow("third of the day") << "" << true << 2 << QStringList() << 3;
    QTest::newRow("first of a new day") << "" << false << 9 << QStringList() << 1;
    QTest::newRow("number taken") << "" << true << 2 << QStringList{"5:3", "4:4"} << 5;
    QTest::newRow("ordnum not a number") << "12a" << true << 0 << QStringList() << 1;
    QTest::newRow("ordnum negative") << "-5" << true << 0 << QStringList() << 1;
}

void TestOrderFolders::dateDeviceUserSequence()
{
    QFETCH(QString, ordnum);
    QFETCH(bool, sameDay);
    QFETCH(int, storedSeq);
    QFETCH(QStringList, existingSeqs);
    QFETCH(int, expectedSeq);
    const QDate today = QDate::currentDate();
    const QString stem = today.toString(QStringLiteral("yyMMdd")) + QStringLiteral("-217-");
    if (!ordnum.isEmpty())
        user()->setValue(QStringLiteral("ordnum"), ordnum);
    user()->setValue(QStringLiteral("device_n"), QStringLiteral("2"));
    user()->setValue(QStringLiteral("userID_s"), QStringLiteral("17"));
    user()->setValue(QStringLiteral("doy"), sameDay ? today.dayOfYear() : today.dayOfYear() % 366 + 1);
    user()->setValue(QStringLiteral("orderSeq"), storedSeq);
    for (const QString &e : existingSeqs)
        QVERIFY(TestEnv::writeFile(pathIn(e.section(':', 0, 0).toInt(), stem + e.section(':', 1)), kOrder));

    VexaOrder order;
    order.newOrder();
    QCOMPARE(order.orderID(), stem + QString::number(expectedSeq));
    QCOMPARE(user()->value(QStringLiteral("orderSeq")).toInt(), expectedSeq);
    QCOMPARE(user()->value(QStringLiteral("doy")).toInt(), today.dayOfYear());
}

void TestOrderFolders::uuidOrderRenumberedOnOpen()
{
    const QString uuid = QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e");
    QVERIFY(TestEnv::writeFile(pathIn(VexaOrder::Posted, uuid), kOrder));
    user()->setValue(QStringLiteral("ordnum"), QStringLiteral("500"));
    user()->setValue(QStringLiteral("ordpre"), QStringLiteral("R"));
    user()->setValue(QStringLiteral("fit_d"), 45.0);
    user()->setValue(QStringLiteral("aptypes_sl"), QStringList{QStringLiteral("Survey")});

    VexaOrder order;
    QByteArray withType = kOrder;
    withType.replace("\"orderID\"", "\"apType\":\"Measure\",\"apmnt\":\"2026-12-09T09:00:00.000\",\"orderID\"");
    QVERIFY(TestEnv::writeFile(pathIn(VexaOrder::Posted, uuid), withType));
    QVERIFY(order.loadOrder(uuid, VexaOrder::Posted, true));
    QCOMPARE(order.orderID(), QStringLiteral("R500"));
    QCOMPARE(order.otid, uuid);
    QCOMPARE(order.fittingCost(), 45.0);
    QVERIFY(order.sendEmailToCustomer());
    QVERIFY(QFile::exists(pathIn(VexaOrder::InProgress, QStringLiteral("R500"))));
    QVERIFY(!QFile::exists(pathIn(VexaOrder::Posted, uuid)));
    QCOMPARE(user()->value(QStringLiteral("aptypes_sl")).toStringList(),
             (QStringList{QStringLiteral("Survey"), QStringLiteral("Measure")}));

    // An ordinary ID keeps its name when opened.
    QVERIFY(TestEnv::writeFile(pathIn(VexaOrder::Received, QStringLiteral("K9")), kOrder));
    QVERIFY(order.loadOrder(QStringLiteral("K9"), VexaOrder::UnKnown, true));
    QCOMPARE(order.orderID(), QStringLiteral("K9"));
    QVERIFY(order.otid.isEmpty());
    QVERIFY(QFile::exists(pathIn(VexaOrder::InProgress, QStringLiteral("K9"))));
}

void TestOrderFolders::importNewOrder()
{
    const QString outside = m_data->path() + QStringLiteral("/Downloads/T1.json");
    QVERIFY(TestEnv::writeFile(outside, kOrder));
    user()->setValue(QStringLiteral("imp"), outside);

    VexaOrder order;
    QSignalSpy closed(&order, &VexaOrder::closeOrder);
    QSignalSpy opened(&order, &VexaOrder::openOrder);
    QSignalSpy exists(&order, &VexaOrder::openOrderExist);
    order.incomingOrderFile(QUrl::fromLocalFile(outside).toString());
    QCOMPARE(closed.count(), 1);
    QCOMPARE(opened.count(), 1);
    QCOMPARE(opened.at(0).at(0).toString(), QStringLiteral("T1"));
    QCOMPARE(exists.count(), 0);
    QCOMPARE(TestEnv::readFile(pathIn(VexaOrder::InProgress, QStringLiteral("T1"))), kOrder);
    QCOMPARE(order.orderID(), QStringLiteral("T1"));
    QCOMPARE(order.custAddress(), QStringLiteral("Mrs C Green\n4 Park Road\nLeeds"));
    QVERIFY(!user()->contains(QStringLiteral("imp")));
    QVERIFY(QFile::exists(outside));
}

void TestOrderFolders::handedOverFileIsImported()
{
    const QString outside = m_data->path() + QStringLiteral("/Downloads/T1");
    QVERIFY(TestEnv::writeFile(outside, kOrder));
    VexaOrder order;
    QSignalSpy opened(&order, &VexaOrder::openOrder);
    order.receivedMessage(3, QByteArray());
    order.receivedMessage(3, QByteArray("x"));
    QCOMPARE(opened.count(), 0);
    order.receivedMessage(3, outside.toUtf8());
    QCOMPARE(opened.count(), 1);
    QVERIFY(QFile::exists(pathIn(VexaOrder::InProgress, QStringLiteral("T1"))));
}

void TestOrderFolders::importRefused_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("logged");
    QTest::newRow("under 100 bytes") << QByteArray("{\"orderID\":\"T1\"}") << "^Invalid import order file, too small";
    QByteArray noId = kOrder;
    noId.replace("\"orderID\":\"T1\"", "\"orderRef\":\"T1\"");
    QTest::newRow("no orderID") << noId << "^Failed to read orderID from";
    QByteArray numberId = kOrder;
    numberId.replace("\"orderID\":\"T1\"", "\"orderID\":1234");
    QTest::newRow("orderID a number") << numberId << "^Failed to read orderID from";
    QTest::newRow("not JSON") << QByteArray(120, 'x') << "^Failed to read orderID from";
}

void TestOrderFolders::importRefused()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, logged);
    const QString outside = m_data->path() + QStringLiteral("/Downloads/in.json");
    QVERIFY(TestEnv::writeFile(outside, content));
    const QStringList before = filesBelow(AppContext::ordersFolder);

    VexaOrder order;
    QSignalSpy closed(&order, &VexaOrder::closeOrder);
    QSignalSpy opened(&order, &VexaOrder::openOrder);
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(logged));
    order.incomingOrderFile(outside);
    QCOMPARE(closed.count() + opened.count(), 0);
    QCOMPARE(filesBelow(AppContext::ordersFolder), before);
}

void TestOrderFolders::importExistingReported()
{
    const QString outside = m_data->path() + QStringLiteral("/Downloads/T1.json");
    QVERIFY(TestEnv::writeFile(outside, kOrder));
    QVERIFY(TestEnv::writeFile(pathIn(VexaOrder::Posted, QStringLiteral("T1")), "older"));

    VexaOrder order;
    QSignalSpy exists(&order, &VexaOrder::openOrderExist);
    QSignalSpy closed(&order, &VexaOrder::closeOrder);
    order.incomingOrderFile(outside);
    QCOMPARE(closed.count(), 0);
    QCOMPARE(exists.count(), 1);
    const QList<QVariant> args = exists.at(0);
    QCOMPARE(args.at(0).toString(), QStringLiteral("T1"));
    QCOMPARE(args.at(1).toString(), outside);
    QCOMPARE(args.at(2).toInt(), int(VexaOrder::Posted));
    QCOMPARE(args.at(3).toString(),
             QStringLiteral("This order for customer: <b>Mrs C Green</b><br> already exists in your <b>Sent</b> list"));
    QCOMPARE(TestEnv::readFile(pathIn(VexaOrder::Posted, QStringLiteral("T1"))), QByteArray("older"));
    QVERIFY(!QFile::exists(pathIn(VexaOrder::InProgress, QStringLiteral("T1"))));
}

void TestOrderFolders::unsafeIdsNeverNameFiles()
{
    const QStringList unsafe = {QStringLiteral("../evil"), QStringLiteral("a/b"), QStringLiteral(".."),
                                QStringLiteral("."), QStringLiteral("x\\..\\y"), QStringLiteral("tab\there")};
    const QString secret = m_data->path() + QStringLiteral("/secret");
    QVERIFY(TestEnv::writeFile(secret, "precious"));
    for (const QString &id : unsafe) {
        QByteArray content = kOrder;
        content.replace("\"orderID\":\"T1\"",
                        "\"orderID\":" + QJsonDocument(QJsonObject{{QStringLiteral("k"), id}}).toJson(QJsonDocument::Compact).mid(5).chopped(1));
        const QString outside = m_data->path() + QStringLiteral("/Downloads/bad.json");
        QVERIFY(TestEnv::writeFile(outside, content));
        VexaOrder order;
        const QStringList before = filesBelow(m_data->path());
        QSignalSpy exists(&order, &VexaOrder::openOrderExist);
        QSignalSpy opened(&order, &VexaOrder::openOrder);
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("unsafe order ID")));
        order.incomingOrderFile(outside);
        QCOMPARE(exists.count() + opened.count(), 0);
        QCOMPARE(filesBelow(m_data->path()), before);
    }

    VexaOrder order;
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("unsafe order ID")));
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("^Failed to find order in any folder")));
    QVERIFY(!order.deleteOrder(QStringLiteral("../secret"), VexaOrder::InProgress));
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("unsafe order ID")));
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("^Failed to find order")));
    QVERIFY(!order.loadOrder(QStringLiteral("../secret"), VexaOrder::InProgress, true));
    QCOMPARE(TestEnv::readFile(secret), QByteArray("precious"));

    order.set_orderID(QStringLiteral("../secret"));
    order.set_changed(true);
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("unsafe order ID")));
    QVERIFY(!order.saveOrder(0));
    QCOMPARE(TestEnv::readFile(secret), QByteArray("precious"));
}

QTEST_GUILESS_MAIN(TestOrderFolders)
#include "tst_orderfolders.moc"
