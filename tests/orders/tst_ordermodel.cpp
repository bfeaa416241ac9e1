// The order object model: change signals, item defaults and selection
// reset, rooms and items, conversions and the customer block.

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

#include <QScopedPointer>
#include <QSignalSpy>
#include <QtTest>

namespace {

OptionGroup *addGroup(VexaOrderItem *item, const QString &name, const QString &description)
{
    auto *group = new OptionGroup(item);
    group->set_optionGroup(name);
    group->set_description(description);
    item->optionsModel()->append(group);
    return group;
}

} // namespace

class TestOrderModel : public QObject
{
    Q_OBJECT
    QScopedPointer<QTemporaryDir> m_data;

private slots:
    void initTestCase() { TestEnv::initApp(); }
    void init() { m_data.reset(TestEnv::freshDataFolder()); }
    void cleanup() { m_data.reset(); }

    void newItemDefaults()
    {
        AppContext::userSettings()->setValue(QStringLiteral("jimp_b"), QStringLiteral("true"));
        VexaOrderItem item;
        QVERIFY(item.bl_inches() && item.bl_inchesJob());
        AppContext::userSettings()->remove(QStringLiteral("jimp_b"));
        QVERIFY(!VexaOrderItem().bl_inches());
        // the interface listens to XChanged(value), announced once per real change
        QSignalSpy spy(&item, &VexaOrderItem::bl_widthChanged);
        QVERIFY(item.set_bl_width(900) && !item.set_bl_width(900));
        QCOMPARE(spy, (QList<QVariantList>{{900}}));
    }

    void selectionReset_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("kept"); // product, supplier, range still chosen
        QTest::newRow("colour only") << 0 << "PSR";
        QTest::newRow("range") << 1 << "PS";
        QTest::newRow("supplier") << 2 << "P";
        QTest::newRow("product") << 3 << "";
    }

    void selectionReset()
    {
        QFETCH(int, level);
        QFETCH(QString, kept);
        VexaOrderItem item;
        const QVariantMap chosen{{"room", "Hall"}, {"bl_width", 800}, {"bl_product", "P"}, {"bl_supplier", "S"},
                                 {"bl_range", "R"}, {"bl_color", "C"}, {"item_price", 10}, {"bl_bandOverride", "B2"},
                                 {"bl_band", "B1"}, {"bl_warning", "w"}, {"manualPrice", true},
                                 {"calcMap", QVariantMap{{"a", 1}}}, {"dataMap", QVariantMap{{"b", 2}}}};
        for (auto it = chosen.begin(); it != chosen.end(); ++it)
            QVERIFY(item.setProperty(qPrintable(it.key()), it.value()));
        item.set_extras_price(5);
        item.btypeCode = item.fabricCode = "G";
        QPointer<OptionGroup> group = addGroup(&item, "Hinges", "Brass");

        item.resetSelection(level);
        QCOMPARE(item.bl_product() + item.bl_supplier() + item.bl_range(), kept);
        QCOMPARE(item.optionsModel()->count(), kept.isEmpty() ? 0 : 1);
        QVERIFY(!group.isNull()); // released later, not under the interface's feet
        QCOMPARE(item.bl_color() + item.bl_bandOverride() + item.bl_band() + item.bl_warning() + item.btypeCode
                     + item.fabricCode, QString());
        QCOMPARE(item.item_price() + item.extras_price(), 0.0);
        QVERIFY(!item.manualPrice() && item.calcMap().isEmpty());
        // what the surveyor typed (panel layout, post positions) survives a new choice
        QCOMPARE(item.dataMap().value("b").toInt(), 2);
        QCOMPARE(item.room(), QStringLiteral("Hall"));
        QCOMPARE(item.bl_width(), 800);
    }

    // A new order must not inherit the previous customer's details,
    // signature or transfer target.
    void clearEmptiesEverything()
    {
        AppContext::userSettings()->setValue(QStringLiteral("fit_d"), 25.5);
        VexaOrder order;
        order.newOrder();
        order.addBlind("Hall");
        QPointer<VexaOrderItem> item = order.getVexaOrderItem();
        order.set_signature("data:image/png;base64,AAAA");
        order.set_custName("Eve");
        order.set_apmins(90);
        order.xto = "22";
        QSignalSpy margins(&order, &VexaOrder::itemsMarginChanged);
        order.clear();
        QVERIFY(item.isNull());
        QCOMPARE(order.orderItemsModel()->count() + order.roomsModel()->count(), 0);
        QVERIFY(!order.getVexaOrderItem());
        QCOMPARE(order.orderID() + order.custName() + order.signature() + order.xto, QString());
        QCOMPARE(order.apmins(), 30);
        QCOMPARE(order.fittingCost(), 25.5);
        QVERIFY(order.sendEmailToCustomer());
        QVERIFY(!order.changed());
        QCOMPARE(margins.count(), 1);
    }

    void roomsFollowItems()
    {
        VexaOrder order;
        order.newOrder();
        QCOMPARE(order.addBlind("Lounge"), 1);
        QCOMPARE(order.currentRoom(), QStringLiteral("Lounge"));
        VexaOrderItem *first = order.getVexaOrderItem();
        QVERIFY(first);
        QVERIFY(!order.changed()); // adding an item processes it, which saves the new order
        OrderWriter::instance().flush();
        QVERIFY(QFile::exists(AppContext::ordersFolder + order.orderID()));
        QCOMPARE(order.addBlind("Lounge"), 2);
        QCOMPARE(order.indexInRoom(), 1);
        QCOMPARE(order.addBlind("Kitchen"), 1);
        QCOMPARE(order.roomsModel()->list(), (QVariantList{"Lounge", "Kitchen"}));
        QCOMPARE(order.orderItemsModel()->count(), 3);
        order.setBlind("Lounge", 0);
        QCOMPARE(order.getVexaOrderItem(), first);
        QCOMPARE(order.roomItemsModel()->count(), 2);

        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("^removeBlind .* does not exist")));
        order.removeBlind("Lounge", 2);
        QCOMPARE(order.orderItemsModel()->count(), 3);
        order.setRoomItemsModel("Kitchen");
        order.removeBlind("Kitchen", 0);
        QCOMPARE(order.roomsModel()->list(), QVariantList{"Lounge"});
        QVERIFY(order.currentRoom().isEmpty() && !order.getVexaOrderItem());

        order.changeRoomName("Lounge", "Sitting Room");
        order.changeRoomName("Nowhere", "X");
        QCOMPARE(order.roomsModel()->list(), QVariantList{"Sitting Room"});
        QCOMPARE(first->room(), QStringLiteral("Sitting Room"));
        QCOMPARE(order.currentRoom(), QStringLiteral("Sitting Room"));
        // renamed onto an existing room, the two merge
        order.addBlind("Bed");
        order.changeRoomName("Bed", "Sitting Room");
        QCOMPARE(order.roomsModel()->list(), QVariantList{"Sitting Room"});
        QCOMPARE(order.roomItemsModel()->count(), 3);
    }

    void copyItems()
    {
        AppContext::userSettings()->setValue(QStringLiteral("copynewitem_b"), true);
        VexaOrder order;
        order.newOrder();
        order.addBlind("Hall");
        VexaOrderItem *source = order.getVexaOrderItem();
        source->set_bl_width(700);
        source->set_bl_drop(1200);
        source->set_bl_product("Lattica");
        source->set_bl_range("Classic");
        source->set_dataMap({{"PanelConfig", "LR"}, {"Louvre", 89}});
        OptionGroup *group = addGroup(source, "Hinges", "Brass");

        order.addBlind("Hall");
        VexaOrderItem *copy = order.getVexaOrderItem();
        QVERIFY(copy != source);
        QCOMPARE(copy->bl_product() + copy->bl_range(), QStringLiteral("LatticaClassic"));
        QCOMPARE(copy->bl_width() + copy->bl_drop(), 0);
        QCOMPARE(copy->dataMap(), (QVariantMap{{"Louvre", 89}}));
        OptionGroup *copied = copy->getOptionGroup("Hinges");
        QVERIFY(copied && copied != group);
        QCOMPARE(copied->description(), QStringLiteral("Brass"));
        AppContext::userSettings()->remove(QStringLiteral("copynewitem_b"));
        order.addBlind("Loft");
        VexaOrderItem *other = order.getVexaOrderItem();
        order.addBlind("Hall");
        VexaOrderItem *third = order.getVexaOrderItem();
        QVERIFY(third->bl_product().isEmpty());
        order.setBlind("Hall", 0);
        source->set_bl_color("Cream");
        order.copyToAllInRoom("Loft", 0); // not the source's room: nothing copied
        QVERIFY(third->bl_color().isEmpty());
        order.copyToAllInRoom("Hall", 0);
        QCOMPARE(third->bl_color() + copy->bl_color(), QStringLiteral("CreamCream"));
        QCOMPARE(third->bl_width(), 0);
        QCOMPARE(third->optionsModel()->count(), 1);
        // an item that had the group already gets it once, not twice (priced twice)
        QCOMPARE(copy->optionsModel()->count(), 1);
        QVERIFY(other->bl_color().isEmpty());
        QCOMPARE(order.getVexaOrderItem(), source);
        // copying to the whole house leaves the source with one group, not two
        order.copyToAllInHouse("Hall", 0);
        QCOMPARE(source->optionsModel()->count(), 1);
        QCOMPARE(other->bl_color(), QStringLiteral("Cream"));
        QCOMPARE(copy->optionsModel()->count(), 1);
    }

    void copyOrder()
    {
        VexaOrder order;
        order.newOrder();
        const QString oldId = order.orderID();
        order.set_orderNotes("Side gate");
        order.set_date(QDateTime::currentDateTime());
        order.copyOrder();
        QVERIFY(order.orderID() != oldId);
        QCOMPARE(order.orderNotes(), "Side gate\nCopy of: " + oldId);
        QCOMPARE(order.orderState(), int(VexaOrder::InProgress));
        QVERIFY(!order.date().isValid());
        QVERIFY(QFile::exists(AppContext::ordersFolder + order.orderID()));
    }

    void inchConversions_data()
    {
        QTest::addColumn<QString>("mm");
        QTest::addColumn<QString>("inches");
        QTest::addColumn<int>("ways"); // 1 mm to inches, 2 inches to mm, 3 both
        QTest::newRow("927") << "927" << "36 1/2" << 3;
        QTest::newRow("1000") << "1000" << "39 3/8" << 3;
        QTest::newRow("914") << "914" << "36" << 3;
        QTest::newRow("quarter") << "19" << "0 3/4" << 1;
        QTest::newRow("fraction only") << "19" << "3/4" << 2;
        QTest::newRow("tiny") << "1" << "0" << 1;
        QTest::newRow("zero") << "0" << "" << 1;
        QTest::newRow("too big") << "10000" << "" << 1;
        QTest::newRow("largest") << "9999" << "393 5/8" << 1;
        QTest::newRow("decimal") << "267" << "10.5" << 2;
        QTest::newRow("empty") << "" << "" << 2;
        QTest::newRow("over nothing") << "" << "5 1/0" << 2;
    }

    void inchConversions()
    {
        QFETCH(QString, mm);
        QFETCH(QString, inches);
        QFETCH(int, ways);
        VexaOrder order;
        if (ways & 1)
            QCOMPARE(order.mm2Inches(mm.toInt()), inches);
        if (ways & 2)
            QCOMPARE(order.inches2mm(inches), mm);
    }

    void processAddress()
    {
        VexaOrder order;
        order.processAddress("JOHN  SMITH, 12 ACACIA avenue,<br>little  town, ab1 2cd, 01234 567 890, John@Example.COM");
        QCOMPARE(QStringList({order.custName(), order.custAddr(), order.custPcode(), order.custPhone(), order.custEmail()}),
                 QStringList({"John Smith", "12 Acacia Avenue\nLittle Town", "AB1 2CD", "01234 567 890",
                              "john@example.com"}));
        QCOMPARE(order.custAddress(), QStringLiteral("John Smith\n12 Acacia Avenue\nLittle Town\nAB1 2CD"));
        order.processAddress("Ann Lee\n3 Mill Lane");
        QCOMPARE(order.custName(), QStringLiteral("Ann Lee"));
        QCOMPARE(order.custPhone(), QStringLiteral("01234 567 890"));
        QCOMPARE(order.custPcode(), QString());
    }

    void sortItemsByProperty()
    {
        VexaOrder order;
        order.newOrder();
        const QStringList added = {"Study", "Attic", "Kitchen"};
        for (int i = 0; i < added.size(); ++i) {
            order.addBlind(added.at(i));
            order.getVexaOrderItem()->set_bl_width(QList<int>{500, 900, 700}.at(i));
        }
        auto column = [&order](const char *property) {
            QStringList values;
            const QAbstractItemModel *proxy = order.orderItemsProxyModel();
            for (int row = 0; row < proxy->rowCount(); ++row)
                values << proxy->index(row, 0).data(order.orderItemsModel()->roleForName(property)).toString();
            return values;
        };
        order.sortOrdersBy("room");
        QCOMPARE(column("room"), (QStringList{"Attic", "Kitchen", "Study"}));
        order.sortOrdersBy("bl_width");
        QCOMPARE(column("bl_width"), (QStringList{"500", "700", "900"}));
        order.orderItemsModel()->get(0)->set_bl_width(1000); // the proxy follows later edits
        QCOMPARE(column("bl_width"), (QStringList{"700", "900", "1000"}));
    }

    void imageToSignature()
    {
        const QByteArray png("\x89PNG\r\n\x1a\nfake", 12);
        const QString path = m_data->path() + QStringLiteral("/sig.png");
        QVERIFY(TestEnv::writeFile(path, png));
        VexaOrder order;
        order.imageToSignature(QUrl::fromLocalFile(path).toString());
        QCOMPARE(order.signature(), "data:image/png;base64," + QString::fromLatin1(png.toBase64()));
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("not found$")));
        order.imageToSignature(path + QStringLiteral("-missing"));
        QCOMPARE(order.signature(), "data:image/png;base64," + QString::fromLatin1(png.toBase64()));
    }
};

QTEST_GUILESS_MAIN(TestOrderModel)
#include "tst_ordermodel.moc"
