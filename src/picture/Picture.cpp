#include "Picture.h"

#include <QPainter>

qint64 Picture::heldBytes() const
{
    const QSize natural = naturalSize();
    return qint64(natural.width()) * natural.height() * 4;
}

QImage Picture::rasterAt(QSize deviceSize) const
{
    QImage raster(deviceSize, QImage::Format_ARGB32_Premultiplied);
    if (raster.isNull())
        return {};
    raster.fill(Qt::transparent);
    QPainter painter(&raster);
    draw(painter, QRectF(QPointF(0, 0), QSizeF(deviceSize)));
    return raster;
}

RasterPicture::RasterPicture(QImage image) : m_image(std::move(image)) {}

PictureRef RasterPicture::fromImage(const QImage &image)
{
    return std::make_shared<const RasterPicture>(image);
}

PictureRef RasterPicture::fromResource(const QString &path)
{
    return fromImage(QImage(path));
}

void RasterPicture::draw(QPainter &painter, const QRectF &target) const
{
    if (m_image.isNull() || target.isEmpty())
        return;
    const bool scaled = target.size() != QSizeF(m_image.size());
    painter.save();
    // Smooth filtering only when shrinking: an enlarged picture should show its pixels.
    painter.setRenderHint(QPainter::SmoothPixmapTransform,
                          scaled && target.width() < m_image.width());
    painter.drawImage(target, m_image);
    painter.restore();
}
