// The business's room names as the survey offers them.
#include "app/appcontext.h"
#include "app/appsettings.h"
#include "app/screentools.h"
#include "models/comboboxmodel.h"
#include "testenv.h"

#include <QtTest>
#include <memory>

class TestScreenTools : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::initApp(); }
    void init() { m_data.reset(TestEnv::freshDataFolder()); }
    void cleanup() { AppContext::releaseSettings(); }

    void roomNames_data();
    void roomNames();
    void addedRoomJoinsTheList();

private:
    std::unique_ptr<QTemporaryDir> m_data;
};

void TestScreenTools::roomNames_data()
{
    QTest::addColumn<QVariant>("stored");   // invalid: never saved
    QTest::addColumn<QStringList>("offered");
    QStringList defaults = ScreenTools::defaultRoomNames();
    QTest::newRow("never saved") << QVariant() << (defaults << ComboBoxModel::addEntry());
    QTest::newRow("saved list") << QVariant(QStringList{"Snug", "Kitchen", "Snug"})
                                << QStringList{"Snug", "Kitchen", ComboBoxModel::addEntry()};
    QTest::newRow("saved list holding add...")
        << QVariant(QStringList{ComboBoxModel::addEntry(), "Loft"}) << QStringList{"Loft", ComboBoxModel::addEntry()};
}

void TestScreenTools::roomNames()
{
    QFETCH(QVariant, stored);
    if (stored.isValid())
        AppContext::sharedSettings()->setValue("rms_sl", stored);
    ComboBoxModel model;
    ScreenTools tools(&model);
    tools.loadRoomNames();
    QTEST(model.comboList(), "offered");
}

void TestScreenTools::addedRoomJoinsTheList()
{
    AppContext::sharedSettings()->setValue("rms_sl", QStringList{"Hall", "Study"});
    ComboBoxModel model;
    ScreenTools tools(&model);
    tools.loadRoomNames();
    QVERIFY(!tools.addRoomName("   "));
    QVERIFY(!tools.addRoomName(ComboBoxModel::addEntry()));
    QVERIFY(tools.addRoomName("  Games Room "));
    const QStringList expected{"Hall", "Study", "Games Room"};
    QCOMPARE(model.comboList(), expected + QStringList{ComboBoxModel::addEntry()});
    // written through to the shared settings file
    AppContext::releaseSettings();
    AppContext::openSettings();
    QCOMPARE(AppContext::sharedSettings()->value("rms_sl").toStringList(), expected);
}

QTEST_GUILESS_MAIN(TestScreenTools)
#include "tst_screentools.moc"
