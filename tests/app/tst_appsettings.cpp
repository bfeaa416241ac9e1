// The settings stores: the true/false/missing-key conversion every reader
// relies on, list storage, and the data-folder set-up built on them.
#include "app/appcontext.h"
#include "app/appsettings.h"
#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QtTest>

class TestAppSettings : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::initApp(); }
    void cleanup() { AppContext::releaseSettings(); }

    void conversion_data();
    void conversion();
    void iniTextsComeBackAsBooleans();
    void setArray_data();
    void setArray();

    void defaultDataFolderIsPerUser();
    void datapathRedirectsEverything();
    void folderTreeAndStateLists();
    void tmpEmptiedFilesOnly();
    void appointmentTypes_data();
    void appointmentTypes();
    void createdFoldersResetStamps();
};

void TestAppSettings::conversion_data()
{
    QTest::addColumn<QVariant>("stored");      // invalid: key missing
    QTest::addColumn<QVariant>("defaultValue");
    QTest::addColumn<QVariant>("expected");

    QTest::newRow("text true") << QVariant("true") << QVariant() << QVariant(true);
    QTest::newRow("text false") << QVariant("false") << QVariant() << QVariant(false);
    QTest::newRow("bool true") << QVariant(true) << QVariant() << QVariant(true);
    QTest::newRow("capital True is text") << QVariant("True") << QVariant() << QVariant("True");
    QTest::newRow("padded true is text") << QVariant(" true") << QVariant() << QVariant(" true");
    QTest::newRow("missing, no default") << QVariant() << QVariant() << QVariant(QString());
    QTest::newRow("missing, default") << QVariant() << QVariant(42) << QVariant(42);
    QTest::newRow("missing, default 'true'") << QVariant() << QVariant("true") << QVariant(true);
    QTest::newRow("number") << QVariant(7) << QVariant() << QVariant(7);
    QTest::newRow("empty text") << QVariant(QString("")) << QVariant(5) << QVariant(QString(""));
    QTest::newRow("list stays list") << QVariant(QStringList{"true"}) << QVariant()
                                     << QVariant(QStringList{"true"});
}

void TestAppSettings::conversion()
{
    QFETCH(QVariant, stored);
    QFETCH(QVariant, defaultValue);
    QFETCH(QVariant, expected);

    QTemporaryDir dir;
    appSettings s(dir.filePath("t.ini"), QSettings::IniFormat);
    if (stored.isValid())
        s.setValue("k", stored);
    const QVariant got = defaultValue.isValid() ? s.value("k", defaultValue) : s.value("k");
    QCOMPARE(got.userType(), expected.userType());
    QCOMPARE(got, expected);
}

void TestAppSettings::iniTextsComeBackAsBooleans()
{
    // A hand-written INI file stores words; readers must still get booleans.
    QTemporaryDir dir;
    const QString path = dir.filePath("lta.ini");
    QVERIFY(TestEnv::writeFile(path, "[General]\nexVat_b=true\nshowDisc_b=false\nname_s=Acme\n"));
    appSettings s(path, QSettings::IniFormat);
    QCOMPARE(s.value("exVat_b").userType(), int(QMetaType::Bool));
    QVERIFY(s.value("exVat_b").toBool());
    QCOMPARE(s.value("showDisc_b"), QVariant(false));
    QCOMPARE(s.value("name_s"), QVariant("Acme"));
}

void TestAppSettings::setArray_data()
{
    QTest::addColumn<QVariant>("input");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("comma text") << QVariant("Lounge, Kitchen ,Bed 1") << QStringList{"Lounge", "Kitchen", "Bed 1"};
    QTest::newRow("empty parts dropped") << QVariant("a,,b,") << QStringList{"a", "b"};
    QTest::newRow("single") << QVariant("Hall") << QStringList{"Hall"};
    QTest::newRow("list kept") << QVariant(QStringList{"x, y", "z"}) << QStringList{"x, y", "z"};
}

void TestAppSettings::setArray()
{
    QFETCH(QVariant, input);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath("t.ini");
    {
        appSettings s(path, QSettings::IniFormat);
        s.setArray("rooms_sl", input);
        s.sync();
    }
    appSettings reread(path, QSettings::IniFormat);
    QCOMPARE(reread.value("rooms_sl").toStringList(), expected);
}

void TestAppSettings::defaultDataFolderIsPerUser()
{
    AppContext::setupDataFolders();
    const QString expected = qEnvironmentVariable("XDG_DATA_HOME") + "/Vexa/Lta";
    QCOMPARE(AppContext::dataFolder, expected);
    QVERIFY(QDir(expected + "/Orders/post").exists());
    // the user settings are in the per-user native location, not the home
    QVERIFY(QFile::exists(qEnvironmentVariable("XDG_CONFIG_HOME") + "/Vexa/Lta.conf"));
}

void TestAppSettings::datapathRedirectsEverything()
{
    QScopedPointer<QTemporaryDir> dir(TestEnv::freshDataFolder());
    const QString root = dir->path();
    QCOMPARE(AppContext::dataFolder, root);
    QCOMPARE(AppContext::logsFolder, root + "/logs");
    QCOMPARE(AppContext::ordersFolder, root + "/Orders/");
    QCOMPARE(AppContext::catalogueProductsFolder, root + "/V3VexaData/Products");
    QCOMPARE(AppContext::cfgFolder, root + "/VexaCfg");
    QCOMPARE(QFileInfo(AppContext::sharedSettings()->fileName()).absoluteFilePath(),
             QFileInfo(root + "/st/lta.ini").absoluteFilePath());
}

void TestAppSettings::folderTreeAndStateLists()
{
    // the tree itself is checked by the smoke test of the real program
    QScopedPointer<QTemporaryDir> dir(TestEnv::freshDataFolder());
    QCOMPARE(AppContext::stateFolders.size(), 9);
    QCOMPARE(AppContext::stateFolder(1), dir->path() + "/Orders/in/");
    QCOMPARE(AppContext::stateFolder(2), dir->path() + "/Orders/");
    QCOMPARE(AppContext::stateFolder(4), AppContext::stateFolder(8));
    QVERIFY(AppContext::setting("v3_b").toBool());
}

void TestAppSettings::tmpEmptiedFilesOnly()
{
    QScopedPointer<QTemporaryDir> dir(TestEnv::freshDataFolder());
    const QString tmp = dir->path() + "/tmp";
    QVERIFY(TestEnv::writeFile(tmp + "/a.txt", "a"));
    QVERIFY(TestEnv::writeFile(tmp + "/.hidden", "h"));
    QVERIFY(TestEnv::writeFile(tmp + "/sub/b.txt", "b"));
    AppContext::setupDataFolders();
    QVERIFY(!QFile::exists(tmp + "/a.txt"));
    QVERIFY(!QFile::exists(tmp + "/.hidden"));
    QVERIFY(QFile::exists(tmp + "/sub/b.txt"));

    // a missing tmp folder is simply created
    QVERIFY(QDir(tmp).removeRecursively());
    AppContext::setupDataFolders();
    QVERIFY(QDir(tmp).exists());
}

void TestAppSettings::appointmentTypes_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QStringList>("expected");
    const QStringList defaults{"Survey", "Fitting", "Repair", "See notes"};
    QTest::newRow("absent") << QVariant() << defaults;
    QTest::newRow("empty list") << QVariant(QStringList()) << defaults;
    QTest::newRow("empty text") << QVariant(QString()) << defaults;
    QTest::newRow("own list kept") << QVariant(QStringList{"Quote", "Fit"}) << QStringList{"Quote", "Fit"};
}

void TestAppSettings::appointmentTypes()
{
    QFETCH(QVariant, stored);
    QFETCH(QStringList, expected);
    QScopedPointer<QTemporaryDir> dir(TestEnv::freshDataFolder());
    {
        appSettings user;
        if (stored.isValid())
            user.setValue("aptypes_sl", stored);
        else
            user.remove("aptypes_sl");
        user.sync();
    }
    AppContext::setupDataFolders();
    QCOMPARE(AppContext::setting("aptypes_sl").toStringList(), expected);
}

void TestAppSettings::createdFoldersResetStamps()
{
    QScopedPointer<QTemporaryDir> dir(TestEnv::freshDataFolder());
    AppContext::userSettings()->setValue("VexaData", "stamp-1");
    AppContext::userSettings()->setValue("VexaCfg", "cfg-7");
    AppContext::userSettings()->setValue("V3VexaData", "stamp-3");
    AppContext::userSettings()->sync();

    // folders present: stamps untouched
    AppContext::setupDataFolders();
    QCOMPARE(AppContext::setting("VexaData").toString(), QString("stamp-1"));
    QCOMPARE(AppContext::setting("VexaCfg").toString(), QString("cfg-7"));

    // folders gone: the stamps of what had to be re-created are cleared
    QVERIFY(QDir(dir->path() + "/V3VexaData").removeRecursively());
    QVERIFY(QDir(dir->path() + "/VexaCfg").removeRecursively());
    AppContext::setupDataFolders();
    QCOMPARE(AppContext::setting("VexaData").toString(), QString());
    QCOMPARE(AppContext::setting("VexaCfg").toString(), QString());
    QCOMPARE(AppContext::setting("V3VexaData").toString(), QString("stamp-3"));
}

QTEST_GUILESS_MAIN(TestAppSettings)
#include "tst_appsettings.moc"
