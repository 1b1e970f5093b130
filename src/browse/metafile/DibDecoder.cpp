#include "DibDecoder.h"

#include "ByteReader.h"

#include <QBuffer>
#include <QImageReader>
#include <array>
#include <bit>
#include <vector>

namespace metafile {

namespace {

constexpr quint32 kBiRle8 = 1;
constexpr quint32 kBiRle4 = 2;
constexpr quint32 kBiBitfields = 3;
constexpr quint32 kBiJpeg = 4;
constexpr quint32 kBiPng = 5;
constexpr quint32 kBiAlphaBitfields = 6;

struct Header {
    DibInfo info;
    quint32 colorsUsed = 0;
    bool core = false;
    std::array<quint32, 4> masks{}; // r, g, b, a
    bool hasMasks = false;
};

std::optional<Header> readHeader(QByteArrayView data)
{
    ByteReader r(data);
    Header h;
    const quint32 size = r.u32();
    if (!r.ok())
        return std::nullopt;
    if (size == 12) {
        h.core = true;
        h.info.width = r.u16();
        const int height = r.i16();
        r.u16(); // planes
        h.info.bitCount = r.u16();
        h.info.height = height;
    } else if (size >= 16 && size <= 1024) {
        h.info.width = r.i32();
        h.info.height = r.i32();
        r.u16();
        h.info.bitCount = r.u16();
        if (size >= 20)
            h.info.compression = r.u32();
        if (size >= 36) {
            r.u32(); // image size
            r.i32();
            r.i32();
            h.colorsUsed = r.u32();
        }
        if (size >= 52) {
            r.seek(40);
            h.masks[0] = r.u32();
            h.masks[1] = r.u32();
            h.masks[2] = r.u32();
            h.hasMasks = true;
            if (size >= 56)
                h.masks[3] = r.u32();
        }
    } else {
        return std::nullopt;
    }
    if (!r.ok())
        return std::nullopt;
    h.info.headerSize = size;
    if (h.info.height < 0) {
        if (h.info.height == std::numeric_limits<int>::min())
            return std::nullopt;
        h.info.topDown = true;
        h.info.height = -h.info.height;
    }
    if (h.info.width <= 0 || h.info.height <= 0)
        return std::nullopt;
    switch (h.info.bitCount) {
    case 1:
    case 2:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
        break;
    case 0:
        if (h.info.compression != kBiJpeg && h.info.compression != kBiPng)
            return std::nullopt;
        break;
    default:
        return std::nullopt;
    }
    if (h.info.compression > kBiAlphaBitfields)
        return std::nullopt;
    // A 40-byte header keeps its bitfield masks after the header.
    qsizetype extra = 0;
    if (!h.hasMasks &&
        (h.info.compression == kBiBitfields || h.info.compression == kBiAlphaBitfields)) {
        const int n = h.info.compression == kBiAlphaBitfields ? 4 : 3;
        ByteReader m(data);
        m.seek(size);
        for (int i = 0; i < n; ++i)
            h.masks[size_t(i)] = m.u32();
        if (!m.ok())
            return std::nullopt;
        h.hasMasks = true;
        extra = 4 * n;
    }
    qint64 colors = 0;
    if (h.info.bitCount <= 8 && h.info.bitCount > 0) {
        colors = h.colorsUsed ? qMin<qint64>(h.colorsUsed, qint64(1) << h.info.bitCount)
                              : (qint64(1) << h.info.bitCount);
        if (h.colorsUsed > (1u << h.info.bitCount))
            colors = h.colorsUsed; // the table is longer than needed; skip the extra
    } else if (!h.core) {
        colors = qMin<quint32>(h.colorsUsed, 65536);
    }
    const int entry = h.core ? 3 : 4;
    h.info.colorTableBytes = extra + qsizetype(colors) * entry;
    return h;
}

QRgb grayRamp(int i, int bits)
{
    const int v = bits == 1 ? i * 255 : i * 255 / ((1 << bits) - 1);
    return qRgb(v, v, v);
}

struct Masks {
    quint32 mask = 0;
    int shift = 0;
    int bits = 0;
    [[nodiscard]] int value(quint32 px) const
    {
        if (!mask)
            return 255;
        const quint32 v = (px & mask) >> shift;
        if (bits >= 8)
            return int(v >> (bits - 8));
        const quint32 maxv = (1u << bits) - 1;
        return int((v * 255 + maxv / 2) / maxv);
    }
    static Masks from(quint32 m)
    {
        Masks r;
        r.mask = m;
        if (m) {
            r.shift = std::countr_zero(m);
            r.bits = std::popcount(m >> r.shift);
            if (r.bits > 16) { // a mask can't be that wide for a channel; cut it down
                r.shift += r.bits - 16;
                r.bits = 16;
                r.mask = ((1u << 16) - 1) << r.shift;
            }
        }
        return r;
    }
};

// Expands RLE4/RLE8 data into one palette index per pixel, bottom-up rows.
std::vector<quint8> expandRle(QByteArrayView bits, int width, int height, bool four)
{
    std::vector<quint8> out(size_t(width) * size_t(height), 0);
    ByteReader r(bits);
    int x = 0;
    int y = 0; // row counted from the bottom
    auto put = [&](int index) {
        if (x < width && y < height)
            out[size_t(y) * size_t(width) + size_t(x)] = quint8(index);
        ++x;
    };
    while (r.remaining() >= 2 && y < height) {
        const int count = r.u8();
        const int value = r.u8();
        if (count > 0) {
            for (int i = 0; i < count; ++i)
                put(four ? ((i & 1) ? (value & 0x0F) : (value >> 4)) : value);
            continue;
        }
        if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            x += r.u8();
            y += r.u8();
        } else {
            const int n = value;
            const int bytes = four ? (n + 1) / 2 : n;
            QByteArrayView run = r.bytes(bytes);
            if (!r.ok())
                break;
            for (int i = 0; i < n; ++i) {
                const quint8 b = quint8(run[four ? i / 2 : i]);
                put(four ? ((i & 1) ? (b & 0x0F) : (b >> 4)) : b);
            }
            if (bytes & 1)
                r.skip(1);
        }
    }
    return out;
}

} // namespace

std::optional<DibInfo> readDibInfo(QByteArrayView header)
{
    auto h = readHeader(header);
    if (!h)
        return std::nullopt;
    return h->info;
}

std::optional<QImage> decodeDib(QByteArrayView headerAndBits, const DibOptions &options)
{
    auto h = readHeader(headerAndBits);
    if (!h)
        return std::nullopt;
    const qsizetype offset = h->info.headerSize + h->info.colorTableBytes;
    if (offset > headerAndBits.size())
        return std::nullopt;
    return decodeDib(headerAndBits.first(offset), headerAndBits.sliced(offset), options);
}

std::optional<QImage> decodeDib(QByteArrayView header, QByteArrayView bits,
                                const DibOptions &options)
{
    auto parsed = readHeader(header);
    if (!parsed)
        return std::nullopt;
    const Header &h = *parsed;
    const DibInfo &info = h.info;

    if (info.compression == kBiJpeg || info.compression == kBiPng) {
        QImage img;
        if (!img.loadFromData(bits, info.compression == kBiJpeg ? "JPEG" : "PNG"))
            return std::nullopt;
        if (img.width() > options.maxDimension || img.height() > options.maxDimension)
            return std::nullopt;
        return img.convertToFormat(img.hasAlphaChannel() && options.keepAlpha
                                       ? QImage::Format_ARGB32_Premultiplied
                                       : QImage::Format_RGB32);
    }

    if (info.width > options.maxDimension || info.height > options.maxDimension)
        return std::nullopt;
    if (qint64(info.width) * info.height * 4 > options.maxBytes)
        return std::nullopt;

    // Colour table.
    QList<QRgb> table;
    if (info.bitCount <= 8) {
        const int count = int(qMin<qsizetype>(h.info.colorTableBytes / (h.core ? 3 : 4), 256));
        ByteReader t(header);
        t.seek(info.headerSize +
               ((!h.core &&
                 (info.compression == kBiBitfields || info.compression == kBiAlphaBitfields) &&
                 info.headerSize < 52)
                    ? (info.compression == kBiAlphaBitfields ? 16 : 12)
                    : 0));
        for (int i = 0; i < count && t.ok(); ++i) {
            if (options.usePaletteIndexes) {
                const quint16 idx = t.u16();
                if (options.paletteColors && idx < options.paletteColors->size())
                    table.append((*options.paletteColors)[idx]);
                else
                    table.append(grayRamp(qMin(i, (1 << info.bitCount) - 1), info.bitCount));
            } else {
                const int b = t.u8();
                const int g = t.u8();
                const int r = t.u8();
                if (!h.core)
                    t.u8();
                if (t.ok())
                    table.append(qRgb(r, g, b));
            }
        }
        if (!t.ok() && table.isEmpty())
            table.clear();
        // A table shorter than the depth needs is padded (black), so every index is safe.
        while (table.size() < (1 << info.bitCount))
            table.append(table.isEmpty() ? grayRamp(int(table.size()), info.bitCount)
                                         : qRgb(0, 0, 0));
    }

    const bool alpha32 = options.keepAlpha && info.bitCount == 32;
    QImage img(info.width, info.height, alpha32 ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (img.isNull())
        return std::nullopt;
    img.fill(table.isEmpty() ? qRgb(0, 0, 0) : table[0]);

    const int w = info.width;
    const int hgt = info.height;
    auto rowFor = [&](int srcRow) {
        return info.topDown ? srcRow : hgt - 1 - srcRow;
    };

    if (info.compression == kBiRle8 || info.compression == kBiRle4) {
        if (info.bitCount != (info.compression == kBiRle8 ? 8 : 4))
            return std::nullopt;
        const auto idx = expandRle(bits, w, hgt, info.compression == kBiRle4);
        for (int y = 0; y < hgt; ++y) {
            auto *line = reinterpret_cast<QRgb *>(img.scanLine(hgt - 1 - y));
            for (int x = 0; x < w; ++x)
                line[x] = table[idx[size_t(y) * size_t(w) + size_t(x)] % table.size()];
        }
        return img;
    }

    const qint64 stride = ((qint64(w) * info.bitCount + 31) / 32) * 4;
    const qint64 availableRows = stride > 0 ? qint64(bits.size()) / stride : 0;
    const int rows = int(qMin<qint64>(availableRows, hgt));
    if (rows == 0 && hgt > 0 && bits.size() < stride)
        return std::nullopt;

    Masks mr, mg, mb, ma;
    const bool bitfields =
        info.compression == kBiBitfields || info.compression == kBiAlphaBitfields;
    if (info.bitCount == 16 || info.bitCount == 32) {
        if (bitfields && h.hasMasks && (h.masks[0] | h.masks[1] | h.masks[2])) {
            mr = Masks::from(h.masks[0]);
            mg = Masks::from(h.masks[1]);
            mb = Masks::from(h.masks[2]);
            ma = Masks::from(h.masks[3]);
        } else if (info.bitCount == 16) {
            mr = Masks::from(0x7C00);
            mg = Masks::from(0x03E0);
            mb = Masks::from(0x001F);
        } else {
            mr = Masks::from(0x00FF0000);
            mg = Masks::from(0x0000FF00);
            mb = Masks::from(0x000000FF);
            ma = Masks::from(0xFF000000);
        }
    }

    for (int sy = 0; sy < rows; ++sy) {
        const auto *src = reinterpret_cast<const uchar *>(bits.data()) + qint64(sy) * stride;
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(rowFor(sy)));
        switch (info.bitCount) {
        case 1:
        case 2:
        case 4:
        case 8: {
            const int bpp = info.bitCount;
            const int perByte = 8 / bpp;
            const int mask = (1 << bpp) - 1;
            for (int x = 0; x < w; ++x) {
                const int byte = src[x / perByte];
                const int shift = 8 - bpp * (x % perByte + 1);
                line[x] = table[((byte >> shift) & mask) % table.size()];
            }
            break;
        }
        case 16:
            for (int x = 0; x < w; ++x) {
                const quint32 px = quint32(src[2 * x]) | (quint32(src[2 * x + 1]) << 8);
                line[x] = qRgb(mr.value(px), mg.value(px), mb.value(px));
            }
            break;
        case 24:
            for (int x = 0; x < w; ++x)
                line[x] = qRgb(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
            break;
        case 32:
            for (int x = 0; x < w; ++x) {
                const quint32 px = quint32(src[4 * x]) | (quint32(src[4 * x + 1]) << 8) |
                                   (quint32(src[4 * x + 2]) << 16) |
                                   (quint32(src[4 * x + 3]) << 24);
                const int a = alpha32 && ma.mask ? ma.value(px) : 255;
                line[x] = qRgba(mr.value(px), mg.value(px), mb.value(px), a);
            }
            break;
        default:
            break;
        }
    }
    return img;
}

} // namespace metafile
