// Item processing of the current item and the order totals built on it.
#include "orders/vexaorder.h"

#include "orders/vexaorderitem.h"
#include "pricing/bandprice.h"

void VexaOrder::processOrderItem(bool force) { if (force) set_changed(true); }
bool VexaOrder::hasWarnings() const { return false; }
double VexaOrder::calcBalance() { return 0; }
double VexaOrder::sumPartsPrice() { return 0; }
void VexaOrder::recalcPrices() {}
void VexaOrder::fixPrices() {}
void VexaOrder::manualBlindPrice(const QString &manPrice) { Q_UNUSED(manPrice) }
void VexaOrder::perItemPrices(bool b) { set_perItemPrice(b); }
QString VexaOrder::evalStr(const QString &expr) const { return expr; }
QStringList VexaOrder::reviewData(int index) { Q_UNUSED(index) return {}; }
PriceSettings VexaOrder::priceSettings() const { return PriceSettings::fromSettings(exVat()); }
void VexaOrder::itemPrice() {}
void VexaOrder::rangeCheck() {}
void VexaOrder::requireSelection(const QString &group) { Q_UNUSED(group) }
void VexaOrder::checkPanels(const QString &pc) { Q_UNUSED(pc) }
QStringList VexaOrder::itemReview(VexaOrderItem *item) { Q_UNUSED(item) return {}; }
