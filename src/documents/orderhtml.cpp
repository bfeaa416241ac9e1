// The order document and supplier e-mail body, the print files and the item
// summary of the price calculators.

#include "documents/orderhtml.h"

#include "app/appcontext.h"
#include "business/businesslookup.h"
#include "documents/shutterdrawing.h"
#include "models/qqmlobjectlistmodel.h"
#include "orders/fileutils.h"
#include "orders/optiongroup.h"
#include "orders/vexaorder.h"
#include "orders/vexaorderitem.h"

#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QSaveFile>

std::function<void(const QUrl &)> openPrintFile = [](const QUrl &url) { QDesktopServices::openUrl(url); };

namespace {

const QString kIndent = QStringLiteral("<p  style='margin-left: 40px'>");

QString indented(const QString &body)
{
    return kIndent + body + QStringLiteral("</p>");
}

QString productLabel(const VexaOrderItem *item)
{
    return item->bl_product().contains(QLatin1String("erfect")) ? QStringLiteral("Vazirar Ada Vevadid")
                                                                : QStringLiteral("Lattica Shutter");
}

void appendItem(QStringList &lines, const VexaOrderItem *item, int number, int total, bool forCustomer)
{
    if (item->bl_exclude() && forCustomer)
        lines << QStringLiteral("<b>EXCLUDED FROM ORDER</b>");
    lines << QStringLiteral("%1 of %2").arg(number).arg(total);
    lines << QStringLiteral("<b>Room: %1</b>").arg(htmlText(item->room()));
    if (item->bl_multiple() > 1)
        lines << QStringLiteral("Multiple:  <b>x%1</b> of this item").arg(item->bl_multiple());
    const QString label = productLabel(item);
    lines << kIndent + QStringLiteral("<b>%1</b>").arg(label);
    lines << QStringLiteral("</b>Width: %1mm Height: %2mm").arg(item->bl_width()).arg(item->bl_drop());
    if (!item->bl_notes().isEmpty())
        lines << QStringLiteral("Notes: %1").arg(htmlText(item->bl_notes()));

    const QQmlObjectListModel<OptionGroup> *groups = item->optionsModel();
    for (int i = 0; i < groups->count(); ++i) {
        const OptionGroup *group = groups->get(i);
        const QString name = group->optionGroup();
        const QString desc = group->description();
        if (desc.isEmpty() || name.endsWith(QLatin1Char('-')) || group->storedCode() == QLatin1String("-"))
            continue;
        QString line = desc == name ? htmlText(desc) : QStringLiteral("%1: %2").arg(htmlText(name), htmlText(desc));
        if (group->isMulti())
            line += QStringLiteral(": x %1").arg(qMax(1, group->multiple()));
        lines << line;
    }
    const QVariantMap data = item->dataMap();
    for (auto it = data.cbegin(); it != data.cend(); ++it) {
        QString key = it.key();
        key.replace(QLatin1Char('_'), QLatin1Char(' '));
        lines << QStringLiteral("%1: %2").arg(htmlText(key), htmlText(it.value().toString()));
    }
    if (!data.contains(QStringLiteral("Flatpack")) && !label.contains(QLatin1String("erfect")))
        lines << QStringLiteral("Pre-assembled: true");
    // the customer's document and the worksheet show what will be made; the
    // supplier's mail stays text
    if (forCustomer && !item->bl_product().contains(QLatin1String("erfect"))) {
        const QString svg = shutterDrawingSvg(*item);
        if (!svg.isEmpty())
            lines << QStringLiteral("<img class=\"drawing\" alt=\"\" width=\"240\" src=\"data:image/svg+xml;base64,%1\">")
                         .arg(QString::fromLatin1(svg.toUtf8().toBase64()));
    }
    lines << QStringLiteral("</p><hr>");
}

} // namespace

QString htmlText(const QString &text)
{
    QString escaped = text.toHtmlEscaped();
    escaped.replace(QLatin1String("\r\n"), QLatin1String("<br>"));
    escaped.replace(QLatin1Char('\n'), QLatin1String("<br>"));
    escaped.replace(QLatin1Char('\r'), QLatin1String("<br>"));
    return escaped;
}

QString orderHtml(const VexaOrder &order, bool forCustomer)
{
    const QVariantMap props = order.properties();
    auto prop = [&props](const char *key) { return props.value(QLatin1String(key)).toString(); };

    QStringList lines;
    lines << QStringLiteral(
        "<!doctype html><html><body style=\"font-family:Helvetica, Arial, sans-serif;font-size:14px;\">");
    if (order.sentDate().isValid())
        lines << QStringLiteral("<i><b>Sent to Supplier: %1</i></b><br>")
                     .arg(order.sentDate().toString(QStringLiteral("dd MMM yyyy hh:mm a")));
    if (order.manOrderID() != order.orderID())
        lines << QStringLiteral("Order Ref: %1").arg(htmlText(order.manOrderID()));
    const QString accountName = prop("AccountName");
    const QString account = accountForBusinessName(accountName);
    lines << QStringLiteral("Order ID: %1<br>").arg(htmlText(order.orderID()))
                 + QStringLiteral("Heldon Account: %1 : %2").arg(htmlText(account), htmlText(accountName));
    const QString collection = prop("list1sel_s");
    if (collection.startsWith(QLatin1String("collect"), Qt::CaseInsensitive))
        lines << htmlText(collection);
    if (props.value(QStringLiteral("da_used")).toBool()) {
        lines << QStringLiteral("<br><b>Deliver to:</b>");
        lines << order.dropAddress();
    } else {
        const QString deliveryName = deliveryNameForDisplayName(account, prop("delAddr"));
        if (!deliveryName.isEmpty())
            lines << QStringLiteral("Deliver To: %1").arg(htmlText(deliveryName));
    }
    if (props.value(QStringLiteral("stilesOnly")).toBool())
        lines << QStringLiteral("Option: STILES ONLY");
    lines << QString();

    if (forCustomer) {
        lines << QStringLiteral("<b>Customer:</b>");
        lines << indented(QStringList{htmlText(order.custName()), htmlText(order.custAddr()),
                                      htmlText(order.custPcode()), htmlText(order.custEmail()),
                                      htmlText(order.custPhone())}
                              .join(QLatin1String("<br>")));
        if (!order.orderNotes().isEmpty()) {
            lines << QStringLiteral("</b><b>Customer Order Notes:</b>");
            lines << indented(htmlText(order.orderNotes()));
        }
    }
    if (!order.jobNotes().isEmpty()) {
        lines << QStringLiteral("<b>Supplier Notes:</b>");
        lines << indented(htmlText(order.jobNotes()));
    }
    for (auto it = props.cbegin(); it != props.cend(); ++it) {
        if (it.key().startsWith(QLatin1String("Extra Handles:")) && it.value().toInt() > 0)
            lines << QStringLiteral("</b></b>%1</b> x %2").arg(htmlText(it.key())).arg(it.value().toInt());
    }

    const QList<VexaOrderItem *> items = order.orderItemsModel()->toList();
    int total = 0;
    for (const VexaOrderItem *item : items) {
        if (forCustomer || !item->bl_exclude())
            total += qMax(1, item->bl_multiple());
    }
    lines << QStringLiteral("<hr>");
    int number = 0;
    for (const VexaOrderItem *item : items) {
        if (!forCustomer && item->bl_exclude())
            continue;
        appendItem(lines, item, ++number, total, forCustomer);
    }
    return lines.join(QLatin1String("<br>"));
}

QString printFolder()
{
    return AppContext::dataFolder + QStringLiteral("/print");
}

QString printFilePath(const QString &name, const QString &orderID)
{
    if (!isSafeOrderId(orderID)) {
        qCritical() << "Refused unsafe order ID (it would name a file outside its folder):" << orderID;
        return QString();
    }
    return QStringLiteral("%1/%2_%3.html").arg(printFolder(), name, orderID);
}

QString writePrintFile(const QString &name, const QString &orderID, const QString &html)
{
    const QString path = printFilePath(name, orderID);
    if (path.isEmpty())
        return QString();
    QDir folder(printFolder());
    if (folder.exists() && !folder.removeRecursively())
        qWarning() << "Failed to empty the print folder" << folder.path();
    QSaveFile file(path);
    if (!QDir().mkpath(folder.path()) || !file.open(QIODevice::WriteOnly) || file.write(html.toUtf8()) < 0
        || !file.commit()) {
        qCritical() << "Failed to write print file" << path << file.errorString();
        return QString();
    }
    return QUrl::fromLocalFile(path).toString();
}

QString VexaOrder::documentHTML(int docType) const
{
    Q_UNUSED(docType) // every caller gets the same document
    return orderHtml(*this, true);
}

QString VexaOrder::printHtml(const QString &orderID, int type, const QString &html)
{
    return writePrintFile(type ? QStringLiteral("Worksheet") : QStringLiteral("Order"), orderID, html);
}

QString VexaOrder::printOrder(const QString &orderID, VexaOrder::OrderState ostate, int type)
{
    if (!isSafeOrderId(orderID) || !loadOrder(orderID, ostate, false)) {
        qCritical() << "printOrder: cannot load" << orderID;
        return QString();
    }
    const QString name = type ? QStringLiteral("Worksheet")
                              : (confirmed() ? QStringLiteral("Order") : QStringLiteral("Quote"));
    const QString url = writePrintFile(name, orderID, orderHtml(*this, true));
    if (!url.isEmpty())
        openPrintFile(QUrl(url));
    clear();
    return url;
}

QString VexaOrderItem::itemInfo(int optionIndex) const
{
    // Inches are written the way the order converts them; an item outside
    // any order (never the case in the program) keeps millimetres.
    const auto *order = qobject_cast<const VexaOrder *>(parent());
    auto length = [this, order](int mm) {
        return m_bl_inches && order ? QStringLiteral("%1in").arg(order->mm2Inches(mm)) : QStringLiteral("%1mm").arg(mm);
    };
    QStringList parts{QStringLiteral("<br>Width:") + length(m_bl_width)};
    if (m_bl_drop > 0)
        parts << QStringLiteral("Height: ") + length(m_bl_drop);
    if (optionIndex == -1 && m_item_price > 0) {
        const QString currency = AppContext::setting(QStringLiteral("crncy"), QStringLiteral("&pound;")).toString();
        parts << (m_manualPrice ? QStringLiteral("<font color='blue'>") : QString())
                     + QStringLiteral("<br>Current Price: <b>%1%2</b>").arg(currency, QString::number(m_item_price, 'f', 2));
    }
    return parts.join(QLatin1Char(' '));
}
