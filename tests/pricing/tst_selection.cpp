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
#include "pricing/productdb.h"
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

QStringList groupNames(const VexaOrderItem *item)
{
    QStringList names;
    for (const OptionGroup *g : *item->optionsModel())
        names << g->optionGroup();
    return names;
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
        for (const char *key : {"msr_sl", "fix_sl", "cntlr_sl", "cntlv_sl", "incExtras_b"})
            AppContext::userSettings()->remove(QString::fromLatin1(key));
        for (const char *key : {"tradeDiscount_d", "markup_d", "vat_rate"})
            AppContext::sharedSettings()->remove(QString::fromLatin1(key));
        m_data.reset();
    }

    void supplierCascade()
    {
        VexaOrderItem *item = newItem();
        // Suppliers are the range tables and bands the price tables, each behind an empty entry.
        QCOMPARE(sortedTail(m_order->supplierCBModel().comboList()), (QStringList{"Alpha", "Beta"}));
        QCOMPARE(item->bl_supplier(), m_order->supplierCBModel().comboList().at(1));
        QCOMPARE(sortedTail(m_order->bandCBModel().comboList()), (QStringList{"B1", "B2"}));
        QVERIFY(m_order->changed());

        // The first range is a single blank: an empty entry goes in front and the blank is passed over.
        selectSupplier("Alpha");
        QCOMPARE(m_order->rangeCBModel().comboList(), (QStringList{"", " ", "Range1", "Range2"}));
        QCOMPARE(m_order->colourCBModel().comboList(), (QStringList{"", "Red", "Blue"}));
        QCOMPARE(item->bl_range() + '|' + item->bl_color(), QStringLiteral("Range1|Red"));

        m_order->set_changed(false);
        selectSupplier("Beta");
        QCOMPARE(m_order->rangeCBModel().comboList(), (QStringList{"", "BetaRange", "Second"}));
        QCOMPARE(m_order->colourCBModel().comboList(), (QStringList{"", "Pure White", "Ivory"}));
        QCOMPARE(item->bl_color(), QStringLiteral("Pure White"));
        QVERIFY(m_order->changed());

        // A range chosen by hand survives selecting the same supplier again.
        item->set_bl_range(QStringLiteral("Chosen"));
        item->set_bl_band(QStringLiteral("B2"));
        m_order->set_changed(false);
        selectSupplier("Beta");
        QCOMPARE(item->bl_range() + '|' + item->bl_band(), QStringLiteral("Chosen|B2"));
        QVERIFY(!m_order->changed());

        // "add..." is never taken as a supplier.
        m_order->supplierCBModel().addElement(ComboBoxModel::addEntry());
        selectSupplier(ComboBoxModel::addEntry());
        QCOMPARE(item->bl_supplier(), QStringLiteral("Beta"));
    }

    void rangeAndColour()
    {
        VexaOrderItem *item = newItem();
        selectSupplier("Alpha");
        m_order->set_changed(false);
        item->set_bl_band(QStringLiteral("Stale"));
        m_order->colourSelected(2);
        // the band is reset, then taken from the range row
        QCOMPARE(item->bl_color() + '|' + item->bl_band(), QStringLiteral("Blue|B1"));
        QVERIFY(m_order->changed());
        // The same colour again does nothing; -1 stands for the empty first entry.
        item->set_bl_band(QStringLiteral("Kept"));
        m_order->colourSelected(2);
        QCOMPARE(item->bl_band(), QStringLiteral("Kept"));
        m_order->colourSelected(-1);
        QCOMPARE(item->bl_color(), QString());
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^m_colourCBModel.count\\(\\) < index 3 7$"));
        m_order->colourSelected(7);

        selectRange("Range2");
        QCOMPARE(m_order->colourCBModel().comboList(), (QStringList{"", "Green"}));
        QCOMPARE(item->bl_color(), QStringLiteral("Green"));
        // Selecting the current range again still resets what hangs below it.
        item->set_manualPrice(true);
        item->set_item_price(99);
        selectRange("Range2");
        QVERIFY(!item->manualPrice() && item->item_price() != 99);
        // "add..." leaves the item without a range and without colours to offer.
        m_order->rangeCBModel().addElement(ComboBoxModel::addEntry());
        selectRange(ComboBoxModel::addEntry());
        QCOMPARE(item->bl_range(), QString());
        QCOMPARE(m_order->colourCBModel().comboList(), QStringList{""});
    }

    void addEntryProductStops()
    {
        VexaOrderItem *item = newItem();
        const QStringList suppliers = m_order->supplierCBModel().comboList();
        m_order->productCBModel().setComboList({"Lattica", kFrag, ComboBoxModel::addEntry()});
        m_order->set_changed(false);
        m_order->productSelected(2);
        // The item is reset and nothing else happens: the interface now asks for a name.
        QCOMPARE(item->bl_product() + item->bl_supplier(), QString());
        QVERIFY(item->optionsModel()->isEmpty());
        QCOMPARE(m_order->supplierCBModel().comboList(), suppliers);
        QVERIFY(!m_order->changed());
        // An index past the list is ignored altogether.
        item->set_bl_product(QStringLiteral("kept"));
        m_order->productSelected(3);
        QCOMPARE(item->bl_product(), QStringLiteral("kept"));
    }

    void databaseNamesMergeIgnoringCase()
    {
        VexaOrderItem *item = newItem();
        selectSupplier("Beta");
        QCOMPARE(item->bl_range(), QStringLiteral("BetaRange"));
        // Database names that only differ in case from the table's are not repeated.
        const std::pair<const char *, const char *> added[] = {{"pure white", "colour"}, {"Oak", "colour"}, {"secOND", "range"},
            {"Gamma", "range"}, {"BETA", "supplier"}, {"Delta", "supplier"}};
        for (const auto &a : added)
            m_order->addProductDbItem(QString::fromLatin1(a.first), QString::fromLatin1(a.second));
        selectRange("BetaRange");
        QCOMPARE(m_order->colourCBModel().comboList(), (QStringList{"", "Pure White", "Ivory", "Oak"}));
        m_order->productSelected(m_order->productCBModel().index(kFrag));
        QCOMPARE(sortedTail(m_order->supplierCBModel().comboList()), (QStringList{"Alpha", "Beta", "Delta"}));
        selectSupplier("Beta");
        QCOMPARE(m_order->rangeCBModel().comboList(), (QStringList{"", "BetaRange", "Second", "Gamma"}));
    }

    void addProductDbItem()
    {
        appSettings *user = AppContext::userSettings();
        m_order->addBlind(QStringLiteral("Hall"));
        VexaOrderItem *item = m_order->getVexaOrderItem();
        // Refused outright: an unknown type, a blank name, the "add..." entry.
        user->setValue(QStringLiteral("dbmod"), false);
        m_order->addProductDbItem(QStringLiteral("X"), QStringLiteral("fabric"));
        m_order->addProductDbItem(QStringLiteral("  "), QStringLiteral("product"));
        m_order->addProductDbItem(ComboBoxModel::addEntry(), QStringLiteral("supplier"));
        QVERIFY(!user->value(QStringLiteral("dbmod")).toBool());

        // Each name goes under the item's own product, supplier and range, replacing the placeholder above it.
        item->set_bl_product(QStringLiteral("P"));
        item->set_bl_supplier(QStringLiteral("S"));
        item->set_bl_range(QStringLiteral("R"));
        const std::pair<const char *, const char *> added[] = {{"P", "product"}, {"S", "supplier"}, {"R", "range"}, {"Oak", "colour"}};
        for (const auto &a : added)
            m_order->addProductDbItem(QString::fromLatin1(a.first), QString::fromLatin1(a.second));
        QVERIFY(user->value(QStringLiteral("dbmod")).toBool());

        // Products added by hand are offered after the order is started again; one
        // without range tables takes its lists from the database.
        m_order->newOrder();
        QCOMPARE(m_order->productCBModel().comboList(), (QStringList{"Lattica", "P"}));
        writeTable("P/Prices/Only.csv", "Drop/Width,500\n500,10\n");
        item = newItem(QStringLiteral("P"));
        QCOMPARE(m_order->supplierCBModel().comboList(), (QStringList{"", "S"}));
        QCOMPARE(m_order->rangeCBModel().comboList(), (QStringList{"", "R"}));
        QCOMPARE(m_order->colourCBModel().comboList(), (QStringList{"", "Oak"}));
        QCOMPARE(item->bl_supplier() + '|' + item->bl_range() + '|' + item->bl_color(), QStringLiteral("S|R|Oak"));
        QCOMPARE(m_order->bandCBModel().comboList(), (QStringList{"", "Only"}));
    }

    void choiceLists()
    {
        appSettings *user = AppContext::userSettings();
        user->setValue(QStringLiteral("cntlr_sl"), QStringLiteral("Left,Right"));
        user->setValue(QStringLiteral("cntlv_sl"), QStringLiteral("Wand,,Chain"));
        user->setValue(QStringLiteral("fix_sl"), QStringLiteral("Face,Recess"));
        user->setValue(QStringLiteral("msr_sl"), QStringLiteral("Tight,Loose"));
        m_order->productDb()->addProduct(QStringLiteral("Zeta"));
        m_order->productDb()->addProduct(QStringLiteral("Lattica"));
        // A product's own measures come first; clearing the order goes back to the standard ones.
        writeTable(kFrag + "/prod.ini", "measures=Recess,Face\nincStdMeasures_b=true\n");
        newItem();
        QCOMPARE(m_order->measureTypeCBModel().comboList(), (QStringList{"Recess", "Face", "Tight", "Loose"}));
        m_order->clear();
        QCOMPARE(m_order->productCBModel().comboList(), (QStringList{"Lattica", "Zeta"}));
        QCOMPARE(m_order->controlsCBModel().comboList(), (QStringList{" ", "Left", "Right", "Wand", "", "Chain"}));
        QCOMPARE(m_order->fixtypeCBModel().comboList(), (QStringList{"Face", "Recess"}));
        QCOMPARE(m_order->measureTypeCBModel().comboList(), (QStringList{"Tight", "Loose"}));
    }

    void itemMadeCurrentKeepsItsChoices()
    {
        // An item as it comes back from an order file: choices the catalogue no
        // longer offers, and a product the product list does not hold.
        m_order->addBlind(QStringLiteral("Study"));
        VexaOrderItem *item = m_order->getVexaOrderItem();
        item->set_bl_product(kFrag);
        item->set_bl_supplier(QStringLiteral("Beta"));
        item->set_bl_range(QStringLiteral("Retired Range"));
        item->set_bl_color(QStringLiteral("Retired Colour"));
        m_order->addBlind(QStringLiteral("Study"));
        m_order->setBlind(QStringLiteral("Study"), 0);
        QCOMPARE(m_order->getVexaOrderItem(), item);
        QCOMPARE(item->bl_supplier() + '|' + item->bl_range() + '|' + item->bl_color(), QStringLiteral("Beta|Retired Range|Retired Colour"));
        QVERIFY(m_order->productCBModel().comboList().contains(kFrag));
        QCOMPARE(sortedTail(m_order->supplierCBModel().comboList()), (QStringList{"Alpha", "Beta"}));
        QCOMPARE(m_order->rangeCBModel().comboList(), (QStringList{"", "BetaRange", "Second", "Retired Range"}));
        // No table row has the retired range, so its own colour is the only one.
        QCOMPARE(m_order->colourCBModel().comboList(), (QStringList{"", "Retired Colour"}));
    }

    void pricingRules_data()
    {
        QTest::addColumn<QString>("choice");   // pricing and cost columns of the choice
        QTest::addColumn<QString>("ini");      // the Extras price settings
        QTest::addColumn<QSize>("size");       // width x drop
        QTest::addColumn<QString>("band");
        QTest::addColumn<bool>("exVat");
        QTest::addColumn<double>("expected");

        const QSize m1(1000, 1000);
        // Item price 250 throughout; the item's own table is 100 per sqm.
        QTest::newRow("percent, any case") << "PeRcEnt,10" << "" << m1 << "Sqm" << false << 25.0;
        // The item price is already without VAT: a share of it is too.
        QTest::newRow("percent, ex-VAT") << "percent,10" << "" << m1 << "Sqm" << true << 25.0;
        QTest::newRow("height") << "height,24" << "" << QSize(1000, 1500) << "Sqm" << false << 36.0;
        QTest::newRow("area, ex-VAT") << "area,30" << "" << QSize(1200, 1500) << "Sqm" << true << 45.0;
        // (1000 + 100) x (1000 + 100) at 100 per sqm, less the item's own 100.
        QTest::newRow("inc width") << "inc width frame,50" << "" << m1 << "Sqm" << false << 21.0;
        QTest::newRow("inc width, ex-VAT") << "inc width frame,50" << "" << m1 << "Sqm" << true << 17.5;
        // A grid table has no rate to enlarge: nothing, not the item's price taken off.
        QTest::newRow("inc width, grid") << "inc width frame,50" << "" << m1 << "Grid" << false << 0.0;
        QTest::newRow("table, band edge") << "Price Table,Tbl" << "" << QSize(500, 500) << "Sqm" << false << 10.0;
        QTest::newRow("table, ex-VAT once") << "price table,Tbl" << "" << QSize(900, 600) << "Sqm" << true << 40.0 / 1.2;
        QTest::newRow("unknown rule") << "stairs,10" << "" << m1 << "Sqm" << false << 0.0;
        QTest::newRow("no cost") << "fixed," << "" << m1 << "Sqm" << false << 0.0;
        QTest::newRow("other group's section") << "fixed,100" << "[xg_Other]\nchange=10\n" << m1 << "Sqm" << false << 100.0;
        QTest::newRow("band change") << "width,100" << "[xg_Opt]\nchange=10\n[band_Sqm]\nchange=5\n" << m1 << "Sqm" << false << 115.5;
        // 100 less 40%, plus 100%, plus 20% VAT.
        QTest::newRow("trade group") << "area,100" << "[xg_Opt]\ntrade=true\n" << m1 << "Sqm" << false << 144.0;
        QTest::newRow("table, group's section") << "price table,Tbl" << "[xg_Opt]\nchange=50\n[all_bands]\nchange=10\n" << m1 << "Sqm" << false << 60.0;
    }

    void pricingRules()
    {
        QFETCH(QString, choice);
        QFETCH(QString, ini);
        QFETCH(QSize, size);
        QFETCH(QString, band);
        QFETCH(bool, exVat);
        QFETCH(double, expected);
        AppContext::sharedSettings()->setValue(QStringLiteral("tradeDiscount_d"), 40);
        AppContext::sharedSettings()->setValue(QStringLiteral("markup_d"), 100);
        writeTable(kOpt + "/Extras/Prices/setting.ini", ini);
        writeTable(kOpt + "/Extras/Opt.csv", kHeader + "Choice,C1," + choice + ",,\n");
        newSizedItem(size.width(), size.height(), band)->set_item_price(250);
        m_order->set_exVat(exVat);
        QVERIFY2(qAbs(price("Choice") - expected) < 1e-9, qPrintable(QString::number(price("Choice"))));
        // A choice the table does not have, or no choice, costs nothing.
        QCOMPARE(price("Other") + price(QString()), 0.0);
    }

    void invalidCostLogged()
    {
        writeTable(kOpt + "/Extras/Opt.csv", kHeader + "Choice,C1,fixed,12x,width,abc\n");
        newSizedItem(1000, 1000);
        QTest::ignoreMessage(QtWarningMsg, "Extras: has invalid price: 12x");
        QTest::ignoreMessage(QtWarningMsg, "Extras: has invalid price: abc");
        QCOMPARE(price("Choice"), 0.0);
    }

    void tradeRecords()
    {
        writeTable(kOpt + "/Extras/Opt.csv", kHeader + "Both,C1,fixed,10,width,10\nOne,C2,fixed,10,,\nTier,C3,percent,15,,\n");
        writeTable(kOpt + "/Extras/Prices/setting.ini", "[xg_Opt]\ntrade=true\n");
        AppContext::sharedSettings()->setValue(QStringLiteral("vat_rate"), 0);
        VexaOrderItem *item = newSizedItem(1000, 1000);
        OptionGroup *opt = group("Opt");
        auto recorded = [opt](const char *key) { return opt->optsCalcMap().value(QLatin1String(key)); };
        // A second price component is retail, so the choice is no longer trade.
        QCOMPARE(price("One"), 10.0);
        QCOMPARE(recorded("trade"), QVariant(true));
        QCOMPARE(price("Both"), 20.0);
        QCOMPARE(recorded("trade"), QVariant(false));
        // A percentage of a trade item is trade too, with its share of the trade price.
        const QVariantMap itemCalc{{"trade", true}, {"tradePrice", 200.0}, {"tradeDisc", 40.0}};
        item->set_calcMap(itemCalc);
        item->set_item_price(300);
        QCOMPARE(price("Tier"), 45.0);
        QCOMPARE(opt->optsCalcMap(), (QVariantMap{{"trade", true}, {"tradePrice", 30.0}, {"tradeDisc", 40.0}}));
        QCOMPARE(item->calcMap(), itemCalc);
        // With extras outside the customer discount, fixed prices are marked so; other rules are not.
        QVERIFY(!recorded("custDiscPcnt").isValid());
        AppContext::userSettings()->setValue(QStringLiteral("incExtras_b"), false);
        QCOMPARE(price("One"), 10.0);
        QCOMPARE(recorded("custDiscPcnt").toDouble(), 100.0);
        opt->set_optsCalcMap({});
        price("Tier");
        QVERIFY(!recorded("custDiscPcnt").isValid());
    }

    void rearCovers_data()
    {
        QTest::addColumn<QString>("buildOut"); // "-": the product has no build-out group
        QTest::addColumn<QString>("custom");
        QTest::addColumn<double>("expected");
        // Item 800 wide, 1200 high, cost 10 per metre: all round is 40.
        QTest::newRow("no build-out group") << "-" << "" << 40.0;
        QTest::newRow("nothing built out") << "" << "" << 40.0;
        QTest::newRow("all sides") << "All sides 25mm" << "L:12mm R:12mm T: B:" << 0.0;
        QTest::newRow("custom, both sides") << "Custom" << "L:12mm R:12mm T: B:" << 16.0;
        QTest::newRow("custom, top only") << "Custom" << "L: R: T:25mm B:" << 32.0;
        QTest::newRow("custom, none given") << "Custom" << "L: R: T: B:" << 40.0;
        QTest::newRow("custom, every side") << "Custom" << "L:5mm R:5mm T:5mm B:5mm" << 0.0;
    }

    void rearCovers()
    {
        QFETCH(QString, buildOut);
        QFETCH(QString, custom);
        QFETCH(double, expected);
        writeTable(kOpt + "/Extras/RearCovers.csv", kHeader + "Rear Covers,RCV,perimeter,10,,\n");
        if (buildOut != "-")
            writeTable(kOpt + "/Extras/Build Out.csv", kHeader + "Custom,BCU,fixed,22,,\nAll sides 25mm,BA25,perimeter,12,,\n");
        VexaOrderItem *item = newSizedItem(800, 1200);
        if (buildOut != "-")
            item->getOptionGroup(QStringLiteral("Build Out"))->set_description(buildOut);
        item->set_dataMap({{QStringLiteral("CustomBuildout"), custom}});
        QVERIFY2(qAbs(price("Rear Covers", "RearCovers") - expected) < 1e-9, qPrintable(QString::number(price("Rear Covers", "RearCovers"))));
    }

    void groupsFromExtrasFolder()
    {
        writeTable(kOpt + "/Extras/_info.csv", "Group,Multiple,Required,Notes\nLouvre Size,No,Yes,Bigger louvres let in more light\n"
                                       "Frame Style,no,YES,\nZed Trim,No,yes,\nBuild Out,Yes,No,Per side\n");
        writeTable(kOpt + "/Extras/Louvre Size.csv", kHeader + "63mm,L63,fixed,0,,\n76mm,+L76,fixed,0,,\n");
        writeTable(kOpt + "/Extras/Frame Style.csv", kHeader + "Classic,FCL,fixed,0,,\nDeco,FDZ,fixed,10,,\n");
        writeTable(kOpt + "/Extras/Zed Trim.csv", kHeader + "Plain,Z1,fixed,0,,\n");
        writeTable(kOpt + "/Extras/Build Out.csv", kHeader + "Custom,BCU,fixed,22,,\n");
        writeTable(kOpt + "/Extras/Alpha Extra.csv", kHeader + "One,A1,fixed,1,,\n");
        VexaOrderItem *item = newSizedItem(1000, 1000);
        // Required groups first, then the rest, each in name order.
        QCOMPARE(groupNames(item), (QStringList{"Frame Style", "Zed Trim", "Alpha Extra", "Build Out", "Louvre Size"}));

        // A "+" code preselects its choice and makes the group optional.
        const OptionGroup *louvres = group("Louvre Size");
        QCOMPARE(louvres->descList(), (QStringList{"63mm", "76mm"}));
        QVERIFY(louvres->description() == "76mm" && louvres->storedCode() == "+L76" && !louvres->isReqd());
        QCOMPARE(louvres->notes(), QStringLiteral("Bigger louvres let in more light"));
        // A required group without a default offers an empty first choice.
        QCOMPARE(group("Frame Style")->descList(), (QStringList{"", "Classic", "Deco"}));
        QVERIFY(group("Frame Style")->isReqd() && group("Frame Style")->description().isEmpty());
        QVERIFY(group("Build Out")->isMulti() && !group("Alpha Extra")->isMulti());

        // A group the user added keeps just its own choice when the groups are built again.
        m_order->addOption(QStringLiteral("Aaa Hand Added"), QStringLiteral("Gold knob"), true);
        m_order->addBlind(QStringLiteral("Lounge"));
        m_order->setBlind(QStringLiteral("Lounge"), 0);
        QCOMPARE(m_order->getVexaOrderItem(), item);
        QCOMPARE(item->getOptionGroup(QStringLiteral("Aaa Hand Added"))->descList(), (QStringList{"", "Gold knob"}));
        QCOMPARE(groupNames(item), (QStringList{"Frame Style", "Zed Trim", "Aaa Hand Added", "Alpha Extra", "Build Out", "Louvre Size"}));
    }

    void keptDescriptionKeepsCodesParallel()
    {
        writeTable(kOpt + "/Extras/Frame Style.csv", kHeader + "Classic,FCL,fixed,0,,\nDeco,FDZ,fixed,10,,\n");
        m_order->addBlind(QStringLiteral("Hall"));
        VexaOrderItem *item = m_order->getVexaOrderItem();
        item->set_bl_product(kOpt);
        // As read from an order made with an older catalogue.
        auto *kept = new OptionGroup();
        kept->set_optionGroup(QStringLiteral("Frame Style"));
        kept->set_description(QStringLiteral("Heritage"));
        item->optionsModel()->append(kept);
        m_order->setBlind(QStringLiteral("Hall"), 0);
        QCOMPARE(kept->descList(), (QStringList{"", "Classic", "Deco", "Heritage"}));
        QCOMPARE(kept->description() + kept->storedCode(), QStringLiteral("Heritage"));
        kept->set_description(QStringLiteral("Deco"));
        QCOMPARE(kept->storedCode(), QStringLiteral("FDZ"));
    }

    void sumExtras()
    {
        writeTable(kOpt + "/Extras/Trim.csv", kHeader + "Oak,T1,width,20,,\n");
        writeTable(kOpt + "/Extras/Typed.csv", kHeader + "Special,S1,fixed,99,,\n");
        VexaOrderItem *item = newSizedItem(1500, 1000);
        item->set_item_price(200);
        item->set_bl_multiple(2);
        group("Trim")->set_description(QStringLiteral("Oak"));
        group("Trim")->set_multiple(5); // not a multiple group: counted once
        group("Typed")->set_description(QStringLiteral("Special"));
        group("Typed")->set_manualPrice(true);
        group("Typed")->set_price(QStringLiteral("7.25"));
        m_order->sumExtras();
        QCOMPARE(group("Trim")->price() + '|' + group("Typed")->price(), QStringLiteral("30.00|7.25"));
        QCOMPARE(item->extras_price(), 37.25);
        QCOMPARE(m_order->blindpriceex(), QStringLiteral("474.50"));
    }

    void optionSelected()
    {
        writeTable(kOpt + "/Extras/Handles.csv", kHeader + "Custom,BCU,fixed,22,,\nWide,BW,width,10,,\n");
        VexaOrderItem *item = newSizedItem(1000, 1000);
        OptionGroup *handles = group("Handles");
        // Found by name in any case, but only priced when the name matches exactly.
        handles->set_optsCalcMap({{"trade", true}});
        handles->set_manualPrice(true);
        m_order->set_changed(false);
        m_order->optionSelected(QStringLiteral("handles"), QStringLiteral("Custom"), -1);
        QCOMPARE(handles->description(), QStringLiteral("Custom"));
        QVERIFY(handles->optsCalcMap().isEmpty() && !handles->manualPrice() && handles->price().isEmpty());
        QVERIFY(!m_order->changed());
        m_order->optionSelected(QStringLiteral("Handles"), QStringLiteral("Custom"), -1);
        QCOMPARE(handles->multiple(), 1);
        QCOMPARE(handles->price(), QStringLiteral("22.00"));
        QVERIFY(m_order->changed());
        // By row, with a quantity: the unit price is shown.
        handles->set_multiple(3);
        m_order->optionSelected(QStringLiteral("Handles"), QStringLiteral("Wide"), item->optionsModel()->indexOf(handles));
        QCOMPARE(handles->description() + handles->price(), QStringLiteral("Wide10.00"));
        m_order->optionSelected(QStringLiteral("Handles"), QString(), -1);
        QCOMPARE(handles->price(), QString());

        QTest::ignoreMessage(QtCriticalMsg, "optionSelected invalid index 9");
        m_order->optionSelected(QStringLiteral("Handles"), QStringLiteral("Custom"), 9);
        QTest::ignoreMessage(QtCriticalMsg, "optionSelected invalid index -1");
        m_order->optionSelected(QStringLiteral("Nowhere"), QStringLiteral("Custom"), -1);
        QCOMPARE(handles->description(), QString());
    }

    void addOption()
    {
        writeTable(kOpt + "/Extras/Build Out.csv", kHeader + "Custom,BCU,fixed,22,,\n");
        VexaOrderItem *item = newSizedItem(1000, 1000);
        const int before = item->optionsModel()->count();
        m_order->addOption(QStringLiteral("Delivery"), QStringLiteral("Next day"), true);
        const OptionGroup *added = item->optionsModel()->getLast();
        QCOMPARE(added->optionGroup() + '|' + added->description(), QStringLiteral("Delivery|Next day"));
        QCOMPARE(added->descList(), (QStringList{"", "Next day"}));
        QVERIFY(added->isAdded() && added->isMulti());
        // The order was saved straight away.
        QVERIFY(!m_order->changed() && QFileInfo::exists(AppContext::stateFolder(VexaOrder::InProgress) + m_order->orderID()));
        // An existing group is taken over rather than repeated.
        m_order->addOption(QStringLiteral("Build Out"), QStringLiteral("Special"), false);
        QCOMPARE(item->optionsModel()->count(), before + 1);
        QVERIFY(group("Build Out")->isAdded());
        QCOMPARE(group("Build Out")->descList(), (QStringList{"", "Special"}));
    }

    void optionControls()
    {
        AppContext::userSettings()->setValue(QStringLiteral("cntlr_sl"), QStringLiteral("Chain left,Chain right"));
        writeTable(kOpt + "/Extras/Control Type.csv", kHeader + "Tilt rod,CT1,fixed,0,,\nHidden,CT2,fixed,9,,\n");
        newSizedItem(1000, 1000);
        m_order->optionSelected(QStringLiteral("Control Type"), QStringLiteral("Hidden"), -1);
        m_order->addBlind(QStringLiteral("Hall"));   // an item with no control group
        QCOMPARE(m_order->optionControls(0), (QStringList{"", "Tilt rod", "Hidden"}));
        QCOMPARE(m_order->optionSelectedControl(0), QStringLiteral("Hidden"));
        QCOMPARE(m_order->optionControls(1).mid(0, 3), (QStringList{" ", "Chain left", "Chain right"}));
        QCOMPARE(m_order->optionSelectedControl(1), QString());
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
        item->set_bl_width(width);
        item->set_bl_drop(drop);
        item->set_bl_band(band);
        return item;
    }

    double price(const QString &choice, const QString &group = QStringLiteral("Opt")) { return m_order->optionPrice(group, choice); }
    OptionGroup *group(const char *name) { return m_order->getVexaOrderItem()->getOptionGroup(QLatin1String(name)); }
    void selectSupplier(const QString &name) { m_order->supplierSelected(m_order->supplierCBModel().index(name)); }
    void selectRange(const QString &name) { m_order->rangeSelected(m_order->rangeCBModel().index(name)); }

    QScopedPointer<QTemporaryDir> m_data;
    QScopedPointer<VexaOrder> m_order;
};

QTEST_GUILESS_MAIN(SelectionTest)
#include "tst_selection.moc"
