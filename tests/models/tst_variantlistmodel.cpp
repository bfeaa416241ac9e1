#include "models/qqmlvariantlistmodel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

namespace {
constexpr int ValueRole = Qt::UserRole;
constexpr auto Checked = QAbstractItemModelTester::FailureReportingMode::QtTest;

QVariantList values(const QString &letters)
{
    QVariantList out;
    for (const QChar c : letters)
        out << QString(c);
    return out;
}
} // namespace

class TestVariantListModel : public QObject
{
    Q_OBJECT

private slots:
    // Each operation runs on "abc" and must announce exactly one block of rows.
    void insertionsAnnounceTheirRows_data()
    {
        QTest::addColumn<QString>("op");
        QTest::addColumn<int>("idx");
        QTest::addColumn<QString>("added");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<QString>("expected");

        QTest::newRow("append") << "append" << 0 << "x" << 3 << 3 << "abcx";
        QTest::newRow("prepend") << "prepend" << 0 << "x" << 0 << 0 << "xabc";
        QTest::newRow("insert middle") << "insert" << 1 << "x" << 1 << 1 << "axbc";
        QTest::newRow("insert at end") << "insert" << 3 << "x" << 3 << 3 << "abcx";
        QTest::newRow("appendList") << "appendList" << 0 << "xy" << 3 << 4 << "abcxy";
        QTest::newRow("prependList") << "prependList" << 0 << "xyz" << 0 << 2 << "xyzabc";
        QTest::newRow("insertList") << "insertList" << 2 << "xy" << 2 << 3 << "abxyc";
    }

    void insertionsAnnounceTheirRows()
    {
        QFETCH(QString, op);
        QFETCH(int, idx);
        QFETCH(QString, added);
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(QString, expected);

        QQmlVariantListModel model;
        QAbstractItemModelTester tester(&model, Checked);
        model.appendList(values("abc"));
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy count(&model, &QQmlVariantListModel::countChanged);

        if (op == "append")
            model.append(added);
        else if (op == "prepend")
            model.prepend(added);
        else if (op == "insert")
            model.insert(idx, added);
        else if (op == "appendList")
            model.appendList(values(added));
        else if (op == "prependList")
            model.prependList(values(added));
        else
            model.insertList(idx, values(added));

        QCOMPARE(inserted.count(), 1);
        QCOMPARE(inserted.at(0).mid(1), (QVariantList{first, last}));
        QCOMPARE(model.list(), values(expected));
        QCOMPARE(model.data(model.index(first, 0), ValueRole), values(added).first());
        QCOMPARE(count, (QList<QVariantList>{{expected.size()}}));
    }

    void moveUsesFrameworkDestination_data()
    {
        QTest::addColumn<int>("idx");
        QTest::addColumn<int>("pos");
        QTest::addColumn<int>("destination");
        QTest::addColumn<QString>("expected");
        QTest::newRow("down") << 0 << 2 << 3 << "bcad";
        QTest::newRow("down to last") << 1 << 3 << 4 << "acdb";
        QTest::newRow("up") << 3 << 1 << 1 << "adbc";
    }

    void moveUsesFrameworkDestination()
    {
        QFETCH(int, idx);
        QFETCH(int, pos);
        QFETCH(int, destination);
        QFETCH(QString, expected);

        QQmlVariantListModel model;
        QAbstractItemModelTester tester(&model, Checked);
        model.appendList(values("abcd"));
        QSignalSpy moved(&model, &QAbstractItemModel::rowsMoved);

        model.move(idx, pos);
        QCOMPARE(moved.count(), 1);
        QCOMPARE((QList<int>{moved.at(0).at(1).toInt(), moved.at(0).at(4).toInt()}), (QList<int>{idx, destination}));
        QCOMPARE(model.list(), values(expected));
    }

    // Rows the list does not have change nothing; real changes and removals
    // announce exactly their rows.
    void changesAndRemovalsAnnounceTheirRows()
    {
        QQmlVariantListModel model;
        QAbstractItemModelTester tester(&model, Checked);
        QCOMPARE(model.roleNames(), (QHash<int, QByteArray>{{ValueRole, "qtVariant"}}));
        model.appendList(values("abcd"));
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsAboutToBeInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy moved(&model, &QAbstractItemModel::rowsAboutToBeMoved);
        QSignalSpy count(&model, &QQmlVariantListModel::countChanged);
        QVERIFY(!model.get(4).isValid() && !model.get(-1).isValid());
        QVERIFY(!model.data(model.index(0, 0), Qt::DisplayRole).isValid());
        QVERIFY(!model.setData(model.index(4, 0), "x", ValueRole));
        QVERIFY(!model.setData(model.index(0, 0), "x", Qt::EditRole));
        model.replace(4, "x");
        model.remove(4);
        model.insert(5, "x");
        model.insertList(-1, values("x"));
        model.appendList(QVariantList());
        model.move(0, 4);
        model.move(1, 1);
        QCOMPARE(changed.count() + inserted.count() + removed.count() + moved.count() + count.count(), 0);

        model.replace(1, "B");
        QVERIFY(model.setData(model.index(2, 0), "C", ValueRole));
        QCOMPARE(model.list(), values("aBCd"));
        QCOMPARE(changed.count(), 2);
        QCOMPARE(changed.at(0).mid(0, 2), (QVariantList{model.index(1, 0), model.index(1, 0)}));
        QCOMPARE(changed.at(1).at(0).toModelIndex(), model.index(2, 0));
        model.remove(1);
        model.clear();
        model.clear();
        QCOMPARE(removed.count(), 2);
        QCOMPARE(removed.at(0).mid(1) + removed.at(1).mid(1), (QVariantList{1, 1, 0, 2}));
        QCOMPARE(count, (QList<QVariantList>{{3}, {0}}));
    }
};

QTEST_GUILESS_MAIN(TestVariantListModel)
#include "tst_variantlistmodel.moc"
