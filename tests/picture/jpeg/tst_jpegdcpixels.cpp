// The eighth-size picture computed from DC coefficients against what libjpeg makes of
// the same coefficients written as a single-scan file, byte for byte, over frames
// built to reach every corner: samplings, colour markers, quantisers, DC values past
// the range libjpeg clamps, odd sizes. tst_jpegreader checks real files the same way.

#include "picture/jpeg/JpegDcImage.h"
#include "picture/jpeg/JpegDcPixels.h"
#include "picture/jpeg/JpegDecoder.h"
#include "picture/jpeg/ProgressiveJpegReader.h"

#include <QTest>

using picture::Bytes;
using picture::Decoded;
using picture::JpegDcFrame;
using picture::JpegDcImage;
using picture::JpegDcPixels;

enum class Values { Edges, WithinClamps, Spread, SpreadWithinClamps, Exhaustive };

struct FrameRecipe {
    int width = 64, height = 48, components = 3;
    int lumaH = 1, lumaV = 1, chromaH = 1, chromaV = 1;
    std::array<quint16, 3> dcQuant{8, 8, 8};
    QByteArray markers = {};
    std::array<int, 3> ids{1, 2, 3};
    Values values = Values::Spread;
};
Q_DECLARE_METATYPE(FrameRecipe)

namespace {

// DC values around every edge of libjpeg's post-IDCT table when the quantiser is 8
// (which leaves the value as it is): the clamps at -384 and 383, the wraps at 512
// and 896, and the extremes an 8-bit file can hold.
constexpr qint16 kEdges[] = {-16383, -1025, -1024, -1023, -897, -896, -895, -513, -512, -511,
                             -385,   -384,  -383,  -129,  -128, -127, -1,   0,    1,    127,
                             128,    383,   384,   385,   511,  512,  513,  895,  896,  897,
                             1023,   1024,  16383, 200,   -200, 60,   -60};

// Chroma halved both ways goes through libjpeg's 2x2 transform, whose SIMD form
// clamps instead of wrapping: only values within the clamps are taken for it. The
// bounds of what is taken with a quantiser of 1, and values within them with 8.
constexpr qint16 kWithinClamps[] = {-3076, 3067, -3075, 3066, -3072, 3064, -384, -383, -129,
                                    -128,  -127, -1,    0,    1,     127,  128,  383,  200};

QByteArray segment(int marker, const QByteArray &body)
{
    const qsizetype n = body.size() + 2;
    return QByteArray(1, char(0xFF)) + char(marker) + char(n >> 8) + char(n & 0xFF) + body;
}

const QByteArray kJfif = segment(0xE0, QByteArray("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14));
QByteArray adobe(int transform)
{
    return segment(0xEE, QByteArray("Adobe\0\x64\0\0\0\0", 11) + char(transform));
}

// A frame laid out as ProgressiveJpegReader lays one out, its DC values as the recipe says.
JpegDcFrame frameOf(const FrameRecipe &s)
{
    JpegDcFrame f;
    f.width = s.width;
    f.height = s.height;
    f.maxH = s.components == 1 ? s.lumaH : std::max(s.lumaH, s.chromaH);
    f.maxV = s.components == 1 ? s.lumaV : std::max(s.lumaV, s.chromaV);
    f.mcusWide = (f.width + 8 * f.maxH - 1) / (8 * f.maxH);
    f.mcusHigh = (f.height + 8 * f.maxV - 1) / (8 * f.maxV);
    f.colourMarkers = s.markers;
    quint32 seed = 12345;
    for (int i = 0; i < s.components; ++i) {
        JpegDcFrame::Component c;
        c.id = s.ids[std::size_t(i)];
        c.h = i == 0 ? s.lumaH : s.chromaH;
        c.v = i == 0 ? s.lumaV : s.chromaV;
        c.table = i;
        c.quant.fill(3);
        c.quant[0] = s.dcQuant[std::size_t(i)];
        c.quantLatched = true;
        c.blocksWide = int((qint64(f.width) * c.h + 8 * f.maxH - 1) / (8 * f.maxH));
        c.blocksHigh = int((qint64(f.height) * c.v + 8 * f.maxV - 1) / (8 * f.maxV));
        c.gridWide = s.components == 1 ? c.blocksWide : f.mcusWide * c.h;
        c.gridHigh = s.components == 1 ? c.blocksHigh : f.mcusHigh * c.v;
        c.dc.resize(std::size_t(c.gridWide) * std::size_t(c.gridHigh));
        for (std::size_t b = 0; b < c.dc.size(); ++b) {
            const int x = int(b % std::size_t(c.gridWide));
            const int y = int(b / std::size_t(c.gridWide));
            seed = seed * 1103515245U + 12345U;
            switch (s.values) {
            case Values::Edges:
                c.dc[b] = kEdges[(b + std::size_t(7 * i)) % std::size(kEdges)];
                break;
            case Values::WithinClamps: {
                const qint16 v = kWithinClamps[(b + std::size_t(5 * i)) % std::size(kWithinClamps)];
                c.dc[b] = b % 2 ? qint16(v / 8) : v; // the quantisers are 1 and 8
                break;
            }
            case Values::SpreadWithinClamps: // luma over the whole range
                c.dc[b] = i == 0 ? qint16(int((seed >> 8) % 32767U) - 16383)
                                 : qint16(int((seed >> 8) % 6144U) - 3076);
                break;
            case Values::Spread:
                c.dc[b] = qint16(int((seed >> 8) % 32767U) - 16383);
                break;
            case Values::Exhaustive: // every Cb with every Cr, Y along both
                c.dc[b] = qint16((i == 0   ? (x * 7 + y * 13) % 256
                                  : i == 1 ? x % 256
                                           : y % 256) -
                                 128);
                break;
            }
        }
        f.components.push_back(std::move(c));
    }
    return f;
}

void row(const char *name, const FrameRecipe &recipe)
{
    QTest::newRow(name) << recipe;
}

} // namespace

class TestJpegDcPixels : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pixelsAreLibjpegsOwn_data();
    void pixelsAreLibjpegsOwn();
    void framesNotReproducedAreLeftToLibjpeg_data();
    void framesNotReproducedAreLeftToLibjpeg();
};

void TestJpegDcPixels::pixelsAreLibjpegsOwn_data()
{
    using enum Values;
    QTest::addColumn<FrameRecipe>("recipe");
    const QByteArray &j = kJfif;
    row("4:4:4 JFIF spread", {.markers = j});
    row("4:4:4 JFIF range edges", {.markers = j, .values = Edges});
    row("4:4:4 JFIF edges, other quantisers",
        {.dcQuant = {1, 255, 16}, .markers = j, .values = Edges});
    // Past 32767 libjpeg's multipliers turn negative.
    row("4:4:4 JFIF edges, 16-bit quantisers",
        {.dcQuant = {40000, 65535, 32767}, .markers = j, .values = Edges});
    row("4:4:4 JFIF spread, 16-bit quantisers", {.dcQuant = {40000, 65535, 32767}, .markers = j});
    row("4:4:4 every Cb with every Cr",
        {.width = 256 * 8, .height = 256 * 8, .markers = j, .values = Exhaustive});
    row("grey edges, odd size", {.width = 61, .height = 23, .components = 1, .values = Edges});
    row("grey sampled 2x2",
        {.width = 61, .height = 23, .components = 1, .lumaH = 2, .lumaV = 2, .dcQuant = {3, 0, 0}});
    for (int h = 1; h <= 2; ++h) {
        for (int v = 1; v <= 2; ++v) {
            for (const bool edges : {true, false}) {
                for (const QSize size : {QSize(64, 48), QSize(57, 33), QSize(9, 17), QSize(1, 1)}) {
                    const bool halved = h == 2 && v == 2;
                    QTest::addRow("%dx%d chroma 1x1, %s, %dx%d", h, v, edges ? "edges" : "spread",
                                  size.width(), size.height())
                        << FrameRecipe{
                               .width = size.width(),
                               .height = size.height(),
                               .lumaH = h,
                               .lumaV = v,
                               .dcQuant = {7, quint16(halved ? 1 : 300), quint16(halved ? 1 : 2)},
                               .markers = j,
                               .values = halved ? (edges ? WithinClamps : SpreadWithinClamps)
                                                : (edges ? Edges : Spread)};
                }
            }
        }
    }
    const auto halved = [](const QByteArray &markers, std::array<int, 3> ids = {1, 2, 3}) {
        return FrameRecipe{.lumaH = 2,
                           .lumaV = 2,
                           .dcQuant = {8, 1, 1},
                           .markers = markers,
                           .ids = ids,
                           .values = WithinClamps};
    };
    row("4:2:0 Adobe RGB", halved(adobe(0)));
    row("4:2:0 Adobe YCbCr", halved(adobe(1)));
    row("4:2:0 Adobe transform 2", halved(adobe(2)));      // libjpeg warns, and takes it for YCbCr
    row("4:2:0 JFIF and Adobe RGB", halved(j + adobe(0))); // JFIF wins
    // A JFIF segment too short to count.
    row("short JFIF, components R G B",
        halved(segment(0xE0, QByteArray("JFIF\0\x01", 6)), {'R', 'G', 'B'}));
    row("no markers, components R G B", halved({}, {'R', 'G', 'B'}));
    row("no markers, components 1 2 3", halved({}));
    row("no markers, components 0 1 2", halved({}, {0, 1, 2}));
}

void TestJpegDcPixels::pixelsAreLibjpegsOwn()
{
    QFETCH(FrameRecipe, recipe);
    const JpegDcFrame frame = frameOf(recipe);
    const Decoded want = picture::decodeJpeg(Bytes(JpegDcImage::sequentialFile(frame)), 8);
    QVERIFY2(want.ok(), qPrintable(want.failure));
    const std::optional<Decoded> got = JpegDcPixels::decode(frame);
    QVERIFY(got);
    QCOMPARE(got->failure, want.failure);
    QCOMPARE(got->warning, want.warning);
    QCOMPARE(got->iccProfile, want.iccProfile);
    QCOMPARE(got->image, want.image);
    QCOMPARE(QByteArrayView(got->image.constBits(), got->image.sizeInBytes()),
             QByteArrayView(want.image.constBits(), want.image.sizeInBytes()));
    // The whole path takes it too when the frame comes from a file.
    QVERIFY(JpegDcImage::fitsSequentialFile(frame));
}

void TestJpegDcPixels::framesNotReproducedAreLeftToLibjpeg_data()
{
    QTest::addColumn<FrameRecipe>("recipe");
    row("chroma 2x2", {.chromaH = 2, .chromaV = 2}); // sampled finer than luma
    row("4:1:1", {.lumaH = 4}); // libjpeg scales such chroma with a 4x4 transform
    // Past the clamps of the 2x2 transform; -3076 * 2 is just past them.
    row("4:2:0 with DC values past the clamps", {.lumaH = 2, .lumaV = 2, .values = Values::Edges});
    row("4:2:0 with a DC value just past the clamps",
        {.lumaH = 2, .lumaV = 2, .dcQuant = {1, 1, 2}, .values = Values::WithinClamps});
    row("two components", {.components = 2});
    // More than libjpeg takes, which the frame can say.
    row("too wide for libjpeg", {.width = 65501, .height = 8});
}

void TestJpegDcPixels::framesNotReproducedAreLeftToLibjpeg()
{
    QFETCH(FrameRecipe, recipe);
    QVERIFY(!JpegDcPixels::decode(frameOf(recipe)));
}

QTEST_GUILESS_MAIN(TestJpegDcPixels)
#include "tst_jpegdcpixels.moc"
