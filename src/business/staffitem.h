#pragma once

#include "orders/propertymacros.h"

#include <QObject>
#include <QString>

// One member of staff: the ID that numbers their orders, their names and the
// last access code made for them with the Julian day it was made.
class StaffItem : public QObject
{
    Q_OBJECT
    LTA_RO_PROPERTY(QString, staffID)
    LTA_RW_PROPERTY(QString, shortName)
    LTA_RW_PROPERTY(QString, fullName)
    LTA_RO_PROPERTY(QString, accessCode)
    LTA_RO_PROPERTY(QString, jday)
    // "Expired" once the day the code was made has passed, else "".
    Q_PROPERTY(QString codeState READ codeState NOTIFY jdayChanged)
public:
    explicit StaffItem(QObject *parent = nullptr);
    StaffItem(const QString &staffID, const QString &shortName, const QString &fullName,
              const QString &accessCode = QString(), const QString &jday = QString(), QObject *parent = nullptr);

    QString codeState() const;
    // The stored form "short:full:code:jday".
    QString entry() const;
};
