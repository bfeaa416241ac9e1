#include "qqmlvariantlistmodel.h"

namespace {
constexpr int ValueRole = Qt::UserRole;
}

class QQmlVariantListModelPrivate
{
public:
    bool validRow(int row) const { return row >= 0 && row < items.count(); }

    QVariantList items;
    int count = 0;
    QHash<int, QByteArray> roles{{ValueRole, QByteArrayLiteral("qtVariant")}};
};

QQmlVariantListModel::QQmlVariantListModel(QObject *parent)
    : QAbstractListModel(parent)
    , d(new QQmlVariantListModelPrivate)
{
}

QQmlVariantListModel::~QQmlVariantListModel() = default;

int QQmlVariantListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : d->items.count();
}

QVariant QQmlVariantListModel::data(const QModelIndex &index, int role) const
{
    if (role != ValueRole || !d->validRow(index.row()))
        return QVariant();
    return d->items.at(index.row());
}

bool QQmlVariantListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != ValueRole || !d->validRow(index.row()))
        return false;
    d->items[index.row()] = value;
    emit dataChanged(index, index, {ValueRole});
    return true;
}

QHash<int, QByteArray> QQmlVariantListModel::roleNames() const
{
    return d->roles;
}

void QQmlVariantListModel::clear()
{
    if (d->items.isEmpty())
        return;
    beginRemoveRows(QModelIndex(), 0, d->items.count() - 1);
    d->items.clear();
    endRemoveRows();
    updateCount();
}

int QQmlVariantListModel::count() const
{
    return d->items.count();
}

bool QQmlVariantListModel::isEmpty() const
{
    return d->items.isEmpty();
}

void QQmlVariantListModel::append(const QVariant &item)
{
    insertList(d->items.count(), QVariantList{item});
}

void QQmlVariantListModel::prepend(const QVariant &item)
{
    insertList(0, QVariantList{item});
}

void QQmlVariantListModel::insert(int idx, const QVariant &item)
{
    insertList(idx, QVariantList{item});
}

void QQmlVariantListModel::appendList(const QVariantList &itemList)
{
    insertList(d->items.count(), itemList);
}

void QQmlVariantListModel::prependList(const QVariantList &itemList)
{
    insertList(0, itemList);
}

void QQmlVariantListModel::replace(int pos, const QVariant &item)
{
    if (!d->validRow(pos))
        return;
    d->items[pos] = item;
    const QModelIndex idx = index(pos, 0);
    emit dataChanged(idx, idx, {ValueRole});
}

void QQmlVariantListModel::insertList(int idx, const QVariantList &itemList)
{
    // Rows outside 0..count would break the list and the views' bookkeeping.
    if (itemList.isEmpty() || idx < 0 || idx > d->items.count())
        return;
    beginInsertRows(QModelIndex(), idx, idx + itemList.count() - 1);
    for (int i = 0; i < itemList.count(); ++i)
        d->items.insert(idx + i, itemList.at(i));
    endInsertRows();
    updateCount();
}

void QQmlVariantListModel::move(int idx, int pos)
{
    if (idx == pos || !d->validRow(idx) || !d->validRow(pos))
        return;
    // The framework names the row the moved one lands in front of.
    const int destination = pos > idx ? pos + 1 : pos;
    beginMoveRows(QModelIndex(), idx, idx, QModelIndex(), destination);
    d->items.move(idx, pos);
    endMoveRows();
}

void QQmlVariantListModel::remove(int idx)
{
    if (!d->validRow(idx))
        return;
    beginRemoveRows(QModelIndex(), idx, idx);
    d->items.removeAt(idx);
    endRemoveRows();
    updateCount();
}

QVariant QQmlVariantListModel::get(int idx) const
{
    return d->validRow(idx) ? d->items.at(idx) : QVariant();
}

QVariantList QQmlVariantListModel::list() const
{
    return d->items;
}

void QQmlVariantListModel::updateCount()
{
    if (d->count == d->items.count())
        return;
    d->count = d->items.count();
    emit countChanged(d->count);
}
