#pragma once

#include <QFile>
#include <QString>
#include <QTextStream>

// Writes the diagnostic log into a small ring of files ("diag1.txt",
// "diag2.txt" ...) in the logs folder; the current file number is kept in the
// user settings under the base name.
class LogRotate
{
public:
    LogRotate(qint64 sizeLimit, const QString &folder, const QString &baseName, int fileCount);
    ~LogRotate();

    // The stream for the next line, rotating first when the current file plus
    // bytesToWrite would exceed the size limit.
    QTextStream &stream(qint64 bytesToWrite);

    QString fileName() const { return m_file.fileName(); }

private:
    int currentNumber() const;
    QString nameFor(int number) const;
    QString nextFileName();
    void open(QIODevice::OpenMode mode);

    qint64 m_sizeLimit;
    QString m_folder;
    QString m_baseName;
    int m_fileCount;
    QFile m_file;
    QTextStream m_stream;
};

// Routes every framework message into the given log; nullptr uninstalls.
void installLogHandler(LogRotate *log);
// The handler itself, exposed so tests can feed it messages directly.
void latticaMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &msg);
// Opens the logs folder in the desktop's file manager.
bool openLogsFolder(const QString &folder);
