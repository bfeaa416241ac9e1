#include "documents/quotemail.h"

#include "documents/quotepdf.h"
#include "models/qqmlobjectlistmodel.h"
#include "orders/vexaorder.h"
#include "orders/vexaorderitem.h"

#include <QDateTime>
#include <QRegularExpression>

namespace {

// The application's mail domain sends for the business; replies go to the
// business itself.
const char *const kQuoteSenderAddress = "no-reply@mg.lattica.app";

// A display name that cannot break the From header.
QString displayName(const QString &business)
{
    QString out;
    for (QChar c : business.simplified())
        if (c.isLetterOrNumber() || c == QLatin1Char(' ') || QStringLiteral(".-&'_").contains(c))
            out.append(c);
    out = out.simplified();
    return out.isEmpty() ? QStringLiteral("Lattica App") : out;
}

// A file name the recipient sees, from the order reference.
QString attachmentName(const QString &reference)
{
    QString safe = reference;
    safe.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]+")), QStringLiteral("-"));
    return QStringLiteral("Quote-%1.pdf").arg(safe.isEmpty() ? QStringLiteral("order") : safe);
}

bool plausibleAddress(const QString &address)
{
    static const QRegularExpression pattern(QStringLiteral("^[^@\\s<>,;\"]+@[^@\\s<>,;\"]+\\.[^@\\s<>,;\"]+$"));
    return pattern.match(address).hasMatch();
}

} // namespace

QuoteMail composeQuoteMail(VexaOrder &order, const QString &pdfPath)
{
    const QString business = quoteBusinessName();
    const QString reference = quoteReference(order);
    const QuoteFigures figures = quoteFigures(order);
    QuoteMail mail;
    mail.to = order.custEmail().trimmed();
    mail.replyTo = quoteBusinessEmail();
    mail.from = QStringLiteral("%1 <%2>").arg(displayName(business), QLatin1String(kQuoteSenderAddress));
    mail.subject = QStringLiteral("Your quote from ") + business + QStringLiteral(": ") + reference;
    int shutters = 0;
    for (const VexaOrderItem *item : *order.orderItemsModel())
        if (!item->bl_exclude())
            shutters += std::max(1, item->bl_multiple());
    const QString name = order.custName().trimmed();
    mail.html = QStringLiteral("<!doctype html><html><body style=\"font-family:Helvetica, Arial, sans-serif;font-size:14px;\">"
                               "<p>%1</p><p>Thank you for inviting us. Attached is your quote %2 for %3 %4, "
                               "with a drawing of each shutter.</p><p>Total price: <b>%5</b></p>"
                               "<p>Simply reply to this e-mail with any questions.</p><p>%6</p></body></html>")
                    .arg(name.isEmpty() ? QStringLiteral("Hello,") : QStringLiteral("Dear %1,").arg(name.toHtmlEscaped()),
                         reference.toHtmlEscaped())
                    .arg(shutters)
                    .arg(shutters == 1 ? QStringLiteral("shutter") : QStringLiteral("shutters"),
                         moneyWithCurrency(figures.price, figures.currency).toHtmlEscaped(), business.toHtmlEscaped());
    mail.attachments << pdfPath + QLatin1Char(';') + attachmentName(reference);
    return mail;
}

QString sendQuoteMail(VexaOrder &order, const QString &pdfPath, const QuoteMailSend &send)
{
    const QString to = order.custEmail().trimmed();
    if (to.isEmpty())
        return QStringLiteral("The order has no customer e-mail address. Enter it on the order screen first.");
    if (!plausibleAddress(to))
        return QStringLiteral("The customer e-mail address \"%1\" is not valid. Correct it on the order screen first.").arg(to);
    QString error;
    if (!writeQuotePdf(order, pdfPath, &error))
        return error;
    const QuoteMail mail = composeQuoteMail(order, pdfPath);
    if (!send(mail, &error))
        return error.isEmpty() ? QStringLiteral("The quote could not be sent.") : error;
    QVariantMap props = order.properties();
    props.insert(QStringLiteral("quoteSent"), QDateTime::currentDateTime().toString(Qt::ISODate));
    order.set_properties(props);
    if (!order.orderID().isEmpty()) {
        order.set_changed(true);
        // an order already queued for sending stays queued
        order.saveOrder(order.orderState() == VexaOrder::ForPosting ? 1 : 0);
    }
    return QString();
}
