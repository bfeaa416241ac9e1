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

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopedPointer>
#include <QtTest>

namespace {

using O = VexaOrder;
using S = SavedOrders;

QString pathIn(int state, const QString &id)
{
    return AppContext::stateFolder(state) + id;
}

void writeOrder(int state, const QString &id, QJsonObject obj = {}, int ageDays = 0)
{
    obj.insert(QStringLiteral("orderID"), id);
    QVERIFY(TestEnv::writeFile(pathIn(state, id), QJsonDocument(obj).toJson(QJsonDocument::Compact)));
    if (ageDays)
        QVERIFY(setModified(pathIn(state, id), QDateTime::currentDateTime().addDays(-ageDays)));
}

// The rows of a list as the interface shows them, through its proxy.
QStringList visibleIds(const SavedOrders &saved, SavedOrders::List list)
{
    QStringList ids;
    const QSortFilterProxyModel *proxy = saved.proxy(list);
    for (int row = 0; row < proxy->rowCount(); ++row)
        ids << saved.model(list)->get(proxy->mapToSource(proxy->index(row, 0)).row())->orderID();
    return ids;
}

// Lines printed by `lattica-cli orders list ARGS` (standard error when it fails).
QList<QByteArray> cliList(const QStringList &args, int expectedExit = 0)
{
    QProcess cli;
    cli.start(QStringLiteral(LTA_BINARY_DIR "/src/lattica-cli"), QStringList{"orders", "list"} + args);
    if (!cli.waitForFinished(30000) || cli.exitCode() != expectedExit)
        return {"unexpected exit"};
    return (expectedExit ? cli.readAllStandardError() : cli.readAllStandardOutput()).trimmed().split('\n');
}

} // namespace

class TestSavedOrders : public QObject
{
    Q_OBJECT
    QScopedPointer<QTemporaryDir> m_data;

private slots:
    void initTestCase() { TestEnv::initApp(); }
    void cleanup() { m_data.reset(); }
    void init()
    {
        m_data.reset(TestEnv::freshDataFolder());
        for (const char *key : {"srtOrder_b", "d2rb_i", "users", "uidList", "userID_s", "userName_s"})
            AppContext::userSettings()->remove(QLatin1String(key));
        AppContext::sharedSettings()->remove(QStringLiteral("d2r_i"));
    }

    // The application's lists and the command-line listing show the same rows.
    void listsFollowFolders()
    {
        writeOrder(O::Received, "R1");
        writeOrder(O::InProgress, "I1");
        writeOrder(O::InProgress, "I2");
        writeOrder(O::ForPosting, "P1", {{"custAddr", "Ann Lee\n3 Mill Lane"}, {"apmnt", "2026-12-09T09:15:00.000"}});
        writeOrder(O::ForTransfer, "X1", {{"xto", "22"}, {"apmnt", "2026-12-10T09:15:00.000"}});
        writeOrder(O::Posted, "OLD", {}, 400);
        writeOrder(O::Backup, "S0-b");
        QVERIFY(TestEnv::writeFile(pathIn(O::InProgress, "broken"), "{not json"));

        QStringList rows; // "ID state", every list, broken files left out
        for (const QByteArray &line : cliList({"--data", m_data->path()})) {
            const QJsonObject row = QJsonDocument::fromJson(line).object();
            rows << row.value("orderID").toString() + ' ' + QString::number(row.value("orderState").toInt());
        }
        rows.sort();
        QCOMPARE(rows, QString("I1 2|I2 2|OLD 4|P1 3|R1 1|S0-b 7|X1 5").split('|'));
        QVERIFY(QFile::exists(pathIn(O::Posted, "OLD"))); // listing never purges
        const QList<QByteArray> topost = cliList({"--data", m_data->path(), "--state", "topost"});
        QCOMPARE(topost.size(), 2);
        QCOMPARE(QJsonDocument::fromJson(topost.at(0)).object().value("orderID").toString(), QStringLiteral("X1"));
        QCOMPARE(QJsonDocument::fromJson(topost.at(1)).object(),
                 (QJsonObject{{"orderID", "P1"}, {"orderState", int(O::ForPosting)}, {"custAddr", "Ann Lee,3 Mill Lane"},
                              {"sortDate_s", QDate(2026, 12, 9).toString("ddd d MMM")},
                              {"appTime", QTime(9, 15).toString("h:mm a")}}));
        QVERIFY(cliList({"--data", m_data->path(), "--state", "lost"}, 2).value(0).contains("unknown state"));

        SavedOrders saved;
        saved.getToPost();
        QCOMPARE(saved.model(S::ToPostList)->get(1)->xto, QStringLiteral("22"));
        QFile::remove(pathIn(O::ForPosting, "P1")); // reloading replaces the rows
        saved.getToPost();
        QCOMPARE(saved.model(S::ToPostList)->count(), 1);
    }

    void sortByAppointmentOrFileTime()
    {
        writeOrder(O::InProgress, "A",
                   {{"apmnt", "2026-12-10T14:30:00.000"}, {"apType", "FITTING"}, {"custAddr", "Ann Lee\n3 Mill Lane"}});
        writeOrder(O::InProgress, "B");
        QVERIFY(setModified(pathIn(O::InProgress, "B"), QDateTime(QDate(2026, 12, 5), QTime(9, 0))));
        writeOrder(O::InProgress, "C", {{"apmnt", "2026-12-01T08:00:00.000"}});
        SavedOrders saved;
        saved.getInProgress();
        QCOMPARE(visibleIds(saved, S::InProgressList), (QStringList{"A", "B", "C"}));
        saved.sortLists(true);
        QCOMPARE(visibleIds(saved, S::InProgressList), (QStringList{"C", "B", "A"}));
        const SavedItem *a = saved.model(S::InProgressList)->get(0), *b = saved.model(S::InProgressList)->get(1);
        QVERIFY(a->fitting());
        QVERIFY(b->appTime().isEmpty());
        QCOMPARE(b->sortDate(), QDateTime(QDate(2026, 12, 5), QTime(9, 0)));

        AppContext::userSettings()->setValue(QStringLiteral("srtOrder_b"), true);
        SavedOrders ascending;
        ascending.getInProgress();
        QCOMPARE(visibleIds(ascending, S::InProgressList), (QStringList{"C", "B", "A"}));
    }

    void filterAndSearch_data()
    {
        QTest::addColumn<int>("filterType");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("all") << 0 << "" << QStringList{"S1", "S2", "S3"};
        QTest::newRow("with receipt") << 1 << "" << QStringList{"S1"};
        QTest::newRow("with transfer") << 2 << "" << QStringList{"S2"};
        QTest::newRow("address") << 0 << "mill LANE" << QStringList{"S1"};
        QTest::newRow("order id") << 0 << "s3" << QStringList{"S3"};
        QTest::newRow("phone") << 0 << "07700900" << QStringList{"S2"};
        QTest::newRow("phone blanks") << 0 << "07700 900" << QStringList();
        QTest::newRow("e-mail") << 0 << "example\\.org" << QStringList{"S3"};
        QTest::newRow("reference") << 0 << "REF-7" << QStringList{"S2"};
        QTest::newRow("expression") << 0 << "^s[12]$" << QStringList{"S1", "S2"};
        QTest::newRow("half-typed") << 0 << "(ref" << QStringList();
        QTest::newRow("and filter") << 1 << "lane" << QStringList{"S1"};
        QTest::newRow("other filter") << 2 << "mill" << QStringList();
    }

    void filterAndSearch()
    {
        QFETCH(int, filterType);
        QFETCH(QString, pattern);
        QFETCH(QStringList, expected);
        writeOrder(O::Posted, "S1",
                   {{"custAddr", "Ann Lee\n3 Mill Lane"}, {"supplierRcpt", "RC-1"}, {"apmnt", "2026-12-03T10:00:00.000"}});
        writeOrder(O::Posted, "S2", {{"custPhone", "07700 900 123"}, {"manOrderID", "ref-77"}, {"xto", "22"},
                                     {"apmnt", "2026-12-02T10:00:00.000"}});
        writeOrder(O::Posted, "S3", {{"custEmail", "x@example.org"}, {"apmnt", "2026-12-01T10:00:00.000"}});
        SavedOrders saved;
        saved.getPosted();
        saved.postedFilter(filterType);
        saved.search(pattern);
        QCOMPARE(visibleIds(saved, S::PostedList), expected);
    }

    void purge_data()
    {
        QTest::addColumn<QVariant>("days");
        QTest::addColumn<bool>("backup");
        QTest::addColumn<QStringList>("kept");
        QTest::newRow("sent default 60") << QVariant() << false << QStringList{"age2", "age4", "age59"};
        QTest::newRow("sent 1 is 3") << QVariant(1) << false << QStringList{"age2"};
        QTest::newRow("sent 10") << QVariant(10) << false << QStringList{"age2", "age4"};
        QTest::newRow("backup default 40") << QVariant() << true << QStringList{"age2", "age4"};
        QTest::newRow("backup 0 is 3") << QVariant(0) << true << QStringList{"age2"};
    }

    void purge()
    {
        QFETCH(QVariant, days);
        QFETCH(bool, backup);
        QFETCH(QStringList, kept);
        const int state = backup ? O::Backup : O::Posted;
        for (int age : {2, 4, 59, 70})
            writeOrder(state, QStringLiteral("age%1").arg(age), {}, age);
        writeOrder(O::InProgress, "old", {}, 400); // another folder is never purged
        if (days.isValid() && backup)
            AppContext::userSettings()->setValue(QStringLiteral("d2rb_i"), days);
        else if (days.isValid())
            AppContext::sharedSettings()->setValue(QStringLiteral("d2r_i"), days);
        SavedOrders saved;
        backup ? saved.getBackup() : saved.getPosted();
        QCOMPARE(QDir(AppContext::stateFolder(state)).entryList(QDir::Files, QDir::Name), kept);
        QCOMPARE(saved.model(backup ? S::BackupList : S::PostedList)->count(), kept.size());
        QVERIFY(QFile::exists(pathIn(O::InProgress, "old")));
    }

    void durationText_data()
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

    void durationText()
    {
        QFETCH(int, minutes);
        QFETCH(QString, text);
        QCOMPARE(SavedOrders::durationText(minutes), text);
    }

    void infoText()
    {
        AppContext::userSettings()->setValue(QStringLiteral("users"), QStringList{"Bob", "Sue"});
        AppContext::userSettings()->setValue(QStringLiteral("uidList"), QStringList{"21", "22"});
        const QDateTime when(QDate(2026, 12, 9), QTime(9, 15));
        writeOrder(O::InProgress, "Q1", {{"confirm", true}, {"apmnt", when.toString(Qt::ISODateWithMs)}, {"apmins", 90},
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
        const QString uuid = QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e");
        writeOrder(O::Posted, uuid, {{"supplierRcpt", "R"}});
        QCOMPARE(saved.infoText(uuid, O::Posted), QStringLiteral("<h5><u>Customer</u></h5></font>"));

        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("^Invalid orderState")));
        QVERIFY(saved.infoText("Q1", 9).isEmpty());
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("^Couldn't open order")));
        QVERIFY(saved.infoText("Q1", O::Posted).isEmpty());
    }

    void deleteOrder()
    {
        writeOrder(O::ForTransfer, "D1", {{"custName", "Kim"}});
        const QByteArray content = TestEnv::readFile(pathIn(O::ForTransfer, "D1"));
        SavedOrders saved;
        QVERIFY(saved.deleteOrder("D1"));
        QVERIFY(!QFile::exists(pathIn(O::ForTransfer, "D1")));
        QCOMPARE(TestEnv::readFile(pathIn(O::Backup, "D1-b")), content);
        writeOrder(O::Received, "D2"); // received orders are not among the folders searched
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("^Failed to find order in any folder")));
        QVERIFY(!saved.deleteOrder("D2"));
        QVERIFY(QFile::exists(pathIn(O::Received, "D2")));
    }
};

QTEST_GUILESS_MAIN(TestSavedOrders)
#include "tst_savedorders.moc"
