// The order document and the supplier e-mail body, read back with a real
// HTML parser; print files; the price calculators' item summary.
#include "cloudfixture.h"
#include "documents/orderhtml.h"
#include "htmlparse.h"
#include "models/qqmlobjectlistmodel.h"
#include "orders/vexaorder.h"
#include "orders/vexaorderitem.h"

#include <QDir>

namespace {

// Customer texts that must arrive as text, items covering multiples, an
// excluded item, option lines to skip and a flat-packed product.
const char *kOrder = R"({
 "orderID": "Q2001", "manOrderID": "REF<7> & co", "confirm": true,
 "custName": "<script>alert(1)</script> & Sons", "custAdd": "1 High St\nTown", "custPcode": "AB1 2CD",
 "custEmail": "cust@example.com", "custPhone": "01234 567890",
 "orderNotes": "Gate <b>code</b>\nDog & cat", "jobNotes": "Ring first\nSide <door>",
 "props": {"AccountName": "Smith & Sons", "list1sel_s": "Collect from depot", "da_used": true,
           "da_name": "Mrs <X>", "da_streetnum": "12", "da_street": "Long | Lane", "da_city": "Leeds",
           "da_postcode": "LS1 1AA", "da_phone": "07123456789",
           "Extra Handles: Black": 2, "Extra Handles: White": 0, "stilesOnly": true},
 "items": [
  {"room": "Kitchen <1>", "width": 900, "drop": 1200, "mult": 3, "notes": "Mind the <tap>", "product": "Lattica",
   "options": [{"group": "Louvre", "description": "89mm"}, {"group": "Astragal", "description": "Astragal"},
               {"group": "Hidden-", "description": "Secret"}, {"group": "Dashed", "description": "None", "code": "-"},
               {"group": "Empty", "description": ""}, {"group": "Hinges", "description": "Brass & steel", "mult": 4}],
   "data": {"Panel_Config": "L<R>"}},
  {"room": "Bedroom", "width": 600, "drop": 800, "excl": true, "product": "Lattica"},
  {"room": "Hall", "width": 500, "drop": 700, "product": "Perfect Fit", "data": {"Flatpack": "yes"}}
 ]})";

} // namespace

class TestOrderHtml : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::initApp(); }
    void init()
    {
        m_data.reset(TestEnv::freshDataFolder());
        m_order = std::make_unique<VexaOrder>();
        CloudFixture::setValues(AppContext::sharedSettings(), {{"busNames/C123456", "Smith & Sons"}, {"busNames/C654321", "Other Ltd"},
                                                               {"C123456_m/DEPOT/NORTH", "Main <Depot>"}, {"C123456_m/YARD", "Yard"}});
    }

    void customerDocument()
    {
        load(kOrder);
        const QString html = m_order->documentHTML(2);
        QCOMPARE(m_order->documentHTML(0), html);
        QVERIFY(html.startsWith("<!doctype html><html><body style=\"font-family:Helvetica, Arial, sans-serif;font-size:14px;\">"));
        const ParsedHtml doc = parseHtml(html);
        QVERIFY(doc.ok);
        QVERIFY2(!doc.tags.contains("script") && !doc.tags.contains("door") && !doc.tags.contains("tap")
                     && !doc.tags.contains("x") && !doc.tags.contains("r"),
                 qPrintable(doc.tags.join(',')));
        // every text is where the document puts it, as typed
        const QStringList expected = {
            "Order Ref: REF<7> & co", "Order ID: Q2001", "Heldon Account: C123456 : Smith & Sons", "Collect from depot",
            "Deliver to:", "Mrs <X>", "12 Long | Lane", "Leeds", "LS1 1AA", "07123456789", "Option: STILES ONLY",
            "Customer:", "<script>alert(1)</script> & Sons", "1 High St", "Town", "AB1 2CD", "cust@example.com",
            "01234 567890", "Customer Order Notes:", "Gate <b>code</b>", "Dog & cat", "Supplier Notes:", "Ring first",
            "Side <door>", "Extra Handles: Black x 2",
            "1 of 5", "Room: Kitchen <1>", "Multiple:  x3 of this item", "Lattica Shutter", "Width: 900mm Height: 1200mm",
            "Notes: Mind the <tap>", "Louvre: 89mm", "Astragal", "Hinges: Brass & steel: x 4", "Panel Config: L<R>",
            "Pre-assembled: true",
            "EXCLUDED FROM ORDER", "2 of 5", "Room: Bedroom", "Lattica Shutter", "Width: 600mm Height: 800mm",
            "Pre-assembled: true",
            "3 of 5", "Room: Hall", "Vazirar Ada Vevadid", "Width: 500mm Height: 700mm", "Flatpack: yes"};
        QCOMPARE(doc.lines, expected);
        QCOMPARE(doc.tags.count("hr"), 4);
        // a drawing of each shutter that has a size, none of the glass product
        QCOMPARE(doc.tags.count("img"), 2);
        QVERIFY(!parseHtml(orderHtml(*m_order, false)).tags.contains("img"));
    }

    void supplierBody()
    {
        load(kOrder);
        const ParsedHtml body = parseHtml(orderHtml(*m_order, false));
        QVERIFY(body.ok);
        const QString text = body.lines.join('\n');
        for (const char *customer : {"alert", "High St", "AB1 2CD", "cust@example.com", "01234", "Gate", "Customer"})
            QVERIFY2(!text.contains(customer), customer);
        QVERIFY(!text.contains("Bedroom") && !text.contains("EXCLUDED"));
        QVERIFY(body.lines.contains("Side <door>") && body.lines.contains("Mrs <X>"));
        QCOMPARE(body.lines.filter(QRegularExpression(" of \\d$")), QStringList({"1 of 4", "2 of 4"}));
    }

    void headerVariants()
    {
        // a registered delivery address (its name holds "/") instead of a one-off one
        const QVariantMap registered{{"da_used", false}, {"delAddr", "Main <Depot>"}, {"stilesOnly", false},
                                     {"list1sel_s", "Deliver"}};
        load(kOrder, registered);
        m_order->set_manOrderID("Q2001");
        m_order->set_sentDate(QDateTime(QDate(2026, 12, 3), QTime(14, 5)));
        const QStringList lines = parseHtml(orderHtml(*m_order, false)).lines;
        QCOMPARE(lines.mid(0, 4), QStringList({"Sent to Supplier: 03 Dec 2026 02:05 pm", "Order ID: Q2001",
                                               "Heldon Account: C123456 : Smith & Sons", "Deliver To: DEPOT/NORTH"}));
        QVERIFY(!lines.join('|').contains("Mrs") && !lines.contains("Deliver to:") && !lines.contains("Option: STILES ONLY"));

        // unknown account and display name: the account line stays, no delivery line
        load(kOrder, {{"da_used", false}, {"delAddr", "Nowhere"}, {"AccountName", "Nobody"}});
        const QStringList unknown = parseHtml(orderHtml(*m_order, false)).lines;
        QVERIFY(unknown.contains("Heldon Account:  : Nobody"));
        QVERIFY(unknown.filter("Deliver").isEmpty());

        // the one-off address lines on their own: empty values give no line
        load(kOrder, {{"da_streetnum", ""}, {"da_city", ""}, {"da_phone", ""}});
        QCOMPARE(m_order->dropAddress(), QStringList({"<p  style='margin-left: 40px'>Mrs &lt;X&gt;", "Long | Lane",
                                                      "LS1 1AA", "</p>"}));
    }

    void itemInfo()
    {
        m_order->addBlind("Lounge");
        VexaOrderItem *item = m_order->getVexaOrderItem();
        QVERIFY(item);
        item->set_bl_width(914);
        item->set_bl_drop(0);
        item->set_bl_inches(false);
        QCOMPARE(item->itemInfo(-1), QString("<br>Width:914mm"));
        item->set_bl_drop(1219);
        item->set_bl_inches(true);
        item->set_item_price(123.456);
        QCOMPARE(item->itemInfo(0), QString("<br>Width:36in Height: 48in"));
        QCOMPARE(item->itemInfo(-1), QString("<br>Width:36in Height: 48in <br>Current Price: <b>&pound;123.46</b>"));
        AppContext::userSettings()->setValue("crncy", "&euro;");
        item->set_manualPrice(true);
        item->set_bl_width(920);
        QCOMPARE(item->itemInfo(-1),
                 QString("<br>Width:36 1/4in Height: 48in <font color='blue'><br>Current Price: <b>&euro;123.46</b>"));
        AppContext::userSettings()->remove("crncy");
    }

    void printFiles()
    {
        const QString folder = AppContext::dataFolder + "/print";
        const QString url = m_order->printHtml("Q1", 0, "<p>Café</p>");
        QCOMPARE(url, QUrl::fromLocalFile(folder + "/Order_Q1.html").toString());
        QCOMPARE(TestEnv::readFile(folder + "/Order_Q1.html"), QString("<p>Café</p>").toUtf8());
        QVERIFY(!m_order->printHtml("Q2", 1, "x").isEmpty());
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList({"Worksheet_Q2.html"}));

        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("unsafe order ID"));
        QCOMPARE(m_order->printHtml("../escape", 0, "x"), QString());
        QVERIFY(!QFile::exists(AppContext::dataFolder + "/escape.html"));

        // a file where the folder should be: the failure is reported, not hidden
        QVERIFY(QDir(folder).removeRecursively() && TestEnv::writeFile(folder, "in the way"));
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("Failed to write print file"));
        QCOMPARE(m_order->printHtml("Q3", 0, "x"), QString());
        QFile::remove(folder);

        // printing a saved order: quote or order by its confirmation, then cleared
        QList<QUrl> opened;
        openPrintFile = [&opened](const QUrl &u) { opened << u; };
        load(kOrder);
        m_order->set_confirmed(false);
        m_order->set_changed(true);
        QVERIFY(m_order->saveOrder(0));
        const QString quote = m_order->printOrder("Q2001", VexaOrder::InProgress, 0);
        QCOMPARE(opened, QList<QUrl>({QUrl::fromLocalFile(folder + "/Quote_Q2001.html")}));
        QCOMPARE(quote, opened.first().toString());
        QVERIFY(m_order->orderID().isEmpty());
        QVERIFY(parseHtml(QString::fromUtf8(TestEnv::readFile(folder + "/Quote_Q2001.html"))).lines.contains("EXCLUDED FROM ORDER"));
        QVERIFY(!m_order->printOrder("Q2001", VexaOrder::InProgress, 1).isEmpty());
        QCOMPARE(opened.last(), QUrl::fromLocalFile(folder + "/Worksheet_Q2001.html"));
    }

private:
    void load(const char *json, const QVariantMap &props = {})
    {
        QJsonObject o = QJsonDocument::fromJson(json).object();
        QVariantMap p = o.value("props").toObject().toVariantMap();
        for (auto it = props.cbegin(); it != props.cend(); ++it)
            p.insert(it.key(), it.value());
        o.insert("props", QJsonObject::fromVariantMap(p));
        m_order->readJson(o);
    }
    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<VexaOrder> m_order;
};

QTEST_MAIN(TestOrderHtml)
#include "tst_orderhtml.moc"
