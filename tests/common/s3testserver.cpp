#include "s3testserver.h"

#include "app/appcontext.h"
#include "app/appsettings.h"
#include "testenv.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QStandardPaths>

S3TestServer::~S3TestServer()
{
    stop();
}

QString S3TestServer::unavailableReason()
{
    if (QStandardPaths::findExecutable(QStringLiteral("node")).isEmpty())
        return QStringLiteral("node is not on PATH (scripts/setup installs it)");
    if (!QFileInfo::exists(TestEnv::sourcePath(QStringLiteral("tests/servers/node_modules/s3rver/package.json"))))
        return QStringLiteral("tests/servers/node_modules is missing (scripts/setup runs npm ci there)");
    return QString();
}

bool S3TestServer::start(const QStringList &buckets, int pageSize)
{
    QStringList args{QStringLiteral("--openssl-legacy-provider"),
                     TestEnv::sourcePath(QStringLiteral("tests/servers/s3server.js")),
                     QStringLiteral("--dir"), m_storage.path(),
                     QStringLiteral("--key"), QString::fromLatin1(kKeyId),
                     QStringLiteral("--secret"), QString::fromLatin1(kSecret)};
    for (const QString &b : buckets)
        args << QStringLiteral("--bucket") << b;
    if (pageSize > 0)
        args << QStringLiteral("--page-size") << QString::number(pageSize);

    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(QStandardPaths::findExecutable(QStringLiteral("node")), args);
    if (!m_process.waitForStarted(10000)) {
        m_error = QStringLiteral("node did not start: ") + m_process.errorString();
        return false;
    }
    QDeadlineTimer deadline(30000);
    while (m_port == 0 && !deadline.hasExpired()) {
        if (!m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())))) {
            if (m_process.state() != QProcess::Running)
                break;
            continue;
        }
        readLines();
    }
    if (m_port == 0) {
        m_error = QStringLiteral("s3 test server did not report its port: ")
                  + QString::fromLocal8Bit(m_process.readAllStandardError());
        stop();
        return false;
    }
    return true;
}

void S3TestServer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel(); // the server exits when its input closes
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

CloudEndpoint S3TestServer::endpoint() const
{
    CloudEndpoint e;
    e.scheme = QStringLiteral("http");
    e.host = QStringLiteral("127.0.0.1");
    e.port = m_port;
    e.pathStyle = true;
    return e;
}

void S3TestServer::useInSettings() const
{
    appSettings *user = AppContext::userSettings();
    user->setValue(QStringLiteral("storageScheme_s"), QStringLiteral("http"));
    user->setValue(QStringLiteral("storageHost_s"), QStringLiteral("127.0.0.1"));
    user->setValue(QStringLiteral("storagePort_i"), m_port);
    user->setValue(QStringLiteral("storagePathStyle_b"), true);
}

void S3TestServer::readLines()
{
    m_pending += m_process.readAllStandardOutput();
    int nl;
    while ((nl = m_pending.indexOf('\n')) >= 0) {
        const QByteArray line = m_pending.left(nl).trimmed();
        m_pending.remove(0, nl + 1);
        if (line.startsWith("PORT "))
            m_port = line.mid(5).toInt();
        else if (line.startsWith("REQ "))
            m_journal.append(QJsonDocument::fromJson(line.mid(4)).object());
    }
}

QList<QJsonObject> S3TestServer::takeJournal()
{
    // The server writes each entry before it answers, so everything for a
    // finished request is already in the pipe.
    do {
        readLines();
    } while (m_process.waitForReadyRead(50));
    readLines();
    QList<QJsonObject> out;
    out.swap(m_journal);
    return out;
}
