// Fetching an account's delivery addresses from the supplier's file server.

#include "app/appcontext.h"
#include "business/businessconfig.h"
#include "business/businesslookup.h"
#include "business/businessmanager.h"

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
    const EdiConfig edi = readEdiConfig();
    if (!edi.passwordOk) {
        set_error(QStringLiteral("Failed to get valid connection data. Contact support."));
        return false;
    }
    // The download itself needs the file-transfer worker, which this build
    // does not have yet; say so instead of pretending the addresses arrived.
    set_error(QStringLiteral("Fetching the delivery addresses of %1 is not available in this version").arg(number));
    return false;
}
