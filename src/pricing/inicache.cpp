#include "pricing/inicache.h"

#include <QFile>
#include <QMutex>
#include <QSettings>

#include <sys/stat.h>

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

} // namespace

bool fileStamp(const QString &path, qint64 *size, qint64 *modified)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    *size = qint64(st.st_size);
    *modified = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return true;
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
    QMutexLocker lock(&mutex());
    entries().clear();
}
