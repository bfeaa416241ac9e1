#include "fuzzsupport.h"

#include "app/appcontext.h"

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace Fuzz {

void setUp()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "lattica-fuzz";
    static char *argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);   // lives for the whole process
    QCoreApplication::setOrganizationName(QStringLiteral("Vexa"));
    QCoreApplication::setApplicationName(QStringLiteral("LtaFuzz"));
    // The harnesses print nothing per input: libFuzzer runs millions of them.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    static QTemporaryDir data;
    AppContext::assignFolders(data.path());
    for (int state = 0; state < AppContext::stateFolders.size(); ++state)
        QDir().mkpath(AppContext::stateFolder(state));
    QDir().mkpath(data.path() + QStringLiteral("/tmp"));
    QDir().mkpath(AppContext::catalogueProductsFolder);
}

void fail(const char *what, const QByteArray &detail)
{
    std::fprintf(stderr, "fuzz: %s %s\n", what, detail.left(300).toHex().constData());
    std::abort();
}

} // namespace Fuzz
