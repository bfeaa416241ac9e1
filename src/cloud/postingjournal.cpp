#include "postingjournal.h"

#include "app/appcontext.h"
#include "app/appsettings.h"
#include "orders/fileutils.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

namespace {

const QString kGroup = QStringLiteral("postJournal");

// Order IDs may hold characters the settings treat as group separators.
QString journalKey(const QString &orderId)
{
    return kGroup + QLatin1Char('/') + QString::fromLatin1(orderId.toUtf8().toHex());
}

QJsonObject mailJson(const PostingJournalEntry::Mail &mail)
{
    return QJsonObject{{QStringLiteral("step"), mail.step},
                       {QStringLiteral("since"), double(mail.since)},
                       {QStringLiteral("to"), mail.to},
                       {QStringLiteral("subject"), mail.subject}};
}

PostingJournalEntry::Mail mailFromJson(const QJsonObject &o)
{
    PostingJournalEntry::Mail mail;
    mail.step = o.value(QStringLiteral("step")).toInt();
    mail.since = qint64(o.value(QStringLiteral("since")).toDouble());
    mail.to = o.value(QStringLiteral("to")).toString();
    mail.subject = o.value(QStringLiteral("subject")).toString();
    return mail;
}

} // namespace

QString postingBytesDigest(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QString postingFileDigest(const QString &path)
{
    return fileDigest(path, QCryptographicHash::Sha256);
}

PostingJournalEntry newPostingJournal(const QString &orderId, const QString &digest)
{
    PostingJournalEntry entry;
    entry.orderId = orderId;
    entry.digest = digest;
    const quint64 a = QRandomGenerator::system()->generate64(), b = QRandomGenerator::system()->generate64();
    entry.token = QString::number(a, 16).rightJustified(16, QLatin1Char('0'))
                  + QString::number(b, 16).rightJustified(16, QLatin1Char('0'));
    entry.sentDate = QDateTime::currentDateTime().toString(Qt::ISODateWithMs);
    return entry;
}

PostingJournalEntry postingJournal(const QString &orderId)
{
    PostingJournalEntry entry;
    appSettings *user = AppContext::userSettings();
    if (!user || orderId.isEmpty())
        return entry;
    const QJsonObject o =
        QJsonDocument::fromJson(user->value(journalKey(orderId), QString()).toString().toUtf8()).object();
    entry.token = o.value(QStringLiteral("token")).toString();
    if (entry.token.isEmpty()) // nothing, or an entry of an older version: start afresh
        return PostingJournalEntry();
    entry.orderId = orderId;
    entry.digest = o.value(QStringLiteral("digest")).toString();
    entry.sentDate = o.value(QStringLiteral("sentDate")).toString();
    entry.upload = o.value(QStringLiteral("upload")).toString();
    entry.uploadStep = o.value(QStringLiteral("uploadStep")).toInt();
    entry.supplier = mailFromJson(o.value(QStringLiteral("supplier")).toObject());
    entry.confirmation = mailFromJson(o.value(QStringLiteral("confirmation")).toObject());
    entry.filedDigest = o.value(QStringLiteral("filedDigest")).toString();
    return entry;
}

bool storePostingJournal(const PostingJournalEntry &entry)
{
    appSettings *user = AppContext::userSettings();
    if (!user || entry.orderId.isEmpty())
        return false;
    const QJsonObject o{{QStringLiteral("token"), entry.token},
                        {QStringLiteral("digest"), entry.digest},
                        {QStringLiteral("sentDate"), entry.sentDate},
                        {QStringLiteral("upload"), entry.upload},
                        {QStringLiteral("uploadStep"), entry.uploadStep},
                        {QStringLiteral("supplier"), mailJson(entry.supplier)},
                        {QStringLiteral("confirmation"), mailJson(entry.confirmation)},
                        {QStringLiteral("filedDigest"), entry.filedDigest}};
    user->setValue(journalKey(entry.orderId), QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)));
    // the point of the journal is to survive a crash right after this
    user->sync();
    return user->status() == QSettings::NoError;
}

void clearPostingJournal(const QString &orderId)
{
    appSettings *user = AppContext::userSettings();
    if (!user || orderId.isEmpty())
        return;
    user->remove(journalKey(orderId));
    user->sync();
}

QStringList postingJournalIds()
{
    QStringList ids;
    appSettings *user = AppContext::userSettings();
    if (!user)
        return ids;
    user->beginGroup(kGroup);
    const QStringList keys = user->childKeys();
    user->endGroup();
    for (const QString &key : keys)
        ids << QString::fromUtf8(QByteArray::fromHex(key.toLatin1()));
    return ids;
}
