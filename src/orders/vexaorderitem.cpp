#include "orders/vexaorderitem.h"

#include "app/appcontext.h"
#include "models/qqmlobjectlistmodel.h"
#include "orders/optiongroup.h"

VexaOrderItem::VexaOrderItem(QObject *parent)
    : QObject(parent)
    , m_options(new QQmlObjectListModel<OptionGroup>(this))
{
    m_bl_inches = AppContext::setting(QStringLiteral("jimp_b"), false).toBool();
    m_bl_inchesJob = m_bl_inches;
    m_bl_multiple = 1;
    resetSelection(3);
}

OptionGroup *VexaOrderItem::getOptionGroup(const QString &groupName) const
{
    for (int i = 0; i < m_options->count(); ++i) {
        OptionGroup *group = m_options->get(i);
        if (group && group->optionGroup() == groupName)
            return group;
    }
    return nullptr;
}

QStringList VexaOrderItem::getDescList(const QString &optionGroup) const
{
    const OptionGroup *group = getOptionGroup(optionGroup);
    return group ? group->descList() : QStringList();
}

void VexaOrderItem::resetSelection(int level)
{
    if (level >= 3) {
        set_bl_product(QString());
        m_options->clear();
    }
    if (level >= 2)
        set_bl_supplier(QString());
    if (level >= 1)
        set_bl_range(QString());
    set_bl_color(QString());
    set_item_price(0);
    set_extras_price(0);
    set_bl_bandOverride(QString());
    set_bl_band(QString());
    set_bl_warning(QString());
    set_manualPrice(false);
    btypeCode.clear();
    fabricCode.clear();
    set_calcMap(QVariantMap());
    // dataMap holds what the surveyor typed for this opening (panel layout,
    // post positions, build-outs); a new product, range or colour keeps it.
}

void VexaOrderItem::copyChoicesFrom(const VexaOrderItem *source)
{
    if (!source || source == this)
        return;
    set_bl_product(source->bl_product());
    set_bl_supplier(source->bl_supplier());
    set_bl_range(source->bl_range());
    set_bl_color(source->bl_color());
    set_bl_bandOverride(source->bl_bandOverride());
    set_bl_band(source->bl_band());
    set_bl_inches(source->bl_inches());
    set_bl_inchesJob(source->bl_inchesJob());
    turn = source->turn;
    btypeCode = source->btypeCode;
    set_dataMap(source->dataMap());
    // The copies replace the target's own groups: kept side by side, a group
    // of the same name would be priced twice.
    const QList<OptionGroup *> own = m_options->toList();
    m_options->clear();
    for (OptionGroup *group : own) {
        if (group->parent() == this)
            group->deleteLater();
    }
    const QQmlObjectListModel<OptionGroup> *from = source->optionsModel();
    for (int i = 0; i < from->count(); ++i)
        m_options->append(from->get(i)->clone(this));
}
