#include "productdb.h"

#include "app/appcontext.h"
#include "app/appsettings.h"

#include <QDebug>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

// Fields are never NULL: a null text is stored as the empty text.
QVariant bindable(const QString &text)
{
    return text.isNull() ? QVariant(QString(QLatin1String(""))) : QVariant(text);
}

void logFailure(const QSqlQuery &query)
{
    qCritical().noquote() << query.lastError().text() + QStringLiteral("\r\n") + query.lastQuery();
}

void appendMissing(QStringList &list, const QStringList &names)
{
    for (const QString &name : names) {
        if (!name.isEmpty() && !list.contains(name, Qt::CaseInsensitive))
            list.append(name);
    }
}

} // namespace

QString ProductDb::defaultPath()
{
    return AppContext::dataFolder + QStringLiteral("/db/products.db3");
}

ProductDb::ProductDb(const QString &path, const QString &connectionName)
    : m_connection(connectionName)
{
    // A second database object (a second order, a test) gets a connection of
    // its own rather than taking over, and later closing, the first one's.
    for (int n = 2; QSqlDatabase::contains(m_connection); ++n)
        m_connection = connectionName + QString::number(n);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(path);
    if (!db.open()) {
        qCritical().noquote() << "Failed to open products db" << db.lastError().text();
        return;
    }
    const QString create = QStringLiteral(
        "CREATE TABLE IF NOT EXISTS Products (prodID INTEGER PRIMARY KEY, product TEXT, supplier TEXT, "
        "range TEXT, colour TEXT, UNIQUE(product, supplier, range, colour))");
    QSqlQuery query(db);
    if (!query.exec(create)) {
        qCritical().noquote() << "Failed to create table" << query.lastError().text() + QStringLiteral("\r\n") + create;
        return;
    }
    m_open = true;
}

ProductDb::~ProductDb()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

bool ProductDb::run(QSqlQuery &query, const QString &statement, const QStringList &values) const
{
    if (!query.prepare(statement)) {
        logFailure(query);
        return false;
    }
    for (const QString &value : values)
        query.addBindValue(bindable(value));
    if (!query.exec()) {
        logFailure(query);
        return false;
    }
    return true;
}

QStringList ProductDb::select(const QString &statement, const QStringList &values) const
{
    QStringList result;
    if (!m_open)
        return result;
    QSqlQuery query(QSqlDatabase::database(m_connection));
    if (!run(query, statement, values))
        return result;
    while (query.next())
        result.append(query.value(0).toString());
    return result;
}

QStringList ProductDb::products() const
{
    return select(QStringLiteral("SELECT DISTINCT product from Products"), {});
}

void ProductDb::suppliers(const QString &product, QStringList &list) const
{
    appendMissing(list, select(QStringLiteral("SELECT DISTINCT supplier from Products WHERE product=?"),
                               {product}));
}

void ProductDb::ranges(const QString &product, const QString &supplier, QStringList &list) const
{
    appendMissing(list, select(QStringLiteral("SELECT DISTINCT range from Products WHERE product=? AND supplier=?"),
                               {product, supplier}));
}

void ProductDb::colours(const QString &product, const QString &supplier, const QString &range,
                        QStringList &list) const
{
    appendMissing(list, select(QStringLiteral("SELECT DISTINCT colour from Products WHERE product=? AND "
                                              "supplier=? AND range=?"),
                               {product, supplier, range}));
}

bool ProductDb::insertAndClear(const QString &insert, const QStringList &insertValues,
                               const QString &clear, const QStringList &clearValues)
{
    if (!m_open)
        return false;
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    QSqlQuery query(db);
    if (!run(query, insert, insertValues))
        return false;
    // Names are bound, not pasted into the text: a name holding a quote, or
    // equal to a column name, must not change what the statement removes.
    QSqlQuery remove(db);
    if (!clear.isEmpty() && !run(remove, clear, clearValues))
        return false;
    if (appSettings *settings = AppContext::userSettings())
        settings->setValue(QStringLiteral("dbmod"), true);
    return true;
}

bool ProductDb::addProduct(const QString &product)
{
    return insertAndClear(
        QStringLiteral("INSERT into Products (product, supplier, range, colour) values(?, '','','')"),
        {product}, QString(), {});
}

bool ProductDb::addSupplier(const QString &product, const QString &supplier)
{
    return insertAndClear(
        QStringLiteral("INSERT into Products (product, supplier, range, colour) values(?, ?, '','')"),
        {product, supplier},
        QStringLiteral("DELETE from Products where product = ? and supplier = '' and range='' and colour='' "),
        {product});
}

bool ProductDb::addRange(const QString &product, const QString &supplier, const QString &range)
{
    return insertAndClear(
        QStringLiteral("INSERT into Products (product, supplier, range, colour) values(?, ?, ?, '')"),
        {product, supplier, range},
        QStringLiteral("DELETE from Products where product = ? and supplier = ? and range = '' and colour=''"),
        {product, supplier});
}

bool ProductDb::addColour(const QString &product, const QString &supplier, const QString &range,
                          const QString &colour)
{
    return insertAndClear(
        QStringLiteral("INSERT into Products (product, supplier, range, colour) values(?, ?, ?, ?)"),
        {product, supplier, range, colour},
        QStringLiteral("DELETE from Products where product = ? and supplier = ? and range = ? and colour = ''"),
        {product, supplier, range});
}

bool ProductDb::addItem(const QString &type, const QString &name, const QString &product,
                        const QString &supplier, const QString &range)
{
    if (type == QLatin1String("product"))
        return addProduct(name);
    if (type == QLatin1String("supplier"))
        return addSupplier(product, name);
    if (type == QLatin1String("range"))
        return addRange(product, supplier, name);
    if (type == QLatin1String("colour"))
        return addColour(product, supplier, range, name);
    return false;
}

int ProductDb::addCatalogueProducts(const QStringList &names)
{
    if (!m_open)
        return 0;
    const QStringList known = products();
    int added = 0;
    for (const QString &name : names) {
        if (name.trimmed().isEmpty() || known.contains(name, Qt::CaseInsensitive))
            continue;
        QSqlQuery query(QSqlDatabase::database(m_connection));
        if (run(query, QStringLiteral("INSERT into Products (product, supplier, range, colour) values(?, '','','')"),
                {name}))
            ++added;
    }
    return added;
}
