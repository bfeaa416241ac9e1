// The drawing of a shutter, read back with an XML parser: panels and their
// hinges, posts and joints where measured, rails and tilt-bar splits at their
// heights, the dimension texts; xmllint accepts every drawing, and
// `lattica-cli order drawing` numbers items as the review lists them.
#include "documents/shutterdrawing.h"
#include "models/qqmlobjectlistmodel.h"
#include "orders/vexaorder.h"
#include "orders/vexaorderitem.h"
#include "testenv.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

struct Group
{
    QString cls;
    QXmlStreamAttributes attrs;
    QList<QXmlStreamAttributes> shapes;  // rect / path / text, with "#text" for a text's content
    QStringList texts;
};

struct ParsedSvg
{
    QString error;
    QList<Group> groups;
    QList<Group> ofClass(const QString &cls) const
    {
        QList<Group> out;
        for (const Group &g : groups)
            if (g.cls == cls)
                out << g;
        return out;
    }
};

ParsedSvg parseSvg(const QString &svg)
{
    ParsedSvg parsed;
    QXmlStreamReader xml(svg);
    Group *current = nullptr;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("g")) {
                parsed.groups.append({xml.attributes().value("class").toString(), xml.attributes(), {}, {}});
                current = &parsed.groups.last();
            } else if (current && xml.name() == QLatin1String("text")) {
                const QXmlStreamAttributes attrs = xml.attributes();
                const QString content = xml.readElementText();
                current->shapes << attrs;
                if (attrs.value("class") == QLatin1String("dim"))
                    current->texts << content;
            } else if (current) {
                current->shapes << xml.attributes();
            }
        } else if (xml.isEndElement() && xml.name() == QLatin1String("g")) {
            current = nullptr;
        }
    }
    if (xml.hasError())
        parsed.error = xml.errorString();
    return parsed;
}

double attr(const QXmlStreamAttributes &a, const char *name) { return a.value(QLatin1String(name)).toDouble(); }

QList<double> numbers(const QString &pathData)
{
    QList<double> out;
    static const QRegularExpression number(QStringLiteral("-?[0-9.]+"));
    auto it = number.globalMatch(pathData);
    while (it.hasNext())
        out << it.next().captured().toDouble();
    return out;
}

QString xmllint(const QString &svg)
{
    QTemporaryFile file(QDir::tempPath() + "/drawingXXXXXX.svg");
    if (!file.open())
        return "no temporary file";
    file.write(svg.toUtf8());
    file.close();
    QProcess lint;
    lint.start("xmllint", {"--noout", file.fileName()});
    if (!lint.waitForFinished(30000))
        return "xmllint did not run: " + lint.errorString();
    return lint.exitCode() == 0 ? QString() : QString::fromUtf8(lint.readAllStandardError());
}

} // namespace

using IntList = QList<int>;

class TestShutterDrawing : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::initApp(); }
    void init() { m_data.reset(TestEnv::freshDataFolder()); }

    void drawing_data()
    {
        QTest::addColumn<QString>("item");      // as the order file holds it
        QTest::addColumn<QString>("hinges");    // the panels' hinge sides, left to right
        QTest::addColumn<IntList>("tposts");
        QTest::addColumn<IntList>("joints");
        QTest::addColumn<IntList>("rails");
        QTest::addColumn<IntList>("tiltsplits");
        QTest::addColumn<QStringList>("dims");

        QTest::newRow("LR") << R"({"width": 1500, "drop": 1200, "data": {"PanelConfig": "lr"},
                                   "options": [{"group": "Frame Style", "description": "Classic"}]})"
                            << "LR" << IntList{} << IntList{} << IntList{} << IntList{}
                            << QStringList{"1500 mm", "1200 mm"};
        QTest::newRow("LRTLR, post at 725 of 1450")
            << R"({"width": 1450, "drop": 1300, "data": {"PanelConfig": "LRTLR", "TPost1": "725"},
                  "options": [{"group": "Frame Style", "description": "Deco Z Frame"}]})"
            << "LRLR" << IntList{725} << IntList{} << IntList{} << IntList{} << QStringList{"1450 mm", "1300 mm"};
        QTest::newRow("off-centre posts, typed out of order")
            << R"({"width": 2400, "drop": 1000, "data": {"PanelConfig": "LTLRTR", "TPost1": 1900, "TPost2": 500}})"
            << "LLRR" << IntList{500, 1900} << IntList{} << IntList{} << IntList{} << QStringList{"2400 mm", "1000 mm"};
        QTest::newRow("LCR")
            << R"({"width": 1400, "drop": 1100, "data": {"PanelConfig": "LCR", "CPanel1": 600},
                  "options": [{"group": "Frame Style", "description": "Micro L"}]})"
            << "LR" << IntList{} << IntList{600} << IntList{} << IntList{} << QStringList{"1400 mm", "1100 mm"};
        QTest::newRow("custom panels and a post")
            << R"({"width": 2000, "drop": 1500, "data": {"PanelConfig": "LCRTLCR", "CPanel1": 450, "TPost1": 1000, "CPanel2": 1550}})"
            << "LRLR" << IntList{1000} << IntList{450, 1550} << IntList{} << IntList{} << QStringList{"2000 mm", "1500 mm"};
        QTest::newRow("tall, one divider rail")
            << R"({"width": 900, "drop": 2600, "data": {"PanelConfig": "LR", "DividerRail1": 1300},
                  "options": [{"group": "Shutter Style", "description": "Full Height with Divider"}]})"
            << "LR" << IntList{} << IntList{} << IntList{1300} << IntList{} << QStringList{"900 mm", "2600 mm"};
        QTest::newRow("tall, two divider rails")
            << R"({"width": 1200, "drop": 2700, "data": {"PanelConfig": "LLRR", "DividerRail1": 900, "DividerRail2": 1800}})"
            << "LLRR" << IntList{} << IntList{} << IntList{900, 1800} << IntList{} << QStringList{"1200 mm", "2700 mm"};
        QTest::newRow("tilt-bar splits")
            << R"({"width": 800, "drop": 1800, "data": {"PanelConfig": "L", "TiltBarSplit1": 600, "TiltBarSplit2": 1250}})"
            << "L" << IntList{} << IntList{} << IntList{} << IntList{600, 1250} << QStringList{"800 mm", "1800 mm"};
        QTest::newRow("inches")
            << R"({"width": 1450, "drop": 1219, "inches": true, "data": {"PanelConfig": "LRTLR", "TPost1": 725}})"
            << "LRLR" << IntList{725} << IntList{} << IntList{} << IntList{} << QStringList{"57 1/8 in", "48 in"};
        QTest::newRow("rail outside the shutter is left out")
            << R"({"width": 700, "drop": 1000, "data": {"PanelConfig": "R", "DividerRail1": 1000, "TiltBarSplit1": 0}})"
            << "R" << IntList{} << IntList{} << IntList{} << IntList{} << QStringList{"700 mm", "1000 mm"};
    }

    void drawing()
    {
        QFETCH(QString, item);
        QFETCH(QString, hinges);
        QFETCH(IntList, tposts);
        QFETCH(IntList, joints);
        QFETCH(IntList, rails);
        QFETCH(IntList, tiltsplits);
        QFETCH(QStringList, dims);

        VexaOrderItem *it = loadItem(item);
        QVERIFY(it);
        const QString svg = shutterDrawingSvg(*it);
        QCOMPARE(xmllint(svg), QString());
        const ParsedSvg parsed = parseSvg(svg);
        QVERIFY2(parsed.error.isEmpty(), qPrintable(parsed.error));
        const double W = it->bl_width(), H = it->bl_drop();

        // the frame's outer edge is the shutter's size, at x = 0
        const QList<Group> frames = parsed.ofClass("frame");
        QCOMPARE(frames.size(), 1);
        const QList<double> outer = numbers(frames.first().shapes.value(0).value("d").toString()).mid(0, 4);
        QCOMPARE(outer, QList<double>({0, 0, W, H}));

        // panels left to right, each inside the frame and clear of every post
        QList<QPair<double, QString>> panels;
        for (const Group &g : parsed.ofClass("panel")) {
            const QXmlStreamAttributes r = g.shapes.value(0);
            const double x = attr(r, "x"), w = attr(r, "width");
            QVERIFY(x > 0 && x + w < W && w > 0);
            QVERIFY(attr(r, "y") > 0 && attr(r, "y") + attr(r, "height") < H);
            for (int post : tposts)
                QVERIFY2(x + w <= post - 7 || x >= post + 7, qPrintable(QString("panel at %1 crosses %2").arg(x).arg(post)));
            panels << qMakePair(x, g.attrs.value("data-hinge").toString());
        }
        std::sort(panels.begin(), panels.end());
        QString seen;
        for (const auto &p : panels)
            seen += p.second;
        QCOMPARE(seen, hinges);

        // posts and joints carry their measure and are drawn there
        auto positions = [&parsed](const QString &cls, const char *key) {
            QList<int> out;
            for (const Group &g : parsed.ofClass(cls))
                out << qRound(g.attrs.value(QLatin1String(key)).toDouble());
            std::sort(out.begin(), out.end());
            return out;
        };
        // a post's rect and a joint's line stand where measured
        for (const Group &g : parsed.ofClass("tpost") + parsed.ofClass("joint")) {
            const QXmlStreamAttributes s = g.shapes.value(0);
            const double drawn = s.hasAttribute("d") ? numbers(s.value("d").toString()).value(0)
                                                     : attr(s, "x") + attr(s, "width") / 2;
            QVERIFY(std::abs(drawn - g.attrs.value("data-x").toDouble()) <= 1);
        }
        QCOMPARE(positions("tpost", "data-x"), tposts);
        QCOMPARE(positions("joint", "data-x"), joints);
        QCOMPARE(positions("rail", "data-y"), rails);
        QCOMPARE(positions("tiltsplit", "data-y"), tiltsplits);
        for (const QString cls : {"rail", "tiltsplit"})
            for (const Group &g : parsed.ofClass(cls)) {
                const QList<double> line = numbers(g.shapes.value(0).value("d").toString());
                QVERIFY(std::abs(line.value(1) - (H - g.attrs.value("data-y").toDouble())) <= 1);
                QVERIFY(line.value(0) > 0 && line.value(2) < W);
            }

        QStringList texts;
        for (const Group &g : parsed.groups)
            texts << g.texts;
        QCOMPARE(texts, dims);
    }

    void missingMeasuresStillDraw_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<IntList>("expected");
        // while a post is not yet measured it stands by the panel count
        QTest::newRow("no measure") << R"({"width": 1032, "drop": 900, "data": {"PanelConfig": "LTR"}})" << IntList{516};
        QTest::newRow("outside the frame") << R"({"width": 1032, "drop": 900, "data": {"PanelConfig": "LLTR", "TPost1": 5000}})"
                                           << IntList{16 + 1000 * 2 / 3};
        QTest::newRow("six posts") << R"({"width": 1432, "drop": 900, "data": {"PanelConfig": "LTLTLTLTLTLTL",
                                          "TPost1": 200, "TPost2": 400, "TPost3": 600, "TPost4": 800, "TPost5": 1000}})"
                                   << IntList{16 + 1400 / 7, 16 + 2800 / 7, 16 + 4200 / 7, 16 + 5600 / 7, 16 + 7000 / 7, 16 + 8400 / 7};
    }

    void missingMeasuresStillDraw()
    {
        QFETCH(QString, item);
        QFETCH(IntList, expected);
        VexaOrderItem *it = loadItem(item);
        const ParsedSvg parsed = parseSvg(shutterDrawingSvg(*it));
        QList<int> xs;
        for (const Group &g : parsed.ofClass("tpost"))
            xs << qRound(g.attrs.value("data-x").toDouble());
        QCOMPARE(xs.size(), expected.size());
        for (int i = 0; i < xs.size(); ++i)
            QVERIFY2(std::abs(xs[i] - expected[i]) <= 1, qPrintable(QString("%1 vs %2").arg(xs[i]).arg(expected[i])));
        QCOMPARE(parsed.ofClass("panel").size(), QString(it->dataMap().value("PanelConfig").toString()).count(QRegularExpression("[LR]")));
    }

    void emptyAndHostileItems()
    {
        // no size yet: a valid, empty drawing
        VexaOrderItem *blank = loadItem(R"({"width": 0, "drop": 0})");
        QCOMPARE(xmllint(shutterDrawingSvg(*blank)), QString());
        QVERIFY(parseSvg(shutterDrawingSvg(*blank)).groups.isEmpty());
        // typed text other than panel letters never reaches the markup
        VexaOrderItem *odd = loadItem(R"({"width": 900, "drop": 900, "data": {"PanelConfig": "L<b>&amp;R",
                                           "TPost1": "<b>"}})");
        const QString svg = shutterDrawingSvg(*odd);
        QCOMPARE(xmllint(svg), QString());
        QCOMPARE(parseSvg(svg).ofClass("panel").size(), 2);
        QVERIFY(!svg.contains("<b>"));
        // a handle product has glass, no panels
        VexaOrderItem *glass = loadItem(R"({"width": 500, "drop": 700, "product": "Perfect Fit", "data": {"PanelConfig": "LR"}})");
        const ParsedSvg g = parseSvg(shutterDrawingSvg(*glass));
        QCOMPARE(g.ofClass("panel").size(), 0);
        QCOMPARE(g.ofClass("glass").size(), 1);
    }

    void cliNumbersItemsAsTheReview()
    {
        // the review lists by room: Bedroom first, then the two kitchen items
        const QString path = m_data->filePath("R1.json");
        QVERIFY(TestEnv::writeFile(path, R"({"orderID": "R1", "items": [
            {"room": "Kitchen", "width": 1001, "drop": 1000, "data": {"PanelConfig": "LR"}},
            {"room": "Bedroom", "width": 1002, "drop": 1000, "data": {"PanelConfig": "LR"}},
            {"room": "Kitchen", "width": 1003, "drop": 1000, "data": {"PanelConfig": "LTR", "TPost1": 500}}]})"));
        QStringList widths;
        for (const QString n : {"1", "2", "3"}) {
            QProcess cli;
            cli.start(LTA_BINARY_DIR "/src/lattica-cli", {"order", "drawing", path, n});
            QVERIFY(cli.waitForFinished(30000));
            QCOMPARE(cli.exitCode(), 0);
            const ParsedSvg parsed = parseSvg(QString::fromUtf8(cli.readAllStandardOutput()));
            QVERIFY2(parsed.error.isEmpty(), qPrintable(parsed.error));
            widths << parsed.ofClass("dimension").value(0).texts.value(0);
        }
        QCOMPARE(widths, QStringList({"1002 mm", "1001 mm", "1003 mm"}));
        QProcess cli;
        cli.start(LTA_BINARY_DIR "/src/lattica-cli", {"order", "drawing", path, "4"});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 1);
        QVERIFY(cli.readAllStandardOutput().isEmpty());
    }

private:
    // One item read through the order file, so its option groups are real.
    VexaOrderItem *loadItem(const QString &itemJson)
    {
        const QJsonObject item = QJsonDocument::fromJson(itemJson.toUtf8()).object();
        if (item.isEmpty())
            return nullptr;
        QJsonObject order{{"orderID", "D1"}, {"items", QJsonArray{item}}};
        m_order = std::make_unique<VexaOrder>();
        m_order->autoSave = false;
        m_order->readJson(order);
        return m_order->orderItemsModel()->get(0);
    }

    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<VexaOrder> m_order;
};

QTEST_MAIN(TestShutterDrawing)
#include "tst_shutterdrawing.moc"
