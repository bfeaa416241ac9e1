#pragma once

#include "models/comboboxmodel.h"

#include <QObject>
#include <QRegularExpression>
#include <QSortFilterProxyModel>

class QQmlContext;
class SavedItem;
template<typename T> class QQmlObjectListModel;

// One saved-order list as the orders screen shows it: sorted by the rows'
// display role (appointment or file time) and filtered by a search text and
// a filter type (0 all, 1 with a supplier receipt, 2 with a transfer target).
class SavdOrderSortFilterProxyModel : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    int filterType() const { return m_filterType; }
    void setFilterType(int type);
    QString search() const { return m_search; }
    void setSearch(const QString &pattern);
    void setSourceModel(QAbstractItemModel *model) override;

protected:
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    const QQmlObjectListModel<SavedItem> *m_rows = nullptr;
    int m_filterType = 0;
    QString m_search;
    QRegularExpression m_pattern;
};

// The five stored-order lists (received, in progress, to post, sent,
// backups), deleting stored orders, purging old ones and the order summary
// of the orders screen.
class SavedOrders : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int toPost READ toPost NOTIFY toPostChanged)

public:
    enum List { ReceivedList, InProgressList, ToPostList, PostedList, BackupList, ListCount };

    explicit SavedOrders(QObject *parent = nullptr);
    ~SavedOrders() override;

    void setContextProperties(QQmlContext *context);

    int toPost() const { return m_toPost; }
    QQmlObjectListModel<SavedItem> *model(List list) const { return m_models[list]; }
    SavdOrderSortFilterProxyModel *proxy(List list) const { return m_proxies[list]; }
    ComboBoxModel &usersCBModel() { return m_usersCBModel; }

    // Reloads one list from its folders without purging anything.
    void reload(List list);
    // Removes the files of a folder last modified more than the given number
    // of days (at least 3) before today.
    static void purgeFolder(const QString &folder, int days);
    // Days sent orders are kept ("d2r_i"): the settings screen's default and
    // range, so that a stray stored value cannot delete orders early.
    enum KeepSent { KeepSentMin = 60, KeepSentDefault = 180, KeepSentMax = 365 };
    Q_ENUM(KeepSent)
    Q_INVOKABLE static int keepSentDays();
    // "45 mins", "1 hour", "1.5 hrs", "2 hrs 15 mins".
    static QString durationText(int minutes);

    Q_INVOKABLE void getReceived();
    Q_INVOKABLE void getInProgress();
    Q_INVOKABLE void getToPost();
    Q_INVOKABLE void getPosted();
    Q_INVOKABLE void getBackup();
    Q_INVOKABLE bool deleteOrder(const QString &orderID);
    Q_INVOKABLE void setUserList();
    Q_INVOKABLE QString infoText(const QString &orderID, int orderState);
    Q_INVOKABLE void sortLists(bool ascending);
    Q_INVOKABLE void search(const QString &filter);
    Q_INVOKABLE void postedFilter(int filterType);

signals:
    void toPostChanged(int toPost);

private:
    void loadFolder(List list, int state);
    void sortList(List list);

    QQmlObjectListModel<SavedItem> *m_models[ListCount];
    SavdOrderSortFilterProxyModel *m_proxies[ListCount];
    ComboBoxModel m_usersCBModel;
    Qt::SortOrder m_sortOrder = Qt::DescendingOrder;
    int m_toPost = 0;
};
