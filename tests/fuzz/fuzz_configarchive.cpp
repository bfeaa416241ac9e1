// The configuration archive as it comes from the store: zip bytes unpacked
// into the configuration folder, then its values.cfg taken into the user
// settings. Nothing may land outside the folder or past the budgets, a
// refused archive leaves nothing behind, and no key outside the business
// allow-list reaches the settings.
#include "fuzzsupport.h"

#include "app/appcontext.h"
#include "app/appsettings.h"
#include "business/businessconfig.h"
#include "business/businesskeys.h"
#include "cloud/cloudcomms.h"
#include "cloud/downloadbudget.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

namespace {

constexpr qint64 kEntryBudget = 256 * 1024;
constexpr qint64 kArchiveBudget = 1024 * 1024;

QStringList everything(const QString &folder)
{
    QStringList names;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        names << it.next().mid(folder.size() + 1);
    names.sort();
    return names;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::setUp();
    static QTemporaryDir root;
    static bool first = true;
    if (first) {
        first = false;
        AppContext::openSettings();
        // small budgets: an input finds their edges without gigabytes
        DownloadBudget::setLimit(DownloadBudget::ArchiveEntry, kEntryBudget);
        DownloadBudget::setLimit(DownloadBudget::Archive, kArchiveBudget);
    }
    // root/box/VexaCfg is the target; nothing but it and the archive may
    // appear in box, nothing at all beside box.
    const QString box = root.path() + QStringLiteral("/box");
    QDir(box).removeRecursively();
    QDir().mkpath(box);
    const QString zipPath = box + QStringLiteral("/VexaCfg.zip");
    const QString target = box + QStringLiteral("/VexaCfg");
    {
        QFile zip(zipPath);
        if (!zip.open(QIODevice::WriteOnly) || zip.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
            Fuzz::fail("could not write the archive");
    }

    QString message;
    const bool ok = CloudComms::unpackArchive(zipPath, target, &message);

    if (QDir(root.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot) != QStringList{QStringLiteral("box")})
        Fuzz::fail("unpacking wrote beside the data folder");
    const QStringList inBox = QDir(box).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    if (!ok) {
        if (message.isEmpty())
            Fuzz::fail("a refused archive gave no message");
        if (inBox != QStringList{QStringLiteral("VexaCfg.zip")})
            Fuzz::fail("a refused archive left files behind", inBox.join(QLatin1Char('|')).toUtf8());
        return 0;
    }
    if (inBox != QStringList({QStringLiteral("VexaCfg"), QStringLiteral("VexaCfg.zip")}))
        Fuzz::fail("unpacking left other files", inBox.join(QLatin1Char('|')).toUtf8());
    qint64 total = 0;
    for (const QString &name : everything(target)) {
        const QFileInfo info(target + QLatin1Char('/') + name);
        if (info.isSymLink())
            Fuzz::fail("an archive made a link", name.toUtf8());
        if (info.isFile()) {
            if (info.size() > kEntryBudget)
                Fuzz::fail("an entry past its budget was written", name.toUtf8());
            total += info.size();
        }
    }
    if (total > kArchiveBudget)
        Fuzz::fail("the archive unpacked past its budget");

    // What the archive's values.cfg brings into the settings.
    appSettings *user = AppContext::userSettings();
    user->clear();
    const QString saved = AppContext::cfgFolder;
    AppContext::cfgFolder = target;
    loadBusinessConfig();
    AppContext::cfgFolder = saved;
    for (const QString &key : user->allKeys()) {
        if (key == QLatin1String("ediEnabled") || key == QLatin1String("ediRemote"))
            continue;
        if (BusinessKeys::businessKey(key) != key)
            Fuzz::fail("values.cfg set a key outside the business list", key.toUtf8());
        if (BusinessKeys::isLinkKey(key) && !BusinessKeys::isWebPage(user->value(key).toString()))
            Fuzz::fail("values.cfg set a link that is no web page", key.toUtf8());
    }
    user->clear();
    return 0;
}
