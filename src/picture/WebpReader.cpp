#include "WebpReader.h"

#include "ColorSpaces.h"
#include "Limits.h"

#include <webp/decode.h>
#include <webp/demux.h>

namespace picture {

namespace {

// libwebp's byte orders that are Qt's 32-bit formats on this machine.
constexpr WEBP_CSP_MODE kPremultiplied = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? MODE_bgrA : MODE_Argb;
constexpr WEBP_CSP_MODE kOpaque = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? MODE_BGRA : MODE_ARGB;

WebPData dataOf(const QByteArray &bytes)
{
    return {reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size())};
}

QByteArray iccProfileOf(const QByteArray &bytes)
{
    const WebPData data = dataOf(bytes);
    WebPDemuxer *demux = WebPDemux(&data);
    if (!demux)
        return {};
    QByteArray profile;
    WebPChunkIterator chunk;
    if (WebPDemuxGetChunk(demux, "ICCP", 1, &chunk)) {
        profile = QByteArray(reinterpret_cast<const char *>(chunk.chunk.bytes),
                             qsizetype(chunk.chunk.size));
        WebPDemuxReleaseChunkIterator(&chunk);
    }
    WebPDemuxDelete(demux);
    return profile;
}

// libwebp scales each row as it is decoded: no larger raster than the target exists.
VP8StatusCode decodeInto(WebPData data, QImage &target)
{
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        return VP8_STATUS_INVALID_PARAM;
    config.options.use_threads = 1;
    int width = 0;
    int height = 0;
    if (!WebPGetInfo(data.bytes, data.size, &width, &height))
        return VP8_STATUS_BITSTREAM_ERROR;
    if (QSize(width, height) != target.size()) {
        config.options.use_scaling = 1;
        config.options.scaled_width = target.width();
        config.options.scaled_height = target.height();
    }
    config.output.colorspace = target.hasAlphaChannel() ? kPremultiplied : kOpaque;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = target.bits();
    config.output.u.RGBA.stride = int(target.bytesPerLine());
    config.output.u.RGBA.size = size_t(target.sizeInBytes());
    const VP8StatusCode status = WebPDecode(data.bytes, data.size, &config);
    WebPFreeDecBuffer(&config.output);
    return status;
}

} // namespace

std::unique_ptr<const WebpReader> WebpReader::open(QByteArray bytes, QString *why)
{
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size()),
                        &features) != VP8_STATUS_OK) {
        *why = QStringLiteral("WebP header unreadable");
        return nullptr;
    }
    // The canvas, which an animation's frames are composed on, is the picture.
    *why = checkDimensions(features.width, features.height);
    if (!why->isEmpty())
        return nullptr;
    std::unique_ptr<WebpReader> reader(new WebpReader);
    reader->m_size = QSize(features.width, features.height);
    reader->m_alpha = features.has_alpha;
    reader->m_animated = features.has_animation;
    reader->m_space = spaceToConvert(iccProfileOf(bytes));
    reader->m_bytes = std::move(bytes);
    return reader;
}

Decoded WebpReader::decode(QSize atLeast) const
{
    const QSize size =
        atLeast.width() < m_size.width() && atLeast.height() < m_size.height() ? atLeast : m_size;
    if (m_animated)
        return firstFrame(size);
    QString why;
    QImage image =
        allocateRaster(size.width(), size.height(),
                       m_alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32, &why);
    if (image.isNull())
        return Decoded::fail(why);
    const VP8StatusCode status = decodeInto(dataOf(m_bytes), image);
    if (status != VP8_STATUS_OK)
        return Decoded::fail(QStringLiteral("WebP data damaged (libwebp status %1)").arg(status));
    Decoded d;
    d.image = std::move(image);
    convertToSrgb(d.image, m_space);
    return d;
}

// The first frame on a clear canvas, which is all the first frame can be blended onto.
// The frame is decoded, scaled, before the canvas is set aside, so a damaged one costs
// nothing and a vast canvas with a small frame costs no more than the raster drawn.
Decoded WebpReader::firstFrame(QSize size) const
{
    const WebPData data = dataOf(m_bytes);
    WebPDemuxer *demux = WebPDemux(&data);
    if (!demux)
        return Decoded::fail(QStringLiteral("WebP animation unreadable"));
    WebPIterator frame;
    QImage pixels;
    QRect place;
    VP8StatusCode status = VP8_STATUS_BITSTREAM_ERROR;
    if (WebPDemuxGetFrame(demux, 1, &frame)) {
        const double sx = double(size.width()) / m_size.width();
        const double sy = double(size.height()) / m_size.height();
        place = QRect(QPoint(qRound(frame.x_offset * sx), qRound(frame.y_offset * sy)),
                      QPoint(qRound((frame.x_offset + frame.width) * sx) - 1,
                             qRound((frame.y_offset + frame.height) * sy) - 1))
                    .intersected(QRect(QPoint(0, 0), size));
        QString why;
        if (!place.isEmpty())
            pixels = allocateRaster(place.width(), place.height(),
                                    QImage::Format_ARGB32_Premultiplied, &why);
        if (!pixels.isNull())
            status = decodeInto(frame.fragment, pixels);
        WebPDemuxReleaseIterator(&frame);
    }
    WebPDemuxDelete(demux);
    if (status != VP8_STATUS_OK)
        return Decoded::fail(QStringLiteral("WebP animation's first frame damaged"));
    QString why;
    QImage canvas =
        allocateRaster(size.width(), size.height(), QImage::Format_ARGB32_Premultiplied, &why);
    if (canvas.isNull())
        return Decoded::fail(why);
    canvas.fill(Qt::transparent);
    for (int y = 0; y < place.height(); ++y)
        memcpy(canvas.scanLine(place.y() + y) + qsizetype(place.x()) * 4, pixels.constScanLine(y),
               size_t(place.width()) * 4);
    Decoded d;
    d.image = std::move(canvas);
    convertToSrgb(d.image, m_space);
    return d;
}

} // namespace picture
