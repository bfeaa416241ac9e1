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

QString dataDir()
{
    return TestEnv::sourcePath(QStringLiteral("tests/pricing/data"));
}

QJsonObject readJson(const QString &path)
{
    return QJsonDocument::fromJson(TestEnv::readFile(path)).object();
}

QStringList toStrings(const QJsonValue &value)
{
    QStringList result;
    const QJsonArray array = value.toArray();
    for (const QJsonValue &v : array)
        result.append(v.toString());
    return result;
}

PriceSettings applySettings(PriceSettings s, const QJsonObject &o)
{
    if (o.contains(QLatin1String("exVat")))
        s.exVat = o.value(QLatin1String("exVat")).toBool();
    if (o.contains(QLatin1String("vatRate")))
        s.vatRate = o.value(QLatin1String("vatRate")).toDouble();
    if (o.contains(QLatin1String("tradeDiscount")))
        s.tradeDiscount = o.value(QLatin1String("tradeDiscount")).toDouble();
    if (o.contains(QLatin1String("markup")))
        s.markup = o.value(QLatin1String("markup")).toDouble();
    if (o.contains(QLatin1String("tradeVatRate")))
        s.tradeVatRate = o.value(QLatin1String("tradeVatRate")).toDouble();
    if (o.contains(QLatin1String("fabricAllowance")))
        s.fabricAllowance = o.value(QLatin1String("fabricAllowance")).toDouble();
    if (o.contains(QLatin1String("shortFabricWarnings")))
        s.shortFabricWarnings = o.value(QLatin1String("shortFabricWarnings")).toBool();
    return s;
}

bool sameValue(const QVariant &actual, const QJsonValue &expected)
{
    if (expected.isBool())
        return actual.userType() == QMetaType::Bool && actual.toBool() == expected.toBool();
    if (expected.isDouble())
        return actual.userType() != QMetaType::Bool && actual.canConvert<double>()
               && qAbs(actual.toDouble() - expected.toDouble()) < 1e-9;
    return actual.toString() == expected.toString();
}

// Exact key set; numbers compared with a tolerance, booleans as booleans.
QString mapDifference(const QVariantMap &actual, const QJsonObject &expected)
{
    const QStringList expectedKeys = expected.keys();
    if (QSet<QString>(actual.keyBegin(), actual.keyEnd()) != QSet<QString>(expectedKeys.begin(), expectedKeys.end()))
        return QStringLiteral("keys %1 instead of %2")
            .arg(QStringList(actual.keys()).join(','), expected.keys().join(','));
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        if (!sameValue(actual.value(it.key()), it.value()))
            return QStringLiteral("%1 = %2").arg(it.key(), actual.value(it.key()).toString());
    }
    return QString();
}

void expectCritical(const QJsonObject &expected, const QString &root)
{
    const QStringList lines = toStrings(expected.value(QLatin1String("critical")));
    for (QString line : lines)
        QTest::ignoreMessage(QtCriticalMsg, line.replace(QLatin1String("%ROOT%"), root).toUtf8().constData());
}

} // namespace

class PricingCases : public QObject
{
    Q_OBJECT

private slots:
    void csvDialect_data();
    void csvDialect();
    void priceCases_data();
    void priceCases();
};

void PricingCases::csvDialect_data()
{
    QTest::addColumn<QString>("folder");
    const QStringList cases = QDir(dataDir()).entryList({QStringLiteral("csv_*")}, QDir::Dirs, QDir::Name);
    QVERIFY(cases.size() >= 5);
    for (const QString &c : cases)
        QTest::newRow(qPrintable(c)) << dataDir() + QLatin1Char('/') + c;
}

void PricingCases::csvDialect()
{
    QFETCH(QString, folder);
    const QJsonObject expected = readJson(folder + QStringLiteral("/expected.json"));
    QString path = folder + QLatin1Char('/') + expected.value(QLatin1String("path")).toString(QStringLiteral("table.csv"));
    const QString fileName = path.endsWith(QLatin1String(".csv")) ? path : path + QStringLiteral(".csv");
    for (QString line : toStrings(expected.value(QLatin1String("critical"))))
        QTest::ignoreMessage(QtCriticalMsg, line.replace(QLatin1String("%TABLE%"), fileName).toUtf8().constData());

    const CsvTable table(path);
    QCOMPARE(table.fileName(), fileName);
    QCOMPARE(table.headers(), toStrings(expected.value(QLatin1String("headers"))));
    const QJsonArray rows = expected.value(QLatin1String("rows")).toArray();
    QCOMPARE(table.rowCount(), rows.size());
    for (int i = 0; i < rows.size(); ++i)
        QCOMPARE(table.rows().at(i), toStrings(rows.at(i)));
}

void PricingCases::priceCases_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("call");
    const QStringList cases = QDir(dataDir()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    int count = 0;
    for (const QString &c : cases) {
        const QString folder = dataDir() + QLatin1Char('/') + c;
        if (!QFile::exists(folder + QStringLiteral("/input.json")))
            continue;
        const QJsonObject input = readJson(folder + QStringLiteral("/input.json"));
        const QJsonObject expected = readJson(folder + QStringLiteral("/expected.json"));
        const int calls = input.value(QLatin1String("calls")).toArray().size();
        QVERIFY2(calls > 0 && calls == expected.value(QLatin1String("results")).toArray().size(), qPrintable(c));
        for (int i = 0; i < calls; ++i) {
            QTest::newRow(qPrintable(QStringLiteral("%1#%2").arg(c).arg(i + 1))) << folder << i;
            ++count;
        }
    }
    QVERIFY(count >= 40);
}

void PricingCases::priceCases()
{
    QFETCH(QString, folder);
    QFETCH(int, call);
    const QJsonObject input = readJson(folder + QStringLiteral("/input.json"));
    const QJsonObject args = input.value(QLatin1String("calls")).toArray().at(call).toObject();
    const QJsonObject expected = readJson(folder + QStringLiteral("/expected.json"))
                                     .value(QLatin1String("results")).toArray().at(call).toObject();
    const QString kind = input.value(QLatin1String("kind")).toString();

    const QString root = folder + QStringLiteral("/catalogue");
    AppContext::catalogueProductsFolder = root;
    PriceSettings settings = applySettings(PriceSettings(), input.value(QLatin1String("settings")).toObject());
    settings = applySettings(settings, args.value(QLatin1String("settings")).toObject());

    QStringList warnings = toStrings(args.value(QLatin1String("warnings")));
    QVariantMap calcMap = args.value(QLatin1String("calcMap")).toObject().toVariantMap();
    expectCritical(expected, root);

    if (kind == QLatin1String("band") || kind == QLatin1String("item")) {
        double price = -1;
        double rate = -1;
        if (kind == QLatin1String("band")) {
            const bool wantRate = args.value(QLatin1String("rate")).toBool();
            price = BandPrice::lookup(root + QLatin1Char('/') + args.value(QLatin1String("table")).toString(),
                                      args.value(QLatin1String("width")).toInt(),
                                      args.value(QLatin1String("drop")).toInt(), calcMap, warnings, settings,
                                      args.value(QLatin1String("band")).toString(), wantRate ? &rate : nullptr,
                                      args.value(QLatin1String("group")).toString());
        } else {
            price = BandPrice::itemPrice(args.value(QLatin1String("product")).toString(),
                                         args.value(QLatin1String("table")).toString(),
                                         args.value(QLatin1String("width")).toInt(),
                                         args.value(QLatin1String("drop")).toInt(), calcMap, warnings, settings);
        }
        QVERIFY2(qAbs(price - expected.value(QLatin1String("price")).toDouble()) < 1e-9,
                 qPrintable(QString::number(price, 'f', 6)));
        if (expected.contains(QLatin1String("rate")))
            QCOMPARE(rate, expected.value(QLatin1String("rate")).toDouble());
    } else if (kind == QLatin1String("range")) {
        BandPrice::RangeCheckInput item;
        item.product = args.value(QLatin1String("product")).toString();
        item.supplier = args.value(QLatin1String("supplier")).toString();
        item.range = args.value(QLatin1String("range")).toString();
        item.colour = args.value(QLatin1String("colour")).toString();
        item.width = args.value(QLatin1String("width")).toInt();
        item.drop = args.value(QLatin1String("drop")).toInt();
        item.manualPrice = args.value(QLatin1String("manualPrice")).toBool();
        std::optional<CsvTable> loaded;
        const BandPrice::RangeCheckResult r = BandPrice::checkRange(item, loaded, warnings, settings);
        auto check = [&](const char *key, const QVariant &actual) {
            if (expected.contains(QLatin1String(key)))
                QVERIFY2(sameValue(actual, expected.value(QLatin1String(key))),
                         qPrintable(QStringLiteral("%1 = %2").arg(key, actual.toString())));
        };
        check("matched", r.matched);
        check("setBand", r.setBand);
        check("band", r.band);
        check("typeCode", r.typeCode);
        check("fabricCode", r.fabricCode);
        check("turned", r.turned);
    } else {
        QFAIL(qPrintable(QStringLiteral("unknown kind ") + kind));
    }

    if (expected.contains(QLatin1String("warnings")))
        QCOMPARE(warnings, toStrings(expected.value(QLatin1String("warnings"))));
    if (expected.contains(QLatin1String("calcMap"))) {
        const QString diff = mapDifference(calcMap, expected.value(QLatin1String("calcMap")).toObject());
        QVERIFY2(diff.isEmpty(), qPrintable(diff));
    }
}

QTEST_GUILESS_MAIN(PricingCases)
#include "tst_pricingcases.moc"
