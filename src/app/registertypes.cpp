#include "registertypes.h"

#include "appcontext.h"
#include "appsettings.h"
#include "business/businessitem.h"
#include "business/businessmanager.h"
#include "business/staffitem.h"
#include "business/staffmanager.h"
#include "cloud/cloudcomms.h"
#include "cloud/dcloudcomms.h"
#include "cloud/downloadmanager.h"
#include "documents/quotetools.h"
#include "screentools.h"
#include "models/comboboxmodel.h"
#include "models/qqmlobjectlistmodel.h"
#include "orders/optiongroup.h"
#include "orders/saveditem.h"
#include "orders/savedorders.h"
#include "orders/vexaorder.h"
#include "orders/vexaorderitem.h"
#include "pricing/pricecalc.h"

#include <QFile>
#include <QFontDatabase>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQmlFileSelector>
#include <QtQml>

void registerInterfaceTypes()
{
    static bool done = false;
    if (done)
        return;
    done = true;
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
    qmlRegisterType<DownloadManager>("VexaOrder", 1, 0, "DownloadManager");
    qmlRegisterType<StaffManager>("VexaOrder", 1, 0, "StaffManager");
    qmlRegisterType<StaffItem>("VexaOrder", 1, 0, "StaffItem");
    qmlRegisterType<DCloudComms>("vexa.drive", 1, 0, "DCloudComms");
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

namespace {
// The icon font comes from the system's font package.
QString iconFontFamily()
{
    static QString family;
    if (!family.isEmpty())
        return family;
    const QString path = QStringLiteral("/usr/share/fonts/truetype/font-awesome/fontawesome-webfont.ttf");
    const int id = QFile::exists(path) ? QFontDatabase::addApplicationFont(path) : -1;
    if (id < 0) {
        qWarning() << "icon font not found:" << path;
        return QStringLiteral("FontAwesome");
    }
    family = QFontDatabase::applicationFontFamilies(id).value(0);
    return family;
}
} // namespace

ScreenTools *publishInterface(QQmlEngine *engine, VexaOrder *order, CloudComms *cloud, SavedOrders *savedOrders)
{
    registerInterfaceTypes();
    auto selector = new QQmlFileSelector(engine, engine);
    selector->setExtraSelectors({QStringLiteral("LT")});
    engine->addImportPath(QStringLiteral("qrc:/"));

    QQmlContext *context = engine->rootContext();
    savedOrders->setContextProperties(context);
    order->setContextProperties(context);
    setCommonContextProperties(context);
    context->setContextProperty(QStringLiteral("_myOrder"), order);
    context->setContextProperty(QStringLiteral("vexaData"), cloud);
    context->setContextProperty(QStringLiteral("cloudComms"), cloud);
    context->setContextProperty(QStringLiteral("iconFontFamily"), iconFontFamily());

    auto tools = new ScreenTools(&order->roomNamesCBModel(), engine);
    tools->loadRoomNames();
    context->setContextProperty(QStringLiteral("screenTools"), tools);
    context->setContextProperty(QStringLiteral("priceCalc"), new PriceCalcTool(engine));
    context->setContextProperty(QStringLiteral("quoteTools"), new QuoteTools(order, cloud, engine));
    return tools;
}
