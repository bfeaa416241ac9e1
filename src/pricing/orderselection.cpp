// Product selection of the current item: the cascade product -> supplier ->
// range -> colour over the catalogue folder and the product database.
#include "orders/vexaorder.h"

#include "orders/vexaorderitem.h"
#include "pricing/productdb.h"

void VexaOrder::productSelected(int index) { Q_UNUSED(index) }
void VexaOrder::supplierSelected(int index) { Q_UNUSED(index) }
void VexaOrder::rangeSelected(int index) { Q_UNUSED(index) }
void VexaOrder::colourSelected(int index) { Q_UNUSED(index) }
void VexaOrder::addProductDbItem(const QString &itemName, const QString &itemType) { Q_UNUSED(itemName) Q_UNUSED(itemType) }
QString VexaOrder::supplierNotes() const { return QString(); }
void VexaOrder::setMeasureTypes(const QString &product) { Q_UNUSED(product) }
void VexaOrder::fillSuppliers(const QString &product) { Q_UNUSED(product) }
void VexaOrder::fillRanges(const QString &supplier) { Q_UNUSED(supplier) }
void VexaOrder::fillColours(const QString &range) { Q_UNUSED(range) }
void VexaOrder::refillChoiceLists() {}
void VexaOrder::refreshItemChoices(VexaOrderItem *item) { Q_UNUSED(item) }
