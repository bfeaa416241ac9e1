#pragma once

#include <QHash>
#include <QString>
#include <QVariant>

// The values of a catalogue INI file (setting.ini, prod.ini), read once and
// reused while the file keeps its size and modification time: pricing an
// order asks the same files for every item and option.
struct IniValues
{
    bool exists = false;
    QHash<QString, QVariant> values;   // "section/key" as QSettings names them

    QVariant value(const QString &key, const QVariant &defaultValue = QVariant()) const
    {
        return values.value(key, defaultValue);
    }
};

IniValues cachedIni(const QString &path);
// Size and modification time (nanoseconds) of a regular file, false when
// there is none; the caches' check, kept to one system call (the
// framework's file times go through the time zone on every call).
bool fileStamp(const QString &path, qint64 *size, qint64 *modified);
// Forgets every file read (a catalogue update has landed).
void dropIniCache();
// Modification time (nanoseconds) of a folder, false when there is none.
bool folderStamp(const QString &path, qint64 *modified);

// While one lives on a thread, the caches check each catalogue file's size
// and time there only once: pricing an item, and more so a whole order, asks
// the same few files over and over. A catalogue update (dropIniCache) counts
// at once all the same.
class CatalogueReadPass
{
public:
    // Names the outermost pass on this thread and the catalogue it sees (a
    // catalogue update gives a new name); 0 outside a pass. While it stays
    // the same, whatever was worked out from the catalogue files holds.
    static quint64 current();

    CatalogueReadPass();
    ~CatalogueReadPass();
    CatalogueReadPass(const CatalogueReadPass &) = delete;
    CatalogueReadPass &operator=(const CatalogueReadPass &) = delete;
};
