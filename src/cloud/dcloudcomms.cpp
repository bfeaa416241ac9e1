#include "dcloudcomms.h"
#include "uploadfile.h"

#include "app/appcontext.h"
#include "app/appsettings.h"
#include "business/businesskeys.h"
#include "cloud/cloudcredentials.h"
#include "cloud/downloadbudget.h"
#include "cloud/qamazonconnection.h"
#include "orders/fileutils.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QNetworkReply>
#include <QSaveFile>

namespace {

const char *kBucket = "lattica";

QString nowText()
{
    return QStringLiteral("Last sync: ") + QDateTime::currentDateTime().toString(QStringLiteral("dd/MM h:mma"));
}

QString withSlashes(QString folder)
{
    if (!folder.startsWith(QLatin1Char('/')))
        folder.prepend(QLatin1Char('/'));
    if (!folder.endsWith(QLatin1Char('/')))
        folder.append(QLatin1Char('/'));
    return folder;
}

QString folderName(const QString &folder)
{
    QString name = folder;
    name.remove(QLatin1Char('/'));
    return name;
}

// to the millisecond, unlike the whole seconds of the order files' setModified
bool setModifiedExactly(const QString &path, const QDateTime &time)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    return file.setFileTime(time, QFileDevice::FileModificationTime);
}

} // namespace

DCloudComms::DCloudComms(QObject *parent)
    : DCloudComms(Device{AppContext::dataFolder, AppContext::userSettings(), AppContext::sharedSettings()}, parent)
{
}

DCloudComms::DCloudComms(const Device &device, QObject *parent)
    : QObject(parent)
    , m_device(device)
{
    QByteArray block = CloudCredentials::builtInBlock();
    if (m_device.user && m_device.user->contains(QStringLiteral("allweddi")))
        block = m_device.user->value(QStringLiteral("allweddi")).toString().toLatin1();
    CloudCredentials creds;
    m_credentialMessage = creds.decipher(block);
    if (m_credentialMessage.isEmpty())
        m_conn = new QAmazonConnection(creds.storageKeyId, creds.storageSecret, this);
    m_regEmail = setting(QStringLiteral("regem_s")).toString();
}

DCloudComms::~DCloudComms() = default;

QVariant DCloudComms::setting(const QString &key, const QVariant &def) const
{
    return m_device.user ? m_device.user->value(key, def) : appSettings::convert(def);
}

void DCloudComms::setSetting(const QString &key, const QVariant &value)
{
    if (m_device.user)
        m_device.user->setValue(key, value);
}

void DCloudComms::setSyncResult(const QString &text)
{
    m_syncResult = text;
    emit syncResultChanged(text);
}

QString DCloudComms::getmd5(const QString &path)
{
    return fileDigest(path, QCryptographicHash::Md5);
}

bool DCloudComms::isSafeCloudName(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) || name.contains(QLatin1Char(':')))
        return false;
    for (const QChar c : name)
        if (c.unicode() < 0x20)
            return false;
    return true;
}

bool DCloudComms::checkReply(QNetworkReply *reply, bool requireData)
{
    if (reply->error() == QNetworkReply::NoError) {
        if (!requireData || reply->bytesAvailable() > 0)
            return true;
        m_error = QStringLiteral("Cloud data found but 0 bytes");
        return false;
    }
    qCritical() << "replyError" << reply->error();
    if (QAmazonConnection::isOverBudget(reply)) {
        m_error = QAmazonConnection::replyErrorText(reply);
        return false;
    }
    switch (reply->error()) {
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::UnknownNetworkError:
        m_error = QStringLiteral("Failed to connect: No internet connection?");
        break;
    case QNetworkReply::ContentAccessDenied:
        m_error = QStringLiteral("Access denied. Check that your device time is correct. It must be within 2 mins "
                                 "of actual time, and account is correct");
        break;
    case QNetworkReply::ContentOperationNotPermittedError:
        m_error = QStringLiteral("Connection not permitted. Check that your device time is correct. It must be "
                                 "within 2 mins of actual time");
        break;
    case QNetworkReply::ContentNotFoundError:
        m_error = QStringLiteral("Failed to find your account or data in the cloud.");
        break;
    default:
        m_error = QAmazonConnection::replyErrorText(reply);
    }
    return false;
}

QString DCloudComms::markerKey(const QString &name) const
{
    return QStringLiteral("%1/mod/%2").arg(m_regEmail, name);
}

void DCloudComms::markFolderModified(const QString &folder)
{
    if (!m_conn)
        return;
    QNetworkReply *reply = m_conn->putFile(markerKey(folderName(folder)), QLatin1String(kBucket), QByteArray(), false);
    checkReply(reply, false);
}

// The server's time of the marker, creating the marker when it is missing.
QDateTime DCloudComms::markerTime(const QString &name)
{
    m_conn->lastErrorCode = 0;
    QDateTime time = m_conn->getLastModified(kBucket, markerKey(name).toUtf8());
    if (!time.isValid() && m_conn->lastErrorCode == QNetworkReply::ContentNotFoundError) {
        markFolderModified(name);
        time = m_conn->getLastModified(kBucket, markerKey(name).toUtf8());
    }
    return time;
}

bool DCloudComms::isFolderModified(const QString &folder)
{
    const QString key = folderName(folder);
    m_markerSeen = QDateTime();
    const qint64 last = setting(key, 0).toLongLong();
    if (last == 0)
        return true;
    if (!m_conn) {
        m_error = m_credentialMessage;
        return true;
    }
    m_conn->lastErrorCode = 0;
    const QDateTime time = m_conn->getLastModified(kBucket, markerKey(key).toUtf8());
    if (!time.isValid()) {
        // Only a missing marker means "changed"; any other failure (offline,
        // refused) is an error, never a quiet "nothing to do".
        if (m_conn->lastErrorCode == QNetworkReply::ContentNotFoundError) {
            markFolderModified(folder);
        } else {
            m_error = m_conn->lastError.isEmpty() ? QStringLiteral("Failed to read the sync marker") : m_conn->lastError;
            if (m_conn->lastErrorCode == QNetworkReply::HostNotFoundError
                || m_conn->lastErrorCode == QNetworkReply::UnknownNetworkError)
                m_error = QStringLiteral("Failed to connect: No internet connection?");
        }
        return true;
    }
    m_markerSeen = time;
    return time.toSecsSinceEpoch() > last;
}

bool DCloudComms::upload(const QString &path, const QString &key)
{
    QByteArray contents;
    bool skip = false;
    if (!readUploadFile(path, &contents, &skip, &m_error))
        return false;
    if (skip)
        return true;
    QNetworkReply *reply = m_conn->putFile(key, QLatin1String(kBucket), contents, false);
    return checkReply(reply, false);
}

bool DCloudComms::download(const QString &path, const QString &key, const QDateTime &cloudTime)
{
    // Straight to the file, within the reply budget; the old file stays
    // until the whole body is in.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        m_error = file.errorString();
        return false;
    }
    QNetworkReply *reply = m_conn->getFileTo(kBucket, key.toUtf8(), &file, DownloadBudget::limit(DownloadBudget::Reply));
    if (!checkReply(reply, false)) {
        file.cancelWriting();
        return false;
    }
    if (file.size() == 0) {
        m_error = QStringLiteral("Cloud data found but 0 bytes");
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        qCritical() << "Failed to write received file" << path << file.errorString();
        m_error = file.errorString();
        return false;
    }
    if (QFileInfo(path).fileName() == QLatin1String("lta.ini")) {
        // the account's copy may have been written by anyone holding the
        // storage key: what is no business setting is dropped
        BusinessKeys::filterSharedFile(path);
        m_settingsDownloaded = true;
    }
    setModifiedExactly(path, cloudTime);
    return true;
}

int DCloudComms::sync(int selection)
{
    Q_UNUSED(selection)
    return syncSettings();
}

int DCloudComms::syncSettings()
{
    // Whatever the interface changed must be on disk before the digest is
    // taken, or a downloaded file would silently replace it.
    if (m_device.shared)
        m_device.shared->sync();
    const QString ini = m_device.dataRoot + QStringLiteral("/st/lta.ini");
    if (QFileInfo::exists(ini) && getmd5(ini) != setting(QStringLiteral("inimd5")).toString())
        setSetting(QStringLiteral("st"), 0);

    const int selection = setting(QStringLiteral("controller"), true).toBool() ? UploadNewer : CloudIsMaster;
    m_settingsDownloaded = false;
    const int n = syncFolder(QStringLiteral("/st/"), selection);
    // The digest is kept only with a completed sync, so a failed upload
    // is compared (and retried) again next time.
    if (n >= 0 && setting(QStringLiteral("st"), 0).toLongLong() != 0)
        setSetting(QStringLiteral("inimd5"), getmd5(ini));
    if (n > 0 && m_settingsDownloaded) {
        qDebug() << "downloaded changed settings.ini";
        if (m_device.user)
            m_device.user->sync();
        if (m_device.shared)
            m_device.shared->sync();
    }
    return n;
}

DCloudComms::Step DCloudComms::syncStep(const QString &name, const CloudFileInfo *cloud, const LocalFile *local,
                                         const Rules &rules)
{
    if (!local) {
        // a name only the listing has becomes a local file name
        if (!cloud || !isSafeCloudName(name))
            return cloud ? Refuse : Nothing;
        if (cloud->size > 0)
            return Download;
        return cloud->lastModified.daysTo(rules.nowUtc) > rules.zombieDays ? RemoveCloud : Nothing;
    }
    if (!cloud) {
        if (rules.selection & CloudIsMaster) {
            if (rules.listingEmpty) {
                qWarning() << "empty cloud listing: keeping" << name;
                return Nothing;
            }
            return RemoveLocal;
        }
        return rules.selection & UploadNewer ? Upload : Nothing;
    }
    if (cloud->size == 0 && !(rules.selection & KeepZeroSize)) {
        // A deletion marker; a local file edited after it wins.
        if (local->modified > cloud->lastModified) {
            if (rules.selection & UploadNewer)
                return Upload;
            qDebug() << "Keeping local file newer than its deletion" << name;
            return Nothing;
        }
        return RemoveLocal;
    }
    if (local->md5 && local->md5() == cloud->etag)
        return Nothing;
    if (local->modified >= cloud->lastModified)
        return rules.selection & UploadNewer ? Upload : Nothing;
    return Download;
}

int DCloudComms::syncFolder(const QString &folderIn, int selection, const QString &prefix)
{
    m_error.clear();
    const QString folder = withSlashes(folderIn);
    const QString key = folderName(folder);
    const QString local = m_device.dataRoot + folder;
    if (m_firstSync || m_regEmail.isEmpty()) {
        if (m_regEmail.isEmpty())
            m_regEmail = setting(QStringLiteral("regem_s")).toString().trimmed();
        QDir().mkpath(local);
        m_firstSync = false;
    }
    // Without an account the listing would be some other (or no) folder,
    // and a cloud-is-master sync would then delete every local file.
    if (prefix.isEmpty() && m_regEmail.isEmpty()) {
        setSyncResult(QStringLiteral("No account e-mail: settings are not synced"));
        return -1;
    }
    if (!m_conn) {
        m_error = m_credentialMessage;
        setSyncResult(m_error);
        return -1;
    }
    const QString cloudPrefix = (prefix.isEmpty() ? m_regEmail : prefix) + folder;

    if (!isFolderModified(folder)) {
        setSyncResult(nowText());
        return 0;
    }
    if (!m_error.isEmpty()) {
        setSyncResult(m_error);
        return -1;
    }

    QMap<QString, CloudFileInfo> cloud;
    if (!m_conn->getCloudDirContentsLastModified(QLatin1String(kBucket), cloudPrefix, cloud)) {
        qDebug() << "listing failed" << m_conn->lastError;
        m_error = m_conn->lastError.isEmpty() ? QStringLiteral("Failed to list the cloud folder") : m_conn->lastError;
        setSyncResult(m_error);
        return -1;
    }
    Rules rules;
    rules.selection = selection;
    rules.listingEmpty = cloud.isEmpty();
    rules.zombieDays = setting(QStringLiteral("killzombies"), 35).toLongLong();
    rules.nowUtc = QDateTime::currentDateTimeUtc();

    int uploads = 0, downloads = 0;
    bool failed = false;
    const QFileInfoList files = QDir(local).entryInfoList(QDir::Files | QDir::Hidden);
    for (const QFileInfo &fi : files) {
        const QString name = fi.fileName();
        const QString path = fi.absoluteFilePath();
        const QString objectKey = cloudPrefix + name;
        const auto it = cloud.constFind(name);
        const CloudFileInfo *info = it == cloud.constEnd() ? nullptr : &it.value();
        const LocalFile file{fi.lastModified(), [&path] { return getmd5(path).toLatin1(); }};
        switch (syncStep(name, info, &file, rules)) {
        case Upload:
            if (upload(path, objectKey)) {
                const char *what = !info ? "Upload new"
                                   : info->size == 0 && !(selection & KeepZeroSize) ? "Upload newer than deletion"
                                                                                    : "Upload newer";
                qDebug() << what << name << "local=" << fi.lastModified()
                         << "s3=" << (info ? info->lastModified : QDateTime());
                setModifiedExactly(path, QDateTime::currentDateTime());
                ++uploads;
            } else {
                qCritical() << "error uploading S3 file" << name << m_error;
                failed = true;
            }
            break;
        case RemoveLocal:
            if (QFile::remove(path)) {
                if (info)
                    qDebug() << name << "Zero size, remove local";
                else
                    qDebug() << "Removed" << name;
            } else {
                qDebug() << "failed to remove" << name;
                failed = true;
            }
            break;
        case Download:
            qDebug() << "Download newer" << name << "local=" << fi.lastModified() << "s3=" << info->lastModified;
            if (download(path, objectKey, info->lastModified)) {
                ++downloads;
            } else {
                qCritical() << "error fetching S3 fle " << name << m_error;
                failed = true;
            }
            break;
        default:
            break;
        }
    }

    for (auto it = cloud.constBegin(); it != cloud.constEnd(); ++it) {
        const QString &name = it.key();
        // checked before the name touches the file system at all
        const Step step = syncStep(name, &it.value(), nullptr, rules);
        if (step == Refuse) {
            // Refused for good: retrying it on every sync would not help.
            qCritical() << "refusing cloud file name" << name;
            continue;
        }
        if (QFileInfo::exists(local + name))
            continue;
        const QString objectKey = cloudPrefix + name;
        if (step == Download) {
            qDebug() << "Download new" << name;
            if (download(local + name, objectKey, it.value().lastModified)) {
                ++downloads;
            } else {
                qCritical() << "error fetching S3 fle" << name << m_error;
                failed = true;
            }
        } else if (step == RemoveCloud) {
            if (m_conn->deleteFile(objectKey, QLatin1String(kBucket)))
                qDebug() << "Removed cloud file" << objectKey;
            else
                qDebug() << "failed to remove from cloud: " << objectKey << m_conn->lastError;
        }
    }

    if (uploads > 0)
        markFolderModified(folder);
    // The sync counts as done only when every file went through; the time
    // stored is the server's (marker), so device clocks do not matter.
    QDateTime done;
    if (!failed)
        done = uploads > 0 || !m_markerSeen.isValid() ? markerTime(key) : m_markerSeen;
    setSetting(key, done.isValid() ? done.toSecsSinceEpoch() : 0);
    if (failed) {
        if (m_error.isEmpty())
            m_error = QStringLiteral("Some files failed to sync");
        setSyncResult(m_error);
        return -1;
    }
    setSyncResult(nowText());
    return uploads + downloads;
}
