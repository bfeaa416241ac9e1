// The screens a surveyor waits on, in the real window, headless: each time
// runs from the user's action to the first frame that shows its result.
//  - switching between the items of a 100-item order on the survey (target:
//    median under 16 ms, one frame);
//  - opening the review of a 100-item order from the home screen (target
//    under 250 ms);
//  - opening the orders list with 1,000 saved orders (target under 300 ms).
// Prints median and spread (p10, p90, min, max) of each.
#include "app/appcontext.h"
#include "app/appsettings.h"
#include "app/registertypes.h"
#include "cloud/cloudcomms.h"
#include "models/qqmlobjectlistmodel.h"
#include "orders/savedorders.h"
#include "orders/vexaorder.h"
#include "orders/vexaorderitem.h"
#include "pricing/catalogue.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTimer>
#include <QtWebView>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>
#include <unistd.h>

#include "benchorders.h"

namespace {
using bench::makeOrder;
using bench::Stats;
using bench::stats;



// A small saved order for the lists.
QByteArray smallOrder(const QString &id, int i)
{
    const QJsonArray items{QJsonObject{{"room", "Hall"}, {"width", 600 + i % 900}, {"drop", 1200}}};
    return QJsonDocument(QJsonObject{{"orderID", id},
                                     {"manOrderID", QStringLiteral("REF-%1").arg(i)},
                                     {"custAddr", QStringLiteral("Customer %1\n%1 Mill Lane").arg(i)},
                                     {"custEmail", QStringLiteral("c%1@example.com").arg(i)},
                                     {"date", QStringLiteral("2026-11-%1T10:00:00.000").arg(1 + i % 28, 2, 10, QChar('0'))},
                                     {"items", items}})
        .toJson(QJsonDocument::Compact);
}

bool write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}


// Milliseconds from the action to the next frame the window shows.
double untilFrame(QQuickWindow *window, const std::function<void()> &act)
{
    QEventLoop loop;
    bool shown = false;
    const auto c = QObject::connect(window, &QQuickWindow::frameSwapped, &loop, [&] {
        shown = true;
        loop.quit();
    });
    QElapsedTimer t;
    t.start();
    act();
    window->update();
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    if (!shown)
        loop.exec();
    QObject::disconnect(c);
    return shown ? double(t.nsecsElapsed()) / 1e6 : -1;
}

void settle(QQuickWindow *window)
{
    untilFrame(window, [] {});
}

void report(const char *what, const std::vector<double> &ms, const char *target)
{
    const Stats s = stats(ms);
    std::printf("%s (%zu runs): median %.1f ms, p10 %.1f, p90 %.1f, min %.1f, max %.1f  [target: %s]\n", what,
                ms.size(), s.median, s.p10, s.p90, s.min, s.max, target);
}

bool goTo(QObject *window, const char *state)
{
    QVariant ok;
    QMetaObject::invokeMethod(window, "goTo", Q_RETURN_ARG(QVariant, ok), Q_ARG(QVariant, QString::fromLatin1(state)));
    return ok.toBool();
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    bench::useThrowAwayHome(home);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_QUICK_BACKEND", "software");
    // the web view's engine refuses to start as root without this
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QtWebView::initialize();
    QGuiApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Vexa");
    QCoreApplication::setApplicationName("Lta");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});

    AppContext::setupDataFolders();
    Catalogue::installFrom(QStringLiteral(LTA_SOURCE_DIR "/data/catalogue"));
    // a registered device that stays off the network
    appSettings *user = AppContext::userSettings();
    for (const auto &[key, value] : std::vector<std::pair<QString, QVariant>>{
             {"regem_s", "bench@example.com"}, {"userName_s", "Bench"}, {"cfg_chk", 9999999999LL},
             {"storageHost_s", "127.0.0.1"}, {"storagePort_i", 9}, {"inetProbeUrl_s", "http://127.0.0.1:9/"},
             {"notifyurl", "about:blank"}, {"showPrices_b", true}})
        user->setValue(key, value);
    user->sync();

    // 1,000 saved orders over the lists, and the 100-item order in progress
    const QString orders = AppContext::ordersFolder;
    for (int i = 0; i < 1000; ++i) {
        static const char *folders[] = {"", "posted/", "posted/", "post/", "in/"};
        if (!write(orders + folders[i % 5] + QStringLiteral("SAVED-%1").arg(i, 4, 10, QChar('0')), smallOrder("SAVED", i))) {
            std::fprintf(stderr, "could not write the saved orders\n");
            return 1;
        }
    }
    if (!write(orders + "BENCH-100", makeOrder("BENCH-100", 100))) {
        std::fprintf(stderr, "could not write the 100-item order\n");
        return 1;
    }

    VexaOrder order;
    CloudComms cloud(&order);
    SavedOrders saved;
    QQmlApplicationEngine engine;
    publishInterface(&engine, &order, &cloud, &saved);
    engine.load(QUrl(QStringLiteral("qrc:/main.qml")));
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().value(0));
    if (!window) {
        std::fprintf(stderr, "the window did not load\n");
        return 1;
    }
    window->resize(1024, 600);
    settle(window);
    if (!order.loadOrder("BENCH-100", VexaOrder::InProgress, false) || order.orderItemsModel()->count() != 100) {
        std::fprintf(stderr, "could not load the 100-item order\n");
        return 1;
    }

    // the survey: one item after another, room by room
    goTo(window, "Capture");
    settle(window);
    QObject *capture = window->property("captureScreen").value<QObject *>();
    if (!capture) {
        std::fprintf(stderr, "no survey screen\n");
        return 1;
    }
    std::vector<double> switching;
    for (int room = 1; room <= 16; ++room) {
        QMetaObject::invokeMethod(capture, "selectRoom", Q_ARG(QVariant, QStringLiteral("Room %1").arg(room)));
        settle(window);
        for (int i : {1, 2, 3, 4, 5, 0, 3})
            switching.push_back(untilFrame(window, [&] {
                QMetaObject::invokeMethod(capture, "selectItem", Q_ARG(QVariant, i));
            }));
    }

    // the review, opened from the home screen each time
    std::vector<double> review;
    for (int run = 0; run < 15; ++run) {
        goTo(window, "Home");
        settle(window);
        review.push_back(untilFrame(window, [&] { goTo(window, "Review"); }));
    }

    // the orders list (it clears the order on opening)
    std::vector<double> list;
    for (int run = 0; run < 15; ++run) {
        goTo(window, "Home");
        settle(window);
        list.push_back(untilFrame(window, [&] { goTo(window, "SavedOrders"); }));
    }

    for (const auto *v : {&switching, &review, &list}) {
        if (std::find(v->begin(), v->end(), -1.0) != v->end()) {
            std::fprintf(stderr, "a screen never showed a frame\n");
            return 1;
        }
    }
    report("survey item switch, 100-item order", switching, "median < 16 ms");
    report("open the review, 100-item order", review, "< 250 ms");
    report("open the orders list, 1,000 saved orders", list, "< 300 ms");
    return 0;
}
