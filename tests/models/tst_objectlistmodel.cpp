#include "models/qqmlobjectlistmodel.h"

#include <QAbstractItemModelTester>
#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

// An order-item-like class: writable properties with notify signals and one
// constant property without.
class Shutter : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString room READ room WRITE setRoom NOTIFY roomChanged)
    Q_PROPERTY(QString code READ code WRITE setCode NOTIFY codeChanged)
    Q_PROPERTY(int width READ width WRITE setWidth NOTIFY widthChanged)
    Q_PROPERTY(int panels READ panels CONSTANT)

public:
    explicit Shutter(const QString &room = QString(), const QString &code = QString(),
                     QObject *parent = nullptr)
        : QObject(parent), m_room(room), m_code(code)
    {
    }

    QString room() const { return m_room; }
    void setRoom(const QString &v) { if (v != m_room) { m_room = v; emit roomChanged(v); } }
    QString code() const { return m_code; }
    void setCode(const QString &v) { if (v != m_code) { m_code = v; emit codeChanged(v); } }
    int width() const { return m_width; }
    void setWidth(int v) { if (v != m_width) { m_width = v; emit widthChanged(v); } }
    int panels() const { return 2; }

signals:
    void roomChanged(const QString &room);
    void codeChanged(const QString &code);
    void widthChanged(int width);

private:
    QString m_room;
    QString m_code;
    int m_width = 0;
};

// Carries property names the interface reserves for itself.
class Louvre : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString label MEMBER m_label NOTIFY labelChanged)
    Q_PROPERTY(int index MEMBER m_index NOTIFY indexChanged)
    Q_PROPERTY(int id MEMBER m_id)
    Q_PROPERTY(double depth MEMBER m_depth NOTIFY depthChanged)

public:
    using QObject::QObject;

signals:
    void labelChanged();
    void indexChanged();
    void depthChanged();

private:
    QString m_label;
    int m_index = 0;
    int m_id = 0;
    double m_depth = 0;
};

class Unrelated : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString room MEMBER m_room)

public:
    using QObject::QObject;

private:
    QString m_room;
};

using ShutterModel = QQmlObjectListModel<Shutter>;

// Roles of Shutter: 257 objectName, 258 room, 259 code, 260 width, 261 panels.
enum { ObjectRole = 256, NameRole = 257, RoomRole = 258, CodeRole = 259, WidthRole = 260, PanelsRole = 261 };

class TestObjectListModel : public QObject
{
    Q_OBJECT

private:
    static QStringList rooms(const ShutterModel &model)
    {
        QStringList out;
        for (Shutter *s : model)
            out << s->room();
        return out;
    }

    // Appends parentless items named by their rooms; the model owns them.
    static void fill(ShutterModel &model, const QStringList &roomNames)
    {
        for (const QString &r : roomNames)
            model.append(new Shutter(r, r.toLower()));
    }

private slots:
    void roleNumberingSkipsReservedNames()
    {
        QTest::ignoreMessage(QtWarningMsg,
                             "Can't have \"index\" as a role name in QQmlObjectListModel<Louvre>");
        QTest::ignoreMessage(QtWarningMsg,
                             "Can't have \"id\" as a role name in QQmlObjectListModel<Louvre>");
        QQmlObjectListModel<Louvre> model(nullptr, "label");

        QHash<int, QByteArray> expected{{Qt::DisplayRole, "display"}, {256, "qtObject"},
                                        {257, "objectName"}, {258, "label"}, {261, "depth"}};
        QCOMPARE(model.roleNames(), expected);
        QCOMPARE(model.roleForName("index"), -1);
        QCOMPARE(model.roleForName("id"), -1);
        QCOMPARE(model.roleForName("depth"), 261);
        QCOMPARE(model.roleForName("display"), int(Qt::DisplayRole));

        auto *louvre = new Louvre;
        louvre->setProperty("label", "Bay");
        louvre->setProperty("depth", 63.5);
        louvre->setProperty("index", 7);
        model.append(louvre);
        const QModelIndex row0 = model.index(0, 0);
        QCOMPARE(model.data(row0, 261).toDouble(), 63.5);
        QCOMPARE(model.data(row0, Qt::DisplayRole).toString(), QStringLiteral("Bay"));
        QVERIFY(!model.data(row0, 259).isValid());
        QVERIFY(!model.setData(row0, 9, 259));
        QCOMPARE(louvre->property("index").toInt(), 7);

        // The depth notify signal still maps to role 261 after the skipped ones.
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        louvre->setProperty("depth", 80.0);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(2).value<QVector<int>>(), QVector<int>{261});
    }

    void noDisplayRoleWithoutName()
    {
        ShutterModel model;
        QVERIFY(!model.roleNames().contains(Qt::DisplayRole));
        model.append(new Shutter("Hall"));
        QVERIFY(!model.data(model.index(0, 0), Qt::DisplayRole).isValid());
        QCOMPARE(model.data(model.index(0, 0), RoomRole).toString(), QStringLiteral("Hall"));
    }

    void dataAndSetData()
    {
        ShutterModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        auto *s = new Shutter("Hall", "h1");
        model.append(s);
        const QModelIndex row0 = model.index(0, 0);

        QCOMPARE(model.data(row0, ObjectRole).value<QObject *>(), s);
        QCOMPARE(model.data(row0, PanelsRole).toInt(), 2);
        QVERIFY(!model.data(model.index(1, 0), RoomRole).isValid());
        QVERIFY(!model.data(row0, 999).isValid());

        QVERIFY(model.setData(row0, 900, WidthRole));
        QCOMPARE(s->width(), 900);
        QVERIFY(!model.setData(row0, QVariant::fromValue<QObject *>(nullptr), ObjectRole));
        QVERIFY(!model.setData(row0, 3, PanelsRole)); // read-only property
        QVERIFY(!model.setData(row0, 1, 999));
        QVERIFY(!model.setData(model.index(1, 0), 1, WidthRole));
        QCOMPARE(model.get(0), s);
    }

    void dataChangedNamesRowAndRole_data()
    {
        QTest::addColumn<QByteArray>("displayRole");
        QTest::addColumn<QString>("property");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QVector<int>>("roles");

        QTest::newRow("width") << QByteArray() << "width" << QVariant(750) << QVector<int>{WidthRole};
        QTest::newRow("room, no display") << QByteArray() << "room" << QVariant("Den")
                                          << QVector<int>{RoomRole};
        QTest::newRow("room as display") << QByteArray("room") << "room" << QVariant("Den")
                                         << QVector<int>{RoomRole, Qt::DisplayRole};
        QTest::newRow("width, room display") << QByteArray("room") << "width" << QVariant(10)
                                             << QVector<int>{WidthRole};
        QTest::newRow("objectName") << QByteArray() << "objectName" << QVariant("s2")
                                    << QVector<int>{NameRole};
    }

    void dataChangedNamesRowAndRole()
    {
        QFETCH(QByteArray, displayRole);
        QFETCH(QString, property);
        QFETCH(QVariant, value);
        QFETCH(QVector<int>, roles);

        ShutterModel model(nullptr, displayRole);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        fill(model, {"Hall", "Lounge", "Bed 1"});
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);

        QVERIFY(model.get(1)->setProperty(property.toLatin1().constData(), value));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toModelIndex(), model.index(1, 0));
        QCOMPARE(changed.at(0).at(1).toModelIndex(), model.index(1, 0));
        QCOMPARE(changed.at(0).at(2).value<QVector<int>>(), roles);
        QCOMPARE(reset.count(), 0);
    }

    void removedItemsNoLongerNotify()
    {
        ShutterModel model;
        Shutter kept("Hall");
        model.append(&kept);
        model.remove(&kept);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        kept.setWidth(500);
        QCOMPARE(changed.count(), 0);
    }

    void uidFollowsPropertyChanges()
    {
        ShutterModel model(nullptr, QByteArray(), "code");
        auto *a = new Shutter("Hall", "A1");
        auto *b = new Shutter("Den", "");
        model.append(a);
        model.append(b);

        QCOMPARE(model.get(QStringLiteral("A1")), a);
        QVERIFY(!model.get(QString()));

        a->setCode("A2");
        QCOMPARE(model.get(QStringLiteral("A2")), a);
        QVERIFY(!model.get(QStringLiteral("A1")));

        b->setCode("B1");
        QCOMPARE(model.get(QStringLiteral("B1")), b);

        a->setCode(QString());
        QVERIFY(!model.get(QStringLiteral("A2")));

        model.remove(b);
        QVERIFY(!model.get(QStringLiteral("B1")));
    }

    void uidLookupNeedsUidRole()
    {
        ShutterModel model;
        model.append(new Shutter("Hall", "A1"));
        QVERIFY(!model.get(QStringLiteral("A1")));
        QVERIFY(!model.get(QStringLiteral("Hall")));
    }

    void releasedItemsDeletedOnlyWhenOwned_data()
    {
        QTest::addColumn<bool>("useClear");
        QTest::newRow("remove") << false;
        QTest::newRow("clear") << true;
    }

    void releasedItemsDeletedOnlyWhenOwned()
    {
        QFETCH(bool, useClear);
        QObject owner;
        ShutterModel model;
        QPointer<Shutter> owned = new Shutter("Hall");
        QPointer<Shutter> foreign = new Shutter("Den", QString(), &owner);
        model.append(owned);
        model.append(foreign);
        QCOMPARE(owned->parent(), &model);
        QCOMPARE(foreign->parent(), &owner);

        if (useClear) {
            model.clear();
        } else {
            model.remove(owned.data());
            model.remove(0);
        }
        QCOMPARE(model.count(), 0);
        QVERIFY(owned); // deferred, not immediate
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!owned);
        QVERIFY(foreign);
        QCOMPARE(foreign->parent(), &owner);
    }

    void deletingModelDeletesOwnedItemsOnly()
    {
        QObject owner;
        auto *model = new ShutterModel;
        QPointer<Shutter> owned = new Shutter("Hall");
        QPointer<Shutter> foreign = new Shutter("Den", QString(), &owner);
        model->append(owned);
        model->append(foreign);
        delete model;
        QVERIFY(!owned);
        QVERIFY(foreign);
        foreign->setWidth(10); // must not reach the deleted model
    }

    void itemDeletedElsewhereLeavesModel()
    {
        ShutterModel model(nullptr, QByteArray(), "code");
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        fill(model, {"Hall", "Den"});
        auto *foreign = new Shutter("Loft", "L1", this);
        model.append(foreign);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy count(&model, &QQmlObjectListModelBase::countChanged);

        delete foreign;
        QCOMPARE(model.count(), 2);
        QCOMPARE(removed.count(), 1);
        QCOMPARE(removed.at(0).at(1).toInt(), 2);
        QCOMPARE(count.count(), 1);
        QVERIFY(!model.get(QStringLiteral("L1")));
        QCOMPARE(rooms(model), (QStringList{"Hall", "Den"}));
    }

    void moveTakesHigherRowToLower_data()
    {
        QTest::addColumn<int>("idx");
        QTest::addColumn<int>("pos");
        QTest::newRow("3 to 1") << 3 << 1;
        QTest::newRow("1 to 3") << 1 << 3;
    }

    void moveTakesHigherRowToLower()
    {
        QFETCH(int, idx);
        QFETCH(int, pos);
        ShutterModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        fill(model, {"A", "B", "C", "D", "E"});
        QSignalSpy moved(&model, &QAbstractItemModel::rowsMoved);
        QSignalSpy count(&model, &QQmlObjectListModelBase::countChanged);

        model.move(idx, pos);
        QCOMPARE(rooms(model), (QStringList{"A", "D", "B", "C", "E"}));
        QCOMPARE(moved.count(), 1);
        QCOMPARE(moved.at(0).at(1).toInt(), 3);
        QCOMPARE(moved.at(0).at(2).toInt(), 3);
        QCOMPARE(moved.at(0).at(4).toInt(), 1);
        QCOMPARE(count.count(), 0);

        // the moved item still reports its changes on its new row
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.get(1)->setWidth(42);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toModelIndex().row(), 1);
    }

    void moveIgnoresSameOrInvalidRows_data()
    {
        QTest::addColumn<int>("idx");
        QTest::addColumn<int>("pos");
        QTest::newRow("same row") << 2 << 2;
        QTest::newRow("negative") << -1 << 2;
        QTest::newRow("past end") << 1 << 3;
    }

    void moveIgnoresSameOrInvalidRows()
    {
        QFETCH(int, idx);
        QFETCH(int, pos);
        ShutterModel model;
        fill(model, {"A", "B", "C"});
        QSignalSpy moved(&model, &QAbstractItemModel::rowsMoved);
        model.move(idx, pos);
        QCOMPARE(moved.count(), 0);
        QCOMPARE(rooms(model), (QStringList{"A", "B", "C"}));
    }

    void insertAtBoundaries()
    {
        ShutterModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        fill(model, {"B", "C"});
        model.insert(0, new Shutter("A"));
        model.insert(3, new Shutter("D"));
        model.prepend(new Shutter("Z"));

        QCOMPARE(rooms(model), (QStringList{"Z", "A", "B", "C", "D"}));
        const QList<int> firstRows{0, 1, 0, 3, 0};
        QCOMPARE(inserted.count(), firstRows.count());
        for (int i = 0; i < firstRows.count(); ++i) {
            QCOMPARE(inserted.at(i).at(1).toInt(), firstRows.at(i));
            QCOMPARE(inserted.at(i).at(2).toInt(), firstRows.at(i));
        }
        QCOMPARE(model.getFirst()->room(), QStringLiteral("Z"));
        QCOMPARE(model.getLast()->room(), QStringLiteral("D"));
        QCOMPARE(model.indexOf(model.get(3)), 3);

        const QVariantList all = model.toVarArray();
        QCOMPARE(all.count(), 5);
        for (int i = 0; i < all.count(); ++i)
            QCOMPARE(all.at(i).value<QObject *>(), model.get(i));
    }

    void emptyModelAccessors()
    {
        ShutterModel model;
        QVERIFY(model.isEmpty());
        QVERIFY(!model.getFirst());
        QVERIFY(!model.getLast());
        QVERIFY(!model.get(0));
        QVERIFY(!model.get(-1));
        QVERIFY(model.toVarArray().isEmpty());
    }

    void countChangedOnlyWhenCountChanges()
    {
        ShutterModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy count(&model, &QQmlObjectListModelBase::countChanged);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        Unrelated stranger;
        Shutter outsider("Loft");

        model.clear();
        model.append(nullptr);
        model.append(&stranger);
        model.insert(0, &stranger);
        model.remove(&outsider);
        model.remove(0);
        QCOMPARE(count.count(), 0);
        QCOMPARE(inserted.count(), 0);
        QCOMPARE(removed.count(), 0);
        QCOMPARE(stranger.parent(), nullptr);

        fill(model, {"A", "B", "C"});
        QCOMPARE(count.count(), 3);
        QCOMPARE(model.property("count").toInt(), 3);

        // rows the list does not have, and an item it already holds
        model.insert(-1, new Shutter("X", QString(), this));
        model.insert(5, new Shutter("Y", QString(), this));
        model.append(model.get(0));
        model.remove(3);
        model.move(0, 2);
        model.get(1)->setWidth(99);
        QCOMPARE(count.count(), 3);
        QCOMPARE(rooms(model), (QStringList{"C", "A", "B"}));

        model.remove(1);
        QCOMPARE(count.count(), 4);
        model.clear();
        QCOMPARE(count.count(), 5);
        QCOMPARE(removed.last().at(1).toInt(), 0);
        QCOMPARE(removed.last().at(2).toInt(), 1);
        model.clear();
        QCOMPARE(count.count(), 5);
        QVERIFY(model.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestObjectListModel)
#include "tst_objectlistmodel.moc"
