#pragma once

#include <QString>
#include <QVariantMap>

// How a unit price turns into the customer price and the trade user's margin,
// from the record of how it was made (an item's calcMap or an option's
// optsCalcMap).
struct UnitPricing
{
    double price = 0;      // customer price per unit
    double margin = 0;     // margin per unit (0 in retail)
    double custDisc = 0;   // "custDiscPcnt": 100 means the customer discount does not apply
    double keep = 1;       // 1 - custDisc / 100
};

UnitPricing unitPricing(const QVariantMap &calc);
// unitPricing(calc).margin alone: the order totals need only the margins.
double unitMargin(const QVariantMap &calc);

// Final price: fitting plus parts, less the discount percent, less the deposit.
double orderBalance(double fittingCost, double partsPrice, double discountPercent, double deposit);

// Money as shown everywhere: 2 decimals.
QString moneyText(double value);
// The same, but empty below 0.001 (no price).
QString priceText(double value);
