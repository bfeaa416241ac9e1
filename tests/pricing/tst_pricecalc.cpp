// Money arithmetic: the price calculator, review figures, typed sums, unit
// price and margin in retail and trade, and the order balance.
#include "pricing/margins.h"
#include "pricing/pricecalc.h"
#include "pricing/sumeval.h"

#include <QtTest>
#include <clocale>
#include <limits>

class TestPriceCalc : public QObject
{
    Q_OBJECT
private slots:
    void trade_data()
    {
        QTest::addColumn<QVector<double>>("in");   // trade, trade disc, markup, VAT, customer %
        QTest::addColumn<QVector<double>>("out");  // net, marked, withVat, final, margin; empty: refused
        const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
        QTest::newRow("worked case") << QVector<double>{200, 40, 100, 20, 10} << QVector<double>{120, 240, 288, 259.2, 96};
        QTest::newRow("markup as high as settings allow") << QVector<double>{100, 0, 900, 0, 0}
                                                          << QVector<double>{100, 1000, 1000, 1000, 900};
        QTest::newRow("price above the old 10000 cap") << QVector<double>{25000, 0, 0, 0, 0}
                                                       << QVector<double>{25000, 25000, 25000, 25000, 0};
        QTest::newRow("zero price") << QVector<double>{0, 10, 100, 20, 5} << QVector<double>{0, 0, 0, 0, 0};
        QTest::newRow("surcharge as negative discount") << QVector<double>{100, 0, 0, 0, -10}
                                                        << QVector<double>{100, 100, 100, 110, 10};
        QTest::newRow("markup above 900") << QVector<double>{100, 0, 901, 0, 0} << QVector<double>();
        QTest::newRow("negative markup") << QVector<double>{100, 0, -1, 0, 0} << QVector<double>();
        QTest::newRow("negative price") << QVector<double>{-5, 0, 0, 0, 0} << QVector<double>();
        QTest::newRow("not a number") << QVector<double>{nan, 0, 0, 0, 0} << QVector<double>();
        QTest::newRow("infinite VAT") << QVector<double>{100, 0, 0, inf, 0} << QVector<double>();
        QTest::newRow("discount above 100") << QVector<double>{100, 0, 0, 0, 101} << QVector<double>();
    }

    void trade()
    {
        QFETCH(QVector<double>, in);
        const PriceCalc::TradeResult r = PriceCalc::trade(in[0], in[1], in[2], in[3], in[4]);
        const QVector<double> got{r.net, r.marked, r.withVat, r.finalPrice, r.margin};
        QFETCH(QVector<double>, out);
        QCOMPARE(r.valid, !out.isEmpty());
        for (int i = 0; i < out.size(); ++i)
            QCOMPARE(PriceCalc::round2(got[i]), out[i]);
    }

    void discountsAndReview()
    {
        // price, amount, percent; a zero price never divides
        for (const auto &[price, amount, percent] : QList<std::tuple<double, double, double>>{{288, 28.8, 10}, {0, 25, 0}}) {
            QCOMPARE(PriceCalc::percentFromAmount(price, amount), percent);
            QCOMPARE(PriceCalc::amountFromPercent(price, percent), price ? amount : 0.0);
        }
        QCOMPARE(PriceCalc::percentFromAmount(300, 100), 33.33333);
        // retail: price, discount, valid, final
        const QList<std::tuple<double, double, bool, double>> retail = {{500, 50, true, 450}, {500, 500, true, 0},
            {500, 600, false, 0}, {-1, 0, false, 0}, {std::numeric_limits<double>::infinity(), 0, false, 0}};
        for (const auto &[price, amount, valid, finalPrice] : retail) {
            double f = -1;
            QCOMPARE(PriceCalc::retailFinal(price, amount, &f), valid);
            QCOMPARE(f, valid ? finalPrice : -1.0);
        }
        // review: total, discount, deposit, balance, discount back from the balance (7.5 the current one)
        const QList<std::tuple<double, double, double, double, double>> review = {{1000, 10, 100, 800, 10},
            {333.33, 12.5, 0, 291.66, 12.5}, {500, 0, 0, 500, 7.5}, {0, 25, 0, 0, 7.5}};
        for (const auto &[total, discount, deposit, balance, back] : review) {
            QCOMPARE(PriceCalc::reviewBalance(total, discount, deposit), balance);
            QCOMPARE(PriceCalc::round2(PriceCalc::reviewDiscount(total, balance, deposit, 7.5)), back);
        }
    }

    void mapFigures()
    {
        QCOMPARE(PriceCalc::mapRetailPrice({}), 0.0);
        QCOMPARE(PriceCalc::mapRetailPrice({{"rrp", 100}, {"allChange", 10}, {"bandChange", -50}}), 55.0);
        const QVariantMap map{{"tradePrice", 200}, {"tradeDisc", 40}, {"markup", 100}, {"vatRate", 20}};
        QVERIFY(PriceCalc::sameTradeFigures(map, 200, 40, 100, 0, 20));
        QVERIFY(!PriceCalc::sameTradeFigures(map, 200, 40, 100, 10, 20));
    }

    void sums_data()
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

    void sums()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(evalSumText(text), expected);
        double v = -1;
        QCOMPARE(evaluateSum(text, &v), expected != text);
    }

    void sumsIgnoreUserLocale()
    {
        // a German desktop must not turn "12.5" into 12 or "12,5" into 12.5
        const QByteArray saved(std::setlocale(LC_NUMERIC, nullptr));
        if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
            std::setlocale(LC_NUMERIC, "C.UTF-8");
        QCOMPARE(evalSumText("12.5+1") + evalSumText("12,5"), QString("13.5012.00"));
        std::setlocale(LC_NUMERIC, saved.constData());
    }

    void unitPricingAndBalance()
    {
        // calc map, unit price, margin
        const QList<std::tuple<QVariantMap, double, double>> cases = {
            {{{"trade", false}, {"rrp", 100}, {"allChange", 10}, {"bandChange", 5}}, 115.5, 0},
            // C 120, N 240, P 288, M = 240 x 0.9 - 120
            {{{"trade", true}, {"tradePrice", 200}, {"tradeDisc", 40}, {"markup", 100}, {"vatRate", 20}, {"applyVat", true},
              {"custDiscPcnt", 10}}, 288, 96},
            // 100 means the customer discount does not apply: the whole net is lost
            {{{"trade", true}, {"tradePrice", 100}, {"markup", 50}, {"custDiscPcnt", 100}}, 150, -100},
            {{{"trade", "true"}, {"tradePrice", "80.00"}, {"markup", "25"}}, 100, 20}};   // stored as text
        for (const auto &[calc, price, margin] : cases) {
            const UnitPricing u = unitPricing(calc);
            QVERIFY2(qAbs(u.price - price) < 1e-9 && qAbs(u.margin - margin) < 1e-9, qPrintable(QString("%1 %2").arg(u.price).arg(u.margin)));
        }
        // parts 1200, fitting 100, discount 10 %, deposit 200; an overpaid order owes nothing
        QCOMPARE(orderBalance(100, 1200, 10, 200), 970.0);
        QCOMPARE(orderBalance(50, 450, 0, 500), 0.0);
        QCOMPARE(moneyText(0.005) + '|' + moneyText(1234.567), QString("0.01|1234.57"));
        QCOMPARE(priceText(0.0009) + '|' + priceText(0.001) + '|' + priceText(99.999), QString("|0.00|100.00"));
    }
};

QTEST_GUILESS_MAIN(TestPriceCalc)
#include "tst_pricecalc.moc"
