// Whole orders priced end to end against the sample catalogue, one folder per
// case under cases/: order.json (as stored), optional lta.ini (shared
// settings) and user.ini (user settings), and expected.json - the parts of
// the price report that the case is about. Objects in expected.json list only
// the members that matter; lists must match in length, except an item's
// "options", which are matched by group name.
#include "app/appcontext.h"
#include "app/appsettings.h"
#include "models/qqmlobjectlistmodel.h"
#include "orders/optiongroup.h"
#include "orders/vexaorder.h"
#include "orders/vexaorderitem.h"
#include "pricing/catalogue.h"
#include "pricing/pricereport.h"
#include "testenv.h"

#include <QtTest>

namespace {

const QString kCases = QStringLiteral(LTA_SOURCE_DIR "/tests/pricing/cases");

QString show(const QJsonValue &v)
{
    if (v.isObject())
        return QString::fromUtf8(QJsonDocument(v.toObject()).toJson(QJsonDocument::Compact));
    if (v.isArray())
        return QString::fromUtf8(QJsonDocument(v.toArray()).toJson(QJsonDocument::Compact));
    return QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact).mid(1).chopped(1);
}

// Empty when actual holds everything expected holds; else where it differs.
QString differs(const QJsonValue &expected, const QJsonValue &actual, const QString &at)
{
    if (expected.isObject()) {
        const QJsonObject e = expected.toObject(), a = actual.toObject();
        for (auto it = e.begin(); it != e.end(); ++it) {
            if (!a.contains(it.key()))
                return at + "." + it.key() + ": missing";
            if (it.key() == QLatin1String("options")) {
                for (const QJsonValue &want : it.value().toArray()) {
                    const QString group = want.toObject().value("group").toString();
                    QJsonValue found;
                    for (const QJsonValue &have : a.value("options").toArray())
                        if (have.toObject().value("group").toString() == group)
                            found = have;
                    const QString d = differs(want, found, at + ".options[" + group + "]");
                    if (!d.isEmpty())
                        return d;
                }
                continue;
            }
            const QString d = differs(it.value(), a.value(it.key()), at + "." + it.key());
            if (!d.isEmpty())
                return d;
        }
        return QString();
    }
    if (expected.isArray()) {
        const QJsonArray e = expected.toArray(), a = actual.toArray();
        if (e.size() != a.size())
            return at + QStringLiteral(": %1 entries, expected %2: %3").arg(a.size()).arg(e.size()).arg(show(a));
        for (int i = 0; i < e.size(); ++i) {
            const QString d = differs(e.at(i), a.at(i), at + QStringLiteral("[%1]").arg(i));
            if (!d.isEmpty())
                return d;
        }
        return QString();
    }
    if (expected.isDouble() && actual.isDouble() && qAbs(expected.toDouble() - actual.toDouble()) < 1e-9)
        return QString();
    return expected == actual ? QString() : at + ": " + show(actual) + ", expected " + show(expected);
}

} // namespace

class TestPriceCases : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::initApp(); }
    void init()
    {
        m_data.reset(TestEnv::freshDataFolder());
        for (const char *key : {"vr_d", "rw_d", "swarn_b", "incExtras_b", "panelWidthChk_b"})
            AppContext::userSettings()->remove(QLatin1String(key));
    }
    void cleanup()
    {
        m_data.reset();
        AppContext::releaseSettings();
    }
    void cases_data();
    void cases();
    void cliLeavesFileAloneWithoutSave();

private:
    QString prepare(const QString &caseDir);
    QScopedPointer<QTemporaryDir> m_data;
};

// Lays out the case's data folder; returns the order file's path.
QString TestPriceCases::prepare(const QString &caseDir)
{
    const QString own = caseDir + "/catalogue";
    if (Catalogue::installFrom(QDir(own).exists() ? own : TestEnv::sourcePath("data/catalogue")) <= 0)
        return QString();   // the callers' reads then fail
    if (QFile::exists(caseDir + "/lta.ini"))
        TestEnv::writeFile(AppContext::sharedSettingsFolder + "/lta.ini", TestEnv::readFile(caseDir + "/lta.ini"));
    if (QFile::exists(caseDir + "/user.ini")) {
        QSettings values(caseDir + "/user.ini", QSettings::IniFormat);
        for (const QString &key : values.allKeys())
            AppContext::userSettings()->setValue(key, values.value(key));
        AppContext::userSettings()->sync();
    }
    AppContext::setupDataFolders();   // reopen both stores on what the case wrote
    const QJsonObject order = QJsonDocument::fromJson(TestEnv::readFile(caseDir + "/order.json")).object();
    const QString path = AppContext::ordersFolder + order.value("orderID").toString();
    TestEnv::writeFile(path, QJsonDocument(order).toJson(QJsonDocument::Compact));
    return path;
}

void TestPriceCases::cases_data()
{
    QTest::addColumn<QString>("dir");
    const QStringList names = QDir(kCases).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    QVERIFY(!names.isEmpty());
    for (const QString &name : names)
        QTest::newRow(qPrintable(name)) << kCases + "/" + name;
}

void TestPriceCases::cases()
{
    QFETCH(QString, dir);
    const QString path = prepare(dir);
    VexaOrder order;
    order.autoSave = false;
    QVERIFY(order.readOrderFile(path));
    order.recalcPrices();
    const QJsonObject report = priceReport(order);
    const QJsonObject expected = QJsonDocument::fromJson(TestEnv::readFile(dir + "/expected.json")).object();
    QVERIFY(!expected.isEmpty());
    const QString d = differs(expected, report, QStringLiteral("report"));
    QVERIFY2(d.isEmpty(), qPrintable(d));

    // an option priced as a share of the item (the sample catalogue's shutter
    // styles) shows its own price on the review, not the whole item's
    for (int i = 0; i < order.orderItemsModel()->count() && !order.exVat(); ++i) {
        VexaOrderItem *item = order.orderItemsModel()->get(i);
        const QStringList rows = order.reviewData(i);
        for (OptionGroup *g : *item->optionsModel()) {
            const double price = g->price().toDouble();
            if (g->optionGroup() != QLatin1String("Shutter Style") || g->description().isEmpty() || price < 0.01)
                continue;
            const QString head = g->optionGroup() + QStringLiteral(": ") + g->description();
            const auto row = std::find_if(rows.cbegin(), rows.cend(), [&](const QString &r) { return r.startsWith(head); });
            QVERIFY2(row != rows.cend(), qPrintable(head));
            const double q = qMax(1, item->bl_multiple()) * qMax(1, g->multiple());
            QVERIFY2(qAbs(row->section(QLatin1Char('|'), 1, 1).toDouble() - price * q) < 0.01,
                     qPrintable(*row + QStringLiteral(" against ") + g->price()));
        }
        // only chosen options are listed: no variant lists of the survey and
        // no empty groups
        for (const QString &row : rows) {
            const QString head = row.section(QLatin1Char('|'), 0, 0);
            QVERIFY2(!head.contains(QLatin1String("-:")) && !head.endsWith(QLatin1String(": ")), qPrintable(row));
        }
    }
}

void TestPriceCases::cliLeavesFileAloneWithoutSave()
{
    const QString path = prepare(kCases + "/retail_band_edges");
    const QByteArray before = TestEnv::readFile(path);
    const QString cli = QStringLiteral(LTA_BINARY_DIR "/src/lattica-cli");

    QProcess p;
    auto run = [&](const QStringList &args) {
        p.start(cli, QStringList{"price", "--data", AppContext::dataFolder} + args);
        return p.waitForFinished(30000) ? p.exitCode() : -1;
    };
    // a data folder prepared by the tool alone has no db/ folder yet
    QVERIFY(QDir(AppContext::dataFolder + "/db").removeRecursively());
    QCOMPARE(run({"CASE-EDGES"}), 0);
    QCOMPARE(p.readAllStandardError(), QByteArray());
    const QJsonObject report = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    QCOMPARE(report.value("partsPrice").toString() + '|' + QString::number(report.value("items").toArray().size()), QString("967.05|3"));
    QCOMPARE(TestEnv::readFile(path), before);
    QCOMPARE(run({"--save", path}), 0);
    const QJsonObject saved = QJsonDocument::fromJson(TestEnv::readFile(path)).object();
    QCOMPARE(saved.value("items").toArray().at(1).toObject().value("item_price").toString(), QString("515.55"));
    QVERIFY(run({"NO-SUCH-ORDER"}) > 0 && !p.readAllStandardError().isEmpty());
}

QTEST_MAIN(TestPriceCases)
#include "tst_pricecases.moc"
