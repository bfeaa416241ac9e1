#pragma once

#include <QString>
#include <QStringList>

class VexaOrder;

// One composed e-mail, as the arguments of the mail request. Attachments are
// "local path;name the recipient sees".
struct ComposedMail
{
    QString to, replyTo, from, subject, html;
    QStringList attachments;
};

// The account name made safe for a mail header's display name.
QString mailSenderName(const QString &accountName);

// The order to the supplier's order desk; "to" is empty when no order-desk
// address ("ordersemail") is set, and then no mail is sent. uploadId names
// the portal upload made in this posting step: only then does the body name
// it and, with "attachXml_b", carry the exported file.
ComposedMail composeSupplierMail(VexaOrder &order, const QString &uploadId);
// The copy for the business itself, with the same body.
ComposedMail composeConfirmationMail(VexaOrder &order, const QString &uploadId);

// The application's own sender of confirmations.
extern const char *const kAppMailSender;
