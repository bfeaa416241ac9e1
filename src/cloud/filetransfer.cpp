#include "filetransfer.h"

#include "app/appcontext.h"
#include "cloud/downloadbudget.h"

#include <QAuthenticator>
#include <QDebug>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QSslError>

FileTransfer::FileTransfer(QObject *parent)
    : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &FileTransfer::timeout);
}

FileTransfer::~FileTransfer()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

int FileTransfer::timeoutMs()
{
    const int seconds = AppContext::setting(QStringLiteral("transferTimeout_i"), 15).toInt();
    return (seconds > 0 ? seconds : 15) * 1000;
}

QString FileTransfer::hidePassword(QString text, const QUrl &url)
{
    const QString password = url.password(QUrl::FullyDecoded);
    if (password.isEmpty())
        return text;
    QUrl hidden(url);
    hidden.setPassword(QStringLiteral("xxx"));
    // whole addresses first, so they stay readable, then any loose password
    for (QUrl::ComponentFormattingOption form : {QUrl::PrettyDecoded, QUrl::FullyEncoded})
        text.replace(url.toString(form), hidden.toString(form));
    const QString variants[] = {url.password(QUrl::FullyEncoded), url.password(QUrl::PrettyDecoded), password,
                                QString::fromLatin1(QUrl::toPercentEncoding(password))};
    for (const QString &v : variants) {
        if (!v.isEmpty())
            text.replace(v, QStringLiteral("xxx"));
    }
    return text;
}

void FileTransfer::append(const QUrl &url, int method, const QString &localPath)
{
    if (m_queue.isEmpty() && !m_reply && !m_scheduled) {
        // a new round of transfers: its outcome alone counts
        m_error.clear();
        m_scheduled = true;
        QTimer::singleShot(0, this, &FileTransfer::startNextTransfer);
    }
    m_queue.append(Entry{url, method, localPath});
}

void FileTransfer::fail(const QString &text)
{
    m_error = hidePassword(text, m_url);
    emit errorMessage(m_error);
}

void FileTransfer::startNextTransfer()
{
    m_scheduled = false;
    if (m_reply)
        return; // the running transfer starts the next one when it ends
    if (m_queue.isEmpty()) {
        emit finished();
        return;
    }
    const Entry entry = m_queue.takeFirst();
    m_url = entry.url;
    m_data.clear();
    m_timedOut = false;
    m_overBudget = false;
    m_received = 0;
    m_sent = 0;

    if (entry.method == Put || entry.method == Post) {
        m_file.setFileName(entry.localPath);
        if (!m_file.open(QIODevice::ReadOnly)) {
            fail(m_file.errorString());
            qCritical() << m_error;
            // nobody is left to start what is queued behind: drop it, so
            // the caller's wait ends and the next append starts afresh
            m_queue.clear();
            emit finished();
            return;
        }
        qInfo() << "Start transfer" << entry.method << entry.localPath;
    } else {
        qInfo() << "Start transfer" << entry.method << entry.url.fileName();
    }

    if (!m_manager) {
        m_manager = new QNetworkAccessManager(this);
        connect(m_manager, &QNetworkAccessManager::authenticationRequired, this,
                &FileTransfer::authenticationRequired);
    }
    QNetworkRequest request(entry.url);
    if (entry.method == Put) {
        m_reply = m_manager->put(request, &m_file);
    } else if (entry.method == Post) {
        request.setHeader(QNetworkRequest::ContentTypeHeader,
                          QFileInfo(entry.localPath).suffix().compare(QLatin1String("xml"), Qt::CaseInsensitive) == 0
                              ? QStringLiteral("application/xml")
                              : QStringLiteral("application/octet-stream"));
        m_reply = m_manager->post(request, &m_file);
    } else {
        m_reply = m_manager->get(request);
    }
    connect(m_reply, &QNetworkReply::downloadProgress, this, &FileTransfer::downloadProgress);
    connect(m_reply, &QNetworkReply::uploadProgress, this, &FileTransfer::uploadProgress);
    connect(m_reply, &QNetworkReply::readyRead, this, &FileTransfer::transferReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &FileTransfer::transferFinished);
    connect(m_reply, &QNetworkReply::errorOccurred, this, &FileTransfer::transferError);
    m_sslErrors.clear();
    connect(m_reply, &QNetworkReply::sslErrors, this, [this](const QList<QSslError> &errors) {
        for (const QSslError &e : errors)
            m_sslErrors << e.errorString();
    });

    qInfo() << "transferring " << hidePassword(entry.url.toString(), entry.url);
    m_timer.start(timeoutMs());
}

// The inactivity timer restarts only when bytes really moved; a fetch that
// goes past its budget is cut, so an endless stream ends too.
void FileTransfer::downloadProgress(qint64 received, qint64 total)
{
    const qint64 budget = DownloadBudget::limit(DownloadBudget::Transfer);
    if (received > budget || total > budget) {
        cutOverBudget();
        return;
    }
    if (received > m_received) {
        m_received = received;
        m_timer.start(timeoutMs());
    }
}

void FileTransfer::uploadProgress(qint64 sent, qint64)
{
    if (sent > m_sent) {
        m_sent = sent;
        m_timer.start(timeoutMs());
    }
}

void FileTransfer::transferReadyRead()
{
    if (!m_reply || m_overBudget)
        return;
    m_data += m_reply->readAll();
    if (m_data.size() > DownloadBudget::limit(DownloadBudget::Transfer))
        cutOverBudget();
}

void FileTransfer::cutOverBudget()
{
    if (m_overBudget || !m_reply)
        return;
    qWarning() << "file transfer cut: more than" << DownloadBudget::limit(DownloadBudget::Transfer) << "bytes";
    m_overBudget = true;
    m_data.clear();
    m_reply->abort();
}

void FileTransfer::timeout()
{
    qWarning() << "file timeout";
    m_timedOut = true;
    if (m_reply)
        m_reply->abort();
}

void FileTransfer::transferFinished()
{
    m_timer.stop();
    m_file.close();
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    if (!reply)
        return;
    if (!m_overBudget) {
        m_data += reply->readAll();
        if (m_data.size() > DownloadBudget::limit(DownloadBudget::Transfer)) {
            m_overBudget = true;
            m_data.clear();
        }
    }

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    QString failure;
    if (m_overBudget)
        failure = QStringLiteral("Transfer refused: the file is larger than %1 bytes")
                      .arg(DownloadBudget::limit(DownloadBudget::Transfer));
    else if (m_timedOut)
        failure = QStringLiteral("Transfer Timed Out"); // not the abort's "Operation canceled"
    else if (reply->error() != QNetworkReply::NoError)
        // "SSL handshake failed" alone does not say why
        failure = reply->errorString()
                  + (m_sslErrors.isEmpty() ? QString() : QStringLiteral(": ") + m_sslErrors.join(QStringLiteral("; ")));
    else if (status.isValid() && (status.toInt() < 200 || status.toInt() > 299))
        // a redirect or any other non-2xx answer finishes without a network
        // error, but nothing was delivered
        failure = QStringLiteral("Transfer to %1 failed: the server answered %2 %3")
                      .arg(reply->url().toString(), status.toString(),
                           reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString());
    if (failure.isEmpty()) {
        qInfo() << "file transfer complete";
    } else {
        fail(failure);
        qWarning() << "File transfer Failed: " << m_error;
    }
    reply->deleteLater();
    startNextTransfer();
}

void FileTransfer::transferError(QNetworkReply::NetworkError code)
{
    qWarning() << "File transfer Error" << code;
}

void FileTransfer::authenticationRequired(QNetworkReply *, QAuthenticator *)
{
    // the credentials travel in the URL; offering none ends the transfer
    qWarning() << "file authenticationRequired";
}
