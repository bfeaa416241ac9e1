// Business accounts and their delivery addresses, the configuration files and
// the interface's use of the manager.
#include "app/registertypes.h"
#include "business/businessconfig.h"
#include "business/businesslookup.h"
#include "business/businessmanager.h"
#include "cloudfixture.h"
#include "models/qqmlobjectlistmodel.h"
#include "orders/vexaorder.h"

#include <QQmlComponent>
#include <QQmlEngine>

static QStringList fields(const BusinessItem *item)
{
    return {item->deliveryName(), item->manDeliveryName(), item->name(), item->address(), item->postcode(), item->countryID(), item->locationID()};
}

class TestBusinessManager : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::initApp(); }
    void init()
    {
        m_data.reset(TestEnv::freshDataFolder());
        appSettings *user = AppContext::userSettings();
        for (const QString &key : user->allKeys())
            if (key != "datapath")
                user->remove(key);
        user->setValue("controller", true);
    }

    void accountNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("C six digits") << "C123456" << true;
        QTest::newRow("M seven digits") << "M1234567" << true;
        QTest::newRow("C five digits") << "C12345" << false;
        QTest::newRow("M trailing letter") << "M1234567X" << false;
        QTest::newRow("lower case") << "c123456" << false;
        QTest::newRow("seven-letter business name") << "Acme Co" << false;
        QTest::newRow("other letter") << "X123456" << false;
    }

    void accountNumbers()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QCOMPARE(isAccountNumber(text), valid);
        // names and numbers are told apart by form, not by length
        CloudFixture::setValues(AppContext::sharedSettings(), {{"busNames/C765432", text}, {"buslist/C765432", QStringList({"Depot"})},
                                                               {"buslist/" + text, QStringList({"Direct"})}});
        BusinessManager manager;
        QCOMPARE(manager.deliveryNames(text), QStringList({valid ? "Direct" : "Depot"}));

        // the fetch refuses malformed numbers before anything else
        QCOMPARE(manager.fetchAccountAddresses(text), false);
        QCOMPARE(manager.error().startsWith("Invalid acount number: " + text), !valid);
    }

    void storedEntries()
    {
        AppContext::sharedSettings()->setValue("busNames/C111111", "Smith | Sons");
        {
            BusinessManager manager;
            manager.setSuppAccnt("C111111");
            QCOMPARE(AppContext::setting("bus_s").toString(), QString("Smith | Sons"));
            QVERIFY(manager.updateBusiness(-1, "North/Yard", "Smith | Sons", "Unit 1|2\nMill Lane", "LS1 1AA", "GB", "L1", false));
            QVERIFY(manager.updateBusiness(-1, "Head Office", "Smith | Sons", "1 High St", "LS2 2BB", "GB", "L2", true));
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Duplicate locationID in data:.*L2"));
            QVERIFY(manager.updateBusiness(-1, "Back Door", "Smith | Sons", "", "", "GB", "L2", false));
            QVERIFY(!manager.updateBusiness(-1, "", "x", "", "", "", "L9", false));
            QCOMPARE(manager.error(), QString("The delivery name must not be empty"));
            QVERIFY(!manager.updateBusiness(3, "Far", "x", "", "", "", "L9", false));
            QCOMPARE(manager.error(), QString("Internal error: invalid businessIndex"));
            QCOMPARE(manager.delAddressList(), QStringList({"Head Office", "North/Yard", "Back Door"}));
        }
        // read back by a new manager: same fields, same order, no shifted field
        BusinessManager again;
        QCOMPARE(again.suppAccnt(), QString("C111111"));
        QCOMPARE(fields(again.getBusinessItem(1)), QStringList({"North/Yard", "North/Yard", "Smith / Sons",
                                                                  "Unit 1/2\nMill Lane", "LS1 1AA", "GB", "L1"}));
        QCOMPARE(again.getBusinessItem(0)->deliveryName(), QString("Head Office"));
        QCOMPARE(again.deliveryNames("C111111"), QStringList({"Head Office", "North/Yard", "Back Door"}));
        QCOMPARE(deliveryNameForDisplayName("C111111", "North/Yard"), QString("North/Yard"));
        QCOMPARE(locationIdForDeliveryName("C111111", "North/Yard"), QString("L1"));
        QString error;
        QCOMPARE(locationIdForDeliveryName("C111111", "Nowhere", &error), QString());
        QCOMPARE(error, QString("Failed to find account Code data"));

        // accessors in and out of range
        const QString id = again.getIDFromIndex(2);
        QVERIFY(!id.isEmpty() && again.getIndexFromID(id) == 2 && again.getBusinessFromID(id) == again.getBusinessItem(2));
        QVERIFY(!again.getBusinessItem(3) && !again.getBusinessItem(-1) && !again.getBusinessFromID("nope"));
        QVERIFY(again.getIDFromIndex(-2).isEmpty() && again.getIndexFromID("nope") == -1);
    }

    void renameAndRemove()
    {
        AppContext::sharedSettings()->setValue("busNames/C222222", "Acme Co");
        BusinessManager manager;
        manager.setSuppAccnt("C222222");
        QVERIFY(manager.updateBusiness(-1, "DEPOT/NORTH", "Acme Co", "", "", "GB", "L7", false));
        QVERIFY(manager.updateBusiness(-1, "YARD", "Acme Co", "", "", "GB", "L8", false));
        QSignalSpy listChanges(&manager, &BusinessManager::delAddressListChanged);

        QVERIFY(!manager.updateDeliveryName(0, "  "));
        QCOMPARE(manager.error(), QString("You must enter a valid delivery address name"));
        QVERIFY(!manager.updateDeliveryName(5, "X"));
        QVERIFY(manager.updateDeliveryName(0, "Main <Depot>"));
        QCOMPARE(listChanges.count(), 1);
        QCOMPARE(manager.delAddressList(), QStringList({"Main <Depot>", "YARD"}));
        QCOMPARE(manager.deliveryNames("Acme Co"), QStringList({"Main <Depot>", "YARD"}));
        // the nested key of a name holding "/" is found
        QCOMPARE(deliveryNameForDisplayName(accountForBusinessName("Acme Co"), "Main <Depot>"), QString("DEPOT/NORTH"));

        QVERIFY(!manager.remove(2));
        QCOMPARE(manager.error(), QString("Internal error: invalid business Index"));
        const QString id = manager.getIDFromIndex(0);
        QVERIFY(manager.remove(0));
        QCOMPARE(manager.delAddressList(), QStringList({"YARD"}));
        QVERIFY(!AppContext::userSettings()->contains("busItems/C222222/" + id));
        QVERIFY(!AppContext::sharedSettings()->contains("C222222_m/DEPOT/NORTH"));
        QVERIFY(!AppContext::sharedSettings()->contains("C222222/DEPOT/NORTH"));
        QCOMPARE(deliveryNameForDisplayName("C222222", "Main <Depot>"), QString());
        QCOMPARE(BusinessManager().delAddressList(), QStringList({"YARD"}));
    }

    void replaceAccount()
    {
        BusinessManager manager;
        manager.setSuppAccnt("C333333");
        QVERIFY(manager.replaceAccountEntries("C333333", {{"Site A", "Bright Ltd", "1 Road", "AB1 1AA", "GB", "A1", false},
                                                          {"Site B", "Bright Ltd", "2 Road", "AB2 2AA", "GB", "B1", true}}));
        // (a second fetch replacing the entries is shown with the supplier's files)
        QCOMPARE(manager.delAddressList(), QStringList({"Site B", "Site A"}));
        QCOMPARE(manager.busNames(), QStringList({"Bright Ltd"}));
        VexaOrder order;
        order.newOrder(); // one business: the order takes it
        QCOMPARE(order.properties().value("AccountName").toString(), QString("Bright Ltd"));
        QVERIFY(!manager.replaceAccountEntries("C33333", {}));

        // another account is stored without touching the current list
        QVERIFY(manager.replaceAccountEntries("C444444", {{"Dock", "Dock Co", "", "", "GB", "D1", false}}));
        QCOMPARE(manager.delAddressList(), QStringList({"Site B", "Site A"}));
        QCOMPARE(manager.deliveryNames("Dock Co"), QStringList({"Dock"}));
        order.newOrder(); // two businesses: the completion screen asks
        QVERIFY(!order.properties().contains("AccountName"));
        AppContext::userSettings()->setValue("busItems/M1234567/x", "a|b|c|d|e|f");

        // the controller's start: only "C" accounts are listed; the current one is selected
        manager.initController();
        QCOMPARE(AppContext::sharedSettings()->QSettings::value("suppAccnts_sl").toStringList(), QStringList({"C333333", "C444444"}));
        QCOMPARE(manager.suppAccnt(), QString("C333333"));
        manager.setSuppAccnt("C444444");
        QCOMPARE(AppContext::setting("bus_s").toString(), QString("Dock Co"));
        QCOMPARE(manager.getBusinessItem(0)->locationID(), QString("D1"));
    }

    void configuration()
    {
        appSettings *user = AppContext::userSettings();
        const QString cfg = AppContext::cfgFolder;
        VexaOrder order;
        // nothing present: the portal settings go, nothing else changes
        CloudFixture::setUser({{"ediEnabled", true}, {"ediRemote", "/old"}, {"keep", "me"}});
        loadBusinessConfig();
        QVERIFY(!user->contains("ediEnabled") && !user->contains("ediRemote"));
        QCOMPARE(user->value("keep").toString(), QString("me"));
        QVERIFY(!readEdiConfig().present);
        QCOMPARE(order.bdAccounts(), QStringList());
        BusinessManager manager;
        QVERIFY(!manager.fetchAccountAddresses("C123456"));
        QCOMPARE(manager.error(), QString("Failed to get valid connection data. Contact support."));

        const QString password = QString::fromLatin1(encryptText("s3cret pass").toBase64());
        QVERIFY(TestEnv::writeFile(cfg + "/values.cfg", "[General]\nattachXml_b=YES\nattachLta_b=no\nordersemail=orders@s.example\n"
                                                         "crncy=\"&euro;\"\n"));
        QVERIFY(TestEnv::writeFile(cfg + "/edi.cfg", "[General]\nediEnabled=true\nediRemote=/in\nediAddress=ftp.s.example\n"
                                                      "ediScheme=ftp\nediUserName=shop\nediUserPass=" + password.toLatin1() + "\n"));
        QVERIFY(TestEnv::writeFile(cfg + "/bdaccounts.csv", "Name,Account\nNorth,C100001\n\"South, Ltd\",C100002\n"));
        loadBusinessConfig();
        QVariantList values;
        for (const char *key : {"attachXml_b", "attachLta_b", "ordersemail", "crncy", "ediEnabled", "ediRemote"})
            values << user->value(key);
        QCOMPARE(values, QVariantList({true, false, "orders@s.example", "&euro;", true, "/in"}));
        const EdiConfig edi = readEdiConfig();
        QVERIFY(edi.present && edi.enabled && edi.passwordOk);
        QCOMPARE(QStringList({edi.address, edi.scheme, edi.userName, edi.password}),
                 QStringList({"ftp.s.example", "ftp", "shop", "s3cret pass"}));
        QCOMPARE(order.bdAccounts(), QStringList({"C100001", "C100002"}));

        // the password is read one way only: deciphered bytes that are not Base64 fail
        QString plain;
        QVERIFY(!decipherPortalPassword(QString::fromLatin1(encryptText("x")), &plain) && plain.isEmpty());
        QVERIFY(!decipherPortalPassword("", &plain));

        // with a readable password the fetch goes as far as the transfer
        QVERIFY(!manager.fetchAccountAddresses("C123456"));
        QVERIFY(!manager.error().startsWith("Failed to get valid connection"));

        // the switch reads like the other yes/no values of the configuration
        for (const char *off : {"no", "No", "false", "0", ""}) {
            QVERIFY(TestEnv::writeFile(cfg + "/edi.cfg", QByteArray("[General]\nediEnabled=") + off + "\n"));
            QVERIFY2(!readEdiConfig().enabled, off);
        }
        QVERIFY(TestEnv::writeFile(cfg + "/edi.cfg", "[General]\nediEnabled=Yes\n"));
        QVERIFY(readEdiConfig().enabled);

        // without edi.cfg the account list is not offered
        QFile::remove(cfg + "/edi.cfg");
        QCOMPARE(order.bdAccounts(), QStringList());
    }

    // The types as the interface creates them: no warnings, and the lists
    // reach the bindings that read them.
    void interfaceInstance()
    {
        CloudFixture::setValues(AppContext::sharedSettings(), {{"busNames/C555555", "View Co"}, {"staff/1", "Admin:Administrator::"},
                                                               {"staff/2", "JS:Jo Smith::"}});
        {
            BusinessManager seed;
            seed.setSuppAccnt("C555555");
            QVERIFY(seed.updateBusiness(-1, "Gate 4", "View Co", "", "", "GB", "G4", false));
        }
        registerInterfaceTypes();
        QQmlEngine engine;
        QQmlComponent component(&engine);
        component.setData("import QtQuick 2.15\nimport VexaOrder 1.0\nimport vexa.drive 1.0\nItem {\n"
                          " BusinessManager { id: bm }\n StaffManager { id: staff }\n DownloadManager { id: download }\n"
                          " DCloudComms { id: drive }\n"
                          " property string first: businessItems.count > 0 ? businessItems.get(0).manDeliveryName : ''\n"
                          " property int accounts: bm.busNames().length\n property int rows: staffItems.count\n"
                          " property string text: staff.staffList.join(',') + drive.syncResult + download.rate\n}\n",
                          QUrl("qrc:/test.qml"));
        static QStringList warnings;
        const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
            if (type != QtDebugMsg && type != QtInfoMsg)
                warnings << text;
        });
        std::unique_ptr<QObject> root(component.create());
        qInstallMessageHandler(previous);
        QVERIFY2(root, qPrintable(component.errorString()));
        QCOMPARE(warnings, QStringList());
        QCOMPARE(root->property("first").toString() + "|" + root->property("text").toString(), QString("Gate 4|Admin,JS"));
        QCOMPARE(root->property("accounts").toInt(), 1);
        QCOMPARE(root->property("rows").toInt(), 2);
    }

private:
    std::unique_ptr<QTemporaryDir> m_data;
};

QTEST_MAIN(TestBusinessManager)
#include "tst_businessmanager.moc"
