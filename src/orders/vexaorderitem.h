#pragma once

#include "orders/propertymacros.h"

#include <QObject>
#include <QStringList>
#include <QVariantMap>

class OptionGroup;
template<typename T> class QQmlObjectListModel;

// One shutter or blind line of an order.
class VexaOrderItem : public QObject
{
    Q_OBJECT
    LTA_RW_PROPERTY(QString, room)
    LTA_RW_PROPERTY(int, bl_width)
    LTA_RW_PROPERTY(int, bl_drop)
    LTA_RW_PROPERTY(int, bl_fixheight)
    LTA_RW_PROPERTY(bool, bl_inches)
    LTA_RW_PROPERTY(bool, bl_inchesJob)
    LTA_RW_PROPERTY(QString, bl_controls)
    LTA_RW_PROPERTY(QString, bl_fixType)
    LTA_RW_PROPERTY(QString, bl_measureType)
    LTA_RW_PROPERTY(QString, bl_notes)
    LTA_RW_PROPERTY(bool, bl_notesInc)
    LTA_RW_PROPERTY(int, bl_multiple)
    LTA_RW_PROPERTY(QString, bl_product)
    LTA_RW_PROPERTY(QString, bl_supplier)
    LTA_RW_PROPERTY(QString, bl_range)
    LTA_RW_PROPERTY(QString, bl_color)
    LTA_RW_PROPERTY(QString, bl_bandOverride)
    LTA_RW_PROPERTY(QString, bl_band)
    LTA_RW_PROPERTY(QString, bl_warning)
    LTA_RW_PROPERTY(bool, bl_exclude)
    LTA_PLAIN_PROPERTY(double, extras_price)
    LTA_RW_PROPERTY(double, item_price)
    LTA_PLAIN_PROPERTY(QStringList, m_warnings)
    LTA_RW_PROPERTY(bool, manualPrice)
    LTA_RW_PROPERTY(QVariantMap, calcMap)
    LTA_RW_PROPERTY(QVariantMap, dataMap)
    LTA_PLAIN_PROPERTY(QStringList, m_controls)
    LTA_RO_PROPERTY(QString, panelsDesc)

public:
    explicit VexaOrderItem(QObject *parent = nullptr);

    // Set when the fabric must be turned; stored and restored with the order.
    bool turn = false;
    QString btypeCode;
    QString fabricCode;
    // Per-unit margins filled by the review pricing.
    double itemMargin = 0;
    double optsMargin = 0;

    QQmlObjectListModel<OptionGroup> *optionsModel() const { return m_options; }

    Q_INVOKABLE OptionGroup *getOptionGroup(const QString &groupName) const;
    Q_INVOKABLE QStringList getDescList(const QString &optionGroup) const;
    // The price calculators' summary: sizes, and for the whole item (-1)
    // its price.
    Q_INVOKABLE QString itemInfo(int optionIndex) const;

    // Drops the catalogue choices from the given level down: 3 product (and
    // every option group), 2 supplier, 1 range, always the colour; then every
    // price, band and calculation result goes.
    void resetSelection(int level);

    // Takes over the source's catalogue choices and a copy of each of its
    // option groups (in place of its own); room, measurements and notes stay.
    void copyChoicesFrom(const VexaOrderItem *source);

private:
    QQmlObjectListModel<OptionGroup> *m_options;
};
