// Panel layout: widths and fold styles from the typed configuration, the
// configuration and tall-shutter warnings, and the louvre/rail limits.
#include "pricing/panels.h"

#include <QtTest>

namespace {
QVariantMap dataMap(const QString &pairs)
{
    QVariantMap m;
    for (const QString &kv : pairs.split(';', Qt::SkipEmptyParts)) {
        const int eq = kv.indexOf('=');
        m.insert(kv.left(eq), kv.mid(eq + 1));
    }
    return m;
}

QString describe(const QVector<PanelEntry> &panels)
{
    QStringList out;
    for (const PanelEntry &p : panels)
        out << QStringLiteral("%1%2/%3").arg(p.letter).arg(p.width).arg(p.style);
    return out.join(' ');
}
} // namespace

class TestPanels : public QObject
{
    Q_OBJECT
private slots:
    void widths_data();
    void widths();
    void configWarnings_data();
    void configWarnings();
    void check_data();
    void check();
    void heights_data();
    void heights();
    void frameAndLimits();
};

void TestPanels::widths_data()
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
    QTest::newRow("single panel") << "L" << 600 << "Standard" << "" << "L564/0";
    QTest::newRow("multi fold run") << "LLLR" << 2400 << "Standard" << ""
                                    << "L589/2 L589/2 L589/2 R589/0";
    // custom break: no T-post allowance
    QTest::newRow("custom break") << "LCRR" << 1800 << "Mini" << "CPanel1=700" << "L686/0 R542/1 R542/1";
    // marks sorted by position, whatever order they were typed
    QTest::newRow("two posts") << "LTLTR" << 3000 << "Standard" << "TPost1=2000;TPost2=1000"
                               << "L972/0 L980/0 R972/0";
    QTest::newRow("post at 0 gives no panels") << "LTR" << 2000 << "Classic" << "TPost1=0" << "";
    QTest::newRow("three of a kind") << "LLL" << 1000 << "Micro" << "" << "L324/2 L324/2 L324/2";
    // 1001 - 20 - 2 = 979 over two panels: 489.5 rounds up to 490
    QTest::newRow("half rounds away") << "LL" << 1001 << "Micro" << "" << "L488/1 L488/1";
}

void TestPanels::widths()
{
    QFETCH(QString, pc);
    QFETCH(int, width);
    QFETCH(QString, frame);
    QFETCH(QString, data);
    QFETCH(QString, expected);
    QCOMPARE(describe(panelWidths(pc, width, frameDeduction(frame), dataMap(data))), expected);
}

void TestPanels::configWarnings_data()
{
    QTest::addColumn<QString>("pc");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("fine") << "LTR" << "TPost1=900" << QStringList{};
    QTest::newRow("ends with C") << "LRC" << "CPanel1=900"
                                 << QStringList{"Panel Configuration cannot end with a C"};
    QTest::newRow("missing post") << "LTRTL" << "TPost1=500"
                                  << QStringList{"No measurement for TPost2"};
    QTest::newRow("six breaks") << "LCCCCCCR" << ""
                                << QStringList{"You can only have a maximum of 5 custom width panels.",
                                               "No measurement for Custom Panel 1", "No measurement for Custom Panel 2",
                                               "No measurement for Custom Panel 3", "No measurement for Custom Panel 4",
                                               "No measurement for Custom Panel 5"};
}

void TestPanels::configWarnings()
{
    QFETCH(QString, pc);
    QFETCH(QString, data);
    QFETCH(QStringList, expected);
    QCOMPARE(panelConfigWarnings(pc, dataMap(data)), expected);
}

void TestPanels::check_data()
{
    QTest::addColumn<QString>("pc");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("drop");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("louvre");
    QTest::addColumn<QString>("rail");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QStringList>("warnings");
    QTest::addColumn<QString>("firstLine");

    QTest::newRow("fits") << "LR" << 1500 << 1200 << "Classic" << "63mm" << "" << ""
                          << QStringList{} << "1. L 701mm ";
    QTest::newRow("bi fold limit") << "LL" << 1800 << 1200 << "Standard" << "76mm" << "" << ""
                                   << QStringList{"Panel 1: Bi Fold Panels with 76mm Louvres cannot exceed 800mm.",
                                                  "Panel 2: Bi Fold Panels with 76mm Louvres cannot exceed 800mm."}
                                   << "1. L 881mm  <font color='red'> Too wide</font>";
    QTest::newRow("just wide enough") << "LR" << 400 << 1200 << "Classic" << "63mm" << "" << ""
                                << QStringList{}
                                << "1. L 151mm ";
    QTest::newRow("narrower") << "LR" << 390 << 1200 << "Classic" << "63mm" << "" << ""
                              << QStringList{"Panel 1 is 146mm wide. Minimum panel width is 150mm",
                                             "Panel 2 is 146mm wide. Minimum panel width is 150mm"}
                              << "1. L 146mm  <font color='red'> Too narrow</font>";
    QTest::newRow("short for rails") << "L" << 600 << 250 << "Standard" << "76mm" << "100mm" << ""
                                     << QStringList{"Panel 1: Minimum height for 76mm Louvre size with 100mm Rails is 300mm"}
                                     << "1. L 564mm ";
    QTest::newRow("no louvre, no lines") << "LR" << 1500 << 1200 << "Classic" << "" << "" << ""
                                         << QStringList{} << "";
}

void TestPanels::check()
{
    QFETCH(QString, pc);
    QFETCH(int, width);
    QFETCH(int, drop);
    QFETCH(QString, frame);
    QFETCH(QString, louvre);
    QFETCH(QString, rail);
    QFETCH(QString, data);
    QFETCH(QStringList, warnings);
    QFETCH(QString, firstLine);

    const auto panels = panelWidths(pc, width, frameDeduction(frame), dataMap(data));
    const PanelCheckResult r = panelCheck(pc, panels, louvre, rail, drop);
    QCOMPARE(r.warnings, warnings);
    const QString tail = "<br><br><font size='2'>Widths after accounting for:<br>Frame width, T-Post widths<br>Hinges & LR door gaps";
    QVERIFY(r.description.endsWith(tail));
    const QStringList lines = r.description.left(r.description.size() - tail.size()).split("<br>");
    QCOMPARE(lines.first(), firstLine);
    if (!firstLine.isEmpty())
        QCOMPARE(lines.size(), panels.size());
}

void TestPanels::heights_data()
{
    QTest::addColumn<QString>("style");
    QTest::addColumn<int>("drop");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QStringList>("expected");
    const QString over = "For a height over 2200mm you must select Divider Rails or Tier on Tier shutter Style";
    const QString section = "Each divider rail section height must not exceed 2200mm";
    const QString tier = "Each tier height must not exceed 2200mm";

    QTest::newRow("tall full height") << "Full Height" << 2300 << "" << QStringList{over};
    QTest::newRow("2200 is fine") << "Full Height" << 2200 << "" << QStringList{};
    QTest::newRow("tier split ok") << "Tier on Tier no Transom" << 2400 << "SplitHeight=1200" << QStringList{};
    QTest::newRow("tier split low") << "Tier on Tier no Transom" << 2400 << "SplitHeight=100" << QStringList{tier};
    QTest::newRow("tier transom missing") << "Tier on Tier with Transom" << 2400 << ""
                                          << QStringList{"No measurement for Transom height"};
    QTest::newRow("transom above drop") << "Tier on Tier with Transom" << 1500 << "TransomHeight=1500"
                                        << QStringList{"Transom height exceeds Shutter height"};
    QTest::newRow("one divider high") << "Full Height with Divider Rail" << 2600 << "DividerRail1=300"
                                      << QStringList{section};
    QTest::newRow("one divider ok") << "Full Height with Divider Rail" << 2600 << "DividerRail1=1300"
                                    << QStringList{};
    QTest::newRow("divider missing") << "Full Height with Divider Rail" << 1800 << ""
                                     << QStringList{"No measurement for Divider Rail 1"};
    QTest::newRow("two dividers gap") << "Full Height with Divider Rail x 2" << 4800
                                      << "DividerRail1=1000;DividerRail2=3300" << QStringList{section};
    QTest::newRow("two dividers ok") << "Full Height with Divider Rail x 2" << 4800
                                     << "DividerRail1=1600;DividerRail2=3200" << QStringList{};
    QTest::newRow("second divider missing") << "Full Height with Divider Rail x 2" << 2000
                                            << "DividerRail1=900"
                                            << QStringList{"No measurement for Divider Rail 2"};
    QTest::newRow("cafe split missing") << "Cafe Style no transom" << 1200 << ""
                                        << QStringList{"No measurement for Split height"};
}

void TestPanels::heights()
{
    QFETCH(QString, style);
    QFETCH(int, drop);
    QFETCH(QString, data);
    QFETCH(QStringList, expected);
    QCOMPARE(heightWarnings(style, drop, dataMap(data)), expected);
}

void TestPanels::frameAndLimits()
{
    // names that merely contain a known frame still take the standard deduction
    QCOMPARE(frameDeduction("Classic Plus"), 16);
    QCOMPARE(frameDeduction("Mini Z"), 10);
    QCOMPARE(minPanelHeight("75mm", "63mm"), 0);
    QCOMPARE(maxPanelWidth("Solid", SingleHung), 0);
}

QTEST_APPLESS_MAIN(TestPanels)
#include "tst_panels.moc"
