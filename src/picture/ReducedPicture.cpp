#include "ReducedPicture.h"

namespace picture {

ReducedPicture::ReducedPicture(std::unique_ptr<const Reader> reader)
    : m_reader(std::move(reader)), m_natural(m_reader->naturalSize())
{
}

ReducedPicture::Loaded ReducedPicture::load(std::unique_ptr<const Reader> reader,
                                            qreal devicePixelRatio, const DrawnSize &drawnSize)
{
    Loaded result;
    std::shared_ptr<ReducedPicture> picture(new ReducedPicture(std::move(reader)));
    const QSize natural = picture->m_natural;
    const QSize drawn = drawnSize ? drawnSize(natural) : QSize();
    const std::optional<QSize> fit = panelFitSize(natural, devicePixelRatio);
    const QSize first =
        !drawn.isEmpty() && showsShrunk(drawn, natural) ? drawn : fit.value_or(natural);
    // Nobody else sees the picture yet: no lock needed.
    Decoded d = picture->m_reader->preview();
    const bool previewCovers = d.ok() && showsShrunk(first, natural) &&
                               d.image.width() >= first.width() &&
                               d.image.height() >= first.height();
    if (d.ok() && !previewCovers) {
        picture->m_coarse = d.image;
        result.warning = d.warning;
        result.picture = std::move(picture);
        return result;
    }
    if (previewCovers && d.image.size() != first)
        d.image = d.image.scaled(first, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    else if (!previewCovers)
        d = showsShrunk(first, natural) ? picture->decodeShrunk(first)
                                        : picture->decodeCounted(natural);
    if (!d.ok()) {
        result.failure = d.failure.isEmpty() ? QStringLiteral("nothing decoded") : d.failure;
        return result;
    }
    result.warning = d.warning;
    if (showsShrunk(first, natural))
        picture->m_shrunk = d.image;
    else
        picture->m_full = d.image;
    picture->m_coarse = d.image;
    result.picture = std::move(picture);
    return result;
}

Decoded ReducedPicture::decodeCounted(QSize atLeast) const
{
    Decoded d = m_reader->decode(atLeast);
    QMutexLocker lock(&m_lock);
    ++m_stats.decodes;
    m_stats.lastDecoded = d.image.size();
    return d;
}

Decoded ReducedPicture::decodeShrunk(QSize deviceSize) const
{
    Decoded d = decodeCounted(deviceSize);
    if (d.ok() && d.image.size() != deviceSize)
        d.image = d.image.scaled(deviceSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return d;
}

QImage ReducedPicture::shrunkRaster(QSize deviceSize) const
{
    {
        QMutexLocker lock(&m_lock);
        if (m_shrunk.size() == deviceSize && !m_shrunk.isNull()) {
            // Back from a closer look: the natural-size raster is no longer needed.
            m_full = QImage();
            return m_shrunk;
        }
    }
    QImage image = decodedOrCoarse(decodeShrunk(deviceSize), deviceSize);
    QMutexLocker lock(&m_lock);
    m_shrunk = image;
    return image;
}

QImage ReducedPicture::naturalRaster() const
{
    {
        QMutexLocker lock(&m_lock);
        if (!m_full.isNull())
            return m_full;
    }
    QImage image = decodedOrCoarse(decodeCounted(m_natural), m_natural);
    QMutexLocker lock(&m_lock);
    m_full = image;
    return image;
}

// Only part of a file is read at load (a TIFF's reduced page, say), so damage in the
// rest shows up later: the picture then stays what the user has been shown, enlarged.
QImage ReducedPicture::decodedOrCoarse(const Decoded &d, QSize size) const
{
    const QImage &image = d.ok() ? d.image : m_coarse;
    if (image.size() == size)
        return image;
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

bool ReducedPicture::hasShrunkRaster(QSize deviceSize) const
{
    QMutexLocker lock(&m_lock);
    return m_shrunk.size() == deviceSize && !m_shrunk.isNull();
}

bool ReducedPicture::hasNaturalRaster() const
{
    QMutexLocker lock(&m_lock);
    return !m_full.isNull();
}

ReducedPicture::Stats ReducedPicture::stats() const
{
    QMutexLocker lock(&m_lock);
    return m_stats;
}

qint64 ReducedPicture::heldBytes() const
{
    QMutexLocker lock(&m_lock);
    qint64 bytes = m_reader->heldBytes() + m_coarse.sizeInBytes() + m_full.sizeInBytes();
    if (m_shrunk.constBits() != m_coarse.constBits())
        bytes += m_shrunk.sizeInBytes();
    return bytes;
}

} // namespace picture
