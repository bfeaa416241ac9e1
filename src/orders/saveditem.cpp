#include "orders/saveditem.h"

#include <QJsonValue>

namespace {

QString text(const QJsonObject &obj, QLatin1String key)
{
    const QJsonValue v = obj.value(key);
    return v.isString() ? v.toString() : QString();
}

} // namespace

SavedItem::SavedItem(QObject *parent)
    : QObject(parent)
{
}

SavedItem::SavedItem(const QString &orderID, int orderState, const QJsonObject &obj, const QDateTime &fileTime,
                     QObject *parent)
    : QObject(parent)
{
    m_orderID = orderID;
    m_orderState = orderState;
    read(obj);
    if (!m_appointment.isValid()) {
        m_sortDate = fileTime;
        m_sortDateMade = true;
        m_hasFileTime = fileTime.isValid();
        m_fileTimeMs = m_hasFileTime ? fileTime.toMSecsSinceEpoch() : 0;
    }
}

SavedItem::SavedItem(const QString &orderID, int orderState, const QJsonObject &obj, qint64 fileTimeMs,
                     QObject *parent)
    : QObject(parent)
{
    m_orderID = orderID;
    m_orderState = orderState;
    m_fileTimeMs = fileTimeMs;
    m_hasFileTime = true;
    read(obj);
}

void SavedItem::read(const QJsonObject &obj)
{
    m_manOrderID = text(obj, QLatin1String("manOrderID"));
    const QString apmnt = text(obj, QLatin1String("apmnt"));
    if (!apmnt.isEmpty())
        m_appointment = QDateTime::fromString(apmnt, Qt::ISODateWithMs);
    if (m_appointment.isValid()) {
        m_appTime = m_appointment.toString(QStringLiteral("h:mm a"));
        m_appointmentMs = m_appointment.toMSecsSinceEpoch();
        m_sortDate = m_appointment;
        m_sortDateMade = true;
    }
    m_fitting = text(obj, QLatin1String("apType")).toLower() == QLatin1String("fitting");
    m_custAddr = text(obj, QLatin1String("custAddr")).replace(QLatin1Char('\n'), QLatin1Char(','));
    const QJsonValue confirm = obj.value(QLatin1String("confirm"));
    m_confirmed = confirm.isBool() && confirm.toBool();
    m_xfrom = text(obj, QLatin1String("xfrom"));
    m_supplierRcpt = text(obj, QLatin1String("supplierRcpt"));
    const QJsonValue pif = obj.value(QLatin1String("props")).toObject().value(QLatin1String("pif"));
    m_pif = pif.isBool() ? pif.toBool() : pif.toVariant().toBool();
    email = text(obj, QLatin1String("custEmail"));
    phone = text(obj, QLatin1String("custPhone")).remove(QLatin1Char(' '));
    xto = text(obj, QLatin1String("xto"));
}

QDateTime SavedItem::sortDate() const
{
    if (!m_sortDateMade) {
        // local time, as a file's time is shown everywhere else
        m_sortDate = m_hasFileTime ? QDateTime::fromMSecsSinceEpoch(m_fileTimeMs) : QDateTime();
        m_sortDateMade = true;
    }
    return m_sortDate;
}

QString SavedItem::sortDate_s() const
{
    if (!m_sortDateTextMade) {
        m_sortDate_s = sortDate().toString(QStringLiteral("ddd d MMM"));
        m_sortDateTextMade = true;
    }
    return m_sortDate_s;
}

bool SavedItem::sortKey(qint64 *ms) const
{
    if (m_appointment.isValid()) {
        *ms = m_appointmentMs;
        return true;
    }
    if (!m_hasFileTime)
        return false;
    *ms = m_fileTimeMs;
    return true;
}
