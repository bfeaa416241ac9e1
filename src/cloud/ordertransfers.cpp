// Transfers of orders between users of one account through the storage
// bucket: sending what waits in "xfer/" and fetching what was sent to this
// user into "in/".

#include "app/appcontext.h"
#include "app/appsettings.h"
#include "cloud/cloudcomms.h"
#include "cloud/qamazonconnection.h"
#include "orders/fileutils.h"
#include "orders/vexaorder.h"

#include <QDate>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace {

QVariant setting(const QString &key, const QVariant &def = QVariant())
{
    return AppContext::setting(key, def);
}

QString today()
{
    return QDate::currentDate().toString(Qt::ISODate);
}

// The short name stored first in a staff entry of the shared settings.
QString staffShortName(const QString &staffId)
{
    appSettings *shared = AppContext::sharedSettings();
    if (!shared || staffId.isEmpty())
        return QString();
    return shared->value(QStringLiteral("staff/") + staffId, QString()).toString().section(QLatin1Char(':'), 0, 0).trimmed();
}

// This user's staff ID: from the access code, else the staff entry that
// carries the user id.
QString ownStaffId(const QString &userId)
{
    const QString fromCode = setting(QStringLiteral("oStaffID")).toString().trimmed();
    if (!fromCode.isEmpty())
        return fromCode;
    appSettings *shared = AppContext::sharedSettings();
    if (!shared)
        return QString();
    QString found;
    shared->beginGroup(QStringLiteral("staff"));
    const QStringList ids = shared->childKeys();
    for (const QString &id : ids) {
        if (shared->value(id, QString()).toString().section(QLatin1Char(':'), 0, 0).trimmed().compare(userId, Qt::CaseInsensitive) == 0) {
            found = id;
            break;
        }
    }
    shared->endGroup();
    return found;
}

bool namesOrderUuid(const QString &name)
{
    static const QRegularExpression re(QStringLiteral("[0-9a-f]{8}[-]?([0-9a-f]{4}[-]?){3}[0-9a-f]{12}"));
    return re.match(name).hasMatch();
}

} // namespace

QString CloudComms::transferFolderFor(const QString &recipient)
{
    // Orders name their recipient by staff ID, while a device lists the
    // folder of its user id (the short name): both meet at the short name.
    QString id = recipient.trimmed();
    QString shortName = staffShortName(id);
    if (shortName.isEmpty()) {
        const QStringList ids = setting(QStringLiteral("uidList")).toStringList();
        const QStringList names = setting(QStringLiteral("users")).toStringList();
        const int at = ids.indexOf(id);
        if (at >= 0 && at < names.size())
            shortName = names.at(at).trimmed();
    }
    return (shortName.isEmpty() ? id : shortName).toLower();
}

int CloudComms::sendNextTransfer()
{
    const QString folder = AppContext::stateFolder(VexaOrder::ForTransfer);
    const QStringList all =
        QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    QStringList files;
    for (const QString &file : all)
        if (!m_postSkipped.contains(QStringLiteral("xfer/") + file))
            files << file;
    if (files.isEmpty())
        return 0;
    const QString name = files.first();
    const QString path = folder + name;
    // a file the recipient could not take, or an order without a recipient,
    // stays queued with its message; the others still go
    auto skip = [&](const QString &message) {
        m_postSkipped << QStringLiteral("xfer/") + name;
        m_lastMessage = message;
        emit asyncResult(m_lastMessage);
        return files.size();
    };
    const QString problem = orderIdProblem(name);
    if (!problem.isEmpty())
        return skip(QStringLiteral("The file %1 in the transfer queue is not an order that can be sent (%2); it was left in xfer/.")
                        .arg(name, problem));
    if (QFileInfo(path).size() > kMaxOrderFileSize)
        return skip(QStringLiteral("Order %1 is too large to transfer; it was left in xfer/.").arg(name));

    const QJsonValue xtoValue = fileJsonValue(path, QStringLiteral("xto"));
    const QString xto = xtoValue.isString() ? xtoValue.toString().trimmed() : QString();
    if (xto.isEmpty()) {
        qCritical() << "transferOrder xferTo is empty" << name;
        return skip(QStringLiteral("Failed to find who order %1 is for").arg(name));
    }
    if (setting(QStringLiteral("postcheck")).toString() != today()) {
        if (!staffCheck()) {
            emit asyncResult(m_lastMessage);
            return -1;
        }
        if (appSettings *user = AppContext::userSettings())
            user->setValue(QStringLiteral("postcheck"), today());
    }

    QFile file(path);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    if (!file.isOpen() || file.error() != QFileDevice::NoError || bytes.isEmpty()) {
        m_lastMessage = QStringLiteral("Failed to open for reading order ") + name;
        emit asyncResult(m_lastMessage);
        return -1;
    }
    file.close();

    const QString account = m_regEmail.isEmpty() ? setting(QStringLiteral("regem_s")).toString() : m_regEmail;
    const QString key = account + QStringLiteral("/xfer/") + transferFolderFor(xto) + QLatin1Char('/') + name;
    if (!putAndCheck(bytes, key, QLatin1String(kBucket))) {
        emit asyncResult(m_lastMessage);
        return -1;
    }
    // Stored but still queued: stop rather than send it again and again.
    if (!moveFile(path, AppContext::stateFolder(VexaOrder::Posted) + name, true)) {
        m_lastMessage = QStringLiteral(" Failed to move order to posted ") + name;
        emit asyncResult(m_lastMessage);
        return -1;
    }
    qInfo() << "xfer  OK to " << key;
    return files.size();
}

void CloudComms::getTransfers()
{
    const QString email = setting(QStringLiteral("regem_s")).toString().toLower();
    const QString user = setting(QStringLiteral("userID_s")).toString().toLower();
    if (email.isEmpty() || user.isEmpty() || !haveConnection())
        return;
    // Orders sent before senders named the user id went to the staff ID's folder.
    QStringList prefixes{email + QStringLiteral("/xfer/") + user + QLatin1Char('/')};
    const QString staffId = ownStaffId(user).toLower();
    if (!staffId.isEmpty() && staffId != user)
        prefixes << email + QStringLiteral("/xfer/") + staffId + QLatin1Char('/');
    QStringList keys;
    for (const QString &prefix : prefixes) {
        const QStringList listed = m_conn->getCloudDirContents(QLatin1String(kBucket), prefix);
        if (listed.isEmpty() && !m_conn->lastError.isEmpty())
            qInfo() << "getTransfers listing" << prefix << m_conn->lastError;
        for (const QString &key : listed)
            if (!key.endsWith(QLatin1Char('/')))
                keys << key;
    }
    if (keys.isEmpty())
        return;
    if (setting(QStringLiteral("postcheck")).toString() != today()) {
        if (!staffCheck()) {
            emit asyncResult(m_lastMessage);
            return;
        }
        if (appSettings *settings = AppContext::userSettings())
            settings->setValue(QStringLiteral("postcheck"), today());
    }
    for (const QString &key : qAsConst(keys))
        fetchTransfer(key);
}

bool CloudComms::fetchTransfer(const QString &key)
{
    qInfo() << "getTransfers" << key;
    QNetworkReply *reply = m_conn->getFile(kBucket, key.toUtf8());
    if (!checkReply(reply, true)) {
        qInfo() << "Failed to get" << key << m_lastMessage;
        return false;
    }
    // The name comes from the cloud: it must stay a plain file name in "in/"
    // that the received list shows. A refused one stays in the cloud.
    QString name = key.section(QLatin1Char('/'), -1);
    const QString problem = orderIdProblem(name);
    if (!problem.isEmpty()) {
        qCritical() << "Refused received order" << key << problem;
        return false;
    }
    const QByteArray bytes = reply->readAll();
    if (bytes.size() > kMaxOrderFileSize) {
        qCritical() << "Refused received order larger than the lists take" << key << bytes.size();
        return false;
    }
    // Anything short of an order stays in the cloud for a look by support.
    if (bytes.size() < 50 || !parseJsonDocument(bytes).isObject()) {
        qCritical() << "Failed to write received order" << key << bytes.size();
        return false;
    }
    const QString inFolder = AppContext::stateFolder(VexaOrder::Received);
    const bool uuid = namesOrderUuid(name);
    while (QFileInfo::exists(inFolder + name) || (!uuid && QFileInfo::exists(AppContext::ordersFolder + name)))
        name += QStringLiteral("-i");

    QSaveFile file(inFolder + name);
    if (!file.open(QIODevice::WriteOnly)) {
        qWarning() << "Failed to open received order file" << name << file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        qCritical() << "Failed to write received order" << name << file.errorString();
        return false;
    }

    const QString email = setting(QStringLiteral("regem_s")).toString().toLower();
    if (setting(QStringLiteral("cld_b"), false).toBool()
        && !m_conn->copyFile(key, email + QStringLiteral("/a/") + name, QLatin1String(kBucket))) {
        qInfo() << "Failed to archive" << key << m_conn->lastError;
        return true;
    }
    if (!m_conn->deleteFile(key, QLatin1String(kBucket)))
        qInfo() << "Failed to remove" << key << m_conn->lastError;
    emit asyncResult(m_lastMessage);
    return true;
}
