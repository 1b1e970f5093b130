#include "AvifDecoder.h"

#include "ColorSpaces.h"
#include "Limits.h"

#include <QThread>
#include <QTransform>
#include <avif/avif.h>
#include <memory>

namespace picture {

namespace {

struct DecoderDestroy {
    void operator()(avifDecoder *d) const { avifDecoderDestroy(d); }
};

QString reason(const char *what, avifResult result)
{
    return QStringLiteral("%1: %2").arg(QString::fromUtf8(what),
                                        QString::fromUtf8(avifResultToString(result)));
}

// The boxes turn first, then mirror.
QImage upright(const QImage &stored, const avifImage &image)
{
    QImage out = stored;
    if ((image.transformFlags & AVIF_TRANSFORM_IROT) && image.irot.angle % 4 != 0)
        out = out.transformed(QTransform().rotate(-90.0 * image.irot.angle)); // anticlockwise
    if (image.transformFlags & AVIF_TRANSFORM_IMIR)
        out = image.imir.mode == 0 ? out.mirrored(false, true) : out.mirrored(true, false);
    return out;
}

QColorSpace colorSpaceOf(const avifImage &image)
{
    if (image.icc.size > 0)
        return spaceToConvert(
            QByteArray(reinterpret_cast<const char *>(image.icc.data), qsizetype(image.icc.size)));
    return spaceToConvert(image.colorPrimaries, image.transferCharacteristics);
}

} // namespace

Decoded decodeAvif(Bytes data)
{
    const std::unique_ptr<avifDecoder, DecoderDestroy> decoder(avifDecoderCreate());
    if (!decoder)
        return Decoded::fail(QStringLiteral("libavif unavailable"));
    decoder->maxThreads = QThread::idealThreadCount();
    // What the other viewers show, small departures from the standard included.
    decoder->strictFlags = AVIF_STRICT_DISABLED;
    decoder->ignoreExif = AVIF_TRUE; // the boxes, not Exif, say how it is turned
    decoder->ignoreXMP = AVIF_TRUE;
    // libavif takes no limits above its own.
    decoder->imageSizeLimit = uint32_t(qMin<qint64>(kMaxPixels, AVIF_DEFAULT_IMAGE_SIZE_LIMIT));
    decoder->imageDimensionLimit =
        uint32_t(qMin<qint64>(kMaxSide, AVIF_DEFAULT_IMAGE_DIMENSION_LIMIT));
    avifResult result = avifDecoderSetIOMemory(decoder.get(), data.data(), size_t(data.size()));
    if (result == AVIF_RESULT_OK)
        result = avifDecoderParse(decoder.get());
    if (result != AVIF_RESULT_OK)
        return Decoded::fail(reason("AVIF unreadable", result));

    // The container's sizes, checked before any pixel is decoded.
    if (const QString bad = checkRaster(decoder->image->width, decoder->image->height);
        !bad.isEmpty())
        return Decoded::fail(bad);
    // Nor may the coded stream hold more pixels than the container says the picture has.
    decoder->imageSizeLimit = qMax<uint32_t>(1, decoder->image->width * decoder->image->height);
    result = avifDecoderNextImage(decoder.get());
    if (result != AVIF_RESULT_OK)
        return Decoded::fail(reason("AVIF data damaged", result));
    const avifImage &decoded = *decoder->image;
    QString why;
    QImage image = allocateRaster(
        decoded.width, decoded.height,
        decoder->alphaPresent ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32, &why);
    if (image.isNull())
        return Decoded::fail(why);

    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, &decoded);
    rgb.depth = 8; // deeper samples are rounded to 8 bits
    rgb.format = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? AVIF_RGB_FORMAT_BGRA : AVIF_RGB_FORMAT_ARGB;
    rgb.alphaPremultiplied = decoder->alphaPresent ? AVIF_TRUE : AVIF_FALSE;
    rgb.pixels = image.bits();
    rgb.rowBytes = uint32_t(image.bytesPerLine());
    result = avifImageYUVToRGB(&decoded, &rgb);
    if (result != AVIF_RESULT_OK)
        return Decoded::fail(reason("AVIF colours unconvertible", result));

    Decoded d;
    d.image = upright(image, decoded);
    convertToSrgb(d.image, colorSpaceOf(decoded));
    return d;
}

} // namespace picture
