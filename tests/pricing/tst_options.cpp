// Option groups of an order item: how they are built from a product's Extras
// folder, how each pricing rule prices a choice, the sum into the item and
// the option operations the capture screen calls.
#include "app/appcontext.h"
#include "app/appsettings.h"
#include "models/qqmlobjectlistmodel.h"
#include "orders/optiongroup.h"
#include "orders/vexaorder.h"
#include "orders/vexaorderitem.h"
#include "testenv.h"

#include <QDirIterator>
#include <QtTest>

namespace {

const QString kFrag = QStringLiteral("Frag Shutters");
const QString kHeader = QStringLiteral("Extra,Code,Pricing A,Cost A,Pricing B,Cost B\n");

void writeTable(const QString &relative, const QString &text)
{
    QVERIFY(TestEnv::writeFile(AppContext::catalogueProductsFolder + '/' + kFrag + '/' + relative, text.toUtf8()));
}

bool copyTree(const QString &from, const QString &to)
{
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + source.mid(from.size());
        QDir().mkpath(QFileInfo(target).absolutePath());
        if (!QFile::copy(source, target))
            return false;
    }
    return true;
}

QStringList groupNames(const VexaOrderItem *item)
{
    QStringList names;
    for (const OptionGroup *g : *item->optionsModel())
        names << g->optionGroup();
    return names;
}

} // namespace

class OptionsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnv::initApp(); }
    void init();
    void cleanup();

    void pricingRules_data();
    void pricingRules();
    void invalidCostLogged();
    void incWidthNeedsRate();
    void secondComponentIsRetail();
    void percentFollowsTradeItem();
    void optionAdjustment_data();
    void optionAdjustment();
    void fixedOutsideCustomerDiscount();
    void rearCovers_data();
    void rearCovers();
    void groupsFromExtrasFolder();
    void keptDescriptionKeepsCodesParallel();
    void sumExtras();
    void optionSelected();
    void optionSelectedInvalidIndex();
    void addOption();
    void optionControls();
    void sampleCatalogueGroups();

private:
    // A new item of the fragment product (after its tables are written),
    // sized and with the given price band.
    VexaOrderItem *newItem(int width, int drop, const QString &band = QStringLiteral("Sqm"));

    QScopedPointer<QTemporaryDir> m_data;
    QScopedPointer<VexaOrder> m_order;
};

void OptionsTest::init()
{
    m_data.reset(TestEnv::freshDataFolder());
    // The item's own table: 100 per square metre, and a grid band.
    writeTable("Prices/Sqm.csv", "Rate,Per sqm\nrate,100\n");
    writeTable("Prices/Grid.csv", "Drop/Width,500,1000\n500,60,80\n1000,80,100\n");
    // Option price tables: one of its own and one per item band.
    writeTable("Extras/Prices/Tbl.csv", "Drop/Width,500,1000\n500,10,20\n1000,30,40\n");
    writeTable("Extras/Prices/Motor_Sqm.csv", "Drop/Width,500,1000\n1000,60,120\n");
    m_order.reset(new VexaOrder());
    // processing would save the order and clear changed(), which these
    // tests read to see that an operation recorded a change
    m_order->autoSave = false;
    m_order->newOrder();
}

void OptionsTest::cleanup()
{
    m_order.reset();
    appSettings *user = AppContext::userSettings();
    for (const char *key : {"incExtras_b", "cntlr_sl", "cntlv_sl", "vr_d"})
        user->remove(QString::fromLatin1(key));
    appSettings *ini = AppContext::sharedSettings();
    for (const char *key : {"tradeDiscount_d", "markup_d", "vat_rate"})
        ini->remove(QString::fromLatin1(key));
    m_data.reset();
}

VexaOrderItem *OptionsTest::newItem(int width, int drop, const QString &band)
{
    m_order->addBlind(QStringLiteral("Lounge"));
    VexaOrderItem *item = m_order->getVexaOrderItem();
    m_order->productCBModel().addElement(kFrag);
    m_order->productSelected(m_order->productCBModel().index(kFrag));
    item->set_bl_width(width);
    item->set_bl_drop(drop);
    item->set_bl_band(band);
    return item;
}

void OptionsTest::pricingRules_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QString>("cost");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("drop");
    QTest::addColumn<double>("itemPrice");
    QTest::addColumn<bool>("exVat");
    QTest::addColumn<double>("expected");

    QTest::newRow("percent, any case") << "PeRcEnt" << "10" << 1000 << 1000 << 250.0 << false << 25.0;
    // The item price is already shown without VAT: a share of it is too.
    QTest::newRow("percent, ex-VAT") << "percent" << "10" << 1000 << 1000 << 250.0 << true << 25.0;
    QTest::newRow("fixed") << "fixed" << "22" << 1000 << 1000 << 0.0 << false << 22.0;
    QTest::newRow("fixed, ex-VAT") << "Fixed" << "120" << 1000 << 1000 << 0.0 << true << 100.0;
    QTest::newRow("height") << "height" << "24" << 1000 << 1500 << 0.0 << false << 36.0;
    QTest::newRow("drop") << "Drop" << "24" << 1000 << 1500 << 0.0 << false << 36.0;
    QTest::newRow("width") << "width" << "45" << 1200 << 1000 << 0.0 << false << 54.0;
    QTest::newRow("perimeter") << "perimeter" << "12" << 1000 << 1500 << 0.0 << false << 60.0;
    QTest::newRow("area") << "area" << "30" << 1200 << 1500 << 0.0 << false << 54.0;
    QTest::newRow("area, ex-VAT") << "area" << "30" << 1200 << 1500 << 0.0 << true << 45.0;
    // (1000 + 100) x (1000 + 100) at 100 per sqm, less the item's own 100.
    QTest::newRow("inc width") << "inc width frame" << "50" << 1000 << 1000 << 0.0 << false << 21.0;
    QTest::newRow("inc width, ex-VAT") << "inc width frame" << "50" << 1000 << 1000 << 0.0 << true << 17.5;
    QTest::newRow("price table") << "price table" << "Tbl" << 900 << 600 << 0.0 << false << 40.0;
    QTest::newRow("price table, band edge") << "Price Table" << "Tbl" << 500 << 500 << 0.0 << false << 10.0;
    QTest::newRow("price table, band fallback") << "price table" << "Motor" << 900 << 900 << 0.0 << false << 120.0;
    QTest::newRow("price table, ex-VAT once") << "price table" << "Tbl" << 900 << 600 << 0.0 << true << 40.0 / 1.2;
    QTest::newRow("unknown rule") << "stairs" << "10" << 1000 << 1000 << 250.0 << false << 0.0;
    QTest::newRow("no rule") << "" << "10" << 1000 << 1000 << 250.0 << false << 0.0;
    QTest::newRow("no cost") << "fixed" << "" << 1000 << 1000 << 250.0 << false << 0.0;
}

void OptionsTest::pricingRules()
{
    QFETCH(QString, rule);
    QFETCH(QString, cost);
    QFETCH(int, width);
    QFETCH(int, drop);
    QFETCH(double, itemPrice);
    QFETCH(bool, exVat);
    QFETCH(double, expected);

    writeTable("Extras/Opt.csv", kHeader + QStringLiteral("Choice,C1,%1,%2,,\n").arg(rule, cost));
    VexaOrderItem *item = newItem(width, drop);
    QVERIFY(item->getOptionGroup(QStringLiteral("Opt")));
    item->set_item_price(itemPrice);
    m_order->set_exVat(exVat);
    const double price = m_order->optionPrice(QStringLiteral("Opt"), QStringLiteral("Choice"));
    QVERIFY2(qAbs(price - expected) < 1e-9, qPrintable(QString::number(price)));
    // A choice the table does not have, or no choice, costs nothing.
    QCOMPARE(m_order->optionPrice(QStringLiteral("Opt"), QStringLiteral("Other")), 0.0);
    QCOMPARE(m_order->optionPrice(QStringLiteral("Opt"), QString()), 0.0);
}

void OptionsTest::invalidCostLogged()
{
    writeTable("Extras/Opt.csv", kHeader + "Choice,C1,fixed,12x,width,abc\n");
    newItem(1000, 1000);
    QTest::ignoreMessage(QtWarningMsg, "Extras: has invalid price: 12x");
    QTest::ignoreMessage(QtWarningMsg, "Extras: has invalid price: abc");
    QCOMPARE(m_order->optionPrice(QStringLiteral("Opt"), QStringLiteral("Choice")), 0.0);
}

void OptionsTest::incWidthNeedsRate()
{
    // A grid item table has no rate to enlarge: the option adds nothing
    // rather than taking the item's price off again.
    writeTable("Extras/Opt.csv", kHeader + "Frame,F1,inc width frame,50,,\n");
    newItem(1000, 1000, QStringLiteral("Grid"));
    QCOMPARE(m_order->optionPrice(QStringLiteral("Opt"), QStringLiteral("Frame")), 0.0);
}

void OptionsTest::secondComponentIsRetail()
{
    writeTable("Extras/Opt.csv", kHeader + "Both,C1,fixed,10,width,10\nOne,C2,fixed,10,,\n");
    writeTable("Extras/Prices/setting.ini", "[xg_Opt]\ntrade=true\n");
    AppContext::sharedSettings()->setValue(QStringLiteral("vat_rate"), 0);
    VexaOrderItem *item = newItem(1000, 1000);
    OptionGroup *group = item->getOptionGroup(QStringLiteral("Opt"));
    QVERIFY(group);

    QCOMPARE(m_order->optionPrice(QStringLiteral("Opt"), QStringLiteral("One")), 10.0);
    QCOMPARE(group->optsCalcMap().value(QStringLiteral("trade")).toBool(), true);
    QCOMPARE(m_order->optionPrice(QStringLiteral("Opt"), QStringLiteral("Both")), 20.0);
    QCOMPARE(group->optsCalcMap().value(QStringLiteral("trade")).toBool(), false);
}

void OptionsTest::percentFollowsTradeItem()
{
    writeTable("Extras/Opt.csv", kHeader + "Tier,C1,percent,15,,\n");
    VexaOrderItem *item = newItem(1000, 1000);
    const QVariantMap itemCalc{{"trade", true}, {"tradePrice", 200.0}, {"tradeDisc", 40.0}};
    item->set_calcMap(itemCalc);
    item->set_item_price(300);
    QCOMPARE(m_order->optionPrice(QStringLiteral("Opt"), QStringLiteral("Tier")), 45.0);
    QVariantMap expected = itemCalc;
    expected.insert(QStringLiteral("tradePrice"), 30.0);
    QCOMPARE(item->getOptionGroup(QStringLiteral("Opt"))->optsCalcMap(), expected);
    // The item's own record is left alone.
    QCOMPARE(item->calcMap(), itemCalc);
}

void OptionsTest::optionAdjustment_data()
{
    QTest::addColumn<QString>("settingIni");
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QString>("cost");
    QTest::addColumn<double>("expected");
    QTest::addColumn<QString>("mapKey");
    QTest::addColumn<double>("mapValue");

    QTest::newRow("retail change of the group") << "[xg_Opt]\nchange=10\n" << "fixed" << "100" << 110.0 << "allChange" << 10.0;
    QTest::newRow("other group's section ignored") << "[xg_Other]\nchange=10\n" << "fixed" << "100" << 100.0 << "rrp" << 100.0;
    QTest::newRow("band change of the item's band") << "[xg_Opt]\nchange=10\n[band_Sqm]\nchange=5\n" << "width" << "100" << 115.5 << "bandChange" << 5.0;
    // 100 less 40%, plus 100%, plus 20% VAT.
    QTest::newRow("trade group") << "[xg_Opt]\ntrade=true\n" << "area" << "100" << 144.0 << "tradePrice" << 100.0;
    QTest::newRow("price table in the group's section") << "[xg_Opt]\nchange=50\n[all_bands]\nchange=10\n" << "price table" << "Tbl" << 60.0 << "rrp" << 40.0;
}

void OptionsTest::optionAdjustment()
{
    QFETCH(QString, settingIni);
    QFETCH(QString, rule);
    QFETCH(QString, cost);
    QFETCH(double, expected);
    QFETCH(QString, mapKey);
    QFETCH(double, mapValue);

    AppContext::sharedSettings()->setValue(QStringLiteral("tradeDiscount_d"), 40);
    AppContext::sharedSettings()->setValue(QStringLiteral("markup_d"), 100);
    AppContext::sharedSettings()->setValue(QStringLiteral("vat_rate"), 20);
    writeTable("Extras/Prices/setting.ini", settingIni);
    writeTable("Extras/Opt.csv", kHeader + QStringLiteral("Choice,C1,%1,%2,,\n").arg(rule, cost));
    VexaOrderItem *item = newItem(1000, 1000);
    const double price = m_order->optionPrice(QStringLiteral("Opt"), QStringLiteral("Choice"));
    QVERIFY2(qAbs(price - expected) < 1e-9, qPrintable(QString::number(price)));
    const QVariantMap calc = item->getOptionGroup(QStringLiteral("Opt"))->optsCalcMap();
    QVERIFY2(qAbs(calc.value(mapKey).toDouble() - mapValue) < 1e-9, qPrintable(mapKey));
}

void OptionsTest::fixedOutsideCustomerDiscount()
{
    writeTable("Extras/Opt.csv", kHeader + "Fixed,C1,fixed,20,,\nWide,C2,width,20,,\n");
    VexaOrderItem *item = newItem(1000, 1000);
    OptionGroup *group = item->getOptionGroup(QStringLiteral("Opt"));

    m_order->optionPrice(QStringLiteral("Opt"), QStringLiteral("Fixed"));
    QVERIFY(!group->optsCalcMap().contains(QStringLiteral("custDiscPcnt")));

    AppContext::userSettings()->setValue(QStringLiteral("incExtras_b"), false);
    QCOMPARE(m_order->optionPrice(QStringLiteral("Opt"), QStringLiteral("Fixed")), 20.0);
    QCOMPARE(group->optsCalcMap().value(QStringLiteral("custDiscPcnt")).toDouble(), 100.0);

    // Only fixed prices are kept out of the customer discount.
    group->set_optsCalcMap({});
    m_order->optionPrice(QStringLiteral("Opt"), QStringLiteral("Wide"));
    QVERIFY(!group->optsCalcMap().contains(QStringLiteral("custDiscPcnt")));
}

void OptionsTest::rearCovers_data()
{
    QTest::addColumn<bool>("withBuildOut");
    QTest::addColumn<QString>("buildOut");
    QTest::addColumn<QString>("custom");
    QTest::addColumn<double>("expected");

    // Item 800 wide, 1200 high, cost 10 per metre: all round is 40.
    QTest::newRow("no build-out group") << false << "" << "" << 40.0;
    QTest::newRow("nothing built out") << true << "" << "" << 40.0;
    QTest::newRow("built out on all sides") << true << "All sides 25mm" << "L:12mm R:12mm T: B:" << 0.0;
    QTest::newRow("custom, both sides") << true << "Custom" << "L:12mm R:12mm T: B:" << 16.0;
    QTest::newRow("custom, top only") << true << "Custom" << "L: R: T:25mm B:" << 32.0;
    QTest::newRow("custom, none given") << true << "Custom" << "L: R: T: B:" << 40.0;
    QTest::newRow("custom, every side") << true << "Custom" << "L:5mm R:5mm T:5mm B:5mm" << 0.0;
}

void OptionsTest::rearCovers()
{
    QFETCH(bool, withBuildOut);
    QFETCH(QString, buildOut);
    QFETCH(QString, custom);
    QFETCH(double, expected);

    writeTable("Extras/RearCovers.csv", kHeader + "Rear Covers,RCV,perimeter,10,,\n");
    if (withBuildOut)
        writeTable("Extras/Build Out.csv", kHeader + "Custom,BCU,fixed,22,,\nAll sides 25mm,BA25,perimeter,12,,\n");
    VexaOrderItem *item = newItem(800, 1200);
    if (withBuildOut)
        item->getOptionGroup(QStringLiteral("Build Out"))->set_description(buildOut);
    if (!custom.isEmpty())
        item->set_dataMap({{QStringLiteral("CustomBuildout"), custom}});
    const double price = m_order->optionPrice(QStringLiteral("RearCovers"), QStringLiteral("Rear Covers"));
    QVERIFY2(qAbs(price - expected) < 1e-9, qPrintable(QString::number(price)));
}

void OptionsTest::groupsFromExtrasFolder()
{
    writeTable("Extras/_info.csv",
               "Group,Multiple,Required,Notes\n"
               "Louvre Size,No,Yes,Bigger louvres let in more light\n"
               "Frame Style,no,YES,\n"
               "Zed Trim,No,yes,\n"
               "Build Out,Yes,No,Per side\n");
    writeTable("Extras/Louvre Size.csv", kHeader + "63mm,L63,fixed,0,,\n76mm,+L76,fixed,0,,\n89mm,L89,fixed,9,,\n");
    writeTable("Extras/Frame Style.csv", kHeader + "Classic,FCL,fixed,0,,\nDeco,FDZ,fixed,10,,\n");
    writeTable("Extras/Zed Trim.csv", kHeader + "Plain,Z1,fixed,0,,\n");
    writeTable("Extras/Build Out.csv", kHeader + "Custom,BCU,fixed,22,,\n");
    writeTable("Extras/Alpha Extra.csv", kHeader + "One,A1,fixed,1,,\n");
    VexaOrderItem *item = newItem(1000, 1000);

    // Required groups first, then the rest, each in name order.
    QCOMPARE(groupNames(item), (QStringList{"Frame Style", "Zed Trim", "Alpha Extra", "Build Out", "Louvre Size"}));

    // A "+" code preselects its choice and makes the group optional.
    const OptionGroup *louvres = item->getOptionGroup(QStringLiteral("Louvre Size"));
    QCOMPARE(louvres->descList(), (QStringList{"63mm", "76mm", "89mm"}));
    QCOMPARE(louvres->description(), QStringLiteral("76mm"));
    QVERIFY(!louvres->isReqd());
    QCOMPARE(louvres->notes(), QStringLiteral("Bigger louvres let in more light"));
    QCOMPARE(louvres->storedCode(), QStringLiteral("+L76"));

    // A required group without a default offers an empty first choice.
    const OptionGroup *frame = item->getOptionGroup(QStringLiteral("Frame Style"));
    QCOMPARE(frame->descList(), (QStringList{"", "Classic", "Deco"}));
    QCOMPARE(frame->description(), QString());
    QVERIFY(frame->isReqd());

    const OptionGroup *buildOut = item->getOptionGroup(QStringLiteral("Build Out"));
    QVERIFY(buildOut->isMulti());
    QVERIFY(!buildOut->isReqd());
    QCOMPARE(buildOut->descList(), (QStringList{"", "Custom"}));
    QVERIFY(!item->getOptionGroup(QStringLiteral("Alpha Extra"))->isMulti());

    // A group the user added keeps just its own choice when the groups are built again.
    m_order->addOption(QStringLiteral("Aaa Hand Added"), QStringLiteral("Gold knob"), true);
    m_order->addBlind(QStringLiteral("Lounge"));
    m_order->setBlind(QStringLiteral("Lounge"), 0);
    QCOMPARE(m_order->getVexaOrderItem(), item);
    const OptionGroup *added = item->getOptionGroup(QStringLiteral("Aaa Hand Added"));
    QVERIFY(added);
    QCOMPARE(added->descList(), (QStringList{"", "Gold knob"}));
    QCOMPARE(groupNames(item).mid(2, 2), (QStringList{"Aaa Hand Added", "Alpha Extra"}));
    // Building again adds no second copy of any group.
    QCOMPARE(groupNames(item).size(), 6);
}

void OptionsTest::keptDescriptionKeepsCodesParallel()
{
    writeTable("Extras/Frame Style.csv", kHeader + "Classic,FCL,fixed,0,,\nDeco,FDZ,fixed,10,,\n");
    m_order->addBlind(QStringLiteral("Hall"));
    VexaOrderItem *item = m_order->getVexaOrderItem();
    item->set_bl_product(kFrag);
    // As read from an order made with an older catalogue.
    auto *kept = new OptionGroup();
    kept->set_optionGroup(QStringLiteral("Frame Style"));
    kept->set_description(QStringLiteral("Heritage"));
    item->optionsModel()->append(kept);

    m_order->setBlind(QStringLiteral("Hall"), 0);
    QCOMPARE(item->optionsModel()->count(), 1);
    QCOMPARE(kept->descList(), (QStringList{"", "Classic", "Deco", "Heritage"}));
    QCOMPARE(kept->description(), QStringLiteral("Heritage"));
    QCOMPARE(kept->storedCode(), QString());
    kept->set_description(QStringLiteral("Deco"));
    QCOMPARE(kept->storedCode(), QStringLiteral("FDZ"));
    kept->set_description(QStringLiteral("Classic"));
    QCOMPARE(kept->storedCode(), QStringLiteral("FCL"));
}

void OptionsTest::sumExtras()
{
    writeTable("Extras/_info.csv", "Group,Multiple,Required,Notes\nHandles,Yes,No,\n");
    writeTable("Extras/Handles.csv", kHeader + "Brass,H1,fixed,12.5,,\nFree,H0,fixed,0,,\n");
    writeTable("Extras/Trim.csv", kHeader + "Oak,T1,width,20,,\n");
    writeTable("Extras/Typed.csv", kHeader + "Special,S1,fixed,99,,\n");
    VexaOrderItem *item = newItem(1500, 1000);
    item->set_item_price(200);
    item->set_bl_multiple(2);

    OptionGroup *handles = item->getOptionGroup(QStringLiteral("Handles"));
    OptionGroup *trim = item->getOptionGroup(QStringLiteral("Trim"));
    OptionGroup *typed = item->getOptionGroup(QStringLiteral("Typed"));
    handles->set_description(QStringLiteral("Brass"));
    handles->set_multiple(3);
    trim->set_description(QStringLiteral("Oak"));
    trim->set_multiple(5);   // not a multiple group: counted once
    typed->set_description(QStringLiteral("Special"));
    typed->set_manualPrice(true);
    typed->set_price(QStringLiteral("7.25"));

    m_order->sumExtras();
    QCOMPARE(handles->price(), QStringLiteral("12.50"));
    QCOMPARE(trim->price(), QStringLiteral("30.00"));
    QCOMPARE(typed->price(), QStringLiteral("7.25"));
    const double extras = 12.5 * 3 + 30 + 7.25;
    QCOMPARE(item->extras_price(), extras);
    QCOMPARE(m_order->blindpriceex(), QString::number((extras + 200) * 2, 'f', 2));

    // A free choice shows no price at all; nothing priced shows no total.
    handles->set_description(QStringLiteral("Free"));
    trim->set_description(QString());
    typed->set_manualPrice(false);
    typed->set_description(QString());
    item->set_item_price(0);
    m_order->sumExtras();
    QCOMPARE(handles->price(), QString());
    QCOMPARE(item->extras_price(), 0.0);
    QCOMPARE(m_order->blindpriceex(), QString());
}

void OptionsTest::optionSelected()
{
    // a group of no special meaning to item processing
    writeTable("Extras/Handles.csv", kHeader + "Custom,BCU,fixed,22,,\nWide,BW,width,10,,\n");
    VexaOrderItem *item = newItem(1000, 1000);
    OptionGroup *group = item->getOptionGroup(QStringLiteral("Handles"));
    QCOMPARE(group->multiple(), 0);

    // Found by name in any case, but only priced when the name matches exactly.
    group->set_optsCalcMap({{"trade", true}});
    group->set_manualPrice(true);
    m_order->set_changed(false);
    m_order->optionSelected(QStringLiteral("handles"), QStringLiteral("Custom"), -1);
    QCOMPARE(group->description(), QStringLiteral("Custom"));
    QCOMPARE(group->optsCalcMap(), QVariantMap());
    QVERIFY(!group->manualPrice());
    QCOMPARE(group->price(), QString());
    QVERIFY(!m_order->changed());

    m_order->optionSelected(QStringLiteral("Handles"), QStringLiteral("Custom"), -1);
    QCOMPARE(group->multiple(), 1);
    QCOMPARE(group->price(), QStringLiteral("22.00"));
    QVERIFY(m_order->changed());

    // By row, with a quantity.
    group->set_multiple(3);
    m_order->optionSelected(QStringLiteral("Handles"), QStringLiteral("Wide"), item->optionsModel()->indexOf(group));
    QCOMPARE(group->description(), QStringLiteral("Wide"));
    // the processing that follows shows the unit price again
    QCOMPARE(group->price(), QStringLiteral("10.00"));

    // Choosing nothing clears the price.
    m_order->optionSelected(QStringLiteral("Handles"), QString(), -1);
    QCOMPARE(group->description(), QString());
    QCOMPARE(group->price(), QString());
}

void OptionsTest::optionSelectedInvalidIndex()
{
    writeTable("Extras/Build Out.csv", kHeader + "Custom,BCU,fixed,22,,\n");
    VexaOrderItem *item = newItem(1000, 1000);
    QTest::ignoreMessage(QtCriticalMsg, "optionSelected invalid index 9");
    m_order->optionSelected(QStringLiteral("Build Out"), QStringLiteral("Custom"), 9);
    QTest::ignoreMessage(QtCriticalMsg, "optionSelected invalid index -1");
    m_order->optionSelected(QStringLiteral("Nowhere"), QStringLiteral("Custom"), -1);
    QCOMPARE(item->getOptionGroup(QStringLiteral("Build Out"))->description(), QString());
}

void OptionsTest::addOption()
{
    writeTable("Extras/Build Out.csv", kHeader + "Custom,BCU,fixed,22,,\n");
    VexaOrderItem *item = newItem(1000, 1000);
    const int before = item->optionsModel()->count();

    m_order->addOption(QStringLiteral("Delivery"), QStringLiteral("Next day"), true);
    QCOMPARE(item->optionsModel()->count(), before + 1);
    OptionGroup *added = item->optionsModel()->getLast();
    QCOMPARE(added->optionGroup(), QStringLiteral("Delivery"));
    QVERIFY(added->isAdded());
    QVERIFY(added->isMulti());
    QCOMPARE(added->description(), QStringLiteral("Next day"));
    QCOMPARE(added->descList(), (QStringList{"", "Next day"}));
    // The order was saved straight away.
    QVERIFY(!m_order->changed());
    QVERIFY(QFileInfo::exists(AppContext::stateFolder(VexaOrder::InProgress) + m_order->orderID()));

    // An existing group is taken over rather than repeated.
    m_order->addOption(QStringLiteral("Build Out"), QStringLiteral("Special"), false);
    QCOMPARE(item->optionsModel()->count(), before + 1);
    OptionGroup *buildOut = item->getOptionGroup(QStringLiteral("Build Out"));
    QVERIFY(buildOut->isAdded());
    QCOMPARE(buildOut->descList(), (QStringList{"", "Special"}));
}

void OptionsTest::optionControls()
{
    AppContext::userSettings()->setValue(QStringLiteral("cntlr_sl"), QStringLiteral("Left,Right"));
    AppContext::userSettings()->setValue(QStringLiteral("cntlv_sl"), QStringLiteral("Wand"));
    writeTable("Extras/Control Type.csv", kHeader + "Central Tilt Rod,+CTR,fixed,0,,\nHidden Tilt,CHT,width,45,,\n");
    VexaOrderItem *first = newItem(1000, 1000);
    first->set_bl_controls(QStringLiteral("Right"));
    m_order->addBlind(QStringLiteral("Lounge"));   // no product: no groups

    // Building the groups refills the control choices and points at the item's.
    m_order->setBlind(QStringLiteral("Lounge"), 0);
    QCOMPARE(m_order->controlsCBModel().comboList(), (QStringList{" ", "Left", "Right", "Wand"}));
    QCOMPARE(m_order->controlsCBModel().currentIndex(), 2);

    QCOMPARE(m_order->optionControls(0), (QStringList{"Central Tilt Rod", "Hidden Tilt"}));
    QCOMPARE(m_order->optionSelectedControl(0), QStringLiteral("Central Tilt Rod"));
    QCOMPARE(m_order->optionControls(1), (QStringList{" ", "Left", "Right", "Wand"}));
    QCOMPARE(m_order->optionSelectedControl(1), QString());
    QCOMPARE(m_order->optionControls(2), QStringList());
    QCOMPARE(m_order->optionSelectedControl(-1), QString());
}

void OptionsTest::sampleCatalogueGroups()
{
    QVERIFY(copyTree(TestEnv::sourcePath(QStringLiteral("data/catalogue")), AppContext::catalogueProductsFolder));
    m_order->addBlind(QStringLiteral("Lounge"));
    VexaOrderItem *item = m_order->getVexaOrderItem();
    const QString product = QStringLiteral("Plantation Shutters");
    m_order->productCBModel().addElement(product);
    m_order->productSelected(m_order->productCBModel().index(product));

    // Every group of the Extras folder, required ones (without a default) first.
    const QStringList names = groupNames(item);
    QCOMPARE(names.size(), 13);
    QCOMPARE(names.first(), QStringLiteral("Frame Style"));
    QStringList rest = names.mid(1);
    rest.sort();
    QCOMPARE(names.mid(1), rest);
    for (const OptionGroup *g : *item->optionsModel())
        QCOMPARE(g->isReqd(), g->optionGroup() == QLatin1String("Frame Style"));
    QCOMPARE(item->getOptionGroup(QStringLiteral("Shutter Style"))->description(), QStringLiteral("Full Height"));
    QCOMPARE(item->getOptionGroup(QStringLiteral("Hinge Colour"))->description(), QStringLiteral("Colour Matched"));
}

QTEST_GUILESS_MAIN(OptionsTest)
#include "tst_options.moc"
