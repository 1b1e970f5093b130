#include "JpegDcPixels.h"

#include "picture/Limits.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace picture {
namespace {

// libjpeg refuses larger sides, though the frame's fields can say up to 65535.
constexpr int kLibjpegLargestSide = 65500;

enum class Colour { Grey, YCbCr, Rgb, Unknown };

// What libjpeg's marker reader makes of the APP0 (JFIF) and APP14 (Adobe) segments:
// it looks at no more than the first 14 bytes of either.
Colour colourOf(const JpegDcFrame &f)
{
    const int count = int(f.components.size());
    if (count == 1)
        return Colour::Grey;
    if (count != 3)
        return Colour::Unknown;
    bool jfif = false;
    bool adobe = false;
    int transform = 0;
    const QByteArray &m = f.colourMarkers;
    for (qsizetype at = 0; at + 4 <= m.size();) {
        const int marker = uchar(m[at + 1]);
        const qsizetype length = (uchar(m[at + 2]) << 8) | uchar(m[at + 3]);
        const QByteArray data = m.mid(at + 4, std::min<qsizetype>(length - 2, 14));
        if (marker == 0xE0 && data.size() >= 14 && data.startsWith(QByteArray("JFIF\0", 5)))
            jfif = true;
        if (marker == 0xEE && data.size() >= 12 && data.startsWith("Adobe")) {
            adobe = true;
            transform = uchar(data[11]);
        }
        at += 2 + length;
    }
    if (jfif)
        return Colour::YCbCr;
    if (adobe)
        return transform == 0 ? Colour::Rgb : Colour::YCbCr; // others warn, then YCbCr
    const int id0 = f.components[0].id;
    const int id1 = f.components[1].id;
    const int id2 = f.components[2].id;
    return id0 == 'R' && id1 == 'G' && id2 == 'B' ? Colour::Rgb : Colour::YCbCr;
}

// Grey in any sampling (one component is never upsampled); three components when
// the second and third are one block an MCU and the first one or two each way: then
// every sample libjpeg makes is its block's DC value, replicated.
bool samplingTaken(const JpegDcFrame &f)
{
    if (f.components.size() == 1)
        return true;
    for (std::size_t i = 1; i < f.components.size(); ++i) {
        if (f.components[i].h != 1 || f.components[i].v != 1)
            return false;
    }
    return f.components[0].h <= 2 && f.components[0].v <= 2;
}

// libjpeg scales a block by a 2x2 inverse DCT where the component is halved both
// ways, and that transform's SIMD form (x86) clamps where the 1x1 one wraps and
// overflows 16 bits sooner. Both agree, and DcSamples holds, while the descaled value
// stays within the clamps: for dequantised values from -3076 to 3067, which takes in
// every DC an encoder of 8-bit samples writes.
bool scaledBlocksAgree(const JpegDcFrame &f, const JpegDcFrame::Component &c)
{
    if (2 * c.h != f.maxH || 2 * c.v != f.maxV)
        return true;
    const int quant = qint16(c.quant[0]);
    return std::all_of(c.dc.begin(), c.dc.end(), [quant](qint16 dc) {
        const int value = int(dc) * quant;
        return value >= -3076 && value <= 3067;
    });
}

// The sample libjpeg's 1x1 inverse DCT makes of a block with this DC value:
// dequantised with the table as its 16-bit multipliers hold it, descaled by 3, then
// through its post-IDCT range table of 1024 entries, which clamps from -384 to 383
// (around the centre 128) and wraps beyond. The 2x2 transform gives the same four
// times over for a block without AC coefficients.
class DcSamples {
public:
    explicit DcSamples(const JpegDcFrame::Component &c) : m_quant(qint16(c.quant[0])) {}
    [[nodiscard]] uchar operator()(qint16 dc) const
    {
        const int value = (int(dc) * m_quant + 4) >> 3;
        const int wrapped = ((value + 512) & 1023) - 512;
        return uchar(std::clamp(wrapped + 128, 0, 255));
    }

private:
    int m_quant;
};

// One output row of a component's samples, each block's value repeated over the
// pixels it covers.
void componentRow(const JpegDcFrame &f, const JpegDcFrame::Component &c, int y, int width,
                  uchar *out)
{
    const int shiftX = c.h < f.maxH ? 1 : 0;
    const int shiftY = c.v < f.maxV ? 1 : 0;
    const qint16 *row = c.dc.data() + std::size_t(y >> shiftY) * std::size_t(c.gridWide);
    const DcSamples sample(c);
    if (shiftX == 0) {
        for (int x = 0; x < width; ++x)
            out[x] = sample(row[x]);
        return;
    }
    for (int x = 0; x < width; x += 2) {
        out[x] = sample(row[x >> 1]);
        if (x + 1 < width)
            out[x + 1] = out[x];
    }
}

// libjpeg's YCbCr to RGB conversion in 16-bit fixed point (jdcolor.c), table for table.
class YccTables {
public:
    YccTables()
    {
        constexpr int kBits = 16;
        constexpr qint64 kHalf = qint64(1) << (kBits - 1);
        const auto fix = [](double v) {
            // libjpeg's own FIX(), rounding included, or the pixels would differ from its.
            // NOLINTNEXTLINE(bugprone-incorrect-roundings)
            return qint64(v * double(qint64(1) << kBits) + 0.5);
        };
        for (int i = 0; i < 256; ++i) {
            const qint64 x = i - 128;
            crR[std::size_t(i)] = int((fix(1.40200) * x + kHalf) >> kBits);
            cbB[std::size_t(i)] = int((fix(1.77200) * x + kHalf) >> kBits);
            crG[std::size_t(i)] = -fix(0.71414) * x;
            cbG[std::size_t(i)] = -fix(0.34414) * x + kHalf;
        }
    }
    [[nodiscard]] QRgb rgb(int y, int cb, int cr) const
    {
        const int g = int((cbG[std::size_t(cb)] + crG[std::size_t(cr)]) >> 16);
        return qRgb(limit(y + crR[std::size_t(cr)]), limit(y + g), limit(y + cbB[std::size_t(cb)]));
    }

private:
    static int limit(int v) { return std::clamp(v, 0, 255); }
    std::array<int, 256> crR{};
    std::array<int, 256> cbB{};
    std::array<qint64, 256> crG{};
    std::array<qint64, 256> cbG{};
};

} // namespace

std::optional<Decoded> JpegDcPixels::decode(const JpegDcFrame &f)
{
    const Colour colour = colourOf(f);
    if (colour == Colour::Unknown || !samplingTaken(f) || f.width > kLibjpegLargestSide ||
        f.height > kLibjpegLargestSide || !checkDimensions(f.width, f.height).isEmpty())
        return std::nullopt;
    for (const JpegDcFrame::Component &c : f.components) {
        if (!scaledBlocksAgree(f, c))
            return std::nullopt;
    }
    Decoded d;
    const int width = (f.width + 7) / 8;
    const int height = (f.height + 7) / 8;
    d.image = allocateRaster(width, height, QImage::Format_RGB32);
    if (d.image.isNull())
        return std::nullopt;
    static const YccTables ycc;
    std::array<std::vector<uchar>, 3> rows;
    for (std::size_t i = 0; i < f.components.size(); ++i)
        rows[i].resize(std::size_t(width) + 1);
    for (int y = 0; y < height; ++y) {
        for (std::size_t i = 0; i < f.components.size(); ++i)
            componentRow(f, f.components[i], y, width, rows[i].data());
        auto *out = reinterpret_cast<QRgb *>(d.image.scanLine(y));
        const uchar *a = rows[0].data();
        if (colour == Colour::Grey) {
            for (int x = 0; x < width; ++x)
                out[x] = qRgb(a[x], a[x], a[x]);
            continue;
        }
        const uchar *b = rows[1].data();
        const uchar *c = rows[2].data();
        if (colour == Colour::Rgb) {
            for (int x = 0; x < width; ++x)
                out[x] = qRgb(a[x], b[x], c[x]);
            continue;
        }
        for (int x = 0; x < width; ++x)
            out[x] = ycc.rgb(a[x], b[x], c[x]);
    }
    return d;
}

} // namespace picture
