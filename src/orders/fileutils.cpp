#include "orders/fileutils.h"
#include "orders/orderwriter.h"

#include "app/appcontext.h"
#include "orders/vexaorder.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>

#include <sys/types.h>
#include <utime.h>

QString orderIdProblem(const QString &orderID)
{
    if (orderID.trimmed().isEmpty())
        return QStringLiteral("it is empty");
    if (orderID == QLatin1String(".") || orderID == QLatin1String(".."))
        return QStringLiteral("it names a folder");
    for (const QChar c : orderID) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\'))
            return QStringLiteral("it holds a path separator");
        if (c.category() == QChar::Other_Control)
            return QStringLiteral("it holds a control character");
        // nor characters no XML text can carry (the portal export sends the ID)
        if (c.unicode() == 0xFFFE || c.unicode() == 0xFFFF)
            return QStringLiteral("it holds a character XML cannot carry");
    }
    // Files beginning with a dot are hidden from every list, and ".xml"
    // files in the send queue are portal exports, not orders.
    if (orderID.startsWith(QLatin1Char('.')))
        return QStringLiteral("it begins with \".\"");
    if (orderID.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive))
        return QStringLiteral("it ends in \".xml\"");
    // The ID names a file: one that does not come back from the file system
    // as written (a lone surrogate) would share its file with another ID.
    if (QFile::decodeName(QFile::encodeName(orderID)) != orderID)
        return QStringLiteral("it cannot name a file");
    return QString();
}

bool isSafeOrderId(const QString &orderID)
{
    return orderIdProblem(orderID).isEmpty();
}

bool isSaveLeftover(const QString &fileName, const QJsonObject &content)
{
    const int dot = fileName.size() - 7;
    if (dot < 1 || fileName.at(dot) != QLatin1Char('.'))
        return false;
    for (int i = dot + 1; i < fileName.size(); ++i) {
        const ushort c = fileName.at(i).unicode();
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
            return false;
    }
    // An order that is really named so holds its own name.
    return content.value(QLatin1String("orderID")).toString().trimmed() == fileName.left(dot).trimmed();
}

QString orderFilePath(int state, const QString &orderID)
{
    if (!isSafeOrderId(orderID)) {
        qCritical() << "Refused unsafe order ID (it would name a file outside its folder):" << orderID;
        return QString();
    }
    return AppContext::stateFolder(state) + orderID;
}

QString backupPath(const QString &file)
{
    // The whole file name: order IDs carry no extension, and cutting at a dot
    // would make different orders share one backup.
    return AppContext::stateFolder(VexaOrder::Backup) + QFileInfo(file).fileName() + QStringLiteral("-b");
}

bool setModified(const QString &path, const QDateTime &time)
{
    if (!QFileInfo::exists(path))
        return false;
    const QByteArray native = QFile::encodeName(path);
    if (!time.isValid()) {
        if (utime(native.constData(), nullptr) != 0) {
            qWarning() << "utime failed:" << path;
            return false;
        }
        return true;
    }
    struct utimbuf times;
    times.actime = static_cast<time_t>(time.toSecsSinceEpoch());
    times.modtime = times.actime;
    if (utime(native.constData(), &times) == 0)
        return true;
    qWarning() << "utime failed -" << path;
    // Touching the content at least moves the modification time to now.
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite)) {
        qWarning() << "setModified open" << path << f.errorString();
        return false;
    }
    const qint64 size = f.size();
    f.seek(size);
    f.write("x", 1);
    f.flush();
    if (!f.resize(size)) {
        qWarning() << "setModified resize" << path << f.errorString();
        return false;
    }
    return true;
}

namespace {
// Copies src onto target in one step: the content goes through the data
// folder's tmp/ and is renamed over target, so an interrupted copy never
// leaves target missing or half-written (nor a temporary file beside it).
bool copyOver(const QString &src, const QString &target, QString *error)
{
    QFile from(src);
    if (!from.open(QIODevice::ReadOnly)) {
        *error = from.errorString();
        return false;
    }
    const QByteArray bytes = from.readAll();
    if (from.error() != QFileDevice::NoError) {
        *error = from.errorString();
        return false;
    }
    if (!OrderWriter::commit(target, bytes)) {
        *error = QStringLiteral("could not write %1").arg(target);
        return false;
    }
    return true;
}
} // namespace

bool backupCopy(const QString &src, const QString &dst)
{
    OrderWriter::instance().flush();
    AppContext::lastFileError.clear();
    const QString backup = backupPath(dst.isEmpty() ? src : dst);
    QString error;
    if (QFileInfo(backup).isDir() || !copyOver(src, backup, &error)) {
        AppContext::lastFileError = QStringLiteral("Failed to remove backup %1: %2").arg(backup, error);
        return false;
    }
    setModified(backup);
    return true;
}

bool removeOrderFile(const QString &path)
{
    if (!backupCopy(path)) {
        qCritical() << "deleteOrder: no backup, order kept:" << AppContext::lastFileError;
        return false;
    }
    QFile f(path);
    if (!f.remove()) {
        qCritical() << "Failed to delete" << path << f.errorString();
        return false;
    }
    qDebug() << "Deleted " << path;
    return true;
}

bool moveFile(const QString &src, const QString &dst, bool backup)
{
    OrderWriter::instance().flush();
    AppContext::lastFileError.clear();
    if (QFileInfo(src).absoluteFilePath() == QFileInfo(dst).absoluteFilePath())
        return true;
    // Checked before anything else, so a missing source never costs the
    // destination's content and is reported as what it is.
    if (!QFileInfo::exists(src)) {
        AppContext::lastFileError = QStringLiteral("Move: src does not exist ") + src;
        return false;
    }
    if (backup && !backupCopy(src, dst))
        return false;
    if (QFileInfo::exists(dst)) {
        // The file being replaced may hold edits of its own (the same order
        // opened again from another list): it is kept beside the backup.
        const QString kept = backupPath(dst) + QStringLiteral(".replaced");
        QString error;
        if (QFileInfo(dst).isFile() && !copyOver(dst, kept, &error)) {
            AppContext::lastFileError = QStringLiteral("Failed to remove backup %1").arg(kept);
            return false;
        }
        QFile old(dst);
        if (!old.remove()) {
            AppContext::lastFileError = QStringLiteral("Failed to remove %1: %2").arg(dst, old.errorString());
            return false;
        }
    }
    QFile from(src);
    if (!from.rename(dst)) {
        AppContext::lastFileError = QStringLiteral("Failed to rename %1 to %2: %3").arg(src, dst, from.errorString());
        if (QFileInfo::exists(src) || !QFileInfo::exists(dst))
            return false;
        qWarning() << "FFF IT WORKED!!!";
        AppContext::lastFileError.clear();
    }
    setModified(dst);
    return true;
}

QJsonDocument parseJsonDocument(const QByteArray &bytes)
{
    // Files in the framework's old binary JSON form cannot be read by this
    // build (that reader is gone from current Qt); they count as unreadable.
    return QJsonDocument::fromJson(bytes);
}

QString fileDigest(const QString &path, QCryptographicHash::Algorithm algorithm)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QCryptographicHash hash(algorithm);
    if (!hash.addData(&file))
        return QString();
    return QString::fromLatin1(hash.result().toHex());
}

QJsonValue fileJsonValue(const QString &path, const QString &key)
{
    AppContext::lastFileError.clear();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        qCritical() << "Couldn't open order." << path;
        AppContext::lastFileError = QStringLiteral("Couldn't open %1: %2").arg(path, f.errorString());
        return QJsonValue(QJsonValue::Undefined);
    }
    const QJsonDocument doc = parseJsonDocument(f.readAll());
    if (doc.isNull() || !doc.isObject()) {
        qDebug() << "!Invalid file, fileJsonValue() loadDoc.isNull" << path;
        AppContext::lastFileError = QStringLiteral("Invalid order file ") + path;
        return QJsonValue(QJsonValue::Undefined);
    }
    return doc.object().value(key);
}
