#include "downloadmanager.h"

#include "app/appcontext.h"
#include "cloud/downloadbudget.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QMetaEnum>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QStandardPaths>

DownloadManager::DownloadManager(QObject *parent)
    : QObject(parent)
    , m_launcher(&DownloadManager::defaultLauncher)
{
    m_timer.setInterval(20000);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &DownloadManager::timeout);
}

DownloadManager::~DownloadManager()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
    // a half-written file must not be taken for the installer later
    if (m_output.isOpen()) {
        m_output.close();
        m_output.remove();
    }
}

bool DownloadManager::defaultLauncher(const QString &path, QString *message)
{
    const QString command = AppContext::setting(QStringLiteral("installCmd_s")).toString().trimmed();
    // the command may carry its own arguments ("gnome-software --local-filename")
    QStringList words = QProcess::splitCommand(command);
    if (words.isEmpty()) {
        if (message) {
            const QString file = QDir::toNativeSeparators(path);
            *message = QStringLiteral("The new version was saved to %1").arg(file);
            // a Debian package needs the package manager, which asks for the
            // administrator's password
            if (path.endsWith(QLatin1String(".deb"), Qt::CaseInsensitive))
                *message += QStringLiteral(". Install it with: sudo apt install %1").arg(file);
        }
        return false;
    }
    const QString program = words.takeFirst();
    if (QProcess::startDetached(program, words << path))
        return true;
    if (message)
        *message = QStringLiteral("Failed to start %1").arg(command);
    return false;
}

bool DownloadManager::isSafeSaveName(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (const QChar c : name)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') || c.unicode() < 0x20)
            return false;
    return true;
}

QString DownloadManager::saveFileName(const QUrl &url, const QString &folder)
{
    // the last segment as sent, decoded afterwards: an encoded "/" or "\"
    // in it must not go unnoticed
    const QByteArray path = url.path(QUrl::FullyEncoded).toLatin1();
    QString base = QUrl::fromPercentEncoding(path.mid(path.lastIndexOf('/') + 1));
    if (base.isEmpty())
        base = QStringLiteral("download");
    if (!isSafeSaveName(base))
        return QString();
    const QString prefix = folder.isEmpty() ? QString() : folder + QLatin1Char('/');
    QString name = prefix + base;
    if (!QFileInfo::exists(name))
        return name;
    const int dot = base.lastIndexOf(QLatin1Char('.'));
    for (int n = 1;; ++n) {
        if (dot <= 0)
            name = prefix + QStringLiteral("%1.%2").arg(base).arg(n);
        else
            name = prefix + QStringLiteral("%1(%2)%3").arg(base.left(dot)).arg(n).arg(base.mid(dot));
        if (!QFileInfo::exists(name))
            return name;
    }
}

void DownloadManager::append(const QUrl &url)
{
    if (m_queue.isEmpty())
        QTimer::singleShot(0, this, &DownloadManager::startNextDownload);
    m_queue.enqueue(url);
    ++m_queued;
}

void DownloadManager::startNextDownload()
{
    if (m_reply)
        return;
    if (m_queue.isEmpty()) {
        if (!m_savedPath.isEmpty()) {
            qInfo() << "Downloaded successfully, start Installer";
            QString message;
            if (m_launcher && m_launcher(m_savedPath, &message)) {
                QTimer::singleShot(m_shutdownDelay, this, &DownloadManager::installStarted);
                return;
            }
            if (!message.isEmpty())
                qInfo().noquote() << message;
            emit saved(m_savedPath);
        }
        emit finished();
        return;
    }

    const QUrl url = m_queue.dequeue();
    m_savedPath.clear();
    // What is downloaded here gets started: it comes over https only.
    if (url.scheme() != QLatin1String("https") || url.host().isEmpty()) {
        qCritical() << "Refused installer address that is not https" << url.scheme();
        emit errorMessage(QStringLiteral("Refused to download the new version: its address is not https"));
        QTimer::singleShot(0, this, &DownloadManager::startNextDownload);
        return;
    }
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (!folder.isEmpty())
        QDir().mkpath(folder);
    const QString name = saveFileName(url, folder);
    if (name.isEmpty()) {
        qCritical() << "Refused unsafe download name" << url.toString();
        const QByteArray path = url.path(QUrl::FullyEncoded).toLatin1();
        emit errorMessage(QStringLiteral("Refused to save a file named %1")
                              .arg(QUrl::fromPercentEncoding(path.mid(path.lastIndexOf('/') + 1))));
        QTimer::singleShot(0, this, &DownloadManager::startNextDownload);
        return;
    }
    m_output.setFileName(name);
    if (!m_output.open(QIODevice::WriteOnly)) {
        emit errorMessage(QStringLiteral("Failed to save file %1: %2").arg(name, m_output.errorString()));
        qCritical() << "Problem opening save file" << name << " for download " << url.toString()
                    << m_output.errorString();
        QTimer::singleShot(0, this, &DownloadManager::startNextDownload);
        return;
    }
    qInfo() << "saving" << name;
    // the progress shown is this download's, not the last one's
    if (m_prog != 0) {
        m_prog = 0;
        emit progChanged(m_prog);
    }
    if (!m_rate.isEmpty()) {
        m_rate.clear();
        emit rateChanged(m_rate);
    }
    m_written = 0;
    m_received = 0;
    m_writeFailed = false;
    m_timedOut = false;
    m_tooLarge = false;
    m_hash.reset();
    if (!m_manager)
        m_manager = new QNetworkAccessManager(this);
    QNetworkRequest request(url);
    // redirects are reported, never followed: the installer comes from the
    // configured address only
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    m_reply = m_manager->get(request);
    connect(m_reply, &QNetworkReply::downloadProgress, this, &DownloadManager::downloadProgress);
    connect(m_reply, &QNetworkReply::finished, this, &DownloadManager::downloadFinished);
    connect(m_reply, &QNetworkReply::readyRead, this, &DownloadManager::downloadReadyRead);
    connect(m_reply, &QNetworkReply::errorOccurred, this, [this](QNetworkReply::NetworkError code) { downloadError(code); });
    qInfo() << "Downloading " << url.toString();
    m_timer.start();
    m_clock.start();
}

void DownloadManager::downloadReadyRead()
{
    if (!m_reply || !m_reply->isOpen())
        return;
    const QByteArray data = m_reply->readAll();
    // an installer past the archive budget is no installer: cut, not stored
    if (m_written + data.size() > DownloadBudget::limit(DownloadBudget::Archive)) {
        qWarning() << "installer download past its budget";
        m_tooLarge = true;
        m_reply->abort();
        return;
    }
    m_hash.addData(data);
    if (m_output.write(data) != data.size())
        m_writeFailed = true;
    m_written += data.size();
}

void DownloadManager::downloadProgress(qint64 bytesReceived, qint64 bytesTotal)
{
    // the inactivity timer restarts only when bytes really arrived
    if (bytesReceived > m_received) {
        m_received = bytesReceived;
        m_timer.start();
    }
    if (bytesTotal <= 0)
        return;
    const double p = double(bytesReceived) / double(bytesTotal);
    if (p != m_prog) {
        m_prog = p;
        emit progChanged(m_prog);
    }
    const QString rate = QStringLiteral("%1%").arg(int(m_prog * 100));
    if (rate != m_rate) {
        m_rate = rate;
        emit rateChanged(m_rate);
    }
}

// Why the finished reply is not a complete installer, or "" when it is.
QString DownloadManager::failureOf(QNetworkReply *reply)
{
    if (m_timedOut)
        return QStringLiteral("Download timed out");
    if (m_tooLarge)
        return QStringLiteral("Download failed: the file is larger than any installer");
    if (reply->error() != QNetworkReply::NoError) {
        const char *name = QMetaEnum::fromType<QNetworkReply::NetworkError>().valueToKey(reply->error());
        return QStringLiteral("Download failed: %1 (%2)").arg(QLatin1String(name ? name : "UnknownError")).arg(reply->error());
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 301 || status == 302 || status == 303 || status == 305 || status == 307 || status == 308) {
        QString text = QStringLiteral("Request: %1 was redirected with code: %2").arg(reply->url().toString()).arg(status);
        const QUrl target = reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
        if (target.isValid())
            text += QStringLiteral(" Redirected to: ") + reply->url().resolved(target).toString();
        qInfo().noquote() << text;
        return QStringLiteral("Download failed: the server redirected the request");
    }
    if (status != 200)
        return QStringLiteral("Download failed: the server answered %1").arg(status);
    if (m_writeFailed || !m_output.flush())
        return QStringLiteral("Download failed: ") + m_output.errorString();
    // a body cut short without a length still ends without an error: only
    // the announced length or the digest tells
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() != m_written)
        return QStringLiteral("Download failed: %1 of %2 bytes arrived").arg(m_written).arg(length.toLongLong());
    // Nothing is started without a published digest that it matches.
    const QString digest = AppContext::setting(QStringLiteral("installsha256_s")).toString().trimmed().toLower();
    if (digest.isEmpty())
        return QStringLiteral("Download failed: no checksum is published for the new version");
    if (QString::fromLatin1(m_hash.result().toHex()) != digest)
        return QStringLiteral("Download failed: the file does not match its published checksum");
    return QString();
}

void DownloadManager::downloadFinished()
{
    QNetworkReply *reply = m_reply;
    if (!reply)
        return;
    m_timer.stop();
    downloadReadyRead();
    const QString failure = failureOf(reply);
    m_output.close();
    if (failure.isEmpty()) {
        qInfo() << "download complete";
        ++m_completed;
        m_savedPath = m_output.fileName();
    } else {
        qDebug().noquote() << "Failed: " << failure;
        if (!m_timedOut)
            emit errorMessage(failure);
        m_output.remove();
    }
    m_reply = nullptr;
    reply->deleteLater();
    startNextDownload();
}

void DownloadManager::downloadError(int code)
{
    qWarning() << "downloadError" << QNetworkReply::NetworkError(code);
}

void DownloadManager::timeout()
{
    if (!m_reply)
        return;
    qWarning() << "timeout";
    m_timedOut = true;
    emit errorMessage(QStringLiteral("Download timed out"));
    m_reply->abort();
}

void DownloadManager::installStarted()
{
    emit shutdown();
}
