#include "RecordBitmap.h"

#include "picture/BmpDecoder.h"
#include "picture/PngDecoder.h"
#include "picture/jpeg/JpegDecoder.h"

namespace metafile {

namespace {

// One record's bitmap may not take more than this; a metafile holds many.
constexpr qint64 kMaxBitmapBytes = qint64(256) << 20;

std::optional<QImage> usable(const picture::Decoded &decoded)
{
    if (!decoded.ok())
        return std::nullopt;
    return decoded.image;
}

std::optional<QImage> decodeEmbedded(QByteArrayView bits, const char *format, bool keepAlpha)
{
    const picture::Bytes data(bits);
    if (qstrcmp(format, "JPEG") == 0)
        return usable(picture::decodeJpeg(data, 1));
    const auto png = picture::peekPng(data);
    if (!png || png->width * png->height * 4 > kMaxBitmapBytes)
        return std::nullopt;
    auto image = usable(picture::decodePng(data));
    // Only alpha blending sees through it; everywhere else it is opaque.
    if (image && !keepAlpha && image->hasAlphaChannel())
        *image =
            image->convertToFormat(QImage::Format_ARGB32).convertToFormat(QImage::Format_RGB32);
    return image;
}

picture::DibOptions pictureOptions(const DibOptions &options)
{
    picture::DibOptions o;
    o.table = options.usage == 1   ? picture::DibColorTable::PaletteIndexes
              : options.usage == 2 ? picture::DibColorTable::None
                                   : picture::DibColorTable::Colors;
    o.palette = options.palette;
    o.rawAlpha = options.keepAlpha;
    o.maxRasterBytes = kMaxBitmapBytes;
    return o;
}

} // namespace

std::optional<QImage> decodeDib(QByteArrayView headerAndBits, const DibOptions &options)
{
    const picture::Bytes dib(headerAndBits);
    if (const auto summary = picture::peekDib(dib); summary && summary->embeddedFormat)
        return decodeEmbedded(dib.mid(dib.u32le(0)).view(), summary->embeddedFormat,
                              options.keepAlpha);
    return usable(picture::decodePackedDib(dib, pictureOptions(options)));
}

std::optional<QImage> decodeDib(QByteArrayView header, QByteArrayView bits,
                                const DibOptions &options)
{
    if (const auto summary = picture::peekDib(picture::Bytes(header));
        summary && summary->embeddedFormat)
        return decodeEmbedded(bits, summary->embeddedFormat, options.keepAlpha);
    return usable(
        picture::decodeDib(picture::Bytes(header), picture::Bytes(bits), pictureOptions(options)));
}

bool isBottomUpDib(QByteArrayView header)
{
    const auto summary = picture::peekDib(picture::Bytes(header));
    return summary && !summary->topDown;
}

} // namespace metafile
