#pragma once

#include <QString>
#include <QStringList>

// Look-ups over the stored business accounts (shared settings "lta.ini"),
// used by the documents, the portal export and the business manager.

// Supplier account numbers: "C" and six digits, or "M" and seven digits.
bool isAccountNumber(const QString &text);
bool isCAccountNumber(const QString &text);
bool isMAccountNumber(const QString &text);

// The business names of all accounts (values of the group "busNames").
QStringList businessNames();
// The account whose business name this is; empty when none.
QString accountForBusinessName(const QString &name);
// An account number is taken as it is, anything else as a business name.
QString accountFor(const QString &nameOrAccount);
// The display names of the account's delivery addresses ("buslist/" account).
QStringList deliveryNamesFor(const QString &nameOrAccount);
// The supplier's delivery name behind a display name of the account; empty
// when none. Names holding "/" are stored as nested keys and found as well.
QString deliveryNameForDisplayName(const QString &account, const QString &displayName);
// The supplier's location ID of a delivery name; empty with *error set to
// "Failed to find account Code data" when the account has no such entry.
QString locationIdForDeliveryName(const QString &account, const QString &deliveryName,
                                  QString *error = nullptr);
