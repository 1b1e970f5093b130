#include "browse/PanelFitter.h"
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

class TestPanelFitter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void fitShrinksIntoThePictureAreaWithoutScrollBars();
    void smallPictureStaysAtTheCornerUnenlarged();
    void largePictureGetsScrollBarsAndScrolls();
    void pictureAsLargeAsThePanelNeedsNoBars();
    void layoutShowsAHiddenPicture();
    void resizingTheWindowReturnsToTheCorner();

private:
    std::unique_ptr<TestDesktop> m_desktop;
};

void TestPanelFitter::init()
{
    m_desktop = std::make_unique<TestDesktop>();
}

void TestPanelFitter::cleanup()
{
    m_desktop.reset();
}

void TestPanelFitter::fitShrinksIntoThePictureAreaWithoutScrollBars()
{
    Form1 &form = m_desktop->started(m_desktop->home());
    Form1Controls &c = form.controls();
    c.Image1->setPicture(pictureOf(1000, 1000));
    form.fitter().Form_Resize2();
    QCOMPARE(c.Image1->width(), 385.f);
    QCOMPARE(c.Image1->height(), 385.f);
    QVERIFY(c.Image1->stretch());
    QVERIFY(c.HScroll1->isHidden() && c.VScroll1->isHidden());
}

void TestPanelFitter::smallPictureStaysAtTheCornerUnenlarged()
{
    Form1 &form = m_desktop->started(m_desktop->home());
    Form1Controls &c = form.controls();
    c.Image1->setPicture(pictureOf(100, 50));
    form.fitter().Form_Resize2();
    QCOMPARE(c.Image1->rect(), QRectF(0, 0, 100, 50));
    QVERIFY(!c.Image1->stretch());
}

void TestPanelFitter::largePictureGetsScrollBarsAndScrolls()
{
    Form1 &form = m_desktop->started(m_desktop->home());
    Form1Controls &c = form.controls();
    c.Image1->setPicture(pictureOf(1600, 1200));
    form.fitter().Form_Resize();
    QVERIFY(!c.HScroll1->isHidden() && !c.VScroll1->isHidden());
    QCOMPARE(form.fitter().horizontalStep(), static_cast<float>((1600.0 - 453) / 32680));

    c.HScroll1->setValue(32680);
    QVERIFY(qAbs(c.Image1->left() + (1600 - 453)) < 0.01f);
    c.VScroll1->setValue(16340);
    QVERIFY(qAbs(c.Image1->top() + (1200 - 389) / 2.f) < 0.01f);
}

void TestPanelFitter::pictureAsLargeAsThePanelNeedsNoBars()
{
    Form1 &form = m_desktop->started(m_desktop->home());
    Form1Controls &c = form.controls();
    c.Image1->setPicture(pictureOf(453, 389));
    form.fitter().Form_Resize();
    QVERIFY(c.HScroll1->isHidden() && c.VScroll1->isHidden());
    c.Image1->setPicture(pictureOf(454, 389));
    form.fitter().Form_Resize();
    QVERIFY(!c.HScroll1->isHidden() && c.VScroll1->isHidden());
}

void TestPanelFitter::layoutShowsAHiddenPicture()
{
    Form1 &form = m_desktop->started(m_desktop->home());
    Form1Controls &c = form.controls();
    c.Image1->setVisible(false);
    c.Image1->setPicture(pictureOf(898, 400));
    form.fitter().Form_Resize2();
    QVERIFY(c.Image1->isVisible());
    QCOMPARE(c.Image1->width(), 449.f);
    QCOMPARE(c.Image1->height(), 200.f);
}

void TestPanelFitter::resizingTheWindowReturnsToTheCorner()
{
    Form1 &form = m_desktop->started(m_desktop->home());
    form.show();
    Form1Controls &c = form.controls();
    c.Image1->setPicture(pictureOf(2000, 1500));
    form.fitter().Form_Resize();
    c.HScroll1->setValue(20000);
    c.VScroll1->setValue(100);
    QVERIFY(c.Image1->left() < 0 && c.Image1->top() < 0);
    form.resize(form.width() + 40, form.height());
    QCOMPARE(c.HScroll1->value(), 0);
    QCOMPARE(c.VScroll1->value(), 0);
    QCOMPARE(c.Image1->left(), 0.f);
    QCOMPARE(c.Image1->top(), 0.f);
}

QTEST_MAIN(TestPanelFitter)
#include "tst_panelfitter.moc"
