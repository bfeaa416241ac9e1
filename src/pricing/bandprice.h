#pragma once

#include "pricing/csvtable.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

// The settings and order state that pricing depends on, gathered once so the
// price functions can be called (and tested) with explicit inputs.
struct PriceSettings
{
    bool exVat = false;            // the order shows prices without VAT
    double vatRate = 20;           // "vr_d": VAT rate for ex-VAT figures, percent
    double tradeDiscount = 0;      // "tradeDiscount_d" (lta.ini), percent
    double markup = 0;             // "markup_d" (lta.ini), percent
    double tradeVatRate = 20;      // "vat_rate" (lta.ini), percent; 0 = no VAT on trade prices
    double fabricAllowance = 300;  // "rw_d": fabric turning allowance, mm
    bool shortFabricWarnings = false; // "swarn_b"

    // Reads the user settings and lta.ini; exVat comes from the order.
    static PriceSettings fromSettings(bool exVat);

    // What a VAT-inclusive catalogue price is divided by for display.
    double vatFactor() const { return exVat ? 1.0 + vatRate / 100.0 : 1.0; }
};

namespace BandPrice {

// A decimal read from a table or settings text; anything else counts as 0.
double toNumber(const QString &text);

// Price for width x drop (mm) from a price band table. Grid tables round
// width and drop up to the next band; a single-row table with fewer than
// four columns is a rate per square metre with an optional minimum charge.
// Overflow warnings go to warnings. The result is adjusted by the table's
// setting.ini (recorded in calcMap) and divided by the VAT factor.
// bandName is the item's price table name (for the per-band retail change);
// group is set when an option group's table is priced; outRate, when given,
// receives the unadjusted per-square-metre rate.
double lookup(const QString &tablePath, int width, int drop, QVariantMap &calcMap,
              QStringList &warnings, const PriceSettings &settings, const QString &bandName,
              double *outRate = nullptr, const QString &group = QString());

// Applies the setting.ini next to tablePath: retail changes (all bands and
// one band) or, for trade tables, discount, markup and VAT.
double adjust(double price, const QString &tablePath, QVariantMap &calcMap,
              const PriceSettings &settings, const QString &bandName,
              const QString &group = QString());

// The table an item is priced from: the override when set, else the band.
QString priceTableName(const QString &band, const QString &bandOverride);


// Base price of an item that is not manually priced: the band lookup in the
// product's Prices folder, or 0 (with a warning unless one about the price
// is already there) when nothing is found.
double itemPrice(const QString &product, const QString &tableName, int width, int drop,
                 QVariantMap &calcMap, QStringList &warnings, const PriceSettings &settings);

// The range table of one supplier of a product, or none when it has no rows.
std::optional<CsvTable> loadRangeTable(const QString &product, const QString &supplier);

struct RangeCheckInput
{
    QString product;
    QString supplier;
    QString range;
    QString colour;
    int width = 0;
    int drop = 0;
    bool manualPrice = false;
};

struct RangeCheckResult
{
    bool matched = false;   // a range row was found
    bool setBand = false;   // band should replace the item's band
    QString band;
    QString typeCode;
    QString fabricCode;
    bool turned = false;    // the fabric must be turned
};

// Checks an item against its range row: picks the band and the codes and
// adds every limit warning. rangeTable is the range table the order keeps
// loaded; when none is loaded it is loaded here (and kept when it has rows).
RangeCheckResult checkRange(const RangeCheckInput &item, std::optional<CsvTable> &rangeTable,
                            QStringList &warnings, const PriceSettings &settings);

} // namespace BandPrice
