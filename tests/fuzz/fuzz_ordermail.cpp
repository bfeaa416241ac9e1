// Mail composition from order files: any order file that the order loading
// accepts is composed into the supplier's mail and the confirmation, with an
// account name and addresses taken from the input as well. No header value
// (to, from, reply-to, subject, attachment names) may hold a control
// character or a line break, and the order's reference must still be there
// once those are taken out.
#include "fuzzsupport.h"

#include "app/appcontext.h"
#include "app/appsettings.h"
#include "cloud/mailsender.h"
#include "documents/ordermail.h"
#include "orders/vexaorder.h"

#include <QFile>

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        Fuzz::fail("cannot write", path.toUtf8());
}

void checkHeader(const char *what, const QString &value)
{
    for (const QChar c : value) {
        const QChar::Category cat = c.category();
        if (cat == QChar::Other_Control || cat == QChar::Separator_Line || cat == QChar::Separator_Paragraph)
            Fuzz::fail(what, value.toUtf8().toHex());
    }
}

void checkMail(const ComposedMail &mail)
{
    checkHeader("control character in to", mail.to);
    checkHeader("control character in from", mail.from);
    checkHeader("control character in reply-to", mail.replyTo);
    checkHeader("control character in subject", mail.subject);
    for (const QString &a : mail.attachments)
        checkHeader("control character in an attachment name", a.section(QLatin1Char(';'), 1));
}

// What is left of a text once control characters are taken out, without blanks.
QString visible(const QString &text)
{
    QString out;
    for (const QChar c : text)
        if (!c.isSpace() && c.category() != QChar::Other_Control && c.category() != QChar::Separator_Line
            && c.category() != QChar::Separator_Paragraph)
            out += c;
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::setUp();
    if (!AppContext::userSettings())
        AppContext::openSettings();
    const QByteArray input = Fuzz::bytes(data, size);
    // The first line sets the addresses (as a shared configuration would),
    // the rest is the order file.
    const int newline = input.indexOf('\n');
    const QString head = QString::fromUtf8(newline < 0 ? QByteArray() : input.left(newline));
    const QByteArray file = newline < 0 ? input : input.mid(newline + 1);
    appSettings *user = AppContext::userSettings();
    user->setValue(QStringLiteral("ordersemail"), head.section(QLatin1Char('|'), 0, 0) + QStringLiteral("orders@supplier.test"));
    user->setValue(QStringLiteral("emailconf_s"), head.section(QLatin1Char('|'), 1, 1));
    user->setValue(QStringLiteral("regem_s"), QStringLiteral("acc@example.com") + head.section(QLatin1Char('|'), 2, 2));
    user->setValue(QStringLiteral("attachXml_b"), true);
    user->setValue(QStringLiteral("attachLta_b"), true);

    const QString path = AppContext::dataFolder + QStringLiteral("/fuzz-mail-order");
    writeFile(path, file);
    VexaOrder order;
    order.autoSave = false;
    if (!order.readOrderFile(path))
        return 0;
    const ComposedMail supplier = composeSupplierMail(order, QStringLiteral("C123456_1700000000000"));
    const ComposedMail confirmation = composeConfirmationMail(order, QStringLiteral("C123456_1700000000000"));
    checkMail(supplier);
    checkMail(confirmation);
    if (!visible(supplier.subject).contains(visible(order.manOrderID())))
        Fuzz::fail("the reference is lost from the subject", order.manOrderID().toUtf8().toHex());
    // and the mail request itself cleans what it is handed
    checkHeader("header text kept a control character", MailSender::headerText(QString::fromUtf8(file)));
    return 0;
}
