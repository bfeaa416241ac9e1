#include "orders/orderscli.h"

#include "app/cli.h"
#include "models/qqmlobjectlistmodel.h"
#include "orders/fileutils.h"
#include "orders/saveditem.h"
#include "orders/savedorders.h"
#include "orders/vexaorder.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

bool cliLoadOrder(VexaOrder &order, const QString &what, QTextStream &err)
{
    // Looking only: item processing must not save the order.
    order.autoSave = false;
    // A path is read where it lies; an ID is looked up in the state folders
    // the way the application opens it, but never moved.
    bool ok;
    if (QFileInfo(what).isFile()) {
        ok = order.readOrderFile(what);
        if (ok && order.orderID().isEmpty())
            order.set_orderID(QFileInfo(what).fileName());
    } else {
        ok = order.loadOrder(what, VexaOrder::UnKnown, false);
    }
    if (!ok)
        err << "lattica-cli: cannot load order " << what << '\n';
    return ok;
}

QString cliOrderPath(const QString &what, QTextStream &err)
{
    if (QFileInfo(what).isFile())
        return what;
    for (int s = VexaOrder::Received; s <= VexaOrder::ForTransfer; ++s) {
        const QString candidate = orderFilePath(s, what);
        if (!candidate.isEmpty() && QFileInfo(candidate).isFile())
            return candidate;
    }
    err << "lattica-cli: no order file or order ID " << what << '\n';
    return QString();
}

int cliOrderShow(CliCall &call)
{
    if (call.args.size() != 1) {
        call.err << "usage: lattica-cli order show [--data DIR] FILE_OR_ID\n";
        return 2;
    }
    VexaOrder order;
    if (!cliLoadOrder(order, call.args.first(), call.err))
        return 1;
    call.out << QString::fromUtf8(QJsonDocument(order.toJson()).toJson(QJsonDocument::Compact)) << '\n';
    return 0;
}

int cliOrdersList(CliCall &call)
{
    static const QStringList names = {QStringLiteral("received"), QStringLiteral("inprogress"),
                                      QStringLiteral("topost"), QStringLiteral("sent"), QStringLiteral("backup")};
    QList<SavedOrders::List> lists;
    const int at = call.args.indexOf(QStringLiteral("--state"));
    if (at >= 0) {
        const int which = names.indexOf(call.args.value(at + 1));
        if (which < 0) {
            call.err << "lattica-cli: unknown state '" << call.args.value(at + 1) << "' (one of "
                     << names.join(QLatin1Char('|')) << ")\n";
            return 2;
        }
        lists << SavedOrders::List(which);
        call.args.erase(call.args.begin() + at, call.args.begin() + qMin(at + 2, int(call.args.size())));
    } else {
        for (int i = 0; i < SavedOrders::ListCount; ++i)
            lists << SavedOrders::List(i);
    }
    if (!call.args.isEmpty()) {
        call.err << "usage: lattica-cli orders list [--data DIR] [--state " << names.join(QLatin1Char('|')) << "]\n";
        return 2;
    }
    // Listing only: the sent and backup folders are not purged here.
    SavedOrders saved;
    for (SavedOrders::List list : lists) {
        saved.reload(list);
        const SavdOrderSortFilterProxyModel *proxy = saved.proxy(list);
        for (int row = 0; row < proxy->rowCount(); ++row) {
            const QModelIndex source = proxy->mapToSource(proxy->index(row, 0));
            const SavedItem *item = saved.model(list)->get(source.row());
            const QJsonObject obj{{QStringLiteral("orderID"), item->orderID()},
                                  {QStringLiteral("orderState"), item->orderState()},
                                  {QStringLiteral("custAddr"), item->custAddr()},
                                  {QStringLiteral("sortDate_s"), item->sortDate_s()},
                                  {QStringLiteral("appTime"), item->appTime()}};
            call.out << QString::fromUtf8(QJsonDocument(obj).toJson(QJsonDocument::Compact)) << '\n';
        }
    }
    return 0;
}
