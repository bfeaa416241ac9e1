#pragma once

#include "business/businessmanager.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVector>

// The files the supplier keeps for the business on its FTP server (named in
// "edi.cfg"): one address file per account and the stock file with the lead
// time. Fetching and reading them, apart from storing.

struct SupplierItem;

// Downloads path from the supplier's FTP server into *body, waiting in a
// local event loop; "" or the transfer's error text (without the password).
QString fetchSupplierFile(const SupplierItem &supplier, const QString &path, QByteArray *body);

// An address file read and checked: every delivery address by account
// (several accounts when fetched through an "M" number), the business name
// of each account, or the error that rejects the whole file.
struct AccountAddresses
{
    QString error;
    QMap<QString, QVector<BusinessEntry>> entries;
    QMap<QString, QString> names;
};
AccountAddresses parseAccountAddresses(const QByteArray &body, const QString &number);

// The user's message for a failed address download of number.
QString addressFetchError(const QString &transferError, const QString &number);

// The lead time in working days from the stock file; "" or the error.
QString parseLeadTime(const QByteArray &body, int *days);
// The user's message for a failed stock file download.
QString leadTimeFetchError(const QString &transferError);
