#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <QVector>

// A plain copy of everything an order file holds. Taking it is cheap (the
// texts and maps are shared, not copied), so the interface thread takes one
// at each save and the file content is made from it elsewhere.

struct OptionRecord
{
    QString group;
    QString description;
    QString price;
    QString code;   // the code to store
    bool manualPrice = false;
    bool added = false;
    int multiple = 0;
    QVariantMap calc;
};

struct ItemRecord
{
    QString room;
    int width = 0, drop = 0, fixheight = 0;
    bool inches = false, inchesJob = false;
    QString controls, fixType, measureType;
    bool turn = false;
    QString notes;
    bool notesInc = false;
    int multiple = 1;
    QString product, supplier, range, color;
    double extrasPrice = 0, itemPrice = 0;
    bool manualPrice = false, exclude = false;
    QString bandOverride, band;
    QStringList warnings;
    QString btypeCode, fabricCode;
    QVariantMap calc, data;
    QVector<OptionRecord> options;   // only the groups that are stored
};

struct OrderRecord
{
    QString orderID, manOrderID;
    QDateTime sentDate;
    QString custAddress, custName, custAddr, custPcode, custPhone, custEmail;
    int mailCheckResult = 0;
    QString jobNotes, orderNotes, quoteNotes;
    double fitting = 0, discount = 0, deposit = 0, finalPrice = 0;
    QString paytype, signature;
    bool confirmed = false;
    QDateTime date, appointment;
    int apmins = 0;
    QString apType;
    bool toCust = false, perItemPrice = false, exVat = false, agreeChk = false;
    QString xto, xfrom, otid, supplierRcpt;
    QVariantMap properties;
    QVector<ItemRecord> items;
};

// The order file's JSON object (members left out when empty).
QJsonObject orderRecordJson(const OrderRecord &order);
