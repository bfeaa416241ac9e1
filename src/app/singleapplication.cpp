#include "singleapplication.h"
#include "singleapplication_p.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDataStream>
#include <QDebug>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QtEndian>

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace {

QString loggedInUser()
{
    if (const passwd *pw = getpwuid(geteuid()))
        return QString::fromLocal8Bit(pw->pw_name).left(257);
    return QString::fromLocal8Bit(qgetenv("USER")).left(257);
}

} // namespace

QByteArray SingleApplication::checksumText(const QByteArray &data)
{
    const quint16 crc = qChecksum(data.constData(), uint(data.size()));
    QByteArray digits;
    if (crc >= 256)
        digits.append(char(crc >> 8));
    digits.append(char(crc & 0xff));
    QByteArray text;
    for (char c : digits) {
        const uint d = uchar(c);
        text.append(char(((d < 10) ? d + 48 : d + 87) % 256));
    }
    return text;
}

QByteArray SingleApplication::connectionMessage(const QString &name, char type, uint instance)
{
    QByteArray msg = name.toLatin1();
    msg.append(type);
    char number[4];
    qToLittleEndian<quint32>(instance, number);
    msg.append(number, 4);
    msg.append(checksumText(msg));
    return msg;
}

SingleApplicationPrivate::SingleApplicationPrivate(SingleApplication *q) : q(q) {}

SingleApplicationPrivate::~SingleApplicationPrivate()
{
    // clients closing with the server are not messages any more
    for (QLocalSocket *client : pending.keys())
        client->disconnect(this);
    for (QLocalSocket *client : headers.keys())
        client->disconnect(this);
    pending.clear();
    headers.clear();
    if (socket) {
        socket->close();
        delete socket;
    }
    if (server) {
        server->close();
        delete server;
        if (memory.lock()) {
            block()->primaryAlive = 0;
            memory.unlock();
        }
    }
    memory.detach();
}

void SingleApplicationPrivate::computeBlockServerName()
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData("SingleApplication", 17);
    hash.addData(QCoreApplication::applicationName().toUtf8());
    hash.addData(QCoreApplication::organizationName().toUtf8());
    hash.addData(QCoreApplication::organizationDomain().toUtf8());
    if (!(options & SingleApplication::ExcludeAppVersion))
        hash.addData(QCoreApplication::applicationVersion().toUtf8());
    if (!(options & SingleApplication::ExcludeAppPath))
        hash.addData(QCoreApplication::applicationFilePath().toLower().toUtf8());
    if (options & SingleApplication::User) {
        const QString user = loggedInUser();
        if (!user.isEmpty())
            hash.addData(user.toUtf8());
        else
            hash.addData(QStandardPaths::standardLocations(QStandardPaths::HomeLocation).join(QString()).toUtf8());
    }
    blockServerName = QString::fromLatin1(hash.result().toBase64().replace('/', '_'));
}

void SingleApplicationPrivate::startPrimary(bool resetCount)
{
    QLocalServer::removeServer(blockServerName);
    server = new QLocalServer();
    server->setSocketOptions((options & SingleApplication::User) ? QLocalServer::UserAccessOption
                                                                 : QLocalServer::WorldAccessOption);
    server->listen(blockServerName);
    connect(server, &QLocalServer::newConnection, this, &SingleApplicationPrivate::slotConnectionEstablished);
    if (memory.lock()) {
        if (resetCount)
            block()->secondaries = 0;
        block()->primaryAlive = 1;
        memory.unlock();
    }
    instanceNumber = 0;
}

bool SingleApplicationPrivate::connectToPrimary(int timeoutMs, char type)
{
    if (!socket)
        socket = new QLocalSocket();
    if (socket->state() != QLocalSocket::ConnectedState) {
        if (socket->state() == QLocalSocket::UnconnectedState || socket->state() == QLocalSocket::ClosingState)
            socket->connectToServer(blockServerName);
        if (socket->state() == QLocalSocket::ConnectingState)
            socket->waitForConnected(timeoutMs);
    }
    if (socket->state() != QLocalSocket::ConnectedState)
        return false;
    socket->write(SingleApplication::connectionMessage(blockServerName, type, instanceNumber));
    socket->flush();
    return socket->waitForBytesWritten(timeoutMs) || socket->bytesToWrite() == 0;
}

// Shared memory outlives a primary that crashed, leaving its alive flag set;
// whether anybody still listens tells a live primary from a dead one.
bool SingleApplicationPrivate::primaryAnswers(int timeoutMs)
{
    QLocalSocket probe;
    probe.connectToServer(blockServerName);
    const bool ok = probe.state() == QLocalSocket::ConnectedState || probe.waitForConnected(timeoutMs);
    probe.abort();
    return ok;
}

void SingleApplicationPrivate::slotConnectionEstablished()
{
    QLocalSocket *client = server->nextPendingConnection();
    if (!client)
        return;
    // The preamble may come in pieces (a busy machine, a slow sender): gather
    // it without blocking the window and judge it once it is complete.
    headers.insert(client, QByteArray());
    connect(client, &QLocalSocket::readyRead, this, [this, client] { slotHeaderData(client); });
    connect(client, &QLocalSocket::disconnected, this, [this, client] { slotHeaderData(client); });
    slotHeaderData(client);
}

void SingleApplicationPrivate::slotHeaderData(QLocalSocket *client)
{
    if (!headers.contains(client))
        return;
    QByteArray &buffer = headers[client];
    buffer += client->read(blockServerName.size() + 16 + SingleApplication::kMaxMessageSize + 1 - buffer.size());
    const bool closed = client->state() != QLocalSocket::ConnectedState;

    const QByteArray name = blockServerName.toLatin1();
    const int fixed = name.size() + 5;   // name, type, instance number
    bool ok = buffer.left(name.size()) == name.left(buffer.size());
    int needed = fixed;
    if (ok && buffer.size() >= fixed) {
        const char type = buffer.at(name.size());
        ok = type == 'N' || type == 'R' || type == 'S';
        needed = fixed + SingleApplication::checksumText(buffer.left(fixed)).size();
    }
    if (ok && buffer.size() < needed && !closed)
        return;   // wait for the rest
    ok = ok && buffer.size() >= needed
         && buffer.mid(fixed, needed - fixed) == SingleApplication::checksumText(buffer.left(fixed));

    if (ok && buffer.size() - needed > SingleApplication::kMaxMessageSize)
        ok = false;   // a message past its bound is dropped whole
    const QByteArray rest = buffer.mid(needed);
    const char type = buffer.size() > name.size() ? buffer.at(name.size()) : 0;
    const uint instance = ok ? qFromLittleEndian<quint32>(buffer.constData() + name.size() + 1) : 0;
    headers.remove(client);
    client->disconnect(this);
    if (!ok) {
        client->close();
        client->deleteLater();
        return;
    }

    pending.insert(client, rest);
    connect(client, &QLocalSocket::aboutToClose, this,
            [this, client, instance] { slotClientConnectionClosed(client, instance); });
    connect(client, &QLocalSocket::disconnected, this,
            [this, client, instance] { slotClientConnectionClosed(client, instance); });
    connect(client, &QLocalSocket::readyRead, this,
            [this, client, instance] { slotDataAvailable(client, instance); });

    if (type == 'N' || (type == 'S' && (options & SingleApplication::SecondaryNotification)))
        emit q->instanceStarted();
    if (client->bytesAvailable() > 0) {
        slotDataAvailable(client, instance);
        if (!pending.contains(client))
            return;
    }
    if (closed)
        slotClientConnectionClosed(client, instance);
}

void SingleApplicationPrivate::slotDataAvailable(QLocalSocket *client, uint instanceId)
{
    Q_UNUSED(instanceId)
    if (!pending.contains(client))
        return;
    QByteArray &message = pending[client];
    message += client->read(SingleApplication::kMaxMessageSize + 1 - message.size());
    if (message.size() > SingleApplication::kMaxMessageSize)
        dropClient(client);
}

// A sender that goes on past the bound loses its connection and its message.
void SingleApplicationPrivate::dropClient(QLocalSocket *client)
{
    qWarning() << "single instance: dropped a message longer than" << SingleApplication::kMaxMessageSize << "bytes";
    pending.remove(client);
    headers.remove(client);
    client->disconnect(this);
    client->abort();
    client->deleteLater();
}

void SingleApplicationPrivate::slotClientConnectionClosed(QLocalSocket *client, uint instanceId)
{
    if (!pending.contains(client))
        return;
    const QByteArray message = pending.take(client) + client->read(SingleApplication::kMaxMessageSize + 1);
    if (message.size() > SingleApplication::kMaxMessageSize) {
        pending.insert(client, QByteArray());
        dropClient(client);
        return;
    }
    if (!message.isEmpty())
        emit q->receivedMessage(instanceId, message);
    client->deleteLater();
}

SingleApplication::SingleApplication(bool allowSecondary, uint options, int timeoutMs, QObject *parent)
    : QObject(parent), d(new SingleApplicationPrivate(this))
{
    d->options = options;
    d->computeBlockServerName();
    d->memory.setKey(d->blockServerName);

    if (d->memory.create(sizeof(SingleApplicationPrivate::Block))) {
        if (d->memory.lock()) {
            *d->block() = SingleApplicationPrivate::Block{0, {0, 0, 0}, 0};
            d->memory.unlock();
        }
        d->startPrimary(true);
        return;
    }
    if (!d->memory.attach()) {
        d->connectToPrimary(timeoutMs, 'N');
        std::exit(0);
    }

    bool becomePrimary = false;
    d->memory.lock();
    const bool alive = d->block()->primaryAlive;
    d->memory.unlock();
    if (alive && !d->primaryAnswers(timeoutMs))
        becomePrimary = true;
    d->memory.lock();
    if (alive && !becomePrimary) {
        if (!allowSecondary) {
            d->memory.unlock();
            d->connectToPrimary(timeoutMs, 'N');
            std::exit(0);
        }
        d->instanceNumber = ++d->block()->secondaries;
        d->memory.unlock();
        if (options & SecondaryNotification)
            d->connectToPrimary(timeoutMs, 'S');
        return;
    }
    d->memory.unlock();
    d->startPrimary(false);
}

SingleApplication::~SingleApplication()
{
    delete d;
}

bool SingleApplication::isSecondary() const
{
    return d->server == nullptr;
}

uint SingleApplication::instanceId() const
{
    return d->instanceNumber;
}

QString SingleApplication::blockServerName() const
{
    return d->blockServerName;
}

bool SingleApplication::sendMessage(const QByteArray &message, int timeoutMs)
{
    if (!isSecondary())
        return false;
    if (!d->connectToPrimary(timeoutMs, 'R'))
        return false;
    d->socket->write(message);
    const bool written = d->socket->waitForBytesWritten(timeoutMs) || d->socket->bytesToWrite() == 0;
    return written;
}
