// Queries over catalogue tables, the folder layout, prod.ini and the pricing
// settings as read from the settings stores.
#include "app/appcontext.h"
#include "app/appsettings.h"
#include "pricing/bandprice.h"
#include "pricing/catalogue.h"
#include "pricing/csvtable.h"
#include "orders/fileutils.h"
#include "testenv.h"

#include <QtTest>
#include <memory>

class CatalogueTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnv::initApp(); }
    void cleanup() { AppContext::releaseSettings(); }

    void queries()
    {
        QTemporaryDir dir;
        TestEnv::writeFile(dir.path() + "/r.csv",
                           "Range, Colour ,Band,Max Width\nClassic,White,A,1200\nClassic,Cream,B\n"
                           "Oak,White,C,900\nClassic,White,D,1500\nOak,,C,900\n");
        const CsvTable table(dir.path() + "/r");

        QCOMPARE(table.selectWhere({"band", "max width", "colour"}, {"range", "colour"}, {"Classic", "White"}),
                 (QStringList{"A", "1200", "White", "D", "1500", "White"}));
        QCOMPARE(table.selectWhere({"band", "max width"}, {"range", "colour"}, {"Classic", "Cream"}), (QStringList{"B", ""}));
        QCOMPARE(table.selectWhere({"band", "turnable"}, {"range"}, {"Oak"}), (QStringList{"C", "", "C", ""}));
        QCOMPARE(table.selectWhere({"band"}, {"range"}, {"classic"}), QStringList());
        QCOMPARE(table.selectWhere({"band"}, {"range", "colour"}, {"Oak", ""}), QStringList{"C"});
        QTest::ignoreMessage(QtCriticalMsg, "selectWhere. No such column: pattern direction");
        QVERIFY(table.selectWhere({"band"}, {"range", "pattern direction"}, {"Oak", "v"}).isEmpty());

        // first row wins; the key is the first field, in its own case
        QCOMPARE(table.lookup("Classic", "band") + table.lookup("oak", "band") + table.lookup("Cream", "band"), QStringLiteral("A"));
        QCOMPARE(table.distinctColumn("Range"), (QStringList{"Classic", "Oak"}));
        QCOMPARE(table.distinctWhere("range", "Classic", "band"), (QStringList{"A", "B", "D"}));
        QCOMPARE(table.cell(2, 2) + table.cell(5, 0) + table.cell(0, 9) + table.cell(-1, 0), QStringLiteral("C"));
    }

    void folderListingAndPaths()
    {
        QTemporaryDir dir;
        for (const char *name : {"Acme.csv", "Best Blinds.csv", "notes.txt", "old.csv.bak", "x.csvfile"})
            TestEnv::writeFile(dir.path() + '/' + name, "a,b\n1,2\n");
        QDir().mkpath(dir.path() + "/folder.csv");
        QStringList names = Catalogue::csvBaseNames(dir.path()) + Catalogue::csvBaseNames(dir.path() + "/missing");
        names.sort();
        QCOMPARE(names, (QStringList{"Acme", "Best Blinds"}));

        AppContext::catalogueProductsFolder = QStringLiteral("/cat");
        // Substitution is positional: a "%1" in a name is not substituted again.
        QCOMPARE(Catalogue::priceTablePath("100%2 Blackout", "%1"), QStringLiteral("/cat/100%2 Blackout/Prices/%1"));
        QCOMPARE(Catalogue::settingIniPath(Catalogue::optionBandPriceTablePath("Shutters", "Motor", "A")),
                 QStringLiteral("/cat/Shutters/Extras/Prices/setting.ini"));
    }

    // Tables, INI files and folder listings are kept between reads, never
    // past a change of the file, and never past a catalogue update.
    void cachesFollowTheFiles()
    {
        QTemporaryDir dir;
        AppContext::catalogueProductsFolder = dir.path();
        const QString table = dir.path() + "/Shutters/Extras/Hinge.csv", ini = dir.path() + "/Shutters/prod.ini";
        TestEnv::writeFile(table, "Extra,Code\nBrass,B1\n");
        TestEnv::writeFile(ini, "[notes]\nHarbour=Six weeks\n");
        auto state = [&] {
            return QStringList{CsvTable(table).cell(0, 0), Catalogue::productSettings("Shutters").supplierNotes("Harbour"),
                               QString::number(Catalogue::csvBaseNames(dir.path() + "/Shutters/Extras").size())};
        };
        QCOMPARE(state(), (QStringList{"Brass", "Six weeks", "1"}));
        // rewritten in place: another size
        TestEnv::writeFile(table, "Extra,Code\nChrome,C1\nBrass,B1\n");
        TestEnv::writeFile(ini, "[notes]\nHarbour=Eight weeks\n");
        TestEnv::writeFile(dir.path() + "/Shutters/Extras/Louvre.csv", "Extra\n76mm\n");
        QCOMPARE(state(), (QStringList{"Chrome", "Eight weeks", "2"}));
        // the same size and time (a copy that kept both): only an update tells
        const QDateTime time = QDateTime::currentDateTime().addSecs(-60);
        QVERIFY(setModified(table, time));
        QCOMPARE(CsvTable(table).cell(0, 0), QStringLiteral("Chrome"));
        TestEnv::writeFile(table, "Extra,Code\nSilver,S1\nBrass,B1\n");
        QVERIFY(setModified(table, time));
        QCOMPARE(CsvTable(table).cell(0, 0), QStringLiteral("Chrome"));
        CsvTable::dropCache();
        QCOMPARE(CsvTable(table).cell(0, 0), QStringLiteral("Silver"));
        // a broken table is not kept: it is reported at every read
        TestEnv::writeFile(table, "x");
        for (int read = 0; read < 2; ++read) {
            QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("is empty or invalid"));
            QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("format error"));
            QVERIFY(CsvTable(table).isEmpty());
        }
    }

    void productSettings()
    {
        QTemporaryDir dir;
        AppContext::catalogueProductsFolder = dir.path();
        TestEnv::writeFile(dir.path() + "/Shutters/prod.ini",
                           "measures=Inside Recess, Outside Recess\nincStdMeasures_b=true\n[notes]\nHarbour Shutters=Six weeks\n");
        TestEnv::writeFile(dir.path() + "/Rollers/prod.ini", "measures=Exact\nincStdMeasures_b=false\n");
        TestEnv::writeFile(dir.path() + "/Empty/prod.ini", "measures=\n");

        const Catalogue::ProductSettings shutters = Catalogue::productSettings("Shutters");
        QCOMPARE(shutters.supplierNotes("Harbour Shutters"), QStringLiteral("Six weeks"));
        QCOMPARE(shutters.supplierNotes("Nobody"), QString());
        QCOMPARE(Catalogue::measureTypes(shutters, "Recess,Exact"), (QStringList{"Inside Recess", "Outside Recess", "Recess", "Exact"}));
        QCOMPARE(Catalogue::measureTypes(Catalogue::productSettings("Rollers"), "Recess,Exact"), QStringList{"Exact"});
        for (const char *product : {"Empty", "Missing"})
            QCOMPARE(Catalogue::measureTypes(Catalogue::productSettings(product), "Recess,Exact"), (QStringList{"Recess", "Exact"}));
    }

    void priceSettingsFromStores()
    {
        // (trade discount, markup and a numeric VAT rate are read by the trade case of tst_pricecases)
        std::unique_ptr<QTemporaryDir> data(TestEnv::freshDataFolder());
        QCOMPARE(PriceSettings::fromSettings(false).vatFactor(), 1.0);
        AppContext::userSettings()->setValue("vr_d", 17.5);
        AppContext::userSettings()->setValue("rw_d", "250");
        AppContext::userSettings()->setValue("swarn_b", "true");
        AppContext::sharedSettings()->setValue("vat_rate", "false");
        const PriceSettings s = PriceSettings::fromSettings(true);
        QCOMPARE(QList<double>({s.vatFactor(), s.fabricAllowance, s.tradeVatRate}), QList<double>({1.175, 250, 0}));
        QVERIFY(s.shortFabricWarnings);
        AppContext::sharedSettings()->setValue("vat_rate", "true");
        QCOMPARE(PriceSettings::fromSettings(true).tradeVatRate, 1.0);
    }

    void rangeTableKeptLoaded()
    {
        QTemporaryDir dir;
        AppContext::catalogueProductsFolder = dir.path();
        const QString file = dir.path() + "/Shutters/Ranges/Acme.csv";
        TestEnv::writeFile(file, "Range,Band,Max Width\nClassic,A,1000\n");
        const BandPrice::RangeCheckInput item{"Shutters", "Acme", "Classic", QString(), 1200, 1000, false};
        std::optional<CsvTable> loaded;
        QStringList warnings;
        const PriceSettings settings;
        QCOMPARE(BandPrice::checkRange(item, loaded, warnings, settings).band, QStringLiteral("A"));

        // The loaded table is used as it is until the order drops it.
        TestEnv::writeFile(file, "Range,Band,Max Width\nClassic,B,2000\n");
        QCOMPARE(BandPrice::checkRange(item, loaded, warnings, settings).band, QStringLiteral("A"));
        loaded.reset();
        warnings.clear();
        QCOMPARE(BandPrice::checkRange(item, loaded, warnings, settings).band, QStringLiteral("B"));
        QVERIFY(warnings.isEmpty());

        // A table without rows is not kept.
        TestEnv::writeFile(file, "Range,Band,Max Width\n");
        loaded.reset();
        QTest::ignoreMessage(QtCriticalMsg, qPrintable("format error in csv file: " + file));
        QVERIFY(!BandPrice::checkRange(item, loaded, warnings, settings).matched && !loaded.has_value());
    }
};

QTEST_GUILESS_MAIN(CatalogueTest)
#include "tst_catalogue.moc"
