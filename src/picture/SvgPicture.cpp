#include "SvgPicture.h"

#include "Limits.h"
#include "SvgDocument.h"

#include <QPainter>
#include <QSvgRenderer>

namespace picture {

namespace {

// A renderer of its own for each drawing: no object is shared between threads,
// and no animation timer is started.
void renderDocument(const QByteArray &document, QPainter &painter, const QRectF &target)
{
    QSvgRenderer renderer;
    renderer.setFramesPerSecond(0);
    if (renderer.load(document))
        renderer.render(&painter, target);
}

// Larger views are drawn straight onto the painter instead of through an image.
constexpr qint64 kMaxCachedPixels = qint64(8192) * 8192;

} // namespace

std::shared_ptr<const SvgPicture> SvgPicture::load(const QByteArray &bytes, QString *why)
{
    std::optional<QByteArray> text(bytes);
    if (isGzip(bytes)) {
        text = gunzip(bytes, kMaxSvgBytes);
        if (!text) {
            *why = QStringLiteral("SVGZ damaged or unpacking to more than %1 MB")
                       .arg(kMaxSvgBytes >> 20);
            return nullptr;
        }
    }
    if (text->size() > kMaxSvgBytes) {
        *why = QStringLiteral("SVG larger than %1 MB").arg(kMaxSvgBytes >> 20);
        return nullptr;
    }
    std::optional<QByteArray> document = safeSvg(*text, why);
    if (!document)
        return nullptr;
    QSvgRenderer renderer;
    renderer.setFramesPerSecond(0);
    if (!renderer.load(*document)) {
        *why = QStringLiteral("SVG not readable");
        return nullptr;
    }
    const QSizeF size = renderer.viewBoxF().size();
    const QSize natural = renderer.defaultSize();
    *why = checkDimensions(natural.width(), natural.height());
    if (!why->isEmpty() || size.isEmpty())
        return nullptr;
    std::shared_ptr<SvgPicture> picture(new SvgPicture);
    picture->m_document = std::move(*document);
    picture->m_natural = natural;
    return picture;
}

QImage SvgPicture::render(QSize size, const QRectF &target) const
{
    QImage image = allocateRaster(size.width(), size.height(), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    renderDocument(m_document, painter, target);
    return image;
}

qint64 SvgPicture::heldBytes() const
{
    QMutexLocker lock(&m_cacheLock);
    return m_document.size() + m_cache.image.sizeInBytes();
}

QImage SvgPicture::toImage() const
{
    return render(m_natural, QRectF(QPointF(0, 0), QSizeF(m_natural)));
}

void SvgPicture::draw(QPainter &painter, const QRectF &target) const
{
    if (target.isEmpty())
        return;
    const PaintedArea area = paintedArea(painter);
    QRectF visible = area.toPixels.mapRect(target);
    const QRectF deviceTarget = visible;
    if (!area.devicePixels.isEmpty())
        visible &= area.devicePixels;
    if (painter.hasClipping())
        visible &= area.toPixels.mapRect(painter.clipBoundingRect());
    const QRect pixels = visible.toAlignedRect();
    bool invertible = false;
    const QTransform toLogical = area.toPixels.inverted(&invertible);
    if (pixels.isEmpty() || !invertible)
        return;
    if (area.toPixels.type() > QTransform::TxScale ||
        qint64(pixels.width()) * pixels.height() > kMaxCachedPixels) {
        // Turned, or larger than any screen: drawn straight, clipped to the target.
        painter.save();
        painter.setClipRect(target, Qt::IntersectClip);
        renderDocument(m_document, painter, target);
        painter.restore();
        return;
    }
    QImage image;
    {
        QMutexLocker lock(&m_cacheLock);
        if (m_cache.visible == pixels && m_cache.target == deviceTarget)
            image = m_cache.image;
    }
    if (image.isNull()) {
        // Only the visible device pixels are drawn, however far the picture is zoomed.
        image = render(pixels.size(), deviceTarget.translated(-pixels.topLeft()));
        if (image.isNull())
            return;
        QMutexLocker lock(&m_cacheLock);
        m_cache = Cache{pixels, deviceTarget, image};
    }
    painter.drawImage(toLogical.mapRect(QRectF(pixels)), image);
}

} // namespace picture
