#pragma once

#include "cloud/ediconnection.h"

#include <QJsonObject>
#include <QObject>
#include <QVariantMap>

// Base of the exporters that deliver an order to a supplier's system: holds
// the file to send and the supplier's connection values, offers small JSON
// readers and delivers the file over FTP (PUT) or HTTPS (POST), waiting for
// the transfer in a local event loop.
class UploadTo3rdParty : public QObject
{
    Q_OBJECT
public:
    explicit UploadTo3rdParty(QObject *parent = nullptr);

    // Exports the order file for the account and delivers it: "" or the error.
    virtual QString upload(const QString &orderPath, const QString &accountCode) = 0;

    void setSupplier(const SupplierItem &supplier) { m_supplier = supplier; }
    const SupplierItem &supplier() const { return m_supplier; }
    QString filePath() const { return m_filePath; }

    // Sends the file path to remotePath on the supplier's drop: "" or the
    // error (never holding the password). Over FTP the file is written under
    // a temporary name and renamed, so the drop never shows part of it; a
    // second delivery to the same path replaces what a broken one left.
    QString uploadData(const QString &remotePath);

    static bool jsonFromFile(const QString &path, QJsonObject *out);
    // "" when the member is missing; else its integer value as decimal text.
    static QString jsonInt(const QJsonObject &object, const QString &key);
    // "" when the member is missing; else the member as text.
    static QString jsonString(const QJsonObject &object, const QString &key);

protected:
    QString m_filePath;
    QJsonObject m_order;
    QVariantMap m_map;
    SupplierItem m_supplier;
};
