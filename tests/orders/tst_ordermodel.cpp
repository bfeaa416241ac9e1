// The order object model: change signals, selection reset, rooms and items,
// conversions and the customer block.

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

#include <QtTest>

static OptionGroup *addGroup(VexaOrderItem *item, const QString &name, const QString &description)
{
    auto *group = new OptionGroup(item);
    group->set_optionGroup(name);
    group->set_description(description);
    item->optionsModel()->append(group);
    return group;
}

class TestOrderModel : public QObject
{
    Q_OBJECT
    QScopedPointer<QTemporaryDir> m_data;

private slots:
    void initTestCase() { TestEnv::initApp(); }
    void init() { m_data.reset(TestEnv::freshDataFolder()); }

    // Levels: 0 colour only, 1 range, 2 supplier, 3 product; what stays chosen
    // is the product, supplier and range above the level.
    void selectionReset()
    {
        for (const QString &kept : QStringList{"PSR", "PS", "P", ""}) {
            VexaOrderItem item;
            // the interface listens to XChanged(value), announced once per real change
            QSignalSpy widthChanged(&item, &VexaOrderItem::bl_widthChanged);
            const QVariantMap chosen{{"room", "Hall"}, {"bl_width", 800}, {"bl_product", "P"}, {"bl_supplier", "S"},
                                     {"bl_range", "R"}, {"bl_color", "C"}, {"item_price", 10}, {"bl_bandOverride", "B2"},
                                     {"bl_band", "B1"}, {"bl_warning", "w"}, {"manualPrice", true},
                                     {"calcMap", QVariantMap{{"a", 1}}}, {"dataMap", QVariantMap{{"b", 2}}}};
            for (auto it = chosen.begin(); it != chosen.end(); ++it)
                QVERIFY(item.setProperty(qPrintable(it.key()), it.value()));
            item.set_extras_price(5);
            item.btypeCode = item.fabricCode = "G";
            QPointer<OptionGroup> group = addGroup(&item, "Hinges", "Brass");

            item.resetSelection(3 - kept.size());
            QCOMPARE(item.bl_product() + item.bl_supplier() + item.bl_range(), kept);
            QCOMPARE(item.optionsModel()->count(), kept.isEmpty() ? 0 : 1);
            QVERIFY(!group.isNull()); // released later, not under the interface's feet
            QCOMPARE(item.bl_color() + item.bl_bandOverride() + item.bl_band() + item.bl_warning() + item.btypeCode
                         + item.fabricCode, QString());
            QVERIFY(item.item_price() == 0 && item.extras_price() == 0 && !item.manualPrice() && item.calcMap().isEmpty());
            // what the surveyor typed (panel layout, post positions) survives a new choice
            QCOMPARE(item.dataMap().value("b").toInt(), 2);
            QCOMPARE(item.room() + QString::number(item.bl_width()), QStringLiteral("Hall800"));
            QVERIFY(!item.set_bl_width(800) && widthChanged == QList<QVariantList>{{800}});
        }
    }

    // A new order must not inherit the previous customer's details,
    // signature or transfer target.
    void clearEmptiesEverything()
    {
        VexaOrder order;
        order.newOrder();
        order.addBlind("Hall");
        QPointer<VexaOrderItem> item = order.getVexaOrderItem();
        order.set_signature("data:image/png;base64,AAAA");
        order.set_custName("Eve");
        order.xto = "22";
        order.clear();
        QVERIFY(item.isNull() && !order.getVexaOrderItem() && !order.changed());
        QCOMPARE(order.orderItemsModel()->count() + order.roomsModel()->count(), 0);
        QCOMPARE(order.orderID() + order.custName() + order.signature() + order.xto, QString());

        // rooms the settings sync brought show on the next order, not after a restart
        AppContext::sharedSettings()->setValue("rms_sl", QStringList{"Loft", "Porch"});
        order.clear();
        QCOMPARE(order.roomNamesCBModel().comboList(), (QStringList{"Loft", "Porch", "add..."}));
        AppContext::sharedSettings()->remove("rms_sl");
    }

    void roomsFollowItems()
    {
        VexaOrder order;
        order.newOrder();
        QCOMPARE(order.addBlind("Lounge"), 1);
        VexaOrderItem *first = order.getVexaOrderItem();
        OrderWriter::instance().flush(); // adding an item processes it, which saves the new order
        QVERIFY(QFile::exists(AppContext::ordersFolder + order.orderID()));
        QVERIFY(order.addBlind("Lounge") == 2 && order.addBlind("Kitchen") == 1);
        QCOMPARE(order.roomsModel()->list(), (QVariantList{"Lounge", "Kitchen"}));
        order.setBlind("Lounge", 0);
        QCOMPARE(order.getVexaOrderItem(), first);

        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("^removeBlind .* does not exist")));
        order.removeBlind("Lounge", 2);
        QCOMPARE(order.orderItemsModel()->count(), 3);
        order.setRoomItemsModel("Kitchen");
        order.removeBlind("Kitchen", 0);
        QCOMPARE(order.roomsModel()->list(), QVariantList{"Lounge"});
        QVERIFY(order.currentRoom().isEmpty() && !order.getVexaOrderItem());

        // renamed, then renamed onto an existing room: the two merge
        order.changeRoomName("Lounge", "Sitting Room");
        order.changeRoomName("Nowhere", "X");
        order.addBlind("Bed");
        order.changeRoomName("Bed", "Sitting Room");
        QCOMPARE(order.roomsModel()->list(), QVariantList{"Sitting Room"});
        QVERIFY(order.roomItemsModel()->count() == 3 && first->room() == "Sitting Room");
    }

    void copyItems()
    {
        AppContext::userSettings()->setValue(QStringLiteral("copynewitem_b"), true);
        VexaOrder order;
        order.newOrder();
        order.addBlind("Hall");
        VexaOrderItem *source = order.getVexaOrderItem();
        source->setProperty("bl_width", 700);
        source->setProperty("bl_product", "Lattica");
        source->set_dataMap({{"PanelConfig", "LR"}, {"Louvre", 89}});
        OptionGroup *group = addGroup(source, "Hinges", "Brass");

        // a new item starts from the previous one's choices, not its measures
        order.addBlind("Hall");
        VexaOrderItem *copy = order.getVexaOrderItem();
        QVERIFY(copy->bl_product() == "Lattica" && copy->bl_width() == 0);
        QCOMPARE(copy->dataMap(), (QVariantMap{{"Louvre", 89}}));
        OptionGroup *copied = copy->getOptionGroup("Hinges");
        QVERIFY(copied && copied != group && copied->description() == "Brass");
        AppContext::userSettings()->remove(QStringLiteral("copynewitem_b"));
        order.addBlind("Loft");
        VexaOrderItem *other = order.getVexaOrderItem();
        order.addBlind("Hall");
        VexaOrderItem *third = order.getVexaOrderItem();
        source->set_bl_color("Cream");
        order.copyToAllInRoom("Hall", 0);
        QCOMPARE(third->bl_color() + copy->bl_color(), QStringLiteral("CreamCream"));
        QVERIFY(third->bl_width() == 0 && third->optionsModel()->count() == 1 && other->bl_color().isEmpty());
        // copying to the whole house leaves the source with one group, not two,
        // and an item that had the group already gets it once (not priced twice)
        order.copyToAllInHouse("Hall", 0);
        QCOMPARE(other->bl_color(), QStringLiteral("Cream"));
        QCOMPARE(QList<int>({source->optionsModel()->count(), copy->optionsModel()->count()}), QList<int>({1, 1}));
    }

    void copyOrder()
    {
        VexaOrder order;
        order.newOrder();
        const QString oldId = order.orderID();
        order.set_orderNotes("Side gate");
        order.set_date(QDateTime::currentDateTime());
        order.copyOrder();
        QCOMPARE(order.orderNotes(), "Side gate\nCopy of: " + oldId);
        QVERIFY(order.orderID() != oldId && !order.date().isValid() && QFile::exists(AppContext::ordersFolder + order.orderID()));
    }

    // Each case: millimetres, inches, and the directions checked
    // (1 mm to inches, 2 inches to mm, 3 both).
    void inchConversions()
    {
        VexaOrder order;
        const QList<std::tuple<QString, QString, int>> cases = {
            {"927", "36 1/2", 3}, {"914", "36", 3}, {"19", "0 3/4", 1}, {"19", "3/4", 2}, {"1", "0", 1}, {"0", "", 1},
            {"10000", "", 1}, {"9999", "393 5/8", 1}, {"267", "10.5", 2}, {"", "", 2}, {"", "5 1/0", 2},
            // out of any length's range: nothing, rather than an overflow
            {"-5", "", 1}, {"-300000000", "", 1}, {"", "100000000", 2}, {"", "-100000000 1/2", 2}};
        for (const auto &[mm, inches, ways] : cases) {
            if (ways & 1)
                QCOMPARE(order.mm2Inches(mm.toInt()), inches);
            if (ways & 2)
                QCOMPARE(order.inches2mm(inches), mm);
        }
    }

    // Address splitting, and the signature taken from an image file.
    void customerBlock()
    {
        VexaOrder order;
        order.processAddress("JOHN  SMITH, 12 ACACIA avenue,<br>little  town, ab1 2cd, 01234 567 890, John@Example.COM");
        QCOMPARE(QStringList({order.custName(), order.custAddr(), order.custPcode(), order.custPhone(), order.custEmail()}),
                 QStringList({"John Smith", "12 Acacia Avenue\nLittle Town", "AB1 2CD", "01234 567 890",
                              "john@example.com"}));
        QCOMPARE(order.custAddress(), QStringLiteral("John Smith\n12 Acacia Avenue\nLittle Town\nAB1 2CD"));
        order.processAddress("Ann Lee\n3 Mill Lane");
        QCOMPARE(order.custName() + '|' + order.custPhone() + '|' + order.custPcode(),
                 QStringLiteral("Ann Lee|01234 567 890|"));

        const QByteArray png("\x89PNG\r\n\x1a\nfake", 12);
        const QString path = m_data->path() + QStringLiteral("/sig.png"), expected = "data:image/png;base64," + png.toBase64();
        QVERIFY(TestEnv::writeFile(path, png));
        order.imageToSignature(QUrl::fromLocalFile(path).toString());
        QCOMPARE(order.signature(), expected);
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("not found$")));
        order.imageToSignature(path + QStringLiteral("-missing"));
        QCOMPARE(order.signature(), expected);
    }

    void sortItemsByProperty()
    {
        VexaOrder order;
        order.newOrder();
        for (int width : {500, 900, 700}) {
            order.addBlind("Study");
            order.getVexaOrderItem()->set_bl_width(width);
        }
        order.sortOrdersBy("bl_width");
        const QAbstractItemModel *proxy = order.orderItemsProxyModel();
        const int role = order.orderItemsModel()->roleForName("bl_width");
        auto width = [&](int row) { return proxy->index(row, 0).data(role).toInt(); };
        QCOMPARE(QList<int>({width(0), width(1), width(2)}), QList<int>({500, 700, 900}));
        order.orderItemsModel()->get(0)->set_bl_width(1000); // compared as numbers, and kept sorted after edits
        QCOMPARE(QList<int>({width(0), width(1), width(2)}), QList<int>({700, 900, 1000}));
    }
};

QTEST_GUILESS_MAIN(TestOrderModel)
#include "tst_ordermodel.moc"
