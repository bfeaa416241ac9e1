// Posting, transfers and address checks against the S3-compatible test server
// (npm s3rver) and the mail API stand-in, both on 127.0.0.1, with faults
// injected on either side: no order may be lost, and none mailed twice.
#include "cloud/cloudcomms.h"
#include "cloud/postingjournal.h"
#include "cloudfixture.h"
#include "orders/vexaorder.h"
#include "suppliertestservers.h"

#include <QProcess>
#include <QTimer>
#include <signal.h>

using CloudFixture::mailField;

namespace {
const QString kAccount = "acc@example.com", kDesk = "orders@supplier.test", kConf = "office@business.test";

QByteArray orderJson(const QString &id, const QString &xto = QString(), const QString &ref = QString())
{
    QJsonObject o{{"orderID", id}, {"manOrderID", ref.isEmpty() ? "R-" + id : ref}, {"custAddr", "1 High Street"},
                  {"date", "2026-12-01T10:00:00.000"}, {"props", QJsonObject{{"AccountName", "Acme Shutters"}}},
                  {"items", QJsonArray{QJsonObject{{"room", "Lounge"}, {"width", 600}, {"drop", 1200},
                                                   {"item_price", "100.00"}, {"extras_price", "0.00"}}}}};
    if (!xto.isEmpty())
        o.insert("xto", xto);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

// The files of a state folder, sorted, as "folder/name".
QStringList filesIn(const QString &sub)
{
    QStringList out;
    for (const QString &name : QDir(AppContext::ordersFolder + sub).entryList(QDir::Files | QDir::Hidden, QDir::Name))
        out << sub + "/" + name;
    return out;
}

QStringList orderFiles() { return filesIn("in") + filesIn("post") + filesIn("posted") + filesIn("xfer"); }
} // namespace

class TestOrderPosting : public QObject
{
    Q_OBJECT
    S3TestServer m_s3;
    MailTestServer m_mail;
    FtpTestServer m_ftp;
    std::unique_ptr<QTemporaryDir> m_data;
    CloudFixture::Store m_store;
    QHash<QString, int> m_deskMails; // orderID -> supplier mails accepted or attempted

    QByteArray object(const QString &key) { return m_store.get(key); }
    void put(const QString &key, const QByteArray &body) { QVERIFY2(m_store.put(key, body).isEmpty(), qPrintable(key)); }
    // A signed-in device of the account, user userId, in a fresh data folder.
    void device(const QString &userId)
    {
        m_data.reset(CloudFixture::freshDevice(m_s3, &m_mail, "api:key-test"));
        CloudFixture::setUser({{"regem_s", kAccount}, {"userID_s", userId}, {"ordersemail", kDesk}, {"emailconf_s", kConf},
                               {"saveins3_b", true}, {"attachXml_b", false}, {"mailEventLag_i", 0}});
        CloudFixture::setValues(AppContext::sharedSettings(), {{"staff/1", "Admin:Administrator::"}, {"staff/2", "JO:Jo Other::"}});
        TestEnv::writeFile(AppContext::cfgFolder + "/edi.cfg", "[General]\nediEnabled=false\n");
    }
    void queue(const QString &state, const QString &id, const QString &xto = QString())
    {
        QVERIFY(TestEnv::writeFile(AppContext::ordersFolder + state + "/" + id, orderJson(id, xto)));
    }
    // Runs one chain to its end; the result texts, in order.
    QStringList post(CloudComms &comms, bool *emptied = nullptr)
    {
        QSignalSpy results(&comms, &CloudComms::asyncResult);
        QSignalSpy finished(&comms, &CloudComms::postingFinished);
        comms.asyncPostOrders();
        if (finished.isEmpty())
            finished.wait(60000);
        QStringList texts;
        for (const QList<QVariant> &r : results)
            texts << r.at(0).toString();
        if (emptied)
            *emptied = finished.size() == 1 && finished.first().at(0).toBool();
        return texts;
    }
    // Mails received since the last call, counting the supplier's per order.
    QStringList mails()
    {
        QStringList out;
        for (const QJsonObject &m : m_mail.take()) {
            if (m.value("method").toString() != "POST")
                continue;
            const QString to = mailField(m, "to"), subject = mailField(m, "subject");
            out << to + ": " + subject;
            if (to == kDesk)
                ++m_deskMails[subject.section("Ref: R-", 1)];
        }
        return out;
    }
    static QString cli() { return QStringLiteral(LTA_BINARY_DIR) + "/src/lattica-cli"; }
    // Starts `orders post` and kills it once the catcher has the supplier's
    // mail of A1 (whose answer the catcher holds back).
    void killWhileSupplierMailInFlight()
    {
        QVERIFY(m_mail.control({{"delay", QJsonObject{{kDesk, 30}}}}));
        QProcess child;
        child.start(cli(), {"orders", "post", "--data", AppContext::dataFolder});
        QVERIFY(child.waitForStarted());
        QStringList seen;
        for (int i = 0; i < 300 && seen.isEmpty(); ++i) {
            QTest::qWait(100);
            seen += mails();
        }
        QCOMPARE(seen, QStringList{kDesk + ": Lattica Order from: Acme Shutters Ref: R-A1"});
        ::kill(child.processId(), SIGKILL);
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(orderFiles(), QStringList{"post/A1"});
    }
    // A run of `orders post`: its exit code and output.
    QPair<int, QString> cliPost()
    {
        QProcess child;
        child.start(cli(), {"orders", "post", "--data", AppContext::dataFolder});
        if (!child.waitForFinished(60000))
            return {-1, QString()};
        return {child.exitCode(), QString::fromUtf8(child.readAllStandardOutput())};
    }
    // The event-log requests the catcher got since the last take.
    int eventQueries(const QList<QJsonObject> &records)
    {
        int n = 0;
        for (const QJsonObject &r : records)
            n += r.value("path").toString().startsWith("/v3/mg.example/events?");
        return n;
    }

private slots:
    void initTestCase()
    {
        TestEnv::initApp();
        QVERIFY2(m_s3.start({"lattica"}), qPrintable(m_s3.error()));
        QVERIFY2(m_mail.start(), qPrintable(m_mail.error()));
        m_store.open(m_s3);
        QVERIFY2(m_ftp.start("portal", "drop-pass", "viewer", "view-pass"), qPrintable(m_ftp.error()));
        QVERIFY(QDir(m_ftp.root()).mkpath("Orders"));
    }

    void init()
    {
        if (!m_mail.control({})) { // stopped by the last test
            m_mail.stop();
            QVERIFY2(m_mail.start(), qPrintable(m_mail.error()));
        }
        m_s3.failPuts("");
        device("Admin");
        m_s3.take();
        m_mail.take();
        m_deskMails.clear();
    }

    // Transfers go first; then each order: supplier mail, confirmation, move
    // with sent date and sender, tracking copy and its marker.
    void happyPath()
    {
        queue("xfer", "X1", "2"); // staff ID 2 is JO
        queue("post", "A1");
        queue("post", "B1");
        CloudComms comms(nullptr);
        bool emptied = false;
        QCOMPARE(post(comms, &emptied), QStringList({"", "", ""}));
        QVERIFY(emptied);
        QCOMPARE(mails(), QStringList({kDesk + ": Lattica Order from: Acme Shutters Ref: R-A1",
                                       kConf + ": Your Lattica order has been sent to Heldon: R-A1",
                                       kDesk + ": Lattica Order from: Acme Shutters Ref: R-B1",
                                       kConf + ": Your Lattica order has been sent to Heldon: R-B1"}));
        QCOMPARE(orderFiles(), QStringList({"posted/A1", "posted/B1", "posted/X1"}));
        QCOMPARE(object(kAccount + "/xfer/jo/X1"), orderJson("X1", "2"));
        const QJsonObject sent = QJsonDocument::fromJson(TestEnv::readFile(AppContext::ordersFolder + "posted/A1")).object();
        QVERIFY(QDateTime::fromString(sent.value("sentDate").toString(), Qt::ISODateWithMs).secsTo(QDateTime::currentDateTime()) < 120);
        QCOMPARE(sent.value("xfrom").toString(), QString("Admin"));
        QCOMPARE(object(kAccount + "/jbs/B1.vexa"), TestEnv::readFile(AppContext::ordersFolder + "posted/B1"));
        QCOMPARE(object(kAccount + "/mod/jbs"), QByteArray());
        QStringList puts;
        for (const QJsonObject &r : m_s3.take())
            if (r.value("method").toString() == "PUT")
                puts << QUrl::fromPercentEncoding(r.value("url").toString().section('?', 0, 0).toUtf8()) + " "
                            + r.value("headers").toObject().value("x-amz-acl").toString();
        QCOMPARE(puts.first(), "/lattica/" + kAccount + "/xfer/jo/X1 "); // transfers first
        QVERIFY(puts.contains("/lattica/" + kAccount + "/jbs/A1.vexa public-read"));
        QVERIFY(AppContext::userSettings()->childGroups().contains("postJournal") == false);
    }

    void faults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("runs");
        QTest::addColumn<QStringList>("results");    // each holds the expected text
        QTest::addColumn<QString>("deskMails");      // supplier mails per order over all runs
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<bool>("emptied");
        const QString failed = "Failed to move order to posted:A1";
        // the service refuses the mail itself: the next order is still tried
        QTest::newRow("supplier mail refused") << "refuse" << 1 << QStringList{"Bad Request", "Bad Request"}
                                               << "A1:1 B1:1" << QStringList{"post/A1", "post/B1"} << false;
        QTest::newRow("mail service down") << "down" << 1 << QStringList{"Service Unavailable"}
                                           << "A1:1" << QStringList{"post/A1", "post/B1"} << false;
        QTest::newRow("mail server stops before the second order") << "stop" << 1 << QStringList{"", "Connection refused"}
                                               << "A1:1" << QStringList{"post/B1", "posted/A1"} << false;
        QTest::newRow("confirmation fails") << "confirmation" << 1 << QStringList{"Service Unavailable", "Service Unavailable", ""}
                                            << "A1:1 B1:1" << QStringList{"posted/A1", "posted/B1"} << true;
        QTest::newRow("tracking upload fails") << "tracking" << 1
                                               << QStringList{"", "emails sent OK but failed to send to tracking.", "",
                                                              "emails sent OK but failed to send to tracking.", ""}
                                               << "A1:1 B1:1" << QStringList{"posted/A1", "posted/B1"} << true;
        QTest::newRow("posted/ unwritable, run twice") << "unwritable" << 2 << QStringList{failed, failed}
                                                       << "A1:1" << QStringList{"post/A1", "post/B1"} << false;
        QTest::newRow("junk file in post/") << "junk" << 1 << QStringList{"Failed to load order 0junk", "", ""}
                                            << "A1:1 B1:1" << QStringList{"post/0junk", "posted/A1", "posted/B1"} << false;
        QTest::newRow("order named .xml") << "named xml" << 1 << QStringList{"(it ends in \".xml\"); it was left in post/.", "", ""}
                                          << "A1:1 B1:1" << QStringList{"post/0X.xml", "posted/A1", "posted/B1"} << false;
        QTest::newRow("hidden order") << "hidden" << 1 << QStringList{"(it begins with \".\"); it was left in post/.", "", ""}
                                      << "A1:1 B1:1" << QStringList{"post/.H1", "posted/A1", "posted/B1"} << false;
        QTest::newRow("transfer without recipient") << "no xto" << 1 << QStringList{"Failed to find who order X0 is for", "", ""}
                                                    << "A1:1 B1:1" << QStringList{"posted/A1", "posted/B1", "xfer/X0"} << false;
        QTest::newRow("xml leftover in post/") << "xml" << 1 << QStringList{"", "", ""}
                                               << "A1:1 B1:1" << QStringList{"posted/A1", "posted/B1"} << true;
        QTest::newRow("transfer cannot be stored") << "xfer" << 1 << QStringList{"Service Unavailable"}
                                                   << "" << QStringList{"post/A1", "post/B1", "xfer/X1"} << false;
        QTest::newRow("no edi.cfg") << "no edi" << 1
                                    << QStringList{"Missing configuration file (edi.cfg). Try logging out and back in or contact support."}
                                    << "" << QStringList{"post/A1", "post/B1"} << false;
        QTest::newRow("portal on, no address") << "edi no address" << 1 << QStringList{"missing ediAddress"}
                                               << "" << QStringList{"post/A1", "post/B1"} << false;
        QTest::newRow("no connection") << "offline" << 1 << QStringList{"You are not connected to the internet"}
                                       << "" << QStringList{"post/A1", "post/B1"} << false;
        QTest::newRow("Cancel") << "cancel" << 1 << QStringList{""} << "A1:1" << QStringList{"post/B1", "posted/A1"} << false;
        QTest::newRow("Cancel then Send") << "cancel+send" << 1 << QStringList{"", "", ""}
                                          << "A1:1 B1:1" << QStringList{"posted/A1", "posted/B1"} << true;
    }

    void faults()
    {
        QFETCH(QString, fault);
        QFETCH(int, runs);
        QFETCH(QStringList, results);
        QFETCH(QString, deskMails);
        QFETCH(QStringList, files);
        QFETCH(bool, emptied);
        queue("post", "A1");
        queue("post", "B1");
        CloudComms comms(nullptr);
        if (fault == "refuse")
            QVERIFY(m_mail.control({{"fail", QJsonObject{{kDesk, QJsonArray{400, "{\"message\": \"'to' parameter is not a valid address\"}"}}}}}));
        if (fault == "down")
            QVERIFY(m_mail.control({{"fail", QJsonObject{{kDesk, QJsonArray{503, "busy"}}}}}));
        if (fault == "named xml")
            QVERIFY(TestEnv::writeFile(AppContext::ordersFolder + "post/0X.xml", orderJson("0X.xml")));
        if (fault == "hidden")
            QVERIFY(TestEnv::writeFile(AppContext::ordersFolder + "post/.H1", orderJson(".H1")));
        if (fault == "no xto")
            queue("xfer", "X0");
        if (fault == "stop")
            QVERIFY(m_mail.control({{"exitAfter", 2}}));
        if (fault == "confirmation")
            QVERIFY(m_mail.control({{"fail", QJsonObject{{kConf, QJsonArray{503, "busy"}}}}}));
        if (fault == "tracking")
            m_s3.failPuts("/jbs/");
        if (fault == "unwritable") { // root may write anywhere: a file takes the folder's place
            QVERIFY(QDir(AppContext::ordersFolder + "posted").removeRecursively());
            QVERIFY(TestEnv::writeFile(AppContext::ordersFolder + "posted", "not a folder"));
        }
        if (fault == "junk")
            QVERIFY(TestEnv::writeFile(AppContext::ordersFolder + "post/0junk", "\x01\x02 not an order"));
        if (fault == "xml")
            QVERIFY(TestEnv::writeFile(AppContext::ordersFolder + "post/0old.xml", "<Order/>"));
        if (fault == "xfer") {
            queue("xfer", "X1", "2");
            m_s3.failPuts("/xfer/");
        }
        if (fault == "no edi")
            QVERIFY(QFile::remove(AppContext::cfgFolder + "/edi.cfg"));
        if (fault == "edi no address")
            QVERIFY(TestEnv::writeFile(AppContext::cfgFolder + "/edi.cfg", "[General]\nediEnabled=true\nediScheme=ftp\n"));
        if (fault == "offline")
            AppContext::userSettings()->setValue("inetProbeUrl_s", "http://127.0.0.1:1/");
        if (fault == "cancel") {
            // pressed while the first order's tracking copy is on its way
            auto pressed = std::make_shared<bool>(false);
            connect(&comms, &CloudComms::asyncResult, &comms, [&comms, pressed] {
                if (!*pressed)
                    QTimer::singleShot(0, &comms, [&comms] { comms.stopPosting(); });
                *pressed = true;
            });
        }
        if (fault == "cancel+send") {
            // both pressed while the first supplier mail is on its way
            QVERIFY(m_mail.control({{"delay", QJsonObject{{kDesk, 1.5}}}}));
            QTimer::singleShot(400, &comms, [&comms] {
                comms.stopPosting();
                comms.asyncPostOrders();
            });
        }

        QStringList texts;
        bool done = false;
        for (int run = 0; run < runs; ++run)
            texts += post(comms, &done);
        for (const QString &id : postingJournalIds()) // entries only for what is still queued
            QVERIFY2(files.contains("post/" + id), qPrintable(id));
        QCOMPARE(texts.size(), results.size());
        for (int i = 0; i < results.size(); ++i)
            QVERIFY2(texts.at(i).contains(results.at(i)) && (!results.at(i).isEmpty() || texts.at(i).isEmpty()),
                     qPrintable(texts.join(" | ")));
        QCOMPARE(done, emptied);
        mails();
        QStringList counts;
        for (const char *id : {"A1", "B1"})
            if (m_deskMails.value(id))
                counts << QString(id) + ":" + QString::number(m_deskMails.value(id));
        QCOMPARE(counts.join(' '), deskMails);
        QCOMPARE(orderFiles(), files);
        if (fault == "xml")
            QVERIFY(QFileInfo::exists(AppContext::ordersFolder + "b/0old.xml-b"));
        // what stays queued is reported by the command-line tool's exit code
        if (!emptied && fault != "cancel" && fault != "offline") {
            const QPair<int, QString> rerun = cliPost();
            QVERIFY2(rerun.first != 0, qPrintable(rerun.second));
        }
    }

    // The portal took the order but the supplier's mail failed (the service
    // busy, or this mail refused): the retry mails the same upload and does
    // not upload it again.
    void portalUploadKeptForRetry_data()
    {
        QTest::addColumn<int>("status");
        QTest::newRow("service busy") << 503;
        QTest::newRow("mail refused") << 400;
    }

    void portalUploadKeptForRetry()
    {
        QFETCH(int, status);
        CloudFixture::writeEdi("ftp", "portal", "drop-pass", {{"ediEnabled", true}});
        CloudFixture::setUser({{"ediFtpPort_i", m_ftp.port()}, {"attachXml_b", true}});
        AppContext::sharedSettings()->setValue("busNames/C123456", "Acme Shutters");
        queue("post", "A1");
        m_ftp.take();
        CloudComms comms(nullptr);

        QVERIFY(m_mail.control({{"fail", QJsonObject{{kDesk, QJsonArray{status, "no"}}}}}));
        QCOMPARE(post(comms).size(), 1);
        const QList<QJsonObject> uploads = m_ftp.take();
        QCOMPARE(uploads.size(), 1);
        QString remote = uploads.first().value("path").toString();
        QVERIFY2(remote.startsWith("/Orders/Shutter_C123456_") && remote.endsWith(".xml.part"), qPrintable(remote));
        remote.chop(5); // renamed once whole
        QVERIFY(QFileInfo::exists(m_ftp.root() + remote));
        QCOMPARE(filesIn("post"), QStringList{"post/A1"});

        QVERIFY(m_mail.control({}));
        QCOMPARE(post(comms), QStringList({"", ""}));
        QCOMPARE(m_ftp.take().size(), 0);
        const QList<QJsonObject> sent = m_mail.take();
        QCOMPARE(sent.size(), 3); // the refused try, the accepted one, the confirmation
        const QString name = remote.section('/', -1);
        QVERIFY(mailField(sent.at(1), "html").contains("<p>Upload ID: " + name));
        QStringList files;
        for (const QJsonValue &part : sent.at(1).value("parts").toArray())
            files << part.toObject().value("filename").toString();
        QVERIFY2(files.contains(name), qPrintable(files.join(",")));
        QCOMPARE(orderFiles(), QStringList{"posted/A1"});
    }

    // The process dies after the supplier accepted the mail (it waits on the
    // confirmation); the next run finishes the order without a second mail.
    void killedBetweenMailAndMove()
    {
        queue("post", "A1");
        QVERIFY(m_mail.control({{"hold", QJsonArray{kConf}}}));
        QProcess child;
        child.start(cli(), {"orders", "post", "--data", AppContext::dataFolder});
        QVERIFY(child.waitForStarted());
        QStringList seen;
        for (int i = 0; i < 300 && seen.size() < 2; ++i) {
            QTest::qWait(100);
            seen += mails();
        }
        QCOMPARE(seen.size(), 2); // the supplier's mail answered, the confirmation held
        ::kill(child.processId(), SIGKILL);
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(orderFiles(), QStringList{"post/A1"});

        // the service took the held confirmation: its log says so, and
        // neither mail goes again
        QVERIFY(m_mail.control({}));
        child.start(cli(), {"orders", "post", "--data", AppContext::dataFolder});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(child.readAllStandardOutput(), QByteArray("\n\n")); // the order, then the empty queue
        const QList<QJsonObject> after = m_mail.take();
        QCOMPARE(eventQueries(after), 1);
        QCOMPARE(after.size(), 1);
        QCOMPARE(m_deskMails.value("A1"), 1);
        QCOMPARE(orderFiles(), QStringList{"posted/A1"});
        QVERIFY(postingJournalIds().isEmpty());
    }

    // Killed while the supplier's mail is on its way (taken by the service,
    // not yet answered). The next run asks the service's event log: a log
    // that answers says it went, and it is not sent again; a log that cannot
    // be reached stops the chain with a message and leaves the order queued
    // until the log can tell.
    void killedWhileMailInFlight_data()
    {
        QTest::addColumn<bool>("logReachable");
        QTest::newRow("log answers") << true;
        QTest::newRow("log unreachable") << false;
    }

    void killedWhileMailInFlight()
    {
        QFETCH(bool, logReachable);
        queue("post", "A1");
        killWhileSupplierMailInFlight();
        if (!logReachable) {
            QVERIFY(m_mail.control({{"events", QJsonArray{503, "busy"}}}));
            const QPair<int, QString> run = cliPost();
            QCOMPARE(run.first, 1);
            QVERIFY2(run.second.startsWith("Could not confirm whether order A1 (ref R-A1) was sent to " + kDesk
                                           + "; check with " + kDesk + " before sending again."),
                     qPrintable(run.second));
            QCOMPARE(mails(), QStringList());
            QCOMPARE(orderFiles(), QStringList{"post/A1"});
        }
        QVERIFY(m_mail.control({}));
        const QPair<int, QString> run = cliPost();
        QCOMPARE(run.first, 0);
        QCOMPARE(mails(), QStringList{kConf + ": Your Lattica order has been sent to Heldon: R-A1"});
        QCOMPARE(m_deskMails.value("A1"), 1);
        QCOMPARE(orderFiles(), QStringList{"posted/A1"});
        QVERIFY(postingJournalIds().isEmpty());
    }

    // A mail whose request never reached the service (nothing in its log)
    // is sent when the order is posted again.
    void intentNeverSent()
    {
        queue("post", "A1");
        PostingJournalEntry entry = newPostingJournal("A1", postingFileDigest(AppContext::ordersFolder + "post/A1"));
        entry.uploadStep = PostingJournalEntry::Done;
        entry.supplier = {PostingJournalEntry::Started, QDateTime::currentSecsSinceEpoch(), kDesk,
                          "Lattica Order from: Acme Shutters Ref: R-A1"};
        QVERIFY(storePostingJournal(entry));
        CloudComms comms(nullptr);
        QCOMPARE(post(comms), QStringList({"", ""}));
        const QList<QJsonObject> records = m_mail.take();
        QCOMPARE(eventQueries(records), 1);
        QStringList sent;
        for (const QJsonObject &r : records)
            if (r.value("method").toString() == "POST")
                sent << mailField(r, "to");
        QCOMPARE(sent, QStringList({kDesk, kConf}));
        QCOMPARE(orderFiles(), QStringList{"posted/A1"});
    }

    // A re-send always mails: the posted file moved back by hand (even with
    // an entry of its posting left behind), or queued again on screen.
    void resend_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("moved back by hand, entry left") << "by hand";
        QTest::newRow("Resend of the sent list") << "resend";
    }

    void resend()
    {
        QFETCH(QString, how);
        queue("post", "A1");
        CloudComms comms(nullptr);
        QCOMPARE(post(comms), QStringList({"", ""}));
        const QString posted = AppContext::ordersFolder + "posted/A1";
        if (how == "by hand") {
            // as a run that died between filing and clearing leaves it
            PostingJournalEntry entry = newPostingJournal("A1", postingBytesDigest(orderJson("A1")));
            entry.uploadStep = PostingJournalEntry::Done;
            entry.supplier.step = entry.confirmation.step = PostingJournalEntry::Done;
            entry.filedDigest = postingFileDigest(posted);
            QVERIFY(storePostingJournal(entry));
            QVERIFY(QFile::rename(posted, AppContext::ordersFolder + "post/A1"));
        } else {
            VexaOrder order;
            order.autoSave = false;
            QVERIFY(order.loadOrder("A1", VexaOrder::Posted, false));
            PostingJournalEntry entry = newPostingJournal("A1", postingFileDigest(posted));
            entry.supplier.step = PostingJournalEntry::Done;
            QVERIFY(storePostingJournal(entry));
            QVERIFY(order.saveOrder(2));
            QVERIFY(postingJournalIds().isEmpty());
        }
        QCOMPARE(post(comms), QStringList({"", ""}));
        mails();
        QCOMPARE(m_deskMails.value("A1"), 2);
        QCOMPARE(orderFiles(), QStringList{"posted/A1"});
        QVERIFY(postingJournalIds().isEmpty());
    }

    // Control characters of an order's reference never reach a header, and
    // the order's mail goes.
    void headerInjection()
    {
        QVERIFY(TestEnv::writeFile(AppContext::ordersFolder + "post/A1", orderJson("A1", QString(), "R-A1\r\nBcc: evil@example.com\u0085")));
        queue("post", "B1");
        CloudComms comms(nullptr);
        QCOMPARE(post(comms), QStringList({"", "", ""}));
        const QList<QJsonObject> sent = m_mail.take();
        QCOMPARE(sent.size(), 4);
        QCOMPARE(mailField(sent.first(), "subject"), QString("Lattica Order from: Acme Shutters Ref: R-A1 Bcc: evil@example.com"));
        for (const QJsonObject &m : sent) {
            QCOMPARE(m.value("defects").toInt(), 0);
            for (const QJsonValue &part : m.value("parts").toArray())
                QVERIFY(part.toObject().value("name").toString() != "bcc");
        }
    }

    // An upload broken off by a crash left part of the file under the
    // temporary name: the next run uses the journaled name again, so the drop
    // ends with the whole file under its name and nothing else.
    void brokenUploadReplaced()
    {
        CloudFixture::writeEdi("ftp", "portal", "drop-pass", {{"ediEnabled", true}});
        CloudFixture::setUser({{"ediFtpPort_i", m_ftp.port()}, {"attachXml_b", true}});
        AppContext::sharedSettings()->setValue("busNames/C123456", "Acme Shutters");
        const QString drop = m_ftp.root() + "/Orders/";
        for (const QString &name : QDir(drop).entryList(QDir::Files))
            QVERIFY(QFile::remove(drop + name));
        queue("post", "A1");
        PostingJournalEntry entry = newPostingJournal("A1", postingFileDigest(AppContext::ordersFolder + "post/A1"));
        entry.upload = "C123456_1700000000000";
        entry.uploadStep = PostingJournalEntry::Started;
        QVERIFY(storePostingJournal(entry));
        QVERIFY(TestEnv::writeFile(drop + "Shutter_C123456_1700000000000.xml.part", "<?xml version=\"1.0\"?>\n<Ord"));
        m_ftp.take();
        CloudComms comms(nullptr);
        QCOMPARE(post(comms), QStringList({"", ""}));
        QCOMPARE(QDir(drop).entryList(QDir::Files), QStringList{"Shutter_C123456_1700000000000.xml"});
        QCOMPARE(TestEnv::readFile(drop + "Shutter_C123456_1700000000000.xml"),
                 TestEnv::readFile(AppContext::dataFolder + "/tmp/ShutterA1.xml"));
        const QList<QJsonObject> sent = m_mail.take();
        QVERIFY(mailField(sent.first(), "html").contains("<p>Upload ID: Shutter_C123456_1700000000000.xml"));
        QCOMPARE(orderFiles(), QStringList{"posted/A1"});
    }

    // Two users of one account: Admin sends, JO receives into "in/".
    void transfersBetweenUsers()
    {
        for (const QString &key : m_store.conn->getCloudDirContents("lattica", kAccount + "/xfer/jo/"))
            QVERIFY(m_store.conn->deleteFile(key, "lattica")); // sent by earlier tests
        queue("xfer", "T1", "2");
        queue("xfer", "T2", "JO");
        CloudComms sender(nullptr);
        QCOMPARE(post(sender), QStringList{""});
        // what else waits for JO: an order sent to the staff ID's folder by
        // an older version, an unsafe name, a short object, an ID JO already has
        put(kAccount + "/xfer/2/T3", orderJson("T3"));
        put(kAccount + "/xfer/jo/evil\\..\\..\\x", orderJson("evil"));
        put(kAccount + "/xfer/jo/.T6", orderJson(".T6")); // no list would show these
        put(kAccount + "/xfer/jo/T7.xml", orderJson("T7.xml"));
        put(kAccount + "/xfer/jo/T4", orderJson("T4").left(49));
        put(kAccount + "/xfer/jo/T5", orderJson("T5"));

        device("JO");
        AppContext::userSettings()->setValue("cld_b", true);
        queue("in", "T5");
        CloudComms receiver(nullptr);
        receiver.queueTask(CloudComms::TaskFetchTransfers);
        QCOMPARE(filesIn("in").join(" "), QString("in/T1 in/T2 in/T3 in/T5 in/T5-i"));
        QCOMPARE(TestEnv::readFile(AppContext::ordersFolder + "in/T1"), orderJson("T1", "2"));
        QCOMPARE(object(kAccount + "/a/T5-i"), orderJson("T5"));
        // listings never hand out the unsafe name; the object itself stays put
        QCOMPARE(m_store.conn->getCloudDirContents("lattica", kAccount + "/xfer/jo/"),
                 QStringList({kAccount + "/xfer/jo/.T6", kAccount + "/xfer/jo/T4", kAccount + "/xfer/jo/T7.xml"}));
        QCOMPARE(object(kAccount + "/xfer/jo/evil\\..\\..\\x"), orderJson("evil"));
        QCOMPARE(object(kAccount + "/xfer/jo/.T6"), orderJson(".T6")); // refused before anything was deleted
        QCOMPARE(object(kAccount + "/xfer/jo/T7.xml"), orderJson("T7.xml"));
        QVERIFY(!QFileInfo::exists(AppContext::ordersFolder + "x"));
    }

    void emailCheck_data()
    {
        QTest::addColumn<QString>("service");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("message");
        const QString box = "apilayer", mg = "mg";
        QTest::newRow("box: good score") << box << 200 << R"({"email":"jo@x.com","user":"jo","domain":"x.com","format_valid":true,"mx_found":true,"smtp_check":true,"score":0.96})" << 2 << "";
        QTest::newRow("box: bad format") << box << 200 << R"({"user":"jo","did_you_mean":"jo@x.com","format_valid":false,"mx_found":false,"score":0.1})" << -2 << "Invalid email format\nDid you mean: jo@x.com";
        QTest::newRow("box: no MX") << box << 200 << R"({"user":"jo","domain":"exampel.com","did_you_mean":"","format_valid":true,"mx_found":false,"score":0.32})" << -1 << "Please check the email domain:exampel.com";
        QTest::newRow("box: mailbox, low score") << box << 200 << R"({"user":"jo","did_you_mean":"jo@gmail.com","format_valid":true,"mx_found":true,"smtp_check":true,"score":0.64})" << 1 << "Possibly an invalid email address:\nDid you mean: jo@gmail.com";
        QTest::newRow("box: mailbox, fair score") << box << 200 << R"({"user":"jo","format_valid":true,"mx_found":true,"smtp_check":true,"score":0.72})" << 2 << "";
        QTest::newRow("box: no mailbox") << box << 200 << R"({"user":"jo","format_valid":true,"mx_found":true,"smtp_check":false,"score":0.48})" << 1 << "No mailbox found for: jo";
        QTest::newRow("box: unconfirmed") << box << 200 << R"({"user":"jo","format_valid":true,"mx_found":true,"smtp_check":false,"score":0.8})" << 1 << "Cannot confirm the mailbox for: jo";
        QTest::newRow("box: API error") << box << 200 << R"({"success":false,"error":{"code":101,"type":"invalid_access_key"}})" << 0 << "";
        QTest::newRow("box: not JSON") << box << 200 << "<html>gateway</html>" << 0 << "";
        QTest::newRow("box: service down") << box << 503 << "busy" << 0 << "Failed to check email: ";
        QTest::newRow("mg: valid") << mg << 200 << R"({"address":"jo@x.com","is_valid": true,"reason":null})" << 2 << "";
        QTest::newRow("mg: no mailbox") << mg << 200 << R"({"is_valid":false,"reason":"mailbox_does_not_exist"})" << 1 << "Invalid email, there is no mailbox for: jo@x.com";
        QTest::newRow("mg: no MX") << mg << 200 << R"({"is_valid":false,"reason":"No MX records found for domain"})" << -1 << "Invalid email (the part after the @ is incorrect). jo@x.com";
        QTest::newRow("mg: no reason") << mg << 200 << R"({"is_valid":false})" << -1 << "Invalid email, please check: jo@x.com";
        QTest::newRow("mg: other reason") << mg << 200 << R"({"is_valid":false,"reason":"high_risk"})" << 1 << "Invalid email, please check: jo@x.com reason: high_risk";
        QTest::newRow("mg: service down") << mg << 503 << "busy" << 0 << "Service Unavailable";
        QTest::newRow("checking off") << "off" << 200 << "" << 3 << "";
    }

    void emailCheck()
    {
        QFETCH(QString, service);
        QFETCH(int, status);
        QFETCH(QString, reply);
        QFETCH(int, result);
        QFETCH(QString, message);
        CloudFixture::setUser({{"mailChkUrl_s", m_mail.url("/api/check").toString()}, {"mgValidateKey_s", "pubkey-test"},
                               {"mgValidateUrl_s", m_mail.url("/v3/address/validate").toString()},
                               {"mailChkApi_s", service == "mg" ? "mg" : "al"}, {"mailchk_b", service != "off"}});
        QVERIFY(m_mail.control({{"replies", QJsonObject{{"jo@x.com", QJsonArray{status, reply}}}}}));
        VexaOrder order;
        CloudComms comms(&order);
        QCOMPARE(comms.checkEmailAddress("  jo@x.com "), result);
        QCOMPARE(order.mailCheckResult(), service == "off" ? 1 : result);
        QVERIFY2(message.isEmpty() ? comms.lastMessage().isEmpty() : comms.lastMessage().contains(message), qPrintable(comms.lastMessage()));
        const QList<QJsonObject> requests = m_mail.take();
        QCOMPARE(requests.size(), service == "off" ? 0 : 1);
        if (service == "mg") {
            QCOMPARE(requests.first().value("path").toString(), QString("/v3/address/validate?address=jo@x.com"));
            QCOMPARE(requests.first().value("authorization").toString(), QString("Basic " + QByteArray("api:pubkey-test").toBase64()));
        } else if (service != "off") {
            QCOMPARE(requests.first().value("path").toString(), QString("/api/check?access_key=&email=jo@x.com&smtp=1"));
        }
    }

    // A Cancel with no task running leaves the task queue working.
    void cancelLeavesTasks()
    {
        CloudComms comms(nullptr);
        comms.stopPosting();
        QSignalSpy results(&comms, &CloudComms::asyncResult);
        comms.queueTask(CloudComms::TaskStaffCheck);
        QCOMPARE(results.size(), 1);
        QCOMPARE(results.first().first().toString(), QString());
    }

    void logs()
    {
        CloudComms comms(nullptr);
        QVERIFY(!comms.sendLogs());
        QCOMPARE(comms.lastMessage(), QString("No logs to send"));
        AppContext::userSettings()->setValue("bus_s", "Acme Shutters");
        QVERIFY(TestEnv::writeFile(AppContext::dataFolder + "/logs/diag1.txt", "line one\n"));
        QVERIFY(comms.sendLogs());
        const QList<QJsonObject> sent = m_mail.take();
        QCOMPARE(sent.size(), 1);
        QCOMPARE(QStringList({mailField(sent.first(), "subject"), mailField(sent.first(), "text"), mailField(sent.first(), "attachment")}),
                 QStringList({"Logs from: Acme Shutters", "Logs from: Acme Shutters emailconf_s=" + kConf, "line one\n"}));
    }
};

QTEST_GUILESS_MAIN(TestOrderPosting)
#include "tst_orderposting.moc"
