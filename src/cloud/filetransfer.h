#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QNetworkReply>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QUrl>

class QAuthenticator;
class QNetworkAccessManager;

// Sends local files to URLs (FTP or HTTPS; credentials travel in the URL) or
// fetches URLs, one transfer after another. After finished() error() holds
// the text of the last failure (empty when all went well) and data() the body
// of the last GET. Error texts never hold the URL's password.
class FileTransfer : public QObject
{
    Q_OBJECT
public:
    enum Method { Put = 0, Post = 1, Get = 2 };

    explicit FileTransfer(QObject *parent = nullptr);
    ~FileTransfer() override;

    void append(const QUrl &url, int method, const QString &localPath = QString());

    QString error() const { return m_error; }
    QByteArray data() const { return m_data; }
    // The inactivity limit: user setting "transferTimeout_i" in seconds
    // (default 15).
    static int timeoutMs();
    // text with every form of the URL's password replaced by "xxx".
    static QString hidePassword(QString text, const QUrl &url);

signals:
    void finished();
    void errorMessage(const QString &error);

private slots:
    void startNextTransfer();
    void downloadProgress(qint64 received, qint64 total);
    void uploadProgress(qint64 sent, qint64 total);
    void transferReadyRead();
    void transferFinished();
    void transferError(QNetworkReply::NetworkError code);
    void timeout();
    void authenticationRequired(QNetworkReply *reply, QAuthenticator *authenticator);

private:
    struct Entry
    {
        QUrl url;
        int method;
        QString localPath;
    };
    void fail(const QString &text);
    void cutOverBudget();

    QString m_error;
    QFile m_file;
    QNetworkAccessManager *m_manager = nullptr;
    QList<Entry> m_queue;
    QTimer m_timer;
    QNetworkReply *m_reply = nullptr;
    QUrl m_url;
    QByteArray m_data;
    QStringList m_sslErrors;
    bool m_timedOut = false;
    bool m_scheduled = false;
    bool m_overBudget = false;
    qint64 m_received = 0;
    qint64 m_sent = 0;
};
