// The saved-order lists: loading the state folders, sorting, filtering and
// searching, purging, deleting and the order summary.

#include "app/appcontext.h"
#include "app/appsettings.h"
#include "models/qqmlobjectlistmodel.h"
#include "orders/fileutils.h"
#include "orders/saveditem.h"
#include "orders/savedorders.h"
#include "orders/vexaorder.h"
#include "testenv.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopedPointer>
#include <QtTest>

namespace {

QString pathIn(int state, const QString &id)
{
    return AppContext::stateFolder(state) + id;
}

void writeOrder(int state, const QString &id, QJsonObject obj)
{
    obj.insert(QStringLiteral("orderID"), id);
    QVERIFY(TestEnv::writeFile(pathIn(state, id), QJsonDocument(obj).toJson(QJsonDocument::Compact)));
}

QStringList visibleIds(const SavedOrders &saved, SavedOrders::List list)
{
    QStringList ids;
    const QSortFilterProxyModel *proxy = saved.proxy(list);
    for (int row = 0; row < proxy->rowCount(); ++row) {
        const QModelIndex source = proxy->mapToSource(proxy->index(row, 0));
        ids << saved.model(list)->get(source.row())->orderID();
    }
    return ids;
}

} // namespace

class TestSavedOrders : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnv::initApp(); }
    void init();
    void cleanup() { m_data.reset(); }

    void listsFollowFolders();
    void sortByAppointmentOrFileTime();
    void filterAndSearch_data();
    void filterAndSearch();
    void purge_data();
    void purge();
    void durationText_data();
    void durationText();
    void infoText();
    void deleteOrder();
    void cliList();

private:
    QScopedPointer<QTemporaryDir> m_data;
};

void TestSavedOrders::init()
{
    m_data.reset(TestEnv::freshDataFolder());
    for (const char *key : {"srtOrder_b", "d2rb_i", "users", "uidList", "userID_s", "userName_s"})
        AppContext::userSettings()->remove(QLatin1String(key));
    AppContext::sharedSettings()->remove(QStringLiteral("d2r_i"));
}

void TestSavedOrders::listsFollowFolders()
{
    writeOrder(VexaOrder::Received, QStringLiteral("R1"), {});
    writeOrder(VexaOrder::InProgress, QStringLiteral("I1"), {});
    writeOrder(VexaOrder::InProgress, QStringLiteral("I2"), {});
    writeOrder(VexaOrder::ForPosting, QStringLiteral("P1"), {});
    writeOrder(VexaOrder::ForTransfer, QStringLiteral("X1"), {{QStringLiteral("xto"), QStringLiteral("22")}});
    writeOrder(VexaOrder::Posted, QStringLiteral("S1"), {});
    writeOrder(VexaOrder::Backup, QStringLiteral("S0-b"), {});
    QVERIFY(TestEnv::writeFile(pathIn(VexaOrder::InProgress, QStringLiteral("broken")), "{not json"));

    SavedOrders saved;
    saved.getReceived();
    saved.getInProgress();
    saved.getToPost();
    saved.getPosted();
    saved.getBackup();
    QCOMPARE(saved.model(SavedOrders::ReceivedList)->count(), 1);
    QCOMPARE(saved.model(SavedOrders::InProgressList)->count(), 2);
    QCOMPARE(saved.model(SavedOrders::PostedList)->count(), 1);
    QCOMPARE(saved.model(SavedOrders::BackupList)->get(0)->orderID(), QStringLiteral("S0-b"));
    QCOMPARE(saved.model(SavedOrders::BackupList)->get(0)->orderState(), int(VexaOrder::Backup));
    const QQmlObjectListModel<SavedItem> *toPost = saved.model(SavedOrders::ToPostList);
    QCOMPARE(toPost->count(), 2);
    QCOMPARE(toPost->get(0)->orderState(), int(VexaOrder::ForPosting));
    QCOMPARE(toPost->get(1)->orderID(), QStringLiteral("X1"));
    QCOMPARE(toPost->get(1)->orderState(), int(VexaOrder::ForTransfer));
    QCOMPARE(toPost->get(1)->xto, QStringLiteral("22"));

    // Reloading replaces the rows rather than adding to them.
    QFile::remove(pathIn(VexaOrder::ForPosting, QStringLiteral("P1")));
    saved.getToPost();
    QCOMPARE(toPost->count(), 1);
}

void TestSavedOrders::sortByAppointmentOrFileTime()
{
    writeOrder(VexaOrder::InProgress, QStringLiteral("A"),
               {{QStringLiteral("apmnt"), QStringLiteral("2026-12-10T14:30:00.000")},
                {QStringLiteral("apType"), QStringLiteral("FITTING")},
                {QStringLiteral("custAddr"), QStringLiteral("Ann Lee\n3 Mill Lane")}});
    writeOrder(VexaOrder::InProgress, QStringLiteral("B"), {});
    QVERIFY(setModified(pathIn(VexaOrder::InProgress, QStringLiteral("B")), QDateTime(QDate(2026, 12, 5), QTime(9, 0))));
    writeOrder(VexaOrder::InProgress, QStringLiteral("C"),
               {{QStringLiteral("apmnt"), QStringLiteral("2026-12-01T08:00:00.000")}});

    SavedOrders saved;
    saved.getInProgress();
    QCOMPARE(visibleIds(saved, SavedOrders::InProgressList), (QStringList{"A", "B", "C"}));
    saved.sortLists(true);
    QCOMPARE(visibleIds(saved, SavedOrders::InProgressList), (QStringList{"C", "B", "A"}));

    const QQmlObjectListModel<SavedItem> *rows = saved.model(SavedOrders::InProgressList);
    const SavedItem *a = rows->get(0);
    const SavedItem *b = rows->get(1);
    QCOMPARE(a->orderID(), QStringLiteral("A"));
    QCOMPARE(a->appTime(), QDateTime(QDate(2026, 12, 10), QTime(14, 30)).toString(QStringLiteral("h:mm a")));
    QVERIFY(a->fitting());
    QCOMPARE(a->custAddr(), QStringLiteral("Ann Lee,3 Mill Lane"));
    QVERIFY(b->appTime().isEmpty());
    QCOMPARE(b->sortDate(), QDateTime(QDate(2026, 12, 5), QTime(9, 0)));
    QCOMPARE(b->sortDate_s(), QDate(2026, 12, 5).toString(QStringLiteral("ddd d MMM")));

    AppContext::userSettings()->setValue(QStringLiteral("srtOrder_b"), true);
    SavedOrders ascending;
    ascending.getInProgress();
    QCOMPARE(visibleIds(ascending, SavedOrders::InProgressList), (QStringList{"C", "B", "A"}));
}

void TestSavedOrders::filterAndSearch_data()
{
    QTest::addColumn<int>("filterType");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("all") << 0 << "" << QStringList{"S1", "S2", "S3"};
    QTest::newRow("with receipt") << 1 << "" << QStringList{"S1"};
    QTest::newRow("with transfer target") << 2 << "" << QStringList{"S2"};
    QTest::newRow("address any case") << 0 << "mill LANE" << QStringList{"S1"};
    QTest::newRow("order id") << 0 << "s3" << QStringList{"S3"};
    QTest::newRow("phone without blanks") << 0 << "07700900" << QStringList{"S2"};
    QTest::newRow("phone with blanks") << 0 << "07700 900" << QStringList();
    QTest::newRow("e-mail") << 0 << "example\\.org" << QStringList{"S3"};
    QTest::newRow("reference") << 0 << "REF-7" << QStringList{"S2"};
    QTest::newRow("expression") << 0 << "^s[12]$" << QStringList{"S1", "S2"};
    QTest::newRow("half-typed expression") << 0 << "(ref" << QStringList();
    QTest::newRow("search and filter") << 1 << "lane" << QStringList{"S1"};
    QTest::newRow("search and other filter") << 2 << "mill" << QStringList();
}

void TestSavedOrders::filterAndSearch()
{
    QFETCH(int, filterType);
    QFETCH(QString, pattern);
    QFETCH(QStringList, expected);
    writeOrder(VexaOrder::Posted, QStringLiteral("S1"),
               {{QStringLiteral("custAddr"), QStringLiteral("Ann Lee\n3 Mill Lane")},
                {QStringLiteral("supplierRcpt"), QStringLiteral("RC-1")},
                {QStringLiteral("apmnt"), QStringLiteral("2026-12-03T10:00:00.000")}});
    writeOrder(VexaOrder::Posted, QStringLiteral("S2"),
               {{QStringLiteral("custPhone"), QStringLiteral("07700 900 123")},
                {QStringLiteral("manOrderID"), QStringLiteral("ref-77")},
                {QStringLiteral("xto"), QStringLiteral("22")},
                {QStringLiteral("apmnt"), QStringLiteral("2026-12-02T10:00:00.000")}});
    writeOrder(VexaOrder::Posted, QStringLiteral("S3"),
               {{QStringLiteral("custEmail"), QStringLiteral("x@example.org")},
                {QStringLiteral("apmnt"), QStringLiteral("2026-12-01T10:00:00.000")}});
    SavedOrders saved;
    saved.getPosted();
    saved.postedFilter(filterType);
    saved.search(pattern);
    QCOMPARE(visibleIds(saved, SavedOrders::PostedList), expected);
}

void TestSavedOrders::purge_data()
{
    QTest::addColumn<QVariant>("days");
    QTest::addColumn<bool>("backupFolder");
    QTest::addColumn<QStringList>("kept");
    QTest::newRow("sent default 60") << QVariant() << false << QStringList{"age2", "age4", "age59"};
    QTest::newRow("sent 1 counts as 3") << QVariant(1) << false << QStringList{"age2"};
    QTest::newRow("sent 10") << QVariant(10) << false << QStringList{"age2", "age4"};
    QTest::newRow("backup default 40") << QVariant() << true << QStringList{"age2", "age4"};
    QTest::newRow("backup 0 counts as 3") << QVariant(0) << true << QStringList{"age2"};
}

void TestSavedOrders::purge()
{
    QFETCH(QVariant, days);
    QFETCH(bool, backupFolder);
    QFETCH(QStringList, kept);
    const int state = backupFolder ? VexaOrder::Backup : VexaOrder::Posted;
    for (int age : {2, 4, 59, 70}) {
        const QString id = QStringLiteral("age%1").arg(age);
        writeOrder(state, id, {});
        QVERIFY(setModified(pathIn(state, id), QDateTime::currentDateTime().addDays(-age)));
    }
    if (days.isValid()) {
        if (backupFolder)
            AppContext::userSettings()->setValue(QStringLiteral("d2rb_i"), days);
        else
            AppContext::sharedSettings()->setValue(QStringLiteral("d2r_i"), days);
    }
    // Another folder is never touched by the purge.
    writeOrder(VexaOrder::InProgress, QStringLiteral("old"), {});
    QVERIFY(setModified(pathIn(VexaOrder::InProgress, QStringLiteral("old")), QDateTime::currentDateTime().addDays(-400)));

    SavedOrders saved;
    if (backupFolder)
        saved.getBackup();
    else
        saved.getPosted();
    QStringList left = QDir(AppContext::stateFolder(state)).entryList(QDir::Files, QDir::Name);
    QCOMPARE(left, kept);
    const SavedOrders::List list = backupFolder ? SavedOrders::BackupList : SavedOrders::PostedList;
    QCOMPARE(saved.model(list)->count(), kept.size());
    QVERIFY(QFile::exists(pathIn(VexaOrder::InProgress, QStringLiteral("old"))));
}

void TestSavedOrders::durationText_data()
{
    QTest::addColumn<int>("minutes");
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << 0 << "";
    QTest::newRow("45") << 45 << "45 mins";
    QTest::newRow("60") << 60 << "1 hour";
    QTest::newRow("61") << 61 << "1 hour 1 mins";
    QTest::newRow("90") << 90 << "1.5 hrs";
    QTest::newRow("120") << 120 << "2 hrs";
    QTest::newRow("135") << 135 << "2 hrs 15 mins";
    QTest::newRow("150") << 150 << "2.5 hrs";
}

void TestSavedOrders::durationText()
{
    QFETCH(int, minutes);
    QFETCH(QString, text);
    QCOMPARE(SavedOrders::durationText(minutes), text);
}

void TestSavedOrders::infoText()
{
    AppContext::userSettings()->setValue(QStringLiteral("users"), QStringList{"Bob", "Sue"});
    AppContext::userSettings()->setValue(QStringLiteral("uidList"), QStringList{"21", "22"});
    const QDateTime when(QDate(2026, 12, 9), QTime(9, 15));
    writeOrder(VexaOrder::InProgress, QStringLiteral("Q1"),
               {{QStringLiteral("confirm"), true},
                {QStringLiteral("apmnt"), when.toString(Qt::ISODateWithMs)},
                {QStringLiteral("apmins"), 90},
                {QStringLiteral("apType"), QStringLiteral("Survey")},
                {QStringLiteral("custAddr"), QStringLiteral("Ann Lee\n3 Mill Lane")},
                {QStringLiteral("custPhone"), QStringLiteral("0113 496 0000")},
                {QStringLiteral("orderNotes"), QStringLiteral("Dog\nGate code 12")}});
    SavedOrders saved;
    QCOMPARE(saved.infoText(QStringLiteral("Q1"), VexaOrder::InProgress),
             QStringLiteral("<h6>Q1 <font color=\"blue\" >Confirmed Order</font></h6><font color=\"#404142\" size=\"3\">"
                            "<h5><u>Survey Appointment</u></h5>") + when.toString(QStringLiteral("ddd d MMM h:mm"))
                 + QStringLiteral(" [1.5 hrs]<br><h5><u>Customer</u></h5>Ann Lee<br>3 Mill Lane<br>0113 496 0000"
                                  "<h5><u>Notes</u></h5>Dog<br>Gate code 12</font>"));

    writeOrder(VexaOrder::Received, QStringLiteral("Q2"),
               {{QStringLiteral("xfrom"), QStringLiteral("21")}, {QStringLiteral("custAddr"), QStringLiteral("Ann")}});
    QCOMPARE(saved.infoText(QStringLiteral("Q2"), VexaOrder::Received),
             QStringLiteral("<h6>Q2 <font color=\"black\" >Transferred Order</font></h6><font color=\"#404142\" size=\"3\">"
                            "From: Bob<h5><u>Customer</u></h5>Ann</font>"));

    writeOrder(VexaOrder::ForTransfer, QStringLiteral("Q3"),
               {{QStringLiteral("xto"), QStringLiteral("22")}, {QStringLiteral("xfrom"), QStringLiteral("21")},
                {QStringLiteral("custEmail"), QStringLiteral("a@b.c")}});
    QVERIFY(saved.infoText(QStringLiteral("Q3"), VexaOrder::ForTransfer)
                .endsWith(QStringLiteral("<br>To: Sue<h5><u>Customer</u></h5><br>a@b.c</font>")));

    const QString uuid = QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e");
    writeOrder(VexaOrder::Posted, uuid, {{QStringLiteral("supplierRcpt"), QStringLiteral("R")}});
    QCOMPARE(saved.infoText(uuid, VexaOrder::Posted), QStringLiteral("<h5><u>Customer</u></h5></font>"));

    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("^Invalid orderState")));
    QVERIFY(saved.infoText(QStringLiteral("Q1"), 9).isEmpty());
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("^Couldn't open order")));
    QVERIFY(saved.infoText(QStringLiteral("Q1"), VexaOrder::Posted).isEmpty());
}

void TestSavedOrders::deleteOrder()
{
    writeOrder(VexaOrder::ForTransfer, QStringLiteral("D1"), {{QStringLiteral("custName"), QStringLiteral("Kim")}});
    const QByteArray content = TestEnv::readFile(pathIn(VexaOrder::ForTransfer, QStringLiteral("D1")));
    SavedOrders saved;
    QVERIFY(saved.deleteOrder(QStringLiteral("D1")));
    QVERIFY(!QFile::exists(pathIn(VexaOrder::ForTransfer, QStringLiteral("D1"))));
    QCOMPARE(TestEnv::readFile(pathIn(VexaOrder::Backup, QStringLiteral("D1-b"))), content);

    // Received orders are not among the folders searched.
    writeOrder(VexaOrder::Received, QStringLiteral("D2"), {});
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("^Failed to find order in any folder")));
    QVERIFY(!saved.deleteOrder(QStringLiteral("D2")));
    QVERIFY(QFile::exists(pathIn(VexaOrder::Received, QStringLiteral("D2"))));
}


void TestSavedOrders::cliList()
{
    writeOrder(VexaOrder::ForPosting, QStringLiteral("P1"),
               {{QStringLiteral("custAddr"), QStringLiteral("Ann Lee\n3 Mill Lane")},
                {QStringLiteral("apmnt"), QStringLiteral("2026-12-09T09:15:00.000")}});
    writeOrder(VexaOrder::ForTransfer, QStringLiteral("X1"),
               {{QStringLiteral("apmnt"), QStringLiteral("2026-12-10T09:15:00.000")}});
    writeOrder(VexaOrder::Posted, QStringLiteral("OLD"), {});
    QVERIFY(setModified(pathIn(VexaOrder::Posted, QStringLiteral("OLD")), QDateTime::currentDateTime().addDays(-400)));
    const QString cli = QStringLiteral(LTA_BINARY_DIR "/src/lattica-cli");

    QProcess topost;
    topost.start(cli, {"orders", "list", "--data", m_data->path(), "--state", "topost"});
    QVERIFY(topost.waitForFinished(30000));
    QCOMPARE(topost.exitCode(), 0);
    const QList<QByteArray> lines = topost.readAllStandardOutput().trimmed().split('\n');
    QCOMPARE(lines.size(), 2);
    const QJsonObject first = QJsonDocument::fromJson(lines.at(0)).object();
    QCOMPARE(first.value("orderID").toString(), QStringLiteral("X1"));
    QCOMPARE(first.value("orderState").toInt(), int(VexaOrder::ForTransfer));
    const QJsonObject second = QJsonDocument::fromJson(lines.at(1)).object();
    QCOMPARE(second.value("orderID").toString(), QStringLiteral("P1"));
    QCOMPARE(second.value("custAddr").toString(), QStringLiteral("Ann Lee,3 Mill Lane"));
    QCOMPARE(second.value("sortDate_s").toString(), QDate(2026, 12, 9).toString(QStringLiteral("ddd d MMM")));
    QCOMPARE(second.value("appTime").toString(), QTime(9, 15).toString(QStringLiteral("h:mm a")));

    // Listing everything does not purge the old sent order.
    QProcess all;
    all.start(cli, {"orders", "list", "--data", m_data->path()});
    QVERIFY(all.waitForFinished(30000));
    QCOMPARE(all.exitCode(), 0);
    QCOMPARE(all.readAllStandardOutput().trimmed().split('\n').size(), 3);
    QVERIFY(QFile::exists(pathIn(VexaOrder::Posted, QStringLiteral("OLD"))));

    QProcess bad;
    bad.start(cli, {"orders", "list", "--data", m_data->path(), "--state", "lost"});
    QVERIFY(bad.waitForFinished(30000));
    QVERIFY(bad.exitCode() != 0);
    QVERIFY(bad.readAllStandardError().contains("unknown state"));
}

QTEST_GUILESS_MAIN(TestSavedOrders)
#include "tst_savedorders.moc"
