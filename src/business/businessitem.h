#pragma once

#include "orders/propertymacros.h"

#include <QObject>

// One registered delivery address of a supplier account.
class BusinessItem : public QObject
{
    Q_OBJECT
    LTA_RO_PROPERTY(QString, deliveryName)
    LTA_RW_PROPERTY(QString, manDeliveryName)
    LTA_RO_PROPERTY(QString, name)
    LTA_RO_PROPERTY(QString, address)
    LTA_RO_PROPERTY(QString, postcode)
    LTA_RO_PROPERTY(QString, countryID)
    LTA_RO_PROPERTY(QString, locationID)

public:
    explicit BusinessItem(QObject *parent = nullptr)
        : QObject(parent)
    {
    }

    // Storage key of the entry below "busItems/" + account.
    QString ID;

    // The name shown for it: the user's own, else the supplier's.
    QString displayName() const { return m_manDeliveryName.isEmpty() ? m_deliveryName : m_manDeliveryName; }
};
