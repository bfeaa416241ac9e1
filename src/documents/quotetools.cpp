#include "documents/quotetools.h"

#include "app/externalopen.h"
#include "cloud/cloudcomms.h"
#include "documents/orderhtml.h"
#include "documents/quotemail.h"
#include "documents/quotepdf.h"
#include "documents/shutterdrawing.h"
#include "orders/vexaorder.h"
#include "orders/vexaorderitem.h"

#include <QDateTime>
#include <QUrl>

QuoteTools::QuoteTools(VexaOrder *order, CloudComms *cloud, QObject *parent)
    : QObject(parent), m_order(order), m_cloud(cloud)
{
}

QString QuoteTools::drawingSvg(QObject *item) const
{
    const auto *orderItem = qobject_cast<VexaOrderItem *>(item);
    return orderItem ? shutterDrawingSvg(*orderItem) : QString();
}

QString QuoteTools::drawingUrl(QObject *item) const
{
    const QString svg = drawingSvg(item);
    return svg.isEmpty() ? QString()
                         : QStringLiteral("data:image/svg+xml;base64,") + QString::fromLatin1(svg.toUtf8().toBase64());
}

QVariantMap QuoteTools::totals()
{
    if (!m_order)
        return {};
    const QuoteFigures f = quoteFigures(*m_order);
    const QString c = f.currency;
    return {{QStringLiteral("parts"), moneyWithCurrency(f.parts, c)},
            {QStringLiteral("additions"), moneyWithCurrency(f.additions, c)},
            {QStringLiteral("total"), moneyWithCurrency(f.total, c)},
            {QStringLiteral("discountPercent"), percentText(f.discountPercent)},
            {QStringLiteral("discount"), moneyWithCurrency(-f.discountAmount, c)},
            {QStringLiteral("price"), moneyWithCurrency(f.price, c)},
            {QStringLiteral("deposit"), moneyWithCurrency(f.deposit, c)},
            {QStringLiteral("balance"), moneyWithCurrency(f.balance, c)},
            {QStringLiteral("vat"), f.exVat ? QStringLiteral("Prices exclude VAT") : QStringLiteral("Prices include VAT")}};
}

QString QuoteTools::quotePdfPath() const
{
    if (!m_order || m_order->orderID().isEmpty())
        return QString();
    // the print files' name check, with the PDF's own extension
    QString path = printFilePath(QStringLiteral("Quote"), m_order->orderID());
    if (path.endsWith(QLatin1String(".html")))
        path = path.chopped(5) + QStringLiteral(".pdf");
    return path;
}

QString QuoteTools::report(const QString &text)
{
    m_lastMessage = text;
    emit message(text);
    return text;
}

QString QuoteTools::openQuotePdf()
{
    const QString path = quotePdfPath();
    if (path.isEmpty())
        return report(QStringLiteral("There is no order to quote."));
    QString error;
    if (!writeQuotePdf(*m_order, path, &error))
        return report(error);
    if (!openExternally(QUrl::fromLocalFile(path)))
        return report(QStringLiteral("The quote was saved as %1 but no program opened it.").arg(path));
    return report(QString());
}

QString QuoteTools::emailQuote()
{
    const QString path = quotePdfPath();
    if (path.isEmpty())
        return report(QStringLiteral("There is no order to quote."));
    CloudComms *cloud = m_cloud;
    const QString result = sendQuoteMail(*m_order, path, [cloud](const QuoteMail &mail, QString *error) {
        if (!cloud) {
            *error = QStringLiteral("Mail cannot be sent from here.");
            return false;
        }
        if (cloud->sendMail(mail.to, mail.replyTo, mail.from, mail.subject, mail.html, mail.attachments))
            return true;
        *error = cloud->lastMessage();
        return false;
    });
    return report(result);
}

void QuoteTools::signatureTaken()
{
    if (!m_order)
        return;
    QVariantMap props = m_order->properties();
    props.insert(QStringLiteral("signedDate"), QDateTime::currentDateTime().toString(Qt::ISODate));
    m_order->set_properties(props);
    m_order->set_changed(true);
}
