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
        QTest::newRow("only add...") << QStringList{"add..."} << "Hall" << QStringList{"Hall", "add..."};
        QTest::newRow("appended") << QStringList{"Lounge"} << "Kitchen" << QStringList{"Lounge", "Kitchen"};
        QTest::newRow("case differs") << QStringList{"Kitchen", "add..."} << "kitchen" << QStringList{"Kitchen", "kitchen", "add..."};
    }

    void addElement()
    {
        QFETCH(QStringList, initial);
        QFETCH(QString, element);
        QFETCH(QStringList, expected);
        ComboBoxModel model;
        model.setComboList(initial);
        QSignalSpy listChanged(&model, &ComboBoxModel::comboListChanged);
        QSignalSpy countChanged(&model, &ComboBoxModel::countChanged);
        model.addElement(element);
        model.addElement(element); // the same text again changes nothing
        QCOMPARE(model.comboList(), expected);
        QCOMPARE(model.count(), expected.count());
        QCOMPARE(listChanged.count() + countChanged.count(), 2);
    }

    void setComboList_data()
    {
        QTest::addColumn<QStringList>("next");
        QTest::addColumn<int>("listSignals");
        QTest::addColumn<int>("countSignals");
        QTest::newRow("equal texts") << QStringList{"Wood", "Vinyl"} << 0 << 0;
        QTest::newRow("same count") << QStringList{"Wood", "Alu"} << 1 << 0;
        QTest::newRow("reordered") << QStringList{"Vinyl", "Wood"} << 1 << 0;
        QTest::newRow("emptied") << QStringList() << 1 << 1;
    }

    void setComboList()
    {
        QFETCH(QStringList, next);
        QFETCH(int, listSignals);
        QFETCH(int, countSignals);
        ComboBoxModel model(nullptr, QStringLiteral("range"));
        model.setComboList({"Wood", "Vinyl"});
        QSignalSpy listChanged(&model, &ComboBoxModel::comboListChanged);
        QSignalSpy countChanged(&model, &ComboBoxModel::countChanged);
        QVERIFY(model.setProperty("comboList", next));
        QCOMPARE(model.comboList(), next);
        QCOMPARE(model.property("count").toInt(), next.count());
        QCOMPARE(listChanged.count(), listSignals);
        QCOMPARE(countChanged.count(), countSignals);
    }

    void lookupsAndRemoval()
    {
        ComboBoxModel model;
        model.setComboList({"Hall", "Den", "add..."});
        QCOMPARE(model.index(QStringLiteral("Den")), 1);
        QCOMPARE(model.index(QStringLiteral("den")), -1);
        QCOMPARE(model.element(2) + model.element(5) + model.element(-1), QStringLiteral("add..."));
        QSignalSpy listChanged(&model, &ComboBoxModel::comboListChanged);
        QSignalSpy countChanged(&model, &ComboBoxModel::countChanged);
        model.removeElement(3);
        model.removeElement(-1);
        model.removeElement(0);
        QCOMPARE(model.comboList(), (QStringList{"Den", "add..."}));
        QCOMPARE(listChanged.count() + countChanged.count(), 2);
        QCOMPARE(model.currentIndex(), -1);
        QSignalSpy changed(&model, &ComboBoxModel::currentIndexChanged);
        QVERIFY(model.set_currentIndex(2) && !model.set_currentIndex(2));
        QVERIFY(model.setProperty("currentIndex", -1));
        QCOMPARE(changed, (QList<QVariantList>{{2}, {-1}}));
    }
};

QTEST_GUILESS_MAIN(TestComboBoxModel)
#include "tst_comboboxmodel.moc"
