#include "browse/PanelFitter.h"
#include "picture/FitArithmetic.h"
#include "support/TestDesktop.h"

#include <QTest>

namespace {

PictureRef pictureOf(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    return RasterPicture::fromImage(image);
}

} // namespace

// The fit and scroll arithmetic, and the panel that applies it to the picture.
class TestPanelFitter : public QObject {
    Q_OBJECT

    std::optional<TestDesktop> m_desktop;

private Q_SLOTS:
    void init() { m_desktop.emplace(); }
    void fitsIntoPictureArea_data()
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

    void fitsIntoPictureArea()
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

    void fitLayoutShowsAHiddenPictureWithoutScrollBars()
    {
        Form1 &form = m_desktop->started(m_desktop->home());
        Form1Controls &c = form.controls();
        c.Image1->setVisible(false);
        c.Image1->setPicture(pictureOf(1000, 1000));
        form.fitter().Form_Resize2();
        QVERIFY(c.Image1->isVisible());
        QCOMPARE(c.Image1->rect(), QRectF(0, 0, 385, 385));
        QVERIFY(c.Image1->stretch());
        QVERIFY(c.HScroll1->isHidden() && c.VScroll1->isHidden());
    }

    void scrollStepsUseTheTravelOfTheBar()
    {
        // Strict comparison: a picture exactly as wide as the panel needs no bar.
        QCOMPARE(scrollStep(453, 453, 32700), 0.f);
        QVERIFY(!overflows(453, 453));
        QVERIFY(overflows(453.5f, 453));
        QCOMPARE(scrolledOffset(0.5f, 0), 0.f);
        // The last 20 units leave a strip narrower than a pixel for a picture 1000 px too wide.
        const float beyond = scrolledOffset(scrollStep(1453, 453, 32700), 32700);
        QVERIFY(-beyond - 1000 < 1.f);

        // The panel: a bar for each side that overflows, scrolling to the inner edge.
        Form1 &form = m_desktop->started(m_desktop->home());
        Form1Controls &c = form.controls();
        c.Image1->setPicture(pictureOf(453, 389));
        form.fitter().Form_Resize();
        QVERIFY(c.HScroll1->isHidden() && c.VScroll1->isHidden());
        c.Image1->setPicture(pictureOf(454, 389));
        form.fitter().Form_Resize();
        QVERIFY(!c.HScroll1->isHidden() && c.VScroll1->isHidden());
        c.Image1->setPicture(pictureOf(1600, 1200));
        form.fitter().Form_Resize();
        QVERIFY(!c.HScroll1->isHidden() && !c.VScroll1->isHidden());
        QCOMPARE(form.fitter().horizontalStep(), static_cast<float>((1600.0 - 453) / 32680));

        c.HScroll1->setValue(32680);
        QVERIFY(qAbs(c.Image1->left() + (1600 - 453)) < 0.01f);
        c.VScroll1->setValue(16340);
        QVERIFY(qAbs(c.Image1->top() + (1200 - 389) / 2.f) < 0.01f);
    }

    void resizingTheWindowMovesNothingButReturnsToTheCorner()
    {
        Form1 &form = m_desktop->started(m_desktop->home());
        form.show();
        Form1Controls &c = form.controls();
        const QRect panel = c.Picture5->geometry();
        const QRect files = c.File1->geometry();
        c.Image1->setPicture(pictureOf(2000, 1500));
        form.fitter().Form_Resize();
        c.HScroll1->setValue(20000);
        c.VScroll1->setValue(100);
        QVERIFY(c.Image1->left() < 0 && c.Image1->top() < 0);
        form.resize(form.width() + 300, form.height() + 200);
        QCOMPARE(c.Picture5->geometry(), panel);
        QCOMPARE(c.File1->geometry(), files);
        QCOMPARE(c.HScroll1->value(), 0);
        QCOMPARE(c.VScroll1->value(), 0);
        QCOMPARE(c.Image1->left(), 0.f);
        QCOMPARE(c.Image1->top(), 0.f);
    }
};

QTEST_MAIN(TestPanelFitter)
#include "tst_panelfitter.moc"
