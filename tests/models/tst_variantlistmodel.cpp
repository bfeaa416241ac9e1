#include "models/qqmlvariantlistmodel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

namespace {
constexpr int ValueRole = Qt::UserRole;

QVariantList texts(const QStringList &list)
{
    QVariantList out;
    for (const QString &s : list)
        out << s;
    return out;
}
} // namespace

class TestVariantListModel : public QObject
{
    Q_OBJECT

private slots:
    void roleNames()
    {
        QQmlVariantListModel model;
        QCOMPARE(model.roleNames(), (QHash<int, QByteArray>{{ValueRole, "qtVariant"}}));
    }

    // Each operation runs on [a, b, c] and must announce one block of rows.
    void insertionsAnnounceTheirRows_data()
    {
        QTest::addColumn<QString>("op");
        QTest::addColumn<int>("idx");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("append") << "append" << -1 << QStringList{"x"} << 3 << 3
                                << QStringList{"a", "b", "c", "x"};
        QTest::newRow("prepend") << "prepend" << -1 << QStringList{"x"} << 0 << 0
                                 << QStringList{"x", "a", "b", "c"};
        QTest::newRow("insert middle") << "insert" << 1 << QStringList{"x"} << 1 << 1
                                       << QStringList{"a", "x", "b", "c"};
        QTest::newRow("insert at end") << "insert" << 3 << QStringList{"x"} << 3 << 3
                                       << QStringList{"a", "b", "c", "x"};
        QTest::newRow("appendList") << "appendList" << -1 << QStringList{"x", "y"} << 3 << 4
                                    << QStringList{"a", "b", "c", "x", "y"};
        QTest::newRow("prependList") << "prependList" << -1 << QStringList{"x", "y", "z"} << 0 << 2
                                     << QStringList{"x", "y", "z", "a", "b", "c"};
        QTest::newRow("insertList") << "insertList" << 2 << QStringList{"x", "y"} << 2 << 3
                                    << QStringList{"a", "b", "x", "y", "c"};
    }

    void insertionsAnnounceTheirRows()
    {
        QFETCH(QString, op);
        QFETCH(int, idx);
        QFETCH(QStringList, values);
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(QStringList, expected);

        QQmlVariantListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.appendList(texts({"a", "b", "c"}));
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy count(&model, &QQmlVariantListModel::countChanged);

        if (op == "append")
            model.append(values.first());
        else if (op == "prepend")
            model.prepend(values.first());
        else if (op == "insert")
            model.insert(idx, values.first());
        else if (op == "appendList")
            model.appendList(texts(values));
        else if (op == "prependList")
            model.prependList(texts(values));
        else if (op == "insertList")
            model.insertList(idx, texts(values));

        QCOMPARE(inserted.count(), 1);
        QCOMPARE(inserted.at(0).at(1).toInt(), first);
        QCOMPARE(inserted.at(0).at(2).toInt(), last);
        QCOMPARE(model.list(), texts(expected));
        QCOMPARE(count.count(), 1);
        QCOMPARE(count.at(0).at(0).toInt(), expected.count());
        for (int row = 0; row < expected.count(); ++row)
            QCOMPARE(model.data(model.index(row, 0), ValueRole).toString(), expected.at(row));
    }

    void moveUsesFrameworkDestination_data()
    {
        QTest::addColumn<int>("idx");
        QTest::addColumn<int>("pos");
        QTest::addColumn<int>("destination");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("down") << 0 << 2 << 3 << QStringList{"b", "c", "a", "d"};
        QTest::newRow("down to last") << 1 << 3 << 4 << QStringList{"a", "c", "d", "b"};
        QTest::newRow("up") << 3 << 1 << 1 << QStringList{"a", "d", "b", "c"};
    }

    void moveUsesFrameworkDestination()
    {
        QFETCH(int, idx);
        QFETCH(int, pos);
        QFETCH(int, destination);
        QFETCH(QStringList, expected);

        QQmlVariantListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.appendList(texts({"a", "b", "c", "d"}));
        QSignalSpy moved(&model, &QAbstractItemModel::rowsMoved);
        QSignalSpy count(&model, &QQmlVariantListModel::countChanged);

        model.move(idx, pos);
        QCOMPARE(moved.count(), 1);
        QCOMPARE(moved.at(0).at(1).toInt(), idx);
        QCOMPARE(moved.at(0).at(2).toInt(), idx);
        QCOMPARE(moved.at(0).at(4).toInt(), destination);
        QCOMPARE(model.list(), texts(expected));
        QCOMPARE(count.count(), 0);
    }

    void removalsAnnounceTheirRows()
    {
        QQmlVariantListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.appendList(texts({"a", "b", "c", "d"}));
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy count(&model, &QQmlVariantListModel::countChanged);

        model.remove(1);
        QCOMPARE(model.list(), texts({"a", "c", "d"}));
        model.clear();
        QVERIFY(model.isEmpty());

        QCOMPARE(removed.count(), 2);
        QCOMPARE(removed.at(0).at(1).toInt(), 1);
        QCOMPARE(removed.at(0).at(2).toInt(), 1);
        QCOMPARE(removed.at(1).at(1).toInt(), 0);
        QCOMPARE(removed.at(1).at(2).toInt(), 2);
        QCOMPARE(count.count(), 2);
        QCOMPARE(count.at(0).at(0).toInt(), 3);
        QCOMPARE(count.at(1).at(0).toInt(), 0);
    }

    void replaceAndSetDataChangeOneRow()
    {
        QQmlVariantListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.appendList(texts({"a", "b", "c"}));
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy count(&model, &QQmlVariantListModel::countChanged);

        model.replace(1, "B");
        QVERIFY(model.setData(model.index(2, 0), "C", ValueRole));
        QCOMPARE(model.list(), texts({"a", "B", "C"}));
        QCOMPARE(changed.count(), 2);
        QCOMPARE(changed.at(0).at(0).toModelIndex(), model.index(1, 0));
        QCOMPARE(changed.at(0).at(1).toModelIndex(), model.index(1, 0));
        QCOMPARE(changed.at(1).at(0).toModelIndex(), model.index(2, 0));
        QCOMPARE(changed.at(1).at(1).toModelIndex(), model.index(2, 0));
        QCOMPARE(count.count(), 0);
    }

    void invalidRowsChangeNothing()
    {
        QQmlVariantListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.appendList(texts({"a", "b", "c"}));
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy moved(&model, &QAbstractItemModel::rowsMoved);
        QSignalSpy count(&model, &QQmlVariantListModel::countChanged);

        QVERIFY(!model.get(3).isValid());
        QVERIFY(!model.get(-1).isValid());
        QVERIFY(!model.data(model.index(3, 0), ValueRole).isValid());
        QVERIFY(!model.data(model.index(0, 0), Qt::DisplayRole).isValid());
        QVERIFY(!model.setData(model.index(3, 0), "x", ValueRole));
        QVERIFY(!model.setData(model.index(0, 0), "x", Qt::EditRole));
        model.replace(3, "x");
        model.remove(3);
        model.remove(-1);
        model.insert(4, "x");
        model.insertList(-1, texts({"x"}));
        model.appendList(QVariantList());
        model.move(0, 3);
        model.move(1, 1);

        QCOMPARE(model.list(), texts({"a", "b", "c"}));
        QCOMPARE(changed.count() + inserted.count() + removed.count() + moved.count(), 0);
        QCOMPARE(count.count(), 0);

        model.clear();
        QCOMPARE(count.count(), 1);
        model.clear();
        QCOMPARE(count.count(), 1);
        QCOMPARE(removed.count(), 1);
    }
};

QTEST_GUILESS_MAIN(TestVariantListModel)
#include "tst_variantlistmodel.moc"
