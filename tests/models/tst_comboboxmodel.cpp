#include "models/comboboxmodel.h"

#include <QSignalSpy>
#include <QtTest>

class TestComboBoxModel : public QObject
{
    Q_OBJECT

private slots:
    // A new entry goes before "add...", once; the signals follow real changes only.
    void addElement_data()
    {
        QTest::addColumn<QStringList>("initial");
        QTest::addColumn<QString>("element");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("before add...") << QStringList{"Lounge", "add..."} << "Kitchen" << QStringList{"Lounge", "Kitchen", "add..."};
        QTest::newRow("appended") << QStringList{"Lounge"} << "Kitchen" << QStringList{"Lounge", "Kitchen"};
        QTest::newRow("case differs") << QStringList{"Kitchen", "add..."} << "kitchen" << QStringList{"Kitchen", "kitchen", "add..."};
    }

    void addElement()
    {
        QFETCH(QStringList, initial);
        QFETCH(QString, element);
        ComboBoxModel model;
        model.setComboList(initial);
        QSignalSpy listChanged(&model, &ComboBoxModel::comboListChanged);
        QSignalSpy countChanged(&model, &ComboBoxModel::countChanged);
        model.addElement(element);
        model.addElement(element); // the same text again changes nothing
        QTEST(model.comboList(), "expected");
        QCOMPARE(listChanged.count() + countChanged.count(), 2);
    }

    // Through the property, as the interface sets it: list and count signals only on real changes.
    void setComboList()
    {
        const QList<std::tuple<QStringList, int, int>> cases = {
            {{"Wood", "Vinyl"}, 0, 0}, {{"Wood", "Alu"}, 1, 0}, {{}, 1, 1}};
        for (const auto &[next, listSignals, countSignals] : cases) {
            ComboBoxModel model(nullptr, QStringLiteral("range"));
            model.setComboList({"Wood", "Vinyl"});
            QSignalSpy listChanged(&model, &ComboBoxModel::comboListChanged);
            QSignalSpy countChanged(&model, &ComboBoxModel::countChanged);
            QVERIFY(model.setProperty("comboList", next));
            QCOMPARE(model.property("count").toInt(), next.count());
            QCOMPARE(QList<int>({listChanged.count(), countChanged.count()}), QList<int>({listSignals, countSignals}));
        }
    }

    void lookupsAndRemoval()
    {
        ComboBoxModel model;
        model.setComboList({"Hall", "Den", "add..."});
        QCOMPARE(model.index(QStringLiteral("Den")), 1);
        QCOMPARE(model.element(2) + model.element(5) + model.element(-1), QStringLiteral("add..."));
        QSignalSpy listChanged(&model, &ComboBoxModel::comboListChanged);
        QSignalSpy countChanged(&model, &ComboBoxModel::countChanged);
        model.removeElement(3);
        model.removeElement(-1);
        model.removeElement(0);
        QCOMPARE(model.comboList(), (QStringList{"Den", "add..."}));
        QCOMPARE(listChanged.count() + countChanged.count(), 2);
        QSignalSpy changed(&model, &ComboBoxModel::currentIndexChanged);
        QVERIFY(model.set_currentIndex(2) && !model.set_currentIndex(2));
        QVERIFY(model.setProperty("currentIndex", -1));
        QCOMPARE(changed, (QList<QVariantList>{{2}, {-1}}));
    }
};

QTEST_GUILESS_MAIN(TestComboBoxModel)
#include "tst_comboboxmodel.moc"
