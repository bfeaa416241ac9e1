#include "ftpput.h"

#include "cloud/filetransfer.h"

#include <QDebug>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>

namespace {

// Runs a local event loop until one of the socket's signals fires or the
// timeout passes; false on the timeout.
template <typename Signal>
bool waitSignal(QTcpSocket *socket, Signal signal, int timeoutMs)
{
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    bool timedOut = false;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    QObject::connect(socket, signal, &loop, &QEventLoop::quit);
    QObject::connect(socket, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
    QObject::connect(socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
    timer.start(timeoutMs);
    loop.exec();
    return !timedOut;
}

// A name in a command line must not end the line early.
bool plainLine(const QString &text)
{
    for (const QChar c : text)
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar(0))
            return false;
    return true;
}

} // namespace

FtpPut::FtpPut(QObject *parent)
    : QObject(parent)
{
}

FtpPut::~FtpPut()
{
    delete m_control;
}

bool FtpPut::connectTo(QTcpSocket *socket, const QString &host, quint16 port)
{
    socket->connectToHost(host, port);
    if (socket->state() == QAbstractSocket::ConnectedState)
        return true;
    if (!waitSignal(socket, &QTcpSocket::connected, m_timeoutMs)) {
        m_error = QStringLiteral("Transfer Timed Out");
        return false;
    }
    if (socket->state() != QAbstractSocket::ConnectedState) {
        m_error = socket->errorString();
        return false;
    }
    return true;
}

bool FtpPut::waitReadable(QTcpSocket *socket)
{
    if (socket->bytesAvailable() > 0)
        return true;
    if (socket->state() != QAbstractSocket::ConnectedState) {
        m_error = QStringLiteral("Connection closed by ") + m_host;
        return false;
    }
    if (!waitSignal(socket, &QTcpSocket::readyRead, m_timeoutMs)) {
        m_error = QStringLiteral("Transfer Timed Out");
        return false;
    }
    if (socket->bytesAvailable() == 0) {
        m_error = socket->error() == QAbstractSocket::RemoteHostClosedError || socket->error() == QAbstractSocket::UnknownSocketError
                      ? QStringLiteral("Connection closed by ") + m_host
                      : socket->errorString();
        return false;
    }
    return true;
}

FtpPut::Reply FtpPut::readReply()
{
    // "123 text", or "123-text" lines up to the one that starts "123 "
    Reply reply;
    QString first;
    for (;;) {
        int end;
        while ((end = m_buffer.indexOf('\n')) < 0) {
            if (!waitReadable(m_control))
                return Reply();
            m_buffer += m_control->readAll();
        }
        const QString line = QString::fromUtf8(m_buffer.left(end)).trimmed();
        m_buffer.remove(0, end + 1);
        if (first.isEmpty()) {
            if (line.size() < 3 || !line.left(3).toInt()) {
                m_error = QStringLiteral("Unexpected answer from ") + m_host;
                return Reply();
            }
            first = line.left(3);
            reply.text = line.mid(4);
            if (line.size() > 3 && line.at(3) == QLatin1Char('-'))
                continue;
            break;
        }
        if (line.startsWith(first + QLatin1Char(' '))) {
            reply.text += QLatin1Char('\n') + line.mid(4);
            break;
        }
        reply.text += QLatin1Char('\n') + line;
    }
    reply.code = first.toInt();
    return reply;
}

FtpPut::Reply FtpPut::command(const QByteArray &line)
{
    m_control->write(line + "\r\n");
    return readReply();
}

QString FtpPut::sendData(const QString &remote, const QString &localPath)
{
    QFile file(localPath);
    if (!file.open(QIODevice::ReadOnly))
        return localPath + QStringLiteral(" could not be read");
    const Reply pasv = command("PASV");
    if (pasv.code == 0)
        return m_error;
    static const QRegularExpression address(QStringLiteral("(\\d+),(\\d+),(\\d+),(\\d+),(\\d+),(\\d+)"));
    const QRegularExpressionMatch m = address.match(pasv.text);
    if (pasv.code != 227 || !m.hasMatch())
        return QStringLiteral("Uploading file failed:\n") + pasv.text;
    // The data connection goes to the host of the control connection, never
    // to an address the server names (it may name a private one).
    const quint16 port = quint16(m.captured(5).toInt() * 256 + m.captured(6).toInt());
    QTcpSocket data;
    if (!connectTo(&data, m_control->peerAddress().toString(), port))
        return m_error;
    const Reply stor = command("STOR " + remote.toUtf8());
    if (stor.code == 0)
        return m_error;
    if (stor.code != 150 && stor.code != 125)
        return QStringLiteral("Uploading file failed:\n") + stor.text;
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(64 * 1024);
        if (chunk.isEmpty() && file.error() != QFileDevice::NoError)
            return localPath + QStringLiteral(" could not be read");
        data.write(chunk);
        while (data.bytesToWrite() > 0) {
            if (data.state() != QAbstractSocket::ConnectedState)
                return QStringLiteral("Uploading file failed:\n") + data.errorString();
            if (!waitSignal(&data, &QTcpSocket::bytesWritten, m_timeoutMs))
                return QStringLiteral("Transfer Timed Out");
        }
    }
    data.disconnectFromHost();
    if (data.state() != QAbstractSocket::UnconnectedState)
        waitSignal(&data, &QTcpSocket::disconnected, m_timeoutMs);
    const Reply done = readReply();
    if (done.code == 0)
        return m_error;
    if (done.code != 226 && done.code != 250)
        return QStringLiteral("Uploading file failed:\n") + done.text;
    return QString();
}

QString FtpPut::put(const QUrl &url, const QString &localPath)
{
    m_error.clear();
    m_buffer.clear();
    m_timeoutMs = FileTransfer::timeoutMs();
    m_host = url.host();
    const QString path = url.path(QUrl::FullyDecoded);
    const QString part = partName(path);
    qInfo() << "transferring " << FileTransfer::hidePassword(url.toString(), url);
    if (!plainLine(path) || !plainLine(url.userName(QUrl::FullyDecoded)) || !plainLine(url.password(QUrl::FullyDecoded)))
        return QStringLiteral("Uploading file failed:\ninvalid name");
    const qint64 size = QFileInfo(localPath).size();

    delete m_control;
    m_control = new QTcpSocket;
    if (!connectTo(m_control, m_host, quint16(url.port(21))))
        return FileTransfer::hidePassword(m_error, url);
    const Reply greeting = readReply();
    if (greeting.code != 220)
        return greeting.code ? QStringLiteral("Connecting to %1 failed:\n%2").arg(m_host, greeting.text)
                             : FileTransfer::hidePassword(m_error, url);

    Reply r = command("USER " + url.userName(QUrl::FullyDecoded).toUtf8());
    if (r.code == 331)
        r = command("PASS " + url.password(QUrl::FullyDecoded).toUtf8());
    if (r.code == 0)
        return FileTransfer::hidePassword(m_error, url);
    if (r.code != 230 && r.code != 202)
        return QStringLiteral("Logging in to %1 failed: authentication required").arg(m_host);

    auto fail = [&](const Reply &reply, const char *what) {
        return reply.code == 0 ? FileTransfer::hidePassword(m_error, url)
                               : QString::fromLatin1(what) + QStringLiteral(" failed:\n") + reply.text;
    };
    r = command("TYPE I");
    if (r.code != 200)
        return fail(r, "Uploading file");
    // Already there whole: an earlier try got as far as the rename.
    r = command("SIZE " + path.toUtf8());
    if (r.code == 0)
        return FileTransfer::hidePassword(m_error, url);
    if (r.code == 213 && r.text.trimmed().toLongLong() == size) {
        qInfo() << "ftp: already delivered" << path;
        command("QUIT");
        return QString();
    }
    const QString sent = sendData(part, localPath);
    if (!sent.isEmpty())
        return FileTransfer::hidePassword(sent, url);
    r = command("RNFR " + part.toUtf8());
    if (r.code != 350)
        return fail(r, "Renaming file");
    r = command("RNTO " + path.toUtf8());
    if (r.code != 250)
        return fail(r, "Renaming file");
    command("QUIT");
    return QString();
}
