#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

// The local cloud of the demo (tests/servers/stack.py: object store, the
// supplier's FTP server, the mail catcher), seeded with the sample catalogue
// and the demo account, and the user settings pointed at it as scripts/run
// points the demo's. Stops with the object.
class LocalCloud
{
public:
    ~LocalCloud() { stop(); }
    // Empty on success, else why it did not start.
    QString start();
    // Points the user settings at it again (start does it first).
    QString pointSettings();
    void stop();
    // What stack.py announced: ports, folders and "demo" (the account).
    QJsonObject stack() const { return m_stack; }

private:
    QProcess m_process;
    QTemporaryDir m_state;
    QJsonObject m_stack;
};
