#pragma once

#include "models/comboboxmodel.h"
#include "orders/propertymacros.h"

#include "pricing/bandprice.h"
#include "pricing/csvtable.h"
#include "pricing/inicache.h"

#include <QDateTime>
#include <QJsonObject>
#include <QObject>
#include <QVariantMap>
#include <memory>
#include <optional>

class OptionGroup;
class OrderSortFilterProxyModel;
class ProductDb;
struct OrderRecord;
struct PriceSettings;
class QQmlContext;
class QQmlVariantListModel;
class VexaOrderItem;
template<typename T> class QQmlObjectListModel;

// The one order being edited, its items and the models through which the
// interface shows them. Created once at start-up and known to the interface
// as _myOrder.
class VexaOrder : public QObject
{
    Q_OBJECT
    LTA_RW_PROPERTY(QString, custAddress)
    LTA_RW_PROPERTY(QString, custName)
    LTA_RW_PROPERTY(QString, custAddr)
    LTA_RW_PROPERTY(QString, custPcode)
    LTA_RW_PROPERTY(QString, custPhone)
    LTA_RW_PROPERTY(QString, custEmail)
    LTA_RW_PROPERTY(QString, jobNotes)
    LTA_RW_PROPERTY(QString, orderNotes)
    LTA_RW_PROPERTY(QString, quoteNotes)
    LTA_RO_PROPERTY(QString, orderID)
    LTA_RW_PROPERTY(QString, manOrderID)
    LTA_RW_PROPERTY(QString, currentRoom)
    LTA_RO_PROPERTY(QString, warning)
    LTA_RO_PROPERTY(int, numWarns)
    LTA_RO_PROPERTY(QString, blindprice)
    LTA_RO_PROPERTY(QString, blindpriceex)
    LTA_RO_PROPERTY(double, optsMargin)
    LTA_RO_PROPERTY(double, itemsMargin)
    LTA_RO_PROPERTY(double, partsPrice)
    LTA_RW_PROPERTY(double, fittingCost)
    LTA_RW_PROPERTY(double, deposit)
    LTA_RW_PROPERTY(QString, paytype)
    LTA_RW_PROPERTY(double, discount)
    LTA_RW_PROPERTY(double, balance)
    LTA_RW_PROPERTY(QString, signature)
    LTA_RW_PROPERTY(QDateTime, date)
    LTA_RW_PROPERTY(QDateTime, sentDate)
    LTA_RW_PROPERTY(QDateTime, appointment)
    LTA_RW_PROPERTY(int, apmins)
    LTA_RW_PROPERTY(QString, apType)
    LTA_RW_PROPERTY(bool, confirmed)
    LTA_RW_PROPERTY(int, orderState)
    LTA_RW_PROPERTY(bool, changed)
    LTA_RW_PROPERTY(int, mailCheckResult)
    LTA_RW_PROPERTY(bool, perItemPrice)
    LTA_RW_PROPERTY(bool, exVat)
    LTA_RW_PROPERTY(bool, sendEmailToCustomer)
    LTA_RW_PROPERTY(bool, agreeChk)
    LTA_RW_PROPERTY(QVariantMap, properties)

public:
    enum OrderState {
        UnKnown = 0,
        Received = 1,
        InProgress = 2,
        ForPosting = 3,
        Posted = 4,
        ForTransfer = 5,
        Import = 6,
        Backup = 7,
        ToSupplier = 8
    };
    Q_ENUM(OrderState)

    explicit VexaOrder(QObject *parent = nullptr);
    ~VexaOrder() override;

    // Publishes the order's list and combo models under their context names.
    void setContextProperties(QQmlContext *context);

    // Transfer target and source user IDs, the identity before a renumbering
    // and the supplier's receipt text; stored with the order.
    QString xto;
    QString xfrom;
    QString otid;
    QString supplierRcpt;
    // Pricing value re-read from "rw_d" at every clear.
    double rwD = 300;

    QQmlObjectListModel<VexaOrderItem> *orderItemsModel() const { return m_orderItemsModel; }
    QQmlObjectListModel<VexaOrderItem> *roomItemsModel() const { return m_roomItemsModel; }
    QQmlVariantListModel *roomsModel() const { return m_roomsModel; }
    OrderSortFilterProxyModel *orderItemsProxyModel() const { return m_orderItemsProxyModel; }
    ComboBoxModel &roomNamesCBModel() { return m_roomNamesCBModel; }
    ComboBoxModel &controlsCBModel() { return m_controlsCBModel; }
    ComboBoxModel &fixtypeCBModel() { return m_fixtypeCBModel; }
    ComboBoxModel &measureTypeCBModel() { return m_measureTypeCBModel; }
    ComboBoxModel &productCBModel() { return m_productCBModel; }
    ComboBoxModel &supplierCBModel() { return m_supplierCBModel; }
    ComboBoxModel &rangeCBModel() { return m_rangeCBModel; }
    ComboBoxModel &colourCBModel() { return m_colourCBModel; }
    ComboBoxModel &bandCBModel() { return m_bandCBModel; }

    // The order file: the order object as written and read.
    QJsonObject toJson() const;
    // A plain copy of what the order file holds.
    OrderRecord record() const;
    void readJson(const QJsonObject &obj);
    // Reads one order file into the order; false (order untouched) when the
    // file cannot be read or parsed.
    bool readOrderFile(const QString &path);
    // Writes the order file atomically to path (no folder moves).
    bool writeOrderFile(const QString &path) const;
    // The save that ends item processing: the file is committed by the
    // background writer unless the save has to move files.
    bool saveInBackground();
    // Item processing ends by saving the order; tools that only look at an
    // order (the command-line price check) switch that off.
    bool autoSave = true;

    // Moves the queued order file to the sent folder after posting.
    bool markAsSent(const QString &orderID);
    // A fresh order identity: the user's own numbering when configured,
    // otherwise date, device, user and the day's sequence.
    QString newOrderID();
    // The user's own numbering ("ordpre" + "ordnum" + "orderpost"); empty
    // when "ordnum" is not set to a whole number.
    QString orderNumber();

public slots:
    // Single-instance hand-over: another start of the program asks this one
    // to come forward, possibly with an order file to import.
    void showWindow();
    void receivedMessage(int instanceId, QByteArray message);

    // Item processing: the single place where validation, band lookup and
    // pricing of the current item run, followed by the totals and the save.
    void processOrderItem(bool force = false);
    // New catalogue data arrived: the choice lists are filled again.
    void reloadCatalogueControls() { refillChoiceLists(); }

public:
    Q_INVOKABLE bool saveOrder(int completedState = 0);
    Q_INVOKABLE bool loadOrder(const QString &orderID, VexaOrder::OrderState state, bool moveToInProgress);
    Q_INVOKABLE bool deleteOrder(const QString &orderID, VexaOrder::OrderState ostate);
    Q_INVOKABLE void incomingOrderFile(QString path);
    Q_INVOKABLE bool xferOrderTo(const QString &user);

    Q_INVOKABLE void clear();
    Q_INVOKABLE void newOrder();
    Q_INVOKABLE void copyOrder();
    Q_INVOKABLE int addBlind(const QString &room);
    Q_INVOKABLE void setRoomItemsModel(const QString &room);
    Q_INVOKABLE void changeRoomName(const QString &origName, const QString &newName);
    Q_INVOKABLE void setBlind(const QString &room, int blindIndex);
    Q_INVOKABLE void removeBlind(const QString &room, int blindIndex);
    Q_INVOKABLE void copyToAllInRoom(const QString &room, int blindIndex);
    Q_INVOKABLE void copyToAllInHouse(const QString &room, int blindIndex);
    Q_INVOKABLE int indexInRoom() const;
    Q_INVOKABLE void sortOrdersBy(const QByteArray &roleName);
    Q_INVOKABLE QString inches2mm(const QString &inches) const;
    Q_INVOKABLE QString mm2Inches(int mm) const;
    Q_INVOKABLE void processAddress(const QString &s);
    Q_INVOKABLE QStringList dropAddress() const;
    Q_INVOKABLE void clearAppointment();
    Q_INVOKABLE void imageToSignature(QString imagePath);
    Q_INVOKABLE VexaOrderItem *getVexaOrderItem() const { return m_currentItem; }
    Q_INVOKABLE void openLogs();
    // While orders are posted the order object is busy with them: order
    // files handed over by another start wait and are imported on release.
    Q_INVOKABLE void holdIncoming(bool hold);

    // Product selection (the cascade product -> supplier -> range -> colour)
    Q_INVOKABLE void productSelected(int index);
    Q_INVOKABLE void supplierSelected(int index);
    Q_INVOKABLE void rangeSelected(int index);
    Q_INVOKABLE void colourSelected(int index);
    Q_INVOKABLE void addProductDbItem(const QString &itemName, const QString &itemType);
    Q_INVOKABLE QString supplierNotes() const;

    // Options and extras
    Q_INVOKABLE void optionSelected(const QString &optionGroup, const QString &optionName, int index);
    Q_INVOKABLE void optionPriceEdited(const QString &optionGroup);
    Q_INVOKABLE void addOption(const QString &optionGroup, const QString &optionDesc, bool isMulti);
    Q_INVOKABLE QObject *getOptionsModel() const;
    Q_INVOKABLE QStringList optionControls(int index) const;
    Q_INVOKABLE QString optionSelectedControl(int index) const;

    // Item checks and order totals
    Q_INVOKABLE bool hasWarnings() const;
    Q_INVOKABLE double calcBalance();
    Q_INVOKABLE double sumPartsPrice();
    Q_INVOKABLE void recalcPrices();
    Q_INVOKABLE void fixPrices();
    Q_INVOKABLE void manualBlindPrice(const QString &manPrice);
    Q_INVOKABLE void perItemPrices(bool b);
    Q_INVOKABLE QString evalStr(const QString &expr) const;
    Q_INVOKABLE QStringList reviewData(int index);

    // Order documents: the customer's document (the argument is ignored),
    // print files in the print folder (their local-file URL as text, empty
    // on failure) and the supplier account names of the configuration.
    Q_INVOKABLE QString documentHTML(int docType) const;
    Q_INVOKABLE QString printHtml(const QString &orderID, int type, const QString &html);
    Q_INVOKABLE QString printOrder(const QString &orderID, VexaOrder::OrderState ostate, int type);
    Q_INVOKABLE QStringList bdAccounts() const;

    // The pricing inputs that come from the settings and this order.
    PriceSettings priceSettings() const;
    // The product database, or null when it could not be opened.
    ProductDb *productDb() const { return m_productDb.get(); }
    // Drops the range table kept for the current product and supplier.
    void dropRangeTable() { m_rangeTable.reset(); }

    // Option pricing of the current item (also used by the price
    // calculators): the price of one choice of a group, and the sum of all
    // chosen options into the item's extras price.
    double optionPrice(const QString &group, const QString &description);
    void sumExtras();

signals:
    void closeOrder();
    void openOrder(QString orderID);
    void openOrderExist(QString orderID, QString path, int ostate, QString msg);

private:
    // Seams for the catalogue: refilling the choice lists after a clear,
    // rebuilding an item's option groups from the catalogue after loading,
    // and refreshing the catalogue choices of an item being selected.
    void refillChoiceLists();
    void rebuildOptionGroups(VexaOrderItem *item);
    void refreshItemChoices(VexaOrderItem *item);

    void setCurrentItem(VexaOrderItem *item) { m_currentItem = item; }

    // Selection and option helpers
    void setMeasureTypes(const QString &product);
    void fillSuppliers(const QString &product);
    void fillRanges(const QString &supplier);
    void fillColours(const QString &range);
    // Below a new supplier (or range) of the current item: fill the lists
    // underneath and take each list's first real entry.
    void cascadeFromSupplier();
    void cascadeFromRange();
    void buildOptionGroups();
    double priceComponent(const QString &rule, const QString &cost, const QString &group);
    double rearCoverPrice(double perimeterPrice, double cost) const;
    QStringList standardControls() const;

    // Processing helpers
    void itemPrice();
    void rangeCheck();
    void requireSelection(const QString &group);
    void checkPanels(const QString &pc);
    // Review figures of one item; refreshes its margins.
    QStringList itemReview(VexaOrderItem *item);
    // Refreshes the item's margins alone.
    void refreshMargins(VexaOrderItem *item);
    // While every item is reprocessed, the totals and the save run once at
    // the end instead of after each item.
    bool m_repricing = false;
    // One pass of item processing: the price settings are read once, and
    // each catalogue file's status checked once.
    class PricingPass
    {
    public:
        explicit PricingPass(VexaOrder *order);
        ~PricingPass();
        PricingPass(const PricingPass &) = delete;
        PricingPass &operator=(const PricingPass &) = delete;

    private:
        VexaOrder *m_order;
        const PriceSettings *m_outer;
        PriceSettings m_settings;
        CatalogueReadPass m_reads;
    };
    const PriceSettings *m_passSettings = nullptr;
    VexaOrderItem *itemFromJson(const QJsonObject &obj);

    QQmlObjectListModel<VexaOrderItem> *m_orderItemsModel;
    QQmlObjectListModel<VexaOrderItem> *m_roomItemsModel;
    QQmlVariantListModel *m_roomsModel;
    OrderSortFilterProxyModel *m_orderItemsProxyModel;
    ComboBoxModel m_roomNamesCBModel;
    ComboBoxModel m_controlsCBModel;
    ComboBoxModel m_fixtypeCBModel;
    ComboBoxModel m_measureTypeCBModel;
    ComboBoxModel m_productCBModel;
    ComboBoxModel m_supplierCBModel;
    ComboBoxModel m_rangeCBModel;
    ComboBoxModel m_colourCBModel;
    ComboBoxModel m_bandCBModel;
    VexaOrderItem *m_currentItem = nullptr;
    bool m_holdIncoming = false;
    QStringList m_heldFiles;
    std::unique_ptr<ProductDb> m_productDb;
    // Range table of the current item's product and supplier, when loaded.
    std::optional<CsvTable> m_rangeTable;
};
