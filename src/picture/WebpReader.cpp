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
    if (m_animated)
        return firstFrame();
    const QSize size =
        atLeast.width() < m_size.width() && atLeast.height() < m_size.height() ? atLeast : m_size;
    QString why;
    QImage image =
        allocateRaster(size.width(), size.height(),
                       m_alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32, &why);
    if (image.isNull())
        return Decoded::fail(why);

    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        return Decoded::fail(QStringLiteral("libwebp version mismatch"));
    config.options.use_threads = 1;
    if (size != m_size) {
        // libwebp scales each row as it is decoded: no full-size raster ever exists.
        config.options.use_scaling = 1;
        config.options.scaled_width = size.width();
        config.options.scaled_height = size.height();
    }
    config.output.colorspace = m_alpha ? kPremultiplied : kOpaque;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = image.bits();
    config.output.u.RGBA.stride = int(image.bytesPerLine());
    config.output.u.RGBA.size = size_t(image.sizeInBytes());
    const VP8StatusCode status = WebPDecode(reinterpret_cast<const uint8_t *>(m_bytes.constData()),
                                            size_t(m_bytes.size()), &config);
    WebPFreeDecBuffer(&config.output);
    if (status != VP8_STATUS_OK)
        return Decoded::fail(QStringLiteral("WebP data damaged (libwebp status %1)").arg(status));
    Decoded d;
    d.image = std::move(image);
    convertToSrgb(d.image, m_space);
    return d;
}

Decoded WebpReader::firstFrame() const
{
    // The decoder sets aside the whole canvas, which open() has checked.
    QString why;
    QImage image =
        allocateRaster(m_size.width(), m_size.height(), QImage::Format_ARGB32_Premultiplied, &why);
    if (image.isNull())
        return Decoded::fail(why);
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options))
        return Decoded::fail(QStringLiteral("libwebp version mismatch"));
    options.color_mode = kPremultiplied;
    options.use_threads = 1;
    const WebPData data = dataOf(m_bytes);
    WebPAnimDecoder *decoder = WebPAnimDecoderNew(&data, &options);
    if (!decoder)
        return Decoded::fail(QStringLiteral("WebP animation unreadable"));
    uint8_t *canvas = nullptr;
    int timestamp = 0;
    WebPAnimInfo info;
    const bool ok = WebPAnimDecoderGetInfo(decoder, &info) &&
                    QSize(int(info.canvas_width), int(info.canvas_height)) == m_size &&
                    WebPAnimDecoderGetNext(decoder, &canvas, &timestamp);
    if (ok) {
        for (int y = 0; y < m_size.height(); ++y)
            memcpy(image.scanLine(y), canvas + qsizetype(y) * m_size.width() * 4,
                   size_t(m_size.width()) * 4);
    }
    WebPAnimDecoderDelete(decoder);
    if (!ok)
        return Decoded::fail(QStringLiteral("WebP animation's first frame damaged"));
    Decoded d;
    d.image = std::move(image);
    convertToSrgb(d.image, m_space);
    return d;
}

} // namespace picture
