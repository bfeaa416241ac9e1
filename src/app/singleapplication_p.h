#pragma once

#include <QHash>
#include <QObject>
#include <QSharedMemory>

class QLocalServer;
class QLocalSocket;
class SingleApplication;

class SingleApplicationPrivate : public QObject
{
    Q_OBJECT
public:
    explicit SingleApplicationPrivate(SingleApplication *q);
    ~SingleApplicationPrivate() override;

    struct Block
    {
        quint8 primaryAlive;
        quint8 reserved[3];
        quint32 secondaries;
    };

    void computeBlockServerName();
    void startPrimary(bool resetCount);
    bool connectToPrimary(int timeoutMs, char type);
    bool primaryAnswers(int timeoutMs);
    void dropClient(QLocalSocket *client);
    Block *block() { return static_cast<Block *>(memory.data()); }

    SingleApplication *q;
    uint options = 0;
    QString blockServerName;
    QSharedMemory memory;
    QLocalServer *server = nullptr;
    QLocalSocket *socket = nullptr;
    uint instanceNumber = 0;
    // What each connected client has sent so far: a message may arrive in
    // several pieces and is handed on whole when the client closes.
    QHash<QLocalSocket *, QByteArray> pending;
    // Clients whose preamble is not complete yet.
    QHash<QLocalSocket *, QByteArray> headers;

public slots:
    void slotConnectionEstablished();
    void slotHeaderData(QLocalSocket *client);
    void slotDataAvailable(QLocalSocket *socket, uint instanceId);
    void slotClientConnectionClosed(QLocalSocket *socket, uint instanceId);
};
