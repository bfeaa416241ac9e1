// Fetching an account's delivery addresses and the lead time from the
// supplier's file server.

#include "app/appcontext.h"
#include "app/appsettings.h"
#include "business/businesslookup.h"
#include "business/businessmanager.h"
#include "business/supplierfiles.h"
#include "cloud/ediconnection.h"

#include <QDateTime>
#include <QDebug>

bool BusinessManager::fetchAccountAddresses(const QString &accountID)
{
    set_error(QString());
    if (!isAccountNumber(accountID)) {
        set_error(QStringLiteral("Invalid acount number: ") + accountID);
        return false;
    }
    // An account last fetched through an "M" number is fetched through it again.
    QString number = accountID;
    if (!isMAccountNumber(number)) {
        const QString viaM = AppContext::setting(accountID + QStringLiteral("_M")).toString();
        if (isMAccountNumber(viaM))
            number = viaM;
    }
    SupplierItem supplier;
    QString error;
    if (!loadEdiConfig(&supplier, &error)) {
        set_error(QStringLiteral("Failed to get valid connection data. Contact support."));
        return false;
    }
    QByteArray body;
    // number is a checked account number, so the path stays in "/Addresses"
    error = fetchSupplierFile(supplier, QStringLiteral("/Addresses/%1.txt").arg(number), &body);
    if (!error.isEmpty()) {
        set_error(addressFetchError(error, number));
        return false;
    }
    const AccountAddresses fetched = parseAccountAddresses(body, number);
    if (!fetched.error.isEmpty()) {
        set_error(fetched.error);
        return false;
    }

    // Only a file that passed every check replaces what is stored, account
    // by account.
    appSettings *user = AppContext::userSettings();
    const QString now = QDateTime::currentDateTime().toString(Qt::ISODate);
    for (auto it = fetched.entries.cbegin(); it != fetched.entries.cend(); ++it) {
        if (!replaceAccountEntries(it.key(), it.value()))
            return false;
        if (user) {
            user->setValue(it.key() + QStringLiteral("_lm"), now);
            if (isMAccountNumber(number))
                user->setValue(it.key() + QStringLiteral("_M"), number);
        }
    }
    const QString first = fetched.entries.firstKey();
    if (user)
        user->setValue(QStringLiteral("currSuppAccnt"), first);
    initController();
    setSuppAccnt(first);
    if (user)
        user->sync();
    if (AppContext::sharedSettings())
        AppContext::sharedSettings()->sync();
    set_error(QString());
    return true;
}

bool BusinessManager::refreshLeadTime()
{
    set_error(QString());
    SupplierItem supplier;
    QString error;
    if (!loadEdiConfig(&supplier, &error)) {
        set_error(QStringLiteral("Failed to get valid connection data. Contact support."));
        return false;
    }
    const QString path =
        AppContext::setting(QStringLiteral("leadTime_s"), QStringLiteral("/Addresses/StockV2.txt")).toString();
    QByteArray body;
    error = fetchSupplierFile(supplier, path, &body);
    if (!error.isEmpty()) {
        set_error(leadTimeFetchError(error));
        return false;
    }
    int days = 0;
    error = parseLeadTime(body, &days);
    if (!error.isEmpty()) {
        set_error(error);
        return false;
    }
    if (AppContext::userSettings())
        AppContext::userSettings()->setValue(QStringLiteral("lead_time_i"), days);
    return true;
}
