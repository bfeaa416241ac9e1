#pragma once

#include <QList>
#include <QString>
#include <QVariantMap>

class VexaOrder;
class VexaOrderItem;

// The order's money figures as the review screen shows them: total = parts
// price + additions, the balance worked out from the total, the discount
// and the deposit, price = balance + deposit.
struct QuoteFigures
{
    double parts = 0;
    double additions = 0;
    double total = 0;
    double discountPercent = 0;
    double discountAmount = 0;
    double price = 0;
    double deposit = 0;
    double balance = 0;
    bool exVat = false;
    QString currency;  // as text ("£"), from the setting "crncy"
};

// Sums the parts price again (as the review does on opening), then the rest.
QuoteFigures quoteFigures(VexaOrder &order);

// The currency symbol of "crncy" (an HTML entity by default) as text.
QString currencyText();
// Money with the currency and 2 decimals; a minus sign before the symbol.
QString moneyWithCurrency(double value, const QString &currency);
// A discount percent as the review writes it: up to 4 decimals, no
// trailing zeros.
QString percentText(double percent);

// The items in the order the review lists them: by room, in the order's own
// item order within a room.
QList<VexaOrderItem *> reviewOrderItems(const VexaOrder &order);

// The quote: A4 PDF with the business, the customer, every item with its
// drawing and price, the totals, the signature and the business's terms
// ("quoteTerms_s"). Needs a GUI application (fonts). False with a reason in
// *error when the file cannot be written.
bool writeQuotePdf(VexaOrder &order, const QString &path, QString *error = nullptr);

// The business as the quote names it: "quoteName_s", else the account's
// business name "bus_s".
QString quoteBusinessName();
// The business's own address for replies: "emailconf_s", else "regem_s".
QString quoteBusinessEmail();
// The order's reference: the typed reference, else its ID.
QString quoteReference(const VexaOrder &order);
