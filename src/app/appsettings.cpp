#include "appsettings.h"

#include <QCoreApplication>
#include <QJSValue>

namespace {

// A value handed over by the interface may be a script object (a JavaScript
// array arrives as a QJSValue). Stored as such it would be written as a
// binary blob of a type no other reader knows, into a file that the settings
// sync shares with every device: store plain values and text lists instead.
QVariant plainValue(const QVariant &value)
{
    QVariant plain = value;
    if (plain.userType() == qMetaTypeId<QJSValue>())
        plain = plain.value<QJSValue>().toVariant();
    if (plain.userType() == QMetaType::QVariantList) {
        QStringList texts;
        const QVariantList list = plain.toList();
        for (const QVariant &entry : list) {
            if (!entry.canConvert<QString>())
                return plain;
            texts.append(entry.toString());
        }
        return texts;
    }
    return plain;
}

} // namespace

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
    QSettings::setValue(key, plainValue(value));
}

void appSettings::setArray(const QString &key, const QVariant &value)
{
    const QVariant plain = plainValue(value);
    if (plain.userType() == QMetaType::QString) {
        QStringList parts = plain.toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
        for (QString &p : parts)
            p = p.trimmed();
        QSettings::setValue(key, parts);
    } else {
        QSettings::setValue(key, plain.toStringList());
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
