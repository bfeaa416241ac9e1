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

    // Never saved: the defaults; a saved list without repeats or "add...", which ends it.
    void roomNames()
    {
        const QString add = ComboBoxModel::addEntry();
        const QList<std::pair<QVariant, QStringList>> cases = {{QVariant(), ScreenTools::defaultRoomNames() << add},
            {QStringList{"Snug", "Kitchen", "Snug"}, {"Snug", "Kitchen", add}}, {QStringList{add, "Loft"}, {"Loft", add}}};
        for (const auto &[stored, offered] : cases) {
            if (stored.isValid())
                AppContext::sharedSettings()->setValue("rms_sl", stored);
            ComboBoxModel model;
            ScreenTools(&model).loadRoomNames();
            QCOMPARE(model.comboList(), offered);
        }
    }

    void addedRoomJoinsTheList()
    {
        AppContext::sharedSettings()->setValue("rms_sl", QStringList{"Hall", "Study"});
        ComboBoxModel model;
        ScreenTools tools(&model);
        tools.loadRoomNames();
        QVERIFY(!tools.addRoomName("   ") && !tools.addRoomName(ComboBoxModel::addEntry()));
        QVERIFY(tools.addRoomName("  Games Room "));
        const QStringList expected{"Hall", "Study", "Games Room"};
        QCOMPARE(model.comboList(), expected + QStringList{ComboBoxModel::addEntry()});
        // written through to the shared settings file
        AppContext::releaseSettings();
        AppContext::openSettings();
        QCOMPARE(AppContext::sharedSettings()->value("rms_sl").toStringList(), expected);
    }

private:
    std::unique_ptr<QTemporaryDir> m_data;
};

QTEST_GUILESS_MAIN(TestScreenTools)
#include "tst_screentools.moc"
