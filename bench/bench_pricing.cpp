// Pricing speed on the sample catalogue: one item edit (processing and the
// save that follows it) on a 100-item order, and repricing a 500-item order.
// Prints median and spread; targets: an edit median under 1 ms, a 500-item
// reprice under 100 ms (both hand the file to the writer thread; the reprice
// also prints when that file is on disk).
#include "app/appcontext.h"
#include "app/appsettings.h"
#include "models/qqmlobjectlistmodel.h"
#include "orders/vexaorder.h"
#include "orders/orderwriter.h"
#include "orders/vexaorderitem.h"
#include "pricing/catalogue.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "benchorders.h"

namespace {
using bench::makeOrder;
using bench::Stats;
using bench::stats;


bool loadBenchOrder(VexaOrder &order, const QString &id, int n)
{
    QFile f(AppContext::ordersFolder + id);
    if (!f.open(QIODevice::WriteOnly) || f.write(makeOrder(id, n)) < 0)
        return false;
    f.close();
    return order.loadOrder(id, VexaOrder::InProgress, false) && order.orderItemsModel()->count() == n;
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    bench::useThrowAwayHome(home);
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Vexa");
    QCoreApplication::setApplicationName("Lta");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});

    AppContext::setupDataFolders();
    Catalogue::installFrom(QStringLiteral(LTA_SOURCE_DIR "/data/catalogue"));

    {
        VexaOrder order;
        if (!loadBenchOrder(order, "BENCH-100", 100)) {
            std::fprintf(stderr, "could not load the 100-item order\n");
            return 1;
        }
        order.recalcPrices();
        order.setBlind("Room 9", 2);
        VexaOrderItem *item = order.getVexaOrderItem();
        std::vector<double> ms;
        QElapsedTimer t;
        for (int i = 0; i < 300; ++i) {
            item->set_bl_width(600 + (i * 7) % 1500);   // a surveyor typing sizes
            t.start();
            order.processOrderItem(true);
            ms.push_back(double(t.nsecsElapsed()) / 1e6);
        }
        {
            std::vector<double> js;
            for (int i = 0; i < 50; ++i) {
                t.start();
                const QByteArray bytes = QJsonDocument(order.toJson()).toJson(QJsonDocument::Compact);
                js.push_back(double(t.nsecsElapsed()) / 1e6);
            }
            std::printf("  making the file content of 100 items (done by the writer thread): median %.2f ms\n", stats(js).median);
        }
        const Stats s = stats(ms);
        std::printf("item edit, 100-item order (300 runs): median %.2f ms, p10 %.2f, p90 %.2f, min %.2f, max %.2f"
                    "  [target: median < 1 ms]\n", s.median, s.p10, s.p90, s.min, s.max);
        std::printf("  last item: price %.2f extras %.2f, order parts %.2f\n", item->item_price(),
                    item->extras_price(), order.partsPrice());
    }
    {
        VexaOrder order;
        if (!loadBenchOrder(order, "BENCH-500", 500)) {
            std::fprintf(stderr, "could not load the 500-item order\n");
            return 1;
        }
        std::vector<double> ms, written;
        QElapsedTimer t;
        for (int i = 0; i < 7; ++i) {
            t.start();
            order.recalcPrices();
            ms.push_back(double(t.nsecsElapsed()) / 1e6);
            OrderWriter::instance().flush();
            written.push_back(double(t.nsecsElapsed()) / 1e6);
        }
        const Stats s = stats(ms);
        std::printf("reprice, 500-item order (7 runs): median %.1f ms, p10 %.1f, p90 %.1f, min %.1f, max %.1f"
                    "  [target: < 100 ms]\n", s.median, s.p10, s.p90, s.min, s.max);
        std::printf("  until the writer thread has the file on disk: median %.1f ms\n", stats(written).median);
        std::printf("  order parts %.2f, balance %.2f\n", order.partsPrice(), order.balance());
    }
    return 0;
}
