#pragma once

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
    Block *block() { return static_cast<Block *>(memory.data()); }

    SingleApplication *q;
    uint options = 0;
    QString blockServerName;
    QSharedMemory memory;
    QLocalServer *server = nullptr;
    QLocalSocket *socket = nullptr;
    uint instanceNumber = 0;

public slots:
    void slotConnectionEstablished();
    void slotDataAvailable(QLocalSocket *socket, uint instanceId);
    void slotClientConnectionClosed(QLocalSocket *socket, uint instanceId);
};
