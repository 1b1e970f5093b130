#include "browse/Said.h"
#include "show/Form8.h"
#include "show/FullScreenView.h"
#include "show/ScreenFit.h"
#include "support/GatedPictures.h"

#include <QPainter>

namespace {

// A picture drawn at size, the way the view draws it.
QImage drawn(const PictureRef &picture, QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    picture->draw(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

} // namespace

class TestFullScreenView : public FeatureTest {
    Q_OBJECT

    FullScreenView &view() { return m_form->fullScreen(); }
    static bool isRed(const QColor &colour) { return colour.red() > 200 && colour.blue() < 60; }
    // A 2048 x 1536 picture, red on the left half and blue on the right.
    QString writeHalves(const QString &name)
    {
        QImage halves(2048, 1536, QImage::Format_RGB32);
        halves.fill(Qt::red);
        QPainter(&halves).fillRect(1024, 0, 1024, 1536, Qt::blue);
        const QString path = m_folder + u'/' + name;
        return halves.save(path, nullptr, 95) ? path : QString();
    }

private Q_SLOTS:
    void init() { makeDesktop(u"P"_s); }

    void fitsAndCentresOnTheScreen()
    {
        // Smaller, unchanged and centred, too large, too tall, the screen's size, too wide.
        const std::pair<FloatSize, QRectF> rows[] = {
            {{640, 480}, {192, 144, 640, 480}}, {{2048, 1536}, {0, 0, 1024, 768}},
            {{800, 1200}, {256, 0, 512, 768}},  {{1024, 768}, {0, 0, 1024, 768}},
            {{2048, 100}, {0, 359, 1024, 50}},
        };
        for (const auto &[size, expected] : rows) {
            const ScreenFit fit = fitIntoScreenArea(size, 1024, 768);
            const QPointF corner = centreOnScreen(fit.size, 1024, 768);
            QCOMPARE(QRectF(corner, QSizeF(fit.size.width, fit.size.height)), expected);
            QCOMPARE(fit.stretched, size.width > 1024 || size.height > 768);
        }
    }

    void showsThePlaceholderReopensInPlaceClosesOnAnyClickAndOpensFromEveryMode()
    {
        m_desktop->makePicture(m_folder + u"/wide.bmp"_s, 2560, 800, Qt::yellow);
        // After a folder change the panel holds the placeholder, and so does the view.
        Form1Controls &c = start();
        c.menus.fullscreen1->click();
        Form8 *form = view().form();
        QVERIFY(form->Image1->picture() == c.Picture2->picture() && !form->Image1->stretch());
        QCOMPARE(form->Image1->rect(), QRectF(512 - 89.5, 384 - 18, 179, 36));
        // Opening it again reuses the open view, with the panel's new picture.
        c.Image1->setPicture(RasterPicture::fromImage(QImage(50, 40, QImage::Format_RGB32)));
        view().File1_DblClick();
        QVERIFY(view().form() == form && form->Image1->rect() == QRectF(487, 364, 50, 40));
        // A click on the picture or on the black, or Esc, closes it.
        m_form->show();
        for (const QPoint at : {QPoint(512, 384), QPoint(5, 5), QPoint()}) {
            view().File1_DblClick();
            QVERIFY(QTest::qWaitForWindowExposed(view().form()));
            if (at.isNull())
                QTest::keyClick(view().form(), Qt::Key_Escape);
            else
                QTest::mouseClick(view().form()->Picture1, Qt::LeftButton, {}, at);
            QTRY_VERIFY(!view().form());
        }
        QVERIFY(m_form->isVisible());

        // From every mode, on the window's screen, a second one here.
        m_desktop->screen.geometry = QRect(1920, 0, 1280, 1024);
        c.File1->selectFile(u"wide.bmp"_s);
        for (MenuItem *mode : {c.menus.auto1, c.menus.Act1, c.menus.St1}) {
            mode->click();
            c.menus.fullscreen1->click();
            Form8 *opened = view().form();
            QVERIFY2(opened && opened->geometry() == m_desktop->screen.geometry,
                     qPrintable(mode->objectName()));
            // The panel's picture, perhaps drawn from a raster made ahead for the screen.
            QCOMPARE(opened->Image1->picture()->toImage().cacheKey(),
                     c.Image1->picture()->toImage().cacheKey());
            QCOMPARE(opened->Image1->rect(), QRectF(0, 312, 1280, 400));
            opened->Picture1_Click();
            QTRY_VERIFY(!view().form());
        }
    }

    void opensFromARasterMadeWhileThePictureWasShown()
    {
        // One decoded for each size, one held whole in memory.
        for (const QString &name : {u"halves.jpg"_s, u"halves.bmp"_s}) {
            const QString path = writeHalves(name);
            Form1Controls &c = start();
            c.File1->selectFile(name);
            const PictureRef shown = c.Image1->picture();
            QTRY_VERIFY_WITH_TIMEOUT(view().screenAhead().isReadyFor(shown), 10000);
            view().File1_DblClick();
            const PictureRef prepared = view().form()->Image1->picture();
            QVERIFY(prepared != shown && prepared->naturalSize() == QSize(2048, 1536));
            QCOMPARE(view().form()->Image1->rect(), QRectF(0, 0, 1024, 768));
            // Drawn from the raster made ahead, it looks as drawn from the picture itself.
            const QImage fromRaster = drawn(prepared, QSize(1024, 768));
            QCOMPARE(fromRaster, drawn(shown, QSize(1024, 768)));
            QVERIFY(isRed(fromRaster.pixelColor(200, 400)));
            view().form()->Picture1_Click();
            QTRY_VERIFY(!view().form());

            // A file rewritten since is shown as the panel holds it.
            QImage green(2048, 1500, QImage::Format_RGB32);
            green.fill(Qt::green);
            QVERIFY(green.save(path, nullptr, 50));
            QVERIFY(!view().screenAhead().isReadyFor(shown));
            view().File1_DblClick();
            QCOMPARE(view().form()->Image1->picture(), shown);
        }
    }

    void opensCoarseBeforeItsRasterIsMadeThenSharp()
    {
        GatedPictures gated;
        m_desktop->pictureSource = &gated;
        const QString path = writeHalves(u"halves.jpg"_s);
        Form1Controls &c = start();
        // A double-click's first press starts the view's raster; its read is held at the gate.
        gated.hold(path);
        const QPoint entry = c.File1->visualRect(c.File1->model()->index(0, 0)).center();
        QTest::mousePress(c.File1->viewport(), Qt::LeftButton, {}, entry);
        const PictureRef shown = c.Image1->picture();
        QVERIFY(shown->naturalSize() == QSize(2048, 1536) &&
                view().screenAhead().standsInFor(shown));
        QTest::mouseRelease(c.File1->viewport(), Qt::LeftButton, {}, entry);

        // Opened before the raster is made: the coarse picture, enlarged, at once.
        view().File1_DblClick();
        Form8 *form = view().form();
        const PictureRef standIn = form->Image1->picture();
        QVERIFY(standIn != shown);
        const QRectF placed = form->Image1->rect(); // fitted to the screen
        QVERIFY(placed.width() < 2048 && placed.width() > 500);
        QVERIFY(isRed(drawn(standIn, placed.size().toSize()).pixelColor(100, 200)));
        // Then the sharp one, exactly as the picture draws itself.
        gated.openAll();
        QTRY_VERIFY_WITH_TIMEOUT(form->Image1->picture() != standIn, 10000);
        QVERIFY(view().screenAhead().isReadyFor(shown) && form->Image1->rect() == placed);
        QCOMPARE(drawn(form->Image1->picture(), placed.size().toSize()),
                 drawn(shown, placed.size().toSize()));
        m_desktop.reset(); // before the gate it reads through
    }
};

QTEST_MAIN(TestFullScreenView)
#include "tst_fullscreenview.moc"
