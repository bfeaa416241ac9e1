#include "registertypes.h"

#include "appcontext.h"
#include "appsettings.h"

#include <QQmlContext>
#include <QtQml>

void registerInterfaceTypes()
{
    // Types land here as their classes are written:
    //  VexaOrder: VexaOrder, VexaOrderItem (not creatable), ObjectListModel,
    //             Option/OptionGroup, DownloadManager, BusinessManager,
    //             BusinessItem, StaffManager, StaffItem
    //  ComboBoxModel, SavedOrders, SavedItem (not creatable)
    //  vexa.drive: DCloudComms
}

void setCommonContextProperties(QQmlContext *context)
{
    appSettings *user = AppContext::userSettings();
    context->setContextProperty(QStringLiteral("staticSettings"), user);
    context->setContextProperty(QStringLiteral("localSettings"), user);
    context->setContextProperty(QStringLiteral("iniSettings"), AppContext::sharedSettings());
    context->setContextProperty(QStringLiteral("cfgFolder"), AppContext::cfgFolder);
    context->setContextProperty(QStringLiteral("lta_version"), QStringLiteral(LTA_VERSION_TEXT));
    context->setContextProperty(QStringLiteral("lta_ver"), LTA_VERSION_NUMBER);
    context->setContextProperty(QStringLiteral("QT_SCALE_FACTOR"),
                                QString::fromLocal8Bit(qgetenv("QT_SCALE_FACTOR")));
}
