#pragma once

#include <QObject>

class SingleApplicationPrivate;

// Keeps one running copy of the program per user. A later start joins the
// first one's shared block, hands its message over a local socket and exits;
// the first copy ("primary") hears about it through the signals.
class SingleApplication : public QObject
{
    Q_OBJECT
public:
    enum Option : uint {
        User = 1,                   // one primary per user (else per machine)
        System = 2,
        SecondaryNotification = 4,  // tell the primary when a secondary starts
        ExcludeAppVersion = 8,
        ExcludeAppPath = 16,
    };

    // May end the process (exit code 0) when secondaries are not allowed or
    // the shared block cannot be joined.
    SingleApplication(bool allowSecondary, uint options, int timeoutMs, QObject *parent = nullptr);
    ~SingleApplication() override;

    bool isSecondary() const;
    bool isPrimary() const { return !isSecondary(); }
    uint instanceId() const;
    // The name of the shared block and of the local server.
    QString blockServerName() const;

    // A message is an order file's path: anything longer is dropped whole.
    static constexpr int kMaxMessageSize = 64 * 1024;

    // Secondary only: connects to the primary and writes the message.
    bool sendMessage(const QByteArray &message, int timeoutMs);

    // The connection preamble a client sends first; exposed for tests.
    static QByteArray connectionMessage(const QString &blockServerName, char type, uint instance);
    static QByteArray checksumText(const QByteArray &data);

signals:
    void instanceStarted();
    void receivedMessage(uint instanceId, QByteArray message);

private:
    SingleApplicationPrivate *d;
    friend class SingleApplicationPrivate;
};
