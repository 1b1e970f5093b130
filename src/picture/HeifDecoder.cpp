#include "HeifDecoder.h"

#include "ColorSpaces.h"
#include "HeifClaims.h"
#include "Limits.h"

#include <QThread>
#include <libheif/heif.h>
#include <memory>

namespace picture {

namespace {

struct ContextFree {
    void operator()(heif_context *c) const { heif_context_free(c); }
};
struct HandleRelease {
    void operator()(heif_image_handle *h) const { heif_image_handle_release(h); }
};
struct ImageRelease {
    void operator()(heif_image *i) const { heif_image_release(i); }
};
struct OptionsFree {
    void operator()(heif_decoding_options *o) const { heif_decoding_options_free(o); }
};

QString reason(const char *what, const heif_error &error)
{
    return QStringLiteral("%1: %2").arg(QString::fromUtf8(what), QString::fromUtf8(error.message));
}

// The profile or the code points the file gives for its colours.
QColorSpace colorSpaceOf(const heif_image_handle *handle)
{
    switch (heif_image_handle_get_color_profile_type(handle)) {
    case heif_color_profile_type_prof:
    case heif_color_profile_type_rICC: {
        QByteArray profile(qsizetype(heif_image_handle_get_raw_color_profile_size(handle)), '\0');
        if (heif_image_handle_get_raw_color_profile(handle, profile.data()).code != heif_error_Ok)
            return {};
        return spaceToConvert(profile);
    }
    case heif_color_profile_type_nclx: {
        heif_color_profile_nclx *nclx = nullptr;
        if (heif_image_handle_get_nclx_color_profile(handle, &nclx).code != heif_error_Ok)
            return {};
        const QColorSpace space =
            spaceToConvert(nclx->color_primaries, nclx->transfer_characteristics);
        heif_nclx_color_profile_free(nclx);
        return space;
    }
    default:
        return {};
    }
}

} // namespace

Decoded decodeHeif(Bytes data)
{
    std::unique_ptr<heif_context, ContextFree> context(heif_context_alloc());
    heif_context_set_maximum_image_size_limit(context.get(), int(kMaxSide));
    heif_context_set_max_decoding_threads(context.get(), QThread::idealThreadCount());
    heif_error error = heif_context_read_from_memory_without_copy(context.get(), data.data(),
                                                                  size_t(data.size()), nullptr);
    if (error.code != heif_error_Ok)
        return Decoded::fail(reason("HEIF unreadable", error));
    heif_image_handle *rawHandle = nullptr;
    error = heif_context_get_primary_image_handle(context.get(), &rawHandle);
    if (error.code != heif_error_Ok)
        return Decoded::fail(reason("HEIF has no picture", error));
    const std::unique_ptr<heif_image_handle, HandleRelease> handle(rawHandle);

    // Turned as the boxes say, so the sizes are the upright picture's.
    const int width = heif_image_handle_get_width(handle.get());
    const int height = heif_image_handle_get_height(handle.get());
    const QString bad = checkRaster(width, height);
    if (!bad.isEmpty())
        return Decoded::fail(bad);

    // No part may make a larger picture than the file says it holds (give or take
    // the coding blocks' padding, and either way round).
    const QSize claimed = largestClaimedSize(data);
    const int side = qMax(width, height) + 64;
    if (claimed.width() > side || claimed.height() > side)
        return Decoded::fail(QStringLiteral("HEIF part too large for its picture (%1 x %2)")
                                 .arg(claimed.width())
                                 .arg(claimed.height()));
    // The same bound for what libheif composes itself, such as a grid's canvas, whose
    // size only the decoder reads: a few bytes must not make it set aside gigabytes.
    heif_context_set_maximum_image_size_limit(context.get(), side);

    const bool alpha = heif_image_handle_has_alpha_channel(handle.get());
    const std::unique_ptr<heif_decoding_options, OptionsFree> options(
        heif_decoding_options_alloc());
    options->convert_hdr_to_8bit = 1;
    heif_image *rawImage = nullptr;
    error = heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB,
                              alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                              options.get());
    if (error.code != heif_error_Ok)
        return Decoded::fail(reason("HEIF data damaged", error));
    const std::unique_ptr<heif_image, ImageRelease> decoded(rawImage);
    int stride = 0;
    const uint8_t *pixels =
        heif_image_get_plane_readonly(decoded.get(), heif_channel_interleaved, &stride);
    if (!pixels || heif_image_get_width(decoded.get(), heif_channel_interleaved) != width ||
        heif_image_get_height(decoded.get(), heif_channel_interleaved) != height)
        return Decoded::fail(QStringLiteral("HEIF decoded to an unexpected size"));

    // One pass from libheif's buffer into the viewer's format.
    Decoded d;
    d.image =
        QImage(pixels, width, height, stride,
               !alpha ? QImage::Format_RGB888
               : heif_image_handle_is_premultiplied_alpha(handle.get())
                   ? QImage::Format_RGBA8888_Premultiplied
                   : QImage::Format_RGBA8888)
            .convertToFormat(alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (d.image.isNull())
        return Decoded::fail(
            QStringLiteral("out of memory for a %1 x %2 raster").arg(width).arg(height));
    convertToSrgb(d.image, colorSpaceOf(handle.get()));
    return d;
}

} // namespace picture
