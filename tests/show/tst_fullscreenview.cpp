#include "show/Form8.h"
#include "show/FullScreenView.h"
#include "show/ScreenFit.h"
#include "support/GatedPictures.h"
#include "support/TestDesktop.h"

#include <QPainter>
#include <QTest>

class TestFullScreenView : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fitsAndCentresOnTheScreen_data();
    void fitsAndCentresOnTheScreen();
    void opensFromEveryModeOnTheWindowsScreen();
    void showsThePlaceholderReopensInPlaceAndClosesOnAnyClickOrEscape();
    void opensFromARasterMadeWhileThePictureWasShown_data();
    void opensFromARasterMadeWhileThePictureWasShown();
    void opensCoarseBeforeItsRasterIsMadeThenSharp();
};

void TestFullScreenView::fitsAndCentresOnTheScreen_data()
{
    QTest::addColumn<float>("width");
    QTest::addColumn<float>("height");
    QTest::addColumn<QRectF>("expected");
    // A 1024 x 768 screen.
    QTest::newRow("smaller: unchanged, centred") << 640.f << 480.f << QRectF(192, 144, 640, 480);
    QTest::newRow("twice the screen") << 2048.f << 1536.f << QRectF(0, 0, 1024, 768);
    QTest::newRow("too tall only") << 800.f << 1200.f << QRectF(256, 0, 512, 768);
    QTest::newRow("exactly the screen") << 1024.f << 768.f << QRectF(0, 0, 1024, 768);
    QTest::newRow("too wide only") << 2048.f << 100.f << QRectF(0, 359, 1024, 50);
}

void TestFullScreenView::fitsAndCentresOnTheScreen()
{
    QFETCH(float, width);
    QFETCH(float, height);
    QFETCH(QRectF, expected);
    const ScreenFit fit = fitIntoScreenArea({width, height}, 1024, 768);
    const QPointF corner = centreOnScreen(fit.size, 1024, 768);
    QCOMPARE(QRectF(corner, QSizeF(fit.size.width, fit.size.height)), expected);
    QCOMPARE(fit.stretched, width > 1024 || height > 768);
}

void TestFullScreenView::opensFromEveryModeOnTheWindowsScreen()
{
    TestDesktop desktop;
    desktop.screen.geometry = QRect(1920, 0, 1280, 1024); // a second screen
    const QString folder = desktop.makeFolder(desktop.home() + QStringLiteral("/P"));
    desktop.makePicture(folder + QStringLiteral("/wide.bmp"), 2560, 800, Qt::yellow);
    Form1 &form = desktop.started(folder);
    Form1Controls &c = form.controls();
    c.File1->selectFile(QStringLiteral("wide.bmp"));
    for (MenuItem *mode : {c.menus.auto1, c.menus.Act1, c.menus.St1}) {
        mode->click();
        c.menus.fullscreen1->click();
        Form8 *view = form.fullScreen().form();
        QVERIFY2(view, qPrintable(mode->objectName()));
        QCOMPARE(view->geometry(), desktop.screen.geometry);
        // The panel's picture, perhaps drawn from a raster made ahead for the screen.
        QCOMPARE(view->Image1->picture()->toImage().cacheKey(),
                 c.Image1->picture()->toImage().cacheKey());
        QCOMPARE(view->Image1->rect(), QRectF(0, 312, 1280, 400));
        view->Picture1_Click();
        QTRY_VERIFY(!form.fullScreen().form());
    }
}

void TestFullScreenView::showsThePlaceholderReopensInPlaceAndClosesOnAnyClickOrEscape()
{
    // After a folder change the panel holds the placeholder, and so does the view.
    TestDesktop desktop;
    Form1 &form = desktop.started(desktop.home());
    form.controls().menus.fullscreen1->click();
    Form8 *view = form.fullScreen().form();
    QVERIFY(view);
    QCOMPARE(view->Image1->picture(), form.controls().Picture2->picture());
    QCOMPARE(view->Image1->rect(), QRectF(512 - 89.5, 384 - 18, 179, 36));
    QVERIFY(!view->Image1->stretch());

    // Opening it again reuses the open view, with the panel's new picture.
    form.controls().Image1->setPicture(
        RasterPicture::fromImage(QImage(50, 40, QImage::Format_RGB32)));
    form.fullScreen().File1_DblClick();
    QCOMPARE(form.fullScreen().form(), view);
    QCOMPARE(view->Image1->rect(), QRectF(487, 364, 50, 40));

    // A click on the picture or on the black, or Esc, closes it.
    form.show();
    for (const QPoint at : {QPoint(512, 384), QPoint(5, 5)}) {
        form.fullScreen().File1_DblClick();
        view = form.fullScreen().form();
        QVERIFY(QTest::qWaitForWindowExposed(view));
        QTest::mouseClick(view->Picture1, Qt::LeftButton, {}, at);
        QTRY_VERIFY(!form.fullScreen().form());
    }
    form.fullScreen().File1_DblClick();
    QTest::keyClick(form.fullScreen().form(), Qt::Key_Escape);
    QTRY_VERIFY(!form.fullScreen().form());
    QVERIFY(form.isVisible());
}

void TestFullScreenView::opensFromARasterMadeWhileThePictureWasShown_data()
{
    QTest::addColumn<QString>("format");
    QTest::newRow("decoded for each size") << QStringLiteral("jpg");
    QTest::newRow("held whole in memory") << QStringLiteral("bmp");
}

void TestFullScreenView::opensFromARasterMadeWhileThePictureWasShown()
{
    QFETCH(QString, format);
    TestDesktop desktop;
    const QString folder = desktop.makeFolder(desktop.home() + QStringLiteral("/P"));
    QImage halves(2048, 1536, QImage::Format_RGB32);
    halves.fill(Qt::red);
    QPainter(&halves).fillRect(1024, 0, 1024, 1536, Qt::blue);
    const QString name = QStringLiteral("halves.") + format;
    const QString path = folder + QLatin1Char('/') + name;
    QVERIFY(halves.save(path, nullptr, 95));
    Form1 &form = desktop.started(folder);
    Form1Controls &c = form.controls();
    c.File1->selectFile(name);
    const PictureRef shown = c.Image1->picture();
    QTRY_VERIFY_WITH_TIMEOUT(form.fullScreen().screenAhead().isReadyFor(shown), 10000);

    form.fullScreen().File1_DblClick();
    Form8 *view = form.fullScreen().form();
    QVERIFY(view);
    const PictureRef prepared = view->Image1->picture();
    QVERIFY(prepared != shown);
    QCOMPARE(prepared->naturalSize(), QSize(2048, 1536));
    QCOMPARE(view->Image1->rect(), QRectF(0, 0, 1024, 768));
    // Drawn from the raster made ahead, the view looks as drawn from the picture itself.
    QImage fromRaster(1024, 768, QImage::Format_ARGB32_Premultiplied);
    QImage fromPicture = fromRaster;
    {
        QPainter painter(&fromRaster);
        prepared->draw(painter, QRectF(0, 0, 1024, 768));
    }
    {
        QPainter painter(&fromPicture);
        shown->draw(painter, QRectF(0, 0, 1024, 768));
    }
    QCOMPARE(fromRaster, fromPicture);
    const QColor left = fromRaster.pixelColor(200, 400);
    QVERIFY2(left.red() > 240 && left.blue() < 16, qPrintable(left.name()));
    view->Picture1_Click();
    QTRY_VERIFY(!form.fullScreen().form());

    // A file rewritten since is shown as the panel holds it.
    QImage green(2048, 1536, QImage::Format_RGB32);
    green.fill(Qt::green);
    green = green.scaled(2048, 1500);
    QVERIFY(green.save(path, nullptr, 50));
    QVERIFY(!form.fullScreen().screenAhead().isReadyFor(shown));
    form.fullScreen().File1_DblClick();
    QCOMPARE(form.fullScreen().form()->Image1->picture(), shown);
}

void TestFullScreenView::opensCoarseBeforeItsRasterIsMadeThenSharp()
{
    TestDesktop desktop;
    GatedPictures gated;
    desktop.pictureSource = &gated;
    const QString folder = desktop.makeFolder(desktop.home() + QStringLiteral("/P"));
    QImage halves(2048, 1536, QImage::Format_RGB32);
    halves.fill(Qt::red);
    QPainter(&halves).fillRect(1024, 0, 1024, 1536, Qt::blue);
    const QString path = folder + QStringLiteral("/halves.jpg");
    QVERIFY(halves.save(path, nullptr, 95));
    Form1 &form = desktop.started(folder);
    Form1Controls &c = form.controls();
    ScreenAhead &ahead = form.fullScreen().screenAhead();

    // The first press of a double-click starts the view's raster at once: the fresh
    // read of the file for it is held at the gate.
    gated.hold(path);
    const QModelIndex entry = c.File1->model()->index(0, 0);
    QTest::mousePress(c.File1->viewport(), Qt::LeftButton, {}, c.File1->visualRect(entry).center());
    const PictureRef shown = c.Image1->picture();
    QCOMPARE(shown->naturalSize(), QSize(2048, 1536));
    QVERIFY(ahead.standsInFor(shown));
    QTest::mouseRelease(c.File1->viewport(), Qt::LeftButton, {},
                        c.File1->visualRect(entry).center());

    // Opened before the raster is made: the coarse picture, enlarged, at once.
    form.fullScreen().File1_DblClick();
    Form8 *view = form.fullScreen().form();
    const PictureRef standIn = view->Image1->picture();
    QVERIFY(standIn != shown);
    const QRectF placed = view->Image1->rect(); // fitted to the screen
    QVERIFY(placed.width() < 2048 && placed.width() > 500);
    const auto drawn = [size = placed.size().toSize()](const PictureRef &picture) {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&image);
        picture->draw(painter, QRectF(QPointF(0, 0), QSizeF(size)));
        return image;
    };
    const QColor left = drawn(standIn).pixelColor(100, 200);
    QVERIFY2(left.red() > 200 && left.blue() < 60, qPrintable(left.name()));

    // Then the sharp one, exactly as the picture draws itself.
    gated.openAll();
    QTRY_VERIFY_WITH_TIMEOUT(view->Image1->picture() != standIn, 10000);
    QVERIFY(ahead.isReadyFor(shown));
    QCOMPARE(drawn(view->Image1->picture()), drawn(shown));
    QCOMPARE(view->Image1->rect(), placed);
}

QTEST_MAIN(TestFullScreenView)
#include "tst_fullscreenview.moc"
