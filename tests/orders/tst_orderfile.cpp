// Writing and reading order files: every member, the omission rules, the
// older "extras" option form and members of the wrong JSON type.

#include "app/appcontext.h"
#include "models/qqmlobjectlistmodel.h"
#include "orders/optiongroup.h"
#include "orders/vexaorder.h"
#include "orders/vexaorderitem.h"
#include "testenv.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopedPointer>
#include <QtTest>

class TestOrderFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnv::initApp(); }
    void init() { m_data.reset(TestEnv::freshDataFolder()); }
    void cleanup() { m_data.reset(); }

    void fixtureRoundTrip_data();
    void fixtureRoundTrip();
    void cliShowsWrittenForm_data() { fixtureRoundTrip_data(); }
    void cliShowsWrittenForm();
    void cliShowByIdAndErrors();
    void propertiesSurviveSaveAndLoad();
    void optionCode_data();
    void optionCode();
    void unparsableFileKeepsOrder();

private:
    static QString fixture(const QString &name, const QString &file)
    {
        return TestEnv::sourcePath(QStringLiteral("tests/orders/data/%1/%2").arg(name, file));
    }
    static QString expectedId(const QString &name)
    {
        return QJsonDocument::fromJson(TestEnv::readFile(fixture(name, QStringLiteral("expected.json"))))
            .object()
            .value(QStringLiteral("orderID"))
            .toString();
    }
    QScopedPointer<QTemporaryDir> m_data;
};

void TestOrderFile::fixtureRoundTrip_data()
{
    QTest::addColumn<QString>("name");
    const QStringList cases = QDir(TestEnv::sourcePath(QStringLiteral("tests/orders/data")))
                                  .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    QVERIFY(cases.size() >= 6);
    for (const QString &c : cases)
        QTest::newRow(qPrintable(c)) << c;
}

// The input, read as the application reads an in-progress order and saved
// again, gives exactly the expected file.
void TestOrderFile::fixtureRoundTrip()
{
    QFETCH(QString, name);
    const QString id = expectedId(name);
    QVERIFY(!id.isEmpty());
    const QString path = AppContext::ordersFolder + id;
    QVERIFY(TestEnv::writeFile(path, TestEnv::readFile(fixture(name, QStringLiteral("input.json")))));

    VexaOrder order;
    QVERIFY(order.loadOrder(id, VexaOrder::InProgress, false));
    QCOMPARE(order.orderID(), id);
    QVERIFY(!order.changed());
    order.set_changed(true);
    QVERIFY(order.saveOrder(0));
    QVERIFY(!order.changed());

    const QByteArray written = TestEnv::readFile(path);
    QVERIFY(!written.contains('\n'));
    QCOMPARE(QString::fromUtf8(written), QString::fromUtf8(TestEnv::readFile(fixture(name, QStringLiteral("expected.json")))).trimmed());
}

void TestOrderFile::cliShowsWrittenForm()
{
    QFETCH(QString, name);
    const QString input = m_data->path() + QStringLiteral("/incoming/") + name;
    const QByteArray before = TestEnv::readFile(fixture(name, QStringLiteral("input.json")));
    QVERIFY(TestEnv::writeFile(input, before));

    QProcess cli;
    cli.start(QStringLiteral(LTA_BINARY_DIR "/src/lattica-cli"),
              {QStringLiteral("order"), QStringLiteral("show"), QStringLiteral("--data"), m_data->path(), input});
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), 0);
    const QByteArray out = cli.readAllStandardOutput();
    QCOMPARE(out.count('\n'), 1);
    QCOMPARE(QString::fromUtf8(out).trimmed(),
             QString::fromUtf8(TestEnv::readFile(fixture(name, QStringLiteral("expected.json")))).trimmed());
    // Showing never touches the order file.
    QCOMPARE(TestEnv::readFile(input), before);
}

void TestOrderFile::cliShowByIdAndErrors()
{
    const QByteArray content = TestEnv::readFile(fixture(QStringLiteral("extras_form"), QStringLiteral("input.json")));
    const QString posted = AppContext::stateFolder(VexaOrder::Posted) + QStringLiteral("X1");
    QVERIFY(TestEnv::writeFile(posted, content));
    const QString cliPath = QStringLiteral(LTA_BINARY_DIR "/src/lattica-cli");

    QProcess byId;
    byId.start(cliPath, {QStringLiteral("order"), QStringLiteral("show"), QStringLiteral("--data"), m_data->path(),
                         QStringLiteral("X1")});
    QVERIFY(byId.waitForFinished(30000));
    QCOMPARE(byId.exitCode(), 0);
    const QJsonObject shown = QJsonDocument::fromJson(byId.readAllStandardOutput()).object();
    QCOMPARE(shown.value(QStringLiteral("orderID")).toString(), QStringLiteral("X1"));
    QVERIFY(shown.value(QStringLiteral("items")).toArray().at(0).toObject().contains(QStringLiteral("options")));
    // Looked up where it lies, not moved into progress.
    QCOMPARE(TestEnv::readFile(posted), content);
    QVERIFY(!QFile::exists(AppContext::ordersFolder + QStringLiteral("X1")));

    for (const QString &missing : {QStringLiteral("NOPE"), QStringLiteral("../Orders/posted/X1")}) {
        QProcess bad;
        bad.start(cliPath, {QStringLiteral("order"), QStringLiteral("show"), QStringLiteral("--data"),
                            m_data->path(), missing});
        QVERIFY(bad.waitForFinished(30000));
        QVERIFY(bad.exitCode() != 0);
        QVERIFY(bad.readAllStandardOutput().isEmpty());
        QVERIFY(bad.readAllStandardError().contains("cannot load order"));
    }
}

void TestOrderFile::propertiesSurviveSaveAndLoad()
{
    VexaOrder order;
    order.newOrder();
    const QString id = order.orderID();
    order.set_custAddress(QStringLiteral("Ann Lee\n3 Mill Lane"));
    order.set_custPhone(QStringLiteral("  07700 900123 "));
    order.set_discount(12.5);
    order.set_fittingCost(35);
    order.set_deposit(0);
    order.set_appointment(QDateTime(QDate(2026, 12, 8), QTime(14, 5, 6, 7)));
    order.set_apmins(90);
    order.set_apType(QStringLiteral("Fitting"));
    order.set_properties({{QStringLiteral("pif"), true}});
    order.xto = QStringLiteral("22");
    order.addBlind(QStringLiteral("Lounge"));
    VexaOrderItem *item = order.getVexaOrderItem();
    QVERIFY(item);
    item->set_bl_width(927);
    item->set_bl_multiple(1);
    item->set_item_price(199.999);
    auto *group = new OptionGroup(item);
    group->set_optionGroup(QStringLiteral("Build Out"));
    group->set_description(QStringLiteral("70mm"));
    group->set_price(QStringLiteral("22.50"));
    group->set_multiple(2);
    item->optionsModel()->append(group);
    // adding the item saved the order; these direct edits bypass processing
    order.set_changed(true);
    QVERIFY(order.saveOrder());

    const QJsonObject file = QJsonDocument::fromJson(TestEnv::readFile(AppContext::ordersFolder + id)).object();
    QCOMPARE(file.value(QStringLiteral("discount")), QJsonValue(QStringLiteral("12.50")));
    QCOMPARE(file.value(QStringLiteral("fitting")), QJsonValue(QStringLiteral("35.00")));
    QVERIFY(!file.contains(QStringLiteral("deposit")));
    QCOMPARE(file.value(QStringLiteral("custPhone")), QJsonValue(QStringLiteral("07700 900123")));
    const QJsonObject itemObj = file.value(QStringLiteral("items")).toArray().at(0).toObject();
    QVERIFY(!itemObj.contains(QStringLiteral("mult")));
    QCOMPARE(itemObj.value(QStringLiteral("item_price")), QJsonValue(QStringLiteral("200.00")));

    VexaOrder loaded;
    QVERIFY(loaded.loadOrder(id, VexaOrder::InProgress, false));
    QCOMPARE(loaded.discount(), 12.5);
    QCOMPARE(loaded.fittingCost(), 35.0);
    QCOMPARE(loaded.custAddress(), order.custAddress());
    QCOMPARE(loaded.appointment(), order.appointment());
    QCOMPARE(loaded.apmins(), 90);
    QCOMPARE(loaded.apType(), QStringLiteral("Fitting"));
    QVERIFY(loaded.confirmed());
    QCOMPARE(loaded.properties().value(QStringLiteral("pif")).toBool(), true);
    QCOMPARE(loaded.xto, QStringLiteral("22"));
    QCOMPARE(loaded.currentRoom(), QStringLiteral("Lounge"));
    QCOMPARE(loaded.roomItemsModel()->count(), 1);
    VexaOrderItem *back = loaded.getVexaOrderItem();
    QVERIFY(back);
    QCOMPARE(back->bl_width(), 927);
    QCOMPARE(back->bl_multiple(), 1);
    OptionGroup *backGroup = back->getOptionGroup(QStringLiteral("Build Out"));
    QVERIFY(backGroup);
    QCOMPARE(backGroup->multiple(), 2);
    QVERIFY(backGroup->isMulti());
    QCOMPARE(backGroup->price(), QStringLiteral("22.50"));
    QCOMPARE(backGroup->parent(), back);
}

void TestOrderFile::optionCode_data()
{
    QTest::addColumn<QStringList>("descList");
    QTest::addColumn<QStringList>("codes");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("held");
    QTest::addColumn<QString>("stored");
    const QStringList codes = {QStringLiteral("BO50"), QStringLiteral("BO70")};
    QTest::newRow("blank first entry") << QStringList{QString(), QStringLiteral("50mm"), QStringLiteral("70mm")}
                                       << codes << QStringLiteral("70mm") << QStringLiteral("H") << QStringLiteral("BO70");
    QTest::newRow("no blank entry") << QStringList{QStringLiteral("50mm"), QStringLiteral("70mm")} << codes
                                    << QStringLiteral("50mm") << QStringLiteral("H") << QStringLiteral("BO50");
    QTest::newRow("not on offer") << QStringList{QStringLiteral("50mm")} << codes << QStringLiteral("90mm")
                                  << QStringLiteral("H") << QStringLiteral("H");
    QTest::newRow("beyond the codes") << QStringList{QStringLiteral("50mm"), QStringLiteral("70mm"), QStringLiteral("90mm")}
                                      << codes << QStringLiteral("90mm") << QStringLiteral("H") << QStringLiteral("H");
    QTest::newRow("no codes") << QStringList{QStringLiteral("50mm")} << QStringList() << QStringLiteral("50mm")
                              << QString() << QString();
}

void TestOrderFile::optionCode()
{
    QFETCH(QStringList, descList);
    QFETCH(QStringList, codes);
    QFETCH(QString, description);
    QFETCH(QString, held);
    QFETCH(QString, stored);
    VexaOrder order;
    order.newOrder();
    order.addBlind(QStringLiteral("Hall"));
    VexaOrderItem *item = order.getVexaOrderItem();
    auto *group = new OptionGroup(item);
    group->set_optionGroup(QStringLiteral("Build Out"));
    group->set_descList(descList);
    group->codes = codes;
    group->code = held;
    group->set_description(description);
    item->optionsModel()->append(group);
    const QJsonObject option = order.toJson()
                                   .value(QStringLiteral("items")).toArray().at(0).toObject()
                                   .value(QStringLiteral("options")).toArray().at(0).toObject();
    QCOMPARE(option.value(QStringLiteral("code")).toString(), stored);
    QCOMPARE(option.contains(QStringLiteral("code")), !stored.isEmpty());
}



void TestOrderFile::unparsableFileKeepsOrder()
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

QTEST_GUILESS_MAIN(TestOrderFile)
#include "tst_orderfile.moc"
