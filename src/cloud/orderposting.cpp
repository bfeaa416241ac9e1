// Posting: the chain that empties "xfer/" and "post/", the steps that mail
// and move one order, the tracking copy and the log mail.

#include "app/appcontext.h"
#include "app/appsettings.h"
#include "cloud/cloudcomms.h"
#include "cloud/mailsender.h"
#include "cloud/portalsubmission.h"
#include "cloud/postingjournal.h"
#include "documents/ordermail.h"
#include "orders/fileutils.h"
#include "orders/orderwriter.h"
#include "orders/vexaorder.h"

#include <QDebug>
#include <QDir>
#include <QEventLoop>
#include <QTimer>
#include <QFileInfo>
#include <QJsonDocument>

namespace {

QVariant setting(const QString &key, const QVariant &def = QVariant())
{
    return AppContext::setting(key, def);
}

// The mail variable that ties a message to its posting in the service's log.
const char *const kPostingVariable = "lattica-posting";

// The service's event log may show an accepted message only a little later
// (setting "mailEventLag_i", seconds): an intent younger than that is looked
// up once it is that old.
void waitForEventLog(qint64 since)
{
    const qint64 lag = qMax(0, setting(QStringLiteral("mailEventLag_i"), 60).toInt());
    const qint64 left = since + lag - QDateTime::currentSecsSinceEpoch();
    if (left <= 0)
        return;
    qInfo() << "mgPost: waiting" << left << "s for the mail service's log";
    QEventLoop loop;
    QTimer::singleShot(int(qMin<qint64>(left, lag) * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

// XML that an older version's portal export left in the send queue.
bool isPortalExportLeftover(const QString &path)
{
    if (!path.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(256).trimmed();
    return head.startsWith("<?xml") || head.startsWith("<Order");
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
    m_postSkipped.clear();
    m_lastMessage.clear();
    // An entry whose order is no longer queued belongs to a finished
    // posting (a run died between filing and clearing) or to an order taken
    // out of the queue: either way it is done with.
    for (const QString &id : postingJournalIds())
        if (!isSafeOrderId(id) || !QFileInfo::exists(AppContext::stateFolder(VexaOrder::ForPosting) + id))
            clearPostingJournal(id);
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
    } else if (!m_postSkipped.isEmpty()) {
        // the others went; these stay queued, each with its message given
        finishPosting(false);
    } else {
        emit asyncResult(QString());
        finishPosting(true);
    }
}

int CloudComms::postNextOrder()
{
    const QString folder = AppContext::stateFolder(VexaOrder::ForPosting);
    // hidden files too: an order no list shows must still be reported
    const QStringList files =
        QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    QString name;
    for (const QString &candidate : files) {
        if (!m_postSkipped.contains(candidate)) {
            name = candidate;
            break;
        }
    }
    if (name.isEmpty())
        return 0;
    const QString path = folder + name;
    // Leaves this file in "post/" with its message and goes on with the next.
    auto skip = [&](const QString &message) {
        m_postSkipped << name;
        m_lastMessage = message;
        qWarning() << "mgPost left in the queue:" << name << message;
        emit asyncResult(m_lastMessage);
        return 1;
    };
    auto stop = [&](const QString &message) {
        m_lastMessage = message;
        emit asyncResult(m_lastMessage);
        return -1;
    };

    const QString problem = orderIdProblem(name);
    if (!problem.isEmpty()) {
        // Only what this program made itself is deleted: the portal XML that
        // older versions left in the queue.
        if (isPortalExportLeftover(path)) {
            if (!removeOrderFile(path))
                return stop(QStringLiteral("Failed to delete ") + name + QLatin1Char(' ') + AppContext::lastFileError);
            return 1;
        }
        return skip(QStringLiteral("The file %1 in the send queue is not an order that can be sent (%2); it was left in post/.")
                        .arg(name, problem));
    }
    if (QFileInfo(path).size() > kMaxOrderFileSize)
        return skip(QStringLiteral("Order %1 is too large to send; it was left in post/.").arg(name));
    {
        // what an interrupted save of an older version left: no order of its own
        QFile file(path);
        if (file.open(QIODevice::ReadOnly) && isSaveLeftover(name, parseJsonDocument(file.readAll()).object()))
            return skip(QStringLiteral("The file %1 in the send queue is the leftover of an interrupted save, not an "
                                       "order; it was left in post/.")
                            .arg(name));
    }

    qInfo() << "mgPost " << name;
    if (!backupCopy(path))
        return stop(AppContext::lastFileError);

    // The journal tells what an earlier run did for this posting.
    const QString digest = postingFileDigest(path);
    PostingJournalEntry journal = postingJournal(name);
    if (journal.exists() && !journal.filedDigest.isEmpty() && digest == journal.filedDigest) {
        // the posted file itself came back to the queue: a re-send
        qInfo() << "mgPost re-send of" << name;
        journal = PostingJournalEntry();
    } else if (journal.exists() && digest != journal.digest) {
        qInfo() << "mgPost" << name << "changed since its last try; posted afresh";
        journal = PostingJournalEntry();
    }
    if (journal.exists()) {
        qInfo() << "mgPost resuming" << name << "upload" << journal.upload << journal.uploadStep << "supplier"
                << journal.supplier.step << "confirmation" << journal.confirmation.step;
    } else {
        journal = newPostingJournal(name, digest);
        if (digest.isEmpty() || !storePostingJournal(journal))
            return stop(QStringLiteral("Could not record the posting of order ") + name);
    }
    // Every journal write must reach the disk before posting goes on.
    auto record = [&]() {
        if (storePostingJournal(journal))
            return true;
        stop(QStringLiteral("Could not record the posting of order ") + name);
        return false;
    };

    VexaOrder *order = postingOrder();
    if (!order->loadOrder(name, VexaOrder::ForPosting, false)) {
        clearPostingJournal(name);
        return skip(QStringLiteral("Failed to load order ") + name);
    }

    QString uploadId;
    if (journal.filedDigest.isEmpty()) {
        if (journal.uploadStep != PostingJournalEntry::Done) {
            const PortalSubmission portal = submitOrderToPortal(
                *this, path, order->properties().value(QStringLiteral("AccountName")).toString(), journal.upload,
                [&](const QString &transferName) {
                    journal.upload = transferName;
                    journal.uploadStep = PostingJournalEntry::Started;
                    return storePostingJournal(journal);
                });
            if (!portal.ok) {
                order->set_sentDate(QDateTime());
                if (portal.orderFault) {
                    clearPostingJournal(name);
                    return skip(portal.message);
                }
                return stop(portal.message);
            }
            journal.upload = portal.uploadId;
            journal.uploadStep = PostingJournalEntry::Done;
            if (!record())
                return -1;
        } else if (!journal.upload.isEmpty() && setting(QStringLiteral("attachXml_b"), true).toBool()
                   && !QFileInfo::exists(AppContext::dataFolder + QStringLiteral("/tmp/Shutter") + name
                                         + QStringLiteral(".xml"))) {
            // delivered earlier; the mail's copy went with the emptied tmp/
            const QString error = exportPortalXml(path);
            if (!error.isEmpty())
                qWarning() << "mgPost: portal XML not made again for the mail" << name << error;
        }
        uploadId = journal.upload;
    }

    order->set_sentDate(QDateTime::fromString(journal.sentDate, Qt::ISODateWithMs));

    // One mail of the posting: the intent is on disk before the request
    // goes; one begun by an earlier run is first looked up in the mail
    // service's event log. 0 done, 1 leave the order queued, -1 stop.
    QString confirmationMessage;
    auto mailStep = [&](PostingJournalEntry::Mail &step, const ComposedMail &mail, bool supplier) {
        if (step.step == PostingJournalEntry::Done)
            return 0;
        MailSender sender(m_mailCredential);
        sender.setVariable(QLatin1String(kPostingVariable), journal.token);
        if (step.step == PostingJournalEntry::Started) {
            waitForEventLog(step.since);
            const MailSender::LogAnswer answer =
                sender.wasAccepted(step.to, step.subject, QLatin1String(kPostingVariable), journal.token,
                                   QDateTime::fromSecsSinceEpoch(step.since));
            if (answer == MailSender::LoggedAccepted) {
                qInfo() << "Email was accepted before:" << step.to << step.subject;
                step.step = PostingJournalEntry::Done;
                return record() ? 0 : -1;
            }
            if (answer == MailSender::CannotTell) {
                qWarning() << "mail events:" << sender.lastMessage();
                if (!supplier) {
                    // a copy for the business: better none than two
                    qWarning() << "Confirmation of" << name << "not sent again: its first try cannot be confirmed";
                    step.step = PostingJournalEntry::Done;
                    return record() ? 0 : -1;
                }
                stop(QStringLiteral("Could not confirm whether order %1 (ref %2) was sent to %3; check with %3 "
                                    "before sending again. (%4)")
                         .arg(name, order->manOrderID(), step.to, sender.lastMessage()));
                return -1;
            }
            qInfo() << "Email not in the service's log; sending:" << step.to << step.subject;
        }
        step.step = PostingJournalEntry::Started;
        step.since = QDateTime::currentSecsSinceEpoch();
        step.to = mail.to;
        step.subject = mail.subject;
        if (!record())
            return -1;
        if (sender.sendMail(mail.to, mail.replyTo, mail.from, mail.subject, mail.html, mail.attachments)) {
            qInfo() << "Email sent to " << mail.to << mail.subject;
            step.step = PostingJournalEntry::Done;
            return record() ? 0 : -1;
        }
        qDebug() << "Failed to send email to " + mail.to;
        m_lastMessage = sender.lastMessage();
        if (!supplier) {
            // reported with the order's result; the order still goes
            confirmationMessage = m_lastMessage;
            step.step = PostingJournalEntry::Done;
            return record() ? 0 : -1;
        }
        if (sender.outcome() != MailSender::Refused) {
            // it may have gone: the next run asks the service's log
            emit asyncResult(m_lastMessage);
            return -1;
        }
        step.step = PostingJournalEntry::NotStarted;
        record();
        // The service refused this very message (its content or address):
        // the orders behind it may still go.
        const int status = sender.status();
        if (status >= 400 && status < 500 && status != 401 && status != 403 && status != 429) {
            skip(m_lastMessage);
            return 1;
        }
        emit asyncResult(m_lastMessage);
        return -1;
    };

    if (journal.filedDigest.isEmpty() && !setting(QStringLiteral("ordersemail")).toString().isEmpty()) {
        int r = mailStep(journal.supplier, composeSupplierMail(*order, uploadId), true);
        if (r == 0)
            r = mailStep(journal.confirmation, composeConfirmationMail(*order, uploadId), false);
        // a refused order keeps its entry: its portal upload is not made twice
        if (r != 0)
            return r;
    }

    // Filed as sent: the posted form is written into "posted/", then the
    // queued file goes, then the journal entry. A run that dies in between
    // finds the entry and the queued file and finishes the filing.
    const QString postedPath = AppContext::stateFolder(VexaOrder::Posted) + name;
    if (journal.filedDigest.isEmpty() || postingFileDigest(postedPath) != journal.filedDigest) {
        order->xto.clear();
        order->xfrom = setting(QStringLiteral("userID_s")).toString();
        const QByteArray bytes = QJsonDocument(order->toJson()).toJson(QJsonDocument::Compact);
        journal.filedDigest = postingBytesDigest(bytes);
        if (!record())
            return -1;
        if (!OrderWriter::commit(postedPath, bytes))
            return stop(QStringLiteral("Failed to move order to posted:") + name);
    }
    if (!QFile::remove(path) && QFileInfo::exists(path))
        return stop(QStringLiteral("Failed to move order to posted:") + name);
    clearPostingJournal(name);

    m_lastMessage = confirmationMessage;
    emit asyncResult(m_lastMessage);
    // A failed confirmation is reported, but the order did go: it is tracked.
    if (setting(QStringLiteral("saveins3_b"), false).toBool() && !trackingCopy(postedPath, name)) {
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
