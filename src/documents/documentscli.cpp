#include "documents/documentscli.h"

#include "app/cli.h"
#include "documents/orderhtml.h"
#include "documents/ordermail.h"
#include "orders/orderscli.h"
#include "orders/vexaorder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QJsonObject mailJson(const ComposedMail &mail)
{
    return {{QStringLiteral("to"), mail.to},
            {QStringLiteral("replyTo"), mail.replyTo},
            {QStringLiteral("from"), mail.from},
            {QStringLiteral("subject"), mail.subject},
            {QStringLiteral("html"), mail.html},
            {QStringLiteral("attachments"), QJsonArray::fromStringList(mail.attachments)}};
}

} // namespace

int cliOrderHtml(CliCall &call)
{
    const bool supplier = cliTakeFlag(call.args, QStringLiteral("--supplier"));
    if (call.args.size() != 1) {
        call.err << "usage: lattica-cli order html [--data DIR] [--supplier] FILE_OR_ID\n";
        return 2;
    }
    VexaOrder order;
    if (!cliLoadOrder(order, call.args.first(), call.err))
        return 1;
    call.out << orderHtml(order, !supplier) << '\n';
    return 0;
}

int cliOrderMail(CliCall &call)
{
    if (call.args.size() != 1) {
        call.err << "usage: lattica-cli order mail [--data DIR] FILE_OR_ID\n";
        return 2;
    }
    VexaOrder order;
    if (!cliLoadOrder(order, call.args.first(), call.err))
        return 1;
    // Composed as posting would compose it, with no portal upload in the step.
    const QJsonObject mails{{QStringLiteral("supplier"), mailJson(composeSupplierMail(order, QString()))},
                            {QStringLiteral("confirmation"), mailJson(composeConfirmationMail(order, QString()))}};
    call.out << QString::fromUtf8(QJsonDocument(mails).toJson(QJsonDocument::Compact)) << '\n';
    return 0;
}
