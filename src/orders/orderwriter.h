#pragma once

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// Commits order files off the interface thread. Every edit of an item ends in
// a save, and an atomic save waits for the disk (fsync), which would cost the
// surveyor a frame or two per keystroke. The content is taken at the moment
// of the save; a writer thread commits it, one file after another, the latest
// content of a file replacing a version still waiting. Anything else that
// touches order files first waits for the writer (flush), so a move or a
// read never overtakes a pending write.
class OrderWriter
{
public:
    static OrderWriter &instance();

    // Queues the file content for path; content() runs on the writer thread.
    // done(ok) runs there after the commit (not for a version replaced by a
    // later one).
    void write(const QString &path, std::function<QByteArray()> content, std::function<void(bool)> done = {});
    // Returns once everything queued so far is committed (or failed).
    void flush();

    // Writes bytes to path atomically, logging failures: inside the data
    // folder the file is made in its "tmp/" and renamed into place, so no
    // state folder ever holds a half-made file; elsewhere an atomic save file.
    static bool commit(const QString &path, const QByteArray &bytes);

    ~OrderWriter();

private:
    OrderWriter();
    void run();

    struct Job
    {
        QString path;
        std::function<QByteArray()> content;
        std::function<void(bool)> done;
    };
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Job> m_jobs;
    bool m_busy = false;
    bool m_stop = false;
    std::thread m_thread;
};
