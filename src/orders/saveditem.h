#pragma once

#include "orders/propertymacros.h"

#include <QDateTime>
#include <QJsonObject>
#include <QObject>

// One row of a saved-order list: the few members of an order file the
// orders screen shows, sorts and searches by.
class SavedItem : public QObject
{
    Q_OBJECT
    LTA_RO_PROPERTY(QString, orderID)
    LTA_RO_PROPERTY(QString, manOrderID)
    LTA_RO_PROPERTY(QString, appTime)
    LTA_RO_PROPERTY(bool, fitting)
    LTA_RO_PROPERTY(QString, custAddr)
    LTA_RO_PROPERTY(bool, confirmed)
    LTA_RO_PROPERTY(QString, xfrom)
    LTA_RO_PROPERTY(int, orderState)
    LTA_RO_PROPERTY(QDateTime, sortDate)
    LTA_RO_PROPERTY(QString, sortDate_s)
    LTA_RO_PROPERTY(QString, supplierRcpt)
    LTA_RO_PROPERTY(bool, pif)

public:
    explicit SavedItem(QObject *parent = nullptr);
    // A row from an order file's object; fileTime stands in for a missing
    // appointment when sorting.
    SavedItem(const QString &orderID, int orderState, const QJsonObject &obj, const QDateTime &fileTime,
              QObject *parent = nullptr);

    QString email;
    QString phone; // without blanks, so searches need no blanks either
    QString xto;
};
