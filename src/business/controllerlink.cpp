#include "business/controllerlink.h"

#include "business/businessmanager.h"
#include "cloud/cloudcomms.h"

#include <QDebug>

void linkBusinessToController(CloudComms *cloud, BusinessManager *business)
{
    cloud->business.fetchAccountAddresses = [business](const QString &accountId) {
        business->fetchAccountAddresses(accountId);
        return business->error();
    };
    QObject::connect(cloud, &CloudComms::configurationChecked, business, [business] {
        business->initController(); // the accounts as the check left them
        if (!business->refreshLeadTime())
            qDebug() << "refreshLeadTime" << business->error();
    });
}
