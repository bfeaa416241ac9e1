#pragma once

#include <QString>
#include <functional>

class CloudComms;

// The result of handing one queued order to the supplier's portal.
struct PortalSubmission
{
    bool ok = false;
    QString message;  // why it failed; empty on success
    QString uploadId; // the portal's name for the upload; empty when none was made
    // The order itself cannot be exported (its data, its account): other
    // orders may still go.
    bool orderFault = false;
};

// Reads the portal settings ("edi.cfg" of the business configuration) and,
// when the portal is enabled, exports the order file and uploads it for the
// business account of accountName. A disabled portal succeeds without an
// upload. The connection check goes through comms.
//
// transferName: the name an earlier, unfinished try chose (empty for a new
// one); the same name is used again so that a broken transfer is replaced.
// beforeTransfer gets the name before any byte is sent and must record it;
// when it returns false nothing is sent.
PortalSubmission submitOrderToPortal(CloudComms &comms, const QString &orderPath, const QString &accountName,
                                     const QString &transferName = QString(),
                                     const std::function<bool(const QString &)> &beforeTransfer = nullptr);

// Writes the order's portal XML into "tmp/" again (for the supplier mail's
// attachment) without sending it; "" or the error.
QString exportPortalXml(const QString &orderPath);
