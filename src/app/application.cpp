#include "application.h"

#include "appcontext.h"
#include "appsettings.h"
#include "logrotate.h"
#include "registertypes.h"
#include "business/businessmanager.h"
#include "business/controllerlink.h"
#include "business/staffmanager.h"
#include "cloud/cloudcomms.h"
#include "orders/savedorders.h"
#include "orders/vexaorder.h"
#include "singleapplication.h"

#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QHash>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QScreen>
#include <QSslCertificate>
#include <QSslConfiguration>
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

// "--screens DIR ORDERID": one picture per screen, showing that order.
QStringList screensRequest(const QStringList &args)
{
    const int at = args.indexOf(QStringLiteral("--screens"));
    return at > 0 ? args.mid(at + 1, 2) : QStringList();
}

// The first argument after the program name that is not one of our options.
QString fileArgument(const QStringList &args)
{
    for (int i = 1; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--screenshot")) {
            ++i;
            continue;
        }
        if (args.at(i) == QLatin1String("--screens")) {
            i += 2;
            continue;
        }
        return args.at(i);
    }
    return QString();
}

QQuickWindow *mainWindow(QQmlApplicationEngine &engine)
{
    const auto roots = engine.rootObjects();
    for (QObject *o : roots)
        if (auto window = qobject_cast<QQuickWindow *>(o))
            return window;
    return nullptr;
}

bool grabWindow(QQuickWindow *window, const QString &target)
{
    if (!window || !window->screen()) {
        std::fprintf(stderr, "lattica: no window to take a picture of\n");
        return false;
    }
    // Under the software backend grabWindow() of the window is empty; the
    // screen's grab of the window gives the real pixels.
    const QImage shot = window->screen()->grabWindow(window->winId()).toImage();
    if (shot.isNull() || !shot.save(target)) {
        std::fprintf(stderr, "lattica: could not write %s\n", qPrintable(target));
        return false;
    }
    qInfo() << "screenshot written to" << target;
    return true;
}

// An installation may trust certificates of its own besides the system's
// (a company's proxy, the local services of a demo): a PEM file named by the
// user setting "caFile_s", which only the installation sets.
void trustExtraCertificates()
{
    const QString path = AppContext::setting(QStringLiteral("caFile_s"), QString()).toString();
    if (path.isEmpty())
        return;
    const QList<QSslCertificate> extra = QSslCertificate::fromPath(path, QSsl::Pem);
    if (extra.isEmpty()) {
        qWarning() << "No certificates in" << path;
        return;
    }
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.addCaCertificates(extra);
    QSslConfiguration::setDefaultConfiguration(config);
    qInfo() << "Trusting" << extra.size() << "further certificates from" << path;
}

void takeScreenshot(QQmlApplicationEngine &engine, const QString &target)
{
    QCoreApplication::exit(grabWindow(mainWindow(engine), target) ? 0 : 1);
}

// Closes a popup or dialog of the interface when it is open.
void closePopup(QObject *popup)
{
    if (popup && popup->property("opened").toBool())
        QMetaObject::invokeMethod(popup, "close");
}

QObject *child(QObject *parent, const char *name)
{
    return parent ? parent->property(name).value<QObject *>() : nullptr;
}

// Shows each screen in turn with the given order loaded and takes its picture.
void takeScreens(QQmlApplicationEngine &engine, VexaOrder *order, const QString &folder, const QString &orderId,
                 int step = 0)
{
    // "PriceCalc" is the survey with the item's price calculator open; the
    // orders list clears the order, so it comes after the order's screens.
    // The other extra states are a screen with one of its dialogs open:
    // "UpdateDownloading" the news popup downloading an update (home),
    // "EmailRetry" the orders list asking for a customer's address again,
    // "RoomsDialog" and "StaffExpired" the settings screen with the rooms
    // list or the staff screen, "BusinessForm" with the delivery addresses.
    static const QStringList states{QStringLiteral("Home"),         QStringLiteral("UpdateDownloading"),
                                    QStringLiteral("Customer"),     QStringLiteral("Capture"),
                                    QStringLiteral("PriceCalc"),    QStringLiteral("Review"),
                                    QStringLiteral("Complete"),     QStringLiteral("SavedOrders"),
                                    QStringLiteral("EmailRetry"),   QStringLiteral("SettingStateLTA"),
                                    QStringLiteral("RoomsDialog"),  QStringLiteral("StaffExpired"),
                                    QStringLiteral("BusinessForm"), QStringLiteral("RegisterState")};
    static const QHash<QString, QString> screenOf{{QStringLiteral("UpdateDownloading"), QStringLiteral("Home")},
                                                  {QStringLiteral("PriceCalc"), QStringLiteral("Capture")},
                                                  {QStringLiteral("EmailRetry"), QStringLiteral("SavedOrders")},
                                                  {QStringLiteral("RoomsDialog"), QStringLiteral("SettingStateLTA")},
                                                  {QStringLiteral("StaffExpired"), QStringLiteral("SettingStateLTA")},
                                                  {QStringLiteral("BusinessForm"), QStringLiteral("SettingStateLTA")}};
    QQuickWindow *window = mainWindow(engine);
    QObject *group = window ? window->property("stateGroup").value<QObject *>() : nullptr;
    if (!group) {
        std::fprintf(stderr, "lattica: no screens to show\n");
        QCoreApplication::exit(1);
        return;
    }
    if (step > 0 && !grabWindow(window, QDir(folder).filePath(states.at(step - 1) + QStringLiteral(".png")))) {
        QCoreApplication::exit(1);
        return;
    }
    if (step == states.size()) {
        QCoreApplication::exit(0);
        return;
    }
    if (step == 1 && !order->loadOrder(orderId, VexaOrder::UnKnown, false)) {
        std::fprintf(stderr, "lattica: order %s not found\n", qPrintable(orderId));
        QCoreApplication::exit(1);
        return;
    }
    const QString state = states.at(step);
    QObject *calculator = child(child(window, "captureScreen"), "priceCalcDialog");
    QObject *settings = child(window, "settingsScreen");
    QObject *orders = child(window, "ordersScreen");
    QObject *news = child(window, "newsPopup");
    closePopup(calculator);
    closePopup(news);
    closePopup(child(orders, "emailDialog"));
    closePopup(child(settings, "roomsDialog"));
    if (QObject *businessForm = child(settings, "businessForm"))
        businessForm->setProperty("visible", state == QLatin1String("BusinessForm"));
    if (QObject *staffForm = child(settings, "staffForm"))
        staffForm->setProperty("visible", state == QLatin1String("StaffExpired"));
    group->setProperty("state", screenOf.value(state, state));

    if (state == QLatin1String("PriceCalc") && calculator) {
        QMetaObject::invokeMethod(calculator, "openFor", Q_ARG(QVariant, QVariant(-1)));
    } else if (state == QLatin1String("UpdateDownloading") && news) {
        // scripts/screens serves an installer that stops half-way
        QMetaObject::invokeMethod(news, "open");
        QMetaObject::invokeMethod(news, "update");
        // offered once: the later screens' news checks leave the popup shut
        AppContext::userSettings()->remove(QStringLiteral("currver"));
    } else if (state == QLatin1String("EmailRetry") && orders) {
        // the list asks about the sample order as if its posting had failed
        if (order->loadOrder(orderId, VexaOrder::UnKnown, false)) {
            const QVariantMap about{{QStringLiteral("orderID"), order->orderID()},
                                    {QStringLiteral("orderState"), int(VexaOrder::Posted)},
                                    {QStringLiteral("custEmail"), order->custEmail()},
                                    {QStringLiteral("mailCheckResult"), 1}};
            order->clear();
            QMetaObject::invokeMethod(child(orders, "emailDialog"), "ask",
                                      Q_ARG(QVariant, QStringLiteral("Failed to send the order confirmation email")),
                                      Q_ARG(QVariant, about), Q_ARG(QVariant, false));
        }
    } else if (state == QLatin1String("RoomsDialog") && settings) {
        QMetaObject::invokeMethod(child(settings, "roomsDialog"), "openWith",
                                  Q_ARG(QVariant, settings->property("rooms")));
    }
    QTimer::singleShot(700, &engine, [&engine, order, folder, orderId, step] {
        takeScreens(engine, order, folder, orderId, step + 1);
    });
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

    const QStringList args = QCoreApplication::arguments();
    const QString screenshot = screenshotTarget(args);
    const QStringList screens = screensRequest(args);
    // The running copy may have another working folder: hand over (and
    // keep) the file's absolute path.
    QString importFile = fileArgument(args);
    if (!importFile.isEmpty() && !importFile.startsWith(QLatin1String("file:")))
        importFile = QFileInfo(importFile).absoluteFilePath();
    // A later start hands its order file to the running copy and leaves,
    // before it touches the data folder: setting that up empties tmp/, where
    // the running copy stages its saves and portal files.
    // (A screenshot run is a throw-away copy and never joins the guard.)
    std::unique_ptr<SingleApplication> single;
    if (screenshot.isEmpty() && screens.isEmpty()) {
        single = std::make_unique<SingleApplication>(
            true, SingleApplication::User | SingleApplication::ExcludeAppPath, 100);
        if (single->isSecondary()) {
            single->sendMessage(importFile.toUtf8(), 100);
            return 0;
        }
    }

    AppContext::setupDataFolders();
    auto log = std::make_unique<LogRotate>(102400, AppContext::logsFolder, QStringLiteral("diag"), 2);
    installLogHandler(log.get());

    if (!importFile.isEmpty())
        AppContext::userSettings()->setValue(QStringLiteral("imp"), importFile);

    qInfo().nospace() << "sslLibraryBuildVersion=" << QSslSocket::sslLibraryBuildVersionString()
                      << " sslLibraryVersion =" << QSslSocket::sslLibraryVersionString()
                      << " supportsSsl =" << QSslSocket::supportsSsl();
    trustExtraCertificates();

    QFont font(QStringLiteral("Segoe UI"));
    font.setPixelSize(14);
    QGuiApplication::setFont(font);
    QQuickStyle::setStyle(QStringLiteral("Universal"));

    // Long-lived controllers, in this order: the order, the cloud controller
    // (given the order), the saved-order lists.
    auto order = std::make_unique<VexaOrder>();
    auto cloud = std::make_unique<CloudComms>(order.get());
    // the controller's sign-in and registration reach the staff list here
    auto staff = std::make_unique<StaffManager>();
    staff->connectTo(cloud.get());
    QObject::connect(cloud.get(), &CloudComms::catalogueUpdated, order.get(), &VexaOrder::reloadCatalogueControls);
    // The controller's own business manager: registration and the daily
    // address check fetch the accounts' delivery addresses through it, the
    // configuration check refreshes the lead time with it.
    auto business = std::make_unique<BusinessManager>();
    linkBusinessToController(cloud.get(), business.get());
    auto savedOrders = std::make_unique<SavedOrders>();
    auto engine = std::make_unique<QQmlApplicationEngine>();
    publishInterface(engine.get(), order.get(), cloud.get(), savedOrders.get());

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

    if (screens.size() == 2) {
        QTimer::singleShot(800, &app, [&engine, &order, screens] {
            takeScreens(*engine, order.get(), screens.at(0), screens.at(1));
        });
    }

    // For the start-up benchmark (bench/bench_startup): leave once the first
    // frame has been shown.
    if (qEnvironmentVariableIsSet("LTA_EXIT_AFTER_FIRST_FRAME")) {
        if (auto *window = qobject_cast<QQuickWindow *>(engine->rootObjects().value(0)))
            QObject::connect(window, &QQuickWindow::frameSwapped, &app, [] { QCoreApplication::exit(0); },
                             Qt::QueuedConnection);
    }

    const int rc = app.exec();
    installLogHandler(nullptr);
    engine.reset();
    savedOrders.reset();
    staff.reset();
    cloud.reset();
    business.reset();
    order.reset();
    log.reset();
    AppContext::releaseSettings();
    return rc;
}
