// A new business registers as the application does it: the cloud controller
// against a real S3-compatible server (npm s3rver) and the business manager
// fetching the account's delivery addresses and the lead time from the
// supplier's FTP server (Debian's pyftpdlib).
#include "business/businessmanager.h"
#include "business/controllerlink.h"
#include "cloud/cloudcomms.h"
#include "cloudfixture.h"
#include "suppliertestservers.h"
#include "testzip.h"

namespace {
const QByteArray kHeader = "\"Account Number\",\"Business Name\",\"Location ID\",\"Delivery Name\",\"Address 2\","
                           "\"Address 3\",\"Building\",\"Address 1\",\"Postcode\",\"Country\",\"Primary\"\r\n";
const QByteArray kYard = "\"C123456\",\"Acme Shutters\",\"L1\",\"Yard\",\"\",\"\",\"\",\"Mill Lane\",\"LS1 1AA\",\"GB\",\"0\"\r\n";
const QByteArray kOffice = "\"C123456\",\"Acme Shutters\",\"L2\",\"Office\",\"\",\"\",\"\",\"High St\",\"YO1 1AA\",\"GB\",\"1\"\r\n";
} // namespace

class TestRegistration : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestEnv::initApp();
        QVERIFY2(m_s3.start({"lattica"}), qPrintable(m_s3.error()));
        QVERIFY2(m_ftp.start("writer", "unused", "shop", "Sh0p:pw@/x"), qPrintable(m_ftp.error()));
        // the universal configuration names the supplier's server
        const QByteArray edi = "[General]\nediEnabled=true\nediAddress=127.0.0.1\nediScheme=ftp\nediUserName=shop\n"
                               "ediUserPass=" + encryptText("Sh0p:pw@/x").toBase64() + "\n";
        CloudFixture::Store seed;
        seed.open(m_s3);
        QCOMPARE(seed.put("0_cfg/V3VexaData.zip", TestZip::make({{"prod.ini", "universal"}})) + seed.put("0_cfg/un.ini", "[General]\ncurrvers=3.12.7\n")
                     + seed.put("0_cfg/VexaCfg.zip", TestZip::make({{"edi.cfg", edi}})), QString());
        serve("/Addresses/C123456.txt", kHeader + kYard);
        serve("/Addresses/StockV2.txt", "\"Item Number\",\"Lead Time\"\r\n\"A1\",\"15\"\r\n");

        m_data.reset(CloudFixture::freshDevice(m_s3));
        AppContext::userSettings()->setValue("ediFtpPort_i", m_ftp.port());
    }

    void registerAndCheckAgain()
    {
        CloudComms cloud(nullptr);
        BusinessManager business;
        linkBusinessToController(&cloud, &business);

        // a number the supplier does not know stops the registration
        QCOMPARE(cloud.registerAtLTA("new@shop.example", "C999999", "pw", false),
                 QString("Failed to find data for customer num C999999\nIs the number correct?"));
        QCOMPARE(AppContext::setting("ediFtpPort_i").toInt(), m_ftp.port()); // kept by the wipe

        AppContext::userSettings()->setValue("cfg_chk", 0);
        QCOMPARE(cloud.registerAtLTA("new@shop.example", "C123456", "pw", false), QString("Company Name:<br>Acme Shutters"));
        QCOMPARE(AppContext::sharedSettings()->value("buslist/C123456").toStringList(), QStringList{"Yard"});
        QCOMPARE(AppContext::sharedSettings()->value("C123456/Yard").toString(), QString("L1"));
        QCOMPARE(business.suppAccnt(), QString("C123456"));
        QCOMPARE(AppContext::setting("lead_time_i").toInt(), 15);

        // a later configuration check brings the supplier's changes
        serve("/Addresses/C123456.txt", kHeader + kYard + kOffice);
        serve("/Addresses/StockV2.txt", "\"Item Number\",\"Lead Time\"\r\n\"A1\",\"20\"\r\n");
        CloudFixture::setUser({{"cfg_chk", 0}, {"addrChk", QDate::currentDate().toJulianDay() - 2}});
        cloud.checkFor_cfgUpdates(false);
        QCOMPARE(cloud.lastMessage(), QString());
        QCOMPARE(AppContext::sharedSettings()->value("buslist/C123456").toStringList(), QStringList({"Office", "Yard"}));
        QCOMPARE(business.deliveryNames("C123456"), QStringList({"Office", "Yard"}));
        QCOMPARE(AppContext::setting("addrChk").toLongLong(), QDate::currentDate().toJulianDay());
        QCOMPARE(AppContext::setting("lead_time_i").toInt(), 20);
    }

private:
    void serve(const QString &path, const QByteArray &content)
    {
        QVERIFY(TestEnv::writeFile(m_ftp.root() + path, content));
    }
    S3TestServer m_s3;
    FtpTestServer m_ftp;
    std::unique_ptr<QTemporaryDir> m_data;
};

QTEST_GUILESS_MAIN(TestRegistration)
#include "tst_registration.moc"
