#pragma once

#include <QObject>
#include <QVariantMap>

// Arithmetic of the price calculators: a price worked out from a trade
// (cost) price or from a retail price, with a customer discount given as a
// percentage or as an amount.
namespace PriceCalc {

// Accepted ranges of the calculator fields.
constexpr double maxPrice = 1e7;
constexpr double maxTradeDiscount = 100;
constexpr double maxMarkup = 900;
constexpr double maxVat = 100;
constexpr double maxCustomerPercent = 100;

struct TradeResult {
    double net = 0;       // trade price less the trade discount
    double marked = 0;    // with the markup
    double withVat = 0;   // with VAT
    double finalPrice = 0; // less the customer discount
    double margin = 0;
    bool valid = false;   // every input in range and the result usable
};

TradeResult trade(double tradePrice, double tradeDiscount, double markup, double vat, double customerPercent);

// The customer discount in the other form. A zero price gives 0 rather than
// a division by zero.
double amountFromPercent(double price, double percent);
double percentFromAmount(double price, double amount);

// Retail price less a discount amount; false when the inputs are out of
// range or the result is negative or not a number.
bool retailFinal(double retailPrice, double discountAmount, double *finalPrice);

// The retail price a calculator map stands for: "rrp" with the range-wide
// and band changes applied, two decimals; 0 without "rrp".
double mapRetailPrice(const QVariantMap &map);

// True when the trade fields repeat the figures the map already holds.
bool sameTradeFigures(const QVariantMap &map, double tradePrice, double tradeDiscount, double markup,
                      double customerPercent, double vat);

double round2(double value);

// Review figures. total = parts price + additions.
// balance = total less the discount percent, less the deposit, 2 decimals.
double reviewBalance(double total, double discountPercent, double deposit);
// The discount a typed balance stands for; the current discount is kept
// when the total is 0 or the result is 0 or not a number.
double reviewDiscount(double total, double balance, double deposit, double currentDiscount);

} // namespace PriceCalc

// The calculator arithmetic for the screens.
class PriceCalcTool : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    // Keys "net", "marked", "withVat", "finalPrice", "margin", "valid".
    Q_INVOKABLE QVariantMap trade(double tradePrice, double tradeDiscount, double markup, double vat,
                                  double customerPercent) const;
    Q_INVOKABLE double amountFromPercent(double price, double percent) const;
    Q_INVOKABLE double percentFromAmount(double price, double amount) const;
    // Keys "finalPrice", "valid".
    Q_INVOKABLE QVariantMap retail(double retailPrice, double discountAmount) const;
    Q_INVOKABLE double mapRetailPrice(const QVariantMap &map) const { return PriceCalc::mapRetailPrice(map); }
    Q_INVOKABLE bool sameTradeFigures(const QVariantMap &map, double tradePrice, double tradeDiscount, double markup,
                                      double customerPercent, double vat) const
    {
        return PriceCalc::sameTradeFigures(map, tradePrice, tradeDiscount, markup, customerPercent, vat);
    }
    Q_INVOKABLE double maxMarkup() const { return PriceCalc::maxMarkup; }
    Q_INVOKABLE double reviewBalance(double total, double discountPercent, double deposit) const
    {
        return PriceCalc::reviewBalance(total, discountPercent, deposit);
    }
    Q_INVOKABLE double reviewDiscount(double total, double balance, double deposit, double currentDiscount) const
    {
        return PriceCalc::reviewDiscount(total, balance, deposit, currentDiscount);
    }
};
