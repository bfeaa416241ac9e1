// The saved-order lists: loading the state folders, sorting, filtering and
// searching, purging, deleting, the order summary and `lattica-cli orders list`.

#include "app/appcontext.h"
#include "app/appsettings.h"
#include "models/qqmlobjectlistmodel.h"
#include "orders/fileutils.h"
#include "orders/saveditem.h"
#include "orders/savedorders.h"
#include "orders/vexaorder.h"
#include "testenv.h"

#include <QtTest>

using O = VexaOrder;
using S = SavedOrders;

static QString pathIn(int state, const QString &id) { return AppContext::stateFolder(state) + id; }

static void writeOrder(int state, const QString &id, QJsonObject obj = {}, const QDateTime &fileTime = {})
{
    obj.insert(QStringLiteral("orderID"), id);
    QVERIFY(TestEnv::writeFile(pathIn(state, id), QJsonDocument(obj).toJson(QJsonDocument::Compact)));
    if (fileTime.isValid())
        QVERIFY(setModified(pathIn(state, id), fileTime));
}

static QDateTime daysAgo(int days) { return QDateTime::currentDateTime().addDays(-days); }
static QString apmnt(int day) { return QDateTime(QDate(2026, 12, day), QTime(10, 0)).toString(Qt::ISODateWithMs); }

// The rows of a list as the interface shows them, through its proxy.
static QStringList visibleIds(const SavedOrders &saved, SavedOrders::List list)
{
    QStringList ids;
    for (int row = 0; row < saved.proxy(list)->rowCount(); ++row)
        ids << saved.proxy(list)->index(row, 0).data(saved.model(list)->roleForName("orderID")).toString();
    return ids;
}

// Lines printed by `lattica-cli orders list ARGS` (standard error when it fails).
static QList<QByteArray> cliList(const QStringList &args, int expectedExit = 0)
{
    QProcess cli;
    cli.start(QStringLiteral(LTA_BINARY_DIR "/src/lattica-cli"), QStringList{"orders", "list"} + args);
    const bool asExpected = cli.waitForFinished(30000) && cli.exitCode() == expectedExit;
    return asExpected ? (expectedExit ? cli.readAllStandardError() : cli.readAllStandardOutput()).trimmed().split('\n')
                      : QList<QByteArray>{"unexpected exit"};
}

class TestSavedOrders : public QObject
{
    Q_OBJECT
    QScopedPointer<QTemporaryDir> m_data;

private slots:
    void initTestCase() { TestEnv::initApp(); }
    void init()
    {
        m_data.reset(TestEnv::freshDataFolder());
        for (const char *key : {"srtOrder_b", "d2rb_i"})
            AppContext::userSettings()->remove(QLatin1String(key));
        AppContext::sharedSettings()->remove(QStringLiteral("d2r_i"));
    }

    // The application's lists and the command-line listing show the same rows.
    void listsFollowFolders()
    {
        writeOrder(O::Received, "R1");
        writeOrder(O::InProgress, "I1");
        writeOrder(O::ForPosting, "P1", {{"custAddr", "Ann Lee\n3 Mill Lane"}, {"apmnt", "2026-12-09T09:15:00.000"}});
        writeOrder(O::ForTransfer, "X1", {{"xto", "22"}, {"apmnt", "2026-12-10T09:15:00.000"}});
        writeOrder(O::Posted, "OLD", {}, daysAgo(400));
        writeOrder(O::Backup, "S0-b");
        QVERIFY(TestEnv::writeFile(pathIn(O::InProgress, "broken"), "{not json"));
        // an interrupted save of an earlier version left its temporary file; an
        // order really named like one is listed
        QVERIFY(TestEnv::writeFile(pathIn(O::InProgress, "I1.aB3xY9"), R"({"orderID":"I1"})"));
        writeOrder(O::InProgress, "Jones.Bath01");

        QStringList rows; // "ID state", every list, broken files and leftovers left out
        for (const QByteArray &line : cliList({"--data", m_data->path()})) {
            const QJsonObject row = QJsonDocument::fromJson(line).object();
            rows << row.value("orderID").toString() + ' ' + QString::number(row.value("orderState").toInt());
        }
        rows.sort();
        QCOMPARE(rows, QString("I1 2|Jones.Bath01 2|OLD 4|P1 3|R1 1|S0-b 7|X1 5").split('|'));
        QVERIFY(QFile::exists(pathIn(O::Posted, "OLD"))); // listing never purges
        const QList<QByteArray> topost = cliList({"--data", m_data->path(), "--state", "topost"});
        QCOMPARE(topost.size(), 2);
        QCOMPARE(QJsonDocument::fromJson(topost.value(1)).object(),
                 (QJsonObject{{"orderID", "P1"}, {"orderState", int(O::ForPosting)}, {"custAddr", "Ann Lee,3 Mill Lane"},
                              {"sortDate_s", QDate(2026, 12, 9).toString("ddd d MMM")},
                              {"appTime", QTime(9, 15).toString("h:mm a")}}));
        QVERIFY(cliList({"--data", m_data->path(), "--state", "lost"}, 2).value(0).contains("unknown state"));

        SavedOrders saved;
        saved.getToPost();
        const QByteArray content = TestEnv::readFile(pathIn(O::ForTransfer, "X1"));
        QVERIFY(saved.deleteOrder("X1")); // kept as a backup; reloading replaces the rows
        QCOMPARE(TestEnv::readFile(pathIn(O::Backup, "X1-b")), content);
        saved.getToPost();
        QCOMPARE(visibleIds(saved, S::ToPostList), QStringList{"P1"});
    }

    // B, without an appointment, sorts by its file time.
    void sortByAppointmentOrFileTime()
    {
        writeOrder(O::InProgress, "A", {{"apmnt", apmnt(10)}});
        writeOrder(O::InProgress, "B", {}, QDateTime(QDate(2026, 12, 5), QTime(9, 0)));
        writeOrder(O::InProgress, "C", {{"apmnt", apmnt(1)}});
        SavedOrders saved;
        saved.getInProgress();
        QCOMPARE(visibleIds(saved, S::InProgressList), (QStringList{"A", "B", "C"}));
        saved.sortLists(true);
        QCOMPARE(visibleIds(saved, S::InProgressList), (QStringList{"C", "B", "A"}));
    }

    // Filter types 0 all, 1 with a supplier receipt, 2 transferred; the search
    // is a case-blind expression over address, ID, phone, e-mail and reference.
    void filterAndSearch()
    {
        writeOrder(O::Posted, "S1", {{"custAddr", "Ann Lee\n3 Mill Lane"}, {"supplierRcpt", "RC-1"}, {"apmnt", apmnt(3)}});
        writeOrder(O::Posted, "S2", {{"custPhone", "07700 900 123"}, {"manOrderID", "ref-77"}, {"xto", "22"}, {"apmnt", apmnt(2)}});
        writeOrder(O::Posted, "S3", {{"custEmail", "x@example.org"}, {"apmnt", apmnt(1)}});
        SavedOrders saved;
        saved.getPosted();
        const QList<std::tuple<int, QString, QStringList>> cases = {
            {0, "", {"S1", "S2", "S3"}}, {1, "", {"S1"}}, {2, "", {"S2"}}, {0, "mill LANE", {"S1"}}, {0, "s3", {"S3"}},
            {0, "07700900", {"S2"}}, {0, "example\\.org", {"S3"}}, {0, "REF-7", {"S2"}}, {0, "(ref", {}},
            {1, "lane", {"S1"}}, {2, "lane", {}}};
        for (const auto &[filterType, pattern, expected] : cases) {
            saved.postedFilter(filterType);
            saved.search(pattern);
            QCOMPARE(visibleIds(saved, S::PostedList), expected);
        }
    }

    void purge_data()
    {
        QTest::addColumn<QVariant>("days");
        QTest::addColumn<bool>("backup");
        QTest::addColumn<QStringList>("kept");
        // sent orders: the settings screen's default, and stored values held to its range
        QTest::newRow("sent default 180") << QVariant() << false << QStringList{"age2", "age4", "age59", "age70"};
        QTest::newRow("sent 1 is 60") << QVariant(1) << false << QStringList{"age2", "age4", "age59"};
        QTest::newRow("sent 1000 is 365") << QVariant(1000) << false << QStringList{"age2", "age200", "age4", "age59", "age70"};
        QTest::newRow("backup default 40") << QVariant() << true << QStringList{"age2", "age4"};
        QTest::newRow("backup 0 is 3") << QVariant(0) << true << QStringList{"age2"};
    }

    void purge()
    {
        QFETCH(QVariant, days);
        QFETCH(bool, backup);
        QFETCH(QStringList, kept);
        const int state = backup ? O::Backup : O::Posted;
        for (int age : {2, 4, 59, 70, 200, 400})
            writeOrder(state, QStringLiteral("age%1").arg(age), {}, daysAgo(age));
        writeOrder(O::InProgress, "old", {}, daysAgo(400)); // another folder is never purged
        if (days.isValid())
            (backup ? AppContext::userSettings() : AppContext::sharedSettings())->setValue(backup ? "d2rb_i" : "d2r_i", days);
        SavedOrders saved;
        backup ? saved.getBackup() : saved.getPosted();
        QCOMPARE(QDir(AppContext::stateFolder(state)).entryList(QDir::Files, QDir::Name), kept);
        QVERIFY(saved.model(backup ? S::BackupList : S::PostedList)->count() == kept.size() && QFile::exists(pathIn(O::InProgress, "old")));
    }

    void durationText()
    {
        for (const auto &c : QList<QPair<int, QString>>{{0, ""}, {45, "45 mins"}, {60, "1 hour"}, {61, "1 hour 1 mins"},
                 {90, "1.5 hrs"}, {120, "2 hrs"}, {135, "2 hrs 15 mins"}, {150, "2.5 hrs"}})
            QCOMPARE(SavedOrders::durationText(c.first), c.second);
    }

    void infoText()
    {
        AppContext::userSettings()->setValue(QStringLiteral("users"), QStringList{"Bob", "Sue"});
        AppContext::userSettings()->setValue(QStringLiteral("uidList"), QStringList{"21", "22"});
        const QDateTime when = QDateTime::fromString(apmnt(9), Qt::ISODateWithMs);
        writeOrder(O::InProgress, "Q1", {{"confirm", true}, {"apmnt", apmnt(9)}, {"apmins", 90},
                                         {"apType", "Survey"}, {"custAddr", "Ann Lee\n3 Mill Lane"},
                                         {"custPhone", "0113 496 0000"}, {"orderNotes", "Dog\nGate code 12"}});
        SavedOrders saved;
        QCOMPARE(saved.infoText("Q1", O::InProgress),
                 "<h6>Q1 <font color=\"blue\" >Confirmed Order</font></h6><font color=\"#404142\" size=\"3\">"
                 "<h5><u>Survey Appointment</u></h5>" + when.toString("ddd d MMM h:mm")
                     + " [1.5 hrs]<br><h5><u>Customer</u></h5>Ann Lee<br>3 Mill Lane<br>0113 496 0000"
                       "<h5><u>Notes</u></h5>Dog<br>Gate code 12</font>");
        writeOrder(O::Received, "Q2", {{"xfrom", "21"}, {"custAddr", "Ann"}});
        QCOMPARE(saved.infoText("Q2", O::Received),
                 QStringLiteral("<h6>Q2 <font color=\"black\" >Transferred Order</font></h6><font color=\"#404142\" "
                                "size=\"3\">From: Bob<h5><u>Customer</u></h5>Ann</font>"));
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("^Couldn't open order")));
        QVERIFY(saved.infoText("Q1", O::Posted).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSavedOrders)
#include "tst_savedorders.moc"
