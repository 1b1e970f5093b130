#include "HeifDecoder.h"

#include "ColorSpaces.h"
#include "HeifClaims.h"
#include "Limits.h"

#include <QThread>
#include <libheif/heif.h>
#include <memory>
#include <vector>

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
        QColorSpace space = spaceToConvert(nclx->color_primaries, nclx->transfer_characteristics);
        heif_nclx_color_profile_free(nclx);
        return space;
    }
    default:
        return {};
    }
}

using Context = std::unique_ptr<heif_context, ContextFree>;
using Handle = std::unique_ptr<heif_image_handle, HandleRelease>;

// The file read for its boxes, and its primary picture checked against what its parts
// claim. libheif reads the boxes from data without copying it: it must outlive both.
struct Opened {
    Context context;
    Handle handle;
    QString failure;
};

Opened openPrimary(Bytes data)
{
    Opened o;
    if (!itemLocationsWellFormed(data)) {
        o.failure = QStringLiteral("HEIF item locations damaged");
        return o;
    }
    o.context.reset(heif_context_alloc());
    heif_context_set_maximum_image_size_limit(o.context.get(), int(kMaxSide));
    heif_context_set_max_decoding_threads(o.context.get(), QThread::idealThreadCount());
    heif_error error = heif_context_read_from_memory_without_copy(o.context.get(), data.data(),
                                                                  size_t(data.size()), nullptr);
    if (error.code != heif_error_Ok) {
        o.failure = reason("HEIF unreadable", error);
        return o;
    }
    heif_image_handle *rawHandle = nullptr;
    error = heif_context_get_primary_image_handle(o.context.get(), &rawHandle);
    if (error.code != heif_error_Ok) {
        o.failure = reason("HEIF has no picture", error);
        return o;
    }
    o.handle.reset(rawHandle);

    // Turned as the boxes say, so the sizes are the upright picture's.
    const int width = heif_image_handle_get_width(rawHandle);
    const int height = heif_image_handle_get_height(rawHandle);
    o.failure = checkRaster(width, height);
    if (!o.failure.isEmpty())
        return o;

    // No part may make a larger picture than the file says it holds (give or take
    // the coding blocks' padding, and either way round).
    const QSize claimed = largestClaimedSize(data);
    const int side = qMax(width, height) + 64;
    if (claimed.width() > side || claimed.height() > side) {
        o.failure = QStringLiteral("HEIF part too large for its picture (%1 x %2)")
                        .arg(claimed.width())
                        .arg(claimed.height());
        return o;
    }
    // The same bound for what libheif composes itself, such as a grid's canvas, whose
    // size only the decoder reads: a few bytes must not make it set aside gigabytes.
    heif_context_set_maximum_image_size_limit(o.context.get(), side);
    return o;
}

// One picture of the file (the primary or a thumbnail), upright, in sRGB.
Decoded decodeHandle(heif_image_handle *handle)
{
    const int width = heif_image_handle_get_width(handle);
    const int height = heif_image_handle_get_height(handle);
    const bool alpha = heif_image_handle_has_alpha_channel(handle);
    const std::unique_ptr<heif_decoding_options, OptionsFree> options(
        heif_decoding_options_alloc());
    options->convert_hdr_to_8bit = 1;
    heif_image *rawImage = nullptr;
    const heif_error error = heif_decode_image(
        handle, &rawImage, heif_colorspace_RGB,
        alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get());
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
               : heif_image_handle_is_premultiplied_alpha(handle)
                   ? QImage::Format_RGBA8888_Premultiplied
                   : QImage::Format_RGBA8888)
            .convertToFormat(alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (d.image.isNull())
        return Decoded::fail(
            QStringLiteral("out of memory for a %1 x %2 raster").arg(width).arg(height));
    convertToSrgb(d.image, colorSpaceOf(handle));
    return d;
}

// The file's thumbnail of its primary picture: smaller, and of the same shape, so
// one that was not turned as the picture is cannot pass for it.
Handle thumbnailOf(heif_image_handle *primary)
{
    const int count = heif_image_handle_get_number_of_thumbnails(primary);
    if (count <= 0)
        return nullptr;
    std::vector<heif_item_id> ids(static_cast<size_t>(count));
    heif_image_handle_get_list_of_thumbnail_IDs(primary, ids.data(), count);
    const qint64 width = heif_image_handle_get_width(primary);
    const qint64 height = heif_image_handle_get_height(primary);
    Handle best;
    for (const heif_item_id id : ids) {
        heif_image_handle *raw = nullptr;
        if (heif_image_handle_get_thumbnail(primary, id, &raw).code != heif_error_Ok)
            continue;
        Handle thumb(raw);
        const qint64 w = heif_image_handle_get_width(raw), h = heif_image_handle_get_height(raw);
        const bool sameShape = qAbs(w * height - h * width) * 50 <= width * height;
        if (w > 0 && h > 0 && w < width && h < height && sameShape &&
            (!best || w > heif_image_handle_get_width(best.get())))
            best = std::move(thumb);
    }
    return best;
}

} // namespace

Decoded decodeHeif(Bytes data)
{
    const Opened o = openPrimary(data);
    if (!o.failure.isEmpty())
        return Decoded::fail(o.failure);
    return decodeHandle(o.handle.get());
}

std::unique_ptr<const HeifReader> HeifReader::open(QByteArray bytes)
{
    // A file cut short fails its full decode at load, not after its thumbnail has
    // been shown.
    if (!itemDataWithinFile(Bytes(bytes)))
        return nullptr;
    const Opened o = openPrimary(Bytes(bytes));
    if (!o.failure.isEmpty())
        return nullptr;
    const Handle thumb = thumbnailOf(o.handle.get());
    if (!thumb)
        return nullptr;
    std::unique_ptr<HeifReader> reader(new HeifReader);
    reader->m_size = QSize(heif_image_handle_get_width(o.handle.get()),
                           heif_image_handle_get_height(o.handle.get()));
    reader->m_thumbnailSize =
        QSize(heif_image_handle_get_width(thumb.get()), heif_image_handle_get_height(thumb.get()));
    reader->m_bytes = std::move(bytes);
    return reader;
}

Decoded HeifReader::decode(QSize atLeast) const
{
    const bool thumbnailCovers =
        m_thumbnailSize.width() >= atLeast.width() && m_thumbnailSize.height() >= atLeast.height();
    return thumbnailCovers ? preview() : decodeHeif(Bytes(m_bytes));
}

Decoded HeifReader::preview() const
{
    // Each call opens the file afresh: a libheif context is not shared between threads.
    const Opened o = openPrimary(Bytes(m_bytes));
    if (!o.failure.isEmpty())
        return Decoded::fail(o.failure);
    const Handle thumb = thumbnailOf(o.handle.get());
    if (!thumb)
        return Decoded::fail(QStringLiteral("HEIF thumbnail gone"));
    return decodeHandle(thumb.get());
}

} // namespace picture
