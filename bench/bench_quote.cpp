// The customer's quote: one shutter's drawing (made at every keystroke of
// the survey, so the target is a median under 2 ms, also as the data URL
// the screen shows) and the quote PDF of a priced 40-item order (under 1 s).
// Prints median and spread.
#include "app/appcontext.h"
#include "documents/quotepdf.h"
#include "documents/quotetools.h"
#include "documents/shutterdrawing.h"
#include "models/qqmlobjectlistmodel.h"
#include "orders/vexaorder.h"
#include "orders/vexaorderitem.h"
#include "pricing/catalogue.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "benchorders.h"

namespace {
using bench::Stats;
using bench::stats;



// n shutters over rooms and sizes, with posts, rails and tilt-bar splits
// and the options a surveyor chooses.
QByteArray makeOrder(const QString &id, int n)
{
    static const char *configs[] = {"LR", "LLRR", "LRTLR", "L", "LLTRR", "LCR"};
    QJsonArray items;
    for (int i = 0; i < n; ++i) {
        const int width = 600 + (i * 37) % 1700;
        const int drop = 900 + (i * 53) % 1800;
        const QString pc = QString::fromLatin1(configs[i % 6]);
        QJsonObject data{{"PanelConfig", pc}};
        if (pc.contains('T'))
            data.insert("TPost1", QString::number(width / 2));
        if (pc.contains('C'))
            data.insert("CPanel1", QString::number(width / 3));
        if (drop > 2000)
            data.insert("DividerRail1", QString::number(drop / 2));
        if (i % 3 == 0)
            data.insert("TiltBarSplit1", QString::number(drop / 3));
        const QJsonArray options{
            QJsonObject{{"group", "Frame Style"}, {"description", i % 2 ? "Classic" : "Deco Z Frame"}},
            QJsonObject{{"group", "Hinge Colour"}, {"description", "Colour Matched"}},
            QJsonObject{{"group", "Louvre Size"}, {"description", i % 3 ? "76mm" : "89mm"}},
            QJsonObject{{"group", "Shutter Style"}, {"description", "Full Height"}},
            QJsonObject{{"group", "Build Out"}, {"description", "All sides 25mm"}},
        };
        items.append(QJsonObject{{"room", QStringLiteral("Room %1").arg(i / 4 + 1)},
                                 {"width", width},
                                 {"drop", drop},
                                 {"product", "Lattica"},
                                 {"supplier", "Harbour Shutters"},
                                 {"range", "Classic MDF"},
                                 {"color", "Pure White"},
                                 {"data", data},
                                 {"options", options}});
    }
    const QJsonObject order{{"orderID", id}, {"manOrderID", id}, {"custName", "Bench Customer"},
                            {"custAdd", "1 High Street\nTown"}, {"custEmail", "bench@example.com"},
                            {"fitting", 120}, {"discount", 7.5}, {"deposit", 500}, {"items", items}};
    return QJsonDocument(order).toJson(QJsonDocument::Compact);
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    bench::useThrowAwayHome(home);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Vexa");
    QCoreApplication::setApplicationName("Lta");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});

    AppContext::setupDataFolders();
    Catalogue::installFrom(QStringLiteral(LTA_SOURCE_DIR "/data/catalogue"));
    const QString id = QStringLiteral("BENCH-Q40");
    QFile f(AppContext::ordersFolder + id);
    if (!f.open(QIODevice::WriteOnly) || f.write(makeOrder(id, 40)) < 0)
        return 1;
    f.close();
    VexaOrder order;
    if (!order.loadOrder(id, VexaOrder::InProgress, false) || order.orderItemsModel()->count() != 40) {
        std::fprintf(stderr, "could not load the 40-item order\n");
        return 1;
    }
    order.autoSave = false;
    order.recalcPrices();

    {
        // the survey's item: two sections, a divider rail, a tilt-bar split
        VexaOrderItem *item = order.orderItemsModel()->get(4);
        QVariantMap data = item->dataMap();
        data.insert("DividerRail1", item->bl_drop() / 2);
        data.insert("TiltBarSplit1", item->bl_drop() / 4);
        item->set_dataMap(data);
        QuoteTools tools(&order, nullptr);
        std::vector<double> svg, url;
        QElapsedTimer t;
        qsizetype bytes = 0;
        for (int i = 0; i < 1000; ++i) {
            item->set_bl_width(900 + (i * 7) % 1200);   // a surveyor typing sizes
            t.start();
            bytes = shutterDrawingSvg(*item).size();
            svg.push_back(double(t.nsecsElapsed()) / 1e6);
            t.start();
            tools.drawingUrl(item);
            url.push_back(double(t.nsecsElapsed()) / 1e6);
        }
        const Stats s = stats(svg), u = stats(url);
        std::printf("drawing of one item as SVG (1000 runs): median %.3f ms, p10 %.3f, p90 %.3f, min %.3f, max %.3f"
                    "  [target: median < 2 ms]\n", s.median, s.p10, s.p90, s.min, s.max);
        std::printf("  as the screen's data URL: median %.3f ms; %lld characters of SVG\n", u.median,
                    static_cast<long long>(bytes));
    }
    {
        const QString pdf = home.path() + "/quote.pdf";
        std::vector<double> ms;
        QElapsedTimer t;
        for (int i = 0; i < 7; ++i) {
            t.start();
            if (!writeQuotePdf(order, pdf)) {
                std::fprintf(stderr, "the quote could not be written\n");
                return 1;
            }
            ms.push_back(double(t.nsecsElapsed()) / 1e6);
        }
        const Stats s = stats(ms);
        std::printf("quote PDF, 40-item order (7 runs): median %.0f ms, p10 %.0f, p90 %.0f, min %.0f, max %.0f"
                    "  [target: < 1000 ms]\n", s.median, s.p10, s.p90, s.min, s.max);
        std::printf("  %lld bytes, parts %.2f, balance %.2f\n", static_cast<long long>(QFileInfo(pdf).size()),
                    order.partsPrice(), order.balance());
    }
    return 0;
}
