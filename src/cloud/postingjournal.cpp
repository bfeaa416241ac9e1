#include "postingjournal.h"

#include "app/appcontext.h"
#include "app/appsettings.h"
#include "orders/fileutils.h"

#include <QCryptographicHash>

namespace {

// Order IDs may hold characters the settings treat as group separators.
QString journalKey(const QString &orderId)
{
    return QStringLiteral("postJournal/") + QString::fromLatin1(orderId.toUtf8().toHex());
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

PostingJournalEntry postingJournal(const QString &orderId)
{
    PostingJournalEntry entry;
    appSettings *user = AppContext::userSettings();
    if (!user || orderId.isEmpty())
        return entry;
    const QStringList fields = user->value(journalKey(orderId), QString()).toString().split(QLatin1Char('|'));
    if (fields.size() != 5)
        return entry;
    entry.orderId = orderId;
    entry.digest = fields.at(0);
    entry.savedDigest = fields.at(1);
    entry.upload = QString::fromUtf8(QByteArray::fromHex(fields.at(2).toLatin1()));
    entry.mailed = fields.at(3) == QLatin1String("1");
    entry.confirmed = fields.at(4) == QLatin1String("1");
    return entry;
}

void storePostingJournal(const PostingJournalEntry &entry)
{
    appSettings *user = AppContext::userSettings();
    if (!user || entry.orderId.isEmpty())
        return;
    const QStringList fields = {entry.digest, entry.savedDigest, QString::fromLatin1(entry.upload.toUtf8().toHex()),
                                entry.mailed ? QStringLiteral("1") : QStringLiteral("0"),
                                entry.confirmed ? QStringLiteral("1") : QStringLiteral("0")};
    user->setValue(journalKey(entry.orderId), fields.join(QLatin1Char('|')));
    // the point of the journal is to survive a crash right after this
    user->sync();
}

void clearPostingJournal(const QString &orderId)
{
    appSettings *user = AppContext::userSettings();
    if (!user || orderId.isEmpty())
        return;
    user->remove(journalKey(orderId));
    user->sync();
}
