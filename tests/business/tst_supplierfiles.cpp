// Delivery addresses and lead time fetched from the supplier's FTP server
// (Debian's pyftpdlib) and stored through the business manager.
#include "business/businessitem.h"
#include "business/businessmanager.h"
#include "cloudfixture.h"
#include "models/qqmlobjectlistmodel.h"
#include "suppliertestservers.h"

#include <QSettings>
#include <QTcpServer>

namespace {
const QByteArray kHeader = "\"Account Number\",\"Business Name\",\"Location ID\",\"Delivery Name\",\"Address 2\","
                           "\"Address 3\",\"Building\",\"Address 1\",\"Postcode\",\"Country\",\"Primary\"\r\n";
QByteArray line(const QStringList &fields)
{
    return ("\"" + fields.join("\",\"") + "\"\r\n").toUtf8();
}
} // namespace

class TestSupplierFiles : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestEnv::initApp();
        QVERIFY2(m_ftp.start("writer", "unused", "shop", "r3ad:only@pw"), qPrintable(m_ftp.error()));
    }

    void init()
    {
        if (appSettings *user = AppContext::userSettings())
            user->clear(); // the stored addresses live here
        m_data.reset(TestEnv::freshDataFolder());
        CloudFixture::writeEdi("https", "shop", "r3ad:only@pw"); // the portal's scheme; addresses always come by FTP
        CloudFixture::setUser({{"ediFtpPort_i", m_ftp.port()}, {"controller", true}});
        QDir(m_ftp.root()).removeRecursively();
        QDir().mkpath(m_ftp.root() + "/Addresses");
    }

    void fetchAndRefetch()
    {
        serve("C123456.txt", kHeader + line({"C123456", "Acme Shutters", "L1", "Yard", "Unit 4", "", "", "Mill Lane", "LS1 1AA", "GB", "0"})
                                 + kHeader + "\"C123456\",\"short\"\r\n"
                                 + line({"C123456", "Acme Shutters", "L2", "Head Office", "", "York", "  Mill  House ",
                                         "High St", "YO1 1AA", "GB", "1"}));
        BusinessManager m;
        QVERIFY2(m.fetchAccountAddresses("C123456"), qPrintable(m.error()));
        // the primary address first; repeated header and short line left out
        QCOMPARE(items(m), QStringList({"Head Office|Head Office|Acme Shutters|Mill House High St\n\nYork|YO1 1AA|GB|L2",
                                        "Yard|Yard|Acme Shutters|Mill Lane\nUnit 4\n|LS1 1AA|GB|L1"}));
        QCOMPARE(QStringList({m.suppAccnt(), shared("busNames/C123456").toString(), shared("C123456/Yard").toString(),
                              AppContext::setting("bus_s").toString()}), QStringList({"C123456", "Acme Shutters", "L1", "Acme Shutters"}));
        QCOMPARE(shared("buslist/C123456").toStringList(), QStringList({"Head Office", "Yard"}));
        QVERIFY(QDateTime::fromString(AppContext::setting("C123456_lm").toString(), Qt::ISODate).isValid());

        // the supplier drops one address and adds another: the account's list is
        // replaced, the user's name for an address that stays is kept
        QVERIFY(m.updateDeliveryName(1, "Back Yard"));
        serve("C123456.txt", kHeader + line({"C123456", "Acme Shutters Ltd", "L1", "Yard", "", "", "", "Mill Lane", "LS1 1AA", "GB", "0"})
                                 + line({"C123456", "Acme Shutters Ltd", "L3", "Depot", "", "", "9", "Dock Rd", "HU1 1AA", "GB", ""}));
        BusinessManager again;
        QVERIFY2(again.fetchAccountAddresses("C123456"), qPrintable(again.error()));
        QCOMPARE(items(again), QStringList({"Back Yard|Yard|Acme Shutters Ltd|Mill Lane\n\n|LS1 1AA|GB|L1",
                                            "Depot|Depot|Acme Shutters Ltd|9 Dock Rd\n\n|HU1 1AA|GB|L3"}));
        QCOMPARE(shared("buslist/C123456").toStringList(), QStringList({"Back Yard", "Depot"}));
        QVERIFY(!AppContext::sharedSettings()->contains("C123456/Head Office"));
        QCOMPARE(AppContext::userSettings()->allKeys().filter("busItems/C123456/").size(), 2);
    }

    void groupAccount()
    {
        serve("M1234567.txt", kHeader + line({"C222222", "South Co", "S1", "Quay", "", "", "", "Quay St", "BS1 1AA", "GB", "1"})
                                  + line({"C111111", "North Co", "N1", "Mill", "", "", "", "Mill St", "LS2 2AA", "GB", "0"})
                                  + line({"C111111", "North Co", "N2", "Wharf", "", "", "", "Wharf Rd", "LS3 3AA", "GB", "1"})
                                  + line({"C1/../x", "Bad Co", "B1", "Gate", "", "", "", "Path", "X", "GB", "0"}));
        BusinessManager m;
        QVERIFY2(m.fetchAccountAddresses("M1234567"), qPrintable(m.error()));
        // each account keeps its own addresses; the first in order is current
        QCOMPARE(m.suppAccnt(), QString("C111111"));
        QCOMPARE(shared("buslist/C111111").toStringList(), QStringList({"Wharf", "Mill"}));
        QCOMPARE(shared("buslist/C222222").toStringList(), QStringList({"Quay"}));
        QCOMPARE(shared("suppAccnts_sl").toStringList(), QStringList({"C111111", "C222222"}));
        QCOMPARE(QStringList({AppContext::setting("C111111_M").toString(), AppContext::setting("C222222_M").toString()}),
                 QStringList({"M1234567", "M1234567"}));
        QVERIFY(!AppContext::sharedSettings()->childGroups().contains("C1"));
        // the accounts are fetched again through the group's number
        QVERIFY2(m.fetchAccountAddresses("C222222"), qPrintable(m.error()));
        QCOMPARE(shared("buslist/C222222").toStringList(), QStringList({"Quay"}));
    }

    void rejectedFiles_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QByteArray>("content"); // "-" : no file, "silent": a server that never answers
        QTest::addColumn<QString>("expected");
        const QByteArray other = line({"C999999", "X", "1", "D", "", "", "", "", "", "", "0"});
        QTest::newRow("no header") << "C123456" << QByteArray("Account Number,Name\n") + other
                                   << "Invalid data for this accountID. Contact support";
        QTest::newRow("other account") << "C123456" << kHeader + other
                                       << "Address data from Heldon does not contain the account id C123456";
        QTest::newRow("header only") << "C123456" << kHeader << "Address data from Heldon does not contain the account id C123456";
        QTest::newRow("group, header only") << "M1234567" << kHeader << "The data is not valid for M1234567";
        QTest::newRow("only short lines") << "C123456" << kHeader + "\"C123456\",\"Acme\",\"L9\"\r\n" + kHeader
                                          << "The data is not valid for C123456";
        QTest::newRow("unusable account numbers") << "M1234567" << kHeader + line({"C12/../x", "A", "1", "D", "", "", "", "", "", "", "1"})
                                                  << "The data is not valid for M1234567";
        QTest::newRow("missing file") << "C123456" << QByteArray("-")
                                      << "Failed to find data for customer num C123456\nIs the number correct?";
        QTest::newRow("never answers") << "C123456" << QByteArray("silent")
                                       << "Failed to fetch address data: Timed out\nTransfer Timed Out\nDo you have an internet connection?";
        QTest::newRow("invalid number") << "C12345" << QByteArray("-") << "Invalid acount number: C12345";
    }

    void rejectedFiles()
    {
        QFETCH(QString, number);
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        // addresses fetched earlier stay as they are
        serve("C123456.txt", kHeader + line({"C123456", "Acme", "L1", "Yard", "", "", "", "Mill Lane", "LS1", "GB", "1"}));
        BusinessManager m;
        QVERIFY2(m.fetchAccountAddresses("C123456"), qPrintable(m.error()));
        const QStringList before = items(m);
        QFile::remove(m_ftp.root() + "/Addresses/C123456.txt");
        QTcpServer silent;
        if (content == "silent") {
            QVERIFY(silent.listen(QHostAddress::LocalHost));
            CloudFixture::setUser({{"ediFtpPort_i", silent.serverPort()}, {"transferTimeout_i", 1}});
        } else if (content != "-") {
            serve(number + ".txt", content);
        }
        QVERIFY(!m.fetchAccountAddresses(number));
        QCOMPARE(m.error(), expected);
        BusinessManager reloaded;
        reloaded.initController();
        QCOMPARE(items(reloaded), before);
        QCOMPARE(shared("buslist/C123456").toStringList(), QStringList{"Yard"});
    }

    void leadTime_data()
    {
        QTest::addColumn<QByteArray>("content"); // "-" : no file
        QTest::addColumn<QString>("expected");   // a number: the days stored
        QTest::newRow("lead time") << QByteArray("\"Item Number\",\"Description\",\"Lead Time\"\r\n\"A1\",\"Panel, white\",\"12.9\"\r\n"
                                                 "\"A2\",\"x\",\"3\"\r\n")
                                   << "12";
        QTest::newRow("not a stock file") << QByteArray("Item,Lead Time\nA1,4\n") << "Invalid Stock data. Contact support";
        QTest::newRow("no lead time column") << QByteArray("\"Item Number\",\"Lead\"\n\"A1\",\"4\"\n")
                                             << "Failed to find Lead Time in StockV2";
        QTest::newRow("no rows") << QByteArray("\"Item Number\",\"Lead Time\"\n") << "Failed to find Lead Time in StockV2";
        QTest::newRow("missing file") << QByteArray("-") << "Failed to find the lead time file file.";
    }

    void leadTime()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        CloudFixture::setUser({{"lead_time_i", 99}, {"leadTime_s", "/Stock/StockV2.txt"}});
        if (content != "-")
            QVERIFY(TestEnv::writeFile(m_ftp.root() + "/Stock/StockV2.txt", content));
        BusinessManager m;
        const bool ok = m.refreshLeadTime();
        bool isNumber;
        const int days = expected.toInt(&isNumber);
        QCOMPARE(ok, isNumber);
        QCOMPARE(m.error(), isNumber ? QString() : expected);
        QCOMPARE(AppContext::setting("lead_time_i").toInt(), isNumber ? days : 99);
    }

private:
    void serve(const QString &name, const QByteArray &content)
    {
        QVERIFY(TestEnv::writeFile(m_ftp.root() + "/Addresses/" + name, content));
    }
    // "display|delivery|business|address|postcode|country|location" per item
    static QStringList items(const BusinessManager &m)
    {
        QStringList out;
        for (int i = 0; i < m.items()->count(); ++i) {
            const BusinessItem *b = m.getBusinessItem(i);
            out << QStringList{b->displayName(), b->deliveryName(), b->name(), b->address(), b->postcode(),
                               b->countryID(), b->locationID()}
                       .join('|');
        }
        return out;
    }
    static QVariant shared(const QString &key) { return AppContext::sharedSettings()->value(key); }

    FtpTestServer m_ftp;
    std::unique_ptr<QTemporaryDir> m_data;
};

QTEST_GUILESS_MAIN(TestSupplierFiles)
#include "tst_supplierfiles.moc"
