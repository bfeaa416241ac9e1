// The order object model: change signals and setters, item defaults and
// selection reset, rooms and items, conversions and the customer block.

#include "app/appcontext.h"
#include "app/appsettings.h"
#include "models/qqmlobjectlistmodel.h"
#include "models/qqmlvariantlistmodel.h"
#include "orders/optiongroup.h"
#include "orders/orderwriter.h"
#include "orders/ordersortfilterproxymodel.h"
#include "orders/vexaorder.h"
#include "orders/vexaorderitem.h"
#include "testenv.h"

#include <QMetaProperty>
#include <QScopedPointer>
#include <QSignalSpy>
#include <QtTest>

namespace {

// A value of the property's type that differs from the current one.
QVariant otherValue(const QVariant &current, int type)
{
    switch (type) {
    case QMetaType::QString: return current.toString() + QStringLiteral("x");
    case QMetaType::Int: return current.toInt() + 7;
    case QMetaType::Double: return current.toDouble() + 2.5;
    case QMetaType::Bool: return !current.toBool();
    case QMetaType::QDateTime: return QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7));
    case QMetaType::QStringList: return current.toStringList() << QStringLiteral("y");
    case QMetaType::QVariantMap: {
        QVariantMap m = current.toMap();
        m.insert(QStringLiteral("k"), 1);
        return m;
    }
    default: return QVariant();
    }
}

QStringList rooms(const VexaOrder &order)
{
    QStringList list;
    const QVariantList values = order.roomsModel()->list();
    for (const QVariant &v : values)
        list << v.toString();
    return list;
}

} // namespace

class TestOrderModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnv::initApp(); }
    void init() { m_data.reset(TestEnv::freshDataFolder()); }
    void cleanup() { m_data.reset(); }

    void settersAndSignals_data();
    void settersAndSignals();
    void newItemDefaults_data();
    void newItemDefaults();
    void selectionReset_data();
    void selectionReset();
    void clearEmptiesEverything();
    void roomsFollowItems();
    void renameOntoExistingRoomMerges();
    void copyNewItem();
    void copyOrderNotes();
    void mm2Inches_data();
    void mm2Inches();
    void inches2mm_data();
    void inches2mm();
    void processAddress();
    void sortItemsByProperty();
    void imageToSignature();
    void copyToAllInRoom();

private:
    QScopedPointer<QTemporaryDir> m_data;
};

void TestOrderModel::settersAndSignals_data()
{
    QTest::addColumn<QString>("className");
    QTest::newRow("order") << "VexaOrder";
    QTest::newRow("item") << "VexaOrderItem";
    QTest::newRow("option") << "OptionGroup";
}

// Every writable property: its set_ slot reports a change and its signal
// carries the new value exactly once; setting the same value again does
// neither.
void TestOrderModel::settersAndSignals()
{
    QFETCH(QString, className);
    VexaOrder order;
    QScopedPointer<QObject> holder;
    QObject *obj = &order;
    if (className == QLatin1String("VexaOrderItem"))
        holder.reset(obj = new VexaOrderItem());
    else if (className == QLatin1String("OptionGroup"))
        holder.reset(obj = new OptionGroup());
    const QMetaObject *mo = obj->metaObject();
    int checked = 0;
    for (int i = mo->propertyOffset(); i < mo->propertyCount(); ++i) {
        const QMetaProperty prop = mo->property(i);
        const QByteArray name = prop.name();
        const QByteArray setter = "set_" + name;
        if (!prop.isWritable()) {
            QVERIFY2(mo->indexOfSlot(setter + "(" + prop.typeName() + ")") < 0, name.constData());
            continue;
        }
        QVERIFY2(prop.hasNotifySignal(), name.constData());
        QCOMPARE(prop.notifySignal().name(), name + "Changed");
        QCOMPARE(prop.notifySignal().parameterCount(), 1);
        const QVariant next = otherValue(prop.read(obj), prop.userType());
        QVERIFY2(next.isValid(), name.constData());

        QSignalSpy spy(obj, QByteArray(QByteArray::number(QSIGNAL_CODE) + prop.notifySignal().methodSignature()).constData());
        bool changed = false;
        QVERIFY2(QMetaObject::invokeMethod(obj, setter.constData(),
                                           QReturnArgument<bool>("bool", changed),
                                           QGenericArgument(prop.typeName(), next.constData())),
                 setter.constData());
        QVERIFY2(changed, name.constData());
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0), next);
        QCOMPARE(prop.read(obj), next);

        changed = true;
        QMetaObject::invokeMethod(obj, setter.constData(), QReturnArgument<bool>("bool", changed),
                                  QGenericArgument(prop.typeName(), next.constData()));
        QVERIFY2(!changed, name.constData());
        QCOMPARE(spy.count(), 1);
        ++checked;
    }
    QVERIFY(checked >= 5);
}


void TestOrderModel::newItemDefaults_data()
{
    QTest::addColumn<QVariant>("jimp");
    QTest::addColumn<bool>("inches");
    QTest::newRow("unset") << QVariant() << false;
    QTest::newRow("true") << QVariant(true) << true;
    QTest::newRow("text true") << QVariant(QStringLiteral("true")) << true;
    QTest::newRow("false") << QVariant(false) << false;
}

void TestOrderModel::newItemDefaults()
{
    QFETCH(QVariant, jimp);
    QFETCH(bool, inches);
    AppContext::userSettings()->remove(QStringLiteral("jimp_b"));
    if (jimp.isValid())
        AppContext::userSettings()->setValue(QStringLiteral("jimp_b"), jimp);
    VexaOrderItem item;
    QCOMPARE(item.bl_inches(), inches);
    QCOMPARE(item.bl_inchesJob(), inches);
    QCOMPARE(item.bl_multiple(), 1);
    QCOMPARE(item.optionsModel()->count(), 0);
    QCOMPARE(item.optionsModel()->parent(), &item);
    OptionGroup group;
    QCOMPARE(group.multiple(), 0);
}

void TestOrderModel::selectionReset_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<bool>("product");
    QTest::addColumn<bool>("supplier");
    QTest::addColumn<bool>("range");
    QTest::newRow("colour only") << 0 << true << true << true;
    QTest::newRow("range") << 1 << true << true << false;
    QTest::newRow("supplier") << 2 << true << false << false;
    QTest::newRow("product") << 3 << false << false << false;
}

void TestOrderModel::selectionReset()
{
    QFETCH(int, level);
    QFETCH(bool, product);
    QFETCH(bool, supplier);
    QFETCH(bool, range);
    VexaOrderItem item;
    item.set_room(QStringLiteral("Hall"));
    item.set_bl_width(800);
    item.set_bl_product(QStringLiteral("P"));
    item.set_bl_supplier(QStringLiteral("S"));
    item.set_bl_range(QStringLiteral("R"));
    item.set_bl_color(QStringLiteral("C"));
    item.set_item_price(10);
    item.set_extras_price(5);
    item.set_bl_bandOverride(QStringLiteral("B2"));
    item.set_bl_band(QStringLiteral("B1"));
    item.set_bl_warning(QStringLiteral("w"));
    item.set_manualPrice(true);
    item.btypeCode = QStringLiteral("G");
    item.fabricCode = QStringLiteral("F");
    item.set_calcMap({{QStringLiteral("a"), 1}});
    item.set_dataMap({{QStringLiteral("b"), 2}});
    auto *group = new OptionGroup(&item);
    QPointer<OptionGroup> watch(group);
    item.optionsModel()->append(group);

    item.resetSelection(level);
    QCOMPARE(item.bl_product().isEmpty(), !product);
    QCOMPARE(item.bl_supplier().isEmpty(), !supplier);
    QCOMPARE(item.bl_range().isEmpty(), !range);
    QCOMPARE(item.optionsModel()->count(), product ? 1 : 0);
    QVERIFY(item.bl_color().isEmpty());
    QCOMPARE(item.item_price(), 0.0);
    QCOMPARE(item.extras_price(), 0.0);
    QVERIFY(item.bl_bandOverride().isEmpty() && item.bl_band().isEmpty() && item.bl_warning().isEmpty());
    QVERIFY(!item.manualPrice());
    QVERIFY(item.btypeCode.isEmpty() && item.fabricCode.isEmpty());
    QVERIFY(item.calcMap().isEmpty());
    // what the surveyor typed (panel layout, post positions) survives a new choice
    QCOMPARE(item.dataMap().value(QStringLiteral("b")).toInt(), 2);
    QCOMPARE(item.room(), QStringLiteral("Hall"));
    QCOMPARE(item.bl_width(), 800);
    QVERIFY(!watch.isNull());
}

void TestOrderModel::clearEmptiesEverything()
{
    AppContext::userSettings()->setValue(QStringLiteral("fit_d"), 25.5);
    VexaOrder order;
    order.newOrder();
    order.addBlind(QStringLiteral("Hall"));
    QPointer<VexaOrderItem> item = order.getVexaOrderItem();
    order.set_signature(QStringLiteral("data:image/png;base64,AAAA"));
    order.set_custName(QStringLiteral("Eve"));
    order.set_apmins(90);
    order.xto = QStringLiteral("22");
    QSignalSpy margins(&order, &VexaOrder::itemsMarginChanged);
    order.clear();
    QVERIFY(item.isNull());
    QCOMPARE(order.orderItemsModel()->count(), 0);
    QCOMPARE(order.roomsModel()->count(), 0);
    QVERIFY(!order.getVexaOrderItem());
    QVERIFY(order.orderID().isEmpty());
    QVERIFY(order.custName().isEmpty());
    // A new order must not inherit the previous customer's signature or
    // transfer target.
    QVERIFY(order.signature().isEmpty());
    QVERIFY(order.xto.isEmpty());
    QCOMPARE(order.apmins(), 30);
    QCOMPARE(order.fittingCost(), 25.5);
    QVERIFY(order.sendEmailToCustomer());
    QVERIFY(!order.changed());
    QCOMPARE(margins.count(), 1);
}

void TestOrderModel::roomsFollowItems()
{
    VexaOrder order;
    order.newOrder();
    QCOMPARE(order.addBlind(QStringLiteral("Lounge")), 1);
    QCOMPARE(rooms(order), QStringList{QStringLiteral("Lounge")});
    QCOMPARE(order.currentRoom(), QStringLiteral("Lounge"));
    VexaOrderItem *first = order.getVexaOrderItem();
    QVERIFY(first);
    // adding an item processes it, which saves the new order
    QVERIFY(!order.changed());
    OrderWriter::instance().flush();
    QVERIFY(QFile::exists(AppContext::ordersFolder + order.orderID()));
    QCOMPARE(order.addBlind(QStringLiteral("Lounge")), 2);
    QCOMPARE(order.indexInRoom(), 1);
    QCOMPARE(order.addBlind(QStringLiteral("Kitchen")), 1);
    QCOMPARE(rooms(order), (QStringList{QStringLiteral("Lounge"), QStringLiteral("Kitchen")}));
    QCOMPARE(order.orderItemsModel()->count(), 3);

    order.setBlind(QStringLiteral("Lounge"), 0);
    QCOMPARE(order.getVexaOrderItem(), first);
    QCOMPARE(order.roomItemsModel()->count(), 2);

    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("^removeBlind .* does not exist")));
    order.removeBlind(QStringLiteral("Lounge"), 2);
    QCOMPARE(order.orderItemsModel()->count(), 3);

    order.setRoomItemsModel(QStringLiteral("Kitchen"));
    order.removeBlind(QStringLiteral("Kitchen"), 0);
    QCOMPARE(rooms(order), QStringList{QStringLiteral("Lounge")});
    QVERIFY(order.currentRoom().isEmpty());
    QVERIFY(!order.getVexaOrderItem());
    QCOMPARE(order.orderItemsModel()->count(), 2);

    order.changeRoomName(QStringLiteral("Lounge"), QStringLiteral("Sitting Room"));
    QCOMPARE(rooms(order), QStringList{QStringLiteral("Sitting Room")});
    QCOMPARE(first->room(), QStringLiteral("Sitting Room"));
    QCOMPARE(order.currentRoom(), QStringLiteral("Sitting Room"));
    order.changeRoomName(QStringLiteral("Nowhere"), QStringLiteral("X"));
    QCOMPARE(rooms(order), QStringList{QStringLiteral("Sitting Room")});
}

void TestOrderModel::renameOntoExistingRoomMerges()
{
    VexaOrder order;
    order.newOrder();
    order.addBlind(QStringLiteral("Bed 1"));
    order.addBlind(QStringLiteral("Bed 2"));
    order.addBlind(QStringLiteral("Bed 2"));
    order.changeRoomName(QStringLiteral("Bed 2"), QStringLiteral("Bed 1"));
    QCOMPARE(rooms(order), QStringList{QStringLiteral("Bed 1")});
    QCOMPARE(order.currentRoom(), QStringLiteral("Bed 1"));
    QCOMPARE(order.roomItemsModel()->count(), 3);
}

void TestOrderModel::copyNewItem()
{
    AppContext::userSettings()->setValue(QStringLiteral("copynewitem_b"), true);
    VexaOrder order;
    order.newOrder();
    order.addBlind(QStringLiteral("Hall"));
    VexaOrderItem *source = order.getVexaOrderItem();
    source->set_bl_width(700);
    source->set_bl_drop(1200);
    source->set_bl_product(QStringLiteral("Lattica"));
    source->set_bl_range(QStringLiteral("Classic"));
    source->set_dataMap({{QStringLiteral("PanelConfig"), QStringLiteral("LR")}, {QStringLiteral("Louvre"), 89}});
    auto *group = new OptionGroup(source);
    group->set_optionGroup(QStringLiteral("Hinges"));
    group->set_description(QStringLiteral("Brass"));
    source->optionsModel()->append(group);

    order.addBlind(QStringLiteral("Hall"));
    VexaOrderItem *copy = order.getVexaOrderItem();
    QVERIFY(copy != source);
    QCOMPARE(copy->bl_product(), QStringLiteral("Lattica"));
    QCOMPARE(copy->bl_range(), QStringLiteral("Classic"));
    QCOMPARE(copy->bl_width(), 0);
    QCOMPARE(copy->bl_drop(), 0);
    QVERIFY(!copy->dataMap().contains(QStringLiteral("PanelConfig")));
    QCOMPARE(copy->dataMap().value(QStringLiteral("Louvre")).toInt(), 89);
    OptionGroup *copied = copy->getOptionGroup(QStringLiteral("Hinges"));
    QVERIFY(copied && copied != group);
    QCOMPARE(copied->description(), QStringLiteral("Brass"));

    // Copying to the whole house leaves the source with one group, not two.
    order.copyToAllInHouse(QStringLiteral("Hall"), 0);
    QCOMPARE(source->optionsModel()->count(), 1);
    AppContext::userSettings()->remove(QStringLiteral("copynewitem_b"));
}

void TestOrderModel::copyOrderNotes()
{
    VexaOrder order;
    order.newOrder();
    const QString oldId = order.orderID();
    order.set_orderNotes(QStringLiteral("Side gate"));
    order.set_date(QDateTime::currentDateTime());
    order.copyOrder();
    QVERIFY(order.orderID() != oldId);
    QCOMPARE(order.orderNotes(), QStringLiteral("Side gate\nCopy of: ") + oldId);
    QCOMPARE(order.orderState(), int(VexaOrder::InProgress));
    QVERIFY(!order.date().isValid());
    QVERIFY(QFile::exists(AppContext::ordersFolder + order.orderID()));
}

void TestOrderModel::mm2Inches_data()
{
    QTest::addColumn<int>("mm");
    QTest::addColumn<QString>("inches");
    QTest::newRow("927") << 927 << "36 1/2";
    QTest::newRow("1000") << 1000 << "39 3/8";
    QTest::newRow("914") << 914 << "36";
    QTest::newRow("quarter") << 19 << "0 3/4";
    QTest::newRow("tiny") << 1 << "0";
    QTest::newRow("zero") << 0 << "";
    QTest::newRow("too big") << 10000 << "";
    QTest::newRow("largest") << 9999 << "393 5/8";
}

void TestOrderModel::mm2Inches()
{
    QFETCH(int, mm);
    QFETCH(QString, inches);
    VexaOrder order;
    QCOMPARE(order.mm2Inches(mm), inches);
}

void TestOrderModel::inches2mm_data()
{
    QTest::addColumn<QString>("inches");
    QTest::addColumn<QString>("mm");
    QTest::newRow("36") << "36" << "914";
    QTest::newRow("36 1/2") << "36 1/2" << "927";
    QTest::newRow("39 3/8") << "39 3/8" << "1000";
    QTest::newRow("fraction only") << "3/4" << "19";
    QTest::newRow("decimal") << "10.5" << "267";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("over nothing") << "5 1/0" << "";
}

void TestOrderModel::inches2mm()
{
    QFETCH(QString, inches);
    QFETCH(QString, mm);
    VexaOrder order;
    QCOMPARE(order.inches2mm(inches), mm);
}

void TestOrderModel::processAddress()
{
    VexaOrder order;
    order.processAddress(QStringLiteral("JOHN  SMITH, 12 ACACIA avenue,<br>little  town, ab1 2cd, 01234 567 890, "
                                        "John@Example.COM"));
    QCOMPARE(order.custName(), QStringLiteral("John Smith"));
    QCOMPARE(order.custAddr(), QStringLiteral("12 Acacia Avenue\nLittle Town"));
    QCOMPARE(order.custPcode(), QStringLiteral("AB1 2CD"));
    QCOMPARE(order.custPhone(), QStringLiteral("01234 567 890"));
    QCOMPARE(order.custEmail(), QStringLiteral("john@example.com"));
    QCOMPARE(order.custAddress(), QStringLiteral("John Smith\n12 Acacia Avenue\nLittle Town\nAB1 2CD"));

    order.processAddress(QStringLiteral("Ann Lee\n3 Mill Lane"));
    QCOMPARE(order.custName(), QStringLiteral("Ann Lee"));
    QCOMPARE(order.custPhone(), QStringLiteral("01234 567 890"));
    QCOMPARE(order.custPcode(), QString());
}


void TestOrderModel::sortItemsByProperty()
{
    VexaOrder order;
    order.newOrder();
    const QStringList roomsAdded = {QStringLiteral("Study"), QStringLiteral("Attic"), QStringLiteral("Kitchen")};
    const QList<int> widths = {500, 900, 700};
    for (int i = 0; i < roomsAdded.size(); ++i) {
        order.addBlind(roomsAdded.at(i));
        order.getVexaOrderItem()->set_bl_width(widths.at(i));
    }
    auto column = [&order](const char *property) {
        QStringList values;
        const QAbstractItemModel *proxy = order.orderItemsProxyModel();
        const int role = order.orderItemsModel()->roleForName(property);
        for (int row = 0; row < proxy->rowCount(); ++row)
            values << proxy->index(row, 0).data(role).toString();
        return values;
    };
    order.sortOrdersBy("room");
    QCOMPARE(column("room"), (QStringList{"Attic", "Kitchen", "Study"}));
    order.sortOrdersBy("bl_width");
    QCOMPARE(column("bl_width"), (QStringList{"500", "700", "900"}));
    // The proxy follows later edits of the sorted property.
    order.orderItemsModel()->get(0)->set_bl_width(1000);
    QCOMPARE(column("bl_width"), (QStringList{"700", "900", "1000"}));
}

void TestOrderModel::imageToSignature()
{
    const QByteArray png("\x89PNG\r\n\x1a\nfake", 12);
    const QString path = m_data->path() + QStringLiteral("/sig.png");
    QVERIFY(TestEnv::writeFile(path, png));
    VexaOrder order;
    order.imageToSignature(QUrl::fromLocalFile(path).toString());
    QCOMPARE(order.signature(), QStringLiteral("data:image/png;base64,") + QString::fromLatin1(png.toBase64()));
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("not found$")));
    order.imageToSignature(path + QStringLiteral("-missing"));
    QCOMPARE(order.signature(), QStringLiteral("data:image/png;base64,") + QString::fromLatin1(png.toBase64()));
}

void TestOrderModel::copyToAllInRoom()
{
    VexaOrder order;
    order.newOrder();
    order.addBlind(QStringLiteral("Hall"));
    order.addBlind(QStringLiteral("Hall"));
    order.addBlind(QStringLiteral("Hall"));
    order.addBlind(QStringLiteral("Loft"));
    VexaOrderItem *other = order.getVexaOrderItem();
    order.setBlind(QStringLiteral("Hall"), 1);
    VexaOrderItem *source = order.getVexaOrderItem();
    source->set_bl_product(QStringLiteral("Lattica"));
    source->set_bl_color(QStringLiteral("Cream"));
    source->set_bl_width(640);
    auto *group = new OptionGroup(source);
    group->set_optionGroup(QStringLiteral("Hinges"));
    group->set_description(QStringLiteral("Brass"));
    source->optionsModel()->append(group);

    // A room that is not the source's copies nothing.
    order.copyToAllInRoom(QStringLiteral("Loft"), 1);
    QVERIFY(order.roomItemsModel()->get(0)->bl_product().isEmpty());

    order.copyToAllInRoom(QStringLiteral("Hall"), 1);
    for (int i = 0; i < 3; ++i) {
        VexaOrderItem *item = order.roomItemsModel()->get(i);
        QCOMPARE(item->bl_color(), QStringLiteral("Cream"));
        QCOMPARE(item->optionsModel()->count(), 1);
        QCOMPARE(item->bl_width(), i == 1 ? 640 : 0);
    }
    QVERIFY(other->bl_product().isEmpty());
    QCOMPARE(order.getVexaOrderItem(), source);
}

QTEST_GUILESS_MAIN(TestOrderModel)
#include "tst_ordermodel.moc"
