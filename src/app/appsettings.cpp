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

#include <QDateTime>
#include <QDebug>
#include <QFileInfo>
#include <QLockFile>
#include <QThread>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

bool appSettings::clearStaleLock(const QString &settingsFile)
{
    const QString lockPath = settingsFile + QStringLiteral(".lock");
    for (int round = 0; round < 2; ++round) {
        const QFileInfo info(lockPath);
        if (!info.exists())
            return false;
        if (info.size() > 0) {
            // It names its process: a lock of a process that is gone is
            // removed at once, one held by a live process stays.
            QLockFile lock(lockPath);
            if (lock.tryLock(0)) {
                lock.unlock();
                qInfo() << "Removed the settings lock of a process that has ended:" << lockPath;
                return true;
            }
            return false;
        }
#ifdef Q_OS_UNIX
        // Empty: the process that made it died before it wrote its name (a
        // live one writes it straight after making the file, while it holds
        // the file's lock). Left alone, every save waits half a minute.
        const int fd = ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            return false;
        bool removed = false;
        const qint64 age = info.lastModified().msecsTo(QDateTime::currentDateTime());
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            // a moment's grace for a process between making and naming it
            if (age >= 200 || round > 0) {
                QFileInfo again(lockPath);
                again.refresh();
                removed = again.exists() && again.size() == 0 && ::unlink(QFile::encodeName(lockPath).constData()) == 0;
            }
        }
        ::close(fd);
        if (removed) {
            qInfo() << "Removed an empty settings lock left by a process that died:" << lockPath;
            return true;
        }
        if (age >= 200)
            return false;
        QThread::msleep(quint64(200 - qMax<qint64>(0, age)));
#else
        return false;
#endif
    }
    return false;
}

appSettings::appSettings(QObject *parent)
    : QSettings(QSettings::NativeFormat, QSettings::UserScope,
                QCoreApplication::organizationName(), QCoreApplication::applicationName(), parent)
{
    clearStaleLock(fileName());
}

appSettings::appSettings(const QString &fileName, QSettings::Format format, QObject *parent)
    : QSettings(fileName, format, parent)
{
    clearStaleLock(this->fileName());
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
    clearStaleLock(fileName());
    QSettings::sync();
}

void appSettings::remove(const QString &key)
{
    QSettings::remove(key);
}
