// The selection cascade of an order item (product -> supplier -> range ->
// colour), the choice lists it fills from the catalogue and the product
// database, and names added by hand.
#include "app/appcontext.h"
#include "app/appsettings.h"
#include "models/qqmlobjectlistmodel.h"
#include "orders/optiongroup.h"
#include "orders/vexaorder.h"
#include "orders/vexaorderitem.h"
#include "pricing/csvtable.h"
#include "pricing/productdb.h"
#include "testenv.h"

#include <QDirIterator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

namespace {

const QString kShutters = QStringLiteral("Plantation Shutters");
const QString kFrag = QStringLiteral("Frag Blinds");

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

void writeTable(const QString &relative, const QString &text)
{
    QVERIFY(TestEnv::writeFile(AppContext::catalogueProductsFolder + '/' + relative, text.toUtf8()));
}

QStringList sortedTail(const QStringList &list)
{
    QStringList tail = list.mid(1);
    tail.sort();
    return tail;
}

// Rows of the product database as "product|supplier|range|colour".
QStringList dbRows(const ProductDb *db)
{
    QStringList rows;
    QSqlQuery q(QSqlDatabase::database(db->connectionName()));
    q.exec(QStringLiteral("SELECT product, supplier, range, colour FROM Products"));
    while (q.next())
        rows << QStringList{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                            q.value(3).toString()}
                    .join('|');
    rows.sort();
    return rows;
}

} // namespace

class SelectionTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnv::initApp(); }
    void init();
    void cleanup();

    void productCascadeOnSampleCatalogue();
    void firstRealEntrySkipsBlanks();
    void measureTypes_data();
    void measureTypes();
    void addEntryProductStops();
    void sameSupplierAgainChangesNothing();
    void otherSupplierRefillsRanges();
    void rangeSelection();
    void colourSelection();
    void productWithoutRangesListsDatabaseSuppliers();
    void databaseNamesMergeIgnoringCase();
    void addProductDbItemChain();
    void addProductDbItemRefusals_data();
    void addProductDbItemRefusals();
    void choiceListsAfterClear();
    void itemMadeCurrentKeepsItsChoices();
    void supplierNotes();

private:
    VexaOrderItem *newItemWithProduct(const QString &product);

    QScopedPointer<QTemporaryDir> m_data;
    QScopedPointer<VexaOrder> m_order;
};

void SelectionTest::init()
{
    m_data.reset(TestEnv::freshDataFolder());
    QVERIFY(copyTree(TestEnv::sourcePath(QStringLiteral("data/catalogue")), AppContext::catalogueProductsFolder));
    // A small product whose every list is known in advance.
    writeTable(kFrag + "/Ranges/Alpha.csv",
               "Range,Colour,Band,Max Width\n"
               " ,,B1,1000\n"
               "Range1,,B1,1000\n"
               "Range1,Red,B1,1000\n"
               "Range1,Blue,B1,1000\n"
               "Range2,Green,B2,1000\n");
    writeTable(kFrag + "/Ranges/Beta.csv",
               "Range,Colour,Band\n"
               "BetaRange,Pure White,B1\n"
               "BetaRange,Ivory,B1\n"
               "Second,Black,B2\n");
    writeTable(kFrag + "/Prices/B1.csv", "Drop/Width,500,1000\n1000,10,20\n");
    writeTable(kFrag + "/Prices/B2.csv", "Drop/Width,500,1000\n1000,30,40\n");
    m_order.reset(new VexaOrder());
    // processing would save the order and clear changed(), which these
    // tests read to see that a selection recorded a change
    m_order->autoSave = false;
    QVERIFY(m_order->productDb());
    m_order->newOrder();
}

void SelectionTest::cleanup()
{
    m_order.reset();
    AppContext::userSettings()->remove(QStringLiteral("msr_sl"));
    AppContext::userSettings()->remove(QStringLiteral("fix_sl"));
    AppContext::userSettings()->remove(QStringLiteral("cntlr_sl"));
    AppContext::userSettings()->remove(QStringLiteral("cntlv_sl"));
    m_data.reset();
}

VexaOrderItem *SelectionTest::newItemWithProduct(const QString &product)
{
    m_order->addBlind(QStringLiteral("Lounge"));
    VexaOrderItem *item = m_order->getVexaOrderItem();
    m_order->productCBModel().addElement(product);
    m_order->productSelected(m_order->productCBModel().index(product));
    return item;
}

void SelectionTest::productCascadeOnSampleCatalogue()
{
    VexaOrderItem *item = newItemWithProduct(kShutters);
    QCOMPARE(item->bl_product(), kShutters);

    // Suppliers are the range tables, behind an empty entry.
    const QStringList suppliers = m_order->supplierCBModel().comboList();
    QCOMPARE(suppliers.first(), QString());
    QCOMPARE(sortedTail(suppliers), (QStringList{"Harbour Shutters", "Northgate Joinery"}));
    QCOMPARE(item->bl_supplier(), suppliers.at(1));

    // Ranges and colours follow the first supplier's table.
    const CsvTable table(AppContext::catalogueProductsFolder + '/' + kShutters + "/Ranges/" + item->bl_supplier());
    const QStringList ranges = m_order->rangeCBModel().comboList();
    QCOMPARE(ranges, QStringList{QString()} + table.distinctColumn("range"));
    QCOMPARE(item->bl_range(), ranges.at(1));
    const QStringList colours = m_order->colourCBModel().comboList();
    QCOMPARE(colours, QStringList{QString()} + table.distinctWhere("range", item->bl_range(), "colour"));
    QCOMPARE(item->bl_color(), colours.at(1));

    // Bands are the product's price tables, after an empty entry.
    const QStringList bands = m_order->bandCBModel().comboList();
    QCOMPARE(bands.first(), QString());
    QCOMPARE(sortedTail(bands), (QStringList{"ShutterA", "ShutterB", "ShutterC", "ShutterSolid"}));

    // The option groups of the product were built for the item.
    QVERIFY(item->getOptionGroup(QStringLiteral("Louvre Size")));
    QVERIFY(item->getOptionGroup(QStringLiteral("Build Out")));
    QVERIFY(m_order->changed());
}

void SelectionTest::firstRealEntrySkipsBlanks()
{
    // Only supplier Alpha is left, so the cascade is fully known.
    QVERIFY(QFile::remove(AppContext::catalogueProductsFolder + '/' + kFrag + "/Ranges/Beta.csv"));
    VexaOrderItem *item = newItemWithProduct(kFrag);
    QCOMPARE(m_order->supplierCBModel().comboList(), (QStringList{"", "Alpha"}));
    // The table's first range is a single blank: the list is completed with
    // an empty entry in front and the blank is passed over.
    QCOMPARE(m_order->rangeCBModel().comboList(), (QStringList{"", " ", "Range1", "Range2"}));
    QCOMPARE(item->bl_range(), QStringLiteral("Range1"));
    QCOMPARE(m_order->colourCBModel().comboList(), (QStringList{"", "Red", "Blue"}));
    QCOMPARE(item->bl_color(), QStringLiteral("Red"));
}

void SelectionTest::measureTypes_data()
{
    QTest::addColumn<QString>("prodIni");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("own and standard") << "measures=Recess,Face\nincStdMeasures_b=true\n"
                                      << QStringList{"Recess", "Face", "Tight", "Loose"};
    QTest::newRow("no prod.ini") << QString() << QStringList{"Tight", "Loose"};
}

void SelectionTest::measureTypes()
{
    QFETCH(QString, prodIni);
    QFETCH(QStringList, expected);
    AppContext::userSettings()->setValue(QStringLiteral("msr_sl"), QStringLiteral("Tight,Loose"));
    if (!prodIni.isNull())
        writeTable(kFrag + "/prod.ini", prodIni);
    newItemWithProduct(kFrag);
    QCOMPARE(m_order->measureTypeCBModel().comboList(), expected);
}

void SelectionTest::addEntryProductStops()
{
    VexaOrderItem *item = newItemWithProduct(kFrag);
    const QStringList suppliers = m_order->supplierCBModel().comboList();
    m_order->productCBModel().setComboList({"Lattica", kFrag, ComboBoxModel::addEntry()});
    m_order->set_changed(false);
    m_order->productSelected(2);
    // The item is reset and nothing else happens: the interface now asks for a name.
    QCOMPARE(item->bl_product(), QString());
    QCOMPARE(item->bl_supplier(), QString());
    QVERIFY(item->optionsModel()->isEmpty());
    QCOMPARE(m_order->supplierCBModel().comboList(), suppliers);
    QVERIFY(!m_order->changed());

    // An index past the list is ignored altogether.
    item->set_bl_product(QStringLiteral("kept"));
    m_order->productSelected(3);
    QCOMPARE(item->bl_product(), QStringLiteral("kept"));
}

void SelectionTest::sameSupplierAgainChangesNothing()
{
    VexaOrderItem *item = newItemWithProduct(kFrag);
    const int supplierIndex = m_order->supplierCBModel().index(item->bl_supplier());
    // A range chosen by hand must survive selecting the same supplier again.
    item->set_bl_range(QStringLiteral("Chosen"));
    item->set_bl_band(QStringLiteral("B2"));
    m_order->set_changed(false);
    m_order->supplierSelected(supplierIndex);
    QCOMPARE(item->bl_range(), QStringLiteral("Chosen"));
    QCOMPARE(item->bl_band(), QStringLiteral("B2"));
    QVERIFY(!m_order->changed());
}

void SelectionTest::otherSupplierRefillsRanges()
{
    VexaOrderItem *item = newItemWithProduct(kFrag);
    const QString other = item->bl_supplier() == QLatin1String("Alpha") ? QStringLiteral("Beta") : QStringLiteral("Alpha");
    m_order->set_changed(false);
    m_order->supplierSelected(m_order->supplierCBModel().index(other));
    QCOMPARE(item->bl_supplier(), other);
    if (other == QLatin1String("Beta")) {
        QCOMPARE(m_order->rangeCBModel().comboList(), (QStringList{"", "BetaRange", "Second"}));
        QCOMPARE(item->bl_range(), QStringLiteral("BetaRange"));
        QCOMPARE(m_order->colourCBModel().comboList(), (QStringList{"", "Pure White", "Ivory"}));
        QCOMPARE(item->bl_color(), QStringLiteral("Pure White"));
    } else {
        QCOMPARE(item->bl_range(), QStringLiteral("Range1"));
        QCOMPARE(item->bl_color(), QStringLiteral("Red"));
    }
    QVERIFY(m_order->changed());

    // "add..." is never taken as a supplier.
    m_order->supplierCBModel().addElement(ComboBoxModel::addEntry());
    m_order->supplierSelected(m_order->supplierCBModel().index(ComboBoxModel::addEntry()));
    QCOMPARE(item->bl_supplier(), other);
}

void SelectionTest::rangeSelection()
{
    VexaOrderItem *item = newItemWithProduct(kFrag);
    m_order->supplierSelected(m_order->supplierCBModel().index(QStringLiteral("Alpha")));
    QCOMPARE(item->bl_supplier(), QStringLiteral("Alpha"));

    m_order->set_changed(false);
    m_order->rangeSelected(m_order->rangeCBModel().index(QStringLiteral("Range2")));
    QCOMPARE(item->bl_range(), QStringLiteral("Range2"));
    QCOMPARE(m_order->colourCBModel().comboList(), (QStringList{"", "Green"}));
    QCOMPARE(item->bl_color(), QStringLiteral("Green"));
    QVERIFY(m_order->changed());

    // Selecting the current range again still resets what hangs below it.
    item->set_manualPrice(true);
    item->set_item_price(99);
    m_order->rangeSelected(m_order->rangeCBModel().index(QStringLiteral("Range2")));
    QVERIFY(!item->manualPrice());
    QVERIFY(item->item_price() != 99);
    QCOMPARE(item->bl_color(), QStringLiteral("Green"));

    // "add..." leaves the item without a range and without colours to offer.
    m_order->rangeCBModel().addElement(ComboBoxModel::addEntry());
    m_order->rangeSelected(m_order->rangeCBModel().index(ComboBoxModel::addEntry()));
    QCOMPARE(item->bl_range(), QString());
    QCOMPARE(m_order->colourCBModel().comboList(), QStringList{""});
    QCOMPARE(item->bl_color(), QString());
}

void SelectionTest::colourSelection()
{
    VexaOrderItem *item = newItemWithProduct(kFrag);
    m_order->supplierSelected(m_order->supplierCBModel().index(QStringLiteral("Alpha")));
    QCOMPARE(m_order->colourCBModel().comboList(), (QStringList{"", "Red", "Blue"}));

    m_order->set_changed(false);
    item->set_bl_band(QStringLiteral("Stale"));
    m_order->colourSelected(2);
    QCOMPARE(item->bl_color(), QStringLiteral("Blue"));
    QCOMPARE(item->bl_range(), QStringLiteral("Range1"));
    QCOMPARE(item->bl_band(), QStringLiteral("B1"));   // reset, then taken from the range row
    QVERIFY(m_order->changed());

    // The same colour again does nothing.
    item->set_bl_band(QStringLiteral("B1"));
    m_order->colourSelected(2);
    QCOMPARE(item->bl_band(), QStringLiteral("B1"));

    // -1 stands for the first entry, the empty one.
    m_order->colourSelected(-1);
    QCOMPARE(item->bl_color(), QString());

    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^m_colourCBModel.count\\(\\) < index 3 7$"));
    m_order->colourSelected(7);
    QCOMPARE(item->bl_color(), QString());
}

void SelectionTest::productWithoutRangesListsDatabaseSuppliers()
{
    writeTable("No Ranges/Prices/Only.csv", "Drop/Width,500\n500,10\n");
    VexaOrderItem *item = newItemWithProduct(QStringLiteral("No Ranges"));
    QCOMPARE(m_order->supplierCBModel().comboList(), QStringList{""});
    QCOMPARE(item->bl_supplier(), QString());

    m_order->addProductDbItem(QStringLiteral("Db Supplies"), QStringLiteral("supplier"));
    m_order->productSelected(m_order->productCBModel().index(QStringLiteral("No Ranges")));
    QCOMPARE(m_order->supplierCBModel().comboList(), (QStringList{"", "Db Supplies"}));
    QCOMPARE(item->bl_supplier(), QStringLiteral("Db Supplies"));
    QCOMPARE(m_order->bandCBModel().comboList(), (QStringList{"", "Only"}));
}

void SelectionTest::databaseNamesMergeIgnoringCase()
{
    VexaOrderItem *item = newItemWithProduct(kFrag);
    m_order->supplierSelected(m_order->supplierCBModel().index(QStringLiteral("Beta")));
    QCOMPARE(item->bl_range(), QStringLiteral("BetaRange"));

    // Database names that only differ in case from the table's are not repeated.
    m_order->addProductDbItem(QStringLiteral("pure white"), QStringLiteral("colour"));
    m_order->addProductDbItem(QStringLiteral("Oak"), QStringLiteral("colour"));
    m_order->addProductDbItem(QStringLiteral("secOND"), QStringLiteral("range"));
    m_order->addProductDbItem(QStringLiteral("Gamma"), QStringLiteral("range"));
    m_order->addProductDbItem(QStringLiteral("BETA"), QStringLiteral("supplier"));
    m_order->addProductDbItem(QStringLiteral("Delta"), QStringLiteral("supplier"));

    m_order->rangeSelected(m_order->rangeCBModel().index(QStringLiteral("BetaRange")));
    QCOMPARE(m_order->colourCBModel().comboList(), (QStringList{"", "Pure White", "Ivory", "Oak"}));

    m_order->productSelected(m_order->productCBModel().index(kFrag));
    QCOMPARE(sortedTail(m_order->supplierCBModel().comboList()), (QStringList{"Alpha", "Beta", "Delta"}));
    m_order->supplierSelected(m_order->supplierCBModel().index(QStringLiteral("Beta")));
    QCOMPARE(m_order->rangeCBModel().comboList(), (QStringList{"", "BetaRange", "Second", "Gamma"}));
}

void SelectionTest::addProductDbItemChain()
{
    appSettings *user = AppContext::userSettings();
    ProductDb *db = m_order->productDb();
    m_order->addBlind(QStringLiteral("Hall"));
    VexaOrderItem *item = m_order->getVexaOrderItem();

    user->setValue(QStringLiteral("dbmod"), false);
    m_order->addProductDbItem(QStringLiteral("P"), QStringLiteral("product"));
    QCOMPARE(dbRows(db), QStringList{"P|||"});
    QCOMPARE(user->value(QStringLiteral("dbmod")).toBool(), true);

    item->set_bl_product(QStringLiteral("P"));
    m_order->addProductDbItem(QStringLiteral("S"), QStringLiteral("supplier"));
    QCOMPARE(dbRows(db), QStringList{"P|S||"});
    item->set_bl_supplier(QStringLiteral("S"));
    m_order->addProductDbItem(QStringLiteral("R"), QStringLiteral("range"));
    QCOMPARE(dbRows(db), QStringList{"P|S|R|"});
    item->set_bl_range(QStringLiteral("R"));
    m_order->addProductDbItem(QStringLiteral("Oak"), QStringLiteral("colour"));
    QCOMPARE(dbRows(db), QStringList{"P|S|R|Oak"});

    // The same colour again is refused and removes nothing; dbmod stays as it was.
    user->setValue(QStringLiteral("dbmod"), false);
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("UNIQUE"));
    m_order->addProductDbItem(QStringLiteral("Oak"), QStringLiteral("colour"));
    QCOMPARE(dbRows(db), QStringList{"P|S|R|Oak"});
    QCOMPARE(user->value(QStringLiteral("dbmod")).toBool(), false);

    // A second colour leaves the first alone.
    m_order->addProductDbItem(QStringLiteral("Ash"), QStringLiteral("colour"));
    QCOMPARE(dbRows(db), (QStringList{"P|S|R|Ash", "P|S|R|Oak"}));

    // Products added by hand are offered after the order is started again.
    m_order->newOrder();
    QCOMPARE(m_order->productCBModel().comboList(), (QStringList{"Lattica", "P"}));
}

void SelectionTest::addProductDbItemRefusals_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("type");
    QTest::newRow("unknown type") << "X" << "fabric";
    QTest::newRow("blank name") << "  " << "product";
    QTest::newRow("add entry") << ComboBoxModel::addEntry() << "supplier";
}

void SelectionTest::addProductDbItemRefusals()
{
    QFETCH(QString, name);
    QFETCH(QString, type);
    newItemWithProduct(kFrag);
    AppContext::userSettings()->setValue(QStringLiteral("dbmod"), false);
    m_order->addProductDbItem(name, type);
    QCOMPARE(dbRows(m_order->productDb()), QStringList());
    QCOMPARE(AppContext::userSettings()->value(QStringLiteral("dbmod")).toBool(), false);
}

void SelectionTest::choiceListsAfterClear()
{
    appSettings *user = AppContext::userSettings();
    user->setValue(QStringLiteral("cntlr_sl"), QStringLiteral("Left,Right"));
    user->setValue(QStringLiteral("cntlv_sl"), QStringLiteral("Wand,,Chain"));
    user->setValue(QStringLiteral("fix_sl"), QStringLiteral("Face,Recess"));
    user->setValue(QStringLiteral("msr_sl"), QStringLiteral("Tight,Loose"));
    m_order->productDb()->addProduct(QStringLiteral("Zeta"));
    m_order->productDb()->addProduct(QStringLiteral("Lattica"));
    newItemWithProduct(kFrag);
    m_order->clear();
    QCOMPARE(m_order->productCBModel().comboList(), (QStringList{"Lattica", "Zeta"}));
    QCOMPARE(m_order->controlsCBModel().comboList(), (QStringList{" ", "Left", "Right", "Wand", "", "Chain"}));
    QCOMPARE(m_order->fixtypeCBModel().comboList(), (QStringList{"Face", "Recess"}));
    QCOMPARE(m_order->measureTypeCBModel().comboList(), (QStringList{"Tight", "Loose"}));
}

void SelectionTest::itemMadeCurrentKeepsItsChoices()
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
    QVERIFY(m_order->getVexaOrderItem() != item);

    m_order->setBlind(QStringLiteral("Study"), 0);
    QCOMPARE(m_order->getVexaOrderItem(), item);
    QCOMPARE(item->bl_supplier(), QStringLiteral("Beta"));
    QCOMPARE(item->bl_range(), QStringLiteral("Retired Range"));
    QCOMPARE(item->bl_color(), QStringLiteral("Retired Colour"));
    QVERIFY(m_order->productCBModel().comboList().contains(kFrag));
    QCOMPARE(sortedTail(m_order->supplierCBModel().comboList()), (QStringList{"Alpha", "Beta"}));
    QCOMPARE(m_order->rangeCBModel().comboList(), (QStringList{"", "BetaRange", "Second", "Retired Range"}));
    // No table row has the retired range, so its own colour is the only one.
    QCOMPARE(m_order->colourCBModel().comboList(), (QStringList{"", "Retired Colour"}));
}

void SelectionTest::supplierNotes()
{
    VexaOrderItem *item = newItemWithProduct(kShutters);
    item->set_bl_supplier(QStringLiteral("Northgate Joinery"));
    QCOMPARE(m_order->supplierNotes(), QStringLiteral("Lead time 4 weeks. Custom paint colours add 2 weeks."));
    item->set_bl_supplier(QStringLiteral("Nobody"));
    QCOMPARE(m_order->supplierNotes(), QString());
    item->set_bl_product(kFrag);
    QCOMPARE(m_order->supplierNotes(), QString());
}

QTEST_GUILESS_MAIN(SelectionTest)
#include "tst_selection.moc"
