#include "qqmlobjectlistmodel.h"

QQmlObjectListModelBase::QQmlObjectListModelBase(QObject *parent)
    : QAbstractListModel(parent)
{
}
