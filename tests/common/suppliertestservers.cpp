#include "suppliertestservers.h"

#include "testenv.h"

#include <QFileInfo>
#include <QProcess>
#include <QSslConfiguration>

namespace {
// Debian's own interpreter: its modules (pyftpdlib) are not visible to others
QString python()
{
    return QFileInfo::exists("/usr/bin/python3") ? QStringLiteral("/usr/bin/python3") : QStringLiteral("python3");
}
} // namespace

bool FtpTestServer::start(const QString &writer, const QString &writerPass, const QString &reader,
                          const QString &readerPass)
{
    return ServerProcess::start(python(),
                                {TestEnv::sourcePath("tests/servers/ftpserver.py"), "--root", m_root.path(),
                                 "--writer", writer, writerPass, "--reader", reader, readerPass},
                                "FTP");
}

QSslCertificate makeLoopbackCertificate(const QString &cert, const QString &key)
{
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-keyout", key, "-out",
                              cert, "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"});
    if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0) {
        qWarning() << "openssl failed:" << openssl.errorString() << openssl.readAll();
        return QSslCertificate();
    }
    return QSslCertificate::fromPath(cert).value(0);
}

void trustCertificate(const QSslCertificate &certificate)
{
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.addCaCertificate(certificate);
    QSslConfiguration::setDefaultConfiguration(config);
}

bool HttpsDropServer::start(const QString &user, const QString &password)
{
    const QString cert = m_dir.filePath("cert.pem"), key = m_dir.filePath("key.pem");
    m_certificate = makeLoopbackCertificate(cert, key);
    return !m_certificate.isNull()
           && ServerProcess::start(python(),
                                   {TestEnv::sourcePath("tests/servers/httpsdrop.py"), "--cert", cert, "--key", key,
                                    "--user", user, password},
                                   "DROP");
}

void HttpsDropServer::trust() const
{
    trustCertificate(m_certificate);
}
