#include "BmpDecoder.h"

#include "Limits.h"

#include <QIODevice>
#include <QList>
#include <array>
#include <bit>

namespace picture {
namespace {

enum class Compression { Rgb, Rle8, Rle4, Rle24, BitFields, AlphaBitFields, Huffman1D, Jpeg, Png };

struct InfoHeader {
    qint64 size = 0;
    qint64 width = 0;
    qint64 height = 0; // as stored; for an icon, colours and mask together
    bool topDown = false;
    int planes = 0;
    int bpp = 0;
    Compression compression = Compression::Rgb;
    quint32 colorsUsed = 0;
    bool core = false; // OS/2 1.x: 16-bit sizes, 3-byte palette entries
    std::array<quint32, 4> masks{};
    bool hasAlphaMask = false;
    qint64 masksAfterHeader = 0; // bytes of masks that follow a 40-byte header
    quint32 colorSpaceType = 0;
    qint64 profileOffset = 0; // from the start of the info header
    qint64 profileSize = 0;
    DibColorTable table = DibColorTable::Colors;

    [[nodiscard]] qint64 paletteStart() const { return size + masksAfterHeader; }
    [[nodiscard]] int paletteEntrySize() const
    {
        switch (table) {
        case DibColorTable::PaletteIndexes:
            return 2;
        case DibColorTable::None:
            return 0;
        default:
            return core ? 3 : 4;
        }
    }
};

bool parseInfoHeader(Bytes dib, InfoHeader &h, QString &why)
{
    if (!dib.has(0, 4)) {
        why = QStringLiteral("bitmap header cut short");
        return false;
    }
    h.size = dib.u32le(0);
    const bool os2v2 = h.size >= 16 && h.size <= 64 && h.size != 40 && h.size != 52 && h.size != 56;
    if (h.size != 12 && !os2v2 && h.size != 40 && h.size != 52 && h.size != 56 && h.size != 108 &&
        h.size != 124) {
        why = QStringLiteral("unknown bitmap header size %1").arg(h.size);
        return false;
    }
    if (!dib.has(0, h.size)) {
        why = QStringLiteral("bitmap header cut short");
        return false;
    }
    if (h.size == 12) {
        h.core = true;
        h.width = dib.u16le(4);
        h.height = dib.u16le(6);
        h.planes = dib.u16le(8);
        h.bpp = dib.u16le(10);
        return true;
    }
    h.width = dib.i32le(4);
    const qint64 height = dib.i32le(8);
    h.topDown = height < 0;
    h.height = height < 0 ? -height : height;
    h.planes = dib.u16le(12);
    h.bpp = dib.u16le(14);
    const quint32 compression = h.size >= 20 ? dib.u32le(16) : 0;
    h.colorsUsed = h.size >= 36 ? dib.u32le(32) : 0;
    switch (compression) {
    case 0:
        h.compression = Compression::Rgb;
        break;
    case 1:
        h.compression = Compression::Rle8;
        break;
    case 2:
        h.compression = Compression::Rle4;
        break;
    // OS/2 2.x gave 3 and 4 other meanings.
    case 3:
        h.compression = os2v2 ? Compression::Huffman1D : Compression::BitFields;
        break;
    case 4:
        h.compression = os2v2 ? Compression::Rle24 : Compression::Jpeg;
        break;
    case 5:
        h.compression = Compression::Png;
        break;
    case 6:
        h.compression = Compression::AlphaBitFields;
        break;
    default:
        why = QStringLiteral("unknown bitmap compression %1").arg(compression);
        return false;
    }
    const bool bitFields =
        h.compression == Compression::BitFields || h.compression == Compression::AlphaBitFields;
    if (!os2v2 && (h.size >= 52 || bitFields)) {
        // The masks sit inside a V3+ header, or just after a 40-byte one.
        const int count = (h.size >= 56 || h.compression == Compression::AlphaBitFields) ? 4 : 3;
        if (h.size == 40)
            h.masksAfterHeader = count * 4;
        if (!dib.has(40, count * 4)) {
            why = QStringLiteral("bitmap colour masks cut short");
            return false;
        }
        for (int i = 0; i < count; ++i)
            h.masks[i] = dib.u32le(40 + 4 * i);
        h.hasAlphaMask = count == 4;
    }
    if (h.size == 124) {
        h.colorSpaceType = dib.u32le(56);
        h.profileOffset = dib.u32le(112);
        h.profileSize = dib.u32le(116);
    }
    return true;
}

QString validate(const InfoHeader &h)
{
    if (h.width <= 0)
        return QStringLiteral("bad bitmap width %1").arg(h.width);
    if (h.height <= 0)
        return QStringLiteral("bad bitmap height %1").arg(h.height);
    if (h.planes != 1)
        return QStringLiteral("bad bitmap plane count %1").arg(h.planes);
    switch (h.compression) {
    case Compression::Rgb:
        if (h.bpp == 64)
            return QStringLiteral("64-bit bitmaps are not supported");
        if (h.bpp != 1 && h.bpp != 2 && h.bpp != 4 && h.bpp != 8 && h.bpp != 16 && h.bpp != 24 &&
            h.bpp != 32)
            return QStringLiteral("bad bitmap depth %1").arg(h.bpp);
        break;
    case Compression::Rle8:
    case Compression::Rle4:
    case Compression::Rle24: {
        const int want = h.compression == Compression::Rle8   ? 8
                         : h.compression == Compression::Rle4 ? 4
                                                              : 24;
        if (h.bpp != want)
            return QStringLiteral("run-length bitmap with depth %1").arg(h.bpp);
        // Runs are laid out bottom-up; a top-down one has no defined meaning.
        if (h.topDown)
            return QStringLiteral("top-down run-length bitmap");
        break;
    }
    case Compression::BitFields:
    case Compression::AlphaBitFields:
        if (h.bpp != 16 && h.bpp != 32)
            return QStringLiteral("bit-field bitmap with depth %1").arg(h.bpp);
        break;
    case Compression::Huffman1D:
        return QStringLiteral("Huffman-compressed bitmaps are not supported");
    case Compression::Jpeg:
        return QStringLiteral("bitmaps holding a JPEG are not supported");
    case Compression::Png:
        return QStringLiteral("bitmaps holding a PNG are not supported");
    }
    return {};
}

// One colour channel of a 16- or 32-bit pixel.
struct Channel {
    quint32 mask = 0;
    int shift = 0;
    int bits = 0;
    std::array<quint8, 256> widen{}; // for channels of 8 bits or fewer

    explicit Channel(quint32 m = 0) : mask(m)
    {
        if (!mask)
            return;
        shift = std::countr_zero(mask);
        bits = std::popcount(mask);
        if (bits <= 8) {
            const quint32 top = (1u << bits) - 1;
            for (quint32 v = 0; v <= top; ++v)
                widen[v] = static_cast<quint8>((v * 255 + top / 2) / top);
        }
    }
    [[nodiscard]] quint32 operator()(quint32 pixel) const
    {
        const quint32 v = (pixel & mask) >> shift;
        return bits <= 8 ? widen[v] : (v >> (bits - 8));
    }
};

QString checkMasks(const std::array<quint32, 4> &masks, int bpp)
{
    const quint64 room = bpp == 16 ? 0xFFFFu : 0xFFFFFFFFu;
    quint32 seen = 0;
    for (int i = 0; i < 4; ++i) {
        const quint32 m = masks[i];
        if (!m) {
            if (i < 3)
                return QStringLiteral("bitmap colour mask with no bits");
            continue;
        }
        if (m > room)
            return QStringLiteral("bitmap colour mask wider than the pixel");
        const quint32 normalised = m >> std::countr_zero(m);
        if ((normalised & (normalised + 1)) != 0)
            return QStringLiteral("bitmap colour mask with gaps");
        if (seen & m)
            return QStringLiteral("overlapping bitmap colour masks");
        seen |= m;
    }
    return {};
}

// Where the pixels are and what the colours mean, once the header is understood.
struct Layout {
    InfoHeader h;
    qint64 rows = 0; // colour rows (an icon's height without its mask)
    std::array<QRgb, 256> palette{};
    std::array<Channel, 4> channels;
    bool alpha = false;
    bool rawAlpha = false;
    const QList<QRgb> *indexedPalette = nullptr;
};

QRgb indexedColor(qint64 index, const Layout &l)
{
    if (l.indexedPalette && index < l.indexedPalette->size())
        return (*l.indexedPalette)[index];
    const int top = (1 << l.h.bpp) - 1;
    const int grey = static_cast<int>(qMin<qint64>(index, top) * 255 / top);
    return qRgb(grey, grey, grey);
}

QRgb paletteEntry(Bytes dib, qint64 at, const Layout &l)
{
    if (l.h.table == DibColorTable::PaletteIndexes)
        return indexedColor(dib.u16le(at), l);
    return qRgb(dib.u8(at + 2), dib.u8(at + 1), dib.u8(at));
}

bool buildPalette(Bytes dib, Layout &l, qint64 pixelOffset, QString &why)
{
    const InfoHeader &h = l.h;
    l.palette.fill(qRgb(0, 0, 0)); // indices past the palette show black, as on Windows
    if (h.bpp > 8)
        return true;
    const qint64 maxEntries = qint64(1) << h.bpp;
    if (h.table == DibColorTable::None) {
        for (qint64 i = 0; i < maxEntries; ++i)
            l.palette[i] = indexedColor(i, l);
        return true;
    }
    const qint64 entry = h.paletteEntrySize();
    const qint64 start = h.paletteStart();
    const bool counted = !h.core && h.colorsUsed != 0;
    qint64 count = counted ? h.colorsUsed : maxEntries;
    if (count > maxEntries) {
        // A longer palette than the depth can index is harmless when it is really there.
        if (count > 65536 || (pixelOffset >= 0 && start + count * entry > pixelOffset) ||
            !dib.has(start, count * entry)) {
            why = QStringLiteral("impossible palette size %1").arg(h.colorsUsed);
            return false;
        }
        count = maxEntries;
    }
    if (pixelOffset >= 0 && start + count * entry > pixelOffset) {
        // Without a count (always so for OS/2 1.x) a short palette simply ends where the
        // pixels begin; a counted one that runs into them is damaged.
        if (counted || pixelOffset < start + entry) {
            why = QStringLiteral("bitmap pixel data overlaps its palette");
            return false;
        }
        count = (pixelOffset - start) / entry;
    }
    if (!dib.has(start, count * entry)) {
        why = QStringLiteral("bitmap palette cut short");
        return false;
    }
    for (qint64 i = 0; i < count; ++i)
        l.palette[i] = paletteEntry(dib, start + i * entry, l);
    return true;
}

bool buildChannels(Layout &l, QString &why)
{
    const InfoHeader &h = l.h;
    if (h.bpp != 16 && h.bpp != 32)
        return true;
    std::array<quint32, 4> masks{};
    if (h.compression == Compression::Rgb) {
        // The fourth byte of a plain 32-bit pixel is unused; Windows ignores it
        // everywhere but in alpha blending.
        masks = h.bpp == 16
                    ? std::array<quint32, 4>{0x7C00, 0x03E0, 0x001F, 0}
                    : std::array<quint32, 4>{0xFF0000, 0xFF00, 0xFF, l.rawAlpha ? 0xFF000000u : 0};
    } else {
        masks = h.masks;
        if (!h.hasAlphaMask)
            masks[3] = 0;
    }
    why = checkMasks(masks, h.bpp);
    if (!why.isEmpty())
        return false;
    for (int i = 0; i < 4; ++i)
        l.channels[i] = Channel(masks[i]);
    l.alpha = masks[3] != 0;
    return true;
}

qint64 rowStride(const InfoHeader &h)
{
    return ((h.width * h.bpp + 31) / 32) * 4;
}

// Decodes rows of uncompressed pixels, in file order from firstRow, whose data starts
// at offset, into ARGB (non-premultiplied) values. Returns the row after the last one
// the bytes held in full.
qint64 decodeRows(Bytes file, qint64 offset, const Layout &l, QImage &out, qint64 firstRow = 0)
{
    const InfoHeader &h = l.h;
    const qint64 width = h.width;
    const qint64 stride = rowStride(h);
    const qint64 rowBytes = (width * h.bpp + 7) / 8;
    const std::array<QRgb, 256> &pal = l.palette;
    const bool plain32 = h.bpp == 32 && !l.alpha && l.channels[0].mask == 0xFF0000 &&
                         l.channels[1].mask == 0xFF00 && l.channels[2].mask == 0xFF;
    qint64 row = firstRow;
    for (; row < l.rows; ++row) {
        const qint64 at = offset + (row - firstRow) * stride;
        if (!file.has(at, rowBytes))
            break;
        const uchar *src = file.data() + at;
        auto *dst = reinterpret_cast<QRgb *>(
            out.scanLine(static_cast<int>(h.topDown ? row : l.rows - 1 - row)));
        switch (h.bpp) {
        case 1:
            for (qint64 x = 0; x < width; ++x)
                dst[x] = pal[(src[x >> 3] >> (7 - (x & 7))) & 1];
            break;
        case 2:
            for (qint64 x = 0; x < width; ++x)
                dst[x] = pal[(src[x >> 2] >> (6 - 2 * (x & 3))) & 3];
            break;
        case 4:
            for (qint64 x = 0; x < width; ++x)
                dst[x] = pal[(src[x >> 1] >> ((x & 1) ? 0 : 4)) & 15];
            break;
        case 8:
            for (qint64 x = 0; x < width; ++x)
                dst[x] = pal[src[x]];
            break;
        case 24:
            for (qint64 x = 0; x < width; ++x, src += 3)
                dst[x] = qRgb(src[2], src[1], src[0]);
            break;
        case 16:
        case 32: {
            const auto &c = l.channels;
            for (qint64 x = 0; x < width; ++x) {
                quint32 p;
                if (h.bpp == 16) {
                    p = quint32(src[0]) | (quint32(src[1]) << 8);
                    src += 2;
                } else {
                    p = quint32(src[0]) | (quint32(src[1]) << 8) | (quint32(src[2]) << 16) |
                        (quint32(src[3]) << 24);
                    src += 4;
                }
                if (plain32)
                    dst[x] = 0xFF000000u | p;
                else
                    dst[x] = qRgba(c[0](p), c[1](p), c[2](p), l.alpha ? c[3](p) : 255);
            }
            break;
        }
        default:
            break;
        }
    }
    return row;
}

struct RleResult {
    bool ended = false;   // reached its end-of-bitmap code
    bool overran = false; // a code started or moved past the picture's edge
    bool cut = false;     // the data stopped in the middle of a code
};

// Run-length data, bottom-up. Pixels the codes skip stay transparent. Without an
// image the data is only checked, which is cheap next to a large raster.
RleResult decodeRle(Bytes file, qint64 offset, const Layout &l, QImage *out)
{
    const InfoHeader &h = l.h;
    const qint64 width = h.width;
    const qint64 height = l.rows;
    if (out)
        out->fill(Qt::transparent);
    RleResult r;
    qint64 x = 0;
    qint64 y = 0;
    QRgb *line =
        out ? reinterpret_cast<QRgb *>(out->scanLine(static_cast<int>(height - 1))) : nullptr;
    auto put = [&](QRgb colour) {
        if (x < width && line)
            line[x] = colour;
        ++x;
    };
    auto moveTo = [&](qint64 nx, qint64 ny) {
        x = nx;
        y = ny;
        if (out && y < height)
            line = reinterpret_cast<QRgb *>(out->scanLine(static_cast<int>(height - 1 - y)));
    };
    const std::array<QRgb, 256> &pal = l.palette;
    qint64 at = offset;
    while (y < height) {
        if (!file.has(at, 2)) {
            r.cut = true;
            break;
        }
        const int count = file.u8(at);
        const int value = file.u8(at + 1);
        at += 2;
        // A run may hang over the row's end (it is clipped, as other readers do), but
        // one that starts past it means the data has lost its way.
        const bool drawing = count > 0 || value > 2;
        if (drawing && x >= width) {
            r.overran = true;
            break;
        }
        if (count > 0) {
            if (h.compression == Compression::Rle24) {
                if (!file.has(at, 2)) {
                    r.cut = true;
                    break;
                }
                const QRgb colour = qRgb(file.u8(at + 1), file.u8(at), value);
                at += 2;
                for (int i = 0; i < count; ++i)
                    put(colour);
            } else if (h.compression == Compression::Rle4) {
                for (int i = 0; i < count; ++i)
                    put(pal[(i & 1) ? (value & 15) : (value >> 4)]);
            } else {
                for (int i = 0; i < count; ++i)
                    put(pal[value]);
            }
            continue;
        }
        if (value == 0) {
            moveTo(0, y + 1);
        } else if (value == 1) {
            r.ended = true;
            break;
        } else if (value == 2) {
            if (!file.has(at, 2)) {
                r.cut = true;
                break;
            }
            const qint64 nx = x + file.u8(at);
            const qint64 ny = y + file.u8(at + 1);
            at += 2;
            if (nx > width || ny > height)
                r.overran = true;
            moveTo(nx, ny);
        } else {
            const int n = value;
            qint64 bytes = h.compression == Compression::Rle24  ? 3 * qint64(n)
                           : h.compression == Compression::Rle4 ? (n + 1) / 2
                                                                : n;
            if (!file.has(at, bytes)) {
                r.cut = true;
                break;
            }
            const uchar *src = file.data() + at;
            for (int i = 0; i < n; ++i) {
                if (h.compression == Compression::Rle24)
                    put(qRgb(src[3 * i + 2], src[3 * i + 1], src[3 * i]));
                else if (h.compression == Compression::Rle4)
                    put(pal[(i & 1) ? (src[i / 2] & 15) : (src[i / 2] >> 4)]);
                else
                    put(pal[src[i]]);
            }
            at += bytes + (bytes & 1);
        }
    }
    return r;
}

bool anyVisible(const QImage &image)
{
    const int width = image.width();
    for (int y = 0; y < image.height(); ++y) {
        const auto *p = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            if (qAlpha(p[x]) != 0)
                return true;
        }
    }
    return false;
}

bool anyTransparent(const QImage &image)
{
    const int width = image.width();
    for (int y = 0; y < image.height(); ++y) {
        const auto *p = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            if (qAlpha(p[x]) != 255)
                return true;
        }
    }
    return false;
}

void makeOpaque(QImage &image)
{
    const int width = image.width();
    for (int y = 0; y < image.height(); ++y) {
        auto *p = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            p[x] |= 0xFF000000u;
    }
}

// Keeps what the alpha channel says, unless it says nothing: many writers leave the
// unused byte at zero, and such a picture is meant to be opaque.
void settleAlpha(QImage &image, bool alphaFromFile)
{
    if (alphaFromFile && !anyVisible(image))
        makeOpaque(image);
    if (anyTransparent(image))
        image.convertTo(QImage::Format_ARGB32_Premultiplied);
    else
        image.reinterpretAsFormat(QImage::Format_RGB32);
}

QByteArray embeddedProfile(Bytes dib, const InfoHeader &h)
{
    constexpr quint32 kEmbedded = 0x4D424544; // 'MBED'
    if (h.colorSpaceType != kEmbedded || h.profileSize <= 0 ||
        !dib.has(h.profileOffset, h.profileSize))
        return {};
    return dib.mid(h.profileOffset, h.profileSize).view().toByteArray();
}

// Everything about a DIB that comes before its pixels.
struct Plan {
    Layout l;
    qint64 pixels = 0; // where the pixel data starts, from the start of the DIB
    bool rle = false;
};

// Reads the headers and palette from dib, which holds at least everything before the
// pixels of a DIB that is dibSize bytes long. pixelOffset is where the file header
// says the pixels are, from the DIB's start (-1 without a file header: they follow
// the palette).
bool makePlan(Bytes dib, qint64 dibSize, qint64 pixelOffset, Plan &p, QString &why,
              const DibOptions &options = {})
{
    Layout &l = p.l;
    if (!parseInfoHeader(dib, l.h, why))
        return false;
    why = validate(l.h);
    if (why.isEmpty())
        why = checkDimensions(l.h.width, l.h.height);
    if (why.isEmpty() && l.h.width * l.h.height * 4 > options.maxRasterBytes)
        why = QStringLiteral("bitmap too large (%1 x %2)").arg(l.h.width).arg(l.h.height);
    if (!why.isEmpty())
        return false;
    l.rows = l.h.height;
    if (l.h.bpp <= 8)
        l.h.table = options.table;
    l.indexedPalette = options.palette;
    l.rawAlpha = options.rawAlpha;
    if (!buildPalette(dib, l, pixelOffset, why) || !buildChannels(l, why))
        return false;
    p.pixels = pixelOffset;
    if (p.pixels < 0) {
        const qint64 entries = l.h.bpp <= 8
                                   ? (l.h.core || l.h.colorsUsed == 0 ? (qint64(1) << l.h.bpp)
                                                                      : qint64(l.h.colorsUsed))
                                   : qint64(l.h.colorsUsed);
        p.pixels = l.h.paletteStart() + entries * l.h.paletteEntrySize();
    }
    if (p.pixels < l.h.paletteStart() || p.pixels >= dibSize) {
        why = QStringLiteral("bitmap pixel data outside the file");
        return false;
    }
    p.rle = l.h.compression == Compression::Rle4 || l.h.compression == Compression::Rle8 ||
            l.h.compression == Compression::Rle24;
    return true;
}

// Uncompressed pixels without an alpha channel go straight into an opaque raster.
QImage allocateFor(const Plan &p, QString &why)
{
    const bool opaque = !p.rle && !p.l.alpha;
    return allocateRaster(p.l.h.width, p.l.rows,
                          opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32, &why);
}

// Rows the file lacks are left transparent.
void finishRows(Decoded &d, const Plan &p, qint64 rows)
{
    const Layout &l = p.l;
    if (rows < l.rows) {
        d.warning = QStringLiteral("bitmap cut short after %1 of %2 rows").arg(rows).arg(l.rows);
        if (!l.alpha)
            d.image.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
        for (qint64 row = rows; row < l.rows; ++row) {
            const int y = static_cast<int>(l.h.topDown ? row : l.rows - 1 - row);
            std::fill_n(reinterpret_cast<QRgb *>(d.image.scanLine(y)), l.h.width, 0u);
        }
    }
    if (l.alpha && !l.rawAlpha)
        settleAlpha(d.image, true);
}

// The pixels of a planned DIB, which start at offset `at` of `pixels`.
Decoded decodePixels(const Plan &p, Bytes pixels, qint64 at)
{
    // Damage that leaves nothing to show is found before the raster is made.
    if (p.rle && decodeRle(pixels, at, p.l, nullptr).overran)
        return Decoded::fail(QStringLiteral("run-length data runs outside the picture"));
    if (!p.rle && !pixels.has(at, (p.l.h.width * p.l.h.bpp + 7) / 8))
        return Decoded::fail(QStringLiteral("bitmap pixel data missing"));

    Decoded d;
    QString why;
    d.image = allocateFor(p, why);
    if (d.image.isNull())
        return Decoded::fail(why);
    if (p.rle) {
        const RleResult r = decodeRle(pixels, at, p.l, &d.image);
        if (r.cut && !r.ended)
            d.warning = QStringLiteral("run-length data cut short");
        settleAlpha(d.image, false);
    } else {
        finishRows(d, p, decodeRows(pixels, at, p.l, d.image));
    }
    return d;
}

Decoded decodeDib(Bytes file, qint64 dibStart, qint64 pixelOffset, const DibOptions &options = {})
{
    const Bytes dib = file.mid(dibStart);
    Plan p;
    QString why;
    if (!makePlan(dib, dib.size(), pixelOffset < 0 ? -1 : pixelOffset - dibStart, p, why, options))
        return Decoded::fail(why);
    Decoded d = decodePixels(p, dib, p.pixels);
    if (d.ok())
        d.iccProfile = embeddedProfile(dib, p.l.h);
    return d;
}

} // namespace

bool looksLikePackedDib(Bytes head)
{
    InfoHeader h;
    QString why;
    const quint32 size = head.u32le(0);
    // Only the common Windows headers: the OS/2 ones are too easily matched by chance.
    if (size != 40 && size != 108 && size != 124)
        return false;
    if (!parseInfoHeader(head, h, why) || !validate(h).isEmpty())
        return false;
    return h.width <= kMaxSide && h.height <= kMaxSide;
}

Decoded decodeBmp(Bytes file)
{
    if (file.has(0, 2) && file.u8(0) == 'B' && file.u8(1) == 'A') {
        // An OS/2 bitmap array: show its first bitmap. Its offsets count from the
        // start of the whole file.
        constexpr qint64 kArrayHeader = 14;
        if (file.u8(kArrayHeader) != 'B' || file.u8(kArrayHeader + 1) != 'M')
            return Decoded::fail(QStringLiteral("bitmap array without a bitmap"));
        if (!file.has(kArrayHeader, 14))
            return Decoded::fail(QStringLiteral("bitmap file header cut short"));
        return decodeDib(file, kArrayHeader + 14, file.u32le(kArrayHeader + 10));
    }
    if (file.has(0, 2) && file.u8(0) == 'B' && file.u8(1) == 'M') {
        if (!file.has(0, 14))
            return Decoded::fail(QStringLiteral("bitmap file header cut short"));
        return decodeDib(file, 14, file.u32le(10));
    }
    if (looksLikePackedDib(file))
        return decodeDib(file, 0, -1);
    return Decoded::fail(QStringLiteral("not a bitmap"));
}

Decoded decodeBmp(QIODevice &device)
{
    // Headers, palette and anything else before the pixels; a file that is not a
    // plain uncompressed bitmap is simply read whole.
    constexpr qint64 kFileHeader = 14;
    constexpr qint64 kMostBeforePixels = 16 << 20;
    QByteArray prefix = device.read(kFileHeader);
    const Bytes fileHeader(prefix);
    const qint64 pixelOffset = fileHeader.u32le(10);
    const qint64 size = device.size();
    auto readWhole = [&] {
        prefix.append(device.readAll());
        return decodeBmp(Bytes(prefix));
    };
    if (prefix.size() < kFileHeader || fileHeader.u8(0) != 'B' || fileHeader.u8(1) != 'M' ||
        pixelOffset <= kFileHeader || pixelOffset > qMin(size, kMostBeforePixels))
        return readWhole();
    prefix.append(device.read(pixelOffset - kFileHeader));
    Plan p;
    QString why;
    if (!makePlan(Bytes(prefix).mid(kFileHeader), size - kFileHeader, pixelOffset - kFileHeader, p,
                  why))
        return Decoded::fail(why);
    if (p.rle)
        return readWhole();

    // The rows, a slice at a time: the file's bytes are never all in memory at once.
    const qint64 stride = rowStride(p.l.h);
    const qint64 rowsPerSlice = qMax<qint64>(1, (1 << 20) / stride);
    Decoded d;
    QByteArray slice = device.read(qMin(rowsPerSlice, p.l.rows) * stride);
    if (!Bytes(slice).has(0, (p.l.h.width * p.l.h.bpp + 7) / 8))
        return Decoded::fail(QStringLiteral("bitmap pixel data missing"));
    d.image = allocateFor(p, why);
    if (d.image.isNull())
        return Decoded::fail(why);
    qint64 rows = 0;
    while (rows < p.l.rows && !slice.isEmpty()) {
        const qint64 next = decodeRows(Bytes(slice), 0, p.l, d.image, rows);
        if (next - rows < rowsPerSlice && next < p.l.rows) {
            rows = next;
            break; // the file ended inside this slice
        }
        rows = next;
        slice = device.read(qMin(rowsPerSlice, p.l.rows - rows) * stride);
    }
    finishRows(d, p, rows);

    const InfoHeader &h = p.l.h;
    constexpr quint32 kEmbedded = 0x4D424544; // 'MBED'
    if (h.colorSpaceType == kEmbedded && h.profileSize > 0 && h.profileSize < (16 << 20) &&
        device.seek(kFileHeader + h.profileOffset)) {
        const QByteArray profile = device.read(h.profileSize);
        if (profile.size() == h.profileSize)
            d.iccProfile = profile;
    }
    return d;
}

Decoded decodeDib(Bytes header, Bytes pixels, const DibOptions &options)
{
    Plan p;
    QString why;
    if (!makePlan(header, header.size() + pixels.size(), header.size(), p, why, options))
        return Decoded::fail(why);
    return decodePixels(p, pixels, 0);
}

Decoded decodePackedDib(Bytes dib, const DibOptions &options)
{
    return decodeDib(dib, 0, -1, options);
}

std::optional<DibSummary> peekDib(Bytes header)
{
    InfoHeader h;
    QString why;
    if (!parseInfoHeader(header, h, why))
        return std::nullopt;
    DibSummary summary{h.width, h.height, h.bpp, h.topDown};
    if (h.compression == Compression::Jpeg)
        summary.embeddedFormat = "JPEG";
    else if (h.compression == Compression::Png)
        summary.embeddedFormat = "PNG";
    return summary;
}

std::optional<DibSummary> peekIconDib(Bytes entry)
{
    auto summary = peekDib(entry);
    if (summary)
        summary->height /= 2;
    return summary;
}

Decoded decodeIconDib(Bytes entry)
{
    Layout l;
    QString why;
    if (!parseInfoHeader(entry, l.h, why))
        return Decoded::fail(why);
    if (l.h.compression != Compression::Rgb && l.h.compression != Compression::BitFields)
        return Decoded::fail(QStringLiteral("compressed icon bitmaps are not supported"));
    // The stored height covers the colours and the mask below them.
    l.rows = l.h.height / 2;
    why = validate(l.h);
    if (why.isEmpty())
        why = checkDimensions(l.h.width, l.rows);
    if (!why.isEmpty())
        return Decoded::fail(why);
    if (!buildPalette(entry, l, -1, why) || !buildChannels(l, why))
        return Decoded::fail(why);
    const qint64 entries =
        l.h.bpp <= 8 ? (l.h.colorsUsed == 0 ? (qint64(1) << l.h.bpp) : qint64(l.h.colorsUsed)) : 0;
    const qint64 pixels = l.h.paletteStart() + entries * l.h.paletteEntrySize();
    if (!entry.has(pixels, (l.h.width * l.h.bpp + 7) / 8))
        return Decoded::fail(QStringLiteral("icon pixel data missing"));

    Decoded d;
    d.image = allocateRaster(l.h.width, l.rows, QImage::Format_ARGB32, &why);
    if (d.image.isNull())
        return Decoded::fail(why);
    // A 32-bit icon carries its own alpha; older ones rely on the mask alone.
    Layout colours = l;
    if (l.h.bpp == 32 && l.h.compression == Compression::Rgb) {
        colours.channels[3] = Channel(0xFF000000u);
        colours.alpha = true;
    }
    const qint64 rows = decodeRows(entry, pixels, colours, d.image);
    if (rows < l.rows) {
        d.warning = QStringLiteral("icon cut short after %1 of %2 rows").arg(rows).arg(l.rows);
        for (qint64 row = rows; row < l.rows; ++row) {
            const int y = static_cast<int>(l.h.topDown ? row : l.rows - 1 - row);
            std::fill_n(reinterpret_cast<QRgb *>(d.image.scanLine(y)), l.h.width, 0u);
        }
    }

    const bool alphaUsed = colours.alpha && anyVisible(d.image);
    if (colours.alpha && !alphaUsed)
        makeOpaque(d.image);
    const qint64 width = l.h.width;
    const qint64 maskStride = ((width + 31) / 32) * 4;
    const qint64 maskStart = pixels + l.rows * (((width * l.h.bpp + 31) / 32) * 4);
    // Some writers put an embedded colour profile where the mask would be.
    const QByteArray profile = embeddedProfile(entry, l.h);
    const bool maskIsProfile = !profile.isEmpty() &&
                               maskStart < l.h.profileOffset + l.h.profileSize &&
                               l.h.profileOffset < maskStart + l.rows * maskStride;
    if (!alphaUsed && !maskIsProfile) {
        // The AND mask: a set bit lets the background through. Rows the file lacks
        // stay opaque.
        for (qint64 row = 0; row < rows; ++row) {
            const qint64 at = maskStart + row * maskStride;
            if (!entry.has(at, (width + 7) / 8))
                break;
            const uchar *bits = entry.data() + at;
            auto *dst = reinterpret_cast<QRgb *>(
                d.image.scanLine(static_cast<int>(l.h.topDown ? row : l.rows - 1 - row)));
            for (qint64 x = 0; x < width; ++x) {
                if ((bits[x >> 3] >> (7 - (x & 7))) & 1)
                    dst[x] = 0;
            }
        }
    }
    settleAlpha(d.image, false);
    d.iccProfile = profile;
    return d;
}

} // namespace picture
