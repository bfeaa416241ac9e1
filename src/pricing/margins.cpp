#include "margins.h"

UnitPricing unitPricing(const QVariantMap &calc)
{
    auto num = [&calc](const char *key) { return calc.value(QLatin1String(key)).toDouble(); };
    UnitPricing u;
    u.custDisc = num("custDiscPcnt");
    u.keep = 1 - u.custDisc / 100;
    if (!calc.value(QStringLiteral("trade")).toBool()) {
        u.price = num("rrp") * (1 + num("allChange") / 100) * (1 + num("bandChange") / 100);
        u.margin = 0;
        return u;
    }
    const double cost = num("tradePrice") * (1 - num("tradeDisc") / 100);
    const double net = cost * (1 + num("markup") / 100);
    const bool applyVat = calc.value(QStringLiteral("applyVat")).toBool();
    u.price = net * (applyVat ? 1 + num("vatRate") / 100 : 1);
    u.margin = net * u.keep - cost;
    return u;
}

double unitMargin(const QVariantMap &calc)
{
    static const QString trade = QStringLiteral("trade");
    // a retail record has no margin
    return calc.value(trade).toBool() ? unitPricing(calc).margin : 0;
}

double orderBalance(double fittingCost, double partsPrice, double discountPercent, double deposit)
{
    const double total = fittingCost + partsPrice;
    return total - total * discountPercent / 100 - deposit;
}

QString moneyText(double value)
{
    return QString::number(value, 'f', 2);
}

QString priceText(double value)
{
    return value < 0.001 ? QString() : moneyText(value);
}
