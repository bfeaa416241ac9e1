#pragma once

#include "testservers.h"

#include <QSslCertificate>
#include <QTemporaryDir>

// The supplier's file servers for the tests, on 127.0.0.1 at free ports.

// A self-signed certificate for 127.0.0.1 made now by openssl (null on
// failure), and Qt's default TLS configuration trusting one.
QSslCertificate makeLoopbackCertificate(const QString &certPath, const QString &keyPath);
void trustCertificate(const QSslCertificate &certificate);

// Debian's pyftpdlib (ftpserver.py) serving a temporary folder to a writing
// and a read-only user. Records are {user, path} per completed upload.
class FtpTestServer : public ServerProcess
{
public:
    bool start(const QString &writer, const QString &writerPass, const QString &reader, const QString &readerPass);
    // The served folder: files put here can be fetched, uploads land here.
    QString root() const { return m_root.path(); }

private:
    QTemporaryDir m_root;
};

// The HTTPS drop (httpsdrop.py) with a certificate for 127.0.0.1 made now by
// openssl. Records are {method, path, user, contentType, body (Base64)}.
class HttpsDropServer : public ServerProcess
{
public:
    bool start(const QString &user, const QString &password);
    QSslCertificate certificate() const { return m_certificate; }
    // Adds the certificate to the CA list of Qt's default TLS configuration.
    void trust() const;

private:
    QTemporaryDir m_dir;
    QSslCertificate m_certificate;
};
