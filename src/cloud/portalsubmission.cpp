#include "portalsubmission.h"

#include "app/appcontext.h"
#include "app/appsettings.h"
#include "business/businessconfig.h"
#include "business/businesslookup.h"
#include "cloud/cloudcomms.h"

#include <QDebug>

PortalSubmission submitOrderToPortal(CloudComms &comms, const QString &orderPath, const QString &accountName)
{
    PortalSubmission result;
    const EdiConfig edi = readEdiConfig();
    if (!edi.present) {
        result.message = QStringLiteral("Missing configuration file (edi.cfg). Try logging out and back in or contact support.");
        return result;
    }
    if (appSettings *user = AppContext::userSettings())
        user->setValue(QStringLiteral("ediEnabled"), edi.enabled);
    // A business without the portal needs none of its values.
    if (!edi.enabled) {
        result.ok = true;
        return result;
    }
    if (!comms.checkInternet()) {
        result.message = QStringLiteral("You are not connected to the internet");
        return result;
    }
    if (edi.address.isEmpty()) {
        result.message = QStringLiteral("missing ediAddress");
        return result;
    }
    if (edi.scheme.isEmpty() || edi.userName.isEmpty() || !edi.passwordOk) {
        result.message = QStringLiteral("missing EDI values");
        return result;
    }
    Q_UNUSED(orderPath)
    Q_UNUSED(accountName)
    qWarning() << "Portal export requested but not built into this version";
    result.message = QStringLiteral("Portal export is not available in this version; the order stays queued.");
    return result;
}
