#include "PngDecoder.h"

#include "Limits.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>
#include <algorithm>

namespace picture {

bool isPng(Bytes data)
{
    static constexpr uchar kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (!data.has(0, 8))
        return false;
    return std::equal(std::begin(kSignature), std::end(kSignature), data.data());
}

std::optional<PngSummary> peekPng(Bytes data)
{
    if (!data.has(0, 26) || data.u32be(12) != 0x49484452) // "IHDR"
        return std::nullopt;
    static constexpr int kChannels[] = {1, 0, 3, 1, 2, 0, 4};
    const int type = data.u8(25);
    const int channels = type < 7 ? kChannels[type] : 0;
    if (channels == 0)
        return std::nullopt;
    return PngSummary{data.u32be(16), data.u32be(20), data.u8(24) * channels};
}

namespace {

// Whether every chunk lies within the data. libpng sets aside a chunk's declared
// length before reading it, so a few bytes could otherwise ask for gigabytes.
bool chunksFit(Bytes data)
{
    constexpr quint32 kEnd = 0x49454E44; // "IEND"
    qint64 at = 8;
    while (data.has(at, 8)) {
        const qint64 length = data.u32be(at);
        if (length > data.size() - at - 12) // length, type and checksum around the data
            return false;
        if (data.u32be(at + 4) == kEnd)
            break;
        at += 12 + length;
    }
    return true;
}

} // namespace

Decoded decodePng(Bytes data)
{
    const std::optional<PngSummary> png = peekPng(data);
    if (!png)
        return Decoded::fail(QStringLiteral("PNG header unreadable"));
    const QString bad = checkDimensions(png->width, png->height);
    if (!bad.isEmpty())
        return Decoded::fail(bad);
    if (png->width * png->height * 4 > kMaxRasterBytes)
        return Decoded::fail(QStringLiteral("PNG image too large"));
    if (!chunksFit(data))
        return Decoded::fail(QStringLiteral("PNG chunk longer than the data"));
    QByteArray raw = QByteArray::fromRawData(reinterpret_cast<const char *>(data.data()),
                                             static_cast<qsizetype>(data.size()));
    QBuffer buffer(&raw);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    reader.setAllocationLimit(readerAllocationLimitMb(png->width, png->height));
    Decoded d;
    if (!reader.read(&d.image))
        return Decoded::fail(QStringLiteral("PNG: %1").arg(reader.errorString()));
    d.iccProfile = d.image.colorSpace().iccProfile();
    d.image.convertTo(d.image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                : QImage::Format_RGB32);
    return d;
}

} // namespace picture
