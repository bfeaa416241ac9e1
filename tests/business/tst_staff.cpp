// The staff list: validation, IDs, stored entries and lists, and access codes
// published to a real S3-compatible server (npm s3rver) and signed in with.
#include "business/staffmanager.h"
#include "cloud/cloudcomms.h"
#include "cloudfixture.h"
#include "testzip.h"

#include <QDate>
#include <QRegularExpression>

namespace {
const QString kAcc = "acc@example.com";
appSettings *shared() { return AppContext::sharedSettings(); }
appSettings *user() { return AppContext::userSettings(); }
} // namespace

class TestStaff : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_data;
    S3TestServer m_s3;
    CloudFixture::Store m_store;

    QByteArray object(const QString &key) { return m_store.get(key, "vexatimecodes"); }
    void put(const QString &key, const QByteArray &body, const char *bucket = "lattica") { QCOMPARE(m_store.put(key, body, bucket), QString()); }
    // Administrator and one surveyor, as a registration leaves them.
    std::unique_ptr<StaffManager> twoStaff()
    {
        std::unique_ptr<StaffManager> staff(new StaffManager);
        staff->updateStaff(-1, "", "Admin", "Administrator");
        staff->updateStaff(-1, "", "JS", "Jo Smith");
        return staff;
    }

private slots:
    void initTestCase()
    {
        TestEnv::initApp();
        QVERIFY2(m_s3.start({"lattica", "vexatimecodes"}), qPrintable(m_s3.error()));
        m_store.open(m_s3);
        put(kAcc + "/enc", encryptText("pw").toBase64());
        put(kAcc + "/nxtdev", "4");
        put("0_cfg/V3VexaData.zip", TestZip::make({{"prod.ini", "universal"}}));
        put("0_cfg/VexaCfg.zip", TestZip::make({{"edi.cfg", "[General]\n"}}));
        // a shared file that tries to redirect this installation elsewhere
        put("0_cfg/un.ini", "[General]\ncurrvers=1.8.0\nstorageHost_s=evil.example\n-credblock_s=1\ndatapath=/tmp/x\n");
    }
    void init()
    {
        m_data.reset(CloudFixture::freshDevice(m_s3));
        shared()->clear();
        user()->setValue("regem_s", kAcc);
    }

    void validation_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("shortName");
        QTest::addColumn<QString>("fullName");
        QTest::addColumn<QString>("error");
        QTest::newRow("new") << -1 << "  Al   B " << "Al Brown" << "";
        QTest::newRow("rename self") << 1 << "js" << "Jo Smith" << "";
        QTest::newRow("empty") << -1 << "   " << "" << "The short name must not be empty";
        QTest::newRow("same short name") << -1 << "js" << "" << "The short name js already exists";
        QTest::newRow("same full name") << -1 << "KL" << "JO SMITH" << "The full name JO SMITH already exists";
        for (const char *bad : {"A:B", "A,B", "A/B", "A\\B"})
            QTest::newRow(bad) << -1 << bad << "" << "The short name must not contain any of : , / \\";
        QTest::newRow("full name with comma") << -1 << "KL" << "Lee, Kim" << "The full name must not contain any of : , / \\";
        QTest::newRow("index outside") << 7 << "KL" << "" << "Internal error: invalid staffIndex";
    }
    void validation()
    {
        QFETCH(int, index);
        QFETCH(QString, shortName);
        QFETCH(QString, fullName);
        QFETCH(QString, error);
        auto staff = twoStaff();
        QCOMPARE(staff->updateStaff(index, "", shortName, fullName), error.isEmpty());
        QCOMPARE(staff->error(), error);
        const QStringList names = error.isEmpty() ? QStringList{"Admin", index == 1 ? "js" : "JS"} + (index == -1 ? QStringList{"Al B"} : QStringList())
                                                  : QStringList{"Admin", "JS"};
        QCOMPARE(staff->staffList(), names);
        // what is stored is what a fresh list reads back
        StaffManager reloaded;
        QCOMPARE(reloaded.staffList(), names);
        QCOMPARE(user()->value("users").toStringList(), names);
        QCOMPARE(user()->value("uidList").toStringList(), staff->staffIDList());
    }

    void idsNeverReused()
    {
        auto staff = twoStaff();
        QVERIFY(staff->updateStaff(-1, "", "C", ""));
        QVERIFY(!staff->removeStaff(2, "2"));
        QCOMPARE(staff->error(), QString("Internal error: invalid staffID"));
        QVERIFY(staff->removeStaff(2, "3"));
        QVERIFY(staff->updateStaff(-1, "", "D", ""));
        QCOMPARE(staff->staffIDList(), QStringList({"1", "2", "4"}));
        // without "maxID_s" (an older file) the next ID is still above all
        shared()->remove("maxID_s");
        shared()->setValue("staff/9", "Old:Old Hand::");
        shared()->setValue("staff/x", "Bad:entry");
        StaffManager reread;
        QCOMPARE(reread.staffIDList(), QStringList({"1", "2", "4", "9"})); // numeric order, faulty entry skipped
        QVERIFY(reread.updateStaff(-1, "", "E", ""));
        QCOMPARE(reread.staffIDList().last(), QString("10"));
        QCOMPARE(reread.nameFromID("9"), QString("Old"));
        QCOMPARE(reread.fullNameFromShortName("Old"), QString("Old Hand"));
    }

    void codesOverManyDraws()
    {
        StaffManager staff;
        static const QRegularExpression form("^[ABCDEFGHKMNPQRSTWXYZ](\\d{4})$");
        QSet<QChar> letters;
        int low = 9999, high = 0;
        for (int i = 0; i < 4000; ++i) {
            const QString code = staff.drawCode();
            const QRegularExpressionMatch m = form.match(code);
            QVERIFY2(m.hasMatch(), qPrintable(code));
            letters.insert(code.at(0));
            low = qMin(low, m.captured(1).toInt());
            high = qMax(high, m.captured(1).toInt());
        }
        QCOMPARE(letters.size(), 20);
        QVERIFY(low >= 1000 && high <= 9998 && high - low > 8000);
    }

    void publishAndSignIn()
    {
        auto staff = twoStaff();
        QVERIFY(staff->getStaffItem(0)->accessCode().isEmpty());
        QVERIFY(staff->staffConnectCode(0).startsWith("Failed"));
        QVERIFY(staff->staffConnectCode(5).isEmpty());
        user()->setValue("regem_s", "");
        QVERIFY(staff->staffConnectCode(1).startsWith("Failed"));
        user()->setValue("regem_s", kAcc);

        const QString message = staff->staffConnectCode(1);
        const QString code = staff->getStaffItem(1)->accessCode();
        QCOMPARE(message, QString("Access code <b>%1</b> will allow <b>JS</b><br> to use Lattica as a Surveyor.<br>"
                                  "This code expires after one day.<p>").arg(code));
        QCOMPARE(object(code), ("2,JS," + kAcc).toLatin1());
        QCOMPARE(shared()->value("staff/2").toString(), "JS:Jo Smith:" + code + ":" + QString::number(QDate::currentDate().toJulianDay()));

        // the surveyor's device (fresh settings) signs in with the code
        shared()->sync();
        put(kAcc + "/st/lta.ini", TestEnv::readFile(AppContext::sharedSettingsFolder + "/lta.ini"));
        user()->remove("regem_s");
        CloudComms comms(nullptr);
        StaffManager onDevice;
        onDevice.connectTo(&comms);
        QCOMPARE(comms.registerStaff(code), "Connected to account " + kAcc);
        QCOMPARE(user()->value("users").toStringList(), QStringList({"Admin", "JS"})); // transfer targets
        // un.ini did not move this installation
        QCOMPARE(CloudFixture::userValues({"userID_s", "userName_s", "storageHost_s", "datapath", "currver"}),
                 QStringList({"JS", "Jo Smith", "127.0.0.1", m_data->path(), "10800"}));
        QVERIFY(user()->contains("credblock_s"));
    }

    // a short name is anybody's text: shown as itself in the rich-text popup
    void accessCodeMessageShowsNameAsText()
    {
        std::unique_ptr<StaffManager> staff(new StaffManager);
        staff->updateStaff(-1, "", "Admin", "Administrator");
        QVERIFY(staff->updateStaff(-1, "", "<img src=x>J&S", "Jo Smith"));
        const QString message = staff->staffConnectCode(1);
        QVERIFY2(message.contains("will allow <b>&lt;img src=x&gt;J&amp;S</b><br>"), qPrintable(message));
        QVERIFY(!message.contains("<img"));
        QCOMPARE(object(staff->getStaffItem(1)->accessCode()), ("2,<img src=x>J&S," + kAcc).toUtf8());
    }

    void collisionDrawsAgain()
    {
        put("A1000", "7,XY,other@example.com", "vexatimecodes");
        auto staff = twoStaff();
        QList<quint32> draws{0, 0, 1, 1}; // A1000, then B1001
        staff->setGenerator([&draws](quint32) { return draws.isEmpty() ? 0u : draws.takeFirst(); });
        QVERIFY(staff->staffConnectCode(1).startsWith("Access code <b>B1001</b>"));
        QCOMPARE(object("A1000"), QByteArray("7,XY,other@example.com"));
        QCOMPARE(object("B1001"), ("2,JS," + kAcc).toLatin1());
    }

    void commandLine()
    {
        auto run = [](const QStringList &args, int rc) {
            QByteArray out;
            [&] { QCOMPARE(CloudFixture::runCli(QStringList{"staff"} + args, &out, QByteArray(), true), rc); }();
            return QString::fromUtf8(out).trimmed();
        };
        user()->sync();
        twoStaff();
        QCOMPARE(run({"add", "KL", "Kim Lee"}, 0), QString("3"));
        QCOMPARE(run({"add", "kl"}, 1), QString("The short name kl already exists"));
        QVERIFY(run({"code", "1"}, 1).startsWith("Failed"));
        QVERIFY(run({"code", "3"}, 0).startsWith("Access code <b>"));
        const QStringList rows = run({"list"}, 0).split('\n');
        QCOMPARE(rows.size(), 3);
        QVERIFY(rows.at(2).startsWith("{\"accessCode\":\""));
        QVERIFY(rows.at(2).contains("\"shortName\":\"KL\",\"staffID\":\"3\"}"));
        QCOMPARE(run({"remove", "3"}, 0), QString());
        QCOMPARE(run({"list"}, 0).split('\n').size(), 2);
    }

    void expired()
    {
        const qint64 today = QDate::currentDate().toJulianDay();
        CloudFixture::setValues(shared(), {{"staff/1", "Admin:Administrator::"}, {"staff/2", QString("JS:Jo Smith:K1234:%1").arg(today - 1)},
                                           {"staff/3", QString("KL:Kim Lee:M4321:%1").arg(today)}});
        StaffManager staff;
        QCOMPARE(QStringList({staff.getStaffItem(0)->codeState(), staff.getStaffItem(1)->codeState(), staff.getStaffItem(2)->codeState()}),
                 QStringList({"", "Expired", ""}));
    }
};

QTEST_GUILESS_MAIN(TestStaff)
#include "tst_staff.moc"
