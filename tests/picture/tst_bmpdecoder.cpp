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

// The test picture, top row first: 4 x 2.
const Pixels kColours = {
    {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255)},
    {qRgb(0, 0, 0), qRgb(255, 255, 0), qRgb(0, 255, 255), qRgb(255, 0, 255)},
};
const QList<QRgb> kPalette = {qRgb(255, 0, 0),     qRgb(0, 255, 0),  qRgb(0, 0, 255),
                              qRgb(255, 255, 255), qRgb(0, 0, 0),    qRgb(255, 255, 0),
                              qRgb(0, 255, 255),   qRgb(255, 0, 255)};

// Packs one value per pixel into padded rows, in file order.
QByteArray packRows(const QList<QList<quint32>> &topFirst, int bpp, bool bottomUp)
{
    QByteArray out;
    QList<QList<quint32>> rows = topFirst;
    if (bottomUp)
        std::reverse(rows.begin(), rows.end());
    for (const QList<quint32> &row : rows) {
        QByteArray bytes;
        if (bpp < 8) {
            bytes.fill('\0', (row.size() * bpp + 7) / 8);
            for (int x = 0; x < row.size(); ++x) {
                const int bit = x * bpp;
                bytes[bit / 8] = char(uchar(bytes[bit / 8]) | (row[x] << (8 - bpp - bit % 8)));
            }
        } else {
            for (quint32 v : row) {
                for (int b = 0; b < bpp / 8; ++b)
                    bytes.append(char((v >> (8 * b)) & 0xFF));
            }
        }
        while (bytes.size() % 4)
            bytes.append('\0');
        out.append(bytes);
    }
    return out;
}

// The test picture's pixels as values of bpp bits each, packed in file order.
QByteArray packed(const std::function<quint32(QRgb)> &f, int bpp, bool bottomUp = true)
{
    QList<QList<quint32>> rows;
    for (const QList<QRgb> &row : kColours) {
        QList<quint32> r;
        for (QRgb c : row)
            r.append(f(c));
        rows.append(r);
    }
    return packRows(rows, bpp, bottomUp);
}

quint32 indexOf(QRgb c)
{
    return quint32(kPalette.indexOf(c));
}

// A run-length file (RLE8, or RLE4 at bpp 4) of the test palette, 4 pixels wide.
QByteArray rle(const QByteArray &runs, quint16 bpp = 8, qint32 height = 2)
{
    BmpParts s;
    s.height = height;
    s.bpp = bpp;
    s.compression = bpp == 8 ? 1 : 2;
    s.palette = kPalette;
    s.pixels = runs;
    return bmp(s);
}

} // namespace

void TestBmpDecoder::decodesEveryLayout_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Pixels>("expected"); // top row first; empty: kColours

    auto rgb24 = [](QRgb c) {
        return quint32(c & 0xFFFFFF);
    };
    BmpParts s; // 4 x 2, 24-bit
    s.pixels = packed(rgb24, 24);
    QTest::newRow("24-bit bottom-up") << bmp(s) << Pixels{};
    QTest::newRow("packed DIB, no file header") << bmp(s).mid(14) << Pixels{};
    s.height = -2;
    s.pixels = packed(rgb24, 24, false);
    QTest::newRow("24-bit top-down") << bmp(s) << Pixels{};

    s.height = 2;
    s.bpp = 32;
    // The fourth byte of a plain 32-bit pixel means nothing.
    s.pixels = packed([](QRgb c) { return quint32(c & 0xFFFFFF) | 0x12000000u; }, 32);
    QTest::newRow("32-bit, unused byte set") << bmp(s) << Pixels{};

    s.bpp = 16;
    s.pixels = packed(
        [](QRgb c) {
            return quint32((qRed(c) >> 3) << 10 | (qGreen(c) >> 3) << 5 | qBlue(c) >> 3);
        },
        16);
    QTest::newRow("16-bit 5-5-5") << bmp(s) << Pixels{};

    s.compression = 3;
    s.masks = {0xF800, 0x07E0, 0x001F};
    s.pixels = packed(
        [](QRgb c) {
            return quint32((qRed(c) >> 3) << 11 | (qGreen(c) >> 2) << 5 | qBlue(c) >> 3);
        },
        16);
    QTest::newRow("16-bit 5-6-5 bit fields") << bmp(s) << Pixels{};
    s.headerSize = 56;
    s.masks = {0xF800, 0x07E0, 0x001F, 0};
    QTest::newRow("16-bit 5-6-5 in a 56-byte header") << bmp(s) << Pixels{};
    s.headerSize = 52;
    s.masks = {0xF800, 0x07E0, 0x001F};
    QTest::newRow("16-bit 5-6-5 in a 52-byte header") << bmp(s) << Pixels{};

    s.headerSize = 40;
    s.bpp = 32;
    s.masks = {0x3FF00000, 0x000FFC00, 0x000003FF};
    s.pixels = packed(
        [](QRgb c) {
            return quint32(qRed(c) * 1023 / 255) << 20 | quint32(qGreen(c) * 1023 / 255) << 10 |
                   quint32(qBlue(c) * 1023 / 255);
        },
        32);
    QTest::newRow("32-bit 10-10-10 bit fields") << bmp(s) << Pixels{};
    s.headerSize = 108;
    s.masks = {0x000000FF, 0x0000FF00, 0x00FF0000, 0};
    s.pixels =
        packed([](QRgb c) { return quint32(qBlue(c)) << 16 | qGreen(c) << 8 | qRed(c); }, 32);
    QTest::newRow("32-bit BGR order in a V4 header") << bmp(s) << Pixels{};

    s = BmpParts();
    s.palette = kPalette;
    s.bpp = 8;
    s.pixels = packed(indexOf, 8);
    QTest::newRow("8-bit palette") << bmp(s) << Pixels{};
    s.headerSize = 124;
    QTest::newRow("8-bit palette, V5 header") << bmp(s) << Pixels{};
    s.headerSize = 40;
    s.bpp = 4;
    s.pixels = packed(indexOf, 4);
    QTest::newRow("4-bit palette") << bmp(s) << Pixels{};
    s.height = -2;
    s.pixels = packed(indexOf, 4, false);
    QTest::newRow("4-bit palette, top-down") << bmp(s) << Pixels{};
    s.headerSize = 12;
    s.height = 2;
    s.pixels = packed(indexOf, 4);
    QTest::newRow("4-bit, OS/2 1.x header") << bmp(s) << Pixels{};
    s.headerSize = 40;
    s.colorsUsed = 8;
    s.bpp = 8;
    s.pixels = packed(indexOf, 8);
    QTest::newRow("8-bit, palette of 8 counted") << bmp(s) << Pixels{};

    // RLE8: each row as runs of one pixel, ended by end-of-line; then end-of-bitmap.
    QByteArray runs;
    for (int y = 1; y >= 0; --y) {
        for (QRgb c : kColours[y])
            runs.append(char(1)).append(char(indexOf(c)));
        runs.append('\0').append('\0');
    }
    QTest::newRow("RLE8") << rle(runs.append('\0').append('\1')) << Pixels{};

    // RLE4: an absolute run per row (4 pixels in 2 bytes), then end-of-line.
    QByteArray rle4;
    for (int y = 1; y >= 0; --y) {
        rle4.append('\0').append(char(4));
        rle4.append(char(indexOf(kColours[y][0]) << 4 | indexOf(kColours[y][1])));
        rle4.append(char(indexOf(kColours[y][2]) << 4 | indexOf(kColours[y][3])));
        rle4.append('\0').append('\0');
    }
    QTest::newRow("RLE4") << rle(rle4.append('\0').append('\1'), 4) << Pixels{};

    // Run-length skips leave the background; a run past the row's end, as some writers
    // make them, is clipped and leaves the next row alone.
    const QRgb none = 0, red = 0xFFFF0000, green = 0xFF00FF00, blue = 0xFF0000FF;
    QTest::newRow("RLE8 with a move") << rle(QByteArray("\x01\x00\0\x02\x02\x01\x01\x02\0\1", 10))
                                      << Pixels{{none, none, none, blue}, {red, none, none, none}};
    QTest::newRow("RLE8 run past the row's end")
        << rle(QByteArray("\x06\x01\0\0\x04\x02\0\1", 8))
        << Pixels{{blue, blue, blue, blue}, {green, green, green, green}};
    // Indices past the palette show black, as Windows shows them.
    s = BmpParts{.height = 1, .bpp = 8, .palette = {qRgb(255, 255, 255), red}, .colorsUsed = 2};
    s.pixels = QByteArray("\x00\x01\x02\xFF", 4);
    QTest::newRow("8-bit, indices past the palette")
        << bmp(s) << Pixels{{0xFFFFFFFF, red, 0xFF000000, 0xFF000000}};
    // Narrow channels (2-3-1 bits) widen: the largest value is full intensity.
    s = BmpParts{.width = 2, .height = 1, .bpp = 16, .compression = 3};
    s.masks = {0x0030, 0x000E, 0x0001};
    s.pixels = packRows({{0x003F, 0x0020}}, 16, true);
    QTest::newRow("16-bit 2-3-1 bit fields") << bmp(s) << Pixels{{0xFFFFFFFF, qRgb(170, 0, 0)}};
    // Alpha is used only where the format has it, and not when it is zero everywhere:
    // then it was never filled in.
    s.bpp = 32;
    s.headerSize = 124;
    s.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    s.pixels = packRows({{0x80FF0000u, 0xFF0000FFu}}, 32, true);
    QTest::newRow("32-bit with alpha") << bmp(s) << Pixels{{0x80FF0000u, blue}};
    s.pixels = packRows({{0x00FF0000u, 0x000000FFu}}, 32, true);
    QTest::newRow("32-bit with alpha all zero") << bmp(s) << Pixels{{red, blue}};
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
    row("pixels inside the counted palette",
        {.bpp = 8,
         .palette = QList<QRgb>(256, 0),
         .colorsUsed = 256,
         .pixels = px,
         .pixelOffset = 14 + 40 + 16},
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
    QList<QList<quint32>> rows;
    for (int y = 0; y < h; ++y) {
        QList<quint32> row(w);
        for (int x = 0; x < w; ++x)
            row[x] =
                quint32((x * 7) & 255) << 16 | quint32((y * 3) & 255) << 8 | quint32((x ^ y) & 255);
        rows.append(row);
    }
    BmpParts s;
    s.width = w;
    s.height = h;
    s.pixels = packRows(rows, 24, true);
    const QByteArray whole = bmp(s);
    QVERIFY(whole.size() > 4 * 1024 * 1024);

    QTemporaryDir dir;
    auto loadFromDisk = [&](const QByteArray &bytes) {
        QFile f(dir.filePath(QStringLiteral("large.bmp")));
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
        f.close();
        return PictureLoader::loadFile(f.fileName());
    };

    const LoadResult fromDisk = loadFromDisk(whole);
    const LoadResult fromMemory = PictureLoader::loadBytes(whole);
    QVERIFY2(fromDisk.picture, qPrintable(fromDisk.failure));
    QCOMPARE(fromDisk.picture->toImage(), fromMemory.picture->toImage());
    QCOMPARE(fromDisk.picture->toImage().pixel(10, 0), qRgb(70, 0, 10));

    // Cut in the middle of a row: the rows before it, the rest left transparent, and
    // the file refused from disk as from memory.
    const qsizetype stride = w * 3;
    const QByteArray cut = whole.left(whole.size() - s.pixels.size() + 700 * stride + 100);
    const LoadResult partial = PictureLoader::decode(cut);
    QVERIFY(!partial.warning.isEmpty());
    QCOMPARE(qAlpha(partial.picture->toImage().pixel(5, h - 700)), 255);
    QCOMPARE(qAlpha(partial.picture->toImage().pixel(5, h - 701)), 0);
    for (const LoadResult &refused : {loadFromDisk(cut), PictureLoader::loadBytes(cut)}) {
        QVERIFY(!refused.picture);
        QCOMPARE(refused.warning, partial.warning);
    }
    // Cut before the first row is whole: nothing to show.
    QVERIFY(!PictureLoader::decode(whole.left(whole.size() - s.pixels.size() + 5)).picture);
}

QTEST_MAIN(TestBmpDecoder)
#include "tst_bmpdecoder.moc"
