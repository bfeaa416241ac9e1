#pragma once

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QUrl>

// A stand-in for the mail web API (tests/servers/mailserver.py, run with
// Debian's /usr/bin/python3) on 127.0.0.1. It parses each multipart request
// with a real MIME parser and reports what it received.
class MailTestServer
{
public:
    ~MailTestServer();

    static QString python();
    bool start();
    void stop();
    QString error() const { return m_error; }
    int port() const { return m_port; }
    // http://127.0.0.1:PORT + path
    QUrl url(const QString &path) const;

    // Requests received since the last call: {path, authorization,
    // contentType, multipart, defects, parts: [{name, filename, contentType,
    // body (Base64)}]}.
    QList<QJsonObject> takeMessages();

private:
    void readLines();

    QProcess m_process;
    QByteArray m_pending;
    QList<QJsonObject> m_messages;
    QString m_error;
    int m_port = 0;
};
