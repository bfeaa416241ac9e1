// Posting: the chain that empties "xfer/" and "post/", the steps that mail
// and move one order, the tracking copy and the log mail.

#include "app/appcontext.h"
#include "app/appsettings.h"
#include "cloud/cloudcomms.h"
#include "cloud/portalsubmission.h"
#include "cloud/postingjournal.h"
#include "documents/ordermail.h"
#include "orders/fileutils.h"
#include "orders/orderwriter.h"
#include "orders/vexaorder.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>

namespace {

QVariant setting(const QString &key, const QVariant &def = QVariant())
{
    return AppContext::setting(key, def);
}

} // namespace

void CloudComms::stopPosting()
{
    // The task runner clears its own flag when it stops; posting keeps one
    // of its own so a task run cannot undo a Cancel. A running task queue
    // stops too; with none running the flag would only drop the next
    // queued task.
    m_postStop = true;
    if (m_busy)
        m_stop = true;
}

VexaOrder *CloudComms::postingOrder()
{
    // Orders are loaded into an object of their own: the interface's order
    // may be open on screen.
    if (!m_postOrder)
        m_postOrder = new VexaOrder(this);
    m_postOrder->clear();
    return m_postOrder;
}

QVariantMap CloudComms::postingOrderInfo() const
{
    if (!m_postOrder || m_postOrder->orderID().isEmpty())
        return {};
    const QString id = m_postOrder->orderID();
    // the step may have moved the file on to "posted/" already
    const bool sent = QFileInfo::exists(AppContext::stateFolder(VexaOrder::Posted) + id);
    return {{QStringLiteral("orderID"), id},
            {QStringLiteral("orderState"), int(sent ? VexaOrder::Posted : VexaOrder::ForPosting)},
            {QStringLiteral("custEmail"), m_postOrder->custEmail()},
            {QStringLiteral("mailCheckResult"), m_postOrder->mailCheckResult()}};
}

void CloudComms::asyncPostOrders()
{
    if (m_posting) {
        // A chain waits in a step (a mail, an upload): Send after Cancel lets
        // that chain go on instead of starting a second one over the same
        // files.
        m_postStop = false;
        return;
    }
    m_posting = true;
    m_postStop = false;
    m_lastMessage.clear();
    if (!checkInternet()) {
        m_lastMessage = QStringLiteral("You are not connected to the internet");
        emit asyncResult(m_lastMessage);
        finishPosting(false);
        return;
    }
    if (!staffCheck()) {
        emit asyncResult(m_lastMessage);
        finishPosting(false);
        return;
    }
    m_lastMessage.clear();
    emit orderPosted();
}

void CloudComms::finishPosting(bool emptied)
{
    m_posting = false;
    emit postingFinished(emptied);
}

void CloudComms::_postNextOrder()
{
    if (!m_posting)
        return;
    if (m_postStop) {
        finishPosting(false);
        return;
    }
    m_lastMessage.clear();
    const int t = sendNextTransfer();
    if (t != 0) {
        if (t > 0 && !m_postStop)
            emit orderPosted();
        else
            finishPosting(false);
        return;
    }
    m_lastMessage.clear();
    const int p = postNextOrder();
    if (p > 0) {
        emit orderPosted();
    } else if (p < 0) {
        finishPosting(false);
    } else {
        emit asyncResult(QString());
        finishPosting(true);
    }
}

int CloudComms::postNextOrder()
{
    const QString folder = AppContext::stateFolder(VexaOrder::ForPosting);
    const QStringList files = QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    if (files.isEmpty())
        return 0;
    const QString name = files.first();
    const QString path = folder + name;

    if (name.endsWith(QLatin1String(".xml"))) {
        // a leftover of an old export; deleted like any order file, with a backup
        if (!removeOrderFile(path)) {
            m_lastMessage = QStringLiteral("Failed to delete ") + name + QLatin1Char(' ') + AppContext::lastFileError;
            emit asyncResult(m_lastMessage);
            return -1;
        }
        return 1;
    }

    qInfo() << "mgPost " << name;
    if (!backupCopy(path)) {
        m_lastMessage = AppContext::lastFileError;
        emit asyncResult(m_lastMessage);
        return -1;
    }

    // What an earlier run already did for this very file content.
    const QString digest = postingFileDigest(path);
    PostingJournalEntry journal = postingJournal(name);
    if (journal.matches(digest)) {
        qInfo() << "mgPost resuming" << name << "mailed" << journal.mailed << "upload" << journal.upload;
        journal.digest = digest;
    } else {
        journal = PostingJournalEntry();
        journal.orderId = name;
        journal.digest = digest;
    }

    VexaOrder *order = postingOrder();
    if (digest.isEmpty() || !order->loadOrder(name, VexaOrder::ForPosting, false)) {
        m_lastMessage = QStringLiteral("Failed to load order ") + name;
        emit asyncResult(m_lastMessage);
        return -1;
    }

    QString uploadId = journal.upload;
    if (uploadId.isEmpty() && !journal.mailed) {
        const PortalSubmission portal =
            submitOrderToPortal(*this, path, order->properties().value(QStringLiteral("AccountName")).toString());
        if (!portal.ok) {
            order->set_sentDate(QDateTime());
            m_lastMessage = portal.message;
            emit asyncResult(m_lastMessage);
            return -1;
        }
        if (!portal.uploadId.isEmpty()) {
            uploadId = portal.uploadId;
            journal.upload = uploadId;
            storePostingJournal(journal);
        }
    }

    // A resumed order keeps the time its mail went.
    if (!journal.mailed || !order->sentDate().isValid())
        order->set_sentDate(QDateTime::currentDateTime());

    QString confirmationMessage;
    if (!setting(QStringLiteral("ordersemail")).toString().isEmpty()) {
        if (!journal.mailed) {
            const ComposedMail mail = composeSupplierMail(*order, uploadId);
            if (!sendMail(mail.to, mail.replyTo, mail.from, mail.subject, mail.html, mail.attachments)) {
                qDebug() << "Failed to send email to " + mail.to;
                emit asyncResult(m_lastMessage);
                return -1;
            }
            qInfo() << "Email sent to " << mail.to << mail.subject;
            journal.mailed = true;
            storePostingJournal(journal);
        }
        if (!journal.confirmed) {
            const ComposedMail mail = composeConfirmationMail(*order, uploadId);
            if (sendMail(mail.to, mail.replyTo, mail.from, mail.subject, mail.html, mail.attachments)) {
                qInfo() << "Email sent to " << mail.to;
            } else {
                qDebug() << "Failed to send email to " + mail.to;
                confirmationMessage = m_lastMessage;
            }
            journal.confirmed = true;
            storePostingJournal(journal);
        }
    }

    // Saved in the posted form in "post/" first, then moved: the journal
    // knows both contents, so a crash in between never mails again.
    order->xto.clear();
    order->xfrom = setting(QStringLiteral("userID_s")).toString();
    const QByteArray bytes = QJsonDocument(order->toJson()).toJson(QJsonDocument::Compact);
    journal.savedDigest = postingBytesDigest(bytes);
    storePostingJournal(journal);
    if (!OrderWriter::commit(path, bytes)) {
        m_lastMessage = QStringLiteral("Failed to save order ") + name;
        emit asyncResult(m_lastMessage);
        return -1;
    }
    if (!order->markAsSent(name)) {
        m_lastMessage = QStringLiteral("Failed to move order to posted:") + name;
        emit asyncResult(m_lastMessage);
        return -1;
    }
    clearPostingJournal(name);

    m_lastMessage = confirmationMessage;
    emit asyncResult(m_lastMessage);
    // A failed confirmation is reported, but the order did go: it is tracked.
    if (setting(QStringLiteral("saveins3_b"), false).toBool()
        && !trackingCopy(AppContext::stateFolder(VexaOrder::Posted) + name, name)) {
        m_lastMessage = QStringLiteral("emails sent OK but failed to send to tracking.");
        emit asyncResult(m_lastMessage);
    }
    return 1;
}

bool CloudComms::trackingCopy(const QString &postedPath, const QString &fileName)
{
    const QString account = m_regEmail.isEmpty() ? setting(QStringLiteral("regem_s")).toString() : m_regEmail;
    if (!uploadFile(postedPath, account + QStringLiteral("/jbs/") + fileName + QStringLiteral(".vexa"), true)) {
        qDebug() << "Failed to save order in cloud.";
        return false;
    }
    // Other devices of the account look for this marker to see new tracking copies.
    if (!putAndCheck(QByteArray(), QStringLiteral("%1/mod/%2").arg(account, QStringLiteral("jbs")),
                     QLatin1String(kBucket))) {
        qDebug() << "Failed to save order in cloud.";
        return false;
    }
    qInfo() << "Uploaded to S3" << fileName;
    return true;
}

bool CloudComms::sendLogs()
{
    const QString logs = AppContext::dataFolder + QStringLiteral("/logs/");
    if (!QFileInfo::exists(logs + QStringLiteral("diag1.txt"))) {
        m_lastMessage = QStringLiteral("No logs to send");
        return false;
    }
    QStringList attachments{logs + QStringLiteral("diag1.txt;diag1.txt")};
    if (QFileInfo::exists(logs + QStringLiteral("diag2.txt")))
        attachments << logs + QStringLiteral("diag2.txt;diag2.txt");
    const QString subject = QStringLiteral("Logs from: ") + setting(QStringLiteral("bus_s")).toString();
    const QString text =
        QStringLiteral("%1 emailconf_s=%2").arg(subject, setting(QStringLiteral("emailconf_s")).toString());
    return sendMail(supportAddress(), QString(), QString::fromLatin1(kAppMailSender), subject, text, attachments);
}
