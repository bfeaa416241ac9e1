// The sample catalogue shipped in data/catalogue: every table reads cleanly,
// the references between tables resolve, and a few quotes come out right.
#include "app/appcontext.h"
#include "pricing/bandprice.h"
#include "pricing/catalogue.h"
#include "pricing/csvtable.h"
#include "testenv.h"

#include <QDirIterator>
#include <QSettings>
#include <QtTest>

namespace {

QStringList g_problems;

void collectProblems(QtMsgType type, const QMessageLogContext &, const QString &msg)
{
    if (type == QtCriticalMsg || type == QtWarningMsg || type == QtFatalMsg)
        g_problems.append(msg);
}

const QString kShutters = QStringLiteral("Plantation Shutters");
const QString kRollers = QStringLiteral("Roller Blinds");
const QString kPerfect = QStringLiteral("Perfect Fit Blinds");

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

} // namespace

class SampleCatalogueTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { g_problems.clear(); }
    void cleanup() { QVERIFY2(g_problems.isEmpty(), qPrintable(g_problems.join('\n'))); }
    void cleanupTestCase() { qInstallMessageHandler(nullptr); }

    void everyTableReads();
    void productsAndSuppliers();
    void rangeBandsHavePriceTables();
    void optionGroupsCoverEveryRule();
    void optionPriceTablesResolve();
    void groupFlags();
    void productSettings();
    void quotes_data();
    void quotes();
    void fabricTurning();
    void optionTablePrices();
};

void SampleCatalogueTest::initTestCase()
{
    AppContext::catalogueProductsFolder = TestEnv::sourcePath(QStringLiteral("data/catalogue"));
    QVERIFY(QDir(Catalogue::root()).exists());
    qInstallMessageHandler(collectProblems);
}

void SampleCatalogueTest::everyTableReads()
{
    int tables = 0;
    QDirIterator it(Catalogue::root(), {QStringLiteral("*.csv")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const CsvTable table(it.next());
        QVERIFY2(table.rowCount() > 0, qPrintable(it.filePath()));
        for (const QStringList &row : table.rows())
            QVERIFY2(row.size() == table.headers().size(), qPrintable(it.filePath()));
        ++tables;
    }
    QVERIFY(tables >= 40);
}

void SampleCatalogueTest::productsAndSuppliers()
{
    QCOMPARE(sorted(Catalogue::csvBaseNames(Catalogue::rangesFolder(kShutters))),
             (QStringList{"Harbour Shutters", "Northgate Joinery"}));
    const CsvTable harbour(Catalogue::rangeTablePath(kShutters, "Harbour Shutters"));
    QCOMPARE(harbour.distinctWhere("range", "Classic MDF", "colour"),
             (QStringList{"Pure White", "Silk White", "Clotted Cream"}));
}

void SampleCatalogueTest::rangeBandsHavePriceTables()
{
    for (const QString &product : QDir(Catalogue::root()).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QStringList bands = Catalogue::csvBaseNames(Catalogue::pricesFolder(product));
        for (const QString &supplier : Catalogue::csvBaseNames(Catalogue::rangesFolder(product))) {
            const CsvTable ranges(Catalogue::rangeTablePath(product, supplier));
            for (const char *h : {"range", "band", "max width", "min width", "max drop", "min drop"})
                QVERIFY2(ranges.columnIndex(h) >= 0, qPrintable(supplier + ": " + h));
            for (const QString &band : ranges.distinctColumn("band"))
                QVERIFY2(bands.contains(band), qPrintable(supplier + ": " + band));
        }
    }
}

void SampleCatalogueTest::optionGroupsCoverEveryRule()
{
    QSet<QString> rules;
    bool rearCoversByPerimeter = false;
    for (const QString &product : QDir(Catalogue::root()).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString extras = Catalogue::extrasFolder(product);
        for (const QString &group : Catalogue::csvBaseNames(extras)) {
            if (group == "_info")
                continue;
            const CsvTable table(Catalogue::groupTablePath(extras, group));
            for (const char *h : {"extra", "code", "pricing a", "cost a", "pricing b", "cost b"})
                QVERIFY2(table.columnIndex(h) >= 0, qPrintable(group + ": " + h));
            for (const char *column : {"pricing a", "pricing b"}) {
                for (const QString &rule : table.distinctColumn(column)) {
                    const QString r = rule.toLower();
                    if (r.startsWith("inc width "))
                        rules.insert("inc width");
                    else if (r.contains("percent"))
                        rules.insert("percent");
                    else if (!r.isEmpty())
                        rules.insert(r);
                    if (group == "RearCovers" && r == "perimeter")
                        rearCoversByPerimeter = true;
                }
            }
            // Choices and codes are kept side by side, so both must be unique.
            QCOMPARE(table.distinctColumn("extra").size(), table.rowCount());
            QCOMPARE(table.distinctColumn("code").size(), table.rowCount());
        }
    }
    const QSet<QString> known{"price table", "percent", "fixed", "height", "drop", "width", "perimeter", "area", "inc width"};
    QCOMPARE(rules, known);
    QVERIFY(rearCoversByPerimeter);
}

void SampleCatalogueTest::optionPriceTablesResolve()
{
    for (const QString &product : QDir(Catalogue::root()).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QStringList bands = Catalogue::csvBaseNames(Catalogue::pricesFolder(product));
        const QString extras = Catalogue::extrasFolder(product);
        for (const QString &group : Catalogue::csvBaseNames(extras)) {
            const CsvTable table(Catalogue::groupTablePath(extras, group));
            for (const QStringList &row : table.rows()) {
                for (int pair : {2, 4}) {
                    if (row.value(pair).toLower() != "price table")
                        continue;
                    const QString cost = row.value(pair + 1);
                    if (QFile::exists(Catalogue::optionPriceTablePath(product, cost)))
                        continue;
                    for (const QString &band : bands)
                        QVERIFY2(QFile::exists(Catalogue::optionBandPriceTablePath(product, cost, band)),
                                 qPrintable(cost + "_" + band));
                }
            }
        }
    }
}

void SampleCatalogueTest::groupFlags()
{
    const QString extras = Catalogue::extrasFolder(kShutters);
    const CsvTable info(Catalogue::groupTablePath(extras, "_info"));
    auto yes = [&](const QString &group, const QString &flag) {
        return info.lookup(group, flag).toLower().startsWith('y');
    };
    auto hasDefault = [&](const QString &group) {
        const CsvTable t(Catalogue::groupTablePath(extras, group));
        return !t.column(t.columnIndex("code")).filter(QRegularExpression("^\\+.*")).isEmpty();
    };
    QVERIFY(yes("Frame Style", "required") && !hasDefault("Frame Style"));
    QVERIFY(yes("Hinge Colour", "required") && hasDefault("Hinge Colour"));
    QVERIFY(yes("Build Out", "multiple") && !yes("Build Out", "required"));

    // Every group table has a row in _info and the other way round.
    QStringList groups = Catalogue::csvBaseNames(extras);
    groups.removeAll("_info");
    QCOMPARE(sorted(groups), sorted(info.column(0)));

    const QStringList handles = Catalogue::csvBaseNames(Catalogue::extrasFolder(kPerfect));
    for (const char *g : {"Handle Type", "Handle Location", "Handle Colour", "Handle Packer", "Door Handle Colour"})
        QVERIFY2(handles.contains(g), qPrintable(g));
}

void SampleCatalogueTest::productSettings()
{
    for (const QString &product : QDir(Catalogue::root()).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const Catalogue::ProductSettings s = Catalogue::productSettings(product);
        QVERIFY2(!s.measures.isEmpty(), qPrintable(product));
        for (const QString &supplier : Catalogue::csvBaseNames(Catalogue::rangesFolder(product)))
            QVERIFY2(!s.supplierNotes(supplier).isEmpty(), qPrintable(supplier));
    }
    QVERIFY(Catalogue::productSettings(kShutters).incStdMeasures);

    // Retail and trade adjustments both appear.
    QSettings shutterPrices(Catalogue::settingIniPath(Catalogue::priceTablePath(kShutters, "ShutterA")), QSettings::IniFormat);
    QCOMPARE(shutterPrices.value("all_bands/trade").toString(), QStringLiteral("false"));
    QSettings rollerPrices(Catalogue::settingIniPath(Catalogue::priceTablePath(kRollers, "RollerBand1")), QSettings::IniFormat);
    QCOMPARE(rollerPrices.value("all_bands/trade").toString(), QStringLiteral("true"));
    QSettings options(Catalogue::settingIniPath(Catalogue::optionPriceTablePath(kShutters, "Louvre89")), QSettings::IniFormat);
    QCOMPARE(options.value("xg_Motorisation/trade").toString(), QStringLiteral("true"));
    QCOMPARE(options.value("xg_Louvre Size/change").toString(), QStringLiteral("5"));
}

void SampleCatalogueTest::quotes_data()
{
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("supplier");
    QTest::addColumn<QString>("range");
    QTest::addColumn<QString>("colour");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("drop");
    QTest::addColumn<QString>("band");
    QTest::addColumn<double>("price");
    QTest::addColumn<QStringList>("warnings");

    // Shutter list prices carry a 5% rise; ShutterC a further 3%.
    QTest::newRow("classic MDF") << kShutters << "Harbour Shutters" << "Classic MDF" << "Pure White" << 1000 << 1500
                                 << "ShutterA" << 613 * 1.05 << QStringList();
    QTest::newRow("band edge stays") << kShutters << "Harbour Shutters" << "Classic MDF" << "Silk White" << 1000 << 1600
                                     << "ShutterA" << 613 * 1.05 << QStringList();
    QTest::newRow("heritage cedar, next band up") << kShutters << "Northgate Joinery" << "Heritage Cedar" << "Painted White"
                                                  << 1201 << 2000 << "ShutterC" << 1327 * 1.05 * 1.03 << QStringList();
    QTest::newRow("range without colours") << kShutters << "Northgate Joinery" << "Trade Vinyl" << "" << 2100 << 1000
                                           << "ShutterA" << 796 * 1.05
                                           << QStringList{"Width is greater than the range maximum of 2000mm."};
    QTest::newRow("solid panel minimum") << kShutters << "Harbour Shutters" << "Solid Panel" << "Pure White" << 1000 << 500
                                         << "ShutterSolid" << 220.0 << QStringList();
    QTest::newRow("solid panel per sqm") << kShutters << "Harbour Shutters" << "Solid Panel" << "Bright White" << 1200 << 1000
                                         << "ShutterSolid" << 395 * 1.2 * 1.05 << QStringList();
    QTest::newRow("beyond the price band") << kShutters << "Harbour Shutters" << "Hardwood Select" << "Walnut" << 3001 << 1000
                                           << "ShutterB" << 0.0
                                           << QStringList{"Width is greater than the range maximum of 3000mm.",
                                                          "Width is greater than maximum in price band (3000mm)."};
    // Roller tables are cost prices: markup 100% and VAT 20% on top.
    QTest::newRow("roller trade") << kRollers << "Coastline Blinds" << "Seaview Sheer" << "Pebble" << 1500 << 1400
                                  << "RollerBand1" << 77.5 * 2 * 1.2 << QStringList();
    QTest::newRow("perfect fit") << kPerfect << "Perfect Fit Co" << "Venetian 25mm" << "Oak Effect" << 650 << 1150
                                 << "PerfectBand2" << 149.0 << QStringList();
}

void SampleCatalogueTest::quotes()
{
    QFETCH(QString, product);
    QFETCH(QString, supplier);
    QFETCH(QString, range);
    QFETCH(QString, colour);
    QFETCH(int, width);
    QFETCH(int, drop);
    QFETCH(QString, band);
    QFETCH(double, price);
    QFETCH(QStringList, warnings);

    PriceSettings settings;
    settings.markup = 100;
    BandPrice::RangeCheckInput item{product, supplier, range, colour, width, drop, false};
    std::optional<CsvTable> loaded;
    QStringList found;
    const BandPrice::RangeCheckResult r = BandPrice::checkRange(item, loaded, found, settings);
    QVERIFY(r.matched && r.setBand);
    QCOMPARE(r.band, band);
    QVariantMap calcMap;
    const double actual = BandPrice::itemPrice(product, r.band, width, drop, calcMap, found, settings);
    QVERIFY2(qAbs(actual - price) < 1e-6, qPrintable(QString::number(actual, 'f', 4)));
    QCOMPARE(found, warnings);
    QCOMPARE(calcMap.value("trade").toBool(), product == kRollers);
}

void SampleCatalogueTest::fabricTurning()
{
    PriceSettings settings;
    std::optional<CsvTable> loaded;
    QStringList warnings;
    BandPrice::RangeCheckInput item{kRollers, "Brightside Fabrics", "Harlow Plain", "Chalk", 2400, 1600, false};
    BandPrice::RangeCheckResult r = BandPrice::checkRange(item, loaded, warnings, settings);
    QVERIFY(r.turned);
    QCOMPARE(r.fabricCode, QStringLiteral("BF-HP-01"));
    QCOMPARE(warnings, QStringList{"Vertical fabric will be turned as range indicates turnable and width exceeds fabric width of 2000mm."});

    warnings.clear();
    item.range = "Linea Stripe";
    item.colour = "Slate";
    item.width = 1200;
    loaded.reset();
    r = BandPrice::checkRange(item, loaded, warnings, settings);
    QVERIFY(r.turned);
    QVERIFY(warnings.isEmpty());
    item.drop = 2201;
    r = BandPrice::checkRange(item, loaded, warnings, settings);
    QCOMPARE(warnings, QStringList{"Drop exceeds horizontal fabric width of 2500mm less 300mm."});
}

void SampleCatalogueTest::optionTablePrices()
{
    PriceSettings settings;
    QStringList warnings;
    QVariantMap louvre;
    // Band-independent table with its group's 5% change.
    QCOMPARE(BandPrice::lookup(Catalogue::optionPriceTablePath(kShutters, "Louvre89"), 1000, 1500, louvre, warnings,
                               settings, "ShutterA", nullptr, "Louvre Size"),
             49 * 1.05);
    QCOMPARE(louvre.value("allChange").toDouble(), 5.0);
    // No "Motor" table: the band's own one, priced as trade.
    QVERIFY(!QFile::exists(Catalogue::optionPriceTablePath(kShutters, "Motor")));
    QVariantMap motor;
    QCOMPARE(BandPrice::lookup(Catalogue::optionBandPriceTablePath(kShutters, "Motor", "ShutterA"), 1000, 1500, motor,
                               warnings, settings, "ShutterA", nullptr, "Motorisation"),
             265 * 1.2);
    QCOMPARE(motor.value("tradePrice").toDouble(), 265.0);
    // The per-square-metre rate that the "inc width" rule works from.
    double rate = 0;
    QVariantMap item;
    BandPrice::lookup(Catalogue::priceTableCsvPath(kShutters, "ShutterSolid"), 1000, 1000, item, warnings, settings,
                      "ShutterSolid", &rate);
    QCOMPARE(rate, 395.0);
    QVERIFY(warnings.isEmpty());
}

QTEST_GUILESS_MAIN(SampleCatalogueTest)
#include "tst_samplecatalogue.moc"
