// The portal XML export: each folder of tests/documents/portalxml holds an
// order file, optional shared-settings changes and either the expected
// elements and attributes (in order) or the expected error. Output is read
// back with a real XML parser and validated against portalorder.xsd.
#include "cloudfixture.h"
#include "documents/uploadtolta.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <csignal>
#include <sys/resource.h>

// Every file below the data folder with its content, "tmp" left out.
static QMap<QString, QByteArray> snapshot(const QString &root)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!path.startsWith(root + "/tmp/"))
            files.insert(path, TestEnv::readFile(path));
    }
    return files;
}

class TestPortalXml : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestEnv::initApp();
    }

    void init()
    {
        m_data.reset(TestEnv::freshDataFolder());
        CloudFixture::setValues(AppContext::sharedSettings(),
                                {{"busNames/C123456", "Main Shutters Ltd"}, {"busNames/M7654321", "North Branch"},
                                 {"buslist/C123456", QStringList{"Head Office", "Warehouse"}}, {"buslist/M7654321", QStringList{"North Yard"}},
                                 {"C123456/Head Office", "LOC-001"}, {"C123456/Warehouse Unit 4", "LOC-002"},
                                 {"C123456_m/Warehouse Unit 4", "Warehouse"}});
    }

    void cases_data()
    {
        QTest::addColumn<QString>("dir");
        const QDir root(TestEnv::sourcePath("tests/documents/portalxml"));
        for (const QString &name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            QTest::newRow(qPrintable(name)) << root.filePath(name);
    }

    void cases()
    {
        QFETCH(QString, dir);
        const QJsonObject settings = QJsonDocument::fromJson(TestEnv::readFile(dir + "/settings.json")).object();
        for (auto it = settings.begin(); it != settings.end(); ++it) {
            if (it.value().isNull())
                AppContext::sharedSettings()->remove(it.key());
            else
                AppContext::sharedSettings()->setValue(it.key(), it.value().toVariant());
        }
        // a file from an earlier export of the same order, which a failure keeps
        const QString id = QRegularExpression("\"orderID\": *\"(\\w+)\"").match(TestEnv::readFile(dir + "/order.json")).captured(1);
        const QString earlier = AppContext::dataFolder + "/tmp/Shutter" + id + ".xml";
        if (!id.isEmpty())
            QVERIFY(TestEnv::writeFile(earlier, "<Order earlier=\"1\"/>"));

        UploadToLTA exporter;
        const QString error = exporter.orderToXml(dir + "/order.json");
        if (QFileInfo::exists(dir + "/error.txt")) {
            QCOMPARE(error, QString::fromUtf8(TestEnv::readFile(dir + "/error.txt")).trimmed());
            if (!id.isEmpty())
                QCOMPARE(TestEnv::readFile(earlier), QByteArray("<Order earlier=\"1\"/>"));
            QCOMPARE(QDir(AppContext::dataFolder + "/tmp").entryList(QDir::Files).size(), id.isEmpty() ? 0 : 1);
            return;
        }
        QCOMPARE(error, QString());
        QCOMPARE(exporter.filePath(), earlier);
        const QByteArray xml = TestEnv::readFile(earlier);
        QString parseError;
        QStringList got = readBack(xml, &parseError);
        QCOMPARE(parseError, QString());
        QStringList expected = QString::fromUtf8(TestEnv::readFile(dir + "/expected.txt")).split('\n', Qt::SkipEmptyParts);
        for (int i = 0; i < expected.size() && i < got.size(); ++i) {
            if (expected[i] == "Os=*" && got[i].startsWith("Os=") && got[i].size() > 3)
                got[i] = expected[i];
            expected[i].replace("*today*", QDate::currentDate().toString("dd/M/yyyy"));
        }
        QCOMPARE(got.join('\n'), expected.join('\n'));
        const QString invalid = validate(earlier);
        QVERIFY2(invalid.isEmpty(), qPrintable(invalid));

        // the same exporter numbers the rooms of its next order afresh
        QCOMPARE(exporter.orderToXml(dir + "/order.json"), QString());
        QCOMPARE(TestEnv::readFile(earlier), xml);
    }

    void tmpIsAFile()
    {
        const QString tmp = AppContext::dataFolder + "/tmp";
        QVERIFY(QDir(tmp).removeRecursively() && TestEnv::writeFile(tmp, "not a folder"));
        UploadToLTA exporter;
        QCOMPARE(exporter.orderToXml(simpleOrder("T1")), QString("Failed to open the file fot transfer."));
        QCOMPARE(TestEnv::readFile(tmp), QByteArray("not a folder"));
    }

    void writeFailureKeepsOldFile()
    {
        // A real write failure (root ignores permissions): a file size limit
        // below the XML's size makes the writes fail.
        const QString order = simpleOrder("T2");
        const QString target = AppContext::dataFolder + "/tmp/ShutterT2.xml";
        QVERIFY(TestEnv::writeFile(target, "<Order earlier=\"1\"/>"));
        UploadToLTA exporter;
        rlimit old;
        QVERIFY(getrlimit(RLIMIT_FSIZE, &old) == 0);
        rlimit small = old;
        small.rlim_cur = 64;
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
        const QString error = exporter.orderToXml(order);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, previous);
        QCOMPARE(error, QString("Faled to write the XML transfer file"));
        QCOMPARE(TestEnv::readFile(target), QByteArray("<Order earlier=\"1\"/>"));
        QCOMPARE(QDir(AppContext::dataFolder + "/tmp").entryList(QDir::Files), QStringList{"ShutterT2.xml"});
        // and with room to write it goes through
        QCOMPARE(exporter.orderToXml(order), QString());
        QVERIFY(TestEnv::readFile(target).contains("AccountCode=\"M7654321\""));
    }

    void cli()
    {
        const QString cases = TestEnv::sourcePath("tests/documents/portalxml/");
        QVERIFY(QFile::copy(cases + "standard_delivery/order.json", AppContext::stateFolder(3) + "Q2001"));
        AppContext::sharedSettings()->sync();
        AppContext::userSettings()->sync();
        const auto before = snapshot(AppContext::dataFolder);
        auto run = [](const QStringList &args, QByteArray *out) {
            return CloudFixture::runCli(QStringList{"order", "xml", "--data", AppContext::dataFolder} + args, out);
        };
        QByteArray out;
        QCOMPARE(run({"Q2001"}, &out), 0);
        UploadToLTA exporter;
        QCOMPARE(exporter.orderToXml(cases + "standard_delivery/order.json"), QString());
        QCOMPARE(out, TestEnv::readFile(exporter.filePath()));

        QCOMPARE(run({"--account", "M7654321", cases + "collect_first_account/order.json"}, &out), 0);
        QVERIFY2(out.contains("<Order AccountName=\"North Branch\" AccountCode=\"M7654321\""), out.constData());
        QCOMPARE(run({cases + "missing_props/order.json"}, &out), 1);
        QCOMPARE(run({"NOSUCHID"}, &out), 1);
        QVERIFY(snapshot(AppContext::dataFolder) == before);
    }

private:
    // Elements as "<Name>" lines, each followed by its attributes in order.
    static QStringList readBack(const QByteArray &xml, QString *error)
    {
        QStringList lines;
        QXmlStreamReader reader(xml);
        while (!reader.atEnd()) {
            if (reader.readNext() != QXmlStreamReader::StartElement)
                continue;
            lines << "<" + reader.name().toString() + ">";
            for (const QXmlStreamAttribute &a : reader.attributes())
                lines << a.name().toString() + "=" + a.value().toString().replace("\n", "\\n");
        }
        if (reader.hasError())
            *error = reader.errorString();
        return lines;
    }
    static QString validate(const QString &path)
    {
        QProcess lint;
        lint.setProcessChannelMode(QProcess::MergedChannels);
        lint.start("xmllint", {"--noout", "--schema", TestEnv::sourcePath("tests/documents/portalorder.xsd"), path});
        if (!lint.waitForFinished(30000))
            return "xmllint did not run: " + lint.errorString();
        return lint.exitCode() == 0 ? QString() : QString::fromLocal8Bit(lint.readAll());
    }
    // An order the export accepts, written to the data folder.
    QString simpleOrder(const QString &id)
    {
        const QString path = m_data->filePath(id + ".json");
        TestEnv::writeFile(path, QJsonDocument(QJsonObject{{"orderID", id},
                                                           {"props", QJsonObject{{"AccountName", "North Branch"}}}})
                                     .toJson());
        return path;
    }

    std::unique_ptr<QTemporaryDir> m_data;
};

QTEST_GUILESS_MAIN(TestPortalXml)
#include "tst_portalxml.moc"
