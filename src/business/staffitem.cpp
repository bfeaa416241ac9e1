#include "staffitem.h"

#include <QDate>

StaffItem::StaffItem(QObject *parent)
    : QObject(parent)
{
}

StaffItem::StaffItem(const QString &staffID, const QString &shortName, const QString &fullName,
                     const QString &accessCode, const QString &jday, QObject *parent)
    : QObject(parent)
{
    m_staffID = staffID;
    m_shortName = shortName;
    m_fullName = fullName;
    m_accessCode = accessCode;
    m_jday = jday;
}

QString StaffItem::codeState() const
{
    bool ok = false;
    const qint64 day = m_jday.toLongLong(&ok);
    if (m_accessCode.isEmpty() || !ok)
        return QString();
    return QDate::currentDate().toJulianDay() >= day + 1 ? QStringLiteral("Expired") : QString();
}

QString StaffItem::entry() const
{
    return QStringLiteral("%1:%2:%3:%4").arg(m_shortName, m_fullName, m_accessCode, m_jday);
}
