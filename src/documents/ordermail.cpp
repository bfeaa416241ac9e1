#include "documents/ordermail.h"

#include "app/appcontext.h"
#include "cloud/mailsender.h"
#include "documents/orderhtml.h"
#include "orders/fileutils.h"
#include "orders/vexaorder.h"

#include <QFileInfo>

const char *const kAppMailSender = "Lattica App <no-reply@mg.lattica.app>";

namespace {

QString setting(const char *key)
{
    return AppContext::setting(QLatin1String(key)).toString();
}

bool flag(const char *key, bool fallback = false)
{
    return AppContext::setting(QLatin1String(key), fallback).toBool();
}

// The business's own address: "emailconf_s", else the account's e-mail.
QString confirmationAddress()
{
    const QString configured = setting("emailconf_s");
    return configured.isEmpty() ? setting("regem_s") : configured;
}

// The order's file: where its state puts it, else the queue or the sent
// folder when it lies there.
QString orderFile(const VexaOrder &order)
{
    const QString own = orderFilePath(order.orderState(), order.orderID());
    for (int state : {int(VexaOrder::ForPosting), int(VexaOrder::Posted)}) {
        const QString path = orderFilePath(state, order.orderID());
        if ((own.isEmpty() || !QFileInfo::exists(own)) && !path.isEmpty() && QFileInfo::exists(path))
            return path;
    }
    return own;
}

QString accountName(const VexaOrder &order)
{
    return order.properties().value(QStringLiteral("AccountName")).toString();
}

QString mailBody(const VexaOrder &order, const QString &uploadId)
{
    QString html = orderHtml(order, false);
    if (!uploadId.isEmpty())
        html += QStringLiteral("<p>Upload ID: Shutter_%1.xml").arg(htmlText(uploadId));
    return html;
}

} // namespace

QString mailSenderName(const QString &accountName)
{
    const QString simple = accountName.simplified();
    QString name;
    for (const QChar c : simple) {
        if (c.isLetterOrNumber() || c == QLatin1Char('.') || c == QLatin1Char('-') || c == QLatin1Char('_')
            || c == QLatin1Char('&'))
            name += c;
        else if (c != QLatin1Char('\''))
            name += QLatin1Char('-');
    }
    name.replace(QLatin1String("--"), QLatin1String("-"));
    name.replace(QLatin1String(".."), QLatin1String("."));
    auto trimmable = [](QChar c) { return c == QLatin1Char('.') || c == QLatin1Char('-'); };
    while (!name.isEmpty() && trimmable(name.front()))
        name.remove(0, 1);
    while (!name.isEmpty() && trimmable(name.back()))
        name.chop(1);
    return name;
}

ComposedMail composeSupplierMail(VexaOrder &order, const QString &uploadId)
{
    // Every header value comes from settings or the order file, which
    // arrive from outside: none may carry a line break into the header.
    ComposedMail mail;
    mail.to = MailSender::headerText(setting("ordersemail"));
    if (mail.to.isEmpty())
        return mail;
    mail.subject = MailSender::headerText(
        QStringLiteral("Lattica Order from: %1 Ref: %2").arg(accountName(order), order.manOrderID()));
    mail.from = MailSender::headerText(
        QStringLiteral("%1 <%2>").arg(mailSenderName(accountName(order)), confirmationAddress()));
    mail.html = mailBody(order, uploadId);
    if (!uploadId.isEmpty() && flag("attachXml_b", true))
        mail.attachments << QStringLiteral("%1;Shutter_%2.xml")
                                .arg(AppContext::dataFolder + QStringLiteral("/tmp/Shutter") + order.orderID()
                                         + QStringLiteral(".xml"),
                                     uploadId);
    return mail;
}

ComposedMail composeConfirmationMail(VexaOrder &order, const QString &uploadId)
{
    ComposedMail mail;
    mail.to = MailSender::headerText(confirmationAddress());
    mail.subject =
        MailSender::headerText(QStringLiteral("Your Lattica order has been sent to Heldon: ") + order.manOrderID());
    mail.from = QString::fromLatin1(kAppMailSender);
    mail.html = mailBody(order, uploadId);
    const QString file = orderFile(order);
    if (flag("attachLta_b") && !file.isEmpty())
        mail.attachments << QStringLiteral("%1;%2.lta").arg(file, MailSender::headerText(order.orderID()));
    return mail;
}
