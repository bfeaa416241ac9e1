#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class VexaOrder;

// The quote e-mail to the order's customer: arguments of the mail request,
// attachments as "local path;name the recipient sees".
struct QuoteMail
{
    QString to, replyTo, from, subject, html;
    QStringList attachments;
};

// To the customer's e-mail, replies to the business's own address, subject
// "Your quote from <business>: <reference>", a short HTML body, the PDF at
// pdfPath attached.
QuoteMail composeQuoteMail(VexaOrder &order, const QString &pdfPath);

// Delivers one mail; false with the reason in *error.
using QuoteMailSend = std::function<bool(const QuoteMail &mail, QString *error)>;

// Writes the quote PDF to pdfPath, sends it, and only when the mail was
// accepted records the time in the order's properties ("quoteSent") and
// saves the order. Returns "" or the message to show.
QString sendQuoteMail(VexaOrder &order, const QString &pdfPath, const QuoteMailSend &send);
