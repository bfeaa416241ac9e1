// The selection cascade of an order item (product -> supplier -> range ->
// colour), the choice lists it fills from the catalogue and the product
// database, and names added by hand.
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

const QString kFrag = QStringLiteral("Frag Blinds");

void writeTable(const QString &relative, const QString &text)
{
    QVERIFY(TestEnv::writeFile(AppContext::catalogueProductsFolder + '/' + relative, text.toUtf8()));
}

// The list without its first (empty) entry, sorted: folder listings come in no set order.
QStringList sortedTail(const QStringList &list)
{
    QStringList tail = list.mid(1);
    tail.sort();
    return tail;
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
        m_order.reset(new VexaOrder());
        // processing would save the order and clear changed(), which these tests read
        m_order->autoSave = false;
        QVERIFY(m_order->productDb());
        m_order->newOrder();
    }
    void cleanup()
    {
        m_order.reset();
        for (const char *key : {"msr_sl", "fix_sl", "cntlr_sl", "cntlv_sl"})
            AppContext::userSettings()->remove(QString::fromLatin1(key));
        m_data.reset();
    }

    void supplierCascade()
    {
        VexaOrderItem *item = newItem();
        // Suppliers are the range tables and bands the price tables, each behind an empty entry.
        QCOMPARE(m_order->supplierCBModel().comboList().first(), QString());
        QCOMPARE(sortedTail(m_order->supplierCBModel().comboList()), (QStringList{"Alpha", "Beta"}));
        QCOMPARE(item->bl_supplier(), m_order->supplierCBModel().comboList().at(1));
        QCOMPARE(sortedTail(m_order->bandCBModel().comboList()), (QStringList{"B1", "B2"}));
        QVERIFY(m_order->changed());

        // The first range is a single blank: an empty entry goes in front and the blank is passed over.
        selectSupplier("Alpha");
        QCOMPARE(m_order->rangeCBModel().comboList(), (QStringList{"", " ", "Range1", "Range2"}));
        QCOMPARE(item->bl_range(), QStringLiteral("Range1"));
        QCOMPARE(m_order->colourCBModel().comboList(), (QStringList{"", "Red", "Blue"}));
        QCOMPARE(item->bl_color(), QStringLiteral("Red"));

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
        QCOMPARE(item->bl_range(), QStringLiteral("Chosen"));
        QCOMPARE(item->bl_band(), QStringLiteral("B2"));
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
        QCOMPARE(item->bl_color(), QStringLiteral("Blue"));
        QCOMPARE(item->bl_band(), QStringLiteral("B1")); // reset, then taken from the range row
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
        writeTable(kFrag + "/prod.ini", "measures=Recess,Face\nincStdMeasures_b=true\n[notes]\nAlpha=Lead time 4 weeks.\n");
        VexaOrderItem *item = newItem();
        QCOMPARE(m_order->measureTypeCBModel().comboList(), (QStringList{"Recess", "Face", "Tight", "Loose"}));
        item->set_bl_supplier(QStringLiteral("Alpha"));
        QCOMPARE(m_order->supplierNotes(), QStringLiteral("Lead time 4 weeks."));
        item->set_bl_supplier(QStringLiteral("Beta"));
        QCOMPARE(m_order->supplierNotes(), QString());
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

private:
    VexaOrderItem *newItem(const QString &product = kFrag)
    {
        m_order->addBlind(QStringLiteral("Lounge"));
        m_order->productCBModel().addElement(product);
        m_order->productSelected(m_order->productCBModel().index(product));
        return m_order->getVexaOrderItem();
    }
    void selectSupplier(const QString &name) { m_order->supplierSelected(m_order->supplierCBModel().index(name)); }
    void selectRange(const QString &name) { m_order->rangeSelected(m_order->rangeCBModel().index(name)); }

    QScopedPointer<QTemporaryDir> m_data;
    QScopedPointer<VexaOrder> m_order;
};

QTEST_GUILESS_MAIN(SelectionTest)
#include "tst_selection.moc"
