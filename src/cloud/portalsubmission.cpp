#include "portalsubmission.h"

#include "app/appcontext.h"
#include "app/appsettings.h"
#include "business/businessconfig.h"
#include "business/businesslookup.h"
#include "cloud/cloudcomms.h"
#include "cloud/ediconnection.h"
#include "documents/uploadtolta.h"

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
    // The account whose code names the upload: the order's business, else
    // the first account of the business list.
    QString account = accountForBusinessName(accountName);
    if (account.isEmpty()) {
        if (appSettings *shared = AppContext::sharedSettings()) {
            shared->beginGroup(QStringLiteral("buslist"));
            account = shared->childKeys().value(0);
            shared->endGroup();
        }
    }
    UploadToLTA exporter;
    exporter.setSupplier(SupplierItem{edi.scheme.trimmed(), edi.address.trimmed(), edi.userName, edi.password});
    const QString error = exporter.upload(orderPath, account);
    if (!error.isEmpty()) {
        result.message = error;
        return result;
    }
    result.ok = true;
    result.uploadId = AppContext::setting(QStringLiteral("ltaUpload")).toString();
    return result;
}
