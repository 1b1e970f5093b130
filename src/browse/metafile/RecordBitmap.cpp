#include "RecordBitmap.h"

#include "browse/picture/BmpDecoder.h"
#include "browse/picture/JpegDecoder.h"
#include "browse/picture/Limits.h"

#include <QBuffer>
#include <QImageReader>

namespace metafile {

namespace {

// One record's bitmap may not take more than this; a metafile holds many.
constexpr qint64 kMaxBitmapBytes = qint64(256) << 20;
constexpr qint64 kMaxEmbeddedSide = 16384;

std::optional<QImage> usable(const picture::Decoded &decoded)
{
    if (!decoded.ok())
        return std::nullopt;
    return decoded.image;
}

std::optional<QImage> decodeEmbedded(QByteArrayView bits, const char *format, bool keepAlpha)
{
    if (qstrcmp(format, "JPEG") == 0)
        return usable(picture::decodeJpeg(picture::Bytes(bits), 1));
    QByteArray copy = bits.toByteArray();
    QBuffer buffer(&copy);
    QImageReader reader(&buffer, format);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > kMaxEmbeddedSide || size.height() > kMaxEmbeddedSide)
        return std::nullopt;
    reader.setAllocationLimit(picture::readerAllocationLimitMb(size.width(), size.height()));
    QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    return image.convertToFormat(image.hasAlphaChannel() && keepAlpha
                                     ? QImage::Format_ARGB32_Premultiplied
                                     : QImage::Format_RGB32);
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
