#include "PictureTestData.h"
#include "picture/PictureLoader.h"

#include <QTemporaryDir>
#include <QTest>

using namespace testdata;

class TestBmpDecoder : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void decodesEveryLayout_data();
    void decodesEveryLayout();
    void refusesDamagedHeaders_data();
    void refusesDamagedHeaders();
    void largeFileReadAsItDecodesGivesTheSamePicture();
};

namespace {

using Pixels = QList<QList<QRgb>>;

// The test picture, top row first: 4 x 2; its colours in that order are the palette.
const Pixels kColours = {{0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF},
                         {0xFF000000, 0xFFFFFF00, 0xFF00FFFF, 0xFFFF00FF}};
const QList<QRgb> kPalette = kColours[0] + kColours[1];

// Packs one value per pixel into padded rows, in file order.
QByteArray packRows(QList<QList<quint32>> rows, int bpp, bool bottomUp = true)
{
    if (bottomUp)
        std::reverse(rows.begin(), rows.end());
    QByteArray out;
    for (const QList<quint32> &row : rows) {
        QByteArray bytes((row.size() * bpp + 31) / 32 * 4, '\0');
        for (int x = 0; x < row.size(); ++x) {
            char *at = bytes.data() + x * bpp / 8;
            for (int b = 0; b < qMax(1, bpp / 8); ++b)
                at[b] = char(bpp < 8 ? *at | row[x] << (8 - bpp - x * bpp % 8) : row[x] >> 8 * b);
        }
        out.append(bytes);
    }
    return out;
}

// The test picture: palette indices, or each channel cut to bits[i] at shifts[i], or extra.
QByteArray packed(int bpp, const QList<int> &shifts = {}, const QList<int> &bits = {8, 8, 8},
                  quint32 extra = 0, bool bottomUp = true)
{
    QList<QList<quint32>> rows;
    for (const QList<QRgb> &row : kColours) {
        rows.emplaceBack();
        for (const QRgb c : row) {
            quint32 v = shifts.isEmpty() ? quint32(kPalette.indexOf(c)) : extra;
            const int channels[] = {qRed(c), qGreen(c), qBlue(c)};
            for (int i = 0; i < shifts.size(); ++i)
                v |= quint32(channels[i] * ((1 << bits[i]) - 1) / 255) << shifts[i];
            rows.back().append(v);
        }
    }
    return packRows(rows, bpp, bottomUp);
}

// A run-length file (RLE8, or RLE4 at bpp 4) of the test palette, 4 pixels wide.
QByteArray rle(const QByteArray &runs, quint16 bpp = 8, qint32 height = 2)
{
    return bmp({.height = height,
                .bpp = bpp,
                .compression = bpp == 8 ? 1u : 2u,
                .palette = kPalette,
                .pixels = runs});
}

} // namespace

void TestBmpDecoder::decodesEveryLayout_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Pixels>("expected"); // top row first; empty: kColours
    const auto row = [](const char *name, const BmpParts &s, const Pixels &expected = {}) {
        QTest::newRow(name) << bmp(s) << expected;
    };
    const QList<int> rgb{16, 8, 0}, bgr{0, 8, 16}, eight{8, 8, 8};
    const QList<quint32> m565{0xF800, 0x07E0, 0x001F}, m10{0x3FF00000, 0x000FFC00, 0x3FF},
        mBgr{0xFF, 0xFF00, 0xFF0000, 0}, m565Alpha{0xF800, 0x07E0, 0x001F, 0};
    const QByteArray px565 = packed(16, {11, 5, 0}, {5, 6, 5}), idx8 = packed(8), idx4 = packed(4);
    const QList<QRgb> &pal = kPalette;
    row("24-bit bottom-up", {.pixels = packed(24, rgb)});
    QTest::newRow("headerless DIB") << bmp({.pixels = packed(24, rgb)}).mid(14) << Pixels{};
    row("24-bit top-down", {.height = -2, .pixels = packed(24, rgb, eight, 0, false)});
    // The fourth byte of a plain 32-bit pixel means nothing.
    row("32-bit, unused byte set", {.bpp = 32, .pixels = packed(32, rgb, eight, 0x12000000)});
    row("16-bit 5-5-5", {.bpp = 16, .pixels = packed(16, {10, 5, 0}, {5, 5, 5})});
    row("16-bit 5-6-5 bit fields", {.bpp = 16, .compression = 3, .masks = m565, .pixels = px565});
    row("16-bit 5-6-5 in a 56-byte header",
        {.headerSize = 56, .bpp = 16, .compression = 3, .masks = m565Alpha, .pixels = px565});
    row("16-bit 5-6-5 in a 52-byte header",
        {.headerSize = 52, .bpp = 16, .compression = 3, .masks = m565, .pixels = px565});
    const QByteArray px10 = packed(32, {20, 10, 0}, {10, 10, 10});
    row("32-bit 10-10-10 bit fields", {.bpp = 32, .compression = 3, .masks = m10, .pixels = px10});
    row("32-bit BGR order in a V4 header",
        {.headerSize = 108, .bpp = 32, .compression = 3, .masks = mBgr, .pixels = packed(32, bgr)});
    row("8-bit palette", {.bpp = 8, .palette = pal, .pixels = idx8});
    row("8-bit palette, V5 header", {.headerSize = 124, .bpp = 8, .palette = pal, .pixels = idx8});
    row("4-bit palette", {.bpp = 4, .palette = pal, .pixels = idx4});
    row("4-bit palette, top-down",
        {.height = -2, .bpp = 4, .palette = pal, .pixels = packed(4, {}, {}, 0, false)});
    row("4-bit, OS/2 1.x header", {.headerSize = 12, .bpp = 4, .palette = pal, .pixels = idx4});
    row("8-bit, palette of 8 counted", {.bpp = 8, .palette = pal, .colorsUsed = 8, .pixels = idx8});

    // RLE8: the rows as runs of one pixel, bottom row first; RLE4: an absolute run per row.
    QTest::newRow("RLE8") << rle(QByteArray("\1\4\1\5\1\6\1\7\0\0\1\0\1\1\1\2\1\3\0\0\0\1", 22))
                          << kColours;
    QTest::newRow("RLE4") << rle(QByteArray("\0\4\x45\x67\0\0\0\4\x01\x23\0\0\0\1", 14), 4)
                          << kColours;

    // Skips leave the background; a run past the row's end is clipped, the next row kept.
    const QRgb none = 0, red = 0xFFFF0000, green = 0xFF00FF00, blue = 0xFF0000FF;
    QTest::newRow("RLE8 with a move") << rle(QByteArray("\x01\x00\0\x02\x02\x01\x01\x02\0\1", 10))
                                      << Pixels{{none, none, none, blue}, {red, none, none, none}};
    QTest::newRow("RLE8 run past the row's end")
        << rle(QByteArray("\x06\x01\0\0\x04\x02\0\1", 8))
        << Pixels{{blue, blue, blue, blue}, {green, green, green, green}};
    // Indices past the palette show black, as Windows shows them.
    const QByteArray past("\x00\x01\x02\xFF", 4);
    row("8-bit, indices past the palette",
        {.height = 1, .bpp = 8, .palette = {0xFFFFFFFF, red}, .colorsUsed = 2, .pixels = past},
        {{0xFFFFFFFF, red, 0xFF000000, 0xFF000000}});
    // Narrow channels widen to full intensity; alpha that is zero everywhere was never set.
    const auto two = [](int headerSize, quint16 bpp, const QList<quint32> &masks,
                        const QList<quint32> &pixels) {
        return BmpParts{headerSize, 2, 1, 1, bpp, 3, masks, {}, 0, packRows({pixels}, bpp)};
    };
    row("16-bit 2-3-1 bit fields", two(40, 16, {0x0030, 0x000E, 0x0001}, {0x003F, 0x0020}),
        {{0xFFFFFFFF, qRgb(170, 0, 0)}});
    const auto argb = [&](const QList<quint32> &pixels) {
        return two(124, 32, {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}, pixels);
    };
    row("32-bit with alpha", argb({0x80FF0000u, 0xFF0000FFu}), {{0x80FF0000u, blue}});
    row("32-bit with alpha all zero", argb({0x00FF0000u, 0x000000FFu}), {{red, blue}});
}

void TestBmpDecoder::decodesEveryLayout()
{
    QFETCH(QByteArray, file);
    QFETCH(Pixels, expected);
    if (expected.isEmpty())
        expected = kColours;
    LoadResult r;
    const QImage image = loadArgb(file, &r);
    QVERIFY2(r.failure.isEmpty(), qPrintable(r.failure));
    QVERIFY(r.warning.isEmpty());
    QCOMPARE(image.size(), QSize(expected[0].size(), expected.size()));
    bool opaque = true;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            QCOMPARE(image.pixel(x, y), expected[y][x]);
            opaque = opaque && qAlpha(expected[y][x]) == 255;
        }
    }
    if (opaque)
        QVERIFY(!r.picture->toImage().hasAlphaChannel());
}

void TestBmpDecoder::refusesDamagedHeaders_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("reason");

    const auto row = [](const char *name, const BmpParts &parts, const char *reason) {
        QTest::newRow(name) << bmp(parts) << QString::fromLatin1(reason);
    };
    const QByteArray px(24, '\x10'); // 4 x 2, 24-bit
    row("no planes", {.planes = 0, .pixels = px}, "plane");
    row("seven bits per pixel", {.bpp = 7, .pixels = px}, "depth");
    row("zero width", {.width = 0, .pixels = px}, "width");
    row("negative width", {.width = -4, .pixels = px}, "width");
    row("zero height", {.height = 0, .pixels = px}, "height");
    row("header of 66 bytes", {.headerSize = 66, .pixels = px}, "header size");
    row("100000 x 100000", {.width = 100000, .height = 100000, .pixels = px}, "too large");
    row("impossible colour count",
        {.bpp = 8, .palette = kPalette, .colorsUsed = 0x12341234, .pixels = px}, "palette");
    const QList<QRgb> black(256, 0);
    row("pixels inside the counted palette",
        {.bpp = 8, .palette = black, .colorsUsed = 256, .pixels = px, .pixelOffset = 70},
        "overlaps");
    row("embedded JPEG", {.bpp = 0, .compression = 4, .pixels = px}, "JPEG");
    row("embedded PNG", {.bpp = 0, .compression = 5, .pixels = px}, "PNG");
    row("bit fields without blue",
        {.bpp = 16, .compression = 3, .masks = {0xFF00, 0x00FF, 0}, .pixels = px}, "mask");
    row("overlapping bit fields",
        {.bpp = 16, .compression = 3, .masks = {0xF800, 0x0FE0, 0x001F}, .pixels = px},
        "overlapping");
    row("no pixel data", {}, "outside the file");
    QTest::newRow("top-down run-length")
        << rle(QByteArray("\x04\x01\0\0\x04\x02\0\1", 8), 8, -2) << "top-down";
    QTest::newRow("run starting past the row's end")
        << rle(QByteArray("\x06\x01\x02\x02\0\0\0\1", 8)) << "outside";
    QTest::newRow("move past the row's end") << rle(QByteArray("\0\x02\x09\0\0\1", 6)) << "outside";
}

void TestBmpDecoder::refusesDamagedHeaders()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, reason);
    LoadResult r;
    // Refused from the header alone: nothing the size of the claimed picture.
    QVERIFY(cheap([&] { r = PictureLoader::loadBytes(file); }, 1000));
    QVERIFY(!r.picture);
    QVERIFY2(r.failure.contains(reason), qPrintable(r.failure));
}

void TestBmpDecoder::largeFileReadAsItDecodesGivesTheSamePicture()
{
    // Large enough to be decoded slice by slice while the file is read.
    const int w = 1500, h = 1200;
    QList<QList<quint32>> rows(h, QList<quint32>(w));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            rows[y][x] = ((x * 7) & 255) << 16 | ((y * 3) & 255) << 8 | ((x ^ y) & 255);
    }
    const BmpParts s{.width = w, .height = h, .pixels = packRows(rows, 24)};
    const QByteArray whole = bmp(s);
    QVERIFY(whole.size() > 4 * 1024 * 1024);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("large.bmp")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(whole) == whole.size());
    file.close();
    const LoadResult fromDisk = PictureLoader::loadFile(file.fileName());
    const LoadResult fromMemory = PictureLoader::loadBytes(whole);
    QVERIFY2(fromDisk.picture, qPrintable(fromDisk.failure));
    QCOMPARE(fromDisk.picture->toImage(), fromMemory.picture->toImage());
    QCOMPARE(fromDisk.picture->toImage().pixel(10, 0), qRgb(70, 0, 10));

    // Cut inside a row: the rows before it, the rest clear; refused from disk as from memory.
    const qsizetype stride = w * 3;
    const QByteArray cut = whole.left(whole.size() - s.pixels.size() + 700 * stride + 100);
    const LoadResult partial = PictureLoader::decode(cut);
    QVERIFY(!partial.warning.isEmpty());
    QCOMPARE(qAlpha(partial.picture->toImage().pixel(5, h - 700)), 255);
    QCOMPARE(qAlpha(partial.picture->toImage().pixel(5, h - 701)), 0);
    QVERIFY(file.resize(cut.size()));
    for (const LoadResult &refused :
         {PictureLoader::loadFile(file.fileName()), PictureLoader::loadBytes(cut)}) {
        QVERIFY(!refused.picture);
        QCOMPARE(refused.warning, partial.warning);
    }
    // Cut before the first row is whole: nothing to show.
    QVERIFY(!PictureLoader::decode(whole.left(whole.size() - s.pixels.size() + 5)).picture);
}

QTEST_MAIN(TestBmpDecoder)
#include "tst_bmpdecoder.moc"
