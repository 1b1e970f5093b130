#include "picture/PictureLoader.h"
#include "picture/PictureTestData.h"
#include "picture/jpeg/JpegDcImage.h"
#include "picture/jpeg/JpegPicture.h"

#include <QColorSpace>
#include <QPainter>
#include <QRandomGenerator>
#include <QTest>
#include <atomic>
#include <thread>

using namespace testdata;
using namespace picture;

class TestJpegPicture : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void orientationTurnsThePictureUpright_data();
    void orientationTurnsThePictureUpright();
    void shrunkPictureDecodesAtTheCoveringDctScale_data();
    void shrunkPictureDecodesAtTheCoveringDctScale();
    void fiftyMegapixelsShowAtEverySize();
    void damageFatalErrorsAndAbsurdSizesAreRefusedHarmlessWarningsAreNot();
    void colourProfileIsConvertedToSrgb();
    void coarseRasterIsTheEighthAndShowsWhileTheFineOneIsMade();

private:
    QByteArray m_photo; // 4000 x 3000, gradient and noise
    QByteArray m_progressivePhoto;
};

namespace {

// quadrants(64, 32) as stored: red, green on top, blue, yellow below.
const QRgb kRed = qRgb(255, 0, 0), kGreen = qRgb(0, 255, 0), kBlue = qRgb(0, 0, 255),
           kYellow = qRgb(255, 255, 0);

// The photo's middle: red and green ramp up across and down it, blue along the diagonal.
bool middleIsRight(const QImage &shown)
{
    return near(shown.pixel(shown.width() / 2, shown.height() / 2),
                qRgb(139, 139, (2000 + 1500) & 255), 40);
}

const JpegPicture &asJpeg(const LoadResult &r)
{
    return dynamic_cast<const JpegPicture &>(*r.picture);
}

} // namespace

void TestJpegPicture::initTestCase()
{
    QImage big(4000, 3000, QImage::Format_RGB32); // gradient and noise
    QRandomGenerator random(7);
    for (int y = 0; y < 3000; ++y) {
        auto *line = reinterpret_cast<QRgb *>(big.scanLine(y));
        for (int x = 0; x < 4000; ++x) {
            const int noise = int(random.bounded(24));
            line[x] =
                qRgb((x * 255 / 4000 + noise) & 255, (y * 255 / 3000 + noise) & 255, (x + y) & 255);
        }
    }
    m_photo = jpeg(big, 90);
    m_progressivePhoto = jpeg(big, 90, true);
}

void TestJpegPicture::orientationTurnsThePictureUpright_data()
{
    QTest::addColumn<QByteArray>("exif");
    QTest::addColumn<QList<QRgb>>("corners"); // upright: top left, top right, bottom left, right
    QTest::addColumn<bool>("turned");

    const QList<QList<QRgb>> expected = {
        {kRed, kGreen, kBlue, kYellow}, // 1 as stored
        {kGreen, kRed, kYellow, kBlue}, // 2 mirrored left to right
        {kYellow, kBlue, kGreen, kRed}, // 3 half turn
        {kBlue, kYellow, kRed, kGreen}, // 4 mirrored top to bottom
        {kRed, kBlue, kGreen, kYellow}, // 5 rows become columns
        {kBlue, kRed, kYellow, kGreen}, // 6 quarter turn clockwise
        {kYellow, kGreen, kBlue, kRed}, // 7 rows become columns, reversed
        {kGreen, kYellow, kRed, kBlue}, // 8 quarter turn anticlockwise
    };
    for (int o = 1; o <= 8; ++o) {
        QTest::addRow("%d, Intel order", o) << exifOrientation(o) << expected[o - 1] << (o >= 5);
        QTest::addRow("%d, Motorola order", o)
            << exifOrientation(o, true) << expected[o - 1] << (o >= 5);
    }
    // What cannot be read is ignored.
    QByteArray farOffset = exifOrientation(6);
    farOffset[10] = char(0x7F);
    const QList<std::pair<const char *, QByteArray>> unreadable = {
        {"value out of range", exifOrientation(9)},
        {"wrong type", exifOrientation(6, false, 4)},
        {"cut inside the directory", exifOrientation(6).left(20)},
        {"not a TIFF header", QByteArray("Exif\0\0XX*\0\x08\0\0\0", 14)},
        {"directory offset past the end", farOffset}};
    for (const auto &[name, exif] : unreadable)
        QTest::newRow(name) << exif << expected[0] << false;
}

void TestJpegPicture::orientationTurnsThePictureUpright()
{
    QFETCH(QByteArray, exif);
    QFETCH(QList<QRgb>, corners);
    QFETCH(bool, turned);

    const LoadResult r =
        PictureLoader::loadBytes(withSegment(jpeg(quadrants(64, 32), 95), 0xE1, exif));
    QVERIFY2(r.picture, qPrintable(r.failure));
    const QSize upright = turned ? QSize(32, 64) : QSize(64, 32);
    QCOMPARE(r.picture->naturalSize(), upright);

    const QImage full = r.picture->toImage();
    QCOMPARE(full.size(), upright);
    const int w = upright.width(), h = upright.height();
    const QList<QPoint> at = {{4, 4}, {w - 5, 4}, {4, h - 5}, {w - 5, h - 5}};
    for (int i = 0; i < 4; ++i)
        QVERIFY(near(full.pixel(at[i]), corners[i]));

    // Shrunk rasters are turned the same way.
    const QImage small = paint(*r.picture, upright / 2, QRectF(QPointF(0, 0), QSizeF(upright / 2)));
    QVERIFY(near(small.pixel(2, 2), corners[0]));
    QVERIFY(near(small.pixel(w / 2 - 3, h / 2 - 3), corners[3]));
}

void TestJpegPicture::shrunkPictureDecodesAtTheCoveringDctScale_data()
{
    QTest::addColumn<bool>("progressive");
    QTest::newRow("baseline") << false;
    QTest::newRow("progressive") << true;
}

void TestJpegPicture::shrunkPictureDecodesAtTheCoveringDctScale()
{
    QFETCH(bool, progressive);
    const QByteArray &file = progressive ? m_progressivePhoto : m_photo;
    const LoadResult r = PictureLoader::loadBytes(file);
    QVERIFY2(r.picture, qPrintable(r.failure));
    const JpegPicture &picture = asJpeg(r);

    // Loading decoded once, at 1/8: 500 x 375 covers the panel's 449 x 337.
    QCOMPARE(picture.stats().decodes, 1);
    QCOMPARE(picture.stats().lastDenominator, 8);

    // The first paint in Auto-Fit finds its raster ready.
    const QRectF fit(0, 0, 449, 449.0 / 4000 * 3000);
    QImage shown = paint(picture, QSize(449, 337), fit);
    QCOMPARE(picture.stats().decodes, 1);
    QVERIFY(middleIsRight(shown));

    // At 100 % it decodes in full; only the visible part is drawn.
    shown = paint(picture, QSize(200, 200), QRectF(-1000, -1000, 4000, 3000));
    QCOMPARE(picture.stats().lastDenominator, 1);
    QCOMPARE(picture.stats().decodes, 2);
    QVERIFY(picture.stats().cachedBytes >= qint64(4000) * 3000 * 4);

    // Back to the fit: the small raster is still there and the full one goes.
    paint(picture, QSize(449, 337), fit);
    QCOMPARE(picture.stats().decodes, 2);
    QVERIFY(picture.stats().cachedBytes < 4 * 1024 * 1024);

    // Twice the pixels on a high-density screen: 1/4 covers 898 x 674.
    paint(picture, QSize(449, 337), fit, 2.0);
    QCOMPARE(picture.stats().lastDenominator, 4);
    // A repaint at the same size costs nothing.
    const int decodes = picture.stats().decodes;
    paint(picture, QSize(449, 337), fit, 2.0);
    QCOMPARE(picture.stats().decodes, decodes);

    // Full screen: 6/8 (3000 x 2250), the fewest eighths covering 2600 x 1950, kept alone.
    shown = paint(picture, QSize(2600, 1950), QRectF(0, 0, 2600, 1950));
    QCOMPARE(picture.stats().lastDenominator, 8);
    QCOMPARE(picture.stats().lastNumerator, 6);
    QVERIFY(picture.stats().cachedBytes < qint64(3000) * 2250 * 4);
    QVERIFY(middleIsRight(shown));

    // First drawn full screen (2600 x 1950): decoded once, for that size.
    const auto fullScreen = [](QSize natural) {
        return natural * 0.65;
    };
    const LoadResult large = PictureLoader::loadBytes(file, fullScreen);
    QVERIFY2(large.picture, qPrintable(large.failure));
    QCOMPARE(asJpeg(large).stats().decodes, 1);
    QCOMPARE(asJpeg(large).stats().lastNumerator, 6);
    QVERIFY(asJpeg(large).hasRasterFor(QSize(2600, 1950)));
    QVERIFY(middleIsRight(paint(asJpeg(large), QSize(2600, 1950), QRectF(0, 0, 2600, 1950))));
    QCOMPARE(asJpeg(large).stats().decodes, 1);

    // No larger than the panel's raster: loaded as ever.
    const LoadResult small = PictureLoader::loadBytes(file, [](QSize) { return QSize(300, 225); });
    QCOMPARE(asJpeg(small).stats().lastDenominator, 8);
    QVERIFY(asJpeg(small).hasRasterFor(QSize(449, 337)));

    // The one decode judges the file: a damaged one is refused all the same.
    const LoadResult cut = PictureLoader::loadBytes(file.left(file.size() * 6 / 10), fullScreen);
    QVERIFY(!cut.picture);
    QCOMPARE(cut.failure.left(13), QStringLiteral("damaged: JPEG"));

    // A quarter-turned picture scales by its stored sides.
    const auto turned = PictureLoader::loadBytes(withSegment(m_photo, 0xE1, exifOrientation(6)));
    QVERIFY2(turned.picture, qPrintable(turned.failure));
    const JpegPicture &upright = asJpeg(turned);
    QCOMPARE(upright.naturalSize(), QSize(3000, 4000));
    // Upright 375 x 500 is 500 x 375 as stored: 1/8 exactly.
    const std::tuple<int, int, int> sides[] = {{375, 500, 8},   {376, 500, 4},   {375, 501, 4},
                                               {1500, 2000, 2}, {1501, 2000, 1}, {3000, 4000, 1}};
    for (const auto &[w, h, d] : sides)
        QCOMPARE(upright.denominatorFor(QSize(w, h)), d);
}

void TestJpegPicture::fiftyMegapixelsShowAtEverySize()
{
    // Beyond Qt's default 128 MB allocation limit when decoded in full.
    QImage source(8192, 6144, QImage::Format_RGB32);
    source.fill(qRgb(40, 160, 90));
    QPainter(&source).fillRect(4096, 3072, 4096, 3072, QColor(200, 30, 30));
    const QByteArray file = jpeg(source, 80);
    source = QImage();

    const LoadResult r = PictureLoader::loadBytes(file);
    QVERIFY2(r.picture, qPrintable(r.failure));
    QCOMPARE(r.picture->naturalSize(), QSize(8192, 6144));
    const QImage fitted = paint(*r.picture, QSize(449, 337), QRectF(0, 0, 449, 336.75));
    QVERIFY(near(fitted.pixel(100, 100), qRgb(40, 160, 90)));
    QVERIFY(near(fitted.pixel(400, 300), qRgb(200, 30, 30)));
    // 100 %, scrolled to the bottom right corner.
    const QImage actual = paint(*r.picture, QSize(300, 200), QRectF(-7892, -5944, 8192, 6144));
    QVERIFY(near(actual.pixel(150, 100), qRgb(200, 30, 30)));
    // Zoomed in 4x on the boundary of the two colours.
    const QImage zoomed = paint(*r.picture, QSize(400, 400),
                                QRectF(-4 * 4096 + 200, -4 * 3072 + 200, 4 * 8192, 4 * 6144));
    QVERIFY(near(zoomed.pixel(100, 100), qRgb(40, 160, 90)));
    QVERIFY(near(zoomed.pixel(300, 300), qRgb(200, 30, 30)));
}

void TestJpegPicture::damageFatalErrorsAndAbsurdSizesAreRefusedHarmlessWarningsAreNot()
{
    QImage source(256, 256, QImage::Format_RGB32);
    source.fill(kBlue);
    const QByteArray file = jpeg(source, 90);
    // Cut short: the decoder keeps what it could, the loader refuses the file.
    const QByteArray cut = file.left(file.size() * 6 / 10);
    const LoadResult partial = PictureLoader::decode(cut);
    QVERIFY2(partial.picture, qPrintable(partial.failure));
    QVERIFY(!partial.warning.isEmpty());
    QVERIFY(near(partial.picture->toImage().pixel(128, 4), kBlue));
    QVERIFY(!near(partial.picture->toImage().pixel(128, 252), kBlue));
    const LoadResult refused = PictureLoader::loadBytes(cut);
    QVERIFY(!refused.picture);
    QCOMPARE(refused.failure.left(13), QStringLiteral("damaged: JPEG"));
    // Nothing but the headers: grey filler, refused alike.
    const qsizetype sos = file.indexOf(QByteArray("\xFF\xDA", 2));
    QCOMPARE(PictureLoader::decode(file.left(sos + 14)).picture->toImage().pixel(128, 4),
             qRgb(128, 128, 128));
    QVERIFY(!PictureLoader::loadBytes(file.left(sos + 14)).picture);

    // The scan asks for a Huffman table never defined: the headers read, the data cannot.
    QByteArray undefined = file;
    for (int i = 0; i < uchar(file[sos + 4]); ++i)
        undefined[sos + 6 + 2 * i] = char(0x33);
    JpegHeader header;
    QString why;
    QVERIFY(readJpegHeader(Bytes(undefined), header, why));
    const LoadResult fatal = PictureLoader::loadBytes(undefined);
    QVERIFY(!fatal.picture);
    QVERIFY2(fatal.failure.startsWith(QStringLiteral("JPEG: ")), qPrintable(fatal.failure));

    // libjpeg refuses sides over 65500 in its own words; 40000 is refused as too large.
    const QByteArray small = jpeg(quadrants(64, 32));
    for (const quint16 side : {65535, 40000}) {
        LoadResult r;
        QVERIFY(
            cheap([&] { r = PictureLoader::loadBytes(withFrameSize(small, side, side)); }, 500));
        QVERIFY(!r.picture);
        QVERIFY(!r.failure.isEmpty());
        QVERIFY2(side > 65500 || r.failure.contains(QStringLiteral("too large")),
                 qPrintable(r.failure));
    }

    // Every pixel there: a missing end marker, or stray bytes before it, is no damage.
    const QByteArray progressive = jpeg(source, 90, true);
    QVERIFY(file.endsWith("\xFF\xD9") && progressive.endsWith("\xFF\xD9"));
    const QByteArray stray = QByteArray("\x00\x01\x02", 3) + QByteArray("\xFF\xD9", 2);
    for (const QByteArray &whole :
         {file.chopped(2), file.chopped(2) + stray, progressive.chopped(2)}) {
        const LoadResult r = PictureLoader::loadBytes(whole);
        QVERIFY2(r.picture, qPrintable(r.failure));
        QVERIFY(near(r.picture->toImage().pixel(128, 252), kBlue));
    }
}

void TestJpegPicture::colourProfileIsConvertedToSrgb()
{
    QImage grey(16, 16, QImage::Format_RGB32);
    grey.fill(qRgb(64, 64, 64));
    const QByteArray plain = jpeg(grey, 100);
    auto withProfile = [&](const QColorSpace &space) {
        return withSegment(plain, 0xE2,
                           QByteArray("ICC_PROFILE\0\x01\x01", 14) + space.iccProfile());
    };

    // In linear light a quarter of full intensity; sRGB writes it as about 137.
    const QColorSpace linear(QColorSpace::Primaries::SRgb, QColorSpace::TransferFunction::Linear);
    LoadResult r = PictureLoader::loadBytes(withProfile(linear));
    QVERIFY2(r.picture, qPrintable(r.failure));
    QVERIFY(near(r.picture->toImage().pixel(8, 8), qRgb(137, 137, 137), 4));
    // The shrunk raster is converted too.
    const QImage small = paint(*r.picture, QSize(8, 8), QRectF(0, 0, 8, 8));
    QVERIFY(near(small.pixel(4, 4), qRgb(137, 137, 137), 4));

    // An sRGB profile changes nothing.
    r = PictureLoader::loadBytes(withProfile(QColorSpace(QColorSpace::SRgb)));
    QVERIFY(near(r.picture->toImage().pixel(8, 8), qRgb(64, 64, 64), 3));
}

void TestJpegPicture::coarseRasterIsTheEighthAndShowsWhileTheFineOneIsMade()
{
    const LoadResult r = PictureLoader::loadBytes(m_progressivePhoto);
    QVERIFY2(r.picture, qPrintable(r.failure));
    const JpegPicture &picture = asJpeg(r);
    const QSize natural(4000, 3000);

    // At load only the eighth was made: that is the coarse raster, there at once.
    QCOMPARE(picture.coarseRaster().size(), QSize(500, 375));
    QVERIFY(picture.hasRasterFor(QSize(449, 337)));
    QVERIFY(!picture.hasRasterFor(natural));

    // A worker makes the full raster; meanwhile this thread takes the coarse one at once.
    std::atomic<bool> started = false, finished = false;
    std::thread worker([&] {
        started = true;
        picture.prepare(natural);
        finished = true;
    });
    while (!started)
        std::this_thread::yield();
    int answeredDuringDecode = 0;
    while (!finished) {
        if (!picture.hasRasterFor(natural) && !picture.coarseRaster().isNull() && !finished)
            ++answeredDuringDecode;
    }
    worker.join();
    QVERIFY2(answeredDuringDecode >= 10, qPrintable(QString::number(answeredDuringDecode)));

    // The fine raster is the full decode, and drawing at 100 % costs no decode more.
    QVERIFY(picture.hasRasterFor(natural));
    const int decodes = picture.stats().decodes;
    const Decoded full = decodeJpeg(Bytes(m_progressivePhoto), 1);
    QCOMPARE(picture.toImage(), full.image);
    const QImage shown = paint(picture, QSize(100, 100), QRectF(-2000, -1500, 4000, 3000));
    QCOMPARE(shown.pixel(50, 50), full.image.pixel(2050, 1550));
    QCOMPARE(picture.stats().decodes, decodes);
    // The coarse raster stays for the next closer look.
    QCOMPARE(picture.coarseRaster().size(), QSize(500, 375));

    // libjpeg's eighth of halved colour reads its first AC coefficients too: the one shown
    // is made from the DC alone, or, with the fast path off, is libjpeg's.
    const Decoded fromDc = JpegDcImage::decodeEighth(Bytes(m_photo));
    const QImage libjpegs = decodeJpeg(Bytes(m_photo), 8).image;
    QVERIFY(fromDc.ok() && fromDc.warning.isEmpty());
    QVERIFY(fromDc.image != libjpegs);
    for (const bool fast : {true, false}) {
        setJpegFastPathEnabled(fast);
        const LoadResult loaded = PictureLoader::loadBytes(m_photo);
        setJpegFastPathEnabled(true);
        QVERIFY2(loaded.picture, qPrintable(loaded.failure));
        QCOMPARE(asJpeg(loaded).stats().lastDenominator, 8);
        QCOMPARE(asJpeg(loaded).coarseRaster(), fast ? fromDc.image : libjpegs);
    }
}

QTEST_MAIN(TestJpegPicture)
#include "tst_jpegpicture.moc"
