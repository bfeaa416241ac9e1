#include "testenv.h"

#include "app/appcontext.h"
#include "app/appsettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace TestEnv {

void initApp()
{
    // The user settings live in the home folder; outside tests/isolated a test
    // would write into the real one.
    if (qEnvironmentVariableIsEmpty("LTA_TEST_ROOT"))
        qFatal("Run the tests through ctest or tests/isolated, never directly: "
               "they would write into the real home folder.");
    QCoreApplication::setOrganizationName(QStringLiteral("Vexa"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("lattica.app"));
    QCoreApplication::setApplicationName(QStringLiteral("Lta"));
}

QTemporaryDir *freshDataFolder()
{
    auto *dir = new QTemporaryDir();
    appSettings user;
    user.setValue(QStringLiteral("datapath"), dir->path());
    user.sync();
    AppContext::setupDataFolders();
    return dir;
}

QString sourcePath(const QString &relative)
{
    return QStringLiteral(LTA_SOURCE_DIR "/") + relative;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

} // namespace TestEnv
