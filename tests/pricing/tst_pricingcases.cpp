// Table-driven checks of the catalogue reader and the price functions. Each
// folder under data/ is one case: a catalogue fragment or table, the inputs
// (input.json) and the expected results (expected.json), side by side.
#include "app/appcontext.h"
#include "pricing/bandprice.h"
#include "pricing/csvtable.h"
#include "testenv.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

const QString kData = TestEnv::sourcePath(QStringLiteral("tests/pricing/data"));

QJsonObject readJson(const QString &path) { return QJsonDocument::fromJson(TestEnv::readFile(path)).object(); }

QStringList toStrings(const QJsonValue &value) { return value.toVariant().toStringList(); }

PriceSettings applySettings(PriceSettings s, const QJsonObject &o)
{
    const std::pair<const char *, double PriceSettings::*> numbers[] = {
        {"vatRate", &PriceSettings::vatRate}, {"tradeDiscount", &PriceSettings::tradeDiscount},
        {"markup", &PriceSettings::markup}, {"tradeVatRate", &PriceSettings::tradeVatRate},
        {"fabricAllowance", &PriceSettings::fabricAllowance}};
    for (const auto &n : numbers)
        s.*n.second = o.value(QLatin1String(n.first)).toDouble(s.*n.second);
    s.exVat = o.value(QLatin1String("exVat")).toBool(s.exVat);
    s.shortFabricWarnings = o.value(QLatin1String("shortFabricWarnings")).toBool(s.shortFabricWarnings);
    return s;
}

// Numbers with a tolerance, booleans only as booleans.
bool sameValue(const QVariant &actual, const QJsonValue &expected)
{
    if (expected.isBool())
        return actual.userType() == QMetaType::Bool && actual.toBool() == expected.toBool();
    if (expected.isDouble())
        return actual.userType() != QMetaType::Bool && actual.canConvert<double>()
               && qAbs(actual.toDouble() - expected.toDouble()) < 1e-9;
    return actual.toString() == expected.toString();
}

// Exact key set, each value as sameValue.
QString mapDifference(const QVariantMap &actual, const QJsonObject &expected)
{
    if (QStringList(actual.keys()) != expected.keys())
        return QStringLiteral("keys %1 instead of %2").arg(QStringList(actual.keys()).join(','), expected.keys().join(','));
    for (auto it = expected.begin(); it != expected.end(); ++it)
        if (!sameValue(actual.value(it.key()), it.value()))
            return QStringLiteral("%1 = %2").arg(it.key(), actual.value(it.key()).toString());
    return QString();
}

void expectCritical(const QJsonObject &expected, const QString &placeholder, const QString &value)
{
    for (QString line : toStrings(expected.value(QLatin1String("critical"))))
        QTest::ignoreMessage(QtCriticalMsg, line.replace(placeholder, value).toUtf8().constData());
}

} // namespace

class PricingCases : public QObject
{
    Q_OBJECT

private slots:
    void cases_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<int>("call"); // -1: a CSV dialect case (table.csv and expected.json)
        int count = 0;
        for (const QString &c : QDir(kData).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
            const QString folder = kData + '/' + c;
            const int calls = readJson(folder + "/input.json").value(QLatin1String("calls")).toArray().size();
            QVERIFY2(calls == readJson(folder + "/expected.json").value(QLatin1String("results")).toArray().size(), qPrintable(c));
            QVERIFY2((calls > 0) != c.startsWith(QLatin1String("csv_")), qPrintable(c));
            if (calls == 0)
                QTest::newRow(qPrintable(c)) << folder << -1;
            for (int i = 0; i < calls; ++i, ++count)
                QTest::newRow(qPrintable(QStringLiteral("%1#%2").arg(c).arg(i + 1))) << folder << i;
        }
        QVERIFY(count >= 40);
    }

    void cases()
    {
        QFETCH(QString, folder);
        QFETCH(int, call);
        if (call < 0) {
            const QJsonObject expected = readJson(folder + "/expected.json");
            const QString path = folder + '/' + expected.value(QLatin1String("path")).toString(QStringLiteral("table.csv"));
            const QString fileName = path.endsWith(QLatin1String(".csv")) ? path : path + ".csv";
            expectCritical(expected, QStringLiteral("%TABLE%"), fileName);
            const CsvTable table(path);
            QCOMPARE(table.fileName(), fileName);
            QCOMPARE(table.headers(), toStrings(expected.value(QLatin1String("headers"))));
            QVector<QStringList> rows;
            for (const QJsonValue &row : expected.value(QLatin1String("rows")).toArray())
                rows.append(toStrings(row));
            QCOMPARE(table.rows(), rows);
            return;
        }
        const QJsonObject input = readJson(folder + "/input.json");
        const QJsonObject args = input.value(QLatin1String("calls")).toArray().at(call).toObject();
        const QJsonObject expected = readJson(folder + "/expected.json").value(QLatin1String("results")).toArray().at(call).toObject();
        const QString kind = input.value(QLatin1String("kind")).toString();
        auto arg = [&](const char *key) { return args.value(QLatin1String(key)); };

        const QString root = folder + "/catalogue";
        AppContext::catalogueProductsFolder = root;
        const PriceSettings settings = applySettings(applySettings(PriceSettings(), input.value(QLatin1String("settings")).toObject()),
                                                     arg("settings").toObject());
        QStringList warnings = toStrings(arg("warnings"));
        QVariantMap calcMap = arg("calcMap").toObject().toVariantMap();
        expectCritical(expected, QStringLiteral("%ROOT%"), root);

        QVariantMap actual;
        if (kind == QLatin1String("band")) {
            double rate = -1;
            actual["price"] = BandPrice::lookup(root + '/' + arg("table").toString(), arg("width").toInt(), arg("drop").toInt(),
                                                calcMap, warnings, settings, arg("band").toString(),
                                                arg("rate").toBool() ? &rate : nullptr, arg("group").toString());
            actual["rate"] = rate;
        } else if (kind == QLatin1String("item")) {
            actual["price"] = BandPrice::itemPrice(arg("product").toString(), arg("table").toString(), arg("width").toInt(),
                                                   arg("drop").toInt(), calcMap, warnings, settings);
        } else {
            QCOMPARE(kind, QStringLiteral("range"));
            const BandPrice::RangeCheckInput item{arg("product").toString(), arg("supplier").toString(), arg("range").toString(),
                                                  arg("colour").toString(), arg("width").toInt(), arg("drop").toInt(),
                                                  arg("manualPrice").toBool()};
            std::optional<CsvTable> loaded;
            const BandPrice::RangeCheckResult r = BandPrice::checkRange(item, loaded, warnings, settings);
            actual = {{"matched", r.matched}, {"setBand", r.setBand}, {"band", r.band}, {"typeCode", r.typeCode},
                      {"fabricCode", r.fabricCode}, {"turned", r.turned}};
        }
        for (auto it = expected.begin(); it != expected.end(); ++it)
            if (actual.contains(it.key()) || it.key() == QLatin1String("price"))
                QVERIFY2(sameValue(actual.value(it.key()), it.value()), qPrintable(it.key() + " = " + actual.value(it.key()).toString()));
        if (expected.contains(QLatin1String("warnings")))
            QCOMPARE(warnings, toStrings(expected.value(QLatin1String("warnings"))));
        if (expected.contains(QLatin1String("calcMap"))) {
            const QString diff = mapDifference(calcMap, expected.value(QLatin1String("calcMap")).toObject());
            QVERIFY2(diff.isEmpty(), qPrintable(diff));
        }
    }
};

QTEST_GUILESS_MAIN(PricingCases)
#include "tst_pricingcases.moc"
