// Item processing of the current item: validation, panel layout, range
// limits, band price and options, then the order totals and the save.
#include "orders/vexaorder.h"

#include "app/appcontext.h"
#include "models/qqmlobjectlistmodel.h"
#include "orders/optiongroup.h"
#include "orders/vexaorderitem.h"
#include "pricing/bandprice.h"
#include "pricing/inicache.h"
#include "pricing/margins.h"
#include "pricing/panels.h"

#include <QDebug>

namespace {

QString selectionWarning(const QString &group)
{
    return QStringLiteral("%1: You must make a selection").arg(group);
}

QString groupDescription(const VexaOrderItem *item, const QString &group)
{
    const OptionGroup *g = item->getOptionGroup(group);
    return g ? g->description() : QString();
}

// Products for handles rather than shutters carry this in their name.
bool isHandleProduct(const QString &product)
{
    return product.contains(QLatin1String("erfect"));
}

} // namespace

PriceSettings VexaOrder::priceSettings() const
{
    // while items are processed the settings are read once per pass
    return m_passSettings ? *m_passSettings : PriceSettings::fromSettings(exVat());
}

VexaOrder::PricingPass::PricingPass(VexaOrder *order)
    : m_order(order)
    , m_outer(order->m_passSettings)
    , m_settings(m_outer ? *m_outer : order->priceSettings())
{
    order->m_passSettings = &m_settings;
}

VexaOrder::PricingPass::~PricingPass()
{
    m_order->m_passSettings = m_outer;
}

void VexaOrder::requireSelection(const QString &group)
{
    const OptionGroup *g = m_currentItem->getOptionGroup(group);
    if (g && g->description().isEmpty()) {
        QStringList w = m_currentItem->m_warnings();
        w << selectionWarning(group);
        m_currentItem->set_m_warnings(w);
    }
}

void VexaOrder::checkPanels(const QString &pc)
{
    VexaOrderItem *item = m_currentItem;
    QVector<PanelEntry> panels;
    if (item->getOptionGroup(QStringLiteral("Frame Style"))) {
        const int frame = frameDeduction(groupDescription(item, QStringLiteral("Frame Style")));
        panels = panelWidths(pc, item->bl_width(), frame, item->dataMap());
    }
    const PanelCheckResult check = panelCheck(pc, panels, groupDescription(item, QStringLiteral("Louvre Size")),
                                              groupDescription(item, QStringLiteral("Rail Size")), item->bl_drop());
    item->set_m_warnings(item->m_warnings() + check.warnings);
    item->set_panelsDesc(check.description);
}

void VexaOrder::rangeCheck()
{
    VexaOrderItem *item = m_currentItem;
    BandPrice::RangeCheckInput input;
    input.product = item->bl_product();
    input.supplier = item->bl_supplier();
    input.range = item->bl_range();
    input.colour = item->bl_color();
    input.width = item->bl_width();
    input.drop = item->bl_drop();
    input.manualPrice = item->manualPrice();

    QStringList warnings = item->m_warnings();
    const BandPrice::RangeCheckResult r = BandPrice::checkRange(input, m_rangeTable, warnings, priceSettings());
    item->set_m_warnings(warnings);
    item->turn = r.turned;
    if (r.matched) {
        item->btypeCode = r.typeCode;
        item->fabricCode = r.fabricCode;
        if (r.setBand)
            item->set_bl_band(r.band);
    }
}

void VexaOrder::itemPrice()
{
    VexaOrderItem *item = m_currentItem;
    if (!item->manualPrice()) {
        item->set_item_price(0);
        QVariantMap calc = item->calcMap();
        QStringList warnings = item->m_warnings();
        const double price = BandPrice::itemPrice(
            item->bl_product(), BandPrice::priceTableName(item->bl_band(), item->bl_bandOverride()),
            item->bl_width(), item->bl_drop(), calc, warnings, priceSettings());
        item->set_calcMap(calc);
        item->set_m_warnings(warnings);
        item->set_item_price(price);
        item->set_manualPrice(false);
    }
    set_blindprice(priceText(item->item_price()));
}

void VexaOrder::processOrderItem(bool force)
{
    VexaOrderItem *item = m_currentItem;
    if (!item) {
        qCritical() << "processOrderItem null _currentOrderItem";
        return;
    }
    if (force)
        set_changed(true);
    else if (!changed())
        return;
    const PricingPass pass(this);

    item->set_m_warnings(QStringList());
    if (!item->manualPrice())
        item->set_item_price(0);
    item->set_bl_band(QString());

    const QVariantMap data = item->dataMap();
    auto *options = item->optionsModel();
    QStringList warnings;
    for (const OptionGroup *g : *options)
        if (g->isReqd() && g->description().isEmpty())
            warnings << selectionWarning(g->optionGroup());

    if (!isHandleProduct(item->bl_product())) {
        const QString pc = data.value(QStringLiteral("PanelConfig")).toString().toUpper();
        warnings << panelConfigWarnings(pc, data);
        item->set_m_warnings(warnings);
        const QString style = groupDescription(item, QStringLiteral("Shutter Style"));
        if (item->m_warnings().isEmpty() && AppContext::setting(QStringLiteral("panelWidthChk_b"), true).toBool())
            checkPanels(pc);
        item->set_m_warnings(item->m_warnings() + heightWarnings(style, item->bl_drop(), data));

        if (OptionGroup *buildOut = item->getOptionGroup(QStringLiteral("Build Out"))) {
            if (buildOut->description() == QLatin1String("Custom")) {
                const int sides = data.value(QStringLiteral("CustomBuildout")).toString().count(QLatin1String("mm"));
                buildOut->set_multiple(sides);
                if (sides == 0)
                    item->set_m_warnings(item->m_warnings() << QStringLiteral("No values for Custom Buildouts"));
            } else {
                buildOut->set_multiple(1);
            }
        }
    } else {
        item->set_m_warnings(warnings);
        const QString handle = groupDescription(item, QStringLiteral("Handle Type"));
        if (handle.startsWith(QLatin1String("Window")) || handle.contains(QLatin1String("Door")))
            requireSelection(QStringLiteral("Handle Location"));
        if (handle.startsWith(QLatin1String("Window"), Qt::CaseInsensitive)) {
            requireSelection(QStringLiteral("Handle Colour"));
            const QString rebate = data.value(QStringLiteral("Handle_Rebate_Position")).toString();
            if (BandPrice::toNumber(rebate) == 0 && rebate != QLatin1String("Centre"))
                item->set_m_warnings(item->m_warnings() << QStringLiteral("No value for handle rebate position"));
            requireSelection(QStringLiteral("Handle Packer"));
        }
        if (handle.contains(QLatin1String("door"), Qt::CaseInsensitive)) {
            requireSelection(QStringLiteral("Door Handle Colour"));
            if (BandPrice::toNumber(data.value(QStringLiteral("HRailPosition")).toString()) == 0)
                item->set_m_warnings(item->m_warnings() << QStringLiteral("No value for handle H-Rail position"));
        }
    }

    rangeCheck();
    itemPrice();
    sumExtras();

    QStringList unique = item->m_warnings();
    unique.removeDuplicates();
    item->set_m_warnings(unique);

    if (!m_repricing) {
        calcBalance();
        if (autoSave)
            saveInBackground();
    }
    set_numWarns(unique.size());
    set_warning(unique.join(QLatin1Char('\n')));
}

bool VexaOrder::hasWarnings() const
{
    for (const VexaOrderItem *item : *m_orderItemsModel)
        if (!item->m_warnings().isEmpty())
            return true;
    return false;
}
