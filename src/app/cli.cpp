#include "cli.h"

#include "appcontext.h"
#include "appsettings.h"
#include "documents/documentscli.h"
#include "orders/orderscli.h"
#include "pricing/pricereport.h"
#include "cloud/cloudcli.h"
#include "documents/portalcli.h"
#include "documents/quotecli.h"
#include "cloud/synccli.h"
#include "business/staffcli.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <functional>
#include <memory>
#include <vector>

namespace {

struct Command
{
    QStringList words;
    QString usage;
    std::function<int(CliCall &)> run;
};

// Subsystems add their commands here.
std::vector<Command> commands()
{
    return {
        {{QStringLiteral("order"), QStringLiteral("show")}, QStringLiteral("order show [--data DIR] FILE_OR_ID"),
         cliOrderShow},
        {{QStringLiteral("order"), QStringLiteral("xml")},
         QStringLiteral("order xml [--data DIR] [--account CODE] FILE_OR_ID"), cliOrderXml},
        {{QStringLiteral("order"), QStringLiteral("html")},
         QStringLiteral("order html [--data DIR] [--supplier] FILE_OR_ID"), cliOrderHtml},
        {{QStringLiteral("order"), QStringLiteral("mail")}, QStringLiteral("order mail [--data DIR] FILE_OR_ID"),
         cliOrderMail},
        {{QStringLiteral("order"), QStringLiteral("drawing")},
         QStringLiteral("order drawing [--data DIR] FILE_OR_ID ITEM"), cliOrderDrawing},
        {{QStringLiteral("order"), QStringLiteral("pdf")}, QStringLiteral("order pdf [--data DIR] FILE_OR_ID OUTFILE"),
         cliOrderPdf},
        {{QStringLiteral("orders"), QStringLiteral("list")},
         QStringLiteral("orders list [--data DIR] [--state received|inprogress|topost|sent|backup]"), cliOrdersList},
        {{QStringLiteral("orders"), QStringLiteral("post")}, QStringLiteral("orders post [--data DIR]"),
         cliOrdersPost},
        {{QStringLiteral("price")}, QStringLiteral("price [--data DIR] [--save] FILE_OR_ID"), cliPrice},
        {{QStringLiteral("catalogue"), QStringLiteral("install")},
         QStringLiteral("catalogue install [--data DIR] FOLDER"), cliCatalogueInstall},
        {{QStringLiteral("seal-credentials")},
         QStringLiteral("seal-credentials [KEY_ID SECRET MAIL_CREDENTIAL]   (else three lines on stdin)"),
         cliSealCredentials},
        {{QStringLiteral("encipher")}, QStringLiteral("encipher   (the text on stdin; prints Base64)"), cliEncipher},
        {{QStringLiteral("settings")}, QStringLiteral("settings set [--data DIR] [--shared] KEY=VALUE..."), cliSettingsSet},
        {{QStringLiteral("register")}, QStringLiteral("register [--data DIR] EMAIL CUSTOMER PASSWORD"),
         cliRegister},
        {{QStringLiteral("sync")}, QStringLiteral("sync [--data DIR]"), cliSync},
        {{QStringLiteral("staff")}, QStringLiteral("staff list|add|remove|code [--data DIR] ..."), cliStaff},
    };
}

void printUsage(QTextStream &to)
{
    to << "usage: lattica-cli COMMAND [--data DIR] ...\n";
    for (const Command &c : commands())
        to << "  lattica-cli " << c.usage << '\n';
    to.flush();
}

} // namespace

void cliUseDataFolder(QStringList &args)
{
    const int at = args.indexOf(QStringLiteral("--data"));
    QString folder;
    if (at >= 0) {
        folder = args.value(at + 1);
        args.removeAt(at);
        if (at < args.size())
            args.removeAt(at);
    }
    AppContext::openSettings();
    AppContext::assignFolders(folder.isEmpty() ? AppContext::configuredDataFolder() : folder);
    // the shared settings belong to the chosen data folder
    AppContext::openSettings();
}

bool cliTakeFlag(QStringList &args, const QString &flag)
{
    return args.removeAll(flag) > 0;
}

namespace {

// Commands that lay out text (the quote PDF) need the fonts of a GUI
// application; without a display they use the offscreen platform.
bool needsFonts(int argc, char *argv[])
{
    for (int i = 1; i + 1 < argc; ++i)
        if (qstrcmp(argv[i], "order") == 0 && qstrcmp(argv[i + 1], "pdf") == 0)
            return true;
    return false;
}

} // namespace

int runLatticaCli(int argc, char *argv[])
{
    std::unique_ptr<QCoreApplication> application;
    if (needsFonts(argc, argv)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
            && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        application = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setOrganizationName(QStringLiteral("Vexa"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("lattica.app"));
    QCoreApplication::setApplicationName(QStringLiteral("Lta"));

    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty() || args.first() == QLatin1String("help") || args.first() == QLatin1String("--help")) {
        printUsage(args.isEmpty() ? err : out);
        return args.isEmpty() ? 2 : 0;
    }
    for (const Command &c : commands()) {
        if (args.mid(0, c.words.size()) != c.words)
            continue;
        CliCall call{args.mid(c.words.size()), out, err};
        cliUseDataFolder(call.args);
        const int rc = c.run(call);
        out.flush();
        err.flush();
        AppContext::releaseSettings();
        return rc;
    }
    err << "lattica-cli: unknown command: " << args.join(QLatin1Char(' ')) << '\n';
    printUsage(err);
    return 2;
}
