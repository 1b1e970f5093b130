#include "JpegPicture.h"

#include "JpegDcImage.h"
#include "picture/Limits.h"
#include "picture/Orientation.h"

#include <atomic>

namespace picture {
namespace {

std::atomic<bool> fastPathEnabled{true};

} // namespace

void setJpegFastPathEnabled(bool enabled)
{
    fastPathEnabled.store(enabled, std::memory_order_relaxed);
}

bool jpegFastPathEnabled()
{
    return fastPathEnabled.load(std::memory_order_relaxed);
}

JpegPicture::Loaded JpegPicture::load(QByteArray bytes, qreal devicePixelRatio,
                                      const DrawnSize &drawnSize)
{
    Loaded result;
    std::shared_ptr<JpegPicture> picture(new JpegPicture);
    picture->m_bytes = std::move(bytes);
    JpegHeader &h = picture->m_header;
    if (!readJpegHeader(Bytes(picture->m_bytes), h, result.failure))
        return result;
    picture->m_natural = swapsSides(h.orientation) ? QSize(int(h.height), int(h.width))
                                                   : QSize(int(h.width), int(h.height));
    if (!h.iccProfile.isEmpty() && h.components == 3) {
        const QColorSpace space = QColorSpace::fromIccProfile(h.iccProfile);
        if (space.isValid() && space != QColorSpace(QColorSpace::SRgb))
            picture->m_colorSpace = space;
    }

    // Nobody else sees the picture yet: no lock needed.
    const std::optional<QSize> fit = panelFitSize(picture->m_natural, devicePixelRatio);
    const int denominator = fit ? picture->denominatorFor(*fit) : 1;
    const QSize drawn = drawnSize ? drawnSize(picture->m_natural) : QSize();
    const int drawnDenominator = drawn.isEmpty() ? denominator : picture->denominatorFor(drawn);
    if (showsShrunk(drawn, picture->m_natural) && drawnDenominator < denominator) {
        Decoded shrunk = picture->decodeShrunk(drawn, drawnDenominator);
        if (!shrunk.ok()) {
            result.failure = shrunk.failure;
            return result;
        }
        result.warning = shrunk.warning;
        picture->m_shrunk = std::move(shrunk.image);
        result.picture = std::move(picture);
        return result;
    }
    Decoded decoded = picture->decodeUpright(denominator);
    if (!decoded.ok()) {
        result.failure = decoded.failure;
        return result;
    }
    result.warning = decoded.warning;
    picture->m_decoded = std::move(decoded.image);
    picture->m_decodedDenominator = denominator;
    picture->m_coarse = picture->m_decoded;
    if (fit)
        picture->m_shrunk =
            picture->m_decoded.scaled(*fit, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    result.picture = std::move(picture);
    return result;
}

int JpegPicture::denominatorFor(QSize deviceSize) const
{
    const QSize stored = swapsSides(m_header.orientation) ? deviceSize.transposed() : deviceSize;
    for (int d : kJpegDenominators) {
        if (jpegScaledSide(m_header.width, d) >= stored.width() &&
            jpegScaledSide(m_header.height, d) >= stored.height())
            return d;
    }
    return 1;
}

int JpegPicture::eighthsFor(QSize deviceSize, int denominator) const
{
    // Only the large scales are worth it: between a half and the whole, and between a
    // quarter and a half, libjpeg-turbo also decodes at 5, 6, 7 and 3 eighths.
    if (denominator > 2)
        return 0;
    const QSize stored = swapsSides(m_header.orientation) ? deviceSize.transposed() : deviceSize;
    const int whole = 8 / denominator;
    for (int eighths = whole / 2 + 1; eighths < whole; ++eighths) {
        if ((m_header.width * eighths + 7) / 8 >= stored.width() &&
            (m_header.height * eighths + 7) / 8 >= stored.height())
            return eighths;
    }
    return 0;
}

Decoded JpegPicture::decodeUpright(int denominator, int numerator) const
{
    // A file shown at an eighth needs only its DC coefficients: a progressive file's
    // DC scans, a sequential one's first Huffman code of each block. Other kinds of
    // file decodeEighth leaves to libjpeg.
    Decoded d = denominator == 8 && numerator == 1 && jpegFastPathEnabled()
                    ? JpegDcImage::decodeEighth(Bytes(m_bytes))
                    : decodeJpeg(Bytes(m_bytes), denominator, numerator);
    {
        QMutexLocker lock(&m_lock);
        ++m_stats.decodes;
        m_stats.lastDenominator = denominator;
        m_stats.lastNumerator = numerator;
    }
    if (!d.ok())
        return d;
    if (m_header.orientation != 1)
        d.image = applyOrientation(d.image, m_header.orientation);
    if (m_colorSpace.isValid()) {
        d.image.setColorSpace(m_colorSpace);
        d.image.convertToColorSpace(QColorSpace::SRgb);
    }
    return d;
}

Decoded JpegPicture::decodedAt(int denominator) const
{
    {
        QMutexLocker lock(&m_lock);
        if (m_decodedDenominator == denominator && !m_decoded.isNull()) {
            Decoded kept;
            kept.image = m_decoded;
            return kept;
        }
        // Let go of the old raster first: the peak is then one raster, not two.
        m_decoded = QImage();
        m_decodedDenominator = 0;
    }
    Decoded d = decodeUpright(denominator);
    if (!d.ok())
        return d;
    QMutexLocker lock(&m_lock);
    m_decoded = d.image;
    m_decodedDenominator = denominator;
    return d;
}

QImage JpegPicture::shrunkRaster(QSize deviceSize) const
{
    const int denominator = denominatorFor(deviceSize);
    {
        QMutexLocker lock(&m_lock);
        if (m_shrunk.size() == deviceSize && !m_shrunk.isNull()) {
            // Back from a closer look: the larger raster made for it is no longer needed.
            if (m_decodedDenominator < denominator) {
                m_decoded = QImage();
                m_decodedDenominator = 0;
            }
            return m_shrunk;
        }
    }
    Decoded shrunk = decodeShrunk(deviceSize, denominator);
    if (!shrunk.ok())
        return {};
    QMutexLocker lock(&m_lock);
    m_shrunk = shrunk.image;
    return shrunk.image;
}

Decoded JpegPicture::decodeShrunk(QSize deviceSize, int denominator) const
{
    // A large raster, as the full-screen view wants, comes from the fewest eighths that
    // cover it; that decode is not kept, as the shrunk raster is all it is for.
    Decoded d;
    if (const int eighths = eighthsFor(deviceSize, denominator)) {
        d = decodeUpright(8, eighths);
    } else {
        d = decodedAt(denominator);
    }
    if (d.ok() && d.image.size() != deviceSize)
        d.image = d.image.scaled(deviceSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return d;
}

int JpegPicture::naturalDenominator() const
{
    for (int d : {1, 2, 4, 8}) {
        // A picture too large to hold in full is shown from the largest scale that fits.
        const qint64 bytes =
            jpegScaledSide(m_header.width, d) * jpegScaledSide(m_header.height, d) * 4;
        if (bytes <= kMaxRasterBytes)
            return d;
    }
    return 8;
}

QImage JpegPicture::naturalRaster() const
{
    for (int d = naturalDenominator(); d <= 8; d *= 2) {
        QImage decoded = decodedAt(d).image;
        if (!decoded.isNull())
            return decoded;
    }
    return {};
}

bool JpegPicture::hasShrunkRaster(QSize deviceSize) const
{
    QMutexLocker lock(&m_lock);
    return m_shrunk.size() == deviceSize && !m_shrunk.isNull();
}

bool JpegPicture::hasNaturalRaster() const
{
    const int denominator = naturalDenominator();
    QMutexLocker lock(&m_lock);
    return m_decodedDenominator == denominator && !m_decoded.isNull();
}

QImage JpegPicture::coarseRaster() const
{
    return m_coarse;
}

qint64 JpegPicture::heldBytes() const
{
    return stats().cachedBytes + m_bytes.size();
}

QImage JpegPicture::rasterAt(QSize deviceSize) const
{
    const bool shrunk = showsShrunk(deviceSize, m_natural);
    const int denominator = shrunk ? denominatorFor(deviceSize) : naturalDenominator();
    const int eighths = shrunk ? eighthsFor(deviceSize, denominator) : 0;
    const Decoded d = eighths ? decodeUpright(8, eighths) : decodeUpright(denominator);
    if (!d.ok() || d.image.size() == deviceSize)
        return d.image;
    return d.image.scaled(deviceSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage JpegPicture::toImage() const
{
    {
        QMutexLocker lock(&m_lock);
        if (m_decodedDenominator == 1 && !m_decoded.isNull())
            return m_decoded;
    }
    // Not kept: the clipboard takes its copy and the view goes on at its own size.
    const Decoded d = decodeUpright(1);
    return d.ok() ? d.image : QImage();
}

JpegPicture::Stats JpegPicture::stats() const
{
    QMutexLocker lock(&m_lock);
    Stats s = m_stats;
    s.cachedBytes = m_decoded.sizeInBytes();
    const QImage *const others[] = {&m_shrunk, &m_coarse};
    for (const QImage *other : others) {
        if (other->constBits() != m_decoded.constBits())
            s.cachedBytes += other->sizeInBytes();
    }
    return s;
}

} // namespace picture
