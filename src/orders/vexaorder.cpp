#include "orders/vexaorder.h"

#include "app/appcontext.h"
#include "app/appsettings.h"
#include "app/logrotate.h"
#include "models/qqmlobjectlistmodel.h"
#include "models/qqmlvariantlistmodel.h"
#include "orders/optiongroup.h"
#include "orders/ordersortfilterproxymodel.h"
#include "orders/vexaorderitem.h"
#include "orders/orderwriter.h"
#include "pricing/productdb.h"

#include <QCoreApplication>
#include <QDebug>
#include <QGuiApplication>
#include <QWindow>
#include <utility>
#include <QQmlContext>

namespace {

// All rows leave at once: views and the proxy see one removal, not one per
// item.
void dropItems(QQmlObjectListModel<VexaOrderItem> *items, QQmlObjectListModel<VexaOrderItem> *roomItems)
{
    const QList<VexaOrderItem *> leaving = items->toList();
    roomItems->clear();
    items->clear();
    qDeleteAll(leaving);
}

} // namespace

VexaOrder::VexaOrder(QObject *parent)
    : QObject(parent)
    , m_orderItemsModel(new QQmlObjectListModel<VexaOrderItem>(QCoreApplication::instance(), "room"))
    , m_roomItemsModel(new QQmlObjectListModel<VexaOrderItem>(QCoreApplication::instance()))
    , m_roomsModel(new QQmlVariantListModel())
    , m_orderItemsProxyModel(new OrderSortFilterProxyModel(this))
    , m_productCBModel(nullptr, QStringLiteral("product"))
    , m_supplierCBModel(nullptr, QStringLiteral("supplier"))
    , m_rangeCBModel(nullptr, QStringLiteral("range"))
    , m_colourCBModel(nullptr, QStringLiteral("colour"))
{
    m_orderItemsProxyModel->setSourceModel(m_orderItemsModel);
    // The names users added by hand; without the database the catalogue's
    // own names are still offered.
    m_productDb = std::make_unique<ProductDb>();
    if (!m_productDb->isOpen())
        m_productDb.reset();
    m_apmins = 30;
    m_sendEmailToCustomer = true;

    // The list names follow the state numbering; the last two transfer-like
    // states share a name because both wait in the sending queue.
    if (AppContext::listNames.isEmpty()) {
        AppContext::listNames << QString() << QStringLiteral("Received") << QStringLiteral("In Progress")
                              << QStringLiteral("Queued for sending") << QStringLiteral("Sent")
                              << QStringLiteral("Queued for sending");
    }
    clear();
}

VexaOrder::~VexaOrder()
{
    // background saves report back to this object
    OrderWriter::instance().flush();
    // only the items go: refilling the choice lists and re-reading settings,
    // as a clear does, would be wasted on an order that goes
    dropItems(m_orderItemsModel, m_roomItemsModel);
    // The item models hang off the application object for the interface's
    // sake; they go with the order that fills them.
    delete m_orderItemsProxyModel;
    m_orderItemsProxyModel = nullptr;
    delete m_orderItemsModel;
    delete m_roomItemsModel;
    delete m_roomsModel;
}

void VexaOrder::setContextProperties(QQmlContext *context)
{
    context->setContextProperty(QStringLiteral("orderItemsModel"), m_orderItemsModel);
    context->setContextProperty(QStringLiteral("orderItemsProxyModel"), m_orderItemsProxyModel);
    context->setContextProperty(QStringLiteral("roomItemsModel"), m_roomItemsModel);
    context->setContextProperty(QStringLiteral("roomsModel"), m_roomsModel);
    context->setContextProperty(QStringLiteral("roomNamesCBModel"), &m_roomNamesCBModel);
    context->setContextProperty(QStringLiteral("controlsCBModel"), &m_controlsCBModel);
    context->setContextProperty(QStringLiteral("fixtypeCBModel"), &m_fixtypeCBModel);
    context->setContextProperty(QStringLiteral("measureTypeCBModel"), &m_measureTypeCBModel);
    context->setContextProperty(QStringLiteral("productCBModel"), &m_productCBModel);
    context->setContextProperty(QStringLiteral("supplierCBModel"), &m_supplierCBModel);
    context->setContextProperty(QStringLiteral("rangeCBModel"), &m_rangeCBModel);
    context->setContextProperty(QStringLiteral("colourCBModel"), &m_colourCBModel);
    context->setContextProperty(QStringLiteral("bandCBModel"), &m_bandCBModel);
}

void VexaOrder::showWindow()
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return;
    const QWindowList windows = QGuiApplication::topLevelWindows();
    if (windows.isEmpty())
        return;
    QWindow *window = windows.first();
    window->show();
    window->raise();
    window->requestActivate();
}

void VexaOrder::receivedMessage(int instanceId, QByteArray message)
{
    qDebug() << "Received message from instance: " << instanceId << "Message Text: " << message;
    showWindow();
    if (message.size() <= 1)
        return;
    if (m_holdIncoming)
        m_heldFiles << QString::fromUtf8(message);
    else
        incomingOrderFile(QString::fromUtf8(message));
}

void VexaOrder::holdIncoming(bool hold)
{
    m_holdIncoming = hold;
    if (hold)
        return;
    const QStringList held = std::exchange(m_heldFiles, {});
    for (const QString &path : held)
        incomingOrderFile(path);
}

void VexaOrder::openLogs()
{
    openLogsFolder(AppContext::logsFolder);
}

void VexaOrder::clear()
{
    set_currentRoom(QString());
    dropItems(m_orderItemsModel, m_roomItemsModel);
    m_roomsModel->clear();
    m_currentItem = nullptr;
    set_changed(false);

    set_balance(0);
    set_discount(0);
    set_deposit(0);
    set_partsPrice(0);
    set_fittingCost(AppContext::setting(QStringLiteral("fit_d"), 0).toDouble());
    rwD = AppContext::setting(QStringLiteral("rw_d"), 300).toDouble();
    set_perItemPrice(AppContext::setting(QStringLiteral("qprc_b"), false).toBool());
    set_exVat(false);
    supplierRcpt.clear();
    xto.clear();
    xfrom.clear();
    otid.clear();
    set_custAddress(QString());
    set_custName(QString());
    set_custAddr(QString());
    set_custPcode(QString());
    set_custPhone(QString());
    set_custEmail(QString());
    set_apType(QString());
    set_jobNotes(QString());
    set_quoteNotes(QString());
    set_orderNotes(QString());
    set_orderID(QString());
    set_manOrderID(QString());
    set_paytype(QString());
    set_signature(QString());
    set_apmins(30);
    set_appointment(QDateTime());
    set_date(QDateTime());
    set_sentDate(QDateTime());
    set_confirmed(false);
    set_mailCheckResult(0);
    set_sendEmailToCustomer(true);
    set_agreeChk(false);
    // The margins announce themselves even when already 0, so the review
    // screen drops any figures it still shows.
    m_itemsMargin = 0;
    emit itemsMarginChanged(0);
    m_optsMargin = 0;
    emit optsMarginChanged(0);
    set_properties(QVariantMap());

    refillChoiceLists();
}
