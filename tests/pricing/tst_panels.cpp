// Panel layout: the typed configuration, the assembly rule of the survey,
// widths and fold styles, the configuration and tall-shutter warnings, and
// the louvre/rail limits.
#include "pricing/panellayout.h"
#include "pricing/panels.h"

#include <QtTest>

Q_DECLARE_METATYPE(Assembly)

namespace {
QVariantMap dataMap(const QString &pairs)
{
    QVariantMap m;
    for (const QString &kv : pairs.split(';', Qt::SkipEmptyParts))
        m.insert(kv.section('=', 0, 0), kv.section('=', 1));
    return m;
}
} // namespace

class TestPanels : public QObject
{
    Q_OBJECT
private slots:
    void typing_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("rules");   // c = café, m = Micro/Mini frame, t = transom shown
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVector<int>>("counts");   // panels, T-posts, custom panels, astragal
        QTest::newRow("lower case with post") << "lrtlr" << "" << "LRTLR" << QVector<int>{4, 1, 0, 1};
        QTest::newRow("bi-fold") << "LLRR" << "" << "LLRR" << QVector<int>{4, 0, 0, 1};
        QTest::newRow("custom positions") << "LCRTLCR" << "" << "LCRTLCR" << QVector<int>{4, 1, 2, 1};
        QTest::newRow("T first") << "TLR" << "" << "LR" << QVector<int>{2, 0, 0, 1};
        QTest::newRow("R then L") << "RL" << "" << "R" << QVector<int>{1, 0, 0, 0};
        QTest::newRow("R space L") << "R L" << "" << "R" << QVector<int>{1, 0, 0, 0};
        QTest::newRow("C first") << "CL" << "" << "" << QVector<int>{0, 0, 0, 0};
        QTest::newRow("four L") << "LLLL" << "" << "LLL" << QVector<int>{3, 0, 0, 0};
        QTest::newRow("four R") << "RRRR" << "" << "RRR" << QVector<int>{3, 0, 0, 0};
        QTest::newRow("café run") << "LLLL" << "c" << "LL" << QVector<int>{2, 0, 0, 0};
        QTest::newRow("café bi-fold") << "LLRRR" << "c" << "LLRR" << QVector<int>{4, 0, 0, 1};
        QTest::newRow("café no post") << "LTR" << "c" << "LR" << QVector<int>{2, 0, 0, 1};
        QTest::newRow("transom no post") << "LTR" << "t" << "LR" << QVector<int>{2, 0, 0, 1};
        QTest::newRow("micro LL") << "LL" << "m" << "L" << QVector<int>{1, 0, 0, 0};
        QTest::newRow("micro RR") << "LRR" << "m" << "LR" << QVector<int>{2, 0, 0, 1};
        QTest::newRow("C after R") << "LRC" << "" << "LR" << QVector<int>{2, 0, 0, 1};
        QTest::newRow("other characters") << "L-x R" << "" << "LR" << QVector<int>{2, 0, 0, 1};
    }

    void typing()
    {
        QFETCH(QString, typed);
        QFETCH(QString, rules);
        PanelLayoutRules r;
        r.cafe = rules.contains('c');
        r.microMini = rules.contains('m');
        r.transom = rules.contains('t');
        const PanelLayout layout = panelLayout(typed, r);
        QTEST(layout.text, "text");
        QTEST((QVector<int>{layout.panels, layout.tposts, layout.cpanels, int(layout.astragal)}), "counts");
        // what comes out is accepted unchanged
        QCOMPARE(panelLayout(layout.text, r).text, layout.text);
    }

    void assembly_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("widthEdited");
        QTest::addColumn<Assembly>("current");
        QTest::addColumn<Assembly>("ticked");
        QTest::addColumn<bool>("preAllowed");
        QTest::addColumn<bool>("flatAllowed");
        const auto none = Assembly::None, pre = Assembly::PreAssembled, flat = Assembly::FlatPack;
        QTest::newRow("1800 wide after width edit") << 1800 << 1000 << true << pre << flat << true << true;
        QTest::newRow("1800 wide after height edit") << 1800 << 1000 << false << pre << pre << true << true;
        QTest::newRow("1800 wide, nothing ticked") << 1800 << 1000 << false << none << flat << true << true;
        QTest::newRow("2700 wide") << 2700 << 1000 << true << pre << flat << false << true;
        QTest::newRow("2000 x 2000 above the area") << 2000 << 2000 << false << pre << flat << false << true;
        QTest::newRow("1000 x 1000") << 1000 << 1000 << true << flat << pre << true << false;
        QTest::newRow("narrow but tall") << 1500 << 2700 << false << pre << flat << false << true;
        QTest::newRow("edges: 1750 wide") << 1750 << 2000 << true << flat << pre << true << false;
        QTest::newRow("edges: 2600 wide") << 2600 << 1500 << false << pre << pre << true << true;
    }

    void assembly()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(bool, widthEdited);
        QFETCH(Assembly, current);
        const AssemblyChoice c = assemblyChoice(width, height, widthEdited, current, AssemblyLimits());
        QTEST(c.ticked, "ticked");
        QTEST(c.preAllowed, "preAllowed");
        QTEST(c.flatAllowed, "flatAllowed");
    }

    void widths_data()
    {
        QTest::addColumn<QString>("pc");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("data");
        QTest::addColumn<QString>("expected");   // letter width / style, per panel
        // 1500 - 2*45 = 1410, less 4 for the LR meeting = 1406, two of 703 - 2
        QTest::newRow("LR classic") << "LR" << 1500 << "Classic" << "" << "L701/0 R701/0";
        // 2000: sections 1000-10-8-2 and 2000-1000-10-8-2, one panel each
        QTest::newRow("LTR micro") << "LTR" << 2000 << "Micro" << "TPost1=1000" << "L978/0 R978/0";
        // a name that merely contains a known frame takes the standard deduction
        QTest::newRow("single panel") << "L" << 600 << "Classic Plus" << "" << "L564/0";
        QTest::newRow("multi fold run") << "LLLR" << 2400 << "Standard" << "" << "L589/2 L589/2 L589/2 R589/0";
        // custom break: no T-post allowance
        QTest::newRow("custom break") << "LCRR" << 1800 << "Mini Z" << "CPanel1=700" << "L686/0 R542/1 R542/1";
        // marks sorted by position, whatever order they were typed
        QTest::newRow("two posts") << "LTLTR" << 3000 << "Standard" << "TPost1=2000;TPost2=1000" << "L972/0 L980/0 R972/0";
        QTest::newRow("post at 0 gives no panels") << "LTR" << 2000 << "Classic" << "TPost1=0" << "";
        // 1001 - 20 - 2 = 979 over two panels: 489.5 rounds up to 490
        QTest::newRow("half rounds away") << "LL" << 1001 << "Micro" << "" << "L488/1 L488/1";
    }

    void widths()
    {
        QFETCH(QString, pc);
        QFETCH(int, width);
        QFETCH(QString, frame);
        QFETCH(QString, data);
        QStringList out;
        for (const PanelEntry &p : panelWidths(pc, width, frameDeduction(frame), dataMap(data)))
            out << QStringLiteral("%1%2/%3").arg(p.letter).arg(p.width).arg(p.style);
        QTEST(out.join(' '), "expected");
    }

    void configWarnings()
    {
        const QList<std::tuple<QString, QString, QStringList>> cases = {
            {"LTR", "TPost1=900", {}},
            {"LRC", "CPanel1=900", {"Panel Configuration cannot end with a C"}},
            {"LTRTL", "TPost1=500", {"No measurement for TPost2"}},
            {"LCCCCCCR", "", {"You can only have a maximum of 5 custom width panels.", "No measurement for Custom Panel 1",
                              "No measurement for Custom Panel 2", "No measurement for Custom Panel 3",
                              "No measurement for Custom Panel 4", "No measurement for Custom Panel 5"}}};
        for (const auto &[pc, data, expected] : cases)
            QCOMPARE(panelConfigWarnings(pc, dataMap(data)), expected);
    }

    void check_data()
    {
        QTest::addColumn<QString>("pc");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("drop");
        QTest::addColumn<QString>("sizes");   // frame, louvre, rail
        QTest::addColumn<QStringList>("warnings");
        QTest::addColumn<QString>("firstLine");
        QTest::newRow("fits") << "LR" << 1500 << 1200 << "Classic,63mm," << QStringList{} << "1. L 701mm ";
        QTest::newRow("bi fold limit") << "LL" << 1800 << 1200 << "Standard,76mm,"
                                       << QStringList{"Panel 1: Bi Fold Panels with 76mm Louvres cannot exceed 800mm.",
                                                      "Panel 2: Bi Fold Panels with 76mm Louvres cannot exceed 800mm."}
                                       << "1. L 881mm  <font color='red'> Too wide</font>";
        QTest::newRow("solid: no width limit") << "LL" << 1800 << 1200 << "Standard,Solid,50mm" << QStringList{} << "1. L 881mm ";
        QTest::newRow("just wide enough") << "LR" << 400 << 1200 << "Classic,63mm," << QStringList{} << "1. L 151mm ";
        QTest::newRow("narrower") << "LR" << 390 << 1200 << "Classic,63mm,"
                                  << QStringList{"Panel 1 is 146mm wide. Minimum panel width is 150mm",
                                                 "Panel 2 is 146mm wide. Minimum panel width is 150mm"}
                                  << "1. L 146mm  <font color='red'> Too narrow</font>";
        QTest::newRow("short for rails") << "L" << 600 << 250 << "Standard,76mm,100mm"
                                         << QStringList{"Panel 1: Minimum height for 76mm Louvre size with 100mm Rails is 300mm"}
                                         << "1. L 564mm ";
        QTest::newRow("no louvre, no lines") << "LR" << 1500 << 1200 << "Classic,," << QStringList{} << "";
    }

    void check()
    {
        QFETCH(QString, pc);
        QFETCH(int, width);
        QFETCH(int, drop);
        QFETCH(QString, sizes);
        QFETCH(QString, firstLine);
        const QStringList s = sizes.split(',');
        const auto panels = panelWidths(pc, width, frameDeduction(s.at(0)), {});
        const PanelCheckResult r = panelCheck(pc, panels, s.at(1), s.at(2), drop);
        QTEST(r.warnings, "warnings");
        const QStringList lines = r.description.section("<br><br>", 0, 0).split("<br>");
        QCOMPARE(lines.first(), firstLine);
        QCOMPARE(lines.size(), firstLine.isEmpty() ? 1 : panels.size());
        QVERIFY(r.description.contains("Widths after accounting for:"));
    }

    void heights_data()
    {
        QTest::addColumn<QString>("style");
        QTest::addColumn<int>("drop");
        QTest::addColumn<QString>("data");
        QTest::addColumn<QStringList>("expected");
        const QString over = "For a height over 2200mm you must select Divider Rails or Tier on Tier shutter Style";
        const QString section = "Each divider rail section height must not exceed 2200mm";
        QTest::newRow("tall full height") << "Full Height" << 2300 << "" << QStringList{over};
        QTest::newRow("2200 is fine") << "Full Height" << 2200 << "" << QStringList{};
        QTest::newRow("tier split ok") << "Tier on Tier no Transom" << 2400 << "SplitHeight=1200" << QStringList{};
        QTest::newRow("tier split low") << "Tier on Tier no Transom" << 2400 << "SplitHeight=100"
                                        << QStringList{"Each tier height must not exceed 2200mm"};
        QTest::newRow("tier transom missing") << "Tier on Tier with Transom" << 2400 << ""
                                              << QStringList{"No measurement for Transom height"};
        QTest::newRow("transom above drop") << "Tier on Tier with Transom" << 1500 << "TransomHeight=1500"
                                            << QStringList{"Transom height exceeds Shutter height"};
        QTest::newRow("one divider high") << "Full Height with Divider Rail" << 2600 << "DividerRail1=300" << QStringList{section};
        QTest::newRow("one divider ok") << "Full Height with Divider Rail" << 2600 << "DividerRail1=1300" << QStringList{};
        QTest::newRow("divider missing") << "Full Height with Divider Rail" << 1800 << ""
                                         << QStringList{"No measurement for Divider Rail 1"};
        QTest::newRow("two dividers gap") << "Full Height with Divider Rail x 2" << 4800
                                          << "DividerRail1=1000;DividerRail2=3300" << QStringList{section};
        QTest::newRow("two dividers ok") << "Full Height with Divider Rail x 2" << 4800
                                         << "DividerRail1=1600;DividerRail2=3200" << QStringList{};
        QTest::newRow("second divider missing") << "Full Height with Divider Rail x 2" << 2000 << "DividerRail1=900"
                                                << QStringList{"No measurement for Divider Rail 2"};
        QTest::newRow("cafe split missing") << "Cafe Style no transom" << 1200 << ""
                                            << QStringList{"No measurement for Split height"};
    }

    void heights()
    {
        QFETCH(QString, style);
        QFETCH(int, drop);
        QFETCH(QString, data);
        QTEST(heightWarnings(style, drop, dataMap(data)), "expected");
    }
};

QTEST_APPLESS_MAIN(TestPanels)
#include "tst_panels.moc"
