#include "browse/PanelFitter.h"
#include "browse/Said.h"
#include "picture/FitArithmetic.h"

namespace {

PictureRef pictureOf(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    return RasterPicture::fromImage(image);
}

} // namespace

class TestPanelFitter : public FeatureTest {
    Q_OBJECT

private Q_SLOTS:
    void init() { makeDesktop(u"P"_s); }

    void fitsIntoPictureArea()
    {
        const std::tuple<float, float, float, float, bool> rows[] = {
            // Panel inner size 453 x 389 throughout.
            {898, 400, 449, 200, true},   // too wide only
            {300, 770, 150, 385, true},   // too tall only
            {1000, 1000, 385, 385, true}, // too large both ways
            {100, 50, 100, 50, false},    // small stays, not enlarged
            {453, 389, 453, 389, false},  // exactly the inner size
            {454, 100, 449, static_cast<float>(449.0 / 454 * 100), true},  // one pixel too wide
            {900, 1800, static_cast<float>(385.0 / 898 * 449), 385, true}, // wide, still too tall
            {0, 0, 0, 0, false}};                                          // empty picture
        for (const auto &[width, height, fittedWidth, fittedHeight, stretched] : rows) {
            const FitResult fit = fitIntoPictureArea({width, height}, 453, 389);
            QCOMPARE(fit.size.width, fittedWidth);
            QCOMPARE(fit.size.height, fittedHeight);
            QCOMPARE(fit.stretched, stretched);
        }
    }

    void scrollStepsUseTheTravelOfTheBar()
    {
        // Strict comparison: a picture exactly as wide as the panel needs no bar.
        QCOMPARE(scrollStep(453, 453, 32700), 0.f);
        QVERIFY(!overflows(453, 453) && overflows(453.5f, 453) && scrolledOffset(0.5f, 0) == 0.f);
        // The last 20 units leave a strip narrower than a pixel for a picture 1000 px too wide.
        const float beyond = scrolledOffset(scrollStep(1453, 453, 32700), 32700);
        QVERIFY(-beyond - 1000 < 1.f);

        // The panel: a bar for each side that overflows, scrolling to the inner edge.
        Form1Controls &c = start();
        for (const auto &[width, height, bars] :
             {std::tuple{453, 389, u"00"_s}, {454, 389, u"10"_s}, {1600, 1200, u"11"_s}}) {
            c.Image1->setPicture(pictureOf(width, height));
            m_form->fitter().Form_Resize();
            const bool h = !c.HScroll1->isHidden(), v = !c.VScroll1->isHidden();
            QCOMPARE(u"%1%2"_s.arg(int(h)).arg(int(v)), bars); // the bars shown
        }
        QCOMPARE(m_form->fitter().horizontalStep(), static_cast<float>((1600.0 - 453) / 32680));

        c.HScroll1->setValue(32680);
        QVERIFY(qAbs(c.Image1->left() + (1600 - 453)) < 0.01f);
        c.VScroll1->setValue(16340);
        QVERIFY(qAbs(c.Image1->top() + (1200 - 389) / 2.f) < 0.01f);
        // A hidden picture is shown by the fit layout, without bars.
        c.Image1->setVisible(false);
        c.Image1->setPicture(pictureOf(1000, 1000));
        m_form->fitter().Form_Resize2();
        QVERIFY(c.Image1->isVisible() && c.Image1->rect() == QRectF(0, 0, 385, 385));
        QVERIFY(c.Image1->stretch() && c.HScroll1->isHidden() && c.VScroll1->isHidden());
    }

    void resizingTheWindowMovesNothingButReturnsToTheCorner()
    {
        Form1Controls &c = start();
        m_form->show();
        const QRect panel = c.Picture5->geometry(), files = c.File1->geometry();
        c.Image1->setPicture(pictureOf(2000, 1500));
        m_form->fitter().Form_Resize();
        c.HScroll1->setValue(20000);
        c.VScroll1->setValue(100);
        QVERIFY(c.Image1->left() < 0 && c.Image1->top() < 0);
        m_form->resize(m_form->width() + 300, m_form->height() + 200);
        QVERIFY(c.Picture5->geometry() == panel && c.File1->geometry() == files);
        QVERIFY(c.HScroll1->value() == 0 && c.VScroll1->value() == 0);
        QVERIFY(c.Image1->left() == 0.f && c.Image1->top() == 0.f);
    }
};

QTEST_MAIN(TestPanelFitter)
#include "tst_panelfitter.moc"
