#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QObject>

// A row's value: read by the list's roles, fixed once the row is made (a
// list is reloaded, never edited in place), so it needs no change signal and
// the list model follows no connections per row.
#define LTA_SAVED_PROPERTY(type, name)                                                             \
    Q_PROPERTY(type name READ name CONSTANT)                                                       \
public:                                                                                            \
    type name() const { return m_##name; }                                                         \
                                                                                                   \
private:                                                                                           \
    type m_##name{};

// One row of a saved-order list: the few members of an order file the
// orders screen shows, sorts and searches by.
class SavedItem : public QObject
{
    Q_OBJECT
    LTA_SAVED_PROPERTY(QString, orderID)
    LTA_SAVED_PROPERTY(QString, manOrderID)
    LTA_SAVED_PROPERTY(QString, appTime)
    LTA_SAVED_PROPERTY(bool, fitting)
    LTA_SAVED_PROPERTY(QString, custAddr)
    LTA_SAVED_PROPERTY(bool, confirmed)
    LTA_SAVED_PROPERTY(QString, xfrom)
    LTA_SAVED_PROPERTY(int, orderState)
    // the appointment, else the file's modification time
    Q_PROPERTY(QDateTime sortDate READ sortDate CONSTANT)
    // sortDate's day as "ddd d MMM"
    Q_PROPERTY(QString sortDate_s READ sortDate_s CONSTANT)
    LTA_SAVED_PROPERTY(QString, supplierRcpt)
    LTA_SAVED_PROPERTY(bool, pif)

public:
    explicit SavedItem(QObject *parent = nullptr);
    // A row from an order file's object; fileTime stands in for a missing
    // appointment when sorting.
    SavedItem(const QString &orderID, int orderState, const QJsonObject &obj, const QDateTime &fileTime,
              QObject *parent = nullptr);
    // The same with the file time as milliseconds since the epoch (UTC): a
    // long list then converts to local time only the rows it shows.
    SavedItem(const QString &orderID, int orderState, const QJsonObject &obj, qint64 fileTimeMs,
              QObject *parent = nullptr);

    QDateTime sortDate() const;
    QString sortDate_s() const;
    // sortDate as milliseconds since the epoch, for sorting; false when
    // sortDate is invalid.
    bool sortKey(qint64 *ms) const;

    QString email;
    QString phone; // without blanks, so searches need no blanks either
    QString xto;

private:
    void read(const QJsonObject &obj);

    QDateTime m_appointment;
    qint64 m_appointmentMs = 0;
    qint64 m_fileTimeMs = 0;
    bool m_hasFileTime = false;
    // made when first asked for
    mutable QDateTime m_sortDate;
    mutable QString m_sortDate_s;
    mutable bool m_sortDateMade = false;
    mutable bool m_sortDateTextMade = false;
};
