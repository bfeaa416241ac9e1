// Queries over catalogue tables, the folder layout, prod.ini and the pricing
// settings as read from the settings stores.
#include "app/appcontext.h"
#include "app/appsettings.h"
#include "pricing/bandprice.h"
#include "pricing/catalogue.h"
#include "pricing/csvtable.h"
#include "testenv.h"

#include <QDir>
#include <QtTest>

#include <memory>

class CatalogueTest : public QObject
{
    Q_OBJECT

private:
    CsvTable rangeTable(QTemporaryDir &dir);

private slots:
    void initTestCase() { TestEnv::initApp(); }
    void cleanup() { AppContext::releaseSettings(); }

    void selectWhere_data();
    void selectWhere();
    void lookupAndColumns();
    void folderListing();
    void paths();
    void productSettings();
    void priceSettingsFromStores();
    void rangeTableKeptLoaded();
};

CsvTable CatalogueTest::rangeTable(QTemporaryDir &dir)
{
    TestEnv::writeFile(dir.path() + QStringLiteral("/r.csv"),
                       "Range, Colour ,Band,Max Width\n"
                       "Classic,White,A,1200\n"
                       "Classic,Cream,B\n"
                       "Oak,White,C,900\n"
                       "Classic,White,D,1500\n"
                       "Oak,,C,900\n");
    return CsvTable(dir.path() + QStringLiteral("/r"));
}

void CatalogueTest::selectWhere_data()
{
    QTest::addColumn<QStringList>("select");
    QTest::addColumn<QStringList>("whereCols");
    QTest::addColumn<QStringList>("whereVals");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("two rows, three columns")
        << QStringList{"band", "max width", "colour"} << QStringList{"range", "colour"}
        << QStringList{"Classic", "White"} << QStringList{"A", "1200", "White", "D", "1500", "White"};
    QTest::newRow("unique match") << QStringList{"band", "max width"} << QStringList{"range", "colour"}
                                  << QStringList{"Classic", "Cream"} << QStringList{"B", ""};
    QTest::newRow("unknown select column gives empty values")
        << QStringList{"band", "turnable"} << QStringList{"range"} << QStringList{"Oak"}
        << QStringList{"C", "", "C", ""};
    QTest::newRow("case-sensitive values") << QStringList{"band"} << QStringList{"range"}
                                           << QStringList{"classic"} << QStringList{};
    QTest::newRow("empty value matches empty field")
        << QStringList{"band"} << QStringList{"range", "colour"} << QStringList{"Oak", ""}
        << QStringList{"C"};
}

void CatalogueTest::selectWhere()
{
    QFETCH(QStringList, select);
    QFETCH(QStringList, whereCols);
    QFETCH(QStringList, whereVals);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    const CsvTable table = rangeTable(dir);
    QCOMPARE(table.selectWhere(select, whereCols, whereVals), expected);
}

void CatalogueTest::lookupAndColumns()
{
    QTemporaryDir dir;
    const CsvTable table = rangeTable(dir);

    QTest::ignoreMessage(QtCriticalMsg, "selectWhere. No such column: pattern direction");
    QVERIFY(table.selectWhere({"band"}, {"range", "pattern direction"}, {"Oak", "v"}).isEmpty());

    QCOMPARE(table.lookup("Oak", "band"), QStringLiteral("C"));
    QCOMPARE(table.lookup("Classic", "band"), QStringLiteral("A")); // first row wins
    QCOMPARE(table.lookup("oak", "band"), QString());
    QCOMPARE(table.lookup("Oak", "no such"), QString());
    QCOMPARE(table.lookup("Cream", "band"), QString()); // only the first field is a key

    QCOMPARE(table.distinctColumn("Range"), (QStringList{"Classic", "Oak"}));
    QCOMPARE(table.distinctColumn("colour"), (QStringList{"White", "Cream", ""}));
    QCOMPARE(table.distinctWhere("range", "Oak", "colour"), QStringList{"White"});
    QCOMPARE(table.distinctWhere("range", "Classic", "band"), (QStringList{"A", "B", "D"}));
    QVERIFY(table.distinctWhere("range", " ", "band").isEmpty());
    QVERIFY(table.distinctWhere("range", "Oak", "missing").isEmpty());

    QCOMPARE(table.column(3), (QStringList{"1200", "", "900", "1500", "900"}));
    QVERIFY(table.column(4).isEmpty());
    QCOMPARE(table.cell(2, 2), QStringLiteral("C"));
    QCOMPARE(table.cell(5, 0), QString());
    QCOMPARE(table.cell(0, 9), QString());
    QCOMPARE(table.cell(-1, 0), QString());
}

void CatalogueTest::folderListing()
{
    QTemporaryDir dir;
    const QString f = dir.path();
    for (const char *name : {"Acme.csv", "Best Blinds.csv", "notes.txt", "old.csv.bak", "x.csvfile"})
        TestEnv::writeFile(f + '/' + name, "a,b\n1,2\n");
    QDir().mkpath(f + "/folder.csv");
    QStringList names = Catalogue::csvBaseNames(f);
    names.sort();
    QCOMPARE(names, (QStringList{"Acme", "Best Blinds"}));
    QVERIFY(Catalogue::csvBaseNames(f + "/missing").isEmpty());
}

void CatalogueTest::paths()
{
    AppContext::catalogueProductsFolder = QStringLiteral("/cat");
    // Substitution is positional: a "%1" in a name is not substituted again.
    QCOMPARE(Catalogue::priceTablePath("100%2 Blackout", "%1"), QStringLiteral("/cat/100%2 Blackout/Prices/%1"));
    QCOMPARE(Catalogue::settingIniPath(Catalogue::optionBandPriceTablePath("Shutters", "Motor", "A")),
             QStringLiteral("/cat/Shutters/Extras/Prices/setting.ini"));
    QCOMPARE(Catalogue::settingIniPath(Catalogue::priceTablePath("Shutters", "A")),
             QStringLiteral("/cat/Shutters/Prices/setting.ini"));
}

void CatalogueTest::productSettings()
{
    QTemporaryDir dir;
    AppContext::catalogueProductsFolder = dir.path();
    TestEnv::writeFile(dir.path() + "/Shutters/prod.ini",
                       "measures=Inside Recess, Outside Recess\nincStdMeasures_b=true\n"
                       "[notes]\nHarbour Shutters=Six weeks\n");
    TestEnv::writeFile(dir.path() + "/Rollers/prod.ini", "measures=Exact\nincStdMeasures_b=false\n");
    TestEnv::writeFile(dir.path() + "/Empty/prod.ini", "measures=\n");

    const Catalogue::ProductSettings shutters = Catalogue::productSettings("Shutters");
    QCOMPARE(shutters.measures, (QStringList{"Inside Recess", "Outside Recess"}));
    QVERIFY(shutters.incStdMeasures);
    QCOMPARE(shutters.supplierNotes("Harbour Shutters"), QStringLiteral("Six weeks"));
    QCOMPARE(shutters.supplierNotes("Nobody"), QString());
    QCOMPARE(Catalogue::measureTypes(shutters, "Recess,Exact"),
             (QStringList{"Inside Recess", "Outside Recess", "Recess", "Exact"}));

    const Catalogue::ProductSettings rollers = Catalogue::productSettings("Rollers");
    QCOMPARE(Catalogue::measureTypes(rollers, "Recess,Exact"), QStringList{"Exact"});

    for (const char *product : {"Empty", "Missing"}) {
        const Catalogue::ProductSettings s = Catalogue::productSettings(product);
        QVERIFY(s.measures.isEmpty());
        QVERIFY(!s.incStdMeasures);
        QCOMPARE(s.supplierNotes("Harbour Shutters"), QString());
        QCOMPARE(Catalogue::measureTypes(s, "Recess,Exact"), (QStringList{"Recess", "Exact"}));
    }
}

void CatalogueTest::priceSettingsFromStores()
{
    std::unique_ptr<QTemporaryDir> data(TestEnv::freshDataFolder());
    PriceSettings defaults = PriceSettings::fromSettings(false);
    QCOMPARE(defaults.vatRate, 20.0);
    QCOMPARE(defaults.tradeVatRate, 20.0);
    QCOMPARE(defaults.tradeDiscount, 0.0);
    QCOMPARE(defaults.fabricAllowance, 300.0);
    QVERIFY(!defaults.shortFabricWarnings);
    QCOMPARE(defaults.vatFactor(), 1.0);

    AppContext::userSettings()->setValue("vr_d", 17.5);
    AppContext::userSettings()->setValue("rw_d", "250");
    AppContext::userSettings()->setValue("swarn_b", "true");
    AppContext::sharedSettings()->setValue("tradeDiscount_d", "35");
    AppContext::sharedSettings()->setValue("markup_d", 80);
    AppContext::sharedSettings()->setValue("vat_rate", "false");
    const PriceSettings s = PriceSettings::fromSettings(true);
    QCOMPARE(s.vatFactor(), 1.175);
    QCOMPARE(s.fabricAllowance, 250.0);
    QVERIFY(s.shortFabricWarnings);
    QCOMPARE(s.tradeDiscount, 35.0);
    QCOMPARE(s.markup, 80.0);
    QCOMPARE(s.tradeVatRate, 0.0);
    AppContext::sharedSettings()->setValue("vat_rate", "true");
    QCOMPARE(PriceSettings::fromSettings(true).tradeVatRate, 1.0);
}

void CatalogueTest::rangeTableKeptLoaded()
{
    QTemporaryDir dir;
    AppContext::catalogueProductsFolder = dir.path();
    const QString file = dir.path() + "/Shutters/Ranges/Acme.csv";
    TestEnv::writeFile(file, "Range,Band,Max Width\nClassic,A,1000\n");

    BandPrice::RangeCheckInput item;
    item.product = "Shutters";
    item.supplier = "Acme";
    item.range = "Classic";
    item.width = 1200;
    item.drop = 1000;
    std::optional<CsvTable> loaded;
    QStringList warnings;
    const PriceSettings settings;
    QCOMPARE(BandPrice::checkRange(item, loaded, warnings, settings).band, QStringLiteral("A"));
    QVERIFY(loaded.has_value());
    QCOMPARE(warnings, QStringList{"Width is greater than the range maximum of 1000mm."});

    // The loaded table is used as it is until the order drops it.
    TestEnv::writeFile(file, "Range,Band,Max Width\nClassic,B,2000\n");
    warnings.clear();
    QCOMPARE(BandPrice::checkRange(item, loaded, warnings, settings).band, QStringLiteral("A"));
    loaded.reset();
    warnings.clear();
    QCOMPARE(BandPrice::checkRange(item, loaded, warnings, settings).band, QStringLiteral("B"));
    QVERIFY(warnings.isEmpty());

    // A table without rows is not kept.
    TestEnv::writeFile(file, "Range,Band,Max Width\n");
    loaded.reset();
    QTest::ignoreMessage(QtCriticalMsg, qPrintable("format error in csv file: " + file));
    QVERIFY(!BandPrice::checkRange(item, loaded, warnings, settings).matched);
    QVERIFY(!loaded.has_value());
}

QTEST_GUILESS_MAIN(CatalogueTest)
#include "tst_catalogue.moc"
