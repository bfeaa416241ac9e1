// The database of names added by hand: schema, placeholders, refusals and
// merging with the catalogue's own names.
#include "app/appcontext.h"
#include "app/appsettings.h"
#include "pricing/productdb.h"
#include "testenv.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <memory>

namespace {

using Row = QStringList;

// Every row as (product, supplier, range, colour), sorted, read through the
// database's own connection.
QList<Row> allRows(const ProductDb &db)
{
    QList<Row> rows;
    QSqlQuery q(QSqlDatabase::database(db.connectionName()));
    q.exec("SELECT product, supplier, range, colour FROM Products");
    while (q.next())
        rows.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString()});
    std::sort(rows.begin(), rows.end());
    return rows;
}

bool dbmod()
{
    return AppContext::userSettings()->value("dbmod", false).toBool();
}

} // namespace

class ProductDbTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_data;

private slots:
    void initTestCase() { TestEnv::initApp(); }
    void init()
    {
        m_data.reset(TestEnv::freshDataFolder());
        AppContext::userSettings()->remove("dbmod");
    }
    void cleanup()
    {
        AppContext::releaseSettings();
        m_data.reset();
    }

    void schemaInDataFolder();
    void addChainRemovesPlaceholders();
    void duplicatesRefused_data();
    void duplicatesRefused();
    void namesThatLookLikeSql();
    void mergingIgnoresCase();
    void openFailure();
};

void ProductDbTest::schemaInDataFolder()
{
    {
        ProductDb db;
        QVERIFY(db.isOpen());
        QCOMPARE(db.connectionName(), QStringLiteral("prodata"));
        QSqlQuery q(QSqlDatabase::database(db.connectionName()));
        QVERIFY(q.exec("SELECT sql FROM sqlite_master WHERE name = 'Products'"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(),
                 QStringLiteral("CREATE TABLE Products (prodID INTEGER PRIMARY KEY, product TEXT, supplier TEXT, "
                                "range TEXT, colour TEXT, UNIQUE(product, supplier, range, colour))"));
        QVERIFY(db.addProduct("Shutters"));
    }
    QVERIFY(QFile::exists(m_data->path() + "/db/products.db3"));
    // Re-opening keeps what was stored and frees the connection name each time.
    ProductDb again;
    QVERIFY(again.isOpen());
    QCOMPARE(again.products(), QStringList{"Shutters"});
}

void ProductDbTest::addChainRemovesPlaceholders()
{
    ProductDb db(ProductDb::defaultPath(), "test-chain");
    QVERIFY(!dbmod());

    QVERIFY(db.addProduct("P"));
    QVERIFY(dbmod());
    QCOMPARE(allRows(db), (QList<Row>{{"P", "", "", ""}}));

    QVERIFY(db.addSupplier("P", "S"));
    QCOMPARE(allRows(db), (QList<Row>{{"P", "S", "", ""}}));

    QVERIFY(db.addRange("P", "S", "R"));
    QVERIFY(db.addRange("P", "S", "R2"));
    QCOMPARE(allRows(db), (QList<Row>{{"P", "S", "R", ""}, {"P", "S", "R2", ""}}));

    QVERIFY(db.addItem("colour", "Oak", "P", "S", "R"));
    QCOMPARE(allRows(db), (QList<Row>{{"P", "S", "R", "Oak"}, {"P", "S", "R2", ""}}));

    // Other products' placeholders are untouched.
    QVERIFY(db.addProduct("Q"));
    QVERIFY(db.addSupplier("P", "T"));
    QCOMPARE(allRows(db), (QList<Row>{{"P", "S", "R", "Oak"}, {"P", "S", "R2", ""}, {"P", "T", "", ""},
                                     {"Q", "", "", ""}}));

    QStringList colours;
    db.colours("P", "S", "R", colours);
    QCOMPARE(colours, QStringList{"Oak"});
    QStringList ranges;
    db.ranges("P", "S", ranges);
    QCOMPARE(ranges, (QStringList{"R", "R2"}));
    QStringList suppliers;
    db.suppliers("Q", suppliers);
    QVERIFY(suppliers.isEmpty()); // only a placeholder
    QStringList products = db.products();
    products.sort();
    QCOMPARE(products, (QStringList{"P", "Q"}));

    QVERIFY(!db.addItem("fabric", "Linen", "P", "S", "R"));
    QCOMPARE(allRows(db).size(), 4);

    // A null name is stored as the empty text, never as NULL.
    QVERIFY(db.addProduct(QString()));
    QSqlQuery q(QSqlDatabase::database(db.connectionName()));
    QVERIFY(q.exec("SELECT count(*) FROM Products WHERE product IS NULL OR supplier IS NULL"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 0);
}

void ProductDbTest::duplicatesRefused_data()
{
    QTest::addColumn<QString>("type");
    QTest::newRow("product") << "product";
    QTest::newRow("supplier") << "supplier";
    QTest::newRow("range") << "range";
    QTest::newRow("colour") << "colour";
}

void ProductDbTest::duplicatesRefused()
{
    QFETCH(QString, type);
    ProductDb db(ProductDb::defaultPath(), "test-dup");
    QVERIFY(db.addColour("P", "S", "R", "Oak"));
    // Placeholders that a refused add must leave alone.
    QVERIFY(db.addProduct("P2"));
    QVERIFY(db.addSupplier("P", "S2"));
    QVERIFY(db.addRange("P", "S", "R2"));
    const QList<Row> before = allRows(db);
    const QString name = type == "product" ? "P2" : type == "supplier" ? "S2" : type == "range" ? "R2" : "Oak";
    AppContext::userSettings()->setValue("dbmod", false);

    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("UNIQUE constraint failed.*\r\nINSERT into Products"));
    QVERIFY(!db.addItem(type, name, type == "product" ? QString() : "P", "S", "R"));
    QCOMPARE(allRows(db), before);
    QVERIFY(!dbmod());
}

void ProductDbTest::namesThatLookLikeSql()
{
    ProductDb db(ProductDb::defaultPath(), "test-quotes");
    // A product named like a column, and names holding quotes, still lose
    // exactly their own placeholder.
    QVERIFY(db.addProduct("supplier"));
    QVERIFY(db.addSupplier("supplier", "Acme"));
    QVERIFY(db.addProduct("Bob's \"Best\""));
    QVERIFY(db.addSupplier("Bob's \"Best\"", "O'Neil"));
    QVERIFY(db.addRange("Bob's \"Best\"", "O'Neil", "\" or \"\"=\""));
    QCOMPARE(allRows(db), (QList<Row>{{"Bob's \"Best\"", "O'Neil", "\" or \"\"=\"", ""}, {"supplier", "Acme", "", ""}}));
}

void ProductDbTest::mergingIgnoresCase()
{
    ProductDb db(ProductDb::defaultPath(), "test-merge");
    QVERIFY(db.addSupplier("Shutters", "harbour shutters"));
    QVERIFY(db.addSupplier("Shutters", "Local Joiner"));
    QVERIFY(db.addColour("Shutters", "Harbour Shutters", "Classic", "PURE WHITE"));
    QVERIFY(db.addColour("Shutters", "Harbour Shutters", "Classic", "Sage"));

    // The lists as filled from the catalogue's supplier files and range table.
    QStringList suppliers{"", "Harbour Shutters", "Northgate"};
    db.suppliers("Shutters", suppliers);
    QCOMPARE(suppliers, (QStringList{"", "Harbour Shutters", "Northgate", "Local Joiner"}));

    QStringList colours{"Pure White", "Cream"};
    db.colours("Shutters", "Harbour Shutters", "Classic", colours);
    QCOMPARE(colours, (QStringList{"Pure White", "Cream", "Sage"}));

    // Names are matched exactly in the database itself.
    QStringList none;
    db.colours("shutters", "Harbour Shutters", "Classic", none);
    QVERIFY(none.isEmpty());
}

void ProductDbTest::openFailure()
{
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^Failed to open products db "));
    ProductDb db(m_data->path() + "/no/such/folder/products.db3", "test-fail");
    QVERIFY(!db.isOpen());
    QVERIFY(db.products().isEmpty());
    QVERIFY(!db.addProduct("P"));
    QStringList list{"kept"};
    db.suppliers("P", list);
    QCOMPARE(list, QStringList{"kept"});
    QVERIFY(!dbmod());
}

QTEST_GUILESS_MAIN(ProductDbTest)
#include "tst_productdb.moc"
