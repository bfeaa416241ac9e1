#pragma once

#include <QAbstractListModel>
#include <QScopedPointer>
#include <QVariant>
#include <QVariantList>

class QQmlVariantListModelPrivate;

// A list model of plain values (e.g. the order's room names). The only role,
// "qtVariant", yields the value itself.
class QQmlVariantListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit QQmlVariantListModel(QObject *parent = nullptr);
    ~QQmlVariantListModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::UserRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::UserRole) override;
    QHash<int, QByteArray> roleNames() const override;

    Q_INVOKABLE void clear();
    Q_INVOKABLE int count() const;
    Q_INVOKABLE bool isEmpty() const;
    Q_INVOKABLE void append(const QVariant &item);
    Q_INVOKABLE void prepend(const QVariant &item);
    Q_INVOKABLE void insert(int idx, const QVariant &item);
    Q_INVOKABLE void appendList(const QVariantList &itemList);
    Q_INVOKABLE void prependList(const QVariantList &itemList);
    Q_INVOKABLE void replace(int pos, const QVariant &item);
    Q_INVOKABLE void insertList(int idx, const QVariantList &itemList);
    Q_INVOKABLE void move(int idx, int pos);
    Q_INVOKABLE void remove(int idx);
    Q_INVOKABLE QVariant get(int idx) const;
    Q_INVOKABLE QVariantList list() const;

signals:
    void countChanged(int count);

private:
    void updateCount();

    QScopedPointer<QQmlVariantListModelPrivate> d;
};
