#include "models/qqmlobjectlistmodel.h"

#include <QAbstractItemModelTester>
#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

// Roles: 257 objectName, 258 room, 259 code, 260 width, 261 panels (no notify).
class Shutter : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString room MEMBER m_room NOTIFY roomChanged)
    Q_PROPERTY(QString code MEMBER m_code NOTIFY codeChanged)
    Q_PROPERTY(int width MEMBER m_width NOTIFY widthChanged)
    Q_PROPERTY(int panels READ panels CONSTANT)

public:
    explicit Shutter(const QString &room, const QString &code = QString(), QObject *parent = nullptr)
        : QObject(parent), m_room(room), m_code(code) {}
    int panels() const { return 2; }

signals:
    void roomChanged();
    void codeChanged();
    void widthChanged();

private:
    QString m_room, m_code;
    int m_width = 0;
};

// Carries names the interface reserves for itself between ordinary properties.
class Louvre : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString label MEMBER m_label NOTIFY labelChanged)
    Q_PROPERTY(int index MEMBER m_index NOTIFY indexChanged)
    Q_PROPERTY(int id MEMBER m_id)
    Q_PROPERTY(double depth MEMBER m_depth NOTIFY depthChanged)

signals:
    void labelChanged();
    void indexChanged();
    void depthChanged();

private:
    QString m_label;
    int m_index = 0, m_id = 0;
    double m_depth = 0;
};

using ShutterModel = QQmlObjectListModel<Shutter>;
enum { ObjectRole = 256, NameRole = 257, RoomRole = 258, WidthRole = 260, PanelsRole = 261 };
constexpr auto Checked = QAbstractItemModelTester::FailureReportingMode::QtTest;

class TestObjectListModel : public QObject
{
    Q_OBJECT

    static QString rooms(const ShutterModel &model)
    {
        QString out;
        for (Shutter *s : model)
            out += s->property("room").toString();
        return out;
    }

    static void fill(ShutterModel &model, const QString &roomLetters)
    {
        for (const QChar r : roomLetters)
            model.append(new Shutter(r, QString(r).toLower()));
    }

private slots:
    void roleNumberingSkipsReservedNames()
    {
        QTest::ignoreMessage(QtWarningMsg, "Can't have \"index\" as a role name in QQmlObjectListModel<Louvre>");
        QTest::ignoreMessage(QtWarningMsg, "Can't have \"id\" as a role name in QQmlObjectListModel<Louvre>");
        QQmlObjectListModel<Louvre> model(nullptr, "label");
        QCOMPARE(model.roleNames(), (QHash<int, QByteArray>{{Qt::DisplayRole, "display"}, {256, "qtObject"},
                                                            {257, "objectName"}, {258, "label"}, {261, "depth"}}));
        QCOMPARE(model.roleForName("index"), -1);
        auto *louvre = new Louvre;
        louvre->setProperty("label", "Bay");
        louvre->setProperty("index", 7);
        model.append(louvre);
        const QModelIndex row0 = model.index(0, 0);
        QCOMPARE(model.data(row0, Qt::DisplayRole).toString(), QStringLiteral("Bay"));
        QVERIFY(!model.data(row0, 259).isValid());
        QVERIFY(!model.setData(row0, 9, 259));
        QCOMPARE(louvre->property("index").toInt(), 7);
        // the notify signal after the skipped properties still maps to its own role
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        louvre->setProperty("depth", 80.0);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(2).value<QVector<int>>(), QVector<int>{261});
        QCOMPARE(model.data(row0, 261).toDouble(), 80.0);
    }

    void dataAndSetData()
    {
        ShutterModel model;
        QAbstractItemModelTester tester(&model, Checked);
        auto *s = new Shutter("Hall", "h1");
        model.append(s);
        const QModelIndex row0 = model.index(0, 0);
        QVERIFY(!model.roleNames().contains(Qt::DisplayRole));
        QCOMPARE(model.data(row0, ObjectRole).value<QObject *>(), s);
        QVERIFY(model.setData(row0, 900, WidthRole));
        QCOMPARE(s->property("width").toInt(), 900);
        QVERIFY(!model.setData(row0, QVariant::fromValue<QObject *>(nullptr), ObjectRole));
        QVERIFY(!model.setData(row0, 3, PanelsRole) && model.data(row0, PanelsRole) == 2); // read-only
        QVERIFY(!model.setData(model.index(1, 0), 1, WidthRole) && !model.data(model.index(1, 0), RoomRole).isValid());
        QVERIFY(!model.setData(row0, 1, 999) && s->dynamicPropertyNames().isEmpty());
    }

    void dataChangedNamesRowAndRole_data()
    {
        QTest::addColumn<QByteArray>("displayRole");
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QVector<int>>("roles");
        QTest::newRow("width") << QByteArray() << QByteArray("width") << QVector<int>{WidthRole};
        QTest::newRow("room as display") << QByteArray("room") << QByteArray("room") << QVector<int>{RoomRole, Qt::DisplayRole};
        QTest::newRow("objectName") << QByteArray("room") << QByteArray("objectName") << QVector<int>{NameRole};
    }

    void dataChangedNamesRowAndRole()
    {
        QFETCH(QByteArray, displayRole);
        QFETCH(QByteArray, property);
        QFETCH(QVector<int>, roles);
        ShutterModel model(nullptr, displayRole);
        QAbstractItemModelTester tester(&model, Checked);
        fill(model, "HLB");
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QVERIFY(model.get(1)->setProperty(property.constData(), property == "width" ? QVariant(750) : QVariant("x")));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toModelIndex(), model.index(1, 0));
        QCOMPARE(changed.at(0).at(1).toModelIndex(), model.index(1, 0));
        QCOMPARE(changed.at(0).at(2).value<QVector<int>>(), roles);
    }

    // Looked up through the base type, as the interface does.
    void uidFollowsPropertyChanges()
    {
        ShutterModel model(nullptr, QByteArray(), "code");
        QQmlObjectListModelBase *base = &model;
        auto *a = new Shutter("Hall", "A1");
        auto *b = new Shutter("Den");
        model.append(a);
        model.append(b);
        QCOMPARE(base->get(QStringLiteral("A1")), a);
        QVERIFY(!base->get(QString()));
        a->setProperty("code", "A2");
        b->setProperty("code", "B1");
        QCOMPARE(base->get(QStringLiteral("A2")), a);
        QVERIFY(!base->get(QStringLiteral("A1")));
        QCOMPARE(base->get(QStringLiteral("B1")), b);
        a->setProperty("code", QString());
        QVERIFY(!base->get(QStringLiteral("A2")));
        model.remove(b);
        QVERIFY(!base->get(QStringLiteral("B1")));
        ShutterModel plain; // no uid role: no index
        plain.append(new Shutter("Hall", "A1"));
        QVERIFY(!plain.get(QStringLiteral("A1")));
    }

    void releasedItemsDeletedOnlyWhenOwned_data()
    {
        QTest::addColumn<bool>("useClear");
        QTest::newRow("remove") << false;
        QTest::newRow("clear") << true;
    }

    // Owned items are deleted later, others never; an item deleted elsewhere
    // leaves the list, and a deleted model leaves its foreign items alone.
    void releasedItemsDeletedOnlyWhenOwned()
    {
        QFETCH(bool, useClear);
        QObject owner;
        auto *model = new ShutterModel(nullptr, QByteArray(), "code");
        QPointer<Shutter> owned = new Shutter("Hall");
        QPointer<Shutter> foreign = new Shutter("Den", "D1", &owner);
        auto *doomed = new Shutter("Loft", "L1", &owner);
        for (Shutter *s : {owned.data(), doomed, foreign.data()})
            model->append(s);
        QCOMPARE(owned->parent(), model);
        QCOMPARE(foreign->parent(), &owner);
        QSignalSpy removed(model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy count(model, &QQmlObjectListModelBase::countChanged);
        delete doomed;
        QCOMPARE(model->count(), 2);
        QCOMPARE(removed.count() + count.count(), 2);
        QCOMPARE(removed.at(0).at(1).toInt(), 1);
        QVERIFY(!model->get(QStringLiteral("L1")));
        if (useClear) {
            model->clear();
        } else {
            model->remove(owned.data());
            model->remove(0);
        }
        QVERIFY(owned); // deferred, not immediate
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!owned);
        QVERIFY(foreign);
        QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
        foreign->setProperty("width", 500);
        QCOMPARE(changed.count(), 0);
        model->append(foreign); // taken back in, it reports each change once
        foreign->setProperty("width", 600);
        QCOMPARE(changed.count(), 1);
        delete model;
        QCOMPARE(foreign->parent(), &owner);
        foreign->setProperty("width", 10); // must not reach the deleted model
    }

    void move_data()
    {
        QTest::addColumn<int>("idx");
        QTest::addColumn<int>("pos");
        QTest::newRow("3 to 1") << 3 << 1;
        QTest::newRow("1 to 3") << 1 << 3;
    }

    // Both directions come out as the higher row taken to the lower.
    void move()
    {
        QFETCH(int, idx);
        QFETCH(int, pos);
        ShutterModel model;
        QAbstractItemModelTester tester(&model, Checked);
        fill(model, "ABCDE");
        QSignalSpy moved(&model, &QAbstractItemModel::rowsMoved);
        model.move(idx, pos);
        QCOMPARE(rooms(model), QStringLiteral("ADBCE"));
        QCOMPARE(moved.count(), 1);
        QCOMPARE(moved.at(0).at(1).toInt(), 3);
        QCOMPARE(moved.at(0).at(4).toInt(), 1);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.get(1)->setProperty("width", 42); // reported on its new row
        QCOMPARE(changed.at(0).at(0).toModelIndex().row(), 1);
    }

    void countChangedOnlyWhenCountChanges()
    {
        ShutterModel model;
        QAbstractItemModelTester tester(&model, Checked);
        QSignalSpy count(&model, &QQmlObjectListModelBase::countChanged);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy gone(&model, &QAbstractItemModel::rowsAboutToBeRemoved);
        QObject stranger;
        Shutter outsider("Loft");
        model.clear();
        model.append(nullptr);
        model.append(&stranger); // not a Shutter
        model.remove(&outsider);
        model.remove(0);
        QCOMPARE(count.count() + gone.count(), 0);
        QCOMPARE(stranger.parent(), nullptr);
        QVERIFY(!model.getFirst());

        fill(model, "BC");
        model.insert(0, new Shutter("A"));
        model.insert(3, new Shutter("D"));
        model.prepend(new Shutter("Z"));
        QCOMPARE(rooms(model), QStringLiteral("ZABCD"));
        QCOMPARE(count.count(), 5);
        for (int i = 0; i < 5; ++i) // rows 0, 1, 0, 3, 0 announced one by one
            QCOMPARE(inserted.at(i).mid(1), (QVariantList{QList<int>{0, 1, 0, 3, 0}.at(i), QList<int>{0, 1, 0, 3, 0}.at(i)}));
        QCOMPARE(model.getLast(), model.get(4));
        QCOMPARE(model.toVarArray().at(3).value<QObject *>(), model.get(3));

        // rows the list does not have, an item it already holds, no-op moves
        model.insert(-1, new Shutter("X", QString(), this));
        model.insert(6, new Shutter("Y", QString(), this));
        model.append(model.get(0));
        model.remove(5);
        model.move(0, 5);
        model.move(1, 1);
        model.get(1)->setProperty("width", 99);
        QCOMPARE(count.count() + inserted.count(), 10);
        QCOMPARE(rooms(model), QStringLiteral("ZABCD"));
        model.remove(1);
        model.clear();
        model.clear();
        QCOMPARE(count.count(), 7);
        QCOMPARE(gone.count(), 2);
        QVERIFY(model.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestObjectListModel)
#include "tst_objectlistmodel.moc"
