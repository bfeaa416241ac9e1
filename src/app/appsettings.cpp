#include "appsettings.h"

#include <QCoreApplication>

appSettings::appSettings(QObject *parent)
    : QSettings(QSettings::NativeFormat, QSettings::UserScope,
                QCoreApplication::organizationName(), QCoreApplication::applicationName(), parent)
{
}

appSettings::appSettings(const QString &fileName, QSettings::Format format, QObject *parent)
    : QSettings(fileName, format, parent)
{
}

void appSettings::setValue(const QString &key, const QVariant &value)
{
    QSettings::setValue(key, value);
}

void appSettings::setArray(const QString &key, const QVariant &value)
{
    if (value.userType() == QMetaType::QString) {
        QStringList parts = value.toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
        for (QString &p : parts)
            p = p.trimmed();
        QSettings::setValue(key, parts);
    } else {
        QSettings::setValue(key, value.toStringList());
    }
}

QVariant appSettings::convert(const QVariant &stored)
{
    if (stored.isNull())
        return QString();
    if (stored.userType() == QMetaType::Bool)
        return stored;
    const int type = stored.userType();
    if (type != QMetaType::QStringList && type != QMetaType::QVariantList && stored.canConvert<QString>()) {
        const QString text = stored.toString();
        if (text == QLatin1String("false"))
            return false;
        if (text == QLatin1String("true"))
            return true;
    }
    return stored;
}

QVariant appSettings::value(const QString &key, const QVariant &defaultValue) const
{
    return convert(QSettings::value(key, defaultValue));
}

QVariant appSettings::value(const QString &key) const
{
    return convert(QSettings::value(key));
}

void appSettings::sync()
{
    QSettings::sync();
}

void appSettings::remove(const QString &key)
{
    QSettings::remove(key);
}
