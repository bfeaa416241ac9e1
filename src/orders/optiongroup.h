#pragma once

#include "orders/propertymacros.h"

#include <QObject>
#include <QStringList>
#include <QVariantMap>

// One option group of an order item (build-out, handles, louvre size, ...):
// the descriptions on offer and the one chosen, with its price.
class OptionGroup : public QObject
{
    Q_OBJECT
    LTA_RO_PROPERTY(QString, optionGroup)
    LTA_RW_PROPERTY(QString, description)
    LTA_RW_PROPERTY(QString, price)
    LTA_RW_PROPERTY(bool, manualPrice)
    LTA_RW_PROPERTY(int, multiple)
    LTA_RO_PROPERTY(QStringList, descList)
    LTA_RO_PROPERTY(bool, isReqd)
    LTA_RO_PROPERTY(bool, isMulti)
    LTA_RO_PROPERTY(bool, isAdded)
    LTA_RO_PROPERTY(QString, notes)
    LTA_RW_PROPERTY(QVariantMap, optsCalcMap)

public:
    explicit OptionGroup(QObject *parent = nullptr);

    // Codes parallel to descList, the code held for the chosen description,
    // one extra code set by hand-added options, and the per-unit margin
    // filled by the review pricing.
    QStringList codes;
    QString code;
    QString extraCode;
    double margin = 0;

    // A group is stored with the order only when something was chosen and
    // its name does not mark it as transient (trailing "-").
    bool isStored() const;
    // The code to store: the one at the description's place in the code
    // list when there is one, otherwise the held code.
    QString storedCode() const;

    // A new group with the same content, for copying items.
    OptionGroup *clone(QObject *parent) const;
};
