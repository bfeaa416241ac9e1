#pragma once

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QQueue>
#include <QTimer>
#include <QUrl>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

// Downloads the program's installer (or any queued URLs) into the download
// folder with progress for the update popup, checks that what arrived is the
// whole file, then hands it to the launcher and asks the interface to close.
// Only https addresses are fetched, and only a file matching the published
// SHA-256 ("installsha256_s", required) reaches the launcher.
class DownloadManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString rate READ rate NOTIFY rateChanged)
    Q_PROPERTY(double prog READ prog NOTIFY progChanged)
    Q_PROPERTY(QString savedPath READ savedPath NOTIFY saved)
public:
    // Starts the downloaded file; true when it runs. On false, *message may
    // say what happened instead (e.g. where the file was left).
    using Launcher = std::function<bool(const QString &path, QString *message)>;

    explicit DownloadManager(QObject *parent = nullptr);
    ~DownloadManager() override;

    QString rate() const { return m_rate; }
    double prog() const { return m_prog; }
    // The last download that passed every check.
    QString savedPath() const { return m_savedPath; }
    int completedCount() const { return m_completed; }

    Q_INVOKABLE void append(const QUrl &url);

    void setLauncher(Launcher launcher) { m_launcher = std::move(launcher); }
    void setTimeoutMs(int ms) { m_timer.setInterval(ms); }
    void setShutdownDelayMs(int ms) { m_shutdownDelay = ms; }

    // The launcher of this platform: the user setting "installCmd_s" (a
    // program and its arguments) started with the file as its last argument;
    // without one, it reports where the file was saved (and, for a Debian
    // package, the command that installs it).
    static bool defaultLauncher(const QString &path, QString *message);
    // A free name in folder for the URL's file name; "" when the name
    // would leave the folder.
    static QString saveFileName(const QUrl &url, const QString &folder);
    static bool isSafeSaveName(const QString &name);

signals:
    void finished();
    void errorMessage(const QString &error);
    void shutdown();
    void rateChanged(const QString &rate);
    void progChanged(double prog);
    void saved(const QString &path);

public slots:
    void startNextDownload();
    void downloadProgress(qint64 bytesReceived, qint64 bytesTotal);
    void downloadFinished();
    void downloadReadyRead();
    void downloadError(int code);
    void timeout();
    void installStarted();

private:
    QString failureOf(QNetworkReply *reply);

    QFile m_output;
    QNetworkAccessManager *m_manager = nullptr;
    QQueue<QUrl> m_queue;
    QNetworkReply *m_reply = nullptr;
    QTimer m_timer;
    QElapsedTimer m_clock;
    QCryptographicHash m_hash{QCryptographicHash::Sha256};
    Launcher m_launcher;
    QString m_rate;
    QString m_savedPath;
    double m_prog = 0;
    qint64 m_written = 0;
    qint64 m_received = 0;
    bool m_writeFailed = false;
    bool m_timedOut = false;
    bool m_tooLarge = false;
    int m_completed = 0;
    int m_queued = 0;
    int m_shutdownDelay = 5000;
};
