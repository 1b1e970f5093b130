#include "PictureTestData.h"
#include "picture/PictureLoader.h"
#include "picture/ScaledPicture.h"

#include <QPainter>
#include <QTest>

using namespace testdata;

class TestPictureDraw : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void shrunkOrStretchedPictureKeepsItsLayout();
    void onlyWhatIsOnTheDeviceIsDrawn();
    void naturalEnlargedAndDenseSizesKeepThePixels();
};

namespace {

PictureRef loadImage(const QImage &image)
{
    return PictureLoader::loadBytes(encoded(image, "BMP")).picture;
}

// Whether quadrants() shows red at a, yellow at b, green and blue at the other corners.
bool showsQuadrants(const QImage &shown, QPoint a, QPoint b)
{
    return QColor(shown.pixel(a)) == Qt::red && QColor(shown.pixel(b.x(), a.y())) == Qt::green &&
           QColor(shown.pixel(a.x(), b.y())) == Qt::blue && QColor(shown.pixel(b)) == Qt::yellow;
}

} // namespace

void TestPictureDraw::shrunkOrStretchedPictureKeepsItsLayout()
{
    PictureRef picture = loadImage(quadrants(1000, 600));
    QVERIFY(picture);
    // Natural size is at hand; another is made when asked, on any thread, then drawn.
    const auto &scaled = dynamic_cast<const picture::ScaledPicture &>(*picture);
    QVERIFY(scaled.hasRasterFor(QSize(1000, 600)));
    QVERIFY(!scaled.hasRasterFor(QSize(300, 180)));
    scaled.prepare(QSize(300, 180));
    QVERIFY(scaled.hasRasterFor(QSize(300, 180)));
    QImage shown = paint(*picture, QSize(300, 180), QRectF(0, 0, 300, 180));
    QVERIFY(showsQuadrants(shown, {50, 40}, {250, 140}));
    picture = loadImage(quadrants(1000, 600)); // no raster made ahead
    shown = paint(*picture, QSize(449, 270), QRectF(0, 0, 449, 269.4));
    QVERIFY(showsQuadrants(shown, {100, 60}, {350, 200}));
    // Smoothed where the colours meet, not picked from one side.
    const QRgb edge = shown.pixel(224, 60);
    QVERIFY(qRed(edge) > 0 && qGreen(edge) > 0);

    // Narrow and tall, stretched to the picture area: wider and shorter at once.
    picture = loadImage(quadrants(100, 600));
    shown = paint(*picture, QSize(449, 385), QRectF(0, 0, 449, 385));
    QVERIFY(showsQuadrants(shown, {5, 5}, {443, 379}));
}

void TestPictureDraw::onlyWhatIsOnTheDeviceIsDrawn()
{
    // 100 x 100 zoomed 1000 times is ten gigapixels; only 200 x 200 of it is seen.
    const PictureRef picture = loadImage(quadrants(100, 100));
    QImage shown;
    // Source pixel 50 starts at 50 000: the centre of the picture is at the canvas centre.
    QVERIFY(cheap(
        [&] { shown = paint(*picture, QSize(200, 200), QRectF(-49900, -49900, 100000, 100000)); },
        2000, 32 * 1024));
    QVERIFY(showsQuadrants(shown, {50, 50}, {150, 150}));

    // Without a clip, the device's own bounds are the limit.
    shown = paint(*picture, QSize(50, 50), QRectF(5000, 5000, 1e6, 1e6), 1, false);
    QCOMPARE(qAlpha(shown.pixel(25, 25)), 0);
    shown = paint(*picture, QSize(50, 50), QRectF(-75, -75, 100, 100), 1, false);
    QCOMPARE(QColor(shown.pixel(10, 10)), QColor(Qt::yellow));
}

void TestPictureDraw::naturalEnlargedAndDenseSizesKeepThePixels()
{
    QImage noise(64, 48, QImage::Format_RGB32);
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 64; ++x)
            noise.setPixel(x, y, qRgb((x * 37) & 255, (y * 91) & 255, (x * y) & 255));
    }
    PictureRef picture = loadImage(noise);
    QImage shown = paint(*picture, QSize(80, 60), QRectF(10, 5, 64, 48));
    QCOMPARE(shown.copy(10, 5, 64, 48).convertToFormat(QImage::Format_RGB32), noise);
    QCOMPARE(picture->toImage().convertToFormat(QImage::Format_RGB32), noise);

    // Enlarged, each pixel becomes a block: no smoothing between them.
    picture = loadImage(noise.copy(0, 0, 2, 1));
    shown = paint(*picture, QSize(200, 100), QRectF(0, 0, 200, 100));
    QCOMPARE(shown.pixel(99, 50), noise.pixel(0, 0));
    QCOMPARE(shown.pixel(100, 50), noise.pixel(1, 0));

    // Stripes 2 pixels wide at half size on a screen of ratio 2: not blurred to grey.
    QImage stripes(400, 40, QImage::Format_RGB32);
    stripes.fill(Qt::black);
    for (int x = 2; x < 400; x += 4)
        QPainter(&stripes).fillRect(x, 0, 2, 40, Qt::white);
    picture = loadImage(stripes);
    shown = paint(*picture, QSize(200, 20), QRectF(0, 0, 200, 20), 2.0);
    QCOMPARE(shown.size(), QSize(400, 40));
    int contrast = 0;
    for (int x = 100; x < 110; ++x)
        contrast = qMax(contrast, qAbs(qGray(shown.pixel(x, 20)) - qGray(shown.pixel(x + 1, 20))));
    QVERIFY2(contrast > 128, qPrintable(QString::number(contrast)));
}

QTEST_MAIN(TestPictureDraw)
#include "tst_picturedraw.moc"
