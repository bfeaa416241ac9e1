#include "mailtestserver.h"

#include "testenv.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QStandardPaths>

MailTestServer::~MailTestServer()
{
    stop();
}

QString MailTestServer::python()
{
    // Debian's own interpreter: the one first on PATH may lack its modules.
    if (QFileInfo::exists(QStringLiteral("/usr/bin/python3")))
        return QStringLiteral("/usr/bin/python3");
    return QStandardPaths::findExecutable(QStringLiteral("python3"));
}

bool MailTestServer::start()
{
    m_process.start(python(), {TestEnv::sourcePath(QStringLiteral("tests/servers/mailserver.py"))});
    if (!m_process.waitForStarted(10000)) {
        m_error = QStringLiteral("python did not start: ") + m_process.errorString();
        return false;
    }
    QDeadlineTimer deadline(20000);
    while (m_port == 0 && !deadline.hasExpired() && m_process.state() == QProcess::Running) {
        if (m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            readLines();
    }
    if (m_port == 0) {
        m_error = QStringLiteral("mail test server did not report its port: ")
                  + QString::fromLocal8Bit(m_process.readAllStandardError());
        stop();
        return false;
    }
    return true;
}

void MailTestServer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QUrl MailTestServer::url(const QString &path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path));
}

void MailTestServer::readLines()
{
    m_pending += m_process.readAllStandardOutput();
    int nl;
    while ((nl = m_pending.indexOf('\n')) >= 0) {
        const QByteArray line = m_pending.left(nl).trimmed();
        m_pending.remove(0, nl + 1);
        if (line.startsWith("PORT "))
            m_port = line.mid(5).toInt();
        else if (line.startsWith("MAIL "))
            m_messages.append(QJsonDocument::fromJson(line.mid(5)).object());
    }
}

QList<QJsonObject> MailTestServer::takeMessages()
{
    // Each record is written before the answer, so it is already in the pipe.
    do {
        readLines();
    } while (m_process.waitForReadyRead(50));
    readLines();
    QList<QJsonObject> out;
    out.swap(m_messages);
    return out;
}
