#include "orders/orderwriter.h"

#include <QDebug>
#include <QSaveFile>

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
