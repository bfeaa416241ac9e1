#include "pricing/pricereport.h"

#include "app/appcontext.h"
#include "app/cli.h"
#include "models/qqmlobjectlistmodel.h"
#include "orders/fileutils.h"
#include "orders/orderscli.h"
#include "orders/optiongroup.h"
#include "orders/vexaorder.h"
#include "orders/vexaorderitem.h"
#include "pricing/catalogue.h"
#include "pricing/margins.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

QJsonObject priceReport(const VexaOrder &order)
{
    QJsonArray items;
    for (const VexaOrderItem *item : *order.orderItemsModel()) {
        QJsonArray options;
        for (const OptionGroup *g : *item->optionsModel())
            options.append(QJsonObject{{QStringLiteral("group"), g->optionGroup()},
                                       {QStringLiteral("description"), g->description()},
                                       {QStringLiteral("price"), g->price()}});
        items.append(QJsonObject{
            {QStringLiteral("room"), item->room()},
            {QStringLiteral("product"), item->bl_product()},
            {QStringLiteral("band"), item->bl_band()},
            {QStringLiteral("item_price"), moneyText(item->item_price())},
            {QStringLiteral("extras_price"), moneyText(item->extras_price())},
            {QStringLiteral("warnings"), QJsonArray::fromStringList(item->m_warnings())},
            {QStringLiteral("panelsDesc"), item->panelsDesc()},
            {QStringLiteral("calc"), QJsonObject::fromVariantMap(item->calcMap())},
            {QStringLiteral("options"), options},
        });
    }
    return QJsonObject{
        {QStringLiteral("orderID"), order.orderID()},
        {QStringLiteral("partsPrice"), moneyText(order.partsPrice())},
        {QStringLiteral("balance"), moneyText(order.balance())},
        {QStringLiteral("itemsMargin"), moneyText(order.itemsMargin())},
        {QStringLiteral("optsMargin"), moneyText(order.optsMargin())},
        {QStringLiteral("items"), items},
    };
}

int cliPrice(CliCall &call)
{
    const bool save = cliTakeFlag(call.args, QStringLiteral("--save"));
    if (call.args.size() != 1) {
        call.err << "usage: lattica-cli price [--data DIR] [--save] FILE_OR_ID\n";
        return 2;
    }
    const QString path = cliOrderPath(call.args.first(), call.err);
    if (path.isEmpty())
        return 1;

    // the product list lives in the data folder's db/, which only the
    // application's start-up makes
    if (QDir(AppContext::dataFolder).exists())
        QDir().mkpath(AppContext::dataFolder + QStringLiteral("/db"));
    VexaOrder order;
    order.autoSave = false;   // the file changes only with --save
    if (!order.readOrderFile(path)) {
        call.err << "lattica-cli: cannot read order " << path << '\n';
        return 1;
    }
    if (order.orderID().isEmpty())
        order.set_orderID(QFileInfo(path).fileName());
    order.recalcPrices();

    if (save && !order.writeOrderFile(path)) {
        call.err << "lattica-cli: cannot write " << path << '\n';
        return 1;
    }
    call.out << QString::fromUtf8(QJsonDocument(priceReport(order)).toJson(QJsonDocument::Compact)) << '\n';
    return 0;
}

int cliCatalogueInstall(CliCall &call)
{
    if (call.args.size() != 1 || !QFileInfo(call.args.first()).isDir()) {
        call.err << "usage: lattica-cli catalogue install [--data DIR] FOLDER\n";
        return 2;
    }
    QStringList skipped;
    const int copied = Catalogue::installFrom(call.args.first(), &skipped);
    if (copied < 0) {
        call.err << "lattica-cli: the catalogue could not be installed in " << Catalogue::root() << '\n';
        return 1;
    }
    call.out << copied << " catalogue files installed in " << Catalogue::root() << '\n';
    for (const QString &name : qAsConst(skipped))
        call.err << "lattica-cli: skipped " << name << " (a link or special file; only regular files inside the folder are installed)\n";
    return skipped.isEmpty() ? 0 : 1;
}
