// Order totals, margins, typed prices and the per-item review rows.
#include "orders/vexaorder.h"

#include "models/qqmlobjectlistmodel.h"
#include "orders/optiongroup.h"
#include "orders/vexaorderitem.h"
#include "pricing/margins.h"
#include "pricing/sumeval.h"

#include <cmath>

namespace {

QString reviewFigures(double q, const UnitPricing &u)
{
    return QStringList{moneyText(q * u.price), QString::number(u.custDisc), moneyText(q * u.margin),
                       moneyText(q * u.keep * u.price)}
        .join(QLatin1Char('|'));
}

} // namespace

QStringList VexaOrder::itemReview(VexaOrderItem *item)
{
    QStringList rows;
    const double q = item->bl_multiple() > 0 ? item->bl_multiple() : 1;
    const bool handles = item->bl_product().contains(QLatin1String("erfect"));

    const UnitPricing unit = unitPricing(item->calcMap());
    item->itemMargin = unit.margin;
    rows << (handles ? QStringLiteral("<b>Vazirar Ada Vevadid</b>") : QStringLiteral("<b>Lattica Shutter</b>"));
    rows << QStringLiteral("Width: %1mm Height: %2mm|").arg(item->bl_width()).arg(item->bl_drop())
                + reviewFigures(q, unit);

    const QString controls = item->bl_controls();
    if (!controls.isEmpty() && !controls.contains(QLatin1String("select in"), Qt::CaseInsensitive))
        rows << QStringLiteral("Control: %1").arg(controls);

    double optsMargin = 0;
    for (OptionGroup *g : *item->optionsModel()) {
        const int mult = qMax(1, g->multiple());
        UnitPricing u = unitPricing(g->optsCalcMap());
        if (u.price == 0) {
            // a typed option price has no record of how it was made
            const double typed = g->price().toDouble();
            if (typed > 0.001)
                u.price = typed;
        }
        g->margin = u.margin;
        optsMargin += u.margin * mult;
        // variant lists (names ending in "-") only feed the screen's choices
        if (g->description().isEmpty() || g->optionGroup().endsWith(QLatin1Char('-')))
            continue;
        // a count group ("TPosts") carries its own name as the choice
        QString text = g->description() == g->optionGroup()
                           ? g->optionGroup()
                           : g->optionGroup() + QStringLiteral(": ")
                                 + (g->description() == QLatin1String("true") ? QStringLiteral("Yes") : g->description());
        if (g->isMulti())
            text += QStringLiteral(": x %1").arg(g->multiple());
        rows << text + QLatin1Char('|') + reviewFigures(q * mult, u);
    }
    item->optsMargin = optsMargin;

    const QVariantMap data = item->dataMap();
    for (auto it = data.constBegin(); it != data.constEnd(); ++it) {
        if (it.key().startsWith(QLatin1String("Handle")))
            continue;
        rows << QStringLiteral("%1: %2|||").arg(QString(it.key()).replace(QLatin1Char('_'), QLatin1Char(' ')),
                                                it.value().toString());
    }
    if (!handles && !data.contains(QStringLiteral("Flatpack")))
        rows << QStringLiteral("Pre-assembled: true|||");
    return rows;
}

void VexaOrder::refreshMargins(VexaOrderItem *item)
{
    // the same figures itemReview leaves behind, without making its rows:
    // the totals run after every edit, over every item of the order
    item->itemMargin = unitMargin(item->calcMap());
    double optsMargin = 0;
    for (OptionGroup *g : *item->optionsModel()) {
        g->margin = unitMargin(g->optsCalcMap());
        optsMargin += g->margin * qMax(1, g->multiple());
    }
    item->optsMargin = optsMargin;
}

double VexaOrder::sumPartsPrice()
{
    double parts = 0, itemsMargin = 0, optionsMargin = 0;
    for (VexaOrderItem *item : *m_orderItemsModel) {
        refreshMargins(item);
        if (item->bl_exclude())
            continue;
        const double q = item->bl_multiple();
        parts += (item->item_price() + item->extras_price()) * q;
        itemsMargin += item->itemMargin * q;
        optionsMargin += item->optsMargin * q;
    }
    set_partsPrice(parts);
    set_itemsMargin(itemsMargin);
    set_optsMargin(optionsMargin);
    return partsPrice();
}

double VexaOrder::calcBalance()
{
    sumPartsPrice();
    set_balance(orderBalance(fittingCost(), partsPrice(), discount(), deposit()));
    return balance();
}

void VexaOrder::recalcPrices()
{
    VexaOrderItem *previous = m_currentItem;
    m_repricing = true;
    const PricingPass pass(this);
    for (VexaOrderItem *item : *m_orderItemsModel) {
        m_currentItem = item;
        dropRangeTable();
        processOrderItem(true);
    }
    m_repricing = false;
    m_currentItem = previous;
    calcBalance();
    // as after an item edit, the file is made and written by the writer thread
    if (autoSave)
        saveInBackground();
}

void VexaOrder::fixPrices()
{
    for (VexaOrderItem *item : *m_orderItemsModel)
        item->set_manualPrice(true);
}

void VexaOrder::manualBlindPrice(const QString &manPrice)
{
    VexaOrderItem *item = m_currentItem;
    if (!item)
        return;
    if (manPrice.isEmpty()) {
        item->set_manualPrice(false);
    } else {
        double value = item->item_price();
        if (manPrice != QString::number(item->item_price(), 'g', 2) && !evaluateSum(manPrice, &value))
            return;
        value = std::floor((value + 0.005) * 100) / 100;
        item->set_manualPrice(true);
        item->set_bl_bandOverride(QString());
        item->set_item_price(value);
    }
    set_changed(true);
    processOrderItem(false);
}

void VexaOrder::perItemPrices(bool b)
{
    set_perItemPrice(b);
}

QString VexaOrder::evalStr(const QString &expr) const
{
    return evalSumText(expr);
}

QStringList VexaOrder::reviewData(int index)
{
    VexaOrderItem *item = m_orderItemsModel->get(index);
    return item ? itemReview(item) : QStringList();
}
