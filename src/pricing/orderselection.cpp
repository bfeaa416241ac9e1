// Product selection of the current item: the cascade product -> supplier ->
// range -> colour over the catalogue folder and the product database.
#include "orders/vexaorder.h"

#include "app/appcontext.h"
#include "app/screentools.h"
#include "orders/vexaorderitem.h"
#include "pricing/bandprice.h"
#include "pricing/catalogue.h"
#include "pricing/productdb.h"

#include <QDebug>

namespace {

// A "_sl" setting: typed by the user as comma-separated text, but a list
// written by the settings screen comes back as a list.
QStringList settingList(const QString &key)
{
    const QVariant value = AppContext::setting(key, QString());
    if (value.userType() == QMetaType::QStringList)
        return value.toStringList();
    return value.toString().split(QLatin1Char(','));
}

// Every supplier, range and colour list starts with an empty entry, so that
// "nothing chosen" can be shown.
QStringList completed(QStringList list)
{
    if (list.isEmpty() || !list.first().isEmpty())
        list.prepend(QString());
    return list;
}

// The first entry a user could really have meant: not empty, not the blank
// " " and not "add..."; entry 0 when there is none.
QString firstReal(const ComboBoxModel &model)
{
    const QStringList list = model.comboList();
    for (const QString &entry : list) {
        if (!entry.isEmpty() && entry != QLatin1String(" ") && entry != ComboBoxModel::addEntry())
            return entry;
    }
    return model.element(0);
}

void appendOwnChoice(QStringList &list, const QString &choice)
{
    if (!choice.trimmed().isEmpty() && !list.contains(choice))
        list.append(choice);
}

} // namespace

void VexaOrder::productSelected(int index)
{
    VexaOrderItem *item = m_currentItem;
    if (!item || index < 0 || index >= m_productCBModel.count())
        return;
    item->resetSelection(3);
    const QString name = m_productCBModel.element(index);
    if (name == ComboBoxModel::addEntry())
        return;

    setMeasureTypes(name);
    item->set_bl_product(name);
    fillSuppliers(name);
    item->set_bl_supplier(firstReal(m_supplierCBModel));
    cascadeFromSupplier();

    if (!name.trimmed().isEmpty())
        set_changed(true);
    processOrderItem(true);
}

void VexaOrder::cascadeFromSupplier()
{
    fillRanges(m_currentItem->bl_supplier());
    m_currentItem->set_bl_range(firstReal(m_rangeCBModel));
    cascadeFromRange();
}

void VexaOrder::cascadeFromRange()
{
    fillColours(m_currentItem->bl_range());
    m_currentItem->set_bl_color(firstReal(m_colourCBModel));
}

void VexaOrder::supplierSelected(int index)
{
    VexaOrderItem *item = m_currentItem;
    if (!item || index < 0 || index >= m_supplierCBModel.count())
        return;
    const QString name = m_supplierCBModel.element(index);
    if (name == ComboBoxModel::addEntry() || name == item->bl_supplier())
        return;
    item->resetSelection(2);
    item->set_bl_supplier(name);
    cascadeFromSupplier();
    set_changed(true);
    processOrderItem(false);
}

void VexaOrder::rangeSelected(int index)
{
    VexaOrderItem *item = m_currentItem;
    if (!item || index < 0 || index >= m_rangeCBModel.count())
        return;
    QString name = m_rangeCBModel.element(index);
    if (name == ComboBoxModel::addEntry())
        name.clear();
    item->resetSelection(1);
    item->set_bl_range(name);
    cascadeFromRange();
    set_changed(true);
    processOrderItem(false);
}

void VexaOrder::colourSelected(int index)
{
    VexaOrderItem *item = m_currentItem;
    if (!item)
        return;
    if (index == -1)
        index = 0;
    if (index < 0 || index >= m_colourCBModel.count()) {
        qCritical() << "m_colourCBModel.count() < index" << m_colourCBModel.count() << index;
        return;
    }
    const QString name = m_colourCBModel.element(index);
    if (name == ComboBoxModel::addEntry() || name == item->bl_color())
        return;
    item->resetSelection(0);
    item->set_bl_color(name);
    set_changed(true);
    processOrderItem(false);
}

void VexaOrder::addProductDbItem(const QString &itemName, const QString &itemType)
{
    if (!m_productDb)
        return;
    // A blank name would look like a placeholder row, and "add..." is the
    // list's own entry: neither is a name anyone chose.
    if (itemName.trimmed().isEmpty() || itemName == ComboBoxModel::addEntry())
        return;
    QString product, supplier, range;
    if (m_currentItem) {
        product = m_currentItem->bl_product();
        supplier = m_currentItem->bl_supplier();
        range = m_currentItem->bl_range();
    } else if (itemType != QLatin1String("product")) {
        // Without an item there are no parent names to add under.
        return;
    }
    m_productDb->addItem(itemType, itemName, product, supplier, range);
}

QString VexaOrder::supplierNotes() const
{
    if (!m_currentItem)
        return QString();
    return Catalogue::productSettings(m_currentItem->bl_product())
        .supplierNotes(m_currentItem->bl_supplier());
}

void VexaOrder::setMeasureTypes(const QString &product)
{
    const QString standard = settingList(QStringLiteral("msr_sl")).join(QLatin1Char(','));
    m_measureTypeCBModel.setComboList(
        Catalogue::measureTypes(Catalogue::productSettings(product), standard));
}

void VexaOrder::fillSuppliers(const QString &product)
{
    if (product.trimmed().isEmpty()) {
        m_supplierCBModel.setComboList(completed({}));
        return;
    }
    QStringList suppliers = Catalogue::csvBaseNames(Catalogue::rangesFolder(product));
    if (m_currentItem)
        appendOwnChoice(suppliers, m_currentItem->bl_supplier());
    if (m_productDb) {
        m_productCBModel.addElement(product);
        m_productDb->suppliers(product, suppliers);
    }

    buildOptionGroups();

    QStringList bands = Catalogue::csvBaseNames(Catalogue::pricesFolder(product));
    bands.prepend(QString());
    m_bandCBModel.setComboList(bands);

    m_supplierCBModel.setComboList(completed(suppliers));
}

void VexaOrder::fillRanges(const QString &supplierName)
{
    const QString supplier = supplierName.trimmed().isEmpty() ? firstReal(m_supplierCBModel) : supplierName;
    const QString product = m_currentItem ? m_currentItem->bl_product() : QString();

    m_rangeTable.reset();
    QStringList ranges;
    if (!product.trimmed().isEmpty() && !supplier.trimmed().isEmpty()) {
        m_rangeTable = BandPrice::loadRangeTable(product, supplier);
        if (m_rangeTable)
            ranges = m_rangeTable->distinctColumn(QStringLiteral("range"));
    }
    if (m_currentItem)
        appendOwnChoice(ranges, m_currentItem->bl_range());
    if (m_productDb)
        m_productDb->ranges(product, supplier, ranges);
    m_rangeCBModel.setComboList(completed(ranges));
}

void VexaOrder::fillColours(const QString &range)
{
    QStringList colours;
    if (m_rangeTable)
        colours = m_rangeTable->distinctWhere(QStringLiteral("range"), range, QStringLiteral("colour"));
    if (m_currentItem) {
        appendOwnChoice(colours, m_currentItem->bl_color());
        if (m_productDb)
            m_productDb->colours(m_currentItem->bl_product(), m_currentItem->bl_supplier(), range, colours);
    }
    m_colourCBModel.setComboList(completed(colours));
}

void VexaOrder::refillChoiceLists()
{
    // The kept range table belongs to the order that was just cleared.
    m_rangeTable.reset();

    QStringList products{QStringLiteral("Lattica")};
    if (m_productDb) {
        // A catalogue that arrived by update or install brings its products
        // into the list; "Lattica" is always there already.
        QStringList catalogueProducts = Catalogue::productNames();
        catalogueProducts.removeAll(products.first());
        m_productDb->addCatalogueProducts(catalogueProducts);
        const QStringList names = m_productDb->products();
        for (const QString &name : names) {
            if (!products.contains(name))
                products.append(name);
        }
    }
    m_productCBModel.setComboList(products);
    m_controlsCBModel.setComboList(standardControls());
    m_fixtypeCBModel.setComboList(settingList(QStringLiteral("fix_sl")));
    m_measureTypeCBModel.setComboList(settingList(QStringLiteral("msr_sl")));
    // the settings sync may have brought the business's new room list
    ScreenTools::fillRoomNames(&m_roomNamesCBModel);
}

void VexaOrder::refreshItemChoices(VexaOrderItem *item)
{
    if (!item)
        return;
    m_currentItem = item;
    setMeasureTypes(item->bl_product());
    fillSuppliers(item->bl_product());
    fillRanges(item->bl_supplier());
    fillColours(item->bl_range());
    set_changed(false);
    processOrderItem(true);
}
