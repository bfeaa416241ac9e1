#pragma once

#include <QSettings>
#include <QVariant>

// A settings store the interface can use directly. Reading goes through one
// conversion: the stored texts "true"/"false" come back as booleans (some
// writers store words, others booleans) and a missing key without default
// comes back as the empty text rather than an invalid value.
class appSettings : public QSettings
{
    Q_OBJECT
public:
    // The user settings: native format, user scope, the application's names.
    explicit appSettings(QObject *parent = nullptr);
    // A settings file, e.g. the shared "lta.ini".
    appSettings(const QString &fileName, QSettings::Format format, QObject *parent = nullptr);

    Q_INVOKABLE void setValue(const QString &key, const QVariant &value);
    Q_INVOKABLE void setArray(const QString &key, const QVariant &value);
    Q_INVOKABLE QVariant value(const QString &key, const QVariant &defaultValue) const;
    Q_INVOKABLE QVariant value(const QString &key) const;
    Q_INVOKABLE void sync();
    Q_INVOKABLE void remove(const QString &key);

    // Removes the lock file ("<file>.lock") of a settings file when the
    // process that made it has ended, so the next save does not wait for
    // it to grow old. True when one was removed.
    static bool clearStaleLock(const QString &settingsFile);

    // The conversion on its own, for values read some other way.
    static QVariant convert(const QVariant &stored);
};
