#include "orders/orderwriter.h"

#include "app/appcontext.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The data folder's "tmp/" when path lies inside the data folder, else empty.
QString tmpFolderFor(const QString &path)
{
    const QString data = AppContext::dataFolder;
    if (data.isEmpty())
        return QString();
    const QString root = QDir::cleanPath(QFileInfo(data).absoluteFilePath()) + QLatin1Char('/');
    if (!QFileInfo(path).absoluteFilePath().startsWith(root))
        return QString();
    const QString tmp = root + QStringLiteral("tmp");
    if (!QFileInfo(tmp).isDir() && !QDir().mkpath(tmp))
        return QString();
    return tmp;
}

bool writeAll(int fd, const QByteArray &bytes)
{
    const char *at = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, at, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        at += n;
        left -= n;
    }
    return true;
}

enum class Staged { Done, Failed, NotHere };

// Writes the bytes into a fresh file in tmp, flushes them to the disk and
// renames the file onto path. Until the rename the state folders never hold
// anything but complete order files, and a leftover in tmp is cleared at the
// next start. NotHere when tmp and path are on different file systems.
Staged commitThroughTmp(const QString &tmp, const QString &path, const QByteArray &bytes)
{
    const QString staged = QStringLiteral("%1/%2.%3").arg(tmp, QFileInfo(path).fileName())
                               .arg(QRandomGenerator::global()->generate64(), 0, 36);
    const QByteArray stagedName = QFile::encodeName(staged);
    const int fd = ::open(stagedName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        qCritical() << "Couldn't open save file." << staged << std::strerror(errno);
        return Staged::Failed;
    }
    const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    const int writeErrno = errno;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) {
        qCritical() << "Couldn't write  file." << path << std::strerror(written ? errno : writeErrno);
        ::unlink(stagedName.constData());
        return Staged::Failed;
    }
    if (::rename(stagedName.constData(), QFile::encodeName(path).constData()) != 0) {
        const int renameErrno = errno;
        ::unlink(stagedName.constData());
        if (renameErrno == EXDEV)
            return Staged::NotHere;
        qCritical() << "Couldn't commit  file." << path << std::strerror(renameErrno);
        return Staged::Failed;
    }
    return Staged::Done;
}

} // namespace

OrderWriter &OrderWriter::instance()
{
    static OrderWriter writer;
    return writer;
}

OrderWriter::OrderWriter() : m_thread([this] { run(); }) {}

OrderWriter::~OrderWriter()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();   // the queue is drained before the thread ends
}

bool OrderWriter::commit(const QString &path, const QByteArray &bytes)
{
    const QString tmp = tmpFolderFor(path);
    if (!tmp.isEmpty()) {
        const Staged staged = commitThroughTmp(tmp, path, bytes);
        if (staged != Staged::NotHere)
            return staged == Staged::Done;
    }
    // Outside the data folder: an atomic save file beside the target.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qCritical() << "Couldn't open save file." << path << file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        qCritical() << "Couldn't write  file." << path << file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        qCritical() << "Couldn't commit  file." << path << file.errorString();
        return false;
    }
    return true;
}

void OrderWriter::write(const QString &path, std::function<QByteArray()> content, std::function<void(bool)> done)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (Job &job : m_jobs) {
            if (job.path == path) {
                job.content = std::move(content);
                job.done = std::move(done);
                return;
            }
        }
        m_jobs.push_back(Job{path, std::move(content), std::move(done)});
    }
    m_wake.notify_one();
}

void OrderWriter::flush()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_idle.wait(lock, [this] { return m_jobs.empty() && !m_busy; });
}

void OrderWriter::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_jobs.empty(); });
        if (m_jobs.empty()) {
            if (m_stop)
                return;
            continue;
        }
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_busy = true;
        lock.unlock();
        const bool ok = commit(job.path, job.content());
        if (job.done)
            job.done(ok);
        lock.lock();
        m_busy = false;
        if (m_jobs.empty())
            m_idle.notify_all();
    }
}
