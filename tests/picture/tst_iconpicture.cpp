#include "PictureTestData.h"
#include "picture/PictureLoader.h"

#include <QTest>

using namespace testdata;

class TestIconPicture : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void picksTheLargestDeepestImage_data();
    void picksTheLargestDeepestImage();
    void maskMakesPixelsTransparentUnlessThereIsAlpha();
};

namespace {

IconImage dib(int size, QRgb colour, quint16 bpp = 32)
{
    return {iconDib(filled(size, size, colour), bpp), size % 256, size % 256, bpp};
}

IconImage pngEntry(int realSize, int directorySize, QRgb colour)
{
    return {png(filled(realSize, realSize, colour)), directorySize % 256, directorySize % 256};
}

} // namespace

void TestIconPicture::picksTheLargestDeepestImage_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("size"); // 0: refused
    QTest::addColumn<QRgb>("colour");
    const auto row = [](const char *name, const QList<IconImage> &images, int size, QRgb colour,
                        quint16 type = 1) {
        QTest::newRow(name) << icon(images, type) << size << colour;
    };
    const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255);
    row("largest, whatever its depth", {dib(16, red), dib(48, green, 4), dib(32, blue)}, 48, green);
    row("deepest of the same size", {dib(32, red, 4), dib(32, blue), dib(16, green, 4)}, 32, blue);
    row("first of equals", {dib(24, red), dib(24, blue)}, 24, red);
    row("256 as PNG", {dib(48, red), pngEntry(256, 0, green)}, 256, green);
    row("a PNG's own size, not the directory's", {pngEntry(64, 16, blue), dib(32, red)}, 64, blue);
    IconImage broken = dib(64, red);
    broken.data[12] = 9; // planes
    row("a damaged largest image gives way", {broken, dib(32, green)}, 32, green);
    row("cursor", {dib(16, red, 4), dib(32, blue)}, 32, blue, 2);
    // A wrong length is read past: every pixel is there, so it is no damage.
    IconImage misstated = dib(16, green);
    misstated.declaredLength = 8;
    row("cursor with a wrong length", {misstated}, 16, green, 2);
    // A PNG entry whose text chunk claims gigabytes it does not hold: refused at once.
    QByteArray bloated = png(filled(16, 16, blue));
    bloated.insert(8 + 25, QByteArray("\x7F\xFF\xFF\xF0tEXt", 8) + QByteArray(20, 'x'));
    row("PNG claiming gigabytes", {{bloated, 16, 16}}, 0, 0);
    QByteArray far = icon({dib(16, green)});
    far[6 + 12] = far[6 + 13] = char(0xFF);
    QTest::newRow("offset far past the end") << far << 0 << QRgb(0);
}

void TestIconPicture::picksTheLargestDeepestImage()
{
    QFETCH(QByteArray, file);
    QFETCH(int, size);
    QFETCH(QRgb, colour);
    LoadResult r;
    QVERIFY(cheap([&] { r = PictureLoader::loadBytes(file); }, 2000));
    if (size == 0) {
        QVERIFY(!r.picture);
        QVERIFY(!r.failure.isEmpty());
        return;
    }
    QVERIFY2(r.picture, qPrintable(r.failure));
    QVERIFY(r.warning.isEmpty());
    const QImage image = r.picture->toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(image.size(), QSize(size, size));
    QCOMPARE(image.pixel(size / 2, size / 2), colour);
}

void TestIconPicture::maskMakesPixelsTransparentUnlessThereIsAlpha()
{
    // No alpha in the colours: the AND mask decides (row 0 is the top row).
    const QRgb blue = qRgb(0, 0, 255), red = qRgb(255, 0, 0);
    const QList<QList<int>> mask{{1, 0, 0, 1}, {0, 1, 1, 0}};
    QImage image = loadArgb(icon({{iconDib(filled(4, 2, qRgba(0, 0, 255, 0)), 32, mask), 4, 2}}));
    QCOMPARE(image.size(), QSize(4, 2));
    for (int i = 0; i < 8; ++i) {
        const QRgb p = image.pixel(i % 4, i / 4);
        QCOMPARE(qAlpha(p) ? p : 0u, mask[i / 4][i % 4] ? 0u : blue);
    }
    // The mask says the opposite of the alpha channel; the alpha is what the icon means.
    QImage colours = filled(2, 1, red);
    colours.setPixel(1, 0, qRgba(255, 0, 0, 0));
    image = loadArgb(icon({{iconDib(colours, 32, {{1, 0}}), 2, 1}}));
    QCOMPARE(image.pixel(0, 0), red);
    QCOMPARE(qAlpha(image.pixel(1, 0)), 0);
}

QTEST_MAIN(TestIconPicture)
#include "tst_iconpicture.moc"
