// Price calculator and review arithmetic.
#include "pricing/pricecalc.h"

#include <QtTest>
#include <limits>

class TestPriceCalc : public QObject
{
    Q_OBJECT
private slots:
    void trade_data();
    void trade();
    void discountForms_data();
    void discountForms();
    void retail_data();
    void retail();
    void mapFigures();
    void review_data();
    void review();
};

void TestPriceCalc::trade_data()
{
    QTest::addColumn<QVector<double>>("in");   // trade, trade disc, markup, VAT, customer %
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QVector<double>>("out");  // net, marked, withVat, final, margin
    QTest::newRow("worked case") << QVector<double>{200, 40, 100, 20, 10} << true
                                 << QVector<double>{120, 240, 288, 259.2, 96};
    QTest::newRow("no VAT, no discount") << QVector<double>{50, 0, 50, 0, 0} << true
                                         << QVector<double>{50, 75, 75, 75, 25};
    QTest::newRow("markup as high as settings allow") << QVector<double>{100, 0, 900, 0, 0} << true
                                                      << QVector<double>{100, 1000, 1000, 1000, 900};
    QTest::newRow("price above the old 10000 cap") << QVector<double>{25000, 0, 0, 0, 0} << true
                                                   << QVector<double>{25000, 25000, 25000, 25000, 0};
    QTest::newRow("zero price") << QVector<double>{0, 10, 100, 20, 5} << true << QVector<double>{0, 0, 0, 0, 0};
    QTest::newRow("surcharge as negative discount") << QVector<double>{100, 0, 0, 0, -10} << true
                                                    << QVector<double>{100, 100, 100, 110, 10};
    const QVector<double> none{0, 0, 0, 0, 0};
    QTest::newRow("markup above 900") << QVector<double>{100, 0, 901, 0, 0} << false << none;
    QTest::newRow("negative markup") << QVector<double>{100, 0, -1, 0, 0} << false << none;
    QTest::newRow("negative price") << QVector<double>{-5, 0, 0, 0, 0} << false << none;
    QTest::newRow("not a number") << QVector<double>{std::numeric_limits<double>::quiet_NaN(), 0, 0, 0, 0}
                                  << false << none;
    QTest::newRow("infinite VAT") << QVector<double>{100, 0, 0, std::numeric_limits<double>::infinity(), 0}
                                  << false << none;
    QTest::newRow("discount above 100") << QVector<double>{100, 0, 0, 0, 101} << false << none;
}

void TestPriceCalc::trade()
{
    QFETCH(QVector<double>, in);
    QFETCH(bool, valid);
    QFETCH(QVector<double>, out);
    const PriceCalc::TradeResult r = PriceCalc::trade(in[0], in[1], in[2], in[3], in[4]);
    QCOMPARE(r.valid, valid);
    if (!valid)
        return;
    QCOMPARE(PriceCalc::round2(r.net), out[0]);
    QCOMPARE(PriceCalc::round2(r.marked), out[1]);
    QCOMPARE(PriceCalc::round2(r.withVat), out[2]);
    QCOMPARE(PriceCalc::round2(r.finalPrice), out[3]);
    QCOMPARE(PriceCalc::round2(r.margin), out[4]);
}

void TestPriceCalc::discountForms_data()
{
    QTest::addColumn<double>("price");
    QTest::addColumn<double>("amount");
    QTest::addColumn<double>("percent");
    QTest::newRow("worked case") << 288.0 << 28.8 << 10.0;
    QTest::newRow("retail") << 500.0 << 50.0 << 10.0;
    QTest::newRow("five decimals") << 300.0 << 100.0 << 33.33333;
    QTest::newRow("zero price") << 0.0 << 0.0 << 0.0;
}

void TestPriceCalc::discountForms()
{
    QFETCH(double, price);
    QFETCH(double, amount);
    QFETCH(double, percent);
    QCOMPARE(PriceCalc::percentFromAmount(price, amount), percent);
    if (percent != 33.33333)
        QCOMPARE(PriceCalc::amountFromPercent(price, percent), amount);
    // a zero price never divides
    QCOMPARE(PriceCalc::percentFromAmount(0, 25), 0.0);
}

void TestPriceCalc::retail_data()
{
    QTest::addColumn<double>("price");
    QTest::addColumn<double>("amount");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("finalPrice");
    QTest::newRow("discount") << 500.0 << 50.0 << true << 450.0;
    QTest::newRow("whole price off") << 500.0 << 500.0 << true << 0.0;
    QTest::newRow("negative result") << 500.0 << 600.0 << false << 0.0;
    QTest::newRow("negative price") << -1.0 << 0.0 << false << 0.0;
    QTest::newRow("infinite price") << std::numeric_limits<double>::infinity() << 0.0 << false << 0.0;
}

void TestPriceCalc::retail()
{
    QFETCH(double, price);
    QFETCH(double, amount);
    QFETCH(bool, valid);
    QFETCH(double, finalPrice);
    double f = -1;
    QCOMPARE(PriceCalc::retailFinal(price, amount, &f), valid);
    if (valid)
        QCOMPARE(f, finalPrice);
}

void TestPriceCalc::mapFigures()
{
    QCOMPARE(PriceCalc::mapRetailPrice({}), 0.0);
    QCOMPARE(PriceCalc::mapRetailPrice({{"rrp", 100}, {"allChange", 10}, {"bandChange", -50}}), 55.0);
    const QVariantMap map{{"tradePrice", 200}, {"tradeDisc", 40}, {"markup", 100}, {"vatRate", 20}};
    QVERIFY(PriceCalc::sameTradeFigures(map, 200, 40, 100, 0, 20));
    QVERIFY(!PriceCalc::sameTradeFigures(map, 200, 40, 100, 10, 20));
    QVERIFY(PriceCalc::sameTradeFigures({}, 0, 0, 0, 0, 0));
}

void TestPriceCalc::review_data()
{
    QTest::addColumn<double>("total");
    QTest::addColumn<double>("discount");
    QTest::addColumn<double>("deposit");
    QTest::addColumn<double>("balance");
    QTest::addColumn<double>("discountBack");   // from the balance, with 7.5 as the current discount
    QTest::newRow("plain") << 1000.0 << 10.0 << 100.0 << 800.0 << 10.0;
    QTest::newRow("rounded") << 333.33 << 12.5 << 0.0 << 291.66 << 12.5;
    QTest::newRow("no discount keeps the current") << 500.0 << 0.0 << 0.0 << 500.0 << 7.5;
    QTest::newRow("total 0 keeps the current") << 0.0 << 25.0 << 0.0 << 0.0 << 7.5;
}

void TestPriceCalc::review()
{
    QFETCH(double, total);
    QFETCH(double, discount);
    QFETCH(double, deposit);
    QFETCH(double, balance);
    QFETCH(double, discountBack);
    QCOMPARE(PriceCalc::reviewBalance(total, discount, deposit), balance);
    QCOMPARE(PriceCalc::round2(PriceCalc::reviewDiscount(total, balance, deposit, 7.5)), discountBack);
}

QTEST_GUILESS_MAIN(TestPriceCalc)
#include "tst_pricecalc.moc"
