#pragma once

#include <QString>
#include <QStringList>

// What posting has done, or is about to do, for one order, kept in the user
// settings (group "postJournal") while the order is being posted. Every
// outside action is written down before it starts (an intent) and again once
// it is known to have happened, so a run that dies anywhere can tell on the
// next run what is left, and what must first be asked of the service.
//
// An entry belongs to one posting: it is made when an order is taken from
// "post/", cleared in the step that files the order in "posted/", and a
// re-sent order (the posted file back in "post/", or queued again on
// screen) starts a new one.
struct PostingJournalEntry
{
    enum Step { NotStarted = 0, Started = 1, Done = 2 };

    struct Mail
    {
        int step = NotStarted;
        qint64 since = 0; // seconds since the epoch when the intent was written
        QString to, subject;
    };

    QString orderId;
    QString token;       // names this posting; travels with its mails
    QString digest;      // of the order file in "post/" when the posting began
    QString sentDate;    // the order's sent time, ISO with milliseconds
    QString upload;      // the portal transfer name, chosen before the transfer
    int uploadStep = NotStarted;
    Mail supplier, confirmation;
    QString filedDigest; // of the posted file as written into "posted/"

    bool exists() const { return !token.isEmpty(); }
};

// Hex SHA-256 of the file's bytes; empty when it cannot be read.
QString postingFileDigest(const QString &path);
QString postingBytesDigest(const QByteArray &bytes);

// A new entry for an order taken from "post/" with the given digest.
PostingJournalEntry newPostingJournal(const QString &orderId, const QString &digest);
PostingJournalEntry postingJournal(const QString &orderId);
// Stores the entry and syncs the settings to disk at once; false when the
// settings could not be written (posting must not go on then).
bool storePostingJournal(const PostingJournalEntry &entry);
void clearPostingJournal(const QString &orderId);
// The order IDs that have an entry.
QStringList postingJournalIds();
