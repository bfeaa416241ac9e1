#include "application.h"

#include "appcontext.h"
#include "appsettings.h"
#include "logrotate.h"
#include "registertypes.h"
#include "business/businessmanager.h"
#include "cloud/cloudcomms.h"
#include "orders/savedorders.h"
#include "orders/vexaorder.h"
#include "singleapplication.h"

#include <QFileSelector>
#include <QFont>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQmlFileSelector>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QScreen>
#include <QSslSocket>
#include <QTimer>
#include <QtWebView>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

// "--screenshot FILE": render the first screen without a display and exit.
QString screenshotTarget(const QStringList &args)
{
    const int at = args.indexOf(QStringLiteral("--screenshot"));
    return at > 0 ? args.value(at + 1) : QString();
}

// The first argument after the program name that is not one of our options.
QString fileArgument(const QStringList &args)
{
    for (int i = 1; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--screenshot")) {
            ++i;
            continue;
        }
        return args.at(i);
    }
    return QString();
}

void takeScreenshot(QQmlApplicationEngine &engine, const QString &target)
{
    QQuickWindow *window = nullptr;
    const auto roots = engine.rootObjects();
    for (QObject *o : roots)
        if ((window = qobject_cast<QQuickWindow *>(o)))
            break;
    if (!window || !window->screen()) {
        std::fprintf(stderr, "lattica: no window to take a picture of\n");
        QCoreApplication::exit(1);
        return;
    }
    // Under the software backend grabWindow() of the window is empty; the
    // screen's grab of the window gives the real pixels.
    const QImage shot = window->screen()->grabWindow(window->winId()).toImage();
    if (shot.isNull() || !shot.save(target)) {
        std::fprintf(stderr, "lattica: could not write %s\n", qPrintable(target));
        QCoreApplication::exit(1);
        return;
    }
    qInfo() << "screenshot written to" << target;
    QCoreApplication::exit(0);
}

} // namespace

int runLattica(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Round);
    // The web view's engine refuses to start as root without this.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QtWebView::initialize();
    QGuiApplication app(argc, argv);

    QCoreApplication::setOrganizationName(QStringLiteral("Vexa"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("lattica.app"));
    QCoreApplication::setApplicationName(QStringLiteral("Lta"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LTA_VERSION_TEXT));
    AppContext::heightWording = true;
    AppContext::productName = QStringLiteral("Lattica");

    AppContext::setupDataFolders();

    auto log = std::make_unique<LogRotate>(102400, AppContext::logsFolder, QStringLiteral("diag"), 2);
    installLogHandler(log.get());

    const QStringList args = QCoreApplication::arguments();
    const QString screenshot = screenshotTarget(args);
    const QString importFile = fileArgument(args);
    // A later start hands its order file to the running copy and leaves.
    // (A screenshot run is a throw-away copy and never joins the guard.)
    std::unique_ptr<SingleApplication> single;
    if (screenshot.isEmpty()) {
        single = std::make_unique<SingleApplication>(
            true, SingleApplication::User | SingleApplication::ExcludeAppPath, 100);
        if (single->isSecondary()) {
            single->sendMessage(importFile.toUtf8(), 100);
            installLogHandler(nullptr);
            return 0;
        }
    }
    if (!importFile.isEmpty())
        AppContext::userSettings()->setValue(QStringLiteral("imp"), importFile);

    qInfo().nospace() << "sslLibraryBuildVersion=" << QSslSocket::sslLibraryBuildVersionString()
                      << " sslLibraryVersion =" << QSslSocket::sslLibraryVersionString()
                      << " supportsSsl =" << QSslSocket::supportsSsl();

    QFont font(QStringLiteral("Segoe UI"));
    font.setPixelSize(14);
    QGuiApplication::setFont(font);
    QQuickStyle::setStyle(QStringLiteral("Universal"));

    // Long-lived controllers, in this order: the order, the cloud controller
    // (given the order), the saved-order lists.
    auto order = std::make_unique<VexaOrder>();
    auto cloud = std::make_unique<CloudComms>(order.get());
    QObject::connect(cloud.get(), &CloudComms::catalogueUpdated, order.get(), &VexaOrder::reloadCatalogueControls);
    // The controller's own business manager: registration and the daily
    // address check fetch the accounts' delivery addresses through it.
    auto business = std::make_unique<BusinessManager>();
    cloud->business.fetchAccountAddresses = [b = business.get()](const QString &accountId) {
        b->fetchAccountAddresses(accountId);
        return b->error();
    };
    auto savedOrders = std::make_unique<SavedOrders>();
    auto engine = std::make_unique<QQmlApplicationEngine>();
    auto selector = new QQmlFileSelector(engine.get(), engine.get());
    selector->setExtraSelectors({QStringLiteral("LT")});

    savedOrders->setContextProperties(engine->rootContext());
    order->setContextProperties(engine->rootContext());
    setCommonContextProperties(engine->rootContext());
    engine->rootContext()->setContextProperty(QStringLiteral("_myOrder"), order.get());
    engine->rootContext()->setContextProperty(QStringLiteral("vexaData"), cloud.get());
    engine->rootContext()->setContextProperty(QStringLiteral("cloudComms"), cloud.get());
    registerInterfaceTypes();

    engine->load(QUrl(QStringLiteral("qrc:/main.qml")));
    if (engine->rootObjects().isEmpty())
        qCritical() << "main.qml failed to load";
    if (single) {
        QObject::connect(single.get(), &SingleApplication::instanceStarted, order.get(), &VexaOrder::showWindow);
        QObject::connect(single.get(), &SingleApplication::receivedMessage, order.get(),
                         [o = order.get()](uint instanceId, const QByteArray &message) {
                             o->receivedMessage(int(instanceId), message);
                         });
    }

    if (!screenshot.isEmpty()) {
        // Give the scene a moment to lay out and paint before grabbing it.
        QTimer::singleShot(800, &app, [&engine, screenshot] { takeScreenshot(*engine, screenshot); });
    }

    const int rc = app.exec();
    installLogHandler(nullptr);
    engine.reset();
    savedOrders.reset();
    cloud.reset();
    business.reset();
    order.reset();
    log.reset();
    AppContext::releaseSettings();
    return rc;
}
