#include "models/qqmlobjectlistmodel.h"

#include <QtTest>

// Roles: 257 objectName, 258 room, 259 code, 260 width, 261 panels (no notify).
class Shutter : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString room MEMBER m_room NOTIFY roomChanged)
    Q_PROPERTY(QString code MEMBER m_code NOTIFY codeChanged)
    Q_PROPERTY(int width MEMBER m_width NOTIFY widthChanged)
    Q_PROPERTY(int panels READ panels CONSTANT)
    QString m_room, m_code;
    int m_width = 0;

public:
    explicit Shutter(const QString &room, const QString &code = QString(), QObject *parent = nullptr)
        : QObject(parent), m_room(room), m_code(code) {}
    int panels() const { return 2; }

signals:
    void roomChanged();
    void codeChanged();
    void widthChanged();
};

// Carries a name the interface reserves for itself between ordinary properties.
class Louvre : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString label MEMBER m_label NOTIFY labelChanged)
    Q_PROPERTY(int index MEMBER m_index)
    Q_PROPERTY(double depth MEMBER m_depth NOTIFY depthChanged)
    QString m_label;
    int m_index = 0;
    double m_depth = 0;

signals:
    void labelChanged();
    void depthChanged();
};

using ShutterModel = QQmlObjectListModel<Shutter>;
enum { ObjectRole = 256, RoomRole = 258, WidthRole = 260, PanelsRole = 261 };
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

private slots:
    void roleNumberingSkipsReservedNames()
    {
        QTest::ignoreMessage(QtWarningMsg, "Can't have \"index\" as a role name in QQmlObjectListModel<Louvre>");
        QQmlObjectListModel<Louvre> model(nullptr, "label");
        QCOMPARE(model.roleNames(), (QHash<int, QByteArray>{{Qt::DisplayRole, "display"}, {256, "qtObject"},
                                                            {257, "objectName"}, {258, "label"}, {260, "depth"}}));
        auto *louvre = new Louvre;
        louvre->setProperty("index", 7);
        model.append(louvre);
        const QModelIndex row0 = model.index(0, 0);
        QVERIFY(!model.data(row0, 259).isValid() && !model.setData(row0, 9, 259));
        QCOMPARE(louvre->property("index").toInt(), 7);
        // the notify signal after the skipped property still maps to its own
        // role; the display role is announced with the property behind it
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        louvre->setProperty("depth", 80.0);
        louvre->setProperty("label", "Bay");
        QCOMPARE(changed.count(), 2);
        QCOMPARE(changed.at(0).at(2).value<QVector<int>>() + changed.at(1).at(2).value<QVector<int>>(), (QVector<int>{260, 258, Qt::DisplayRole}));
        QCOMPARE(model.data(row0, Qt::DisplayRole).toString(), QStringLiteral("Bay"));
    }

    // Looked up through the base type, as the interface does.
    void dataAndUidLookup()
    {
        ShutterModel model(nullptr, QByteArray(), "code");
        QAbstractItemModelTester tester(&model, Checked);
        QQmlObjectListModelBase *base = &model;
        auto *a = new Shutter("Hall", "A1"), *b = new Shutter("Den");
        model.append({a, b});
        const QModelIndex row0 = model.index(0, 0), row2 = model.index(2, 0);
        QCOMPARE(model.data(row0, ObjectRole).value<QObject *>(), a);
        QVERIFY(model.setData(row0, 900, WidthRole) && a->property("width") == 900);
        QVERIFY(!model.setData(row0, QVariant::fromValue<QObject *>(nullptr), ObjectRole));
        QVERIFY(!model.setData(row0, 3, PanelsRole) && model.data(row0, PanelsRole) == 2); // read-only
        QVERIFY(!model.setData(row2, 1, WidthRole) && !model.data(row2, RoomRole).isValid());
        QVERIFY(!model.setData(row0, 1, 999) && a->dynamicPropertyNames().isEmpty());

        QVERIFY(base->get(QStringLiteral("A1")) == a && !base->get(QString()));
        a->setProperty("code", "A2");
        b->setProperty("code", "B1");
        QVERIFY(base->get(QStringLiteral("A2")) == a && !base->get(QStringLiteral("A1")) && base->get(QStringLiteral("B1")) == b);
        model.remove(b);
        QVERIFY(!base->get(QStringLiteral("B1")));
    }

    // Owned items are deleted later, others never; an item deleted elsewhere
    // leaves the list, and a deleted model leaves its foreign items alone.
    void releasedItemsDeletedOnlyWhenOwned()
    {
        QObject owner;
        auto *model = new ShutterModel(nullptr, QByteArray(), "code");
        QPointer<Shutter> removed = new Shutter("Hall"), cleared = new Shutter("Den");
        QPointer<Shutter> foreign = new Shutter("Bay", "B1", &owner);
        auto *doomed = new Shutter("Loft", "L1", &owner);
        for (Shutter *s : {removed.data(), doomed, cleared.data(), foreign.data()})
            model->append(s);
        QSignalSpy rows(model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy count(model, &QQmlObjectListModelBase::countChanged);
        delete doomed;
        QVERIFY(rows.count() + count.count() == 2 && rows.at(0).at(1).toInt() == 1 && !model->get(QStringLiteral("L1")));
        model->remove(removed.data());
        model->clear();
        QVERIFY(removed && cleared); // deferred, not immediate
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!removed && !cleared && foreign);
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

    // Both directions come out as the higher row taken to the lower.
    void move()
    {
        for (const QPoint &m : {QPoint(3, 1), QPoint(1, 3)}) {
            ShutterModel model;
            QAbstractItemModelTester tester(&model, Checked);
            for (const QChar r : QStringLiteral("ABCDE"))
                model.append(new Shutter(r));
            QSignalSpy moved(&model, &QAbstractItemModel::rowsMoved);
            model.move(m.x(), m.y());
            QCOMPARE(rooms(model), QStringLiteral("ADBCE"));
            QCOMPARE(moved.value(0).mid(1, 1) + moved.value(0).mid(4) + QVariantList{moved.count()}, (QVariantList{3, 1, 1})); // rows 3 and 1, once
            QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
            model.get(1)->setProperty("width", 42); // reported on its new row
            QCOMPARE(changed.at(0).at(0).toModelIndex().row(), 1);
        }
    }

    // Row numbers of inserts and removals are checked by the model tester.
    void countChangedOnlyWhenCountChanges()
    {
        ShutterModel model;
        QAbstractItemModelTester tester(&model, Checked);
        QSignalSpy count(&model, &QQmlObjectListModelBase::countChanged);
        QSignalSpy gone(&model, &QAbstractItemModel::rowsAboutToBeRemoved);
        QObject stranger;
        Shutter outsider("Loft");
        model.clear();
        model.append(nullptr);
        model.append(&stranger); // not a Shutter
        model.remove(&outsider);
        model.remove(0);
        QCOMPARE(count.count() + gone.count(), 0);

        model.append(new Shutter("B"));
        model.append(new Shutter("C"));
        model.insert(0, new Shutter("A"));
        model.insert(3, new Shutter("D"));
        model.prepend(new Shutter("Z"));
        QVERIFY(rooms(model) == "ZABCD" && count.count() == 5);
        QCOMPARE(model.toVarArray().at(3).value<QObject *>(), model.get(3));

        // rows the list does not have, an item it already holds, no-op moves
        model.insert(-1, new Shutter("X", QString(), this));
        model.insert(6, new Shutter("Y", QString(), this));
        model.append(model.get(0));
        model.remove(5);
        model.move(0, 5);
        model.move(1, 1);
        QVERIFY(rooms(model) == "ZABCD" && count.count() == 5);
        model.remove(1);
        model.clear();
        model.clear();
        QVERIFY(count.count() == 7 && gone.count() == 2);
    }
};

QTEST_GUILESS_MAIN(TestObjectListModel)
#include "tst_objectlistmodel.moc"
