// The sample catalogue shipped in data/catalogue: every table reads cleanly and
// the references between tables resolve. Its prices are checked by the
// whole-order cases (tst_pricecases).
#include "app/appcontext.h"
#include "pricing/catalogue.h"
#include "pricing/csvtable.h"
#include "testenv.h"

#include <QtTest>

namespace {

QStringList g_problems;

void collectProblems(QtMsgType type, const QMessageLogContext &, const QString &msg)
{
    if (type == QtCriticalMsg || type == QtWarningMsg || type == QtFatalMsg)
        g_problems.append(msg);
}

const QString kShutters = QStringLiteral("Lattica");

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

QStringList products() { return QDir(Catalogue::root()).entryList(QDir::Dirs | QDir::NoDotAndDotDot); }

} // namespace

class SampleCatalogueTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        AppContext::catalogueProductsFolder = TestEnv::sourcePath(QStringLiteral("data/catalogue"));
        qInstallMessageHandler(collectProblems);
    }

    void init() { g_problems.clear(); }
    void cleanup() { QVERIFY2(g_problems.isEmpty(), qPrintable(g_problems.join('\n'))); }

    void everyTableReads()
    {
        int tables = 0;
        QDirIterator it(Catalogue::root(), {QStringLiteral("*.csv")}, QDir::Files, QDirIterator::Subdirectories);
        for (; it.hasNext(); ++tables) {
            const CsvTable table(it.next());
            QVERIFY2(table.rowCount() > 0, qPrintable(it.filePath()));
            for (const QStringList &row : table.rows())
                QVERIFY2(row.size() == table.headers().size(), qPrintable(it.filePath()));
        }
        QVERIFY(tables >= 40);
    }

    void rangesResolve()
    {
        QCOMPARE(sorted(Catalogue::csvBaseNames(Catalogue::rangesFolder(kShutters))), (QStringList{"Harbour Shutters", "Northgate Joinery"}));
        for (const QString &product : products()) {
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

    void optionGroups()
    {
        QSet<QString> rules;
        bool rearCoversByPerimeter = false;
        for (const QString &product : products()) {
            const QStringList bands = Catalogue::csvBaseNames(Catalogue::pricesFolder(product));
            const QString extras = Catalogue::extrasFolder(product);
            for (const QString &group : Catalogue::csvBaseNames(extras)) {
                if (group == "_info")
                    continue;
                const CsvTable table(Catalogue::groupTablePath(extras, group));
                QCOMPARE(table.headers(), (QStringList{"extra", "code", "pricing a", "cost a", "pricing b", "cost b"}));
                // Choices and codes are kept side by side, so both must be unique.
                QCOMPARE(table.distinctColumn("extra").size(), table.rowCount());
                QCOMPARE(table.distinctColumn("code").size(), table.rowCount());
                for (const QStringList &row : table.rows()) {
                    for (int pair : {2, 4}) {
                        const QString r = row.value(pair).toLower();
                        rules.insert(r.startsWith("inc width ") ? "inc width" : r.contains("percent") ? "percent" : r);
                        rearCoversByPerimeter |= group == "RearCovers" && r == "perimeter";
                        // A price table exists on its own or for every band.
                        const QString cost = row.value(pair + 1);
                        if (r != "price table" || QFile::exists(Catalogue::optionPriceTablePath(product, cost)))
                            continue;
                        for (const QString &band : bands)
                            QVERIFY2(QFile::exists(Catalogue::optionBandPriceTablePath(product, cost, band)), qPrintable(cost + "_" + band));
                    }
                }
            }
        }
        rules.remove(QString());
        QCOMPARE(rules, (QSet<QString>{"price table", "percent", "fixed", "height", "drop", "width", "perimeter", "area", "inc width"}));
        QVERIFY(rearCoversByPerimeter);

        const QString extras = Catalogue::extrasFolder(kShutters);
        const CsvTable info(Catalogue::groupTablePath(extras, "_info"));
        auto yes = [&](const QString &group, const QString &flag) { return info.lookup(group, flag).toLower().startsWith('y'); };
        auto hasDefault = [&](const QString &group) {
            const CsvTable t(Catalogue::groupTablePath(extras, group));
            return !t.column(t.columnIndex("code")).filter(QRegularExpression("^\\+")).isEmpty();
        };
        QVERIFY(yes("Frame Style", "required") && !hasDefault("Frame Style") && yes("Hinge Colour", "required")
                && hasDefault("Hinge Colour") && yes("Build Out", "multiple") && !yes("Build Out", "required"));
        // Every group table has a row in _info and the other way round.
        QStringList groups = Catalogue::csvBaseNames(extras);
        groups.removeAll("_info");
        QCOMPARE(sorted(groups), sorted(info.column(0)));
        const QStringList handles = Catalogue::csvBaseNames(Catalogue::extrasFolder("Perfect Fit Blinds"));
        for (const char *g : {"Handle Type", "Handle Location", "Handle Colour", "Handle Packer", "Door Handle Colour"})
            QVERIFY2(handles.contains(g), g);
    }
};

QTEST_GUILESS_MAIN(SampleCatalogueTest)
#include "tst_samplecatalogue.moc"
