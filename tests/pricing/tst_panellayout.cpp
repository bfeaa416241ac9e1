// Panel configuration typing and the assembly rule of the survey.
#include "pricing/panellayout.h"

#include <QtTest>

Q_DECLARE_METATYPE(Assembly)

class TestPanelLayout : public QObject
{
    Q_OBJECT
private slots:
    void typing_data();
    void typing();
    void assembly_data();
    void assembly();
};

void TestPanelLayout::typing_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("rules");   // c = café, m = Micro/Mini frame, t = transom shown
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("panels");
    QTest::addColumn<int>("tposts");
    QTest::addColumn<int>("cpanels");
    QTest::addColumn<bool>("astragal");

    QTest::newRow("lower case with post") << "lrtlr" << "" << "LRTLR" << 4 << 1 << 0 << true;
    QTest::newRow("bi-fold") << "LLRR" << "" << "LLRR" << 4 << 0 << 0 << true;
    QTest::newRow("custom positions") << "LCRTLCR" << "" << "LCRTLCR" << 4 << 1 << 2 << true;
    QTest::newRow("T first") << "TLR" << "" << "LR" << 2 << 0 << 0 << true;
    QTest::newRow("R then L") << "RL" << "" << "R" << 1 << 0 << 0 << false;
    QTest::newRow("R space L") << "R L" << "" << "R" << 1 << 0 << 0 << false;
    QTest::newRow("R digit L") << "R1L" << "" << "R" << 1 << 0 << 0 << false;
    QTest::newRow("C first") << "CL" << "" << "" << 0 << 0 << 0 << false;
    QTest::newRow("four L") << "LLLL" << "" << "LLL" << 3 << 0 << 0 << false;
    QTest::newRow("four R") << "RRRR" << "" << "RRR" << 3 << 0 << 0 << false;
    QTest::newRow("café run") << "LLLL" << "c" << "LL" << 2 << 0 << 0 << false;
    QTest::newRow("café bi-fold") << "LLRRR" << "c" << "LLRR" << 4 << 0 << 0 << true;
    QTest::newRow("café no post") << "LTR" << "c" << "LR" << 2 << 0 << 0 << true;
    QTest::newRow("transom no post") << "LTR" << "t" << "LR" << 2 << 0 << 0 << true;
    QTest::newRow("micro LL") << "LL" << "m" << "L" << 1 << 0 << 0 << false;
    QTest::newRow("micro RR") << "LRR" << "m" << "LR" << 2 << 0 << 0 << true;
    QTest::newRow("C after R") << "LRC" << "" << "LR" << 2 << 0 << 0 << true;
    QTest::newRow("other characters") << "L-x R" << "" << "LR" << 2 << 0 << 0 << true;
}

void TestPanelLayout::typing()
{
    QFETCH(QString, typed);
    QFETCH(QString, rules);
    PanelLayoutRules r;
    r.cafe = rules.contains('c');
    r.microMini = rules.contains('m');
    r.transom = rules.contains('t');
    const PanelLayout layout = panelLayout(typed, r);
    QTEST(layout.text, "text");
    QTEST(layout.panels, "panels");
    QTEST(layout.tposts, "tposts");
    QTEST(layout.cpanels, "cpanels");
    QTEST(layout.astragal, "astragal");
    // what comes out is accepted unchanged
    QCOMPARE(panelLayout(layout.text, r).text, layout.text);
}

void TestPanelLayout::assembly_data()
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

void TestPanelLayout::assembly()
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

QTEST_GUILESS_MAIN(TestPanelLayout)
#include "tst_panellayout.moc"
