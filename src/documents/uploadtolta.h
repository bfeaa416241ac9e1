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
