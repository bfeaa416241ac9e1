#include "logrotate.h"

#include "appcontext.h"
#include "appsettings.h"
#include "externalopen.h"

#include <QDateTime>
#include <QDebug>
#include <QMutex>
#include <QMutexLocker>
#include <QUrl>

namespace {
LogRotate *g_log = nullptr;
QMutex g_logMutex;
// A message raised while a line is being written (e.g. the report of a log
// file that failed to open) must not re-enter the handler and deadlock.
thread_local bool t_inHandler = false;
} // namespace

LogRotate::LogRotate(qint64 sizeLimit, const QString &folder, const QString &baseName, int fileCount)
    : m_sizeLimit(sizeLimit), m_folder(folder), m_baseName(baseName), m_fileCount(qMax(1, fileCount))
{
    m_file.setFileName(nameFor(currentNumber()));
    open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text);
}

LogRotate::~LogRotate()
{
    m_stream.flush();
    m_file.close();
}

int LogRotate::currentNumber() const
{
    int n = AppContext::setting(m_baseName, 1).toInt();
    return n < 1 ? 1 : n;
}

QString LogRotate::nameFor(int number) const
{
    return QStringLiteral("%1/%2%3.txt").arg(m_folder, m_baseName).arg(number);
}

QString LogRotate::nextFileName()
{
    const int next = (currentNumber() % m_fileCount) + 1;
    if (appSettings *s = AppContext::userSettings())
        s->setValue(m_baseName, next);
    return nameFor(next);
}

void LogRotate::open(QIODevice::OpenMode mode)
{
    if (!m_file.open(mode))
        qDebug() << "LogRotate::stream" << m_file.errorString();
    m_stream.setDevice(&m_file);
}

QTextStream &LogRotate::stream(qint64 bytesToWrite)
{
    m_stream.flush();
    if (m_file.size() + bytesToWrite > m_sizeLimit) {
        m_file.close();
        m_file.setFileName(nextFileName());
        open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text);
    }
    return m_stream;
}

void latticaMessageHandler(QtMsgType type, const QMessageLogContext &, const QString &msg)
{
    if (t_inHandler || msg.startsWith(QLatin1String("QMetaProperty::read")))
        return;
    QMutexLocker lock(&g_logMutex);
    if (!g_log)
        return;
    t_inHandler = true;
    QString level;
    switch (type) {
    case QtDebugMsg: level = QStringLiteral(" Debug: %1").arg(msg); break;
    case QtWarningMsg: level = QStringLiteral(" Warning: %1").arg(msg); break;
    case QtCriticalMsg: level = QStringLiteral(" Critical: %1").arg(msg); break;
    case QtFatalMsg: level = QStringLiteral(" Fatal: %1").arg(msg); break;
    case QtInfoMsg: level = QStringLiteral(" Info: %1").arg(msg); break;
    }
    QTextStream &out = g_log->stream(0);
    out << QDateTime::currentDateTime().toString(QStringLiteral("dd/MM hh:mm:ss.zzz")) << level << '\n';
    out.flush();
    t_inHandler = false;
}

void installLogHandler(LogRotate *log)
{
    {
        QMutexLocker lock(&g_logMutex);
        g_log = log;
    }
    qInstallMessageHandler(log ? latticaMessageHandler : nullptr);
}

bool openLogsFolder(const QString &folder)
{
    return openExternally(QUrl::fromLocalFile(folder));
}
