#include "orders/saveditem.h"

#include <QJsonValue>

namespace {

QString text(const QJsonObject &obj, const char *key)
{
    const QJsonValue v = obj.value(QLatin1String(key));
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
    m_manOrderID = text(obj, "manOrderID");
    const QDateTime appointment = QDateTime::fromString(text(obj, "apmnt"), Qt::ISODateWithMs);
    if (appointment.isValid())
        m_appTime = appointment.toString(QStringLiteral("h:mm a"));
    m_fitting = text(obj, "apType").toLower() == QLatin1String("fitting");
    m_custAddr = text(obj, "custAddr").replace(QLatin1Char('\n'), QLatin1Char(','));
    const QJsonValue confirm = obj.value(QLatin1String("confirm"));
    m_confirmed = confirm.isBool() && confirm.toBool();
    m_xfrom = text(obj, "xfrom");
    m_sortDate = appointment.isValid() ? appointment : fileTime;
    m_sortDate_s = m_sortDate.toString(QStringLiteral("ddd d MMM"));
    m_supplierRcpt = text(obj, "supplierRcpt");
    const QJsonValue pif = obj.value(QLatin1String("props")).toObject().value(QLatin1String("pif"));
    m_pif = pif.isBool() ? pif.toBool() : pif.toVariant().toBool();
    email = text(obj, "custEmail");
    phone = text(obj, "custPhone").remove(QLatin1Char(' '));
    xto = text(obj, "xto");
}
