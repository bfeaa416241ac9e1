// The quote PDF read back with poppler-utils (pdftotext, pdfinfo, pdffonts,
// pdfimages): the review's figures in the order's currency, whole items on
// every page, embedded fonts, the signature as an image, customer text as
// text; and `lattica-cli order pdf` without a display.
#include "app/appcontext.h"
#include "app/appsettings.h"
#include "documents/quotepdf.h"
#include "models/qqmlobjectlistmodel.h"
#include "orders/vexaorder.h"
#include "orders/vexaorderitem.h"
#include "testenv.h"

#include <QBuffer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <cmath>

namespace {

QString run(const QString &program, const QStringList &args, int *exitCode = nullptr)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000))
        return "<" + program + " did not run: " + p.errorString() + ">";
    if (exitCode)
        *exitCode = p.exitCode();
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString money(double v) { return QString::fromUtf8("\u00a3") + QString::number(std::round(v * 100) / 100, 'f', 2); }

// The rows of pdfimages -list below its two header lines.
QStringList images(const QString &pdf)
{
    return run("pdfimages", {"-list", pdf}).split('\n', Qt::SkipEmptyParts).mid(2);
}

QString signaturePng(QSize size)
{
    QImage ink(size, QImage::Format_ARGB32);
    ink.fill(Qt::white);
    QPainter p(&ink);
    p.setPen(QPen(Qt::darkBlue, 4));
    p.drawLine(10, size.height() - 20, size.width() - 10, 15);
    p.drawEllipse(QPoint(size.width() / 3, size.height() / 2), 20, 12);
    p.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ink.save(&buffer, "PNG");
    return "data:image/png;base64," + QString::fromLatin1(png.toBase64());
}

} // namespace

class TestQuotePdf : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestEnv::initApp();
    }
    void init()
    {
        m_data.reset(TestEnv::freshDataFolder());
        AppContext::catalogueProductsFolder = TestEnv::sourcePath("data/catalogue");
        AppContext::userSettings()->setValue("quoteName_s", "Fenwick & <Daughters> Shutters");
        AppContext::userSettings()->setValue("quoteAddress_s", "Unit 4, Mill Road\nBedford MK40 1AB");
        AppContext::userSettings()->setValue("emailconf_s", "sales@fenwick.example");
        AppContext::userSettings()->setValue("quoteTerms_s", "Deposit is <not> refundable & binding.\n\nBalance due on fitting.");
        AppContext::userSettings()->remove("crncy");
    }

    void reviewFiguresInCurrency_data()
    {
        QTest::addColumn<bool>("exVat");
        QTest::newRow("with VAT") << false;
        QTest::newRow("without VAT") << true;
    }

    // The sample order priced from the sample catalogue, two rooms, with
    // additions, a discount and a deposit.
    void reviewFiguresInCurrency()
    {
        QFETCH(bool, exVat);
        VexaOrder order;
        order.autoSave = false;
        QVERIFY(order.readOrderFile(TestEnv::sourcePath("data/sample-order.json")));
        order.set_exVat(exVat);
        order.recalcPrices();
        order.set_fittingCost(85.5);
        order.set_discount(12.5);
        order.set_deposit(250);
        order.set_paytype("card");

        // the figures as the review works them out
        double parts = 0;
        QStringList expected;
        for (int i = 0; i < order.orderItemsModel()->count(); ++i) {
            VexaOrderItem *item = order.orderItemsModel()->get(i);
            const double itemTotal = (item->item_price() + item->extras_price()) * std::max(1, item->bl_multiple());
            QVERIFY2(item->item_price() > 100, "the sample catalogue prices the item");
            parts += itemTotal;
            expected << "Price: " + money(itemTotal);
            for (const QString &row : order.reviewData(i)) {
                const double linePrice = row.split('|').value(1).toDouble();
                if (linePrice > 0.001)
                    expected << money(linePrice);
            }
        }
        const double total = parts + 85.5;
        const double balance = std::round((total - total * 0.125 - 250) * 100) / 100;
        expected << "Items " + money(parts) << "Additions (+/-) " + money(85.5) << "Total " + money(total)
                 << "Discount 12.5% -" + money(total * 0.125) << "Price " + money(balance + 250)
                 << "Deposit (card) " + money(250) << "Balance " + money(balance)
                 << (exVat ? "Prices exclude VAT" : "Prices include VAT");

        const QString pdf = m_data->filePath("quote.pdf");
        QString error;
        QVERIFY2(writeQuotePdf(order, pdf, &error), qPrintable(error));
        const QString text = run("pdftotext", {"-layout", pdf, "-"}).simplified();
        for (const QString &figure : expected)
            QVERIFY2(text.contains(figure), qPrintable(figure + " missing from:\n" + text));
        QVERIFY(!text.contains(exVat ? "Prices include VAT" : "Prices exclude VAT"));
        for (const char *s : {"Fenwick & <Daughters> Shutters", "Unit 4, Mill Road", "Bedford MK40 1AB",
                                 "sales@fenwick.example", "Reference: DEMO-1001", "Mrs Ada Fenwick", "MK9 3QA",
                                 "ada.fenwick@example.com", "1. Kitchen #1", "2. Living Room #1",
                                 "Lattica, Classic MDF, Pure White", "Width 1460 mm × Height 1250 mm",
                                 "Louvre Size: 76mm", "Terms and conditions", "Deposit is <not> refundable & binding.",
                                 "Balance due on fitting."})
            QVERIFY2(text.contains(QString::fromUtf8(s)), qPrintable(QString::fromUtf8(s) + " missing from:\n" + text));
        // the drawings' dimension texts are in the PDF's text
        QVERIFY(text.contains("1460 mm") && text.contains("2200 mm"));
        // unsigned: no image at all (the drawings are lines, not pictures)
        QCOMPARE(images(pdf).size(), 0);

        const QString info = run("pdfinfo", {pdf});
        QVERIFY2(info.contains(QRegularExpression("Page size:\\s+595(\\.\\d+)? x 842(\\.\\d+)? pts \\(A4\\)")), qPrintable(info));
    }

    void manyItemsNeverCut()
    {
        // 40 items of growing option lists over 5 rooms, prices typed by hand
        QJsonArray items;
        for (int n = 0; n < 40; ++n) {
            QJsonArray options;
            for (int o = 0; o <= n % 9; ++o)
                options.append(QJsonObject{{"group", QString("Option %1").arg(o)}, {"description", QString("Choice %1-%2").arg(n).arg(o)}});
            items.append(QJsonObject{{"room", QString("Room %1").arg(n % 5)}, {"width", 1000 + n}, {"drop", 900 + 37 * n},
                                     {"item_price", QString::number(100 + n)}, {"man_price", true}, {"manualPrice", true},
                                     {"product", "Lattica"}, {"options", options},
                                     {"data", QJsonObject{{"PanelConfig", n % 2 ? "LRTLR" : "LLRR"}, {"TPost1", 500 + n}}}});
        }
        const QString file = m_data->filePath("Big.json");
        QVERIFY(TestEnv::writeFile(file, QJsonDocument(QJsonObject{{"orderID", "BIG40"}, {"items", items}}).toJson()));
        VexaOrder order;
        order.autoSave = false;
        QVERIFY(order.readOrderFile(file));
        QCOMPARE(order.orderItemsModel()->count(), 40);
        const QString pdf = m_data->filePath("big.pdf");
        QVERIFY(writeQuotePdf(order, pdf));

        const QRegularExpression pages("Pages:\\s+(\\d+)");
        const int count = pages.match(run("pdfinfo", {pdf})).captured(1).toInt();
        QVERIFY2(count >= 4, qPrintable(QString::number(count)));
        const QStringList pageTexts = run("pdftotext", {"-layout", pdf, "-"}).split('\f');
        QVERIFY(pageTexts.size() >= count);
        // every item's title, size, options, drawing and price on one page
        QSet<int> pagesUsed;
        const QList<VexaOrderItem *> listed = reviewOrderItems(order);
        for (int i = 0; i < listed.size(); ++i) {
            const VexaOrderItem *item = listed[i];
            const int n = item->bl_width() - 1000;
            const QStringList parts{QString("%1. %2 #").arg(i + 1).arg(item->room()),
                                    QString("Width %1 mm × Height %2 mm").arg(item->bl_width()).arg(item->bl_drop()),
                                    QString("Choice %1-0").arg(n), QString("Choice %1-%2").arg(n).arg(n % 9),
                                    QString("%1 mm").arg(item->bl_drop()), "Price: " + money(100 + n)};
            int page = -1;
            for (int p = 0; p < pageTexts.size() && page < 0; ++p)
                if (pageTexts[p].contains(parts.first()))
                    page = p;
            QVERIFY2(page >= 0, qPrintable(parts.first()));
            for (const QString &part : parts)
                QVERIFY2(pageTexts[page].contains(part), qPrintable(QString("page %1 lacks %2").arg(page + 1).arg(part)));
            pagesUsed << page;
        }
        QCOMPARE(pagesUsed.size() >= 3, true);
        QVERIFY(pageTexts.value(0).contains("quote BIG40 – page 1"));
        QVERIFY(pageTexts.value(count - 1).contains(QString("page %1").arg(count)));

        // every font is embedded
        const QStringList fonts = run("pdffonts", {pdf}).split('\n', Qt::SkipEmptyParts).mid(2);
        QVERIFY(!fonts.isEmpty());
        for (const QString &row : fonts) {
            const QStringList cols = row.split(' ', Qt::SkipEmptyParts);
            QVERIFY2(cols.size() >= 5 && cols.at(cols.size() - 5) == "yes", qPrintable(row));
        }
    }

    void signatureAndCustomerText()
    {
        VexaOrder order;
        order.autoSave = false;
        QJsonObject json{{"orderID", "S1"}, {"manOrderID", "REF & <7>"}, {"custName", "<b>Smith</b> & Sons"},
                         {"custAdd", "1 <i>High</i> St\nTown & Gown"}, {"custEmail", "a&b@example.com"},
                         {"items", QJsonArray{QJsonObject{{"room", "<script>x</script>"}, {"width", 900}, {"drop", 1000},
                                                          {"product", "Shutter & <Co>"}, {"notes", "n"},
                                                          {"data", QJsonObject{{"PanelConfig", "LR"}, {"Note", "<hr> & more"}}}}}}};
        order.readJson(json);
        order.set_signature(signaturePng(QSize(320, 120)));
        QVariantMap props = order.properties();
        props.insert("signedDate", "2026-03-04T10:00:00");
        order.set_properties(props);
        const QString pdf = m_data->filePath("signed.pdf");
        QVERIFY(writeQuotePdf(order, pdf));
        const QString text = run("pdftotext", {"-layout", pdf, "-"});
        for (const char *s : {"<b>Smith</b> & Sons", "1 <i>High</i> St", "Town & Gown", "a&b@example.com",
                                 "Reference: REF & <7>", "1. <script>x</script> #1", "Shutter & <Co>", "Note: <hr> & more",
                                 "Signed by the customer on 04 Mar 2026"})
            QVERIFY2(text.contains(QString::fromUtf8(s)), qPrintable(QString::fromUtf8(s) + " missing from:\n" + text));
        const QStringList list = images(pdf);
        QCOMPARE(list.size(), 1);
        const QStringList cols = list.first().split(' ', Qt::SkipEmptyParts);
        QCOMPARE(cols.mid(3, 2), QStringList({"320", "120"}));

        // a signature that is no image is left out rather than failing the quote
        order.set_signature("data:image/png;base64,bm90IGFuIGltYWdl");
        QVERIFY(writeQuotePdf(order, pdf));
        QCOMPARE(images(pdf).size(), 0);
        QVERIFY(!run("pdftotext", {pdf, "-"}).contains("Signed by"));
    }

    void commandLineWithoutDisplay()
    {
        const QString out = m_data->filePath("cli/quote.pdf");
        QProcess cli;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("QT_QPA_PLATFORM");
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        cli.setProcessEnvironment(env);
        cli.start(LTA_BINARY_DIR "/src/lattica-cli",
                  {"order", "pdf", "--data", m_data->path(), TestEnv::sourcePath("data/sample-order.json"), out});
        QVERIFY(cli.waitForFinished(60000));
        QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());
        QVERIFY(run("pdftotext", {out, "-"}).contains("2. Living Room #1"));

        // an unwritable place is refused with a message and exit code 1
        cli.start(LTA_BINARY_DIR "/src/lattica-cli",
                  {"order", "pdf", "--data", m_data->path(), TestEnv::sourcePath("data/sample-order.json"), "/proc/none/q.pdf"});
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitCode(), 1);
        QVERIFY(cli.readAllStandardError().contains("The quote could not be written"));
    }

private:
    std::unique_ptr<QTemporaryDir> m_data;
};

QTEST_MAIN(TestQuotePdf)
#include "tst_quotepdf.moc"
