#include "PictureTestData.h"
#include "picture/PictureLoader.h"

#include <QElapsedTimer>
#include <QTest>

using namespace testdata;

Q_DECLARE_METATYPE(QList<testdata::IconImage>)

class TestIconPicture : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void picksTheLargestDeepestImage_data();
    void picksTheLargestDeepestImage();
    void maskMakesPixelsTransparentUnlessThereIsAlpha();
    void damagedDirectoryIsReadPastOrRefused();
};

namespace {

QImage filled(int w, int h, QRgb colour)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

IconImage dib32(int size, QRgb colour)
{
    return {iconDib32(filled(size, size, colour)), size % 256, size % 256, 32, -1};
}

IconImage dib4(int size, QRgb colour)
{
    return {iconDib4(size, size, colour), size % 256, size % 256, 4, -1};
}

IconImage pngEntry(int realSize, int directorySize, QRgb colour)
{
    return {png(filled(realSize, realSize, colour)), directorySize % 256, directorySize % 256, 32,
            -1};
}

} // namespace

void TestIconPicture::picksTheLargestDeepestImage_data()
{
    QTest::addColumn<QList<IconImage>>("images");
    QTest::addColumn<quint16>("type");
    QTest::addColumn<int>("size");
    QTest::addColumn<QRgb>("colour");

    const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255);
    QTest::newRow("largest, whatever its depth")
        << QList<IconImage>{dib32(16, red), dib4(48, green), dib32(32, blue)} << quint16(1) << 48
        << green;
    QTest::newRow("deepest of the same size")
        << QList<IconImage>{dib4(32, red), dib32(32, blue), dib4(16, green)} << quint16(1) << 32
        << blue;
    QTest::newRow("first of equals")
        << QList<IconImage>{dib32(24, red), dib32(24, blue)} << quint16(1) << 24 << red;
    QTest::newRow("256 as PNG") << QList<IconImage>{dib32(48, red), pngEntry(256, 0, green)}
                                << quint16(1) << 256 << green;
    QTest::newRow("a PNG's own size, not the directory's")
        << QList<IconImage>{pngEntry(64, 16, blue), dib32(32, red)} << quint16(1) << 64 << blue;
    IconImage broken = dib32(64, red);
    broken.data[12] = 9; // planes
    QTest::newRow("a damaged largest image gives way")
        << QList<IconImage>{broken, dib32(32, green)} << quint16(1) << 32 << green;
    QTest::newRow("cursor") << QList<IconImage>{dib4(16, red), dib32(32, blue)} << quint16(2) << 32
                            << blue;
}

void TestIconPicture::picksTheLargestDeepestImage()
{
    QFETCH(QList<IconImage>, images);
    QFETCH(quint16, type);
    QFETCH(int, size);
    QFETCH(QRgb, colour);

    const QByteArray file = icon(images, type);
    QCOMPARE(PictureLoader::sniff(file),
             std::optional(type == 1 ? PictureFormat::Ico : PictureFormat::Cur));
    LoadResult r;
    const QImage image = loadArgb(file, &r);
    QVERIFY2(r.failure.isEmpty(), qPrintable(r.failure));
    QCOMPARE(image.size(), QSize(size, size));
    QCOMPARE(image.pixel(size / 2, size / 2), colour);
}

void TestIconPicture::maskMakesPixelsTransparentUnlessThereIsAlpha()
{
    // No alpha in the colours: the AND mask decides. Row 0 is the top row.
    QImage colours = filled(4, 2, qRgba(0, 0, 255, 0));
    QImage image =
        loadArgb(icon({{iconDib32(colours, {{1, 0, 0, 1}, {0, 1, 1, 0}}), 4, 2, 32, -1}}));
    QCOMPARE(image.size(), QSize(4, 2));
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QCOMPARE(image.pixel(1, 0), qRgb(0, 0, 255));
    QCOMPARE(qAlpha(image.pixel(3, 0)), 0);
    QCOMPARE(qAlpha(image.pixel(1, 1)), 0);
    QCOMPARE(image.pixel(0, 1), qRgb(0, 0, 255));

    // The mask says the opposite of the alpha channel; the alpha is what the icon means.
    colours = filled(2, 1, qRgba(255, 0, 0, 255));
    colours.setPixel(1, 0, qRgba(255, 0, 0, 0));
    image = loadArgb(icon({{iconDib32(colours, {{1, 0}}), 2, 1, 32, -1}}));
    QCOMPARE(image.pixel(0, 0), qRgb(255, 0, 0));
    QCOMPARE(qAlpha(image.pixel(1, 0)), 0);
}

void TestIconPicture::damagedDirectoryIsReadPastOrRefused()
{
    // A PNG entry whose text chunk claims gigabytes it does not hold is refused at
    // once, before anything of that size is set aside.
    QByteArray bloated = png(filled(16, 16, qRgb(0, 0, 255)));
    const QByteArray text = QByteArray("\x7F\xFF\xFF\xF0tEXt", 8) + QByteArray(20, 'x');
    bloated.insert(8 + 25, text); // after the signature and the header chunk
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!PictureLoader::loadBytes(icon({{bloated, 16, 16, 32, -1}})).picture);
    QVERIFY(clock.elapsed() < 2000);

    // A wrong length is read past: every pixel is there, so it is no damage.
    IconImage entry = dib32(16, qRgb(0, 255, 0));
    entry.declaredLength = 8;
    LoadResult r = PictureLoader::loadBytes(icon({entry}, 2));
    QVERIFY2(r.picture, qPrintable(r.failure));
    QCOMPARE(r.picture->naturalSize(), QSize(16, 16));
    QCOMPARE(r.picture->toImage().pixel(8, 8), qRgb(0, 255, 0));
    QVERIFY(r.warning.isEmpty());

    // An offset far past the end cannot be.
    QByteArray file = icon({dib32(16, qRgb(0, 255, 0))});
    file[6 + 12] = char(0xFF);
    file[6 + 13] = char(0xFF);
    r = PictureLoader::loadBytes(file);
    QVERIFY(!r.picture);
    QVERIFY(!r.failure.isEmpty());
}

QTEST_MAIN(TestIconPicture)
#include "tst_iconpicture.moc"
