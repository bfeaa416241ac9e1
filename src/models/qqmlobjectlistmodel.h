#pragma once

#include <QAbstractListModel>
#include <QByteArray>
#include <QDebug>
#include <QHash>
#include <QList>
#include <QSet>
#include <QMetaMethod>
#include <QMetaObject>
#include <QMetaProperty>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVector>

// The interface reaches every instantiation of QQmlObjectListModel through this
// one type: moc cannot process a class template, so the invokable operations
// and the change slot are declared here as virtuals and implemented per item
// class by the template below.
class QQmlObjectListModelBase : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    explicit QQmlObjectListModelBase(QObject *parent = nullptr);

    Q_INVOKABLE virtual int size() const = 0;
    Q_INVOKABLE virtual int count() const = 0;
    Q_INVOKABLE virtual bool isEmpty() const = 0;
    Q_INVOKABLE virtual bool contains(QObject *item) const = 0;
    Q_INVOKABLE virtual int indexOf(QObject *item) const = 0;
    Q_INVOKABLE virtual int roleForName(const QByteArray &name) const = 0;
    Q_INVOKABLE virtual void clear() = 0;
    Q_INVOKABLE virtual void append(QObject *item) = 0;
    Q_INVOKABLE virtual void prepend(QObject *item) = 0;
    Q_INVOKABLE virtual void insert(int idx, QObject *item) = 0;
    Q_INVOKABLE virtual void move(int idx, int pos) = 0;
    Q_INVOKABLE virtual void remove(QObject *item) = 0;
    Q_INVOKABLE virtual void remove(int idx) = 0;
    Q_INVOKABLE virtual QObject *get(int idx) const = 0;
    Q_INVOKABLE virtual QObject *get(const QString &uid) const = 0;
    Q_INVOKABLE virtual QObject *getFirst() const = 0;
    Q_INVOKABLE virtual QObject *getLast() const = 0;
    Q_INVOKABLE virtual QVariantList toVarArray() const = 0;

    // Called by an item's relay (below) when the item emitted its k-th
    // notify signal; for the model's own use.
    virtual void relayItemSignal(QObject *item, int k) = 0;

signals:
    void countChanged();

protected slots:
    // Connected to the notify signal of every property of every item.
    virtual void onItemPropertyChanged() = 0;
};

// Follows one item's notify signals for its model. Each signal is connected
// to a method number of its own past QObject's, so the change reaches the
// model with the item and the signal named, without the model asking which
// object or signal sent it (in Qt 5 sender() walks every connection to the
// model, so that cost grows with the list).
class QQmlObjectListModelRelay : public QObject
{
public:
    QQmlObjectListModelRelay(QQmlObjectListModelBase *model, QObject *item) : m_model(model), m_item(item) {}
    static int firstMethod() { return QObject::staticMetaObject.methodCount(); }
    int qt_metacall(QMetaObject::Call call, int id, void **argv) override
    {
        id = QObject::qt_metacall(call, id, argv);
        if (id < 0 || call != QMetaObject::InvokeMetaMethod)
            return id;
        m_model->relayItemSignal(m_item, id);
        return -1;
    }

private:
    QQmlObjectListModelBase *m_model;
    QObject *m_item;
};

// A list model over objects of class T (which must carry Q_OBJECT). Every
// property of T is a role; the notify signals of the items are followed so
// that views learn about exactly the row and role that changed.
template <class T>
class QQmlObjectListModel : public QQmlObjectListModelBase
{
public:
    explicit QQmlObjectListModel(QObject *parent = nullptr,
                                 const QByteArray &displayRole = QByteArray(),
                                 const QByteArray &uidRole = QByteArray())
        : QQmlObjectListModelBase(parent)
        , m_displayRoleName(displayRole)
        , m_uidRoleName(uidRole)
        , m_metaObject(T::staticMetaObject)
    {
        // The roles come from the class, so they are worked out once per class:
        // an order makes one such list per item.
        const Layout &layout = Layout::of();
        for (const QByteArray &name : layout.reserved) {
            qWarning() << "Can't have" << name << "as a role name in"
                       << qPrintable(QStringLiteral("QQmlObjectListModel<%1>")
                                             .arg(QLatin1String(m_metaObject.className())));
        }
        m_roles = layout.roles;
        m_roleByName = layout.roleByName;
        m_notifySignals = layout.notifySignals;
        if (!m_displayRoleName.isEmpty()) {
            m_roles.insert(Qt::DisplayRole, QByteArrayLiteral("display"));
            m_roleByName.insert(QByteArrayLiteral("display"), Qt::DisplayRole);
        }
    }

    ~QQmlObjectListModel() override
    {
        // Items owned elsewhere outlive the model; they must not call back into
        // it. Its own items go with it, and their connections before them.
        for (T *item : qAsConst(m_items)) {
            if (item->parent() == this)
                continue;
            QObject::disconnect(item, nullptr, this, nullptr);
            QObject::disconnect(this, nullptr, item, nullptr);
        }
        qDeleteAll(m_relays);
    }

    // framework model
    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : m_items.count();
    }

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override
    {
        const int row = index.row();
        const QByteArray name = roleName(role);
        if (!validRow(row) || name.isEmpty())
            return QVariant();
        T *item = m_items.at(row);
        if (role == BaseRole)
            return QVariant::fromValue(static_cast<QObject *>(item));
        return item->property(name.constData());
    }

    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override
    {
        const int row = index.row();
        const QByteArray name = roleName(role);
        if (!validRow(row) || role == BaseRole || name.isEmpty())
            return false;
        return m_items.at(row)->setProperty(name.constData(), value);
    }

    QHash<int, QByteArray> roleNames() const override { return m_roles; }

    // invokable operations
    int size() const override { return m_items.count(); }
    int count() const override { return m_items.count(); }
    bool isEmpty() const override { return m_items.isEmpty(); }
    bool contains(QObject *item) const override { return indexOf(item) >= 0; }

    int indexOf(QObject *item) const override
    {
        // Compared as plain pointers: the object may be half-destroyed already.
        // A short list is searched; a long one looks rows up in a table
        // rebuilt after a move or removal.
        if (m_items.count() <= 32) {
            for (int i = 0; i < m_items.count(); ++i) {
                if (static_cast<QObject *>(m_items.at(i)) == item)
                    return i;
            }
            return -1;
        }
        if (!m_rowsValid) {
            m_rowOf.clear();
            m_rowOf.reserve(m_items.count());
            for (int i = 0; i < m_items.count(); ++i)
                m_rowOf.insert(m_items.at(i), i);
            m_rowsValid = true;
        }
        // a row left behind by the last row's removal is checked against the list
        const int row = m_rowOf.value(item, -1);
        return row >= 0 && row < m_items.count() && m_items.at(row) == item ? row : -1;
    }

    int roleForName(const QByteArray &name) const override { return m_roleByName.value(name, -1); }

    void clear() override
    {
        if (m_items.isEmpty())
            return;
        beginRemoveRows(QModelIndex(), 0, m_items.count() - 1);
        const QList<T *> leaving = m_items;
        m_items.clear();
        rowsChanged();
        for (T *item : leaving)
            dereferenceItem(item);
        endRemoveRows();
        updateCount();
    }

    void append(QObject *item) override { insert(m_items.count(), item); }

    // Appends many items as one insertion, so that views and proxies sort and
    // filter once rather than once per row (null or listed items are skipped).
    void append(const QList<T *> &items)
    {
        QList<T *> adding;
        adding.reserve(items.size());
        QSet<T *> seen;
        for (T *item : items) {
            if (item && !contains(item) && !seen.contains(item)) {
                adding.append(item);
                seen.insert(item);
            }
        }
        if (adding.isEmpty())
            return;
        beginInsertRows(QModelIndex(), m_items.count(), m_items.count() + adding.size() - 1);
        for (T *item : qAsConst(adding)) {
            m_items.append(item);
            if (m_rowsValid)
                m_rowOf.insert(item, m_items.count() - 1);
            referenceItem(item);
        }
        endInsertRows();
        updateCount();
    }
    void prepend(QObject *item) override { insert(0, item); }

    void insert(int idx, QObject *item) override
    {
        T *typed = qobject_cast<T *>(item);
        // A row outside 0..count would corrupt the list; an object already
        // held would be released (and maybe deleted) while still listed.
        if (!typed || idx < 0 || idx > m_items.count() || contains(typed))
            return;
        beginInsertRows(QModelIndex(), idx, idx);
        m_items.insert(idx, typed);
        if (idx == m_items.count() - 1 && m_rowsValid)
            m_rowOf.insert(typed, idx);   // appended: the other rows stay
        else
            rowsChanged();
        referenceItem(typed);
        endInsertRows();
        updateCount();
    }

    void move(int idx, int pos) override
    {
        if (idx == pos || !validRow(idx) || !validRow(pos))
            return;
        const int lower = qMin(idx, pos);
        const int higher = qMax(idx, pos);
        beginMoveRows(QModelIndex(), higher, higher, QModelIndex(), lower);
        m_items.move(higher, lower);
        rowsChanged();
        endMoveRows();
    }

    void remove(QObject *item) override { remove(indexOf(item)); }

    void remove(int idx) override
    {
        if (!validRow(idx))
            return;
        beginRemoveRows(QModelIndex(), idx, idx);
        T *item = m_items.takeAt(idx);
        if (idx != m_items.count())
            rowsChanged();   // the last row's removal leaves the others in place
        dereferenceItem(item);
        endRemoveRows();
        updateCount();
    }

    T *get(int idx) const override { return validRow(idx) ? m_items.at(idx) : nullptr; }

    T *get(const QString &uid) const override
    {
        if (m_uidRoleName.isEmpty())
            return nullptr;
        return m_indexByUid.value(uid, nullptr);
    }

    T *getFirst() const override { return m_items.isEmpty() ? nullptr : m_items.first(); }
    T *getLast() const override { return m_items.isEmpty() ? nullptr : m_items.last(); }

    QVariantList toVarArray() const override
    {
        QVariantList list;
        list.reserve(m_items.count());
        for (T *item : m_items)
            list.append(QVariant::fromValue(static_cast<QObject *>(item)));
        return list;
    }

    // for the program's own callers
    T *at(int idx) const { return get(idx); }
    const QList<T *> &toList() const { return m_items; }
    typename QList<T *>::const_iterator begin() const { return m_items.constBegin(); }
    typename QList<T *>::const_iterator end() const { return m_items.constEnd(); }
    QByteArray displayRoleName() const { return m_displayRoleName; }
    QByteArray uidRoleName() const { return m_uidRoleName; }

    void relayItemSignal(QObject *item, int k) override
    {
        if (k >= 0 && k < m_notifySignals.size())
            itemChanged(static_cast<T *>(item), m_notifySignals.at(k).second);
    }

protected:
    void onItemPropertyChanged() override {}

    // The items' changes are followed from the moment anything listens for
    // them: most lists (every item's option groups in a long order) are never
    // shown, and following costs an object and a connection per property.
    void connectNotify(const QMetaMethod &signal) override
    {
        if (m_following || signal != QMetaMethod::fromSignal(&QAbstractItemModel::dataChanged))
            return;
        m_following = true;
        for (T *item : qAsConst(m_items))
            follow(item);
    }

private:
    void itemChanged(T *item, int role)
    {
        const int row = indexOf(item);
        if (row < 0 || role < 0)
            return;
        const QModelIndex idx = index(row, 0);
        QVector<int> roles{role};
        const QByteArray name = m_roles.value(role);
        if (!m_displayRoleName.isEmpty() && name == m_displayRoleName)
            roles.append(Qt::DisplayRole);
        emit dataChanged(idx, idx, roles);
        if (!m_uidRoleName.isEmpty() && name == m_uidRoleName) {
            dropUid(item);
            enterUid(item);
        }
    }

    static constexpr int BaseRole = Qt::UserRole;

    // Every property of T is a role; a reserved name keeps its number unused,
    // so that the other roles do not shift when such a property is added to
    // or removed from T.
    struct Layout
    {
        QHash<int, QByteArray> roles;
        QHash<QByteArray, int> roleByName;
        QVector<QPair<int, int>> notifySignals;   // notify signal method index, role
        QList<QByteArray> reserved;

        static const Layout &of()
        {
            static const Layout layout = make();
            return layout;
        }

        static Layout make()
        {
            static const QByteArray reservedNames[] = {"id", "index", "class", "model", "modelData"};
            const QMetaObject &meta = T::staticMetaObject;
            Layout l;
            l.roles.insert(BaseRole, QByteArrayLiteral("qtObject"));
            for (int i = 0; i < meta.propertyCount(); ++i) {
                const int role = BaseRole + 1 + i;
                const QMetaProperty prop = meta.property(i);
                const QByteArray name(prop.name());
                bool isReserved = false;
                for (const QByteArray &r : reservedNames)
                    isReserved = isReserved || name == r;
                if (isReserved) {
                    l.reserved.append(name);
                    continue;
                }
                l.roles.insert(role, name);
                if (prop.hasNotifySignal())
                    l.notifySignals.append({prop.notifySignalIndex(), role});
            }
            for (auto it = l.roles.constBegin(); it != l.roles.constEnd(); ++it)
                l.roleByName.insert(it.value(), it.key());
            return l;
        }
    };

    void rowsChanged()
    {
        m_rowsValid = false;
        m_rowOf.clear();
    }

    bool validRow(int row) const { return row >= 0 && row < m_items.count(); }

    QByteArray roleName(int role) const
    {
        return role == Qt::DisplayRole ? m_displayRoleName : m_roles.value(role);
    }

    void follow(T *item)
    {
        auto *relay = new QQmlObjectListModelRelay(this, item);
        relay->moveToThread(thread());
        m_relays.insert(item, relay);
        for (int k = 0; k < m_notifySignals.size(); ++k)
            QMetaObject::connect(item, m_notifySignals.at(k).first, relay, QQmlObjectListModelRelay::firstMethod() + k,
                                 Qt::AutoConnection);
    }

    void referenceItem(T *item)
    {
        if (m_following)
            follow(item);
        if (!item->parent())
            item->setParent(this);
        // Deleted elsewhere while listed: drop the row rather than keep a
        // dangling pointer for the views to read.
        QObject::connect(item, &QObject::destroyed, this,
                         [this](QObject *obj) { removeDestroyed(obj); });
        enterUid(item);
    }

    void releaseSlot(QObject *item)
    {
        // erase() rather than take(): take() may shrink and rehash the table
        // at every removal, which costs a whole pass when a list is cleared
        const auto it = m_relays.find(item);
        if (it == m_relays.end())
            return;
        delete it.value();   // its connections go with it
        m_relays.erase(it);
    }

    void dereferenceItem(T *item)
    {
        QObject::disconnect(item, nullptr, this, nullptr);
        QObject::disconnect(this, nullptr, item, nullptr);
        releaseSlot(item);
        dropUid(item);
        if (item->parent() == this)
            item->deleteLater();
    }

    void removeDestroyed(QObject *obj)
    {
        const int idx = indexOf(obj);
        if (idx < 0)
            return;
        beginRemoveRows(QModelIndex(), idx, idx);
        T *item = m_items.takeAt(idx);
        rowsChanged();
        releaseSlot(item);
        const QString uid = m_uidOfItem.take(item);
        if (!uid.isEmpty() && m_indexByUid.value(uid) == item)
            m_indexByUid.remove(uid);
        endRemoveRows();
        updateCount();
    }

    void enterUid(T *item)
    {
        if (m_uidRoleName.isEmpty())
            return;
        const QString uid = item->property(m_uidRoleName.constData()).toString();
        if (uid.isEmpty())
            return;
        m_indexByUid.insert(uid, item);
        m_uidOfItem.insert(item, uid);
    }

    void dropUid(T *item)
    {
        const auto it = m_uidOfItem.find(item);
        if (it == m_uidOfItem.end())
            return;
        // Another item may have taken the same uid since; leave its entry alone.
        if (m_indexByUid.value(it.value()) == item)
            m_indexByUid.remove(it.value());
        m_uidOfItem.erase(it);
    }

    void updateCount()
    {
        if (m_count == m_items.count())
            return;
        m_count = m_items.count();
        emit countChanged();
    }

    QList<T *> m_items;
    int m_count = 0;
    const QByteArray m_displayRoleName;
    const QByteArray m_uidRoleName;
    const QMetaObject &m_metaObject;
    QHash<int, QByteArray> m_roles;
    QHash<QByteArray, int> m_roleByName;
    QVector<QPair<int, int>> m_notifySignals;   // notify signal method index, role
    QHash<const QObject *, QQmlObjectListModelRelay *> m_relays;
    mutable QHash<const QObject *, int> m_rowOf;
    mutable bool m_rowsValid = true;
    QHash<QString, T *> m_indexByUid;
    QHash<T *, QString> m_uidOfItem;
    // A uid role is kept up to date whether or not anyone listens.
    bool m_following = !m_uidRoleName.isEmpty();
};
