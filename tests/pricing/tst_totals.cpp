// Money arithmetic shared by the order totals: typed sums, unit price and
// margin in retail and trade, and the balance.
#include "pricing/margins.h"
#include "pricing/sumeval.h"

#include <QtTest>
#include <clocale>

class TestTotals : public QObject
{
    Q_OBJECT
private slots:
    void sums_data();
    void sums();
    void sumsIgnoreUserLocale();
    void unitPricing_data();
    void unitPricing();
    void balanceAndTexts();
};

void TestTotals::sums_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");   // evalSumText result
    QTest::newRow("blanks") << " 100 + 25 . 5 " << "125.50";
    QTest::newRow("brackets") << "((1+1)*(2+1))x10" << "60.00";
    QTest::newRow("precedence") << "100-20/4+2*3" << "101.00";
    QTest::newRow("comma stops number") << "12,5" << "12.00";
    QTest::newRow("left to right minus") << "10-2-3" << "5.00";
    QTest::newRow("left to right divide") << "8/2/2" << "2.00";
    QTest::newRow("leading dot") << ".5+1" << "1.50";
    // not a sum: the text is kept as typed
    for (const char *bad : {"abc", "100+", "-5", "10/0", "(1+2", "inf", ""})
        QTest::newRow(*bad ? bad : "empty") << QString(bad) << QString(bad);
}

void TestTotals::sums()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(evalSumText(text), expected);
    double v = -1;
    QCOMPARE(evaluateSum(text, &v), expected != text);
}

void TestTotals::sumsIgnoreUserLocale()
{
    // a German desktop must not turn "12.5" into 12 or "12,5" into 12.5
    const QByteArray saved(std::setlocale(LC_NUMERIC, nullptr));
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        std::setlocale(LC_NUMERIC, "C.UTF-8");
    QCOMPARE(evalSumText("12.5+1") + evalSumText("12,5"), QString("13.5012.00"));
    std::setlocale(LC_NUMERIC, saved.constData());
}

void TestTotals::unitPricing_data()
{
    QTest::addColumn<QVariantMap>("calc");
    QTest::addColumn<double>("price");
    QTest::addColumn<double>("margin");
    QTest::newRow("retail with changes")
        << QVariantMap{{"trade", false}, {"rrp", 100}, {"allChange", 10}, {"bandChange", 5}} << 115.5 << 0.0;
    QTest::newRow("empty map") << QVariantMap{} << 0.0 << 0.0;
    // C 120, N 240, P 288, M = 240 x 0.9 - 120
    QTest::newRow("trade with customer discount")
        << QVariantMap{{"trade", true}, {"tradePrice", 200}, {"tradeDisc", 40}, {"markup", 100},
                       {"vatRate", 20}, {"applyVat", true}, {"custDiscPcnt", 10}} << 288.0 << 96.0;
    // 100 means the customer discount does not apply: the whole net is lost
    QTest::newRow("discount not applicable")
        << QVariantMap{{"trade", true}, {"tradePrice", 100}, {"markup", 50}, {"custDiscPcnt", 100}} << 150.0 << -100.0;
    QTest::newRow("values stored as text")
        << QVariantMap{{"trade", "true"}, {"tradePrice", "80.00"}, {"markup", "25"}} << 100.0 << 20.0;
}

void TestTotals::unitPricing()
{
    QFETCH(QVariantMap, calc);
    QFETCH(double, price);
    QFETCH(double, margin);
    const UnitPricing u = ::unitPricing(calc);
    QVERIFY2(qAbs(u.price - price) < 1e-9 && qAbs(u.margin - margin) < 1e-9,
             qPrintable(QString("%1 %2").arg(u.price).arg(u.margin)));
}

void TestTotals::balanceAndTexts()
{
    // parts 1200, fitting 100, discount 10 %, deposit 200; an overpaid order owes nothing
    QCOMPARE(orderBalance(100, 1200, 10, 200), 970.0);
    QCOMPARE(orderBalance(50, 450, 0, 500), 0.0);
    QCOMPARE(moneyText(0.005) + '|' + moneyText(1234.567), QString("0.01|1234.57"));
    QCOMPARE(priceText(0.0009) + '|' + priceText(0.001) + '|' + priceText(99.999), QString("|0.00|100.00"));
}

QTEST_APPLESS_MAIN(TestTotals)
#include "tst_totals.moc"
