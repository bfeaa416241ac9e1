#pragma once

#include "uploadto3rdparty.h"

#include <QHash>
#include <QStringList>

class QXmlStreamAttributes;

// Turns a saved order file into the product portal's XML order, written to
// the data folder's "tmp" folder (Shutter<orderID>.xml, kept there so the
// posting can attach it), and delivers it to the portal's drop.
class UploadToLTA : public UploadTo3rdParty
{
    Q_OBJECT
public:
    explicit UploadToLTA(QObject *parent = nullptr);

    // Exports, delivers as "/<ftpFolder>/Shutter_<account>_<ms>.xml" and on
    // success stores "<account>_<ms>" in the user setting "ltaUpload".
    QString upload(const QString &orderPath, const QString &accountCode) override;
    // The transfer name a new upload for the account gets: "<account>_<ms>".
    static QString newTransferName(const QString &accountCode);
    // Delivers the file exported last (orderToXml) under the transfer name
    // as "/<ftpFolder>/Shutter_<name>.xml" and on success stores the name in
    // "ltaUpload". "" or the transfer's error.
    QString deliver(const QString &accountCode, const QString &transferName);

    // Writes the XML file (filePath() afterwards); "" or the error. A
    // failure leaves any earlier file of the same order untouched. With
    // accountOverride the order is exported as for that account instead of
    // its own.
    QString orderToXml(const QString &orderPath, const QString &accountOverride = QString());

    // The "Perfect" range of shutters has its own attribute set.
    static bool isPerfectFit(const QString &product) { return product.contains(QLatin1String("erfect")); }

private:
    using OptionTable = QHash<QString, QStringList>;
    QString writeItem(const QJsonObject &item, int itemNumber, QXmlStreamAttributes *attrs);

    QHash<QString, int> m_roomCounters;
    bool m_stilesOnly = false;
};
