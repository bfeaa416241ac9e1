#pragma once

#include "cloud/cloudendpoint.h"

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

// A test server of tests/servers run as a child process on 127.0.0.1. It
// prints "PORT <n>" once listening, then "<tag> <json>" for every request it
// receives (before answering), and exits when its standard input closes.
class ServerProcess
{
public:
    ~ServerProcess() { stop(); }
    void stop();
    QString error() const { return m_error; }
    int port() const { return m_port; }
    QUrl url(const QString &path) const { return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path)); }
    // Requests received since the last call.
    QList<QJsonObject> take();

protected:
    bool start(const QString &program, const QStringList &args, const QByteArray &tag);

private:
    void readLines();
    QProcess m_process;
    QByteArray m_tag, m_pending;
    QList<QJsonObject> m_records;
    QString m_error;
    int m_port = 0;
};

// npm s3rver (s3server.js), knowing one key pair besides its own. Records are
// {method, url, headers}.
class S3TestServer : public ServerProcess
{
public:
    static constexpr const char *kKeyId = "LTATESTKEY";
    static constexpr const char *kSecret = "lta/test+secret=0123456789";
    // pageSize > 0: listings that ask for no size get that many keys a page.
    bool start(const QStringList &buckets, int pageSize = 0);
    CloudEndpoint endpoint() const;
    // Points the user settings' storage endpoint at this server.
    void useInSettings() const;
    // Every PUT whose address holds text fails (503) until called with "".
    void failPuts(const QString &text);

private:
    QTemporaryDir m_storage;
    QTemporaryDir m_control;
};

// The mail API stand-in (mailserver.py), parsing each multipart body with
// Python's MIME parser. Records are {path, authorization, contentType,
// multipart, defects, parts: [{name, filename, contentType, body (Base64)}]}.
class MailTestServer : public ServerProcess
{
public:
    bool start();
    // Replaces the server's fault settings (see mailserver.py); {} clears them.
    bool control(const QJsonObject &settings);
};
