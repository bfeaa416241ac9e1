// What the surveyor selects for an order item: the cascade product -> supplier
// -> range -> colour with the lists it fills from the catalogue and the product
// database, and the option groups built from the product's Extras folder with
// the pricing rules the whole-order cases (tst_pricecases) do not reach.
#include "app/appcontext.h"
#include "app/appsettings.h"
#include "models/qqmlobjectlistmodel.h"
#include "orders/optiongroup.h"
#include "orders/vexaorder.h"
#include "orders/vexaorderitem.h"
#include "testenv.h"

#include <QtTest>

namespace {

const QString kFrag = QStringLiteral("Frag Blinds");     // for the selection lists
const QString kOpt = QStringLiteral("Frag Shutters");    // for the option groups
const QString kHeader = QStringLiteral("Extra,Code,Pricing A,Cost A,Pricing B,Cost B\n");

void writeTable(const QString &relative, const QString &text)
{
    QVERIFY(TestEnv::writeFile(AppContext::catalogueProductsFolder + '/' + relative, text.toUtf8()));
}

// The list after its first entry, which must be empty, sorted: folder listings come in no set order.
QStringList sortedTail(const QStringList &list)
{
    QStringList tail = list.mid(1);
    tail.sort();
    return list.value(0, QStringLiteral("?")).isEmpty() ? tail : list;
}

} // namespace

class SelectionTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnv::initApp(); }
    void init()
    {
        m_data.reset(TestEnv::freshDataFolder());
        // A small product whose every list is known in advance.
        writeTable(kFrag + "/Ranges/Alpha.csv", "Range,Colour,Band,Max Width\n ,,B1,1000\nRange1,,B1,1000\n"
                                                "Range1,Red,B1,1000\nRange1,Blue,B1,1000\nRange2,Green,B2,1000\n");
        writeTable(kFrag + "/Ranges/Beta.csv", "Range,Colour,Band\nBetaRange,Pure White,B1\nBetaRange,Ivory,B1\nSecond,Black,B2\n");
        writeTable(kFrag + "/Prices/B1.csv", "Drop/Width,500,1000\n1000,10,20\n");
        writeTable(kFrag + "/Prices/B2.csv", "Drop/Width,500,1000\n1000,30,40\n");
        // The options product: its own table 100 per sqm, a grid band and an option price table.
        writeTable(kOpt + "/Prices/Sqm.csv", "Rate,Per sqm\nrate,100\n");
        writeTable(kOpt + "/Prices/Grid.csv", "Drop/Width,500,1000\n500,60,80\n1000,80,100\n");
        writeTable(kOpt + "/Extras/Prices/Tbl.csv", "Drop/Width,500,1000\n500,10,20\n1000,30,40\n");
        m_order.reset(new VexaOrder());
        // processing would save the order and clear changed(), which these tests read
        m_order->autoSave = false;
        m_order->newOrder();
    }

    void cleanup()
    {
        m_order.reset();
        for (const char *key : {"cntlr_sl", "incExtras_b"})
            AppContext::userSettings()->remove(key);
        AppContext::sharedSettings()->remove("vat_rate");
        m_data.reset();
    }

    void cascade()
    {
        VexaOrderItem *item = newItem();
        // Suppliers are the range tables and bands the price tables, each behind an empty entry.
        QCOMPARE(sortedTail(m_order->supplierCBModel().comboList()) + sortedTail(m_order->bandCBModel().comboList()),
                 (QStringList{"Alpha", "Beta", "B1", "B2"}));
        QCOMPARE(item->bl_supplier(), m_order->supplierCBModel().comboList().at(1));

        // The first range is a single blank: an empty entry goes in front and the blank is passed over.
        selectSupplier("Alpha");
        QCOMPARE(m_order->rangeCBModel().comboList() + m_order->colourCBModel().comboList(),
                 (QStringList{"", " ", "Range1", "Range2", "", "Red", "Blue"}));
        QCOMPARE(item->bl_range() + '|' + item->bl_color(), QStringLiteral("Range1|Red"));
        // A colour resets the band, which is then taken from the range row.
        m_order->set_changed(false);
        item->set_bl_band("Stale");
        m_order->colourSelected(2);
        QVERIFY(item->bl_color() + '|' + item->bl_band() == "Blue|B1" && m_order->changed());
        // Past the list is refused; -1 stands for the empty first entry.
        m_order->colourSelected(7);
        QCOMPARE(item->bl_color(), QStringLiteral("Blue"));
        m_order->colourSelected(-1);
        QVERIFY(item->bl_color().isEmpty());

        selectRange("Range2");
        QVERIFY(m_order->colourCBModel().comboList() == (QStringList{"", "Green"}) && item->bl_color() == "Green");
        // Selecting the current range again still resets what hangs below it.
        item->set_manualPrice(true);
        item->set_item_price(99);
        selectRange("Range2");
        QVERIFY(!item->manualPrice() && item->item_price() != 99);
        // "add..." leaves the item without a range and without colours to offer.
        m_order->rangeCBModel().addElement(ComboBoxModel::addEntry());
        selectRange(ComboBoxModel::addEntry());
        QVERIFY(item->bl_range().isEmpty() && m_order->colourCBModel().comboList() == QStringList{""});

        m_order->set_changed(false);
        selectSupplier("Beta");
        QCOMPARE(m_order->colourCBModel().comboList(), (QStringList{"", "Pure White", "Ivory"}));
        QVERIFY(item->bl_color() == "Pure White" && m_order->changed());
        // A range chosen by hand survives selecting the same supplier again.
        item->set_bl_range("Chosen");
        item->set_bl_band("B2");
        m_order->set_changed(false);
        selectSupplier("Beta");
        QVERIFY(item->bl_range() + '|' + item->bl_band() == "Chosen|B2" && !m_order->changed());
        // "add..." is never taken as a supplier.
        m_order->supplierCBModel().addElement(ComboBoxModel::addEntry());
        selectSupplier(ComboBoxModel::addEntry());
        QCOMPARE(item->bl_supplier(), QStringLiteral("Beta"));

        // "add..." as the product resets the item and nothing else happens: the interface now asks for a name.
        const QStringList suppliers = m_order->supplierCBModel().comboList();
        m_order->productCBModel().setComboList({"Lattica", kFrag, ComboBoxModel::addEntry()});
        m_order->set_changed(false);
        m_order->productSelected(2);
        QCOMPARE(item->bl_product() + item->bl_supplier(), QString());
        QVERIFY(item->optionsModel()->isEmpty() && m_order->supplierCBModel().comboList() == suppliers && !m_order->changed());
    }

    void databaseNamesMergeIgnoringCase()
    {
        newItem();
        selectSupplier("Beta");
        // Database names that only differ in case from the table's are not repeated.
        addToDb({{"pure white", "colour"}, {"Oak", "colour"}, {"secOND", "range"}, {"Gamma", "range"}, {"BETA", "supplier"}, {"Delta", "supplier"}});
        selectRange("BetaRange");
        QCOMPARE(m_order->colourCBModel().comboList(), (QStringList{"", "Pure White", "Ivory", "Oak"}));
        m_order->productSelected(m_order->productCBModel().index(kFrag));
        QCOMPARE(sortedTail(m_order->supplierCBModel().comboList()), (QStringList{"Alpha", "Beta", "Delta"}));
        selectSupplier("Beta");
        QCOMPARE(m_order->rangeCBModel().comboList(), (QStringList{"", "BetaRange", "Second", "Gamma"}));
    }

    // A new shutter starts on the catalogue's own product with the first
    // supplier, range and colour, its default options and a band price; the
    // catalogue's other products join the list without marking the
    // database as changed by the user.
    void newShutterStartsFromTheCatalogue()
    {
        writeTable("Lattica/Ranges/Maker.csv", "Range,Colour,Band,Max Width\nWood,Oak,LB,1500\nWood,Ash,LB,1500\n");
        writeTable("Lattica/Prices/LB.csv", "Drop/Width,1000,2000\n1000,100,150\n2000,120,170\n");
        writeTable("Lattica/Extras/Louvre Size.csv", kHeader + "63mm,L63,fixed,0,,\n76mm,+L76,fixed,0,,\n");
        writeTable("Lattica/Extras/Frame Style.csv", kHeader + "Classic,FCL,fixed,0,,\nDeco,FDZ,fixed,9,,\n");
        writeTable("Lattica/Extras/_info.csv", "Group,Multiple,Required\nFrame Style,No,Yes\nLouvre Size,No,Yes\n");
        AppContext::userSettings()->setValue("dbmod", false);
        m_order.reset(new VexaOrder());
        m_order->autoSave = false;
        m_order->newOrder();
        QCOMPARE(m_order->productCBModel().comboList(), (QStringList{"Lattica", kFrag, kOpt}));
        QCOMPARE(AppContext::userSettings()->value("dbmod").toBool(), false);

        QCOMPARE(m_order->addBlind(QStringLiteral("Hall")), 1);
        VexaOrderItem *item = m_order->getVexaOrderItem();
        QCOMPARE(QStringList({item->bl_product(), item->bl_supplier(), item->bl_range(), item->bl_color(), item->bl_band()}),
                 (QStringList{"Lattica", "Maker", "Wood", "Oak", "LB"}));
        QCOMPARE(group("Louvre Size")->description(), QStringLiteral("76mm"));
        set(item, {{"bl_width", 1000}, {"bl_drop", 1000}});
        m_order->processOrderItem(true);
        QCOMPARE(item->item_price(), 100.0);
        QVERIFY(item->m_warnings().contains("Frame Style: You must make a selection"));
        set(item, {{"bl_width", 9000}});
        m_order->processOrderItem(true);
        QVERIFY2(item->m_warnings().join('|').contains("range maximum of 1500mm"), qPrintable(item->m_warnings().join('|')));

        // an item that already has a product keeps it
        VexaOrderItem *other = newItem(kFrag);
        QCOMPARE(other->bl_product(), kFrag);
        // a new order lists the same products once
        m_order->newOrder();
        QCOMPARE(m_order->productCBModel().comboList(), (QStringList{"Lattica", kFrag, kOpt}));
    }

    void addProductDbItem()
    {
        m_order->addBlind(QStringLiteral("Hall"));
        VexaOrderItem *item = m_order->getVexaOrderItem();
        // Refused outright: an unknown type, a blank name, the "add..." entry.
        AppContext::userSettings()->setValue("dbmod", false);
        addToDb({{"X", "fabric"}, {"  ", "product"}, {ComboBoxModel::addEntry(), "supplier"}});
        QVERIFY(!AppContext::setting("dbmod").toBool());

        // Each name goes under the item's own product, supplier and range, replacing the placeholder above it.
        set(item, {{"bl_product", "P"}, {"bl_supplier", "S"}, {"bl_range", "R"}});
        addToDb({{"P", "product"}, {"S", "supplier"}, {"R", "range"}, {"Oak", "colour"}});
        QVERIFY(AppContext::setting("dbmod").toBool());

        // Products added by hand are offered after the order is started again; one
        // without range tables takes its lists from the database.
        m_order->newOrder();
        QCOMPARE(m_order->productCBModel().comboList(), (QStringList{"Lattica", kFrag, kOpt, "P"}));
        writeTable("P/Prices/Only.csv", "Drop/Width,500\n500,10\n");
        item = newItem(QStringLiteral("P"));
        QCOMPARE(m_order->supplierCBModel().comboList() + m_order->rangeCBModel().comboList() + m_order->colourCBModel().comboList()
                     + m_order->bandCBModel().comboList(), (QStringList{"", "S", "", "R", "", "Oak", "", "Only"}));
        QCOMPARE(item->bl_supplier() + '|' + item->bl_range() + '|' + item->bl_color(), QStringLiteral("S|R|Oak"));
    }

    void itemMadeCurrentKeepsItsChoices()
    {
        // An item as it comes back from an order file: choices the catalogue no
        // longer offers, and a product the product list does not hold.
        m_order->addBlind("Study");
        VexaOrderItem *item = m_order->getVexaOrderItem();
        set(item, {{"bl_product", kFrag}, {"bl_supplier", "Beta"}, {"bl_range", "Retired Range"}, {"bl_color", "Retired Colour"}});
        m_order->addBlind(QStringLiteral("Study"));
        m_order->setBlind(QStringLiteral("Study"), 0);
        QCOMPARE(item->bl_supplier() + '|' + item->bl_range() + '|' + item->bl_color(), QStringLiteral("Beta|Retired Range|Retired Colour"));
        QVERIFY(m_order->productCBModel().comboList().contains(kFrag));
        // No table row has the retired range, so its own colour is the only one.
        QCOMPARE(m_order->rangeCBModel().comboList() + m_order->colourCBModel().comboList(),
                 (QStringList{"", "BetaRange", "Second", "Retired Range", "", "Retired Colour"}));
    }

    void pricingRules_data()
    {
        QTest::addColumn<QString>("choice");   // pricing and cost columns of the choice
        QTest::addColumn<QString>("ini");      // the Extras price settings
        QTest::addColumn<QSize>("size");       // width x drop
        QTest::addColumn<QString>("band");
        QTest::addColumn<double>("expected");
        const QSize m1(1000, 1000);
        // Item price 250 throughout, already without VAT, as are the results (the
        // whole-order cases price options with VAT); the item's own table is 100 per sqm.
        // A share of the item price is not divided again.
        QTest::newRow("percent, any case") << "PeRcEnt,10" << "" << m1 << "Sqm" << 25.0;
        QTest::newRow("area") << "area,30" << "" << QSize(1200, 1500) << "Sqm" << 45.0;
        QTest::newRow("height") << "height,24" << "" << QSize(1000, 1500) << "Sqm" << 36.0 / 1.2;   // the cases use "drop"
        // (1000 + 100) x (1000 + 100) at 100 per sqm, less the item's own 100.
        QTest::newRow("inc width") << "inc width frame,50" << "" << m1 << "Sqm" << 21.0 / 1.2;
        // A grid table has no rate to enlarge: nothing, not the item's price taken off.
        QTest::newRow("inc width, grid") << "inc width frame,50" << "" << m1 << "Grid" << 0.0;
        QTest::newRow("table, divided once") << "price table,Tbl" << "" << QSize(900, 600) << "Sqm" << 40.0 / 1.2;
        QTest::newRow("unknown rule") << "stairs,10" << "" << m1 << "Sqm" << 0.0;
        QTest::newRow("invalid cost, logged") << "fixed,12x" << "" << m1 << "Sqm" << 0.0;
        QTest::newRow("band change") << "width,100" << "[xg_Opt]\nchange=10\n[band_Sqm]\nchange=5\n" << m1 << "Sqm" << 115.5 / 1.2;
        QTest::newRow("table, group's section") << "price table,Tbl" << "[xg_Opt]\nchange=50\n[all_bands]\nchange=10\n" << m1 << "Sqm" << 60.0 / 1.2;
    }

    void pricingRules()
    {
        QFETCH(QString, choice);
        QFETCH(QString, ini);
        QFETCH(QSize, size);
        QFETCH(QString, band);
        QFETCH(double, expected);
        writeTable(kOpt + "/Extras/Prices/setting.ini", ini);
        writeTable(kOpt + "/Extras/Opt.csv", kHeader + "Choice,C1," + choice + ",,\n");
        newSizedItem(size.width(), size.height(), band)->set_item_price(250);
        m_order->set_exVat(true);
        if (choice.endsWith("x"))
            QTest::ignoreMessage(QtWarningMsg, "Extras: has invalid price: 12x");
        QVERIFY2(qAbs(price("Choice") - expected) < 1e-9, qPrintable(QString::number(price("Choice"))));
        // A choice the table does not have, or no choice, costs nothing.
        QCOMPARE(price("Other") + price(QString()), 0.0);
    }

    void tradeRecords()
    {
        writeTable(kOpt + "/Extras/Opt.csv", kHeader + "Both,C1,fixed,10,width,10\nOne,C2,fixed,10,,\nTier,C3,percent,15,,\n");
        writeTable(kOpt + "/Extras/Prices/setting.ini", "[xg_Opt]\ntrade=true\n");
        AppContext::sharedSettings()->setValue("vat_rate", 0);
        VexaOrderItem *item = newSizedItem(1000, 1000);
        OptionGroup *opt = group("Opt");
        // A second price component is retail, so the choice is no longer trade.
        QVERIFY(price("One") == 10.0 && opt->optsCalcMap().value("trade") == true);
        QVERIFY(price("Both") == 20.0 && opt->optsCalcMap().value("trade") == false);
        // A percentage of a trade item is trade too, with its share of the trade price.
        const QVariantMap itemCalc{{"trade", true}, {"tradePrice", 200.0}, {"tradeDisc", 40.0}};
        set(item, {{"calcMap", itemCalc}, {"item_price", 300}});
        QCOMPARE(price("Tier"), 45.0);
        QCOMPARE(opt->optsCalcMap(), (QVariantMap{{"trade", true}, {"tradePrice", 30.0}, {"tradeDisc", 40.0}}));
        QCOMPARE(item->calcMap(), itemCalc);
        // With extras outside the customer discount, fixed prices are marked so; other rules are not.
        AppContext::userSettings()->setValue("incExtras_b", false);
        QVERIFY(price("One") == 10.0 && opt->optsCalcMap().value("custDiscPcnt") == 100);
        QVERIFY(price("Tier") == 45.0 && !opt->optsCalcMap().contains("custDiscPcnt"));
    }

    void rearCovers()
    {
        writeTable(kOpt + "/Extras/RearCovers.csv", kHeader + "Rear Covers,RCV,perimeter,10,,\n");
        writeTable(kOpt + "/Extras/Build Out.csv", kHeader + "Custom,BCU,fixed,22,,\n");
        VexaOrderItem *item = newSizedItem(800, 1200);
        // 800 wide, 1200 high, 10 per metre: all round is 40. Both sides built out
        // and "All sides" are priced by the whole-order cases.
        const std::tuple<QString, QString, double> rows[] = {{"", "", 40}, // nothing built out
            {"Custom", "L: R: T:25mm B:", 32}, {"Custom", "L:5mm R:5mm T:5mm B:5mm", 0}};
        for (const auto &[buildOut, custom, expected] : rows) {
            group("Build Out")->set_description(buildOut);
            item->set_dataMap({{"CustomBuildout", custom}});
            const double got = price("Rear Covers", "RearCovers");
            QVERIFY2(qAbs(got - expected) < 1e-9, qPrintable(custom + ": " + QString::number(got)));
        }
    }

    void groupsFromExtrasFolder()
    {
        writeTable(kOpt + "/Extras/_info.csv", "Group,Multiple,Required,Notes\nLouvre Size,No,Yes,Bigger louvres let in more light\n"
                                       "Frame Style,no,YES,\nBuild Out,Yes,No,Per side\n");
        writeTable(kOpt + "/Extras/Louvre Size.csv", kHeader + "63mm,L63,fixed,0,,\n76mm,+L76,fixed,0,,\n");
        writeTable(kOpt + "/Extras/Frame Style.csv", kHeader + "Classic,FCL,fixed,0,,\nDeco,FDZ,fixed,10,,\n");
        writeTable(kOpt + "/Extras/Build Out.csv", kHeader + "Custom,BCU,fixed,22,,\n");
        writeTable(kOpt + "/Extras/Alpha Extra.csv", kHeader + "One,A1,fixed,1,,\n");
        VexaOrderItem *item = newSizedItem(1000, 1000);
        auto groupNames = [item] { QStringList n; for (const OptionGroup *g : *item->optionsModel()) n << g->optionGroup(); return n; };
        // Required groups first, then the rest, each in name order.
        QCOMPARE(groupNames(), (QStringList{"Frame Style", "Alpha Extra", "Build Out", "Louvre Size"}));
        // A "+" code preselects its choice and makes the group optional.
        const OptionGroup *louvres = group("Louvre Size");
        QCOMPARE(louvres->descList(), (QStringList{"63mm", "76mm"}));
        QVERIFY(louvres->description() == "76mm" && louvres->storedCode() == "+L76" && !louvres->isReqd()
                && louvres->notes() == "Bigger louvres let in more light");
        // A required group without a default offers an empty first choice.
        QCOMPARE(group("Frame Style")->descList(), (QStringList{"", "Classic", "Deco"}));
        QVERIFY(group("Frame Style")->isReqd() && group("Frame Style")->description().isEmpty());
        QVERIFY(group("Build Out")->isMulti() && !group("Alpha Extra")->isMulti());

        // Groups the user added, or with a choice the catalogue no longer has, keep
        // their own choice when the groups are built again.
        m_order->addOption("Aaa Hand Added", "Gold knob", true);
        auto *kept = group("Frame Style");
        kept->set_descList({});   // as read back from an order made with an older catalogue
        kept->set_description("Heritage");
        m_order->addBlind("Lounge");
        m_order->setBlind("Lounge", 0);
        QCOMPARE(groupNames(), (QStringList{"Frame Style", "Aaa Hand Added", "Alpha Extra", "Build Out", "Louvre Size"}));
        QCOMPARE(group("Aaa Hand Added")->descList(), (QStringList{"", "Gold knob"}));
        QCOMPARE(kept->descList(), (QStringList{"", "Classic", "Deco", "Heritage"}));
        QCOMPARE(kept->description() + kept->storedCode(), QStringLiteral("Heritage"));
        // and its codes stay in step with the choices
        kept->set_description("Deco");
        QCOMPARE(kept->storedCode(), QStringLiteral("FDZ"));
    }

    void sumExtras()
    {
        writeTable(kOpt + "/Extras/Trim.csv", kHeader + "Oak,T1,width,20,,\n");
        writeTable(kOpt + "/Extras/Typed.csv", kHeader + "Special,S1,fixed,99,,\n");
        VexaOrderItem *item = newSizedItem(1500, 1000);
        set(item, {{"item_price", 200}, {"bl_multiple", 2}});
        set(group("Trim"), {{"description", "Oak"}, {"multiple", 5}}); // not a multiple group: counted once
        set(group("Typed"), {{"description", "Special"}, {"manualPrice", true}, {"price", "7.25"}});
        m_order->sumExtras();
        QCOMPARE(group("Trim")->price() + '|' + group("Typed")->price(), QStringLiteral("30.00|7.25"));
        QCOMPARE(item->extras_price(), 37.25);
        QCOMPARE(m_order->blindpriceex(), QStringLiteral("474.50"));
    }

    void optionSelectedAndAdded()
    {
        writeTable(kOpt + "/Extras/Handles.csv", kHeader + "Custom,BCU,fixed,22,,\nWide,BW,width,10,,\n");
        VexaOrderItem *item = newSizedItem(1000, 1000);
        OptionGroup *handles = group("Handles");
        // Found by name in any case, but only priced when the name matches exactly.
        handles->set_manualPrice(true);
        m_order->set_changed(false);
        m_order->optionSelected("handles", "Custom", -1);
        QVERIFY(handles->description() == "Custom" && !handles->manualPrice() && handles->price().isEmpty() && !m_order->changed());
        m_order->optionSelected("Handles", "Custom", -1);
        QVERIFY(handles->multiple() == 1 && handles->price() == "22.00" && m_order->changed());
        // By row, with a quantity: the unit price is shown.
        handles->set_multiple(3);
        m_order->optionSelected("Handles", "Wide", item->optionsModel()->indexOf(handles));
        QCOMPARE(handles->description() + handles->price(), QStringLiteral("Wide10.00"));
        // No choice, no price; a row or a group that is not there changes nothing.
        m_order->optionSelected("Handles", QString(), -1);
        m_order->optionSelected("Handles", "Custom", 9);
        m_order->optionSelected("Nowhere", "Custom", -1);
        QCOMPARE(handles->description() + handles->price(), QString());

        // An added group is saved with the order straight away; an existing group is taken over rather than repeated.
        const int before = item->optionsModel()->count();
        m_order->addOption("Delivery", "Next day", true);
        const OptionGroup *added = item->optionsModel()->getLast();
        QVERIFY(added->optionGroup() + '|' + added->description() == "Delivery|Next day" && added->isAdded() && added->isMulti());
        QVERIFY(!m_order->changed() && QFileInfo::exists(AppContext::stateFolder(VexaOrder::InProgress) + m_order->orderID()));
        m_order->addOption("Handles", "Special", false);
        QVERIFY(item->optionsModel()->count() == before + 1 && handles->isAdded());
        QCOMPARE(handles->descList(), (QStringList{"", "Special"}));
    }

    void optionControls()
    {
        AppContext::userSettings()->setValue("cntlr_sl", "Chain left,Chain right");
        writeTable(kOpt + "/Extras/Control Type.csv", kHeader + "Tilt rod,CT1,fixed,0,,\nHidden,CT2,fixed,9,,\n");
        newSizedItem(1000, 1000);
        m_order->optionSelected("Control Type", "Hidden", -1);
        m_order->addBlind("Hall");   // an item with no control group
        QCOMPARE(m_order->optionControls(0), (QStringList{"", "Tilt rod", "Hidden"}));
        QCOMPARE(m_order->optionControls(1).mid(0, 3), (QStringList{" ", "Chain left", "Chain right"}));
        QCOMPARE(m_order->optionSelectedControl(0) + '|' + m_order->optionSelectedControl(1), QStringLiteral("Hidden|"));
        QVERIFY(m_order->optionControls(7).isEmpty());
    }

private:
    VexaOrderItem *newItem(const QString &product = kFrag)
    {
        m_order->addBlind(QStringLiteral("Lounge"));
        m_order->productCBModel().addElement(product);
        m_order->productSelected(m_order->productCBModel().index(product));
        return m_order->getVexaOrderItem();
    }
    // A new item of the options product (after its tables are written), sized and banded.
    VexaOrderItem *newSizedItem(int width, int drop, const QString &band = QStringLiteral("Sqm"))
    {
        VexaOrderItem *item = newItem(kOpt);
        set(item, {{"bl_width", width}, {"bl_drop", drop}, {"bl_band", band}});
        return item;
    }

    static void set(QObject *o, const QVariantMap &values)
    {
        for (auto it = values.begin(); it != values.end(); ++it)
            QVERIFY2(o->setProperty(qPrintable(it.key()), it.value()), qPrintable(it.key()));
    }
    double price(const QString &choice, const QString &group = QStringLiteral("Opt")) { return m_order->optionPrice(group, choice); }
    OptionGroup *group(const char *name) { return m_order->getVexaOrderItem()->getOptionGroup(QLatin1String(name)); }
    void selectSupplier(const QString &name) { m_order->supplierSelected(m_order->supplierCBModel().index(name)); }
    void selectRange(const QString &name) { m_order->rangeSelected(m_order->rangeCBModel().index(name)); }
    void addToDb(std::initializer_list<std::pair<QString, QString>> names) { for (const auto &n : names) m_order->addProductDbItem(n.first, n.second); }

    QScopedPointer<QTemporaryDir> m_data;
    QScopedPointer<VexaOrder> m_order;
};

QTEST_GUILESS_MAIN(SelectionTest)
#include "tst_selection.moc"
