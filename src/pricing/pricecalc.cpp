#include "pricecalc.h"

#include <cmath>

namespace PriceCalc {

namespace {
bool within(double v, double low, double high)
{
    return std::isfinite(v) && v >= low && v <= high;
}
} // namespace

double round2(double value)
{
    return std::round(value * 100) / 100;
}

TradeResult trade(double tradePrice, double tradeDiscount, double markup, double vat, double customerPercent)
{
    TradeResult r;
    if (!within(tradePrice, 0, maxPrice) || !within(tradeDiscount, 0, maxTradeDiscount)
        || !within(markup, 0, maxMarkup) || !within(vat, 0, maxVat)
        || !within(customerPercent, -maxCustomerPercent, maxCustomerPercent))
        return r;
    r.net = tradePrice * (1 - tradeDiscount / 100);
    r.marked = r.net * (1 + markup / 100);
    r.withVat = r.marked * (1 + vat / 100);
    r.finalPrice = r.withVat * (1 - customerPercent / 100);
    r.margin = r.marked * (1 - customerPercent / 100) - r.net;
    r.valid = std::isfinite(r.finalPrice) && r.finalPrice >= 0;
    return r;
}

double amountFromPercent(double price, double percent)
{
    if (!std::isfinite(price) || !std::isfinite(percent))
        return 0;
    return price * percent / 100;
}

double percentFromAmount(double price, double amount)
{
    if (!std::isfinite(price) || !std::isfinite(amount) || price == 0)
        return 0;
    return std::round(amount * 100 / price * 1e5) / 1e5;
}

bool retailFinal(double retailPrice, double discountAmount, double *finalPrice)
{
    if (!within(retailPrice, 0, maxPrice) || !within(discountAmount, -maxPrice, maxPrice))
        return false;
    const double f = retailPrice - discountAmount;
    if (!std::isfinite(f) || f < 0)
        return false;
    *finalPrice = f;
    return true;
}

double mapRetailPrice(const QVariantMap &map)
{
    if (!map.contains(QStringLiteral("rrp")))
        return 0;
    return round2(map.value(QStringLiteral("rrp")).toDouble()
                  * (1 + map.value(QStringLiteral("allChange")).toDouble() / 100)
                  * (1 + map.value(QStringLiteral("bandChange")).toDouble() / 100));
}

bool sameTradeFigures(const QVariantMap &map, double tradePrice, double tradeDiscount, double markup,
                      double customerPercent, double vat)
{
    auto same = [&map](const char *key, double v) {
        return std::abs(map.value(QLatin1String(key)).toDouble() - v) < 1e-9;
    };
    return same("tradePrice", tradePrice) && same("tradeDisc", tradeDiscount) && same("markup", markup)
           && same("custDiscPcnt", customerPercent) && same("vatRate", vat);
}

double reviewBalance(double total, double discountPercent, double deposit)
{
    return round2((total - total * discountPercent / 100) - deposit);
}

double reviewDiscount(double total, double balance, double deposit, double currentDiscount)
{
    if (total == 0 || !std::isfinite(total))
        return currentDiscount;
    const double d = ((total - (balance + deposit)) * 100) / total;
    return (std::isfinite(d) && d != 0) ? d : currentDiscount;
}

} // namespace PriceCalc

QVariantMap PriceCalcTool::trade(double tradePrice, double tradeDiscount, double markup, double vat,
                                 double customerPercent) const
{
    const PriceCalc::TradeResult r = PriceCalc::trade(tradePrice, tradeDiscount, markup, vat, customerPercent);
    return {{QStringLiteral("net"), r.net},         {QStringLiteral("marked"), r.marked},
            {QStringLiteral("withVat"), r.withVat}, {QStringLiteral("finalPrice"), r.finalPrice},
            {QStringLiteral("margin"), r.margin},   {QStringLiteral("valid"), r.valid}};
}

double PriceCalcTool::amountFromPercent(double price, double percent) const
{
    return PriceCalc::amountFromPercent(price, percent);
}

double PriceCalcTool::percentFromAmount(double price, double amount) const
{
    return PriceCalc::percentFromAmount(price, amount);
}

QVariantMap PriceCalcTool::retail(double retailPrice, double discountAmount) const
{
    double f = 0;
    const bool ok = PriceCalc::retailFinal(retailPrice, discountAmount, &f);
    return {{QStringLiteral("finalPrice"), f}, {QStringLiteral("valid"), ok}};
}
