#pragma once

#include <QString>

// What posting has already done for one order, kept in the user settings
// until the order has left "post/": a crash or a failed step between an
// accepted mail (or portal upload) and the move must not send it again.
// An entry belongs to one version of the order file: a re-queued order with
// other content is posted afresh.
struct PostingJournalEntry
{
    QString orderId;
    QString digest;      // of the order file when the step began
    QString savedDigest; // of the file as written just before the move
    QString upload;      // the portal's name for the accepted upload
    bool mailed = false; // the supplier's order desk accepted the mail
    bool confirmed = false;

    // True when the entry describes this content of the order file.
    bool matches(const QString &fileDigest) const
    {
        return !fileDigest.isEmpty() && (fileDigest == digest || fileDigest == savedDigest);
    }
};

// Hex SHA-256 of the file's bytes; empty when it cannot be read.
QString postingFileDigest(const QString &path);
QString postingBytesDigest(const QByteArray &bytes);

PostingJournalEntry postingJournal(const QString &orderId);
// Stores the entry and syncs the settings to disk at once.
void storePostingJournal(const PostingJournalEntry &entry);
void clearPostingJournal(const QString &orderId);
