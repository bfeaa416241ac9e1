// Option groups of the current item: built from the product's extras tables,
// priced by their pricing rules and summed into the item.
#include "orders/vexaorder.h"

#include "app/appcontext.h"
#include "models/qqmlobjectlistmodel.h"
#include "orders/optiongroup.h"
#include "orders/vexaorderitem.h"
#include "pricing/bandprice.h"
#include "pricing/catalogue.h"
#include "pricing/csvtable.h"
#include "pricing/inicache.h"
#include "pricing/margins.h"

#include <QDebug>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QSharedPointer>

#include <algorithm>

namespace {

bool flagSet(const CsvTable &info, const QString &group, const QString &column)
{
    return info.lookup(group, column).toLower().startsWith(QLatin1Char('y'));
}

QStringList settingList(const QString &key)
{
    const QVariant value = AppContext::setting(key, QString());
    if (value.userType() == QMetaType::QStringList)
        return value.toStringList();
    return value.toString().split(QLatin1Char(','));
}

// What the option groups of one product's extras folder offer, as far as it
// comes from the catalogue tables alone.
struct GroupTable
{
    // from "_info"
    bool multiple = false;
    bool required = false;
    QString notes;
    // from the group's own table, once read
    bool read = false;
    bool empty = true;
    QStringList choices;       // distinct "extra" values
    QStringList blankChoices;  // the same after an empty entry
    QStringList codes;         // distinct "code" values
};

struct ExtrasTables
{
    QString folder;
    QStringList names;
    QSet<QString> nameSet;
    CsvTable info;
    QHash<QString, GroupTable> groups;

    // The group's entry (made with the folder's listing), its own table read
    // at the first need.
    const GroupTable &group(const QString &name) { return groups[name]; }
    void read(const QString &name)
    {
        GroupTable &g = groups[name];
        if (g.read)
            return;
        g.read = true;
        const CsvTable table(Catalogue::groupTablePath(folder, name));
        g.empty = table.isEmpty();
        if (!g.empty) {
            g.choices = table.distinctColumn(QStringLiteral("extra"));
            g.codes = table.distinctColumn(QStringLiteral("code"));
            g.blankChoices = QStringList{QString()} + g.choices;
        }
    }
};

ExtrasTables readExtrasTables(const QString &folder)
{
    ExtrasTables t;
    t.folder = folder;
    t.names = Catalogue::csvBaseNames(folder);
    t.nameSet = QSet<QString>(t.names.cbegin(), t.names.cend());
    const QString infoName = QStringLiteral("_info");
    if (t.nameSet.contains(infoName))
        t.info = CsvTable(Catalogue::groupTablePath(folder, infoName));
    for (const QString &name : qAsConst(t.names)) {
        GroupTable &g = t.groups[name];
        g.multiple = flagSet(t.info, name, QStringLiteral("multiple"));
        g.required = flagSet(t.info, name, QStringLiteral("required"));
        g.notes = t.info.lookup(name, QStringLiteral("notes"));
    }
    return t;
}

// Within one catalogue read pass (loading an order builds the groups of
// every item) a folder's tables are worked out once.
QSharedPointer<ExtrasTables> extrasTables(const QString &folder)
{
    thread_local quint64 pass = 0;
    thread_local QHash<QString, QSharedPointer<ExtrasTables>> kept;
    const quint64 now = CatalogueReadPass::current();
    if (now == 0)
        return QSharedPointer<ExtrasTables>::create(readExtrasTables(folder));
    if (now != pass) {
        kept.clear();
        pass = now;
    }
    QSharedPointer<ExtrasTables> &tables = kept[folder];
    if (!tables)
        tables = QSharedPointer<ExtrasTables>::create(readExtrasTables(folder));
    return tables;
}

OptionGroup *controlGroup(const VexaOrderItem *item)
{
    for (OptionGroup *group : *item->optionsModel()) {
        const QString name = group->optionGroup().toLower();
        if (name == QLatin1String("control") || name == QLatin1String("control type"))
            return group;
    }
    return nullptr;
}

} // namespace

void VexaOrder::optionSelected(const QString &optionGroup, const QString &optionName, int index)
{
    if (!m_currentItem)
        return;
    QQmlObjectListModel<OptionGroup> *model = m_currentItem->optionsModel();
    OptionGroup *group = nullptr;
    if (index == -1) {
        for (OptionGroup *candidate : *model) {
            if (candidate->optionGroup().compare(optionGroup, Qt::CaseInsensitive) == 0) {
                group = candidate;
                break;
            }
        }
    } else {
        group = model->get(index);
    }
    if (!group) {
        qCritical() << "optionSelected invalid index" << index;
        return;
    }
    if (group->description() != optionName) {
        qDebug() << "optionSelected" << group->description() << optionName;
        group->set_description(optionName);
    }

    group->set_optsCalcMap(QVariantMap());
    group->set_manualPrice(false);

    if (group->optionGroup() != optionGroup)
        return;
    if (group->description().isEmpty()) {
        group->set_price(QString());
        set_changed(true);
        processOrderItem(false);
        return;
    }
    if (group->multiple() == 0) {
        group->set_multiple(1);
        set_changed(true);
    }
    const double price = optionPrice(group->optionGroup(), group->description()) * group->multiple();
    if (group->set_price(priceText(price)))
        set_changed(true);
    processOrderItem(true);
}

void VexaOrder::optionPriceEdited(const QString &optionGroup)
{
    Q_UNUSED(optionGroup)
    set_changed(true);
    processOrderItem(false);
}

void VexaOrder::addOption(const QString &optionGroup, const QString &optionDesc, bool isMulti)
{
    if (!m_currentItem)
        return;
    set_changed(true);
    OptionGroup *group = m_currentItem->getOptionGroup(optionGroup);
    if (!group) {
        group = new OptionGroup();
        group->set_optionGroup(optionGroup);
        m_currentItem->optionsModel()->append(group);
    }
    group->set_isAdded(true);
    group->set_description(optionDesc);
    group->set_descList({QString(), optionDesc});
    group->set_isMulti(isMulti);
    saveOrder();
}

QObject *VexaOrder::getOptionsModel() const { return m_currentItem ? m_currentItem->optionsModel() : nullptr; }

QStringList VexaOrder::optionControls(int index) const
{
    const VexaOrderItem *item = m_orderItemsModel->get(index);
    if (!item)
        return {};
    if (const OptionGroup *group = controlGroup(item))
        return group->descList();
    // Items whose groups were never built have no list of their own yet.
    return item->m_controls().isEmpty() ? standardControls() : item->m_controls();
}

QString VexaOrder::optionSelectedControl(int index) const
{
    const VexaOrderItem *item = m_orderItemsModel->get(index);
    if (!item)
        return {};
    const OptionGroup *group = controlGroup(item);
    return group ? group->description() : QString();
}

double VexaOrder::optionPrice(const QString &group, const QString &description)
{
    if (!m_currentItem || group.isEmpty() || description.isEmpty())
        return 0;
    const CsvTable table(Catalogue::extrasTablePath(m_currentItem->bl_product(), group));
    if (table.isEmpty())
        return 0;
    const QStringList values = table.selectWhere(
        {QStringLiteral("pricing a"), QStringLiteral("cost a"), QStringLiteral("pricing b"), QStringLiteral("cost b")},
        {QStringLiteral("extra")}, {description});
    if (values.size() != 4)
        return 0;
    const double a = priceComponent(values.at(0), values.at(1), group);
    const double b = priceComponent(values.at(2), values.at(3), group);
    if (b > 0) {
        // A second component is a retail add-on: the option as a whole is not
        // a trade price any more.
        if (OptionGroup *g = m_currentItem->getOptionGroup(group)) {
            QVariantMap calc = g->optsCalcMap();
            calc.insert(QStringLiteral("trade"), false);
            g->set_optsCalcMap(calc);
        }
    }
    return a + b;
}

double VexaOrder::priceComponent(const QString &ruleText, const QString &cost, const QString &groupName)
{
    const QString rule = ruleText.toLower();
    if (!m_currentItem || rule.isEmpty() || cost.isEmpty())
        return 0;
    VexaOrderItem *item = m_currentItem;
    OptionGroup *group = item->getOptionGroup(groupName);
    if (!group) {
        qDebug() << "_calcExtrasPair Failed to find extrasGroup" << groupName;
        return 0;
    }

    const QString product = item->bl_product();
    const int width = item->bl_width();
    const int drop = item->bl_drop();
    const PriceSettings settings = priceSettings();
    const QString bandName = BandPrice::priceTableName(item->bl_band(), item->bl_bandOverride());
    QString table = Catalogue::optionPriceTablePath(product, cost);
    QVariantMap calc = group->optsCalcMap();
    QStringList warnings = item->m_warnings();

    if (rule == QLatin1String("price table")) {
        if (!QFileInfo::exists(table))
            table = Catalogue::optionBandPriceTablePath(product, cost, item->bl_band());
        const double price = BandPrice::lookup(table, width, drop, calc, warnings, settings, bandName,
                                               nullptr, groupName);
        group->set_optsCalcMap(calc);
        item->set_m_warnings(warnings);
        return price;
    }

    bool ok = false;
    const double c = cost.trimmed().toDouble(&ok);
    if (!ok) {
        qWarning().noquote() << QStringLiteral("Extras: has invalid price: ") + cost;
        return 0;
    }

    // Each rule below prices from VAT-inclusive catalogue figures and is
    // divided by the VAT factor once at the end; rules that start from a
    // figure already shown without VAT skip that division.
    bool divideByVat = true;
    double price = 0;
    const double w = width;
    const double d = drop;
    if (rule.contains(QLatin1String("percent"))) {
        price = c * item->item_price() / 100.0;
        const QVariantMap itemCalc = item->calcMap();
        calc = itemCalc;
        // the copied record must describe this option's share, not the whole
        // item, or the review shows the item's price against the option
        const bool trade = calc.value(QStringLiteral("trade")).toBool();
        const QString base = trade ? QStringLiteral("tradePrice") : QStringLiteral("rrp");
        if (trade || itemCalc.contains(base))
            calc.insert(base, itemCalc.value(base).toDouble() * c / 100.0);
        // The item price is already without VAT when the order shows it so.
        divideByVat = false;
    } else if (rule == QLatin1String("fixed")) {
        price = BandPrice::adjust(c, table, calc, settings, bandName, groupName);
        if (!AppContext::setting(QStringLiteral("incExtras_b"), true).toBool())
            calc.insert(QStringLiteral("custDiscPcnt"), 100);
    } else if (rule == QLatin1String("height") || rule == QLatin1String("drop")) {
        price = BandPrice::adjust(d * c / 1000.0, table, calc, settings, bandName, groupName);
    } else if (rule == QLatin1String("width")) {
        price = BandPrice::adjust(w * c / 1000.0, table, calc, settings, bandName, groupName);
    } else if (rule == QLatin1String("perimeter")) {
        price = 2.0 * (w + d) * c / 1000.0;
        if (groupName == QLatin1String("RearCovers"))
            price = rearCoverPrice(price, c);
        price = BandPrice::adjust(price, table, calc, settings, bandName, groupName);
    } else if (rule == QLatin1String("area")) {
        price = BandPrice::adjust(double(qint64(width) * qint64(drop)) * c / 1000000.0, table, calc, settings,
                                  bandName, groupName);
    } else if (rule.startsWith(QLatin1String("inc width "))) {
        // The item priced as if it were larger by the cost on every side, less
        // its own price. Both figures are taken with VAT so that the one
        // division below leaves the difference without VAT.
        PriceSettings withVat = settings;
        withVat.exVat = false;
        double rate = 0;
        const double own = BandPrice::lookup(Catalogue::priceTableCsvPath(product, item->bl_band()), width, drop,
                                             calc, warnings, withVat, bandName, &rate);
        item->set_m_warnings(warnings);
        // Only a per-square-metre table gives a rate; a grid has nothing to
        // enlarge, so the option adds nothing rather than a negative amount.
        if (rate > 0)
            price = (d + 2.0 * c) * (w + 2.0 * c) * rate / 1000000.0 - own;
    }

    if (divideByVat)
        price /= settings.vatFactor();
    group->set_optsCalcMap(calc);
    return price;
}

double VexaOrder::rearCoverPrice(double perimeterPrice, double cost) const
{
    const VexaOrderItem *item = m_currentItem;
    if (!item)
        return perimeterPrice;
    const OptionGroup *buildOut = item->getOptionGroup(QStringLiteral("Build Out"));
    if (!buildOut)
        return perimeterPrice;
    if (buildOut->description().contains(QLatin1String("All")))
        return 0;
    const QVariantMap data = item->dataMap();
    if (!data.contains(QStringLiteral("CustomBuildout")))
        return perimeterPrice;

    // Rear covers go on the sides without a build-out, e.g. "L:12mm R: T:25mm B:".
    static const QRegularExpression sidesLR(QStringLiteral("[LR]:\\d"));
    static const QRegularExpression sidesTB(QStringLiteral("[TB]:\\d"));
    const QString custom = data.value(QStringLiteral("CustomBuildout")).toString();
    int nLR = 0;
    for (auto it = sidesLR.globalMatch(custom); it.hasNext(); it.next())
        ++nLR;
    int nTB = 0;
    for (auto it = sidesTB.globalMatch(custom); it.hasNext(); it.next())
        ++nTB;
    const int coveredLR = std::max(0, 2 - nLR);
    const int coveredTB = std::max(0, 2 - nTB);
    return (coveredLR * double(item->bl_drop()) + coveredTB * double(item->bl_width())) * cost / 1000.0;
}

void VexaOrder::sumExtras()
{
    VexaOrderItem *item = m_currentItem;
    if (!item)
        return;
    double sum = 0;
    const QList<OptionGroup *> groups = item->optionsModel()->toList();
    for (OptionGroup *group : groups) {
        double price;
        if (!group->manualPrice()) {
            price = optionPrice(group->optionGroup(), group->description());
            group->set_price(priceText(price));
        } else {
            price = BandPrice::toNumber(group->price());
        }
        if (group->isMulti())
            price *= group->multiple();
        sum += price;
    }
    item->set_extras_price(sum);
    set_blindpriceex(priceText((item->extras_price() + item->item_price()) * item->bl_multiple()));
}

void VexaOrder::buildOptionGroups()
{
    VexaOrderItem *item = m_currentItem;
    if (!item)
        return;
    QQmlObjectListModel<OptionGroup> *model = item->optionsModel();
    if (!model) {
        qCritical() << "(_currentOrderItem->m_optionsModel == nullptr";
        return;
    }

    const QSharedPointer<ExtrasTables> kept = extrasTables(Catalogue::extrasFolder(item->bl_product()));
    ExtrasTables &tables = *kept;
    const QString infoName = QStringLiteral("_info");

    for (const QString &name : qAsConst(tables.names)) {
        if (name == infoName)
            continue;
        const GroupTable &table = tables.group(name);
        const bool multiple = table.multiple;
        const bool required = table.required;

        OptionGroup *group = item->getOptionGroup(name);
        if (!group) {
            group = new OptionGroup();
            group->set_optionGroup(name);
            if (required)
                model->prepend(group);
            else
                model->append(group);
        }
        if (!group->descList().isEmpty())
            continue;

        tables.read(name);
        if (table.empty)
            continue;
        QStringList choices = table.choices;
        // Codes stay parallel to the choices: a description kept from an
        // older catalogue goes last in both lists.
        QStringList codes = table.codes;
        const bool older = !group->description().isEmpty() && !choices.contains(group->description());
        if (older) {
            choices.append(group->description());
            codes.append(group->extraCode);
        }
        group->codes = codes;
        group->set_isMulti(multiple);
        group->set_notes(table.notes);

        // the first code marked "+..." is the default (fields hold no line breaks)
        int preset = -1;
        for (int i = 0; i < codes.size() && preset < 0; ++i) {
            if (codes.at(i).startsWith(QLatin1Char('+')))
                preset = i;
        }
        if (preset >= 0) {
            group->set_isReqd(false);
            if (group->description().isEmpty() && preset < choices.size())
                group->set_description(choices.at(preset));
        } else {
            // the shared list when nothing was added to it
            if (older)
                choices.prepend(QString());
            else
                choices = table.blankChoices;
            group->set_isReqd(required);
        }
        if (choices != group->descList())
            group->set_descList(choices);
    }

    // Required groups first, each part in name order.
    QList<OptionGroup *> ordered = model->toList();
    std::stable_sort(ordered.begin(), ordered.end(), [](const OptionGroup *a, const OptionGroup *b) {
        if (a->isReqd() != b->isReqd())
            return a->isReqd();
        return a->optionGroup() < b->optionGroup();
    });
    for (int i = 0; i < ordered.size(); ++i) {
        const int at = model->toList().indexOf(ordered.at(i), i);
        if (at != i)
            model->move(at, i);
    }

    for (OptionGroup *group : *model) {
        if (!tables.nameSet.contains(group->optionGroup()))
            group->set_descList({QString(), group->description()});
    }

    const QStringList controls = standardControls();
    item->set_m_controls(controls);
    m_controlsCBModel.setComboList(controls);
    m_controlsCBModel.set_currentIndex(controls.indexOf(item->bl_controls()));
}

void VexaOrder::rebuildOptionGroups(VexaOrderItem *item)
{
    if (!item)
        return;
    VexaOrderItem *previous = m_currentItem;
    m_currentItem = item;
    buildOptionGroups();
    m_currentItem = previous;
}

QStringList VexaOrder::standardControls() const
{
    return QStringList{QStringLiteral(" ")} + settingList(QStringLiteral("cntlr_sl"))
           + settingList(QStringLiteral("cntlv_sl"));
}
