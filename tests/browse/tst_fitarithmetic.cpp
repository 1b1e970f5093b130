#include "browse/FitArithmetic.h"

#include <QTest>

class TestFitArithmetic : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fitsIntoPictureArea_data();
    void fitsIntoPictureArea();
    void scrollStepsUseTheTravelOfTheBar();
    void scrollingToTheEndOfTheTravelMeetsTheInnerEdge();
};

void TestFitArithmetic::fitsIntoPictureArea_data()
{
    QTest::addColumn<float>("width");
    QTest::addColumn<float>("height");
    QTest::addColumn<float>("fittedWidth");
    QTest::addColumn<float>("fittedHeight");
    QTest::addColumn<bool>("stretched");

    // Panel inner size 453 x 389 throughout.
    QTest::newRow("too wide only") << 898.f << 400.f << 449.f << 200.f << true;
    QTest::newRow("too tall only") << 300.f << 770.f << 150.f << 385.f << true;
    QTest::newRow("too large both ways") << 1000.f << 1000.f << 385.f << 385.f << true;
    QTest::newRow("small stays, not enlarged") << 100.f << 50.f << 100.f << 50.f << false;
    QTest::newRow("exactly the inner size") << 453.f << 389.f << 453.f << 389.f << false;
    QTest::newRow("one pixel too wide")
        << 454.f << 100.f << 449.f << static_cast<float>(449.0 / 454 * 100) << true;
    QTest::newRow("wide then still too tall")
        << 900.f << 1800.f << static_cast<float>(385.0 / 898 * 449) << 385.f << true;
    QTest::newRow("empty picture") << 0.f << 0.f << 0.f << 0.f << false;
}

void TestFitArithmetic::fitsIntoPictureArea()
{
    QFETCH(float, width);
    QFETCH(float, height);
    QFETCH(float, fittedWidth);
    QFETCH(float, fittedHeight);
    QFETCH(bool, stretched);

    const FitResult fit = fitIntoPictureArea({width, height}, 453, 389);
    QCOMPARE(fit.size.width, fittedWidth);
    QCOMPARE(fit.size.height, fittedHeight);
    QCOMPARE(fit.stretched, stretched);
}

void TestFitArithmetic::scrollStepsUseTheTravelOfTheBar()
{
    QCOMPARE(scrollTravel(32700), 32680);
    QCOMPARE(scrollStep(1600, 453, 32700), static_cast<float>((1600.0 - 453) / 32680));
    // Strict comparison: a picture exactly as wide as the panel needs no bar.
    QCOMPARE(scrollStep(453, 453, 32700), 0.f);
    QVERIFY(!overflows(453, 453));
    QVERIFY(overflows(453.5f, 453));
    QCOMPARE(scrolledOffset(0.5f, 0), 0.f);
}

void TestFitArithmetic::scrollingToTheEndOfTheTravelMeetsTheInnerEdge()
{
    const float step = scrollStep(1600, 453, 32700);
    const float left = scrolledOffset(step, 32680);
    QVERIFY(qAbs(left + (1600 - 453)) < 0.01f);
    // The last 20 units leave a strip narrower than a pixel for a picture 1000 px too wide.
    const float beyond = scrolledOffset(scrollStep(1453, 453, 32700), 32700);
    QVERIFY(-beyond - 1000 < 1.f);
}

QTEST_APPLESS_MAIN(TestFitArithmetic)
#include "tst_fitarithmetic.moc"
