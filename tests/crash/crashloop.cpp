// Saves orders for ever through the program's own paths, for scripts/crashtest
// to kill at random moments:
//   crashloop DATA init   writes the orders A (in progress), B (queued for
//                         sending) and C (in progress, for `price --save`)
//   crashloop DATA        edits an item of A (its save goes to the background
//                         writer) and moves B between in progress and queued,
//                         writing a new generation into each order's notes.
// Every generation is announced on standard output before it is written
// ("A start N") and once it is known to be on disk ("A done N").
#include "app/appcontext.h"
#include "models/qqmlobjectlistmodel.h"
#include "orders/orderwriter.h"
#include "orders/vexaorder.h"
#include "orders/vexaorderitem.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <cstdio>

namespace {

QByteArray orderJson(const QString &id, int items)
{
    QJsonArray list;
    for (int i = 0; i < items; ++i) {
        const QJsonArray options{QJsonObject{{"group", "Frame Style"}, {"description", "Classic"}},
                                 QJsonObject{{"group", "Louvre Size"}, {"description", "76mm"}}};
        list.append(QJsonObject{{"room", QStringLiteral("Room %1").arg(i / 3 + 1)},
                                {"width", 600 + 97 * i},
                                {"drop", 900 + 31 * i},
                                {"product", "Lattica"},
                                {"supplier", "Harbour Shutters"},
                                {"range", "Classic MDF"},
                                {"color", "Pure White"},
                                {"item_price", "0.00"},
                                {"extras_price", "0.00"},
                                {"data", QJsonObject{{"PanelConfig", "LR"}}},
                                {"options", options}});
    }
    return QJsonDocument(QJsonObject{{"orderID", id}, {"custAddr", "Crash Customer\n1 High Street"},
                                     {"orderNotes", "gen 0"}, {"date", "2026-12-01T10:00:00.000"}, {"items", list}})
        .toJson(QJsonDocument::Compact);
}

int generation(const VexaOrder &order)
{
    static const QRegularExpression gen(QStringLiteral("^gen (\\d+)$"));
    return gen.match(order.orderNotes()).captured(1).toInt();
}

void say(const char *what, char order, int gen)
{
    std::printf("%c %s %d\n", order, what, gen);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Vexa"));
    QCoreApplication::setApplicationName(QStringLiteral("Lta"));
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    if (argc < 2)
        return 2;
    AppContext::openSettings();
    AppContext::assignFolders(QString::fromLocal8Bit(argv[1]));
    AppContext::openSettings();

    if (argc > 2 && qstrcmp(argv[2], "init") == 0) {
        for (const auto &[id, state] : {std::pair<const char *, int>{"A", VexaOrder::InProgress},
                                        {"B", VexaOrder::ForPosting}, {"C", VexaOrder::InProgress}}) {
            if (!OrderWriter::commit(AppContext::stateFolder(state) + QLatin1String(id), orderJson(id, 12)))
                return 1;
        }
        return 0;
    }

    VexaOrder a;
    if (!a.loadOrder(QStringLiteral("A"), VexaOrder::InProgress, false))
        return 1;
    a.setBlind(QStringLiteral("Room 2"), 1);
    VexaOrderItem *item = a.getVexaOrderItem();
    if (!item)
        return 1;
    int genA = generation(a);
    VexaOrder b;
    bool bQueued = QFile::exists(AppContext::stateFolder(VexaOrder::ForPosting) + QLatin1String("B"));
    if (!b.loadOrder(QStringLiteral("B"), bQueued ? VexaOrder::ForPosting : VexaOrder::InProgress, false))
        return 1;
    int genB = generation(b);

    for (int round = 1;; ++round) {
        // completing B queues it for sending; opening it again brings it back
        say("start", 'B', ++genB);
        if (bQueued && !b.loadOrder(QStringLiteral("B"), VexaOrder::ForPosting, true))
            return 1;
        b.set_orderNotes(QStringLiteral("gen %1").arg(genB));
        b.set_changed(true);
        if (!b.saveOrder(bQueued ? 0 : 1))
            return 1;
        bQueued = !bQueued;
        say("done", 'B', genB);
        // a surveyor typing a width: each edit is processed and saved in the background
        for (int k = 0; k < 2; ++k) {
            say("start", 'A', ++genA);
            a.set_orderNotes(QStringLiteral("gen %1").arg(genA));
            item->set_bl_width(600 + (genA * 37) % 1200);
            a.set_changed(true);
            a.processOrderItem(true);
        }
        OrderWriter::instance().flush();
        say("done", 'A', genA);

        Q_UNUSED(round)
    }
}
