#include "appcontext.h"

#include "appsettings.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
appSettings *g_user = nullptr;
appSettings *g_shared = nullptr;

void makePath(const QString &path)
{
    if (!QDir(path).exists() && !QDir().mkpath(path))
        qCritical() << "failed to create" << path;
}

// Deletes the files directly in a folder; sub-folders stay. A missing folder
// counts as success.
bool removeFilesIn(const QString &path)
{
    QDir dir(path);
    if (!dir.exists())
        return true;
    bool ok = true;
    const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo &fi : files)
        ok = QFile::remove(fi.absoluteFilePath()) && ok;
    return ok;
}
} // namespace

appSettings *AppContext::userSettings()
{
    return g_user;
}

appSettings *AppContext::sharedSettings()
{
    return g_shared;
}

void AppContext::releaseSettings()
{
    delete g_user;
    g_user = nullptr;
    delete g_shared;
    g_shared = nullptr;
}

QVariant AppContext::setting(const QString &key, const QVariant &defaultValue)
{
    if (!g_user)
        return appSettings::convert(defaultValue);
    return g_user->value(key, defaultValue);
}

QString AppContext::stateFolder(int state)
{
    return ordersFolder + stateFolders.value(state);
}

const QStringList &AppContext::defaultAppointmentTypes()
{
    static const QStringList types = {QStringLiteral("Survey"), QStringLiteral("Fitting"),
                                      QStringLiteral("Repair"), QStringLiteral("See notes")};
    return types;
}

QString AppContext::configuredDataFolder()
{
    QString folder = g_user ? g_user->value(QStringLiteral("datapath")).toString() : QString();
    if (folder.isEmpty())
        folder = QStandardPaths::standardLocations(QStandardPaths::AppDataLocation).value(0);
    return folder;
}

void AppContext::assignFolders(const QString &folder)
{
    dataFolder = folder;
    logsFolder = dataFolder + QStringLiteral("/logs");
    sharedSettingsFolder = dataFolder + QStringLiteral("/st");
    catalogueDataFolder = dataFolder + QStringLiteral("/V3VexaData");
    catalogueProductsFolder = catalogueDataFolder + QStringLiteral("/Products");
    cfgFolder = dataFolder + QStringLiteral("/VexaCfg");
    ordersFolder = dataFolder + QStringLiteral("/Orders/");
    stateFolders = QStringList{QString(), QStringLiteral("in/"), QString(), QStringLiteral("post/"),
                               QStringLiteral("posted/"), QStringLiteral("xfer/"), QString(),
                               QStringLiteral("b/"), QStringLiteral("posted/")};
    v3Catalogue = true;
}

void AppContext::openSettings()
{
    delete g_user;
    g_user = new appSettings();
    delete g_shared;
    g_shared = new appSettings(sharedSettingsFolder + QStringLiteral("/lta.ini"), QSettings::IniFormat);
}

void AppContext::setupDataFolders(const QString &folder)
{
    delete g_user;
    g_user = new appSettings();

    assignFolders(folder.isEmpty() ? configuredDataFolder() : folder);
    makePath(dataFolder);
    makePath(logsFolder);

    QDir().mkdir(sharedSettingsFolder);
    delete g_shared;
    g_shared = new appSettings(sharedSettingsFolder + QStringLiteral("/lta.ini"), QSettings::IniFormat);

    QDir().mkdir(dataFolder + QStringLiteral("/un"));

    g_user->setValue(QStringLiteral("v3_b"), true);

    if (!QDir(catalogueDataFolder).exists()) {
        QDir().mkpath(catalogueDataFolder);
        g_user->setValue(QStringLiteral("VexaData"), QString());
    }
    // The catalogue reader expects its products folder even before the first
    // catalogue download.
    QDir().mkpath(catalogueProductsFolder);
    if (!QDir(cfgFolder).exists()) {
        QDir().mkpath(cfgFolder);
        g_user->setValue(QStringLiteral("VexaCfg"), QString());
    }

    const QStringList types = g_user->value(QStringLiteral("aptypes_sl")).toStringList();
    if (types.isEmpty() || (types.size() == 1 && types.first().isEmpty()))
        g_user->setValue(QStringLiteral("aptypes_sl"), defaultAppointmentTypes());

    const QString tmp = dataFolder + QStringLiteral("/tmp");
    removeFilesIn(tmp);
    if (!QDir(tmp).exists() && !QDir().mkpath(tmp))
        qDebug() << "Failed to mkdir: " << tmp;

    QDir().mkpath(dataFolder + QStringLiteral("/db"));

    QDir().mkpath(ordersFolder + QStringLiteral("post"));
    for (const char *sub : {"posted", "in", "xfer", "b"})
        QDir().mkpath(ordersFolder + QLatin1String(sub));

    qDebug() << "data folder" << dataFolder;
    g_user->sync();
}
