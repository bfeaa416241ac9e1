// Cost against size, each next to a floor measured in the same run:
//  - repricing 5,000 items (target < 1 s); floor: parsing the same order
//    file with Qt alone;
//  - loading a 10,000-item order (target < 2 s and 500 MB peak); floor: the
//    same read and parse with Qt alone;
//  - the saved-order lists over 10,000 order files (target within 1.5x of
//    the floor in time and in peak memory); floor: reading and parsing every
//    file with Qt alone.
// Peak memory is each measurement's own: every one runs in a child process.
#include "app/appcontext.h"
#include "models/qqmlobjectlistmodel.h"
#include "orders/saveditem.h"
#include "orders/savedorders.h"
#include "orders/vexaorder.h"
#include "pricing/catalogue.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>

namespace {

QByteArray makeOrder(const QString &id, int n)
{
    static const char *ranges[][3] = {{"Harbour Shutters", "Classic MDF", "Pure White"},
                                      {"Northgate Joinery", "Cotswold Basswood", "Ivory"}};
    QJsonArray items;
    for (int i = 0; i < n; ++i) {
        const auto &r = ranges[i % 2];
        const QJsonArray options{QJsonObject{{"group", "Frame Style"}, {"description", "Classic"}},
                                 QJsonObject{{"group", "Louvre Size"}, {"description", i % 3 ? "76mm" : "89mm"}}};
        items.append(QJsonObject{{"room", QStringLiteral("Room %1").arg(i / 6 + 1)},
                                 {"width", 500 + (i * 37) % 1900},
                                 {"drop", 700 + (i * 53) % 1400},
                                 {"product", "Lattica"},
                                 {"supplier", r[0]},
                                 {"range", r[1]},
                                 {"color", r[2]},
                                 {"item_price", "0.00"},
                                 {"extras_price", "0.00"},
                                 {"data", QJsonObject{{"PanelConfig", i % 2 ? "LR" : "LLRR"}}},
                                 {"options", options}});
    }
    return QJsonDocument(QJsonObject{{"orderID", id}, {"custAddr", "Bench Customer\n1 High Street"},
                                     {"date", "2026-12-01T10:00:00.000"}, {"items", items}})
        .toJson(QJsonDocument::Compact);
}

long peakMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// One measurement in this process; prints "ms peakMB".
int measure(const QString &what, const QString &data)
{
    AppContext::openSettings();
    AppContext::assignFolders(data);
    AppContext::openSettings();
    QElapsedTimer t;
    t.start();
    if (what == QLatin1String("parse-floor") || what == QLatin1String("load")) {
        const QString path = AppContext::ordersFolder + (qEnvironmentVariable("LTA_BENCH_ORDER"));
        if (what == QLatin1String("load")) {
            VexaOrder order;
            if (!order.readOrderFile(path))
                return 1;
        } else {
            QFile f(path);
            if (!f.open(QIODevice::ReadOnly) || !QJsonDocument::fromJson(f.readAll()).isObject())
                return 1;
        }
    } else if (what == QLatin1String("reprice")) {
        VexaOrder order;
        order.autoSave = false;
        if (!order.readOrderFile(AppContext::ordersFolder + QStringLiteral("R5000")))
            return 1;
        t.restart();
        order.recalcPrices();
    } else if (what == QLatin1String("lists-floor")) {
        int n = 0;
        const QFileInfoList files = QDir(AppContext::stateFolder(VexaOrder::ForPosting)).entryInfoList(QDir::Files, QDir::Name);
        for (const QFileInfo &info : files) {
            QFile f(info.absoluteFilePath());
            if (f.open(QIODevice::ReadOnly) && QJsonDocument::fromJson(f.readAll()).isObject())
                ++n;
        }
        if (n != 10000)
            return 1;
    } else if (what == QLatin1String("lists")) {
        SavedOrders saved;
        saved.reload(SavedOrders::ToPostList);
        if (saved.model(SavedOrders::ToPostList)->count() != 10000)
            return 1;
    }
    std::printf("%.1f %ld\n", double(t.nsecsElapsed()) / 1e6, peakMb());
    return 0;
}

struct Result
{
    double ms = -1;
    long mb = -1;
};

Result child(const QString &what, const QString &data, const QString &order = QString())
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LTA_BENCH_ORDER"), order);
    p.setProcessEnvironment(env);
    p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--measure"), what, data});
    if (!p.waitForFinished(600000) || p.exitCode() != 0)
        return {};
    const QList<QByteArray> parts = p.readAllStandardOutput().trimmed().split(' ');
    return {parts.value(0).toDouble(), parts.value(1).toLong()};
}

void report(const char *name, const Result &r, const Result &floor, const char *target)
{
    std::printf("%s: %.0f ms, %ld MB peak   floor %.0f ms, %ld MB   (x%.2f time, x%.2f memory)  [target: %s]\n", name,
                r.ms, r.mb, floor.ms, floor.mb, floor.ms > 0 ? r.ms / floor.ms : 0.0,
                floor.mb > 0 ? double(r.mb) / double(floor.mb) : 0.0, target);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Vexa");
    QCoreApplication::setApplicationName("Lta");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    if (argc == 4 && qstrcmp(argv[1], "--measure") == 0)
        return measure(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));

    // Never the real home: settings and data live in a throw-away folder.
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    qputenv("XDG_RUNTIME_DIR", home.path().toUtf8());
    const QString data = home.path() + "/lta";
    AppContext::assignFolders(data);
    for (const char *sub : {"Orders/post", "Orders/b", "tmp", "db"})
        QDir().mkpath(data + "/" + sub);
    QDir().mkpath(AppContext::catalogueProductsFolder);
    Catalogue::installFrom(QStringLiteral(LTA_SOURCE_DIR "/data/catalogue"));

    auto write = [](const QString &path, const QByteArray &bytes) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    };
    if (!write(AppContext::ordersFolder + "R5000", makeOrder("R5000", 5000))
        || !write(AppContext::ordersFolder + "L10000", makeOrder("L10000", 10000)))
        return 1;
    report("reprice, 5,000 items", child("reprice", data), child("parse-floor", data, "R5000"), "< 1000 ms");
    report("load, 10,000-item order", child("load", data, "L10000"), child("parse-floor", data, "L10000"),
           "< 2000 ms and 500 MB");

    const QByteArray small = makeOrder("X", 3);
    for (int i = 0; i < 10000; ++i) {
        QByteArray bytes = small;
        bytes.replace("\"orderID\":\"X\"", QStringLiteral("\"orderID\":\"P%1\"").arg(i).toUtf8());
        if (!write(AppContext::stateFolder(VexaOrder::ForPosting) + QStringLiteral("P%1").arg(i), bytes))
            return 1;
    }
    report("saved-order list, 10,000 files", child("lists", data), child("lists-floor", data), "within x1.5 of the floor");
    return 0;
}
