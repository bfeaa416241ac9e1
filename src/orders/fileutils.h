#pragma once

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

// File utilities for order files. Each clears AppContext::lastFileError first
// and sets it when it fails, so callers can show the reason.

// Moves src onto dst, replacing dst; with backup, a copy of src is first put
// in the backup folder. Nothing is lost: dst is only removed once src is
// known to exist, and a replaced dst is kept as its backup + ".replaced".
bool moveFile(const QString &src, const QString &dst, bool backup);
// Copies src to the backup folder under the name of dst (or src when dst is
// empty) with "-b" appended.
bool backupCopy(const QString &src, const QString &dst = QString());
// The backup name for a file: orders folder + "b/" + its name + "-b".
QString backupPath(const QString &file);
// Deletes an order file after putting a copy in the backup folder; the file
// stays when no backup could be made. Failures are logged.
bool removeOrderFile(const QString &path);
// Sets the modification (and access) time; a null time means now.
bool setModified(const QString &path, const QDateTime &time = QDateTime());
// The file's digest in lower-case hex; empty when it cannot be read.
QString fileDigest(const QString &path, QCryptographicHash::Algorithm algorithm);
// The value of one member of the JSON object held in a file; undefined when
// the file cannot be read or holds no JSON object.
QJsonValue fileJsonValue(const QString &path, const QString &key);

// The largest order file read (about 30,000 items); anything larger is
// refused before it is read, so a stray huge file costs neither minutes nor
// gigabytes.
constexpr qint64 kMaxOrderFileSize = 24 * 1024 * 1024;

// Parses file content as a JSON document (null when it is not one).
QJsonDocument parseJsonDocument(const QByteArray &bytes);

// An order ID names a file inside a state folder: it must not be empty, hold
// a path separator or control character, or be "." / "..", and every list
// and queue must see it: no leading "." (a hidden file) and no ".xml" end.
// IDs arrive in files from outside, so every path built from one is checked.
bool isSafeOrderId(const QString &orderID);
// Why an order ID is refused ("it begins with \".\"", ...); "" when it is not.
QString orderIdProblem(const QString &orderID);
// Orders folder + the state's sub-folder + orderID; empty (with a critical
// log line) for an unsafe ID.
QString orderFilePath(int state, const QString &orderID);

// True for the temporary file an interrupted atomic save of an earlier
// version could leave in a state folder: named orderID + "." + six letters
// or digits, holding that order. Lists skip such files.
bool isSaveLeftover(const QString &fileName, const QJsonObject &content);
