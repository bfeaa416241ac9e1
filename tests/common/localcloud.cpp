#include "localcloud.h"

#include "app/appcontext.h"
#include "app/appsettings.h"
#include "cloud/cloudcredentials.h"
#include "testenv.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QJsonDocument>

QString LocalCloud::start()
{
    const QString python = QFileInfo::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(python, {TestEnv::sourcePath("tests/servers/stack.py"), "--state", m_state.path(), "--seed",
                             QStringLiteral(LTA_BINARY_DIR "/src/lattica-cli")});
    QDeadlineTimer deadline(60000);
    QByteArray out;
    while (m_stack.isEmpty() && !deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
        m_process.waitForReadyRead(500);
        out += m_process.readAllStandardOutput();
        const int at = out.indexOf("READY ");
        const int end = out.indexOf('\n', at);
        if (at >= 0 && end > at)
            m_stack = QJsonDocument::fromJson(out.mid(at + 6, end - at - 6)).object();
    }
    if (m_stack.isEmpty())
        return QStringLiteral("the local cloud did not start");
    return pointSettings();
}

QString LocalCloud::pointSettings()
{
    QString error;
    const QByteArray block = CloudCredentials::seal(m_stack["keyId"].toString().toLatin1(),
                                                    m_stack["secret"].toString().toLatin1(),
                                                    m_stack["mailCredential"].toString().toLatin1(), &error);
    if (block.isEmpty())
        return error;
    appSettings *user = AppContext::userSettings();
    user->setValue("storageScheme_s", "http");
    user->setValue("storageHost_s", "127.0.0.1");
    user->setValue("storagePort_i", m_stack["s3"].toInt());
    user->setValue("storagePathStyle_b", true);
    user->setValue("credblock_s", block);
    user->setValue("allweddi", block);
    user->setValue("ltaurl", m_stack["mailUrl"].toString());
    user->setValue("inetProbeUrl_s", m_stack["probeUrl"].toString());
    user->setValue("ediFtpPort_i", m_stack["ftp"].toInt());
    user->setValue("supportemail", "support@lattica.test");
    // no customer address checks, and none leaving this machine if asked for
    user->setValue("mailchk_b", false);
    user->setValue("mailChkUrl_s", m_stack["probeUrl"].toString());
    user->setValue("mgValidateUrl_s", m_stack["probeUrl"].toString());
    user->sync();
    return QString();
}

void LocalCloud::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    // later tests of the same process find no dead endpoints
    if (appSettings *user = AppContext::userSettings()) {
        for (const char *key : {"storageScheme_s", "storageHost_s", "storagePort_i", "storagePathStyle_b", "credblock_s",
                                "allweddi", "ltaurl", "inetProbeUrl_s", "ediFtpPort_i", "supportemail", "mailchk_b",
                                "mailChkUrl_s", "mgValidateUrl_s"})
            user->remove(QLatin1String(key));
    }
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(10000))
        m_process.kill();
}
