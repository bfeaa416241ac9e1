#include "testservers.h"

#include "app/appcontext.h"
#include "app/appsettings.h"
#include "testenv.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QEventLoop>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>

bool ServerProcess::start(const QString &program, const QStringList &args, const QByteArray &tag)
{
    m_tag = tag + ' ';
    m_port = 0; // a restart reports a new port
    m_pending.clear();
    m_process.start(program, args);
    QDeadlineTimer deadline(30000);
    // A loaded machine can keep a server quiet for more than a second; only
    // the deadline or the server's end stops the wait.
    while (m_port == 0 && !deadline.hasExpired()) {
        if (m_process.waitForReadyRead(1000))
            readLines();
        else if (m_process.state() == QProcess::NotRunning)
            break;
    }
    if (m_port == 0) {
        m_error = program + QStringLiteral(" did not report its port: ") + m_process.errorString() + ' '
                  + QString::fromLocal8Bit(m_process.readAllStandardError());
        stop();
    }
    return m_port != 0;
}

void ServerProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

void ServerProcess::readLines()
{
    m_pending += m_process.readAllStandardOutput();
    for (int nl; (nl = m_pending.indexOf('\n')) >= 0; m_pending.remove(0, nl + 1)) {
        const QByteArray line = m_pending.left(nl).trimmed();
        if (line.startsWith("PORT "))
            m_port = line.mid(5).toInt();
        else if (line.startsWith(m_tag))
            m_records.append(QJsonDocument::fromJson(line.mid(m_tag.size())).object());
    }
}

QList<QJsonObject> ServerProcess::take()
{
    // every record is written before its answer, so it is already in the pipe
    do
        readLines();
    while (m_process.waitForReadyRead(50));
    readLines();
    QList<QJsonObject> out;
    out.swap(m_records);
    return out;
}

bool S3TestServer::start(const QStringList &buckets, int pageSize)
{
    QStringList args{"--openssl-legacy-provider", TestEnv::sourcePath("tests/servers/s3server.js"),
                     "--dir", m_storage.path(), "--key", kKeyId, "--secret", kSecret};
    if (pageSize > 0)
        args << "--page-size" << QString::number(pageSize);
    args << "--faults" << m_control.filePath("faults.json");
    for (const QString &b : buckets)
        args << "--bucket" << b;
    return ServerProcess::start("node", args, "REQ");
}

CloudEndpoint S3TestServer::endpoint() const
{
    return CloudEndpoint{"http", "127.0.0.1", port(), true};
}

void S3TestServer::useInSettings() const
{
    appSettings *user = AppContext::userSettings();
    user->setValue("storageScheme_s", "http");
    user->setValue("storageHost_s", "127.0.0.1");
    user->setValue("storagePort_i", port());
    user->setValue("storagePathStyle_b", true);
}

void S3TestServer::failPuts(const QString &text)
{
    TestEnv::writeFile(m_control.filePath("faults.json"), QJsonDocument(QJsonObject{{"failPut", text}}).toJson());
}

bool MailTestServer::control(const QJsonObject &settings)
{
    QNetworkAccessManager manager;
    QNetworkRequest request(url("/control"));
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    QNetworkReply *reply = manager.post(request, QJsonDocument(settings).toJson());
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    const bool ok = reply->error() == QNetworkReply::NoError;
    delete reply;
    return ok;
}

bool MailTestServer::start()
{
    // Debian's own interpreter: the one first on PATH may lack its modules
    const QString python = QFileInfo::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
    return ServerProcess::start(python, {TestEnv::sourcePath("tests/servers/mailserver.py")}, "MAIL");
}
