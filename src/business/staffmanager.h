#pragma once

#include "business/staffitem.h"
#include "models/qqmlobjectlistmodel.h"

#include <QObject>
#include <QPointer>
#include <QQmlParserStatus>
#include <QStringList>
#include <functional>

class CloudComms;
class QAmazonConnection;
class QQmlEngine;

// The staff list of the business: kept in the shared settings ("staff/" ID),
// numbered with IDs that are never reused, with one-day access codes
// published to the codes bucket for a surveyor's own device to sign in with.
// The first person is the administrator, who never gets a code.
class StaffManager : public QObject, public QQmlParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    Q_PROPERTY(QStringList allTeams READ allTeams WRITE setAllTeams NOTIFY allTeamsChanged)
    Q_PROPERTY(QString error READ error WRITE setError NOTIFY errorChanged)
    Q_PROPERTY(QStringList staffList READ staffList NOTIFY staffListChanged)
    Q_PROPERTY(QStringList staffIDList READ staffIDList NOTIFY staffIDListChanged)
public:
    explicit StaffManager(QObject *parent = nullptr);
    ~StaffManager() override;

    QStringList allTeams() const { return m_allTeams; }
    void setAllTeams(const QStringList &teams);
    QString error() const { return m_error; }
    void setError(const QString &error);
    QStringList staffList() const;
    QStringList staffIDList() const;

    Q_INVOKABLE bool updateStaff(int staffIndex, const QString &staffID, const QString &shortName,
                                 const QString &fullName);
    Q_INVOKABLE void saveStaff(StaffItem *staffItem);
    Q_INVOKABLE void saveAllStaff();
    Q_INVOKABLE bool removeStaff(int staffIndex, const QString &staffID);
    Q_INVOKABLE StaffItem *getStaffItem(int index) const;
    Q_INVOKABLE QQmlObjectListModelBase *getStaffItems() { return &m_items; }
    Q_INVOKABLE QString nameFromID(const QString &staffID) const;
    Q_INVOKABLE QString fullNameFromShortName(const QString &shortName) const;
    Q_INVOKABLE QString staffConnectCode(int staffIndex);

    // Reloads the list from the shared settings.
    void load();
    // Lets the cloud controller refresh, add and look up staff through this
    // list (sign-in, registration); undone on destruction.
    void connectTo(CloudComms *comms);

    // Draws a number in [0, bound); the system's secure generator unless a
    // test puts in its own.
    void setGenerator(std::function<quint32(quint32 bound)> draw) { m_draw = std::move(draw); }
    // One access code drawn with the generator: a letter of the code set
    // and a number from 1000 to 9998.
    QString drawCode() const;
    static const char *kCodeLetters;

    // Publishes the list as "staffItems" before the bindings that use it
    // are evaluated.
    void classBegin() override;
    void componentComplete() override {}

signals:
    void allTeamsChanged(const QStringList &allTeams);
    void errorChanged(const QString &error);
    void staffListChanged(const QStringList &staffList);
    void staffIDListChanged(const QStringList &staffIDList);

private:
    bool fail(const QString &message);
    QString validName(const QString &what, const QString &name);
    qint64 nextStaffID() const;
    void emitLists();

    QQmlObjectListModel<StaffItem> m_items;
    QStringList m_allTeams;
    QString m_error;
    std::function<quint32(quint32)> m_draw;
    QAmazonConnection *m_conn = nullptr;
    QPointer<CloudComms> m_comms;
    QPointer<QQmlEngine> m_engine;
};
