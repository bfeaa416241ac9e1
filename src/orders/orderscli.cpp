#include "orders/orderscli.h"

#include "app/cli.h"
#include "orders/vexaorder.h"

#include <QFileInfo>
#include <QJsonDocument>

int cliOrderShow(CliCall &call)
{
    if (call.args.size() != 1) {
        call.err << "usage: lattica-cli order show [--data DIR] FILE_OR_ID\n";
        return 2;
    }
    const QString what = call.args.first();
    VexaOrder order;
    // A path is read where it lies; an ID is looked up in the state folders
    // the way the application opens it, but never moved.
    bool ok;
    if (QFileInfo(what).isFile()) {
        ok = order.readOrderFile(what);
        if (ok && order.orderID().isEmpty())
            order.assignOrderID(QFileInfo(what).fileName());
    } else {
        ok = order.loadOrder(what, VexaOrder::UnKnown, false);
    }
    if (!ok) {
        call.err << "lattica-cli: cannot load order " << what << '\n';
        return 1;
    }
    call.out << QString::fromUtf8(QJsonDocument(order.toJson()).toJson(QJsonDocument::Compact)) << '\n';
    return 0;
}
