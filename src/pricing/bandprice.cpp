#include "bandprice.h"

#include "app/appcontext.h"
#include "app/appsettings.h"
#include "pricing/catalogue.h"

#include <QDebug>
#include <QFileInfo>
#include <QSettings>
#include "pricing/inicache.h"

#include <cmath>

PriceSettings PriceSettings::fromSettings(bool exVat)
{
    PriceSettings s;
    s.exVat = exVat;
    s.vatRate = AppContext::setting(QStringLiteral("vr_d"), 20).toDouble();
    s.fabricAllowance = AppContext::setting(QStringLiteral("rw_d"), 300).toDouble();
    s.shortFabricWarnings = AppContext::setting(QStringLiteral("swarn_b"), false).toBool();
    if (appSettings *ini = AppContext::sharedSettings()) {
        s.tradeDiscount = ini->value(QStringLiteral("tradeDiscount_d"), 0).toDouble();
        s.markup = ini->value(QStringLiteral("markup_d"), 0).toDouble();
        // The store turns "true"/"false" into booleans, which read as 1 and 0.
        s.tradeVatRate = ini->value(QStringLiteral("vat_rate"), 20).toDouble();
    }
    return s;
}

namespace BandPrice {

namespace {

// A band edge from a header or first-column text, rounded half away from zero.
long bandEdge(const QString &text)
{
    return std::lround(toNumber(text));
}

// First index whose edge is at least value, or -1 when every edge is smaller.
int bandIndex(const QStringList &edges, int value)
{
    for (int i = 0; i < edges.size(); ++i) {
        if (bandEdge(edges.at(i)) >= value)
            return i;
    }
    return -1;
}

int limitValue(const QString &text)
{
    return int(std::lround(toNumber(text)));
}

} // namespace

double toNumber(const QString &text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok ? value : 0.0;
}

QString priceTableName(const QString &band, const QString &bandOverride)
{
    return bandOverride.isEmpty() ? band : bandOverride;
}

double adjust(double price, const QString &tablePath, QVariantMap &calcMap,
              const PriceSettings &settings, const QString &bandName, const QString &group)
{
    const QString iniPath = Catalogue::settingIniPath(tablePath);
    const IniValues ini = cachedIni(iniPath);
    if (!ini.exists) {
        qDebug().noquote() << iniPath << "Not found";
        return price;
    }
    const bool optionTable = tablePath.contains(QLatin1String("/Extras/Prices/")) && !group.isEmpty();
    const QString section = optionTable ? QStringLiteral("xg_") + group : QStringLiteral("all_bands");

    const bool trade = appSettings::convert(ini.value(section + QStringLiteral("/trade"), false)).toBool();
    calcMap.insert(QStringLiteral("trade"), trade);

    if (!trade) {
        calcMap.remove(QStringLiteral("tradePrice"));
        const double allChange = toNumber(ini.value(section + QStringLiteral("/change")).toString());
        calcMap.insert(QStringLiteral("allChange"), allChange);
        double bandChange = 0;
        if (!bandName.trimmed().isEmpty()) {
            bandChange = toNumber(ini.value(QStringLiteral("band_%1/change").arg(bandName)).toString());
            calcMap.insert(QStringLiteral("bandChange"), bandChange);
        } else {
            // Without a band no band change applied; don't leave an older one on record.
            calcMap.remove(QStringLiteral("bandChange"));
        }
        calcMap.insert(QStringLiteral("rrp"), price);
        return price * (1.0 + allChange / 100.0) * (1.0 + bandChange / 100.0);
    }

    const double disc = settings.tradeDiscount;
    const double markup = settings.markup;
    const double vatRate = settings.tradeVatRate;
    const bool applyVat = vatRate > 0;
    calcMap.insert(QStringLiteral("tradeDisc"), disc);
    calcMap.insert(QStringLiteral("markup"), markup);
    calcMap.insert(QStringLiteral("vatRate"), vatRate);
    calcMap.insert(QStringLiteral("applyVat"), applyVat);
    calcMap.insert(QStringLiteral("tradePrice"), price);
    return price * (1.0 - disc / 100.0) * (1.0 + markup / 100.0)
           * (applyVat ? 1.0 + vatRate / 100.0 : 1.0);
}

double lookup(const QString &tablePath, int width, int drop, QVariantMap &calcMap,
              QStringList &warnings, const PriceSettings &settings, const QString &bandName,
              double *outRate, const QString &group)
{
    const CsvTable table(tablePath);
    const QStringList widths = table.headers();
    const QStringList drops = table.column(0);
    const double factor = settings.vatFactor();

    if (widths.size() < 4 && drops.size() == 1) {
        const double rate = toNumber(table.cell(0, 1));
        const double minimum = toNumber(table.cell(0, 2));
        const qint64 area = qint64(width) * qint64(drop);
        double price = rate * double(area) / 1000000.0 / factor;
        price = adjust(price, tablePath, calcMap, settings, bandName, group);
        if (minimum > 0 && price < minimum)
            price = minimum;
        if (outRate)
            *outRate = rate;
        return price;
    }

    if (widths.isEmpty() || drops.isEmpty()) {
        qDebug() << "No price band widths or drops";
        return 0;
    }

    const int col = bandIndex(widths, width);
    if (col < 0) {
        if (widths.size() >= 2)
            warnings.append(QStringLiteral("Width is greater than maximum in price band (%1mm).")
                                .arg(widths.last()));
        return 0;
    }
    const int row = bandIndex(drops, drop);
    if (row < 0) {
        warnings.append(QStringLiteral("Drop is greater than maximum in price band (%1mm).")
                            .arg(drops.last()));
        return 0;
    }

    double price = toNumber(table.cell(row, col));
    price = adjust(price, tablePath, calcMap, settings, bandName, group);
    return price / factor;
}

double itemPrice(const QString &product, const QString &tableName, int width, int drop,
                 QVariantMap &calcMap, QStringList &warnings, const PriceSettings &settings)
{
    double price = 0;
    if (!tableName.trimmed().isEmpty() && width >= 1 && drop >= 1)
        price = lookup(Catalogue::priceTablePath(product, tableName), width, drop, calcMap, warnings,
                       settings, tableName);
    if (price == 0) {
        bool priceWarning = false;
        for (const QString &w : qAsConst(warnings)) {
            if (w.contains(QLatin1String(" price"), Qt::CaseInsensitive)) {
                priceWarning = true;
                break;
            }
        }
        if (!priceWarning)
            warnings.append(QStringLiteral("No price for this width and drop"));
    }
    return price;
}

std::optional<CsvTable> loadRangeTable(const QString &product, const QString &supplier)
{
    CsvTable table(Catalogue::rangeTablePath(product, supplier));
    if (table.isEmpty())
        return std::nullopt;
    return table;
}

RangeCheckResult checkRange(const RangeCheckInput &item, std::optional<CsvTable> &rangeTable,
                            QStringList &warnings, const PriceSettings &settings)
{
    RangeCheckResult result;
    const int W = item.width;
    const int D = item.drop;

    if (!item.product.toLower().contains(QLatin1String("roof "))) {
        QStringList front;
        if (W == 0)
            front.append(QStringLiteral("No width set"));
        if (D == 0)
            front.append(QStringLiteral("No height set"));
        warnings = front + warnings;
    }

    const QString addEntry = QStringLiteral("add...");
    if (item.supplier.trimmed().isEmpty() || item.supplier == addEntry || item.range.trimmed().isEmpty())
        return result;

    QStringList whereCols{QStringLiteral("range")};
    QStringList whereVals{item.range};
    if (!item.colour.trimmed().isEmpty() && item.colour != addEntry) {
        whereCols.append(QStringLiteral("colour"));
        whereVals.append(item.colour);
    }

    if (!rangeTable) {
        rangeTable = loadRangeTable(item.product, item.supplier);
        if (!rangeTable)
            return result;
    }

    static const QStringList selectCols{
        QStringLiteral("band"),      QStringLiteral("max width"),         QStringLiteral("min width"),
        QStringLiteral("max drop"),  QStringLiteral("pattern direction"), QStringLiteral("turnable"),
        QStringLiteral("type code"), QStringLiteral("fabric code"),       QStringLiteral("max area"),
        QStringLiteral("min drop")};
    QStringList values = rangeTable->selectWhere(selectCols, whereCols, whereVals);
    if (values.size() < selectCols.size())
        values = rangeTable->selectWhere(selectCols, {QStringLiteral("range")}, {item.range});
    if (values.isEmpty()) {
        qCritical().noquote() << QStringLiteral("selectWhere failed (%1)").arg(whereCols.join(QStringLiteral(", ")));
        return result;
    }

    result.matched = true;
    result.band = values.at(0);
    result.typeCode = values.at(6);
    result.fabricCode = values.at(7);
    result.setBand = !item.manualPrice;

    if (W < 1)
        return result;

    const int maxW = limitValue(values.at(1));
    const int minW = limitValue(values.at(2));
    const int maxD = limitValue(values.at(3));
    const int minD = limitValue(values.at(9));
    const QString pattern = values.at(4);
    const QString turnableText = values.at(5);

    const QString &name = item.product;
    const bool louvresOnly = name.contains(QLatin1String(" only"))
                             && (name.contains(QLatin1String("louvres")) || name.contains(QLatin1String("louvers"))
                                 || name.contains(QLatin1String("vanes")) || name.contains(QLatin1String("slats")));
    const bool fabric = name.contains(QLatin1String("roller"), Qt::CaseInsensitive) || !turnableText.isEmpty();

    if (!fabric) {
        if (!louvresOnly) {
            if (maxW > 0 && W > maxW)
                warnings.append(QStringLiteral("Width is greater than the range maximum of %1mm.").arg(maxW));
            if (minW > 0 && W < minW)
                warnings.append(QStringLiteral("Width is less than the range minimum of %1mm.").arg(minW));
            if (maxD > 0 && D > maxD)
                warnings.append(QStringLiteral("%1 exceeds maximum of %2mm.").arg(QStringLiteral("Height")).arg(maxD));
            if (minD > 0 && D < minD)
                warnings.append(QStringLiteral("Height is less than the minimum of %1mm.").arg(minD));
        }
    } else {
        const bool turnable = turnableText.startsWith(QLatin1Char('y'), Qt::CaseInsensitive);
        const bool horizontal = pattern.startsWith(QLatin1Char('h'), Qt::CaseInsensitive);
        const bool vertical = pattern.startsWith(QLatin1Char('v'), Qt::CaseInsensitive);
        const double A = settings.fabricAllowance;
        const QString allowance = QString::number(A);

        if ((maxW > 0 && W > maxW) || horizontal) {
            result.turned = true;
            // A roll width of 0 means no limit was given, so nothing to compare the drop with.
            if (maxW > 0 && maxW - A < D) {
                QString message;
                if (!settings.shortFabricWarnings)
                    message = horizontal
                                  ? QStringLiteral("Drop exceeds horizontal fabric width of %1mm less %2mm.").arg(maxW).arg(allowance)
                                  : QStringLiteral("Fabric must be turned but drop exceeds fabric width of %1mm less %2mm.").arg(maxW).arg(allowance);
                else
                    message = horizontal ? QStringLiteral("Drop exceeds maximum. Please select another fabric")
                                         : QStringLiteral("Drop exceeds maximim. Please select another fabric.");
                if (!horizontal && !turnable)
                    message += QStringLiteral(" \nAlso range is not marked turnable.");
                warnings.append(message);
            } else if (!horizontal) {
                const QString what = vertical ? QStringLiteral("Vertical fabric") : QStringLiteral("Fabric");
                if (!turnable)
                    warnings.append(what + QStringLiteral(" must be turned but range is not marked turnable. (Width exceeds fabric width of %1mm.)").arg(maxW));
                else
                    warnings.append(what + QStringLiteral(" will be turned as range indicates turnable and width exceeds fabric width of %1mm.").arg(maxW));
            }
            if (minW > 0 && W < minW)
                warnings.append(QStringLiteral("Width is less than the minimum of %1mm.").arg(minW));
            if (minD > 0 && D < minD)
                warnings.append(QStringLiteral("Drop is less than the minimum of %1mm.").arg(minD));
        } else {
            if (minW > 0 && W < minW)
                warnings.append(QStringLiteral("Width is less than the minimum of %1mm.").arg(minW));
            if (maxD > 0 && D > maxD - A)
                warnings.append(QStringLiteral("Drop exceeds maximum fabric drop of %1mm less %2mm.").arg(maxD).arg(allowance));
            if (minD > 0 && D < minD)
                warnings.append(QStringLiteral("Drop is less than the minimum of %1mm.").arg(minD));
        }
    }

    const double maxArea = toNumber(values.at(8));
    if (maxArea > 0 && double(qint64(W) * qint64(D)) > maxArea * 1000000.0)
        warnings.append(QStringLiteral("Area exceeds maximum of %1sqm").arg(QString::number(maxArea)));

    return result;
}

} // namespace BandPrice
