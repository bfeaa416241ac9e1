// The database of names added by hand: schema, placeholders and refusals.
// (Merging with the catalogue's own names is checked through the order in
// tst_selection.)
#include "app/appcontext.h"
#include "app/appsettings.h"
#include "pricing/productdb.h"
#include "testenv.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <memory>

namespace {

// Every row as "product|supplier|range|colour", sorted.
QStringList allRows(const ProductDb &db)
{
    QStringList rows;
    QSqlQuery q(QSqlDatabase::database(db.connectionName()));
    q.exec("SELECT product, supplier, range, colour FROM Products");
    while (q.next())
        rows.append(QStringList{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString()}.join('|'));
    rows.sort();
    return rows;
}

bool dbmod() { return AppContext::userSettings()->value("dbmod", false).toBool(); }

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

    void schemaInDataFolder()
    {
        {
            ProductDb db;
            QVERIFY(db.isOpen() && db.connectionName() == "prodata");
            QSqlQuery q(QSqlDatabase::database(db.connectionName()));
            QVERIFY(q.exec("SELECT sql FROM sqlite_master WHERE name = 'Products'") && q.next());
            QCOMPARE(q.value(0).toString(),
                     QStringLiteral("CREATE TABLE Products (prodID INTEGER PRIMARY KEY, product TEXT, supplier TEXT, "
                                    "range TEXT, colour TEXT, UNIQUE(product, supplier, range, colour))"));
            QVERIFY(db.addProduct("Shutters"));
        }
        QVERIFY(QFile::exists(m_data->path() + "/db/products.db3"));
        // Re-opening keeps what was stored and frees the connection name each time.
        ProductDb again;
        QCOMPARE(again.products(), QStringList{"Shutters"});
    }

    void addChainRemovesPlaceholders()
    {
        ProductDb db(ProductDb::defaultPath(), "test-chain");
        QVERIFY(db.addProduct("P") && dbmod());
        QVERIFY(db.addSupplier("P", "S") && db.addRange("P", "S", "R") && db.addRange("P", "S", "R2"));
        QVERIFY(db.addItem("colour", "Oak", "P", "S", "R") && db.addProduct("Q") && db.addSupplier("P", "T"));
        QVERIFY(!db.addItem("fabric", "Linen", "P", "S", "R"));
        // Names like a column or holding quotes still lose exactly their own placeholder.
        const QString bob = "Bob's \"Best\"";
        QVERIFY(db.addProduct("supplier") && db.addSupplier("supplier", "Acme"));
        QVERIFY(db.addProduct(bob) && db.addSupplier(bob, "O'Neil") && db.addRange(bob, "O'Neil", "\" or \"\"=\""));
        // A placeholder goes once a name is added below it; other products' stay.
        QCOMPARE(allRows(db), (QStringList{bob + "|O'Neil|\" or \"\"=\"|", "P|S|R2|", "P|S|R|Oak", "P|T||", "Q|||", "supplier|Acme||"}));

        QStringList lists; // Q has only a placeholder: no suppliers
        db.colours("P", "S", "R", lists);
        db.ranges("P", "S", lists);
        db.suppliers("Q", lists);
        QCOMPARE(lists, (QStringList{"Oak", "R", "R2"}));
        QVERIFY(db.products().contains("P") && db.products().contains("Q"));

        // A null name is stored as the empty text, never as NULL.
        QVERIFY(db.addProduct(QString()));
        QSqlQuery q(QSqlDatabase::database(db.connectionName()));
        QVERIFY(q.exec("SELECT count(*) FROM Products WHERE product IS NULL OR supplier IS NULL") && q.next());
        QCOMPARE(q.value(0).toInt(), 0);
    }

    void duplicatesRefused_data()
    {
        QTest::addColumn<QString>("name"); // added again as the type the row is named after
        QTest::newRow("product") << "P2";
        QTest::newRow("supplier") << "S2";
        QTest::newRow("range") << "R2";
        QTest::newRow("colour") << "Oak";
    }

    void duplicatesRefused()
    {
        QFETCH(QString, name);
        const QString type = QString::fromLatin1(QTest::currentDataTag());
        ProductDb db(ProductDb::defaultPath(), "test-dup");
        // Placeholders that a refused add must leave alone.
        QVERIFY(db.addColour("P", "S", "R", "Oak") && db.addProduct("P2") && db.addSupplier("P", "S2") && db.addRange("P", "S", "R2"));
        const QStringList before = allRows(db);
        AppContext::userSettings()->setValue("dbmod", false);
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("UNIQUE constraint failed.*\r\nINSERT into Products"));
        QVERIFY(!db.addItem(type, name, type == "product" ? QString() : "P", "S", "R"));
        QCOMPARE(allRows(db), before);
        QVERIFY(!dbmod());
    }

    void openFailure()
    {
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^Failed to open products db "));
        ProductDb db(m_data->path() + "/no/such/folder/products.db3", "test-fail");
        QVERIFY(!db.isOpen() && db.products().isEmpty() && !db.addProduct("P") && !dbmod());
        QStringList list{"kept"};
        db.suppliers("P", list);
        QCOMPARE(list, QStringList{"kept"});
    }
};

QTEST_GUILESS_MAIN(ProductDbTest)
#include "tst_productdb.moc"
