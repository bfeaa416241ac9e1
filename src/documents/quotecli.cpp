#include "documents/quotecli.h"

#include "app/cli.h"
#include "documents/quotepdf.h"
#include "documents/shutterdrawing.h"
#include "orders/orderscli.h"
#include "orders/vexaorder.h"
#include "orders/vexaorderitem.h"

int cliOrderDrawing(CliCall &call)
{
    if (call.args.size() != 2) {
        call.err << "usage: lattica-cli order drawing [--data DIR] FILE_OR_ID ITEM\n";
        return 2;
    }
    VexaOrder order;
    if (!cliLoadOrder(order, call.args.first(), call.err))
        return 1;
    bool ok = false;
    const int number = call.args.at(1).toInt(&ok);
    const QList<VexaOrderItem *> items = reviewOrderItems(order);
    if (!ok || number < 1 || number > items.size()) {
        call.err << "lattica-cli: the order has no item " << call.args.at(1) << " (it has " << items.size()
                 << ")\n";
        return 1;
    }
    call.out << shutterDrawingSvg(*items.at(number - 1));
    return 0;
}

int cliOrderPdf(CliCall &call)
{
    if (call.args.size() != 2) {
        call.err << "usage: lattica-cli order pdf [--data DIR] FILE_OR_ID OUTFILE\n";
        return 2;
    }
    VexaOrder order;
    if (!cliLoadOrder(order, call.args.first(), call.err))
        return 1;
    QString error;
    if (!writeQuotePdf(order, call.args.at(1), &error)) {
        call.err << "lattica-cli: " << error << '\n';
        return 1;
    }
    return 0;
}
