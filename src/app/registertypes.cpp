#include "registertypes.h"

#include "appcontext.h"
#include "appsettings.h"
#include "business/businessitem.h"
#include "business/businessmanager.h"
#include "models/comboboxmodel.h"
#include "models/qqmlobjectlistmodel.h"
#include "orders/optiongroup.h"
#include "orders/saveditem.h"
#include "orders/savedorders.h"
#include "orders/vexaorder.h"
#include "orders/vexaorderitem.h"

#include <QQmlContext>
#include <QtQml>

void registerInterfaceTypes()
{
    const QString notCreatable = QStringLiteral("!!");
    qmlRegisterUncreatableType<VexaOrder>("VexaOrder", 1, 0, "VexaOrder", notCreatable);
    qmlRegisterUncreatableType<VexaOrderItem>("VexaOrder", 1, 0, "VexaOrderItem", notCreatable);
    qmlRegisterUncreatableType<ComboBoxModel>("ComboBoxModel", 1, 0, "ComboBoxModel", notCreatable);
    qmlRegisterUncreatableType<QQmlObjectListModelBase>("VexaOrder", 1, 0, "ObjectListModel", notCreatable);
    qmlRegisterType<OptionGroup>("VexaOrder", 1, 0, "Option");
    qmlRegisterType<OptionGroup>("VexaOrder", 1, 0, "OptionGroup");
    qmlRegisterUncreatableType<SavedOrders>("SavedOrders", 1, 0, "SavedOrders", notCreatable);
    qmlRegisterUncreatableType<SavedItem>("SavedOrders", 1, 0, "SavedItem", notCreatable);
    qmlRegisterType<BusinessManager>("VexaOrder", 1, 0, "BusinessManager");
    qmlRegisterType<BusinessItem>("VexaOrder", 1, 0, "BusinessItem");
    // Types still to land as their classes are written:
    //  VexaOrder: DownloadManager, StaffManager, StaffItem
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
