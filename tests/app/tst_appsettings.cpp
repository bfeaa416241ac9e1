// The settings stores: the true/false/missing-key conversion every reader
// relies on, list storage, stale lock files, and the data-folder set-up built on them (the
// folder tree, "datapath", tmp and the appointment-type default of a first
// start are checked by smoke.sh on the real program).
#include "app/appcontext.h"
#include "app/appsettings.h"
#include "testenv.h"

#include <QJSEngine>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

class TestAppSettings : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::initApp(); }
    void cleanup() { AppContext::releaseSettings(); }

    void conversion_data()
    {
        QTest::addColumn<QVariant>("stored");      // invalid: key missing
        QTest::addColumn<QVariant>("defaultValue");
        QTest::addColumn<QVariant>("expected");
        QTest::newRow("text true") << QVariant("true") << QVariant() << QVariant(true);
        QTest::newRow("text false") << QVariant("false") << QVariant() << QVariant(false);
        QTest::newRow("capital True is text") << QVariant("True") << QVariant() << QVariant("True");
        QTest::newRow("missing, no default") << QVariant() << QVariant() << QVariant(QString());
        QTest::newRow("missing, default") << QVariant() << QVariant(42) << QVariant(42);
        QTest::newRow("missing, default 'true'") << QVariant() << QVariant("true") << QVariant(true);
        QTest::newRow("empty text") << QVariant(QString("")) << QVariant(5) << QVariant(QString(""));
        QTest::newRow("list stays list") << QVariant(QStringList{"true"}) << QVariant() << QVariant(QStringList{"true"});
    }

    void conversion()
    {
        QFETCH(QVariant, stored);
        QFETCH(QVariant, defaultValue);
        QFETCH(QVariant, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath("t.ini");
        if (stored.isValid())
            appSettings(path, QSettings::IniFormat).setValue("k", stored);
        // read back from the file, as a hand-written INI file would be
        appSettings s(path, QSettings::IniFormat);
        const QVariant got = defaultValue.isValid() ? s.value("k", defaultValue) : s.value("k");
        QCOMPARE(got.userType(), expected.userType());
        QCOMPARE(got, expected);
    }

    void setArray()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("t.ini");
        {
            appSettings s(path, QSettings::IniFormat);
            s.setArray("rooms_sl", "Lounge, Kitchen ,,Bed 1,");
            s.setArray("kept_sl", QStringList{"x, y", "z"});
        }
        appSettings reread(path, QSettings::IniFormat);
        QCOMPARE(reread.value("rooms_sl").toStringList(), (QStringList{"Lounge", "Kitchen", "Bed 1"}));
        QCOMPARE(reread.value("kept_sl").toStringList(), (QStringList{"x, y", "z"}));
    }

    // A list handed over by the interface arrives as a script value; the
    // shared file must hold plain text that every reader understands.
    void scriptListsStoredAsText()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("lta.ini");
        QJSEngine engine;
        {
            appSettings s(path, QSettings::IniFormat);
            s.setValue("rms_sl", QVariant::fromValue(engine.evaluate("['Hall', 'Loft Room']")));
            s.setArray("other_sl", QVariant::fromValue(engine.evaluate("['A', 'B']")));
            s.setValue("n_i", QVariant::fromValue(engine.evaluate("7")));
        }
        const QString text = QString::fromUtf8(TestEnv::readFile(path));
        QVERIFY2(!text.contains("@Variant"), qPrintable(text));
        QSettings plain(path, QSettings::IniFormat);
        QCOMPARE(plain.value("rms_sl").toStringList(), (QStringList{"Hall", "Loft Room"}));
        QCOMPARE(plain.value("other_sl").toStringList(), (QStringList{"A", "B"}));
        QCOMPARE(plain.value("n_i").toInt(), 7);
    }

    void defaultLocations()
    {
        // without "datapath": the per-user data folder, and the user settings in
        // the per-user native location, not the home
        AppContext::setupDataFolders();
        QCOMPARE(AppContext::dataFolder, qEnvironmentVariable("XDG_DATA_HOME") + "/Vexa/Lta");
        QVERIFY(QFile::exists(qEnvironmentVariable("XDG_CONFIG_HOME") + "/Vexa/Lta.conf"));
        QScopedPointer<QTemporaryDir> dir(TestEnv::freshDataFolder());
        QCOMPARE(QFileInfo(AppContext::sharedSettings()->fileName()).absoluteFilePath(),
                 QFileInfo(dir->path() + "/st/lta.ini").absoluteFilePath());
    }

    void appointmentTypes()
    {
        QScopedPointer<QTemporaryDir> dir(TestEnv::freshDataFolder());
        for (const QStringList &own : {QStringList(), QStringList{"Quote", "Fit"}}) {
            appSettings().setValue("aptypes_sl", own);
            AppContext::setupDataFolders();
            QCOMPARE(AppContext::setting("aptypes_sl").toStringList(),
                     (own.isEmpty() ? QStringList{"Survey", "Fitting", "Repair", "See notes"} : own));
        }
    }

    void createdFoldersResetStamps()
    {
        QScopedPointer<QTemporaryDir> dir(TestEnv::freshDataFolder());
        const char *keys[] = {"VexaData", "VexaCfg", "V3VexaData"};
        for (const char *key : keys)
            AppContext::userSettings()->setValue(key, QString("stamp-") + key);
        AppContext::userSettings()->sync();
        auto stamps = [&] { QStringList s; for (const char *k : keys) s << AppContext::setting(k).toString(); return s; };
        // folders present: stamps untouched
        AppContext::setupDataFolders();
        QCOMPARE(stamps(), (QStringList{"stamp-VexaData", "stamp-VexaCfg", "stamp-V3VexaData"}));
        // folders gone: the stamps of what had to be re-created are cleared
        QVERIFY(QDir(dir->path() + "/V3VexaData").removeRecursively());
        QVERIFY(QDir(dir->path() + "/VexaCfg").removeRecursively());
        AppContext::setupDataFolders();
        QCOMPARE(stamps(), (QStringList{"", "", "stamp-V3VexaData"}));
    }

    // A data folder given to the set-up is the one used, not the configured one.
    void setupGivenFolder()
    {
        QScopedPointer<QTemporaryDir> configured(TestEnv::freshDataFolder());
        QTemporaryDir other;
        AppContext::setupDataFolders(other.path());
        QCOMPARE(AppContext::dataFolder, other.path());
        QVERIFY(QFileInfo::exists(other.path() + "/Orders/post"));
        QVERIFY(AppContext::sharedSettings()->fileName().startsWith(other.path() + "/st/"));
        QVERIFY(QFileInfo::exists(other.path() + "/st"));
    }

    // The lock file of a settings file: one left by a process that died is
    // removed as the store opens (a save would otherwise wait half a minute
    // for it); one of a live process stays.
    void staleLock_data()
    {
        QTest::addColumn<QString>("lock");
        QTest::addColumn<bool>("removed");
        QTest::newRow("empty, left long ago") << "empty old" << true;
        QTest::newRow("empty, left a moment ago") << "empty new" << true;
        QTest::newRow("names a process that has ended") << "dead" << true;
        QTest::newRow("held by a live process") << "live" << false;
        QTest::newRow("empty, its maker about to name itself") << "empty held" << false;
    }

    void staleLock()
    {
        QFETCH(QString, lock);
        QFETCH(bool, removed);
        QTemporaryDir dir;
        const QString file = dir.filePath("Lta.conf"), lockPath = file + ".lock";
        QLockFile live(lockPath);
        int held = -1;
        if (lock.startsWith("empty")) {
            QVERIFY(TestEnv::writeFile(lockPath, QByteArray()));
            if (lock == "empty old") {
                struct utimbuf times;
                times.actime = times.modtime = time(nullptr) - 60;
                QVERIFY(utime(QFile::encodeName(lockPath).constData(), &times) == 0);
            }
            if (lock == "empty held") {
                held = ::open(QFile::encodeName(lockPath).constData(), O_RDWR);
                QVERIFY(held >= 0 && ::flock(held, LOCK_EX | LOCK_NB) == 0);
            }
        } else if (lock == "live") {
            QVERIFY(live.tryLock(0));
        } else {
            // a child takes the lock and dies holding it
            const pid_t child = fork();
            if (child == 0) {
                QLockFile mine(lockPath);
                _exit(mine.tryLock(0) ? 0 : 1);
            }
            int status = 0;
            QCOMPARE(waitpid(child, &status, 0), child);
            QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
            QVERIFY(QFileInfo(lockPath).size() > 0);
        }

        {
            appSettings settings(file, QSettings::IniFormat);
            QCOMPARE(!QFileInfo::exists(lockPath), removed);
            if (removed) {
                settings.setValue("k", "v");
                settings.sync();
                QCOMPARE(settings.status(), QSettings::NoError);
                QCOMPARE(QSettings(file, QSettings::IniFormat).value("k").toString(), QString("v"));
            }
        }
        if (held >= 0)
            ::close(held);
    }
};

QTEST_GUILESS_MAIN(TestAppSettings)
#include "tst_appsettings.moc"
