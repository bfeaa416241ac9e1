#pragma once

#include "cloud/cloudendpoint.h"

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QTemporaryDir>

// The S3-compatible test server (tests/servers/s3server.js, npm s3rver) on
// 127.0.0.1, started and stopped by a test. It knows one key pair besides
// its own and records every request it receives (the journal).
class S3TestServer
{
public:
    static constexpr const char *kKeyId = "LTATESTKEY";
    static constexpr const char *kSecret = "lta/test+secret=0123456789";

    S3TestServer() = default;
    ~S3TestServer();

    // Why the server cannot run here (no node on PATH, or the npm packages
    // are not installed); empty when it can.
    static QString unavailableReason();

    // Starts with the given buckets; pageSize > 0 makes listings that do not
    // ask for a size return that many keys per page.
    bool start(const QStringList &buckets, int pageSize = 0);
    void stop();
    QString error() const { return m_error; }
    int port() const { return m_port; }

    // Path-style http://127.0.0.1:PORT
    CloudEndpoint endpoint() const;
    // Points the user settings' storage endpoint at this server.
    void useInSettings() const;

    // Requests received since the last call: {method, url, headers}.
    QList<QJsonObject> takeJournal();

private:
    void readLines();

    QProcess m_process;
    QTemporaryDir m_storage;
    QByteArray m_pending;
    QList<QJsonObject> m_journal;
    QString m_error;
    int m_port = 0;
};
