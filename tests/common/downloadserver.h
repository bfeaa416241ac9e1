#pragma once

#include "suppliertestservers.h"
#include "testenv.h"
#include "testservers.h"

#include <QTemporaryDir>
#include <QUrl>

// The installer download server of the tests (downloadserver.py) over https,
// with a certificate for 127.0.0.1 made now that the program is told to
// trust: installers come over https only.
class DownloadServer : public ServerProcess
{
public:
    bool start()
    {
        const QString cert = m_dir.filePath("cert.pem"), key = m_dir.filePath("key.pem");
        const QSslCertificate certificate = makeLoopbackCertificate(cert, key);
        if (certificate.isNull())
            return false;
        trustCertificate(certificate);
        return ServerProcess::start("/usr/bin/python3",
                                    {TestEnv::sourcePath("tests/servers/downloadserver.py"), "--cert", cert, "--key", key},
                                    "DL");
    }
    QUrl https(const QString &path) const { return QUrl(QStringLiteral("https://127.0.0.1:%1%2").arg(port()).arg(path)); }

    // What /files/... serves, whatever the name.
    static QByteArray wholeFile()
    {
        QByteArray body(200000, 0);
        for (int i = 0; i < body.size(); ++i)
            body[i] = char(i % 251);
        return body;
    }

private:
    QTemporaryDir m_dir;
};
