#pragma once

#include <QSortFilterProxyModel>

// The order's items in a sortable view for the review screen.
class OrderSortFilterProxyModel : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
};
