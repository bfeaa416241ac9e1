// Settings sync between devices of one account on a real S3-compatible server
// (npm s3rver). Each device has its own data folder and settings stores; a
// small proxy of our own stands between one device and the server to fail an
// upload once or to be stopped.
#include "cloud/dcloudcomms.h"
#include "cloudfixture.h"

namespace {
const QString kAcc = "acc@example.com";

class ProxyServer : public ServerProcess
{
public:
    bool start(int target, const QString &failPut)
    {
        return ServerProcess::start("/usr/bin/python3",
                                    {TestEnv::sourcePath("tests/servers/faultproxy.py"), "--target",
                                     QString::number(target), "--fail-put", failPut},
                                    "PROXY");
    }
};

struct Device
{
    QTemporaryDir dir;
    std::unique_ptr<appSettings> user, shared;
    std::unique_ptr<DCloudComms> sync;
    QString root() const { return dir.path() + "/data"; }
    QString file(const QString &name) const { return root() + "/st/" + name; }
    qint64 st() const { return user->value("st", 0).toLongLong(); }
};
} // namespace

class TestDCloudComms : public QObject
{
    Q_OBJECT
    S3TestServer m_s3;
    std::unique_ptr<QTemporaryDir> m_data;
    CloudFixture::Store m_store;

    // A device signed in to the account; port: reach storage through it.
    std::unique_ptr<Device> device(bool controller, const QString &email = kAcc, int port = 0)
    {
        std::unique_ptr<Device> d(new Device);
        QDir().mkpath(d->root() + "/st");
        d->user.reset(new appSettings(d->dir.path() + "/user.ini", QSettings::IniFormat));
        d->shared.reset(new appSettings(d->file("lta.ini"), QSettings::IniFormat));
        CloudFixture::setValues(d->user.get(), {{"regem_s", email}, {"controller", controller}, {"allweddi", CloudFixture::sealed()}});
        AppContext::userSettings()->setValue("storagePort_i", port ? port : m_s3.port());
        d->sync.reset(new DCloudComms({d->root(), d->user.get(), d->shared.get()}));
        AppContext::userSettings()->setValue("storagePort_i", m_s3.port());
        return d;
    }
    QByteArray object(const QString &name) { return m_store.get(kAcc + "/st/" + name); }
    void put(const QString &name, const QByteArray &body, bool mark = true)
    {
        QCOMPARE(m_store.put(kAcc + "/st/" + name, body), QString());
        if (mark) {
            QTest::qWait(1100); // the marker's time has whole seconds
            QCOMPARE(m_store.put(kAcc + "/mod/st", ""), QString());
        }
    }
    // "METHOD path" of the storage requests since the last call.
    QStringList requests()
    {
        QStringList out;
        for (const QJsonObject &r : m_s3.take())
            out << r.value("method").toString() + " " + QUrl::fromPercentEncoding(r.value("url").toString().section('?', 0, 0).toUtf8());
        return out;
    }

private slots:
    void initTestCase()
    {
        TestEnv::initApp();
        QVERIFY2(m_s3.start({"lattica"}), qPrintable(m_s3.error()));
        m_data.reset(TestEnv::freshDataFolder());
        m_s3.useInSettings();
        m_store.open(m_s3);
    }

    void controllerAndStaff()
    {
        auto a = device(true), b = device(false);
        // unsaved in the store: the sync must write it before its digest
        a->shared->setValue("vat_rate", 20);
        QCOMPARE(a->sync->syncSettings(), 1);
        QVERIFY(a->sync->syncResult().startsWith("Last sync: "));
        QVERIFY(object("lta.ini").contains("vat_rate=20"));
        QVERIFY(a->st() > 0);

        requests();
        QCOMPARE(a->sync->syncSettings(), 0);
        QCOMPARE(requests(), QStringList{"HEAD /lattica/" + kAcc + "/mod/st"});

        TestEnv::writeFile(b->file("stale.txt"), "staff only");
        QCOMPARE(b->sync->syncSettings(), 1);
        QCOMPARE(b->shared->value("vat_rate").toInt(), 20);
        QVERIFY(!QFile::exists(b->file("stale.txt"))); // the cloud is master on staff devices

        // controller -> staff again
        QTest::qWait(1100);
        a->shared->setValue("vat_rate", 5);
        QCOMPARE(a->sync->syncSettings(), 1);
        QCOMPARE(b->sync->syncSettings(), 1);
        QCOMPARE(b->shared->value("vat_rate").toInt(), 5);
        // cloud -> controller: a file another device added
        put("notes.txt", "from elsewhere");
        QCOMPARE(a->sync->syncSettings(), 1);
        QCOMPARE(TestEnv::readFile(a->file("notes.txt")), QByteArray("from elsewhere"));
        QCOMPARE(b->sync->syncSettings(), 1);

        // a deletion marker: removes the staff copy, but the controller's copy
        // edited after the deletion goes up again
        put("notes.txt", "");
        QFile touch(a->file("notes.txt"));
        QVERIFY(touch.open(QIODevice::ReadWrite));
        touch.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime);
        touch.close();
        QCOMPARE(b->sync->syncSettings(), 0);
        QVERIFY(!QFile::exists(b->file("notes.txt")));
        QTest::qWait(1100); // a marker touched in the same second is not seen as newer
        QCOMPARE(a->sync->syncSettings(), 1);
        QCOMPARE(object("notes.txt"), QByteArray("from elsewhere"));
        QCOMPARE(b->sync->syncSettings(), 1);
        QVERIFY(QFile::exists(b->file("notes.txt")));
    }

    void faults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("firstResult");
        QTest::addColumn<QString>("firstText");
        QTest::newRow("server stopped") << "stopped" << -1 << "Connection refused";
        QTest::newRow("failed upload retried") << "upload" << -1 << "Internal Server Error";
        QTest::newRow("no account e-mail") << "noemail" << -1 << "No account e-mail: settings are not synced";
        QTest::newRow("empty listing") << "emptylist" << 0 << "Last sync: ";
        QTest::newRow("unsafe cloud name") << "unsafe" << 1 << "Last sync: ";
    }

    void faults()
    {
        QFETCH(QString, fault);
        QFETCH(int, firstResult);
        QFETCH(QString, firstText);
        ProxyServer proxy;
        QVERIFY2(proxy.start(m_s3.port(), "retry.txt"), qPrintable(proxy.error()));
        const bool staff = fault == "noemail" || fault == "emptylist" || fault == "unsafe";
        const QString email = fault == "noemail" ? "" : fault == "emptylist" ? "nobody@example.com" : kAcc;
        auto d = device(!staff, email, proxy.port());
        TestEnv::writeFile(d->file("lta.ini"), "[General]\nd2r_i=30\n");
        if (fault == "stopped") {
            QVERIFY(d->sync->syncSettings() >= 0);
            proxy.stop(); // the marker's HEAD now fails
        }
        if (fault == "upload")
            TestEnv::writeFile(d->file("retry.txt"), "retry me");
        if (fault == "unsafe")
            put("..\\escape.ini", "outside");
        const qint64 stBefore = d->st();

        const int result = d->sync->syncSettings();
        if (firstResult > 0) // what else the shared test folder holds by now comes down too
            QVERIFY(result >= firstResult);
        else
            QCOMPARE(result, firstResult);
        QVERIFY2(d->sync->syncResult().contains(firstText), qPrintable(d->sync->syncResult()));
        QVERIFY(QFile::exists(d->file("lta.ini")));     // nothing deleted
        if (firstResult < 0)
            QVERIFY(d->st() == 0 || d->st() == stBefore); // not advanced
        if (fault == "unsafe") {
            QVERIFY(QFile::exists(d->file("notes.txt")));
            QCOMPARE(QDir(d->root() + "/st").entryList({"*escape*"}, QDir::Files), QStringList());
            QVERIFY(!QFile::exists(d->root() + "/escape.ini"));
        }
        if (fault == "upload") {
            // the same object tries again and now succeeds
            QCOMPARE(object("retry.txt"), QByteArray("<missing>"));
            QVERIFY(d->sync->syncSettings() >= 1 && d->sync->syncResult().startsWith("Last sync: ") && d->st() > 0);
            QCOMPARE(object("retry.txt"), QByteArray("retry me"));
        }
    }

    // the command-line sync of a staff device with settings of its own
    void cliSync()
    {
        QTemporaryDir home;
        QSettings conf(home.path() + "/config/Vexa/Lta.conf", QSettings::IniFormat);
        for (const char *key : {"storageScheme_s", "storageHost_s", "storagePort_i", "storagePathStyle_b"})
            conf.setValue(key, AppContext::userSettings()->value(key));
        CloudFixture::setValues(&conf, {{"allweddi", CloudFixture::sealed()}, {"regem_s", kAcc}, {"controller", false}});
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.insert("XDG_CONFIG_HOME", home.path() + "/config");
        for (int run = 0; run < 2; ++run) {
            QByteArray out;
            QCOMPARE(CloudFixture::runCli({"sync", "--data", home.path() + "/data"}, &out, QByteArray(), false, env), 0);
            QVERIFY(out.startsWith("Last sync: "));
        }
        QCOMPARE(TestEnv::readFile(home.path() + "/data/st/lta.ini"), object("lta.ini"));
        QVERIFY(QSettings(home.path() + "/config/Vexa/Lta.conf", QSettings::IniFormat).value("st").toLongLong() > 0);
    }

    void names_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("safe");
        QTest::newRow("plain") << "lta.ini" << true;
        QTest::newRow("dotfile") << ".hidden" << true;
        for (const char *bad : {"", ".", "..", "a/b", "..\\x", "C:x", "a\nb"})
            QTest::newRow(bad) << bad << false;
    }
    void names()
    {
        QFETCH(QString, name);
        QFETCH(bool, safe);
        QCOMPARE(DCloudComms::isSafeCloudName(name), safe);
    }
};

QTEST_GUILESS_MAIN(TestDCloudComms)
#include "tst_dcloudcomms.moc"
