// Everything in the store may have been written by anyone holding the
// storage key, and order files come from other users: settings from the
// store are business keys only, links are web pages, a failed unpack is
// tried again, a transfer's recipient cannot point outside the account, and
// outside text reaches rich text escaped. Against a real S3-compatible
// server (npm s3rver) on 127.0.0.1.
#include "app/externalopen.h"
#include "business/businessconfig.h"
#include "cloud/cloudcomms.h"
#include "cloud/dcloudcomms.h"
#include "cloudfixture.h"
#include "orders/vexaorder.h"
#include "testzip.h"

namespace {
const QString kAcc = "acc@example.com";
const QString kDigest = QString(64, 'a');
QStringList user(const QStringList &keys) { return CloudFixture::userValues(keys); }
QString today() { return QDate::currentDate().toString(Qt::ISODate); }

// Installation and identity keys the store tries to set, in several spellings.
const QByteArray kPlanted = "ltaurl=http://127.0.0.1:9/steal\nLTAURL=http://127.0.0.1:9/upper\n"
                            "installCmd_s=/bin/sh\ninstallurl=http://127.0.0.1:9/evil\nimp=/tmp/planted.json\n"
                            "regem_s=victim@example.com\nuserID_s=Mallory\ncontroller=false\ndatapath=/tmp/elsewhere\n"
                            "supportemail=thief@example.com\nstorageHost_s=evil.example\nallweddi=00\n"
                            "termsurl=javascript:alert(1)\nordpre=../../x\n"
                            "[postJournal]\nA1=sent\n";
const QStringList kGuarded{"ltaurl", "LTAURL", "installCmd_s", "installurl", "imp", "regem_s", "userID_s",
                           "controller", "datapath", "supportemail", "storageHost_s", "allweddi", "notifyurl",
                           "termsurl", "ordpre", "postJournal/A1"};
} // namespace

class TestUntrustedInput : public QObject
{
    Q_OBJECT
    S3TestServer m_s3;
    std::unique_ptr<QTemporaryDir> m_data;
    CloudFixture::Store m_store;
    QStringList m_guardedBefore;

    void put(const QString &key, const QByteArray &body) { QVERIFY2(m_store.put(key, body).isEmpty(), qPrintable(key)); }

private slots:
    void initTestCase()
    {
        TestEnv::initApp();
        QVERIFY2(m_s3.start({"lattica"}), qPrintable(m_s3.error()));
        m_store.open(m_s3);
    }

    void init()
    {
        m_data.reset(CloudFixture::freshDevice(m_s3));
        CloudFixture::setUser({{"regem_s", kAcc}, {"userID_s", "JS"}, {"controller", true}, {"allweddi", CloudFixture::sealed()},
                               {"ltaurl", "http://127.0.0.1:1/mail"}, {"postcheck", today()}});
        AppContext::sharedSettings()->clear();
        AppContext::sharedSettings()->sync();
        m_guardedBefore = user(kGuarded);
        m_s3.take();
    }

    // values.cfg of a configuration archive: business keys in any letter
    // case arrive under their own spelling, nothing else does
    void configurationArchiveSetsBusinessKeysOnly()
    {
        put(kAcc + "/VexaCfg.zip", TestZip::make({{"values.cfg", "[General]\nORDERSEMAIL=orders@supplier.test\nattachxml_b=yes\n"
                                                                  "notifytitle=News\n" + kPlanted}}));
        CloudComms comms(nullptr);
        QCOMPARE(comms.checkForData("VexaCfg"), 1);
        loadBusinessConfig();
        QCOMPARE(user({"ordersemail", "attachXml_b", "notifytitle"}), QStringList({"orders@supplier.test", "true", "News"}));
        QCOMPARE(user(kGuarded), m_guardedBefore);
        QVERIFY(!AppContext::userSettings()->contains("ORDERSEMAIL"));
    }

    // un.ini, shared by every installation: the same list, removals included
    void universalSettingsSetBusinessKeysOnly()
    {
        put("0_cfg/un.ini", "[General]\ncurrvers=3.12.7\nnotifyurl=https://news.example/1\nInstallSha256_s=" + kDigest.toLatin1()
                                + "\n-regem_s=\n-LTAURL=\n-ltaurl=\n" + kPlanted);
        CloudComms comms(nullptr);
        comms.downloadUniversalSettings();
        QCOMPARE(user({"currver", "notifyurl", "installsha256_s"}), QStringList({"31207", "https://news.example/1", kDigest}));
        QStringList expected = m_guardedBefore;
        expected[kGuarded.indexOf("notifyurl")] = "https://news.example/1";
        QCOMPARE(user(kGuarded), expected);
    }

    // an account's lta.ini, as sign-in and the settings sync bring it: the
    // business's own groups stay, nothing else
    void sharedSettingsFromStoreKeepBusinessGroupsOnly_data()
    {
        QTest::addColumn<bool>("signIn");
        QTest::newRow("sign-in") << true;
        QTest::newRow("settings sync") << false;
    }
    void sharedSettingsFromStoreKeepBusinessGroupsOnly()
    {
        QFETCH(bool, signIn);
        put(kAcc + "/st/lta.ini", "[General]\nsuppAccnts_sl=C123456\nvat_rate=20\ncuo_s=javascript:alert(1)\n" + kPlanted
                                      + "[staff]\n2=JS:Jo Smith\n[busNames]\nC123456=Acme\n[C123456]\nHead Office=1001\n"
                                        "[C123456_m]\nHead Office=Main\n[bogus]\nx=1\n");
        if (signIn) {
            put(kAcc + "/enc", encryptText("pw").toBase64());
            put(kAcc + "/nxtdev", "3");
            put("0_cfg/V3VexaData.zip", TestZip::make({{"prod.ini", "x"}}));
            put("0_cfg/VexaCfg.zip", TestZip::make({{"edi.cfg", "[General]\n"}}));
            put("0_cfg/un.ini", "[General]\ncurrvers=1.0.0\n");
            CloudComms comms(nullptr);
            QCOMPARE(comms.registerAtLTA(kAcc, "", "pw", true), QString());
            // what signing in itself sets
            m_guardedBefore[kGuarded.indexOf("userID_s")] = "Admin";
        } else {
            QTest::qWait(1100); // the copy in the store is newer than this device's
            put(kAcc + "/st/lta.ini", m_store.get(kAcc + "/st/lta.ini"));
            put(kAcc + "/mod/st", "");
            AppContext::userSettings()->setValue("controller", false);
            DCloudComms sync;
            QVERIFY2(sync.syncSettings() >= 1, qPrintable(sync.syncResult()));
            AppContext::userSettings()->setValue("controller", true);
            AppContext::sharedSettings()->sync();
        }
        QStringList keys = AppContext::sharedSettings()->allKeys();
        keys.sort();
        QCOMPARE(keys, QStringList({"C123456/Head Office", "C123456_m/Head Office", "busNames/C123456", "staff/2",
                                    "suppAccnts_sl", "vat_rate"}));
        QCOMPARE(user(kGuarded), m_guardedBefore);
    }

    // links handed to the desktop: web pages and our own folders only
    void linksOpenedAreWebPagesOnly_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("opened");
        QTest::newRow("https") << "https://lattica.app/news" << true;
        QTest::newRow("http") << "http://example.com/" << true;
        QTest::newRow("local folder") << QUrl::fromLocalFile(QDir::tempPath()).toString() << true;
        QTest::newRow("local file") << QUrl::fromLocalFile(QCoreApplication::applicationFilePath()).toString() << false;
        QTest::newRow("javascript") << "javascript:alert(1)" << false;
        QTest::newRow("smb share") << "smb://host/share/setup.exe" << false;
        QTest::newRow("ftp") << "ftp://example.com/x" << false;
        QTest::newRow("https without host") << "https:///x" << false;
        QTest::newRow("custom scheme") << "ms-settings:privacy" << false;
    }
    void linksOpenedAreWebPagesOnly()
    {
        QFETCH(QString, address);
        QFETCH(bool, opened);
        QList<QUrl> handed;
        setExternalOpener([&handed](const QUrl &url) { return handed << url, true; });
        QCOMPARE(openExternally(QUrl(address)), opened);
        setExternalOpener({});
        QCOMPARE(handed.size(), int(opened));
    }

    // the documents the program prints open in the desktop's viewer; nothing
    // else that lies about as a file does
    void printedDocumentsOpen()
    {
        const QString print = AppContext::dataFolder + "/print/";
        for (const char *name : {"Order_Q1.html", "Quote_Q1.pdf", "run.sh", "Quote_Q1.desktop"})
            QVERIFY(TestEnv::writeFile(print + name, "x"));
        QVERIFY(TestEnv::writeFile(AppContext::dataFolder + "/tmp/Quote_Q2.pdf", "x"));
        QVERIFY(QFile::link(AppContext::dataFolder + "/tmp/Quote_Q2.pdf", print + "Linked.pdf"));
        const QList<QPair<QString, bool>> cases{{print + "Order_Q1.html", true}, {print + "Quote_Q1.pdf", true},
                                                {print + "run.sh", false}, {print + "Quote_Q1.desktop", false},
                                                {print + "Linked.pdf", false}, {print + "Missing.pdf", false},
                                                {AppContext::dataFolder + "/tmp/Quote_Q2.pdf", false}};
        for (const auto &c : cases) {
            QList<QUrl> handed;
            setExternalOpener([&handed](const QUrl &url) { return handed << url, true; });
            QCOMPARE(openExternally(QUrl::fromLocalFile(c.first)), c.second);
            setExternalOpener({});
            QVERIFY2(handed.size() == int(c.second), qPrintable(c.first));
        }
    }

    // a failed unpack leaves no stamp, so the next check fetches again
    void failedUnpackIsFetchedAgain()
    {
        put(kAcc + "/VexaCfg.zip", "this is no archive, although long enough");
        CloudComms comms(nullptr);
        const QString stamp = AppContext::setting("VexaCfg").toString();
        QCOMPARE(comms.checkForData("VexaCfg"), -1);
        QCOMPARE(AppContext::setting("VexaCfg").toString(), stamp);
        m_s3.take();
        QCOMPARE(comms.checkForData("VexaCfg"), -1);
        QVERIFY2(comms.lastMessage().startsWith("Invalid data from the cloud"), qPrintable(comms.lastMessage()));
        const QList<QJsonObject> asked = m_s3.take();
        QVERIFY(asked.size() == 1 && !asked.first().value("headers").toObject().contains("if-modified-since"));

        put(kAcc + "/VexaCfg.zip", TestZip::make({{"values.cfg", "[General]\ncrncy=EUR\n"}}));
        QCOMPARE(comms.checkForData("VexaCfg"), 1);
        QVERIFY(AppContext::setting("VexaCfg").toString().endsWith(" GMT"));
        QCOMPARE(comms.checkForData("VexaCfg"), 0);
    }

    // a transfer's recipient comes from the order file: it names a folder of
    // this account or nothing is stored
    void transferRecipientStaysInAccount()
    {
        const QString file = AppContext::stateFolder(VexaOrder::ForTransfer) + "X1";
        QByteArray order = R"({"orderID":"X1","xto":"../../victim@example.com/st","custAddr":"Mr X","items":[]})";
        QVERIFY(TestEnv::writeFile(file, order + QByteArray(100, ' ')));
        AppContext::sharedSettings()->setValue("staff/2", "JS:Jo Smith");
        CloudComms comms(nullptr);
        QSignalSpy finished(&comms, &CloudComms::postingFinished);
        comms.asyncPostOrders();
        QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), 20000);
        QCOMPARE(finished.first().at(0).toBool(), false);
        for (const QJsonObject &r : m_s3.take())
            QVERIFY2(r.value("method").toString() != "PUT", qPrintable(r.value("url").toString()));
        QVERIFY(QFile::exists(file));
        QCOMPARE(m_store.get("victim@example.com/st/X1"), QByteArray("<missing>"));
    }

    // the business name from the supplier's file and the first line of an
    // imported order's customer are shown as text in rich-text messages
    void outsideTextIsEscaped()
    {
        put("0_cfg/V3VexaData.zip", TestZip::make({{"prod.ini", "x"}}));
        put("0_cfg/VexaCfg.zip", TestZip::make({{"edi.cfg", "[General]\n"}}));
        put("0_cfg/un.ini", "[General]\ncurrvers=1.0.0\n");
        CloudComms comms(nullptr);
        comms.business.fetchAccountAddresses = [](const QString &account) {
            AppContext::sharedSettings()->setValue("busNames/" + account, "<img src=x onerror=alert(1)>Acme & Co");
            return QString();
        };
        comms.staff.refreshStaffList = [] {};
        comms.staff.addStaff = [](const QString &, const QString &) { return true; };
        comms.staff.fullNameFromShortName = [](const QString &) { return QString(); };
        QCOMPARE(comms.registerAtLTA("new@example.com", "C123456", "pw", false),
                 QString("Company Name:<br>&lt;img src=x onerror=alert(1)&gt;Acme &amp; Co"));

        VexaOrder order;
        QByteArray json = R"({"orderID":"IMP-1","custAddr":"<b onclick=x>Evil</b> & Co\n1 Road","orderState":1,"items":[]})";
        json += QByteArray(200, ' ');
        QVERIFY(TestEnv::writeFile(AppContext::stateFolder(VexaOrder::Received) + "IMP-1", json));
        QTemporaryDir elsewhere;
        QVERIFY(TestEnv::writeFile(elsewhere.path() + "/IMP-1.json", json));
        QSignalSpy exists(&order, &VexaOrder::openOrderExist);
        order.incomingOrderFile(elsewhere.path() + "/IMP-1.json");
        QCOMPARE(exists.size(), 1);
        const QString message = exists.first().at(3).toString();
        QVERIFY2(message.startsWith("This order for customer: <b>&lt;b onclick=x&gt;Evil&lt;/b&gt; &amp; Co</b><br>"),
                 qPrintable(message));
    }
};

QTEST_GUILESS_MAIN(TestUntrustedInput)
#include "tst_untrustedinput.moc"
