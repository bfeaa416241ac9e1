#include "catalogue.h"

#include "app/appcontext.h"
#include "app/appsettings.h"
#include "pricing/csvtable.h"
#include "pricing/inicache.h"

#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>
#include <QMutex>
#include <QSettings>


namespace Catalogue {

QString root()
{
    return AppContext::catalogueProductsFolder;
}

QString productFolder(const QString &product)
{
    return QStringLiteral("%1/%2").arg(root(), product);
}

QString pricesFolder(const QString &product)
{
    return QStringLiteral("%1/%2/Prices/").arg(root(), product);
}

QString priceTablePath(const QString &product, const QString &table)
{
    return QStringLiteral("%1/%2/Prices/%3").arg(root(), product, table);
}

QString priceTableCsvPath(const QString &product, const QString &table)
{
    return QStringLiteral("%1/%2/Prices/%3.csv").arg(root(), product, table);
}

QString rangesFolder(const QString &product)
{
    return QStringLiteral("%1/%2/Ranges").arg(root(), product);
}

QString rangeTablePath(const QString &product, const QString &supplier)
{
    return QStringLiteral("%1/%2/Ranges/%3").arg(root(), product, supplier);
}

QString extrasFolder(const QString &product)
{
    return QStringLiteral("%1/%2/Extras").arg(root(), product);
}

QString groupTablePath(const QString &extras, const QString &name)
{
    return QStringLiteral("%1/%2.csv").arg(extras, name);
}

QString extrasTablePath(const QString &product, const QString &group)
{
    return QStringLiteral("%1/%2/Extras/%3.csv").arg(root(), product, group);
}

QString optionPriceTablePath(const QString &product, const QString &cost)
{
    return QStringLiteral("%1/%2/Extras/Prices/%3.csv").arg(root(), product, cost);
}

QString optionBandPriceTablePath(const QString &product, const QString &cost, const QString &band)
{
    return QStringLiteral("%1/%2/Extras/Prices/%3_%4.csv").arg(root(), product, cost, band);
}

QString prodIniPath(const QString &product)
{
    return QStringLiteral("%1/%2/prod.ini").arg(root(), product);
}

QString settingIniPath(const QString &tablePath)
{
    const int cut = tablePath.lastIndexOf(QLatin1Char('/'));
    return (cut < 0 ? QString() : tablePath.left(cut + 1)) + QStringLiteral("setting.ini");
}

namespace {
struct FolderNames
{
    qint64 modified = 0;
    QStringList names;
};
QMutex folderMutex;
QHash<QString, FolderNames> folderNames;   // listed folders, while unchanged
} // namespace

QStringList csvBaseNames(const QString &folder)
{
    // Every item processed lists its product's extras folder: the listing is
    // kept while the folder's modification time (any file added, removed or
    // renamed) stays the same.
    qint64 modified = 0;
    const bool isDir = folderStamp(folder, &modified);
    if (isDir) {
        QMutexLocker lock(&folderMutex);
        const auto it = folderNames.constFind(folder);
        if (it != folderNames.constEnd() && it->modified == modified)
            return it->names;
    }
    static const QRegularExpression csvSuffix(QStringLiteral(".csv$"));
    QStringList names = QDir(folder).entryList({QStringLiteral("*.csv")}, QDir::Files, QDir::NoSort);
    for (QString &name : names)
        name.remove(csvSuffix);
    if (isDir) {
        QMutexLocker lock(&folderMutex);
        folderNames.insert(folder, FolderNames{modified, names});
    }
    return names;
}

void dropFolderCache()
{
    QMutexLocker lock(&folderMutex);
    folderNames.clear();
}

QString ProductSettings::supplierNotes(const QString &supplier) const
{
    if (notesFile.isEmpty())
        return QString();
    const IniValues ini = cachedIni(notesFile);
    return ini.value(QStringLiteral("notes/") + supplier, QString()).toString();
}

ProductSettings productSettings(const QString &product)
{
    ProductSettings result;
    const QString path = prodIniPath(product);
    const IniValues ini = cachedIni(path);
    if (!ini.exists)
        return result;
    result.notesFile = path;
    result.measures = ini.value(QStringLiteral("measures")).toStringList();
    // "measures=" with no value reads as one empty entry.
    if (result.measures.size() == 1 && result.measures.first().trimmed().isEmpty())
        result.measures.clear();
    result.incStdMeasures = appSettings::convert(ini.value(QStringLiteral("incStdMeasures_b"), false)).toBool();
    return result;
}

QStringList measureTypes(const ProductSettings &settings, const QString &standardTypes)
{
    const QStringList standard = standardTypes.split(QLatin1Char(','));
    if (settings.measures.isEmpty())
        return standard;
    if (settings.incStdMeasures)
        return settings.measures + standard;
    return settings.measures;
}

QStringList productNames()
{
    QStringList names;
    const QDir dir(root());
    const QStringList folders = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &folder : folders) {
        if (dir.exists(folder + QStringLiteral("/Prices")) || dir.exists(folder + QStringLiteral("/Ranges")))
            names.append(folder);
    }
    return names;
}

int installFrom(const QString &source, QStringList *skipped)
{
    const QString from = QDir(source).absolutePath();
    const QString to = root();
    int copied = 0;
    // Links are listed, never followed: a link could bring in a file from
    // anywhere on the machine, or loop.
    QDirIterator it(from, QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString src = it.next();
        const QFileInfo info = it.fileInfo();
        const QString relative = src.mid(from.size() + 1);
        if (info.isSymLink() || (!info.isFile() && !info.isDir())) {
            qWarning() << "Catalogue install skipped" << src << "(not a regular file)";
            if (skipped)
                skipped->append(relative);
            continue;
        }
        if (info.isDir())
            continue;
        const QString dst = to + QLatin1Char('/') + relative;
        QDir().mkpath(QFileInfo(dst).absolutePath());
        if (QFileInfo::exists(dst) || QFileInfo(dst).isSymLink())
            QFile::remove(dst);
        if (!QFile::copy(src, dst)) {
            qCritical() << "Failed to install catalogue file" << dst;
            return -1;
        }
        ++copied;
    }
    CsvTable::dropCache();
    return copied;
}

} // namespace Catalogue
