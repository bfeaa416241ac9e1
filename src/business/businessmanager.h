#pragma once

#include "business/businessitem.h"
#include "orders/propertymacros.h"

#include <QObject>
#include <QQmlParserStatus>
#include <QStringList>
#include <QVector>

template<typename T> class QQmlObjectListModel;

// One delivery address as the supplier lists it, for storing a whole
// account's addresses at once.
struct BusinessEntry
{
    QString deliveryName, name, address, postcode, countryID, locationID;
    bool isPrimary = false;
};

// The supplier accounts of the business and the delivery addresses of the
// current one. The interface creates its own instances; each publishes its
// list as the context property "businessItems" of the interface's engine.
//
// Stored: user settings "busItems/" account "/" ID = the six fields joined
// with "|" (kept out of the fields), "currSuppAccnt", "bus_s"; shared
// settings "busNames/" account, "buslist/" account (display names in list
// order, primary first), account "/" delivery name = location ID and account
// "_m/" delivery name = display name.
class BusinessManager : public QObject, public QQmlParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    Q_PROPERTY(QString suppAccnt READ suppAccnt WRITE setSuppAccnt NOTIFY suppAccntChanged)
    LTA_RW_PROPERTY(QString, error)
    LTA_RO_PROPERTY(QStringList, delAddressList)

public:
    explicit BusinessManager(QObject *parent = nullptr);
    ~BusinessManager() override;

    QString suppAccnt() const { return m_suppAccnt; }

    Q_INVOKABLE void initController();
    Q_INVOKABLE void setSuppAccnt(const QString &accountID);
    // Downloads and stores the account's delivery addresses; false with
    // error set when that fails.
    Q_INVOKABLE bool fetchAccountAddresses(const QString &accountID);
    // Reads the supplier's current lead time (working days) from its stock
    // file into the user setting "lead_time_i"; false with error set when
    // that fails (the setting then stays as it was).
    Q_INVOKABLE bool refreshLeadTime();
    Q_INVOKABLE QStringList busNames() const;
    Q_INVOKABLE QStringList deliveryNames(const QString &name) const;
    Q_INVOKABLE bool updateBusiness(int index, const QString &deliveryName, const QString &name,
                                    const QString &address, const QString &postcode, const QString &countryID,
                                    const QString &locationID, bool isPrimary);
    Q_INVOKABLE bool updateDeliveryName(int index, const QString &manDeliveryName);
    Q_INVOKABLE bool remove(int index);

    Q_INVOKABLE BusinessItem *getBusinessItem(int index) const;
    Q_INVOKABLE QObject *getBusinessItems() const;
    Q_INVOKABLE BusinessItem *getBusinessFromID(const QString &ID) const;
    Q_INVOKABLE int getIndexFromID(const QString &ID) const;
    Q_INVOKABLE QString getIDFromIndex(int index) const;

    QQmlObjectListModel<BusinessItem> *items() const { return m_items; }

    // Replaces every stored delivery address of one account with entries
    // (primary ones first, in their order otherwise) and stores its business
    // name. The user's display names of addresses that stay are kept. When it
    // is the current account the list is reloaded. False (error set) for an
    // invalid account number or an entry without a delivery name.
    bool replaceAccountEntries(const QString &accountID, const QVector<BusinessEntry> &entries);

    void classBegin() override;
    void componentComplete() override {}

signals:
    void suppAccntChanged(QString suppAccnt);

private:
    void loadItems(const QString &accountID);
    void saveLists();
    void storeItem(const BusinessItem *item) const;

    QString m_suppAccnt;
    QQmlObjectListModel<BusinessItem> *m_items;
};
