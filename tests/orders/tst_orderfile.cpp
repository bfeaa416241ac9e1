// Writing and reading order files: every member, the omission rules, the
// older "extras" option form and members of the wrong JSON type.

#include "app/appcontext.h"
#include "models/qqmlobjectlistmodel.h"
#include "orders/optiongroup.h"
#include "orders/vexaorder.h"
#include "orders/vexaorderitem.h"
#include "testenv.h"

#include <QtTest>

namespace {

QByteArray fixture(const QString &name, const char *file)
{
    return TestEnv::readFile(TestEnv::sourcePath(QStringLiteral("tests/orders/data/%1/%2").arg(name, file)));
}

QString expected(const QString &name) { return QString::fromUtf8(fixture(name, "expected.json")).trimmed(); }

struct CliRun { int exit; QByteArray out; };

CliRun cli(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(LTA_BINARY_DIR "/src/lattica-cli"), args);
    const bool done = p.waitForFinished(30000);
    return {done ? p.exitCode() : -1, p.readAllStandardOutput()};
}

} // namespace

class TestOrderFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnv::initApp(); }
    void init() { m_data.reset(TestEnv::freshDataFolder()); }
    void cleanup() { m_data.reset(); }

    void fixtureRoundTrip_data()
    {
        QTest::addColumn<QString>("name");
        const QStringList cases = QDir(TestEnv::sourcePath(QStringLiteral("tests/orders/data")))
                                      .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        QVERIFY(cases.size() >= 6);
        for (const QString &c : cases)
            QTest::newRow(qPrintable(c)) << c;
    }

    // The input, read as the application reads an in-progress order and saved
    // again, gives exactly the expected file; `lattica-cli order show` prints
    // the same line and leaves the file alone.
    void fixtureRoundTrip()
    {
        QFETCH(QString, name);
        const QString id = QJsonDocument::fromJson(fixture(name, "expected.json")).object().value("orderID").toString();
        QVERIFY(!id.isEmpty());
        const QString path = AppContext::ordersFolder + id, input = m_data->path() + "/incoming/" + name;
        QVERIFY(TestEnv::writeFile(path, fixture(name, "input.json")));
        QVERIFY(TestEnv::writeFile(input, fixture(name, "input.json")));
        const CliRun run = cli({"order", "show", "--data", m_data->path(), input});
        QVERIFY(run.exit == 0 && run.out.count('\n') == 1);
        QCOMPARE(QString::fromUtf8(run.out).trimmed(), expected(name));
        QCOMPARE(TestEnv::readFile(input), fixture(name, "input.json"));

        VexaOrder order;
        QVERIFY(order.loadOrder(id, VexaOrder::InProgress, false) && !order.changed());
        order.set_changed(true);
        QVERIFY(order.saveOrder(0) && !order.changed());
        QCOMPARE(QString::fromUtf8(TestEnv::readFile(path)), expected(name)); // one line: expected() is trimmed
    }

    void cliShowById()
    {
        const QByteArray content = fixture(QStringLiteral("extras_form"), "input.json");
        const QString posted = AppContext::stateFolder(VexaOrder::Posted) + QStringLiteral("X1");
        QVERIFY(TestEnv::writeFile(posted, content));
        const CliRun byId = cli({"order", "show", "--data", m_data->path(), "X1"});
        QCOMPARE(byId.exit, 0);
        QCOMPARE(QString::fromUtf8(byId.out).trimmed(), expected(QStringLiteral("extras_form")));
        // Looked up where it lies, not moved into progress.
        QCOMPARE(TestEnv::readFile(posted), content);
        QVERIFY(!QFile::exists(AppContext::ordersFolder + QStringLiteral("X1")));
        // refusals of missing and climbing IDs: tst_cliinput
    }

    // A reader and writer that swapped two members would still round-trip the
    // file; the values must land in the right properties.
    void membersReachTheModel()
    {
        QVERIFY(TestEnv::writeFile(AppContext::ordersFolder + "Q1000", fixture(QStringLiteral("full_roundtrip"), "input.json")));
        VexaOrder order;
        QVERIFY(order.loadOrder(QStringLiteral("Q1000"), VexaOrder::InProgress, false));
        QCOMPARE(QStringList({order.custName(), order.custPhone(), order.custEmail(), order.custPcode(), order.apType(),
                              order.xto, order.date().toString(Qt::ISODateWithMs)}),
                 QStringList({"Mr A Smith", "01234 567890", "a@example.com", "AB1 2CD", "Survey", "22",
                              "2026-12-01T09:15:30.250"}));
        QCOMPARE(QList<double>({order.discount(), order.fittingCost(), double(order.apmins())}), QList<double>({12.5, 35, 45}));
        QCOMPARE(order.appointment(), QDateTime(QDate(2026, 12, 7), QTime(10, 30)));
        QVERIFY(order.properties().value(QStringLiteral("pif")).toBool() && order.orderItemsModel()->count() == 2);
        VexaOrderItem *item = order.orderItemsModel()->get(0);
        QCOMPARE(QList<double>({double(item->bl_width()), double(item->bl_drop()), double(item->bl_multiple()), item->item_price()}),
                 QList<double>({900, 1500, 2, 320}));
        OptionGroup *group = item->getOptionGroup(QStringLiteral("Build Out"));
        QVERIFY(group && group->parent() == item && group->multiple() == 3 && group->isMulti() && group->price() == "12.50");
    }

    void optionCode_data()
    {
        QTest::addColumn<QStringList>("descList");
        QTest::addColumn<QStringList>("codes");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("stored"); // the held code is "H"
        const QStringList codes = {"BO50", "BO70"};
        QTest::newRow("blank first") << QStringList{"", "50mm", "70mm"} << codes << "70mm" << "BO70";
        QTest::newRow("no blank") << QStringList{"50mm", "70mm"} << codes << "50mm" << "BO50";
        QTest::newRow("not on offer") << QStringList{"50mm"} << codes << "90mm" << "H";
        QTest::newRow("beyond codes") << QStringList{"50mm", "70mm", "90mm"} << codes << "90mm" << "H";
        QTest::newRow("no codes") << QStringList{"50mm"} << QStringList() << "50mm" << "";
    }

    void optionCode()
    {
        QFETCH(QStringList, descList);
        QFETCH(QStringList, codes);
        QFETCH(QString, description);
        QFETCH(QString, stored);
        VexaOrder order;
        order.newOrder();
        order.addBlind(QStringLiteral("Hall"));
        VexaOrderItem *item = order.getVexaOrderItem();
        auto *group = new OptionGroup(item);
        group->set_optionGroup(QStringLiteral("Build Out"));
        group->set_descList(descList);
        group->codes = codes;
        group->code = codes.isEmpty() ? QString() : QStringLiteral("H");
        group->set_description(description);
        item->optionsModel()->append(group);
        const QJsonObject option = order.toJson().value("items").toArray().at(0).toObject()
                                       .value("options").toArray().at(0).toObject();
        QCOMPARE(option.value(QStringLiteral("code")).toString(), stored);
        QCOMPARE(option.contains(QStringLiteral("code")), !stored.isEmpty());
    }

    void unparsableFileKeepsOrder()
    {
        VexaOrder order;
        order.set_custName(QStringLiteral("Still here"));
        for (const QByteArray &bad : {QByteArray("{\"orderID\": \"B1\""), QByteArray("[1,2,3]"), QByteArray()}) {
            QVERIFY(TestEnv::writeFile(AppContext::ordersFolder + QStringLiteral("B1"), bad));
            QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("^Failed to load Json doc")));
            QVERIFY(!order.loadOrder(QStringLiteral("B1"), VexaOrder::InProgress, false));
            QCOMPARE(order.custName(), QStringLiteral("Still here"));
        }
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("^Failed to find order")));
        QVERIFY(!order.loadOrder(QStringLiteral("B2"), VexaOrder::Received, false));
    }

private:
    QScopedPointer<QTemporaryDir> m_data;
};


QTEST_GUILESS_MAIN(TestOrderFile)
#include "tst_orderfile.moc"
