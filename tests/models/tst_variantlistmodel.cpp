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
    // Each operation runs on "abcd" and must announce exactly one block of rows;
    // a move reports the framework's destination row.
    void operationsAnnounceTheirRows_data()
    {
        QTest::addColumn<QString>("op");        // name, row, letters (or the target row of a move)
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QVariantList>("rows"); // inserted first/last, or moved from/destination
        QTest::newRow("append") << "append 0 x" << "abcdx" << QVariantList{4, 4};
        QTest::newRow("prepend") << "prepend 0 x" << "xabcd" << QVariantList{0, 0};
        QTest::newRow("insert middle") << "insert 1 x" << "axbcd" << QVariantList{1, 1};
        QTest::newRow("insert at end") << "insert 4 x" << "abcdx" << QVariantList{4, 4};
        QTest::newRow("appendList") << "appendList 0 xy" << "abcdxy" << QVariantList{4, 5};
        QTest::newRow("prependList") << "prependList 0 xyz" << "xyzabcd" << QVariantList{0, 2};
        QTest::newRow("insertList") << "insertList 2 xy" << "abxycd" << QVariantList{2, 3};
        QTest::newRow("move down") << "move 0 2" << "bcad" << QVariantList{0, 3};
        QTest::newRow("move down to last") << "move 1 3" << "acdb" << QVariantList{1, 4};
        QTest::newRow("move up") << "move 3 1" << "adbc" << QVariantList{3, 1};
    }

    void operationsAnnounceTheirRows()
    {
        QFETCH(QString, op);
        QFETCH(QString, expected);
        QFETCH(QVariantList, rows);
        QQmlVariantListModel model;
        QAbstractItemModelTester tester(&model, Checked);
        model.appendList(values("abcd"));
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy moved(&model, &QAbstractItemModel::rowsMoved);
        QSignalSpy count(&model, &QQmlVariantListModel::countChanged);
        const QString name = op.section(' ', 0, 0), added = op.section(' ', 2);
        const int idx = op.section(' ', 1, 1).toInt();
        if (name == "append")
            model.append(added);
        else if (name == "prepend")
            model.prepend(added);
        else if (name == "insert")
            model.insert(idx, added);
        else if (name == "appendList")
            model.appendList(values(added));
        else if (name == "prependList")
            model.prependList(values(added));
        else if (name == "insertList")
            model.insertList(idx, values(added));
        else
            model.move(idx, added.toInt());
        QCOMPARE(model.list(), values(expected));
        if (name == "move") {
            QCOMPARE(moved.count() + inserted.count() + count.count(), 1);
            QCOMPARE((QVariantList{moved.at(0).at(1), moved.at(0).at(4)}), rows);
            return;
        }
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(inserted.at(0).mid(1), rows);
        QCOMPARE(model.data(model.index(rows.at(0).toInt(), 0), ValueRole), values(added).first());
        QCOMPARE(count, (QList<QVariantList>{{expected.size()}}));
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
        QVERIFY(!model.setData(model.index(4, 0), "x", ValueRole) && !model.setData(model.index(0, 0), "x", Qt::EditRole));
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
