#include "documents/quotepdf.h"

#include "app/appcontext.h"
#include "documents/shutterdrawing.h"
#include "models/qqmlobjectlistmodel.h"
#include "orders/inches.h"
#include "orders/vexaorder.h"
#include "orders/vexaorderitem.h"
#include "pricing/margins.h"
#include "pricing/pricecalc.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSortFilterProxyModel>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>

#include <cmath>
#include <memory>

QString currencyText()
{
    const QString setting = AppContext::setting(QStringLiteral("crncy"), QStringLiteral("&pound;")).toString();
    // the setting is written for HTML documents (an entity such as "&pound;")
    return QTextDocumentFragment::fromHtml(setting).toPlainText();
}

QString moneyWithCurrency(double value, const QString &currency)
{
    const double cents = std::round(value * 100) / 100;
    return (cents < 0 ? QStringLiteral("-") : QString()) + currency + moneyText(std::abs(cents));
}

QString percentText(double percent)
{
    QString s = QString::number(percent, 'f', 4);
    while (s.contains(QLatin1Char('.')) && (s.endsWith(QLatin1Char('0')) || s.endsWith(QLatin1Char('.'))))
        s.chop(1);
    return s == QLatin1String("-0") ? QStringLiteral("0") : s;
}

QuoteFigures quoteFigures(VexaOrder &order)
{
    QuoteFigures f;
    f.parts = order.sumPartsPrice();
    f.additions = order.fittingCost();
    f.total = f.parts + f.additions;
    f.discountPercent = order.discount();
    f.discountAmount = PriceCalc::round2(f.total * f.discountPercent / 100);
    f.deposit = order.deposit();
    f.balance = PriceCalc::reviewBalance(f.total, f.discountPercent, f.deposit);
    f.price = f.balance + f.deposit;
    f.exVat = order.exVat();
    f.currency = currencyText();
    return f;
}

QList<VexaOrderItem *> reviewOrderItems(const VexaOrder &order)
{
    // a view of our own: the review's proxy stays as the screens left it
    QQmlObjectListModel<VexaOrderItem> *items = order.orderItemsModel();
    QSortFilterProxyModel byRoom;
    byRoom.setSourceModel(items);
    const int role = items->roleForName("room");
    byRoom.setSortRole(role < 0 ? int(Qt::DisplayRole) : role);
    byRoom.sort(0, Qt::AscendingOrder);
    QList<VexaOrderItem *> out;
    for (int row = 0; row < byRoom.rowCount(); ++row)
        out << items->get(byRoom.mapToSource(byRoom.index(row, 0)).row());
    return out;
}

QString quoteBusinessName()
{
    const QString own = AppContext::setting(QStringLiteral("quoteName_s")).toString().trimmed();
    return own.isEmpty() ? AppContext::setting(QStringLiteral("bus_s")).toString().trimmed() : own;
}

QString quoteBusinessEmail()
{
    const QString conf = AppContext::setting(QStringLiteral("emailconf_s")).toString().trimmed();
    return conf.isEmpty() ? AppContext::setting(QStringLiteral("regem_s")).toString().trimmed() : conf;
}

QString quoteReference(const VexaOrder &order)
{
    const QString ref = order.manOrderID().trimmed();
    return ref.isEmpty() ? order.orderID() : ref;
}

namespace {

QString esc(const QString &s)
{
    return s.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>"));
}

QString sizeText(const VexaOrderItem &item)
{
    if (item.bl_inches() && !inchesText(item.bl_width()).isEmpty() && !inchesText(item.bl_drop()).isEmpty())
        return QStringLiteral("Width %1 in \u00d7 Height %2 in (%3 \u00d7 %4 mm)")
            .arg(inchesText(item.bl_width()), inchesText(item.bl_drop()))
            .arg(item.bl_width())
            .arg(item.bl_drop());
    return QStringLiteral("Width %1 mm \u00d7 Height %2 mm").arg(item.bl_width()).arg(item.bl_drop());
}

// The signature's data URL ("data:image/png;base64,...") as an image.
QImage signatureImage(const QString &signature)
{
    const int comma = signature.indexOf(QLatin1Char(','));
    if (!signature.startsWith(QLatin1String("data:image/")) || comma < 0)
        return QImage();
    return QImage::fromData(QByteArray::fromBase64(signature.mid(comma + 1).toLatin1()));
}

// Places blocks down the pages: a block that does not fit on what is left
// of a page starts the next one, so nothing is cut by a page break.
class PageFlow
{
public:
    PageFlow(QPdfWriter &writer, QPainter &painter, const QString &footer)
        : m_writer(writer), m_painter(painter), m_footer(footer)
    {
        m_font = QFont(QStringLiteral("DejaVu Sans"));
        m_font.setPointSizeF(9.5);
        m_width = writer.width();
        m_footerHeight = mm(8);
        m_height = writer.height() - m_footerHeight;
    }

    double mm(double v) const { return v * m_writer.resolution() / 25.4; }
    double width() const { return m_width; }
    double y() const { return m_y; }
    void advance(double h) { m_y += h; }

    std::unique_ptr<QTextDocument> document(const QString &html, double width, double pointSize = 0) const
    {
        auto doc = std::make_unique<QTextDocument>();
        doc->documentLayout()->setPaintDevice(&m_writer);
        QFont font = m_font;
        if (pointSize > 0)
            font.setPointSizeF(pointSize);
        doc->setDefaultFont(font);
        doc->setDocumentMargin(0);
        doc->setTextWidth(width);
        doc->setHtml(html);
        // no ligatures: a viewer's search and copy then find "fi" as typed
        QTextCursor all(doc.get());
        all.select(QTextCursor::Document);
        QTextCharFormat spacing;
        spacing.setFontLetterSpacingType(QFont::AbsoluteSpacing);
        spacing.setFontLetterSpacing(0.05);
        all.mergeCharFormat(spacing);
        return doc;
    }

    // Room for h more on this page, else a new page.
    void ensure(double h)
    {
        if (m_y > 0 && m_y + h > m_height)
            newPage();
    }
    void newPage()
    {
        footer();
        m_writer.newPage();
        ++m_page;
        m_y = 0;
    }
    void footer()
    {
        m_painter.save();
        QFont font = m_font;
        font.setPointSizeF(7.5);
        m_painter.setFont(font);
        m_painter.setPen(QColor(0x77, 0x77, 0x77));
        m_painter.drawText(QRectF(0, m_height + m_footerHeight / 3, m_width, m_footerHeight * 2 / 3),
                           Qt::AlignRight | Qt::AlignVCenter, m_footer + QStringLiteral(" \u2013 page %1").arg(m_page));
        m_painter.restore();
    }
    void draw(QTextDocument &doc, double x, double y)
    {
        m_painter.save();
        m_painter.translate(x, y);
        doc.drawContents(&m_painter);
        m_painter.restore();
    }
    void rule()
    {
        m_painter.save();
        m_painter.setPen(QPen(QColor(0xbb, 0xbb, 0xbb), mm(0.3)));
        m_painter.drawLine(QPointF(0, m_y), QPointF(m_width, m_y));
        m_painter.restore();
    }

private:
    QPdfWriter &m_writer;
    QPainter &m_painter;
    QString m_footer;
    QFont m_font;
    double m_width = 0, m_height = 0, m_footerHeight = 0, m_y = 0;
    int m_page = 1;
};

QString headerHtml(const VexaOrder &order, const QString &reference)
{
    const QString business = quoteBusinessName();
    const QString address = AppContext::setting(QStringLiteral("quoteAddress_s")).toString().trimmed();
    const QString email = quoteBusinessEmail();
    const QDateTime when = order.date().isValid() ? order.date() : QDateTime::currentDateTime();
    QString left = QStringLiteral("<span style=\"font-size:15pt\"><b>%1</b></span>").arg(esc(business));
    if (!address.isEmpty())
        left += QStringLiteral("<br>") + esc(address);
    if (!email.isEmpty())
        left += QStringLiteral("<br>") + esc(email);
    const QString right = QStringLiteral("<span style=\"font-size:15pt\"><b>Quote</b></span><br>Reference: %1<br>Date: %2")
                              .arg(esc(reference), when.date().toString(QStringLiteral("dd MMM yyyy")));
    return QStringLiteral("<table width=\"100%\" cellspacing=\"0\" cellpadding=\"0\"><tr><td valign=\"top\">%1</td>"
                          "<td valign=\"top\" align=\"right\">%2</td></tr></table>")
        .arg(left, right);
}

QString customerHtml(const VexaOrder &order)
{
    QStringList lines;
    for (const QString &s : {order.custName(), order.custAddr(), order.custPcode(), order.custPhone(), order.custEmail()})
        if (!s.trimmed().isEmpty())
            lines << esc(s.trimmed());
    if (lines.isEmpty() && !order.custAddress().trimmed().isEmpty())
        lines << esc(order.custAddress().trimmed());
    return QStringLiteral("<b>Quote for</b><br>") + lines.join(QStringLiteral("<br>"));
}

QString itemHtml(VexaOrder &order, VexaOrderItem &item, int number, const QString &title, const QString &currency)
{
    const int q = std::max(1, item.bl_multiple());
    const bool handles = item.bl_product().contains(QLatin1String("erfect"));
    QString html = QStringLiteral("<b>%1. %2</b>").arg(number).arg(esc(title));
    if (q > 1)
        html += QStringLiteral(" \u00d7 %1").arg(q);
    QStringList product;
    for (const QString &s : {item.bl_product(), item.bl_range(), item.bl_color()})
        if (!s.isEmpty())
            product << esc(s);
    if (!product.isEmpty())
        html += QStringLiteral("<br>") + product.join(QStringLiteral(", "));
    html += QStringLiteral("<br>") + esc(sizeText(item));
    html += QStringLiteral("<table cellspacing=\"0\" cellpadding=\"1\" width=\"100%\">");
    const QStringList rows = order.reviewData(order.orderItemsModel()->indexOf(&item));
    // the review's rows: the product kind (named above), the size with the
    // item's own price, then options and measures with theirs
    for (int i = 1; i < rows.size(); ++i) {
        const QStringList cells = rows[i].split(QLatin1Char('|'));
        const double price = cells.value(1).toDouble();
        if (i == 1 && price <= 0.001)
            continue;
        html += QStringLiteral("<tr><td>%1</td><td align=\"right\">%2</td></tr>")
                    .arg(i == 1 ? (handles ? QStringLiteral("Blind") : QStringLiteral("Shutter")) : esc(cells.value(0)),
                         price > 0.001 ? moneyWithCurrency(price, currency) : QString());
    }
    html += QStringLiteral("</table>");
    const double total = (item.item_price() + item.extras_price()) * q;
    html += QStringLiteral("<p style=\"margin-top:4px\"><b>Price: %1</b>%2</p>")
                .arg(moneyWithCurrency(total, currency),
                     item.bl_exclude() ? QStringLiteral(" <i>(not included in the total)</i>") : QString());
    return html;
}

QString totalsHtml(const VexaOrder &order, const QuoteFigures &f)
{
    const QString c = f.currency;
    QList<QPair<QString, QString>> rows{
        {QStringLiteral("Items"), moneyWithCurrency(f.parts, c)},
        {QStringLiteral("Additions (+/-)"), moneyWithCurrency(f.additions, c)},
        {QStringLiteral("Total"), moneyWithCurrency(f.total, c)},
        {QStringLiteral("Discount %1%").arg(percentText(f.discountPercent)), moneyWithCurrency(-f.discountAmount, c)},
        {QStringLiteral("Price"), moneyWithCurrency(f.price, c)},
        {order.paytype().isEmpty() || f.deposit == 0 ? QStringLiteral("Deposit")
                                                     : QStringLiteral("Deposit (%1)").arg(esc(order.paytype())),
         moneyWithCurrency(f.deposit, c)},
        {QStringLiteral("<b>Balance</b>"), QStringLiteral("<b>%1</b>").arg(moneyWithCurrency(f.balance, c))}};
    QString html = QStringLiteral("<table align=\"right\" cellspacing=\"0\" cellpadding=\"2\">");
    for (const auto &row : rows)
        html += QStringLiteral("<tr><td>%1</td><td width=\"30\"></td><td align=\"right\">%2</td></tr>").arg(row.first, row.second);
    html += QStringLiteral("<tr><td colspan=\"3\" align=\"right\"><i>%1</i></td></tr></table>")
                .arg(f.exVat ? QStringLiteral("Prices exclude VAT") : QStringLiteral("Prices include VAT"));
    return html;
}

// "Room #n": n counts the room's items in the order's own item order.
QString itemTitle(const VexaOrder &order, const VexaOrderItem &item)
{
    int n = 0;
    for (const VexaOrderItem *other : *order.orderItemsModel()) {
        if (other->room() == item.room())
            ++n;
        if (other == &item)
            break;
    }
    return QStringLiteral("%1 #%2").arg(item.room()).arg(n);
}

} // namespace

bool writeQuotePdf(VexaOrder &order, const QString &path, QString *error)
{
    auto fail = [error, &path](const QString &why) {
        if (error)
            *error = QStringLiteral("The quote could not be written to %1: %2").arg(QDir::toNativeSeparators(path), why);
        return false;
    };
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return fail(QStringLiteral("the folder cannot be made"));
    const QuoteFigures figures = quoteFigures(order);
    const QString reference = quoteReference(order);
    // written beside and renamed into place: a viewer never opens half a file
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    {
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(15, 15, 15, 12), QPageLayout::Millimeter);
        writer.setResolution(300);
        writer.setTitle(QStringLiteral("Quote %1").arg(reference));
        writer.setCreator(QStringLiteral("Lattica"));
        QPainter painter;
        if (!painter.begin(&writer))
            return fail(QStringLiteral("the PDF cannot be started"));
        painter.setRenderHint(QPainter::Antialiasing);
        PageFlow flow(writer, painter, quoteBusinessName() + QStringLiteral(" \u2013 quote ") + reference);
        const double W = flow.width();

        auto block = [&flow](QTextDocument &doc, double gapAfter) {
            const double h = doc.size().height();
            flow.ensure(h);
            flow.draw(doc, 0, flow.y());
            flow.advance(h + gapAfter);
        };
        auto header = flow.document(headerHtml(order, reference), W);
        block(*header, flow.mm(6));
        auto customer = flow.document(customerHtml(order), W);
        block(*customer, flow.mm(6));

        // items: text on the left, the drawing on the right, kept together
        const double drawW = flow.mm(68), gap = flow.mm(5), maxDrawH = flow.mm(62);
        int number = 0;
        for (VexaOrderItem *item : reviewOrderItems(order)) {
            auto text = flow.document(itemHtml(order, *item, ++number, itemTitle(order, *item), figures.currency),
                                      W - drawW - gap);
            const ShutterDrawing drawing = shutterDrawing(*item);
            double drawH = 0;
            if (drawing.width > 0)
                drawH = std::min(maxDrawH, drawW * drawing.bounds.height() / drawing.bounds.width());
            const double pad = flow.mm(3);
            const double h = std::max(text->size().height(), drawH) + 2 * pad;
            flow.ensure(h);
            flow.rule();
            flow.draw(*text, 0, flow.y() + pad);
            if (drawH > 0)
                paintShutter(painter, QRectF(W - drawW, flow.y() + pad, drawW, drawH), drawing);
            flow.advance(h);
        }
        flow.rule();
        flow.advance(flow.mm(3));

        auto totals = flow.document(totalsHtml(order, figures), W, 10.5);
        block(*totals, flow.mm(6));

        const QImage signature = signatureImage(order.signature());
        if (!signature.isNull()) {
            const QDateTime signedAt = order.properties().value(QStringLiteral("signedDate")).toDateTime();
            const QDateTime when = signedAt.isValid() ? signedAt : order.date();
            auto label = flow.document(QStringLiteral("<b>Signed by the customer</b>%1")
                                           .arg(when.isValid() ? QStringLiteral(" on ")
                                                                     + when.date().toString(QStringLiteral("dd MMM yyyy"))
                                                               : QString()),
                                       W);
            const QSizeF box(flow.mm(70), flow.mm(28));
            const QSizeF size = QSizeF(signature.size()).scaled(box, Qt::KeepAspectRatio);
            const double h = label->size().height() + flow.mm(2) + size.height();
            flow.ensure(h);
            flow.draw(*label, 0, flow.y());
            painter.drawImage(QRectF(QPointF(0, flow.y() + label->size().height() + flow.mm(2)), size), signature);
            flow.advance(h + flow.mm(6));
        }

        const QString terms = AppContext::setting(QStringLiteral("quoteTerms_s")).toString().trimmed();
        if (!terms.isEmpty()) {
            // terms may be long: one block per paragraph, so only whole
            // paragraphs move to the next page
            auto title = flow.document(QStringLiteral("<b>Terms and conditions</b>"), W);
            const QStringList paragraphs = terms.split(QLatin1Char('\n'));
            auto first = flow.document(esc(paragraphs.first()), W, 8);
            flow.ensure(title->size().height() + first->size().height());
            block(*title, flow.mm(1.5));
            for (const QString &paragraph : paragraphs) {
                auto doc = flow.document(paragraph.trimmed().isEmpty() ? QStringLiteral("&nbsp;") : esc(paragraph), W, 8);
                block(*doc, flow.mm(0.8));
            }
        }
        flow.footer();
        if (!painter.end())
            return fail(QStringLiteral("the PDF cannot be finished"));
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}
