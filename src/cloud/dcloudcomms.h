#pragma once

#include "cloud/cloudfileinfo.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>

class QAmazonConnection;
class QNetworkReply;
class appSettings;

// Keeps the data folder's settings folder ("st", holding lta.ini) equal to
// the account's copy in the storage bucket. A marker object per folder and
// the time of the last completed sync let an unchanged account skip the
// listing; otherwise files are compared by MD5 and modification time.
class DCloudComms : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString syncResult READ syncResult NOTIFY syncResultChanged)
public:
    // Selection flags of syncFolder.
    enum Flag { UploadNewer = 1, CloudIsMaster = 4, KeepZeroSize = 8 };

    // Which installation to sync: its data folder and its two settings
    // stores. The default is the running program's (AppContext).
    struct Device
    {
        QString dataRoot;
        appSettings *user = nullptr;
        appSettings *shared = nullptr; // dataRoot + "/st/lta.ini"
    };

    explicit DCloudComms(QObject *parent = nullptr);
    explicit DCloudComms(const Device &device, QObject *parent = nullptr);
    ~DCloudComms() override;

    QString syncResult() const { return m_syncResult; }

    Q_INVOKABLE int sync(int selection = 0);
    Q_INVOKABLE int syncSettings();
    // Files transferred, 0 when nothing had changed, -1 on error.
    Q_INVOKABLE int syncFolder(const QString &folder, int selection, const QString &prefix = QString());
    Q_INVOKABLE bool isFolderModified(const QString &folder);
    Q_INVOKABLE void markFolderModified(const QString &folder);
    Q_INVOKABLE static QString getmd5(const QString &path);

    // The message of the last failed storage reply ("" when none).
    QString errorText() const { return m_error; }
    // A cloud object's name is used as a local file name only when it
    // stays inside the folder.
    static bool isSafeCloudName(const QString &name);

    // What a folder sync does with one name, decided from the listing's
    // entry (null when the listing lacks the name) and the local file (null
    // when there is none). The local file's MD5 is asked for only when it
    // matters.
    enum Step { Nothing, Upload, Download, RemoveLocal, RemoveCloud, Refuse };
    struct LocalFile
    {
        QDateTime modified;
        std::function<QByteArray()> md5;
    };
    struct Rules
    {
        int selection = 0;
        bool listingEmpty = false;
        qint64 zombieDays = 35;
        QDateTime nowUtc;
    };
    static Step syncStep(const QString &name, const CloudFileInfo *cloud, const LocalFile *local, const Rules &rules);

signals:
    void syncResultChanged(const QString &result);

private:
    void setSyncResult(const QString &text);
    bool checkReply(QNetworkReply *reply, bool requireData);
    QString markerKey(const QString &folderName) const;
    QDateTime markerTime(const QString &folderName);
    bool upload(const QString &path, const QString &key);
    bool download(const QString &path, const QString &key, const QDateTime &cloudTime);
    QVariant setting(const QString &key, const QVariant &def = QVariant()) const;
    void setSetting(const QString &key, const QVariant &value);

    Device m_device;
    QString m_syncResult;
    QString m_regEmail;
    QString m_error;
    QString m_credentialMessage;
    QAmazonConnection *m_conn = nullptr;
    QDateTime m_markerSeen; // the marker's time read by isFolderModified
    bool m_settingsDownloaded = false;
    bool m_firstSync = true;
};
