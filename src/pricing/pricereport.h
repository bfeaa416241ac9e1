#pragma once

#include <QJsonObject>

class VexaOrder;
struct CliCall;

// The priced order as support staff and tests read it: totals, and per item
// its band, prices, warnings, panel description, how the price was made and
// its options. Money as two-decimal strings.
QJsonObject priceReport(const VexaOrder &order);

// lattica-cli price [--data DIR] [--save] FILE_OR_ID
int cliPrice(CliCall &call);

// lattica-cli catalogue install [--data DIR] FOLDER
int cliCatalogueInstall(CliCall &call);
