#pragma once

#include <QString>

class CloudComms;

// The result of handing one queued order to the supplier's portal.
struct PortalSubmission
{
    bool ok = false;
    QString message;  // why it failed; empty on success
    QString uploadId; // the portal's name for the upload; empty when none was made
};

// Reads the portal settings ("edi.cfg" of the business configuration) and,
// when the portal is enabled, exports the order file and uploads it for the
// business account of accountName. A disabled portal succeeds without an
// upload. The connection check goes through comms.
PortalSubmission submitOrderToPortal(CloudComms &comms, const QString &orderPath, const QString &accountName);
