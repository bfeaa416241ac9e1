#include "pricing/inicache.h"

#include <QFile>
#include <QMutex>
#include <QSettings>

#include <sys/stat.h>

#include <atomic>

namespace {

struct Entry
{
    qint64 size = -1;
    qint64 modified = 0;
    IniValues ini;
};

QMutex &mutex()
{
    static QMutex m;
    return m;
}

QHash<QString, Entry> &entries()
{
    static QHash<QString, Entry> e;
    return e;
}

struct Stamp
{
    bool isFile = false;
    bool isFolder = false;
    qint64 size = 0;
    qint64 modified = 0;
};

// Bumped by every catalogue update, so that no read pass keeps a stale stamp.
std::atomic<quint64> catalogueGeneration{0};
std::atomic<quint64> passSerial{0};

struct ReadPass
{
    int depth = 0;
    quint64 generation = 0;
    quint64 serial = 0;
    QHash<QString, Stamp> stamps;

    // Forgets what was seen before a catalogue update.
    void follow()
    {
        const quint64 now = catalogueGeneration.load();
        if (generation == now)
            return;
        stamps.clear();
        generation = now;
        serial = ++passSerial;
    }
};
thread_local ReadPass readPass;

Stamp pathStamp(const QString &path)
{
    ReadPass &pass = readPass;
    if (pass.depth > 0) {
        pass.follow();
        const auto it = pass.stamps.constFind(path);
        if (it != pass.stamps.constEnd())
            return *it;
    }
    Stamp stamp;
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) == 0) {
        stamp.isFile = S_ISREG(st.st_mode);
        stamp.isFolder = S_ISDIR(st.st_mode);
        stamp.size = qint64(st.st_size);
        stamp.modified = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    }
    if (pass.depth > 0)
        pass.stamps.insert(path, stamp);
    return stamp;
}

} // namespace

CatalogueReadPass::CatalogueReadPass()
{
    if (readPass.depth++ == 0) {
        readPass.generation = catalogueGeneration.load();
        readPass.serial = ++passSerial;
    }
}

quint64 CatalogueReadPass::current()
{
    if (readPass.depth == 0)
        return 0;
    readPass.follow();
    return readPass.serial;
}

CatalogueReadPass::~CatalogueReadPass()
{
    if (--readPass.depth == 0)
        readPass.stamps.clear();
}

bool fileStamp(const QString &path, qint64 *size, qint64 *modified)
{
    const Stamp stamp = pathStamp(path);
    if (!stamp.isFile)
        return false;
    *size = stamp.size;
    *modified = stamp.modified;
    return true;
}

bool folderStamp(const QString &path, qint64 *modified)
{
    const Stamp stamp = pathStamp(path);
    *modified = stamp.isFolder ? stamp.modified : 0;
    return stamp.isFolder;
}

IniValues cachedIni(const QString &path)
{
    qint64 size = 0, modified = 0;
    if (!fileStamp(path, &size, &modified))
        return IniValues();
    QMutexLocker lock(&mutex());
    const auto it = entries().constFind(path);
    if (it != entries().constEnd() && it->size == size && it->modified == modified)
        return it->ini;
    IniValues ini;
    ini.exists = true;
    QSettings settings(path, QSettings::IniFormat);
    for (const QString &key : settings.allKeys())
        ini.values.insert(key, settings.value(key));
    entries().insert(path, Entry{size, modified, ini});
    return ini;
}

void dropIniCache()
{
    ++catalogueGeneration;
    QMutexLocker lock(&mutex());
    entries().clear();
}
