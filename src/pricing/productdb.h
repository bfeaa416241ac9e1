#pragma once

#include <QString>
#include <QStringList>

class QSqlQuery;

// The local database of product, supplier, range and colour names that users
// added by hand ("db/products.db3" in the data folder). Each row is one path
// product -> supplier -> range -> colour; a row whose deeper fields are ""
// is a placeholder that lets a name exist before it has children.
//
// The order's selection cascade merges these names with the catalogue's own
// (supplier files, range tables) through the list operations below, and adds
// names through the add operations with the current item's names as parents.
class ProductDb
{
public:
    static QString defaultPath();                  // data folder + "/db/products.db3"
    static QString defaultConnectionName() { return QStringLiteral("prodata"); }

    // Opens (creating when missing) the database file; check isOpen().
    explicit ProductDb(const QString &path = defaultPath(),
                       const QString &connectionName = defaultConnectionName());
    ~ProductDb();
    ProductDb(const ProductDb &) = delete;
    ProductDb &operator=(const ProductDb &) = delete;

    bool isOpen() const { return m_open; }
    QString connectionName() const { return m_connection; }

    QStringList products() const;
    // Each append the non-empty database names not already in list, compared
    // without regard to letter case.
    void suppliers(const QString &product, QStringList &list) const;
    void ranges(const QString &product, const QString &supplier, QStringList &list) const;
    void colours(const QString &product, const QString &supplier, const QString &range,
                 QStringList &list) const;

    // Each inserts one row and removes the parent's placeholder; false (and
    // nothing removed) when the name already exists or a statement fails.
    // Success marks the database changed ("dbmod") for the settings sync.
    bool addProduct(const QString &product);
    bool addSupplier(const QString &product, const QString &supplier);
    bool addRange(const QString &product, const QString &supplier, const QString &range);
    bool addColour(const QString &product, const QString &supplier, const QString &range,
                   const QString &colour);

    // addProduct/addSupplier/addRange/addColour by type name ("product",
    // "supplier", "range", "colour"); any other type does nothing (false).
    bool addItem(const QString &type, const QString &name, const QString &product,
                 const QString &supplier, const QString &range);

    // Gives every catalogue product that the database does not know yet its
    // product row, so a new device lists what its catalogue can price. These
    // rows come from the catalogue, not from the user, so "dbmod" stays as it
    // was. Returns the number of rows added.
    int addCatalogueProducts(const QStringList &names);

private:
    // Prepares, binds and runs one statement, logging a failure.
    bool run(QSqlQuery &query, const QString &statement, const QStringList &values) const;
    QStringList select(const QString &statement, const QStringList &values) const;
    bool insertAndClear(const QString &insert, const QStringList &insertValues,
                        const QString &clear, const QStringList &clearValues);

    QString m_connection;
    bool m_open = false;
};
