#include "portalsubmission.h"

#include "app/appcontext.h"
#include "app/appsettings.h"
#include "business/businessconfig.h"
#include "business/businesslookup.h"
#include "cloud/cloudcomms.h"
#include "cloud/ediconnection.h"
#include "documents/uploadtolta.h"

#include <QDebug>
#include <QFileInfo>

QString exportPortalXml(const QString &orderPath)
{
    UploadToLTA exporter;
    return exporter.orderToXml(orderPath);
}

PortalSubmission submitOrderToPortal(CloudComms &comms, const QString &orderPath, const QString &accountName,
                                     const QString &transferName,
                                     const std::function<bool(const QString &)> &beforeTransfer)
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
    QString error = exporter.orderToXml(orderPath);
    if (!error.isEmpty() || !isAccountNumber(account)) {
        result.message = error.isEmpty() ? QStringLiteral("Invalid acount number: ") + account : error;
        result.orderFault = true;
        return result;
    }
    // A name chosen for another account (the order's account changed) is not reused.
    QString name = transferName;
    if (!name.startsWith(account + QLatin1Char('_')))
        name = UploadToLTA::newTransferName(account);
    if (beforeTransfer && !beforeTransfer(name)) {
        result.message = QStringLiteral("Could not record the portal upload of ") + QFileInfo(orderPath).fileName();
        return result;
    }
    error = exporter.deliver(account, name);
    if (!error.isEmpty()) {
        result.message = error;
        return result;
    }
    result.ok = true;
    result.uploadId = name;
    return result;
}
