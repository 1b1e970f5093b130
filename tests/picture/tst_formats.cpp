#include "PictureTestData.h"
#include "picture/PictureLoader.h"
#include "picture/ReducedPicture.h"
#include "picture/TiffDecoder.h"
#include "picture/WebpReader.h"

#include <QDir>
#include <QTest>

using namespace testdata;

// The formats read through their libraries, on small files made by formats/make.sh.
class TestFormats : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyKindIsShownUpright_data();
    void everyKindIsShownUpright();
    void cutShortIsRefused_data();
    void cutShortIsRefused();
    void decodedAtTheDrawnSize();
    void heifThumbnailIsTheFirstPaint();
    void tiffDrawnSmallIsAveraged();
    void svgStaysCrispWhenEnlarged();
    void svgReadsNothingOutsideItself();
    void costlyFileIsRefusedCheaply_data();
    void costlyFileIsRefusedCheaply();
    void fuzzFindsStayMended();
};

namespace {

QString pathOf(const QString &name)
{
    return QStringLiteral(QUORVEL_FORMATS_DIR "/") + name;
}

QByteArray bytesOf(const QString &name, const char *dir = QUORVEL_FORMATS_DIR)
{
    QFile file(QString::fromLatin1(dir) + '/' + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QRgb kRed = qRgb(255, 0, 0), kGreen = qRgb(0, 255, 0), kBlue = qRgb(0, 0, 255),
           kYellow = qRgb(255, 255, 0), kBlack = qRgb(0, 0, 0), kWhite = qRgb(255, 255, 255);
// Half-transparent yellow, premultiplied; grey 128 with a linear curve is 188 in sRGB.
const QRgb kHalfYellow = qRgba(128, 128, 0, 128), kLinearGrey = qRgb(188, 188, 188);

using Corners = QList<QRgb>; // the centres of the four quadrants, row by row

} // namespace

void TestFormats::everyKindIsShownUpright_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<Corners>("corners");
    QTest::addColumn<int>("tolerance");

    const QSize wide(64, 48);
    const Corners plain{kRed, kGreen, kBlue, kYellow}, alpha{kRed, kGreen, kBlue, kHalfYellow},
        linear(4, kLinearGrey),
        grey{qRgb(54, 54, 54), qRgb(182, 182, 182), qRgb(18, 18, 18), qRgb(237, 237, 237)};
    auto row = [](const char *file, QSize size, const Corners &corners, int tolerance = 2) {
        QTest::newRow(file) << QString::fromLatin1(file) << size << corners << tolerance;
    };
    for (const char *file :
         {"png-rgb.png", "png-palette.png", "png-rgb16.png", "png-interlaced.png",
          "png-animated.png", "webp-lossless.webp", "webp-animated.webp", "tiff-none.tif",
          "tiff-lzw.tif", "tiff-deflate.tif", "tiff-packbits.tif", "tiff-tiled.tif",
          "tiff-palette.tif", "tiff-cmyk.tif", "tiff-rgb16.tif", "tiff-pages.tif",
          "jxl-lossless.jxl", "svg-drawing.svg", "svg-packed.svgz"})
        row(file, wide, plain);
    // PNG's gamma of 2.2 is not quite sRGB's curve in the shadows.
    for (const char *file : {"png-grey16.png", "tiff-grey.tif"})
        row(file, wide, grey, 4);
    row("tiff-g4.tif", wide, {kBlack, kWhite, kBlack, kWhite});
    for (const char *file : {"png-alpha.png", "webp-alpha.webp", "jxl-alpha.jxl"})
        row(file, wide, alpha);
    for (const char *file : {"png-gamma.png", "png-icc.png", "avif-linear.avif", "jxl-icc.jxl"})
        row(file, wide, linear);
    // Lossy codings come within a few levels.
    for (const char *file :
         {"webp-lossy.webp", "tiff-jpeg.tif", "heic-plain.heic", "heic-10bit.heic",
          "heic-thumb.heic", "avif-plain.avif", "avif-10bit.avif", "jxl-lossy.jxl"})
        row(file, wide, plain, 12);
    for (const char *file : {"heic-alpha.heic", "avif-alpha.avif"})
        row(file, wide, alpha, 12);
    row("avif-grid.avif", QSize(128, 128), plain, 12);
    row("webp-offset.webp", QSize(128, 96), {0, 0, 0, kBlack});
    // Orientation 6, a quarter turn clockwise; then anticlockwise and mirrored.
    row("tiff-turned.tif", QSize(48, 64), {kBlue, kRed, kYellow, kGreen});
    row("avif-turned.avif", QSize(48, 64), {kYellow, kGreen, kBlue, kRed}, 12);
    row("heif-turned.heif", QSize(48, 64), {kYellow, kGreen, kBlue, kRed}, 12);
}

void TestFormats::everyKindIsShownUpright()
{
    QFETCH(QString, file);
    QFETCH(QSize, size);
    QFETCH(Corners, corners);
    QFETCH(int, tolerance);

    const LoadResult result = PictureLoader::loadFile(pathOf(file));
    QVERIFY2(result.picture, qPrintable(result.failure));
    QCOMPARE(result.picture->naturalSize(), size);
    // Drawn at natural size, as the panel shows it, and copied as the clipboard does.
    const QImage drawn = paint(*result.picture, size, QRectF(QPointF(0, 0), QSizeF(size)));
    const QImage copy =
        result.picture->toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QCOMPARE(copy.size(), size);
    for (int i = 0; i < 8; ++i) {
        const QPoint centre(size.width() * (i % 2 * 2 + 1) / 4,
                            size.height() * (i / 2 % 2 * 2 + 1) / 4);
        const QRgb got = (i < 4 ? drawn : copy).pixel(centre);
        QVERIFY2(near(got, corners[i % 4], tolerance), qPrintable(QString::number(got, 16)));
    }
}

void TestFormats::cutShortIsRefused_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("thirds"); // how much of the file is kept
    // The samples: not the hostile files, make.sh or linear.icc.
    for (const QString &name : QDir(pathOf({})).entryList({"*-*"}, QDir::Files)) {
        if (name.startsWith("bomb"))
            continue;
        QTest::addRow("%s, a third", qPrintable(name)) << name << 1;
        // A first page or a pyramid's full page that is whole is rightly shown.
        if (name != QLatin1String("tiff-pages.tif") && name != QLatin1String("tiff-pyramid.tif"))
            QTest::addRow("%s, two thirds", qPrintable(name)) << name << 2;
    }
}

void TestFormats::cutShortIsRefused()
{
    QFETCH(QString, file);
    QFETCH(int, thirds);
    const QByteArray bytes = bytesOf(file);
    const LoadResult whole = PictureLoader::loadBytes(bytes);
    QVERIFY2(whole.picture, qPrintable(whole.failure));
    const LoadResult cut = PictureLoader::loadBytes(bytes.left(bytes.size() * thirds / 3));
    QVERIFY(!cut.picture);
    QVERIFY(!cut.failure.isEmpty());
}

void TestFormats::decodedAtTheDrawnSize()
{
    const QSize fit =
        picture::ScaledPicture::panelFitSize(QSize(1600, 1200), 1.0).value_or(QSize());
    // WebP decodes to any size, a pyramid gives a covering copy, strips are box-averaged.
    const struct {
        QString file;
        QSize natural, first, later, decoded; // first for the panel, later after a closer look
    } cases[] = {{"webp-large.webp", {1600, 1200}, fit, {1440, 1080}, {1440, 1080}},
                 {"tiff-pyramid.tif", {1000, 750}, {500, 375}, {240, 180}, {250, 187}},
                 {"tiff-large.tif", {1600, 1200}, {534, 400}, {390, 292}, {400, 300}}};
    for (const auto &[file, natural, first, later, decoded] : cases) {
        const QByteArray bytes = bytesOf(file);
        QString why;
        std::unique_ptr<const picture::ReducedPicture::Reader> reader;
        if (file.endsWith(".webp"))
            reader = picture::WebpReader::open(bytes, &why);
        else
            reader = picture::TiffReader::open(bytes);
        QVERIFY2(reader, qPrintable(why));
        const auto loaded = picture::ReducedPicture::load(std::move(reader), 1.0);
        QVERIFY2(loaded.picture, qPrintable(loaded.failure));
        const picture::ReducedPicture &reduced = *loaded.picture;
        QCOMPARE(reduced.naturalSize(), natural);
        // Fitted into the panel at load, with no full-size raster on the way.
        QCOMPARE(reduced.stats().decodes, 1);
        QCOMPARE(reduced.stats().lastDecoded, first);
        const QImage coarse = reduced.coarseRaster();
        QVERIFY(near(coarse.pixel(coarse.width() - 1, coarse.height() - 1), kYellow, 12));
        // The look-ahead counts what it keeps: the file and that raster, not a full one.
        QCOMPARE(reduced.heldBytes(), bytes.size() + coarse.sizeInBytes());
        // Zoomed in: the whole picture, once.
        const QImage zoomed = paint(reduced, QSize(100, 100), QRectF(QPointF(-1, -1), natural * 2));
        QVERIFY(near(zoomed.pixel(10, 10), kRed, 12));
        QCOMPARE(reduced.stats().lastDecoded, natural);
        // Back to a smaller size: decoded for it, not scaled from the whole.
        const QImage shown = paint(reduced, later, QRectF(QPointF(0, 0), QSizeF(later)));
        QVERIFY(near(shown.pixel(later.width() - 5, later.height() - 5), kYellow, 12));
        QCOMPARE(reduced.stats().lastDecoded, decoded);
        QCOMPARE(reduced.stats().decodes, 3);
    }
}

// A HEIC's thumbnail is the first paint, and a size it covers needs no other decode.
void TestFormats::heifThumbnailIsTheFirstPaint()
{
    const picture::ScaledPicture::PlainPixels plain;
    const LoadResult first = PictureLoader::loadFile(pathOf(QStringLiteral("heic-thumb.heic")));
    QVERIFY2(first.picture, qPrintable(first.failure));
    QCOMPARE(first.picture->coarseRaster().size(), QSize(32, 24));
    QVERIFY(!first.picture->hasRasterFor(QSize(64, 48)));
    first.picture->prepare(QSize(64, 48));
    QVERIFY(first.picture->hasRasterFor(QSize(64, 48)));
    const LoadResult small = PictureLoader::loadFile(pathOf(QStringLiteral("heic-thumb.heic")),
                                                     [](QSize) { return QSize(16, 12); });
    QVERIFY2(small.picture, qPrintable(small.failure));
    QVERIFY(small.picture->hasRasterFor(QSize(16, 12)));
    QVERIFY(near(small.picture->coarseRaster().pixel(12, 9), kYellow, 12));
}

void TestFormats::tiffDrawnSmallIsAveraged()
{
    // Boxes of 4 pixels a side; the black second page is no smaller copy of the first.
    for (const auto &[file, size, topLeft] : {std::tuple{"tiff-pages.tif", QSize(16, 12), kRed},
                                              {"tiff-grey.tif", QSize(16, 12), qRgb(54, 54, 54)},
                                              {"tiff-turned.tif", QSize(12, 16), kBlue}}) {
        const auto reader = picture::TiffReader::open(bytesOf(file));
        QVERIFY(reader);
        const picture::Decoded small = reader->decode(size);
        QCOMPARE(small.image.size(), size);
        QVERIFY2(near(small.image.pixel(2, 2), topLeft, 4), file);
    }
}

void TestFormats::svgStaysCrispWhenEnlarged()
{
    const LoadResult result = PictureLoader::loadFile(pathOf("svg-drawing.svg"));
    QVERIFY2(result.picture, qPrintable(result.failure));
    // Ten times its size: where red meets green (x = 320), each side keeps its colour.
    const QImage shown = paint(*result.picture, QSize(640, 480), QRectF(0, 0, 640, 480));
    QCOMPARE(shown.pixel(318, 100), kRed);
    QCOMPARE(shown.pixel(321, 100), kGreen);
    // Zoomed far in through a clip, only what is seen is drawn.
    QImage far;
    QVERIFY(cheap(
        [&] { far = paint(*result.picture, QSize(100, 100), QRectF(-31950, -50, 64000, 48000)); },
        2000, 32 * 1024));
    QCOMPARE(far.pixel(10, 50), kRed);
    QCOMPARE(far.pixel(90, 50), kGreen);
}

void TestFormats::svgReadsNothingOutsideItself()
{
    // A green picture beside, named by path, by URL and by an embedded SVG in turn.
    QTemporaryDir dir;
    const QString beside = dir.filePath("beside.png");
    QVERIFY(filled(8, 8, kGreen).save(beside));
    const QByteArray open = "<svg xmlns='http://www.w3.org/2000/svg' "
                            "xmlns:xlink='http://www.w3.org/1999/xlink' width='%1' height='8'>";
    const auto image = [](const char *x, const QByteArray &href) {
        return "<image x='" + QByteArray(x) + "' width='8' height='8' " + href + "'/>";
    };
    const QByteArray inner = QByteArray(open).replace("%1", "8") +
                             image("0", "xlink:href='" + beside.toUtf8()) + "</svg>";
    const QByteArray svg =
        "<?xml-stylesheet href='style.css' type='text/css'?>" +
        QByteArray(open).replace("%1", "24") + "<rect width='24' height='8' fill='red'/>" +
        image("0", "xlink:href='" + beside.toUtf8()) +
        image("8", "href='file://" + beside.toUtf8()) +
        image("16", "xlink:href='data:image/png;base64," + inner.toBase64()) + "</svg>";
    QFile file(dir.filePath(QStringLiteral("drawing.svg")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(svg) == svg.size());
    file.close();
    const LoadResult result = PictureLoader::loadFile(file.fileName());
    QVERIFY2(result.picture, qPrintable(result.failure));
    const QImage shown = result.picture->toImage();
    for (const int x : {4, 12, 20})
        QCOMPARE(shown.pixel(x, 4), kRed);
}

void TestFormats::costlyFileIsRefusedCheaply_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    // bomb-grid.heic (a fuzz_heif find): one 64 x 64 tile claiming 34181 x 34096;
    // bomb-av1.heif: an AV1 picture of 8192 x 16 said to be 64 x 48; the rest 100,000 square.
    const auto row = [](const char *name, const QByteArray &bytes, const char *reason = "") {
        QTest::newRow(name) << bytes << QString::fromLatin1(reason);
    };
    for (const char *file : {"bomb.png", "bomb.webp", "bomb.tif", "bomb.jxl"})
        row(file, bytesOf(file), "too large");
    row("bomb.heic", bytesOf("bomb.heic"), "exceeds");
    row("bomb.avif", bytesOf("bomb.avif"), "unreadable");
    row("bomb-grid.heic", bytesOf("bomb-grid.heic"), "too large for its picture");
    row("bomb-av1.heif", bytesOf("bomb-av1.heif"), "too large for its picture");
    // A fuzz_heif find: item locations with a 7-byte index, which libheif read its own way.
    row("iloc fields of 7 bytes",
        bytesOf("heif/e6a2230fb13c5a0d57709231ccc028a2a8054e8a", QUORVEL_FUZZ_CORPUS_DIR),
        "item locations damaged");
    row("bomb.svgz", bytesOf("bomb.svgz"), "more than");
    // SVGs that would cost without end to draw, or cannot be drawn: refused all the same.
    const QByteArray open = "<svg xmlns='http://www.w3.org/2000/svg' "
                            "xmlns:xlink='http://www.w3.org/1999/xlink' width='10' height='10'>";
    QByteArray laughs = "<!DOCTYPE svg [<!ENTITY a0 'lol'>",
               uses = open + "<g id='u0'><rect width='1' height='1'/></g>";
    for (int i = 1; i < 12; ++i) {
        const QByteArray n = QByteArray::number(i), before = QByteArray::number(i - 1);
        if (i < 10)
            laughs += "<!ENTITY a" + n + " '" + ("&a" + before + ";").repeated(10) + "'>";
        uses +=
            "<g id='u" + n + "'>" + ("<use xlink:href='#u" + before + "'/>").repeated(10) + "</g>";
    }
    row("entities expanding a billion times", laughs + "]>" + open + "<text>&a9;</text></svg>");
    row("uses drawing 10^11 rectangles", uses + "</svg>");
    row("a use that draws itself", open + "<g id='loop'><use xlink:href='#loop'/></g></svg>");
    row("nested 100,000 deep",
        open + QByteArray("<g>").repeated(100000) + QByteArray("</g>").repeated(100000) + "</svg>");
    row("not well formed", open + "<rect></svg>");
    row("claiming 100,000 x 100,000",
        "<svg xmlns='http://www.w3.org/2000/svg' width='100000' height='100000'/>");
}

void TestFormats::costlyFileIsRefusedCheaply()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    LoadResult result;
    QVERIFY(cheap([&] { result = PictureLoader::loadBytes(bytes); }, 1000));
    QVERIFY(!result.picture);
    QVERIFY(!result.failure.isEmpty());
    QVERIFY2(result.failure.contains(reason), qPrintable(result.failure));
}

void TestFormats::fuzzFindsStayMended()
{
    // Good reduced pages, a damaged full page: the copy at natural size is still a picture.
    const LoadResult tiff = PictureLoader::loadBytes(
        bytesOf("tiff/be3919d52f296768d5aaef8123a8b14c7b18fa7d", QUORVEL_FUZZ_CORPUS_DIR));
    QVERIFY2(tiff.picture, qPrintable(tiff.failure));
    QCOMPARE(tiff.picture->toImage().size(), tiff.picture->naturalSize());
    // A tiny first frame on a 16,704 x 10,800 canvas costs no more than the panel's raster.
    const QByteArray vast =
        bytesOf("webp/e5ed28f4d4a80c226bc78965e5da0cede906c465", QUORVEL_FUZZ_CORPUS_DIR);
    LoadResult webp;
    QVERIFY(cheap([&] { webp = PictureLoader::loadBytes(vast); }, 1000, 64 * 1024));
    QVERIFY2(webp.picture, qPrintable(webp.failure));
    QCOMPARE(webp.picture->naturalSize(), QSize(16704, 10800));
    // The first frame drawn at half size sits where it does on the whole canvas.
    const LoadResult offset = PictureLoader::loadFile(pathOf("webp-offset.webp"));
    QVERIFY2(offset.picture, qPrintable(offset.failure));
    const QImage half = paint(*offset.picture, QSize(64, 48), QRectF(0, 0, 64, 48));
    QCOMPARE(half.pixel(16, 12), QRgb(0));
    QVERIFY(near(half.pixel(48, 36), kBlack, 2));
}

QTEST_MAIN(TestFormats)
#include "tst_formats.moc"
