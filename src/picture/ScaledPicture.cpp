#include "ScaledPicture.h"

#include "picture/FitArithmetic.h"

#include <QGuiApplication>
#include <QPaintDevice>
#include <QPainter>
#include <QThread>
#include <cmath>

namespace picture {

QSizeF ScaledPicture::deviceSize(const QPainter &painter, const QSizeF &target)
{
    // The device transform is the world transform with the device's pixel ratio
    // already applied.
    const QTransform t = painter.deviceTransform();
    return {target.width() * std::hypot(t.m11(), t.m12()),
            target.height() * std::hypot(t.m21(), t.m22())};
}

std::optional<QSize> ScaledPicture::panelFitSize(QSize natural, qreal devicePixelRatio)
{
    const FitResult fit = fitIntoPictureArea(
        {static_cast<float>(natural.width()), static_cast<float>(natural.height())},
        kPanelInnerWidth, kPanelInnerHeight);
    if (!fit.stretched)
        return std::nullopt;
    const QSize device(qMax(1, qRound(fit.size.width * devicePixelRatio)),
                       qMax(1, qRound(fit.size.height * devicePixelRatio)));
    if (device.width() > natural.width() || device.height() > natural.height() || device == natural)
        return std::nullopt;
    return device;
}

namespace {
thread_local int t_plainPixels = 0;
} // namespace

ScaledPicture::PlainPixels::PlainPixels()
{
    ++t_plainPixels;
}

ScaledPicture::PlainPixels::~PlainPixels()
{
    --t_plainPixels;
}

qreal ScaledPicture::panelPixelRatio()
{
    // Screens belong to the GUI thread; elsewhere plain pixels are the safe guess.
    if (t_plainPixels > 0 || !qGuiApp || QThread::currentThread() != qGuiApp->thread())
        return 1.0;
    return qGuiApp->devicePixelRatio();
}

void ScaledPicture::prepareForPanel(qreal devicePixelRatio) const
{
    if (const std::optional<QSize> device = panelFitSize(naturalSize(), devicePixelRatio))
        (void)shrunkRaster(*device);
    else
        (void)naturalRaster();
}

bool ScaledPicture::showsShrunk(QSize deviceSize, QSize natural)
{
    return deviceSize.width() <= natural.width() && deviceSize.height() <= natural.height() &&
           deviceSize != natural;
}

bool ScaledPicture::hasRasterFor(QSize deviceSize) const
{
    return showsShrunk(deviceSize, naturalSize()) ? hasShrunkRaster(deviceSize)
                                                  : hasNaturalRaster();
}

void ScaledPicture::prepare(QSize deviceSize) const
{
    if (showsShrunk(deviceSize, naturalSize()))
        (void)shrunkRaster(deviceSize);
    else
        (void)naturalRaster();
}

QImage ScaledPicture::rasterAt(QSize deviceSize) const
{
    QImage natural = naturalRaster();
    if (natural.isNull() || natural.size() == deviceSize)
        return natural;
    return natural.scaled(deviceSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

namespace {

void drawSmoothed(QPainter &painter, const QRectF &target, const QImage &raster,
                  const QRectF &source, bool smooth)
{
    const bool wasSmooth = painter.testRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    painter.drawImage(target, raster, source);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, wasSmooth);
}

// The part of target the painter can actually paint on, in its logical coordinates.
QRectF visiblePart(const QPainter &painter, const QRectF &target)
{
    QRectF visible = target;
    const PaintedArea area = paintedArea(painter);
    bool invertible = false;
    const QTransform toLogical = area.toPixels.inverted(&invertible);
    if (invertible && !area.devicePixels.isEmpty())
        visible &= toLogical.mapRect(area.devicePixels);
    if (painter.hasClipping())
        visible &= painter.clipBoundingRect();
    return visible;
}

} // namespace

void ScaledPicture::draw(QPainter &painter, const QRectF &target) const
{
    const QSize natural = naturalSize();
    if (target.isEmpty() || natural.isEmpty())
        return;
    const QSizeF device = deviceSize(painter, target.size());
    const QSize rounded(qMax(1, qRound(device.width())), qMax(1, qRound(device.height())));

    if (showsShrunk(rounded, natural)) {
        // Shown smaller: a raster made for exactly this size, drawn about 1:1.
        const QImage raster = shrunkRaster(rounded);
        if (!raster.isNull())
            drawSmoothed(painter, target, raster, raster.rect(), true);
        return;
    }

    const QImage raster = naturalRaster();
    // Only the part of the raster under the clip goes to the painter, so no paint
    // engine ever scales the whole picture to the zoomed size.
    const QRectF visible = visiblePart(painter, target);
    if (raster.isNull() || visible.isEmpty())
        return;
    const qreal perPixelX = target.width() / raster.width();
    const qreal perPixelY = target.height() / raster.height();
    // One extra source pixel each side keeps the smoothing at the edges right.
    const QRect source = QRectF((visible.left() - target.left()) / perPixelX - 1,
                                (visible.top() - target.top()) / perPixelY - 1,
                                visible.width() / perPixelX + 2, visible.height() / perPixelY + 2)
                             .toAlignedRect()
                             .intersected(raster.rect());
    if (source.isEmpty())
        return;
    const QRectF destination(target.left() + source.left() * perPixelX,
                             target.top() + source.top() * perPixelY, source.width() * perPixelX,
                             source.height() * perPixelY);
    // Smoothing only when some direction shrinks: an enlarged picture shows its pixels.
    drawSmoothed(painter, destination, raster, source,
                 device.width() < raster.width() || device.height() < raster.height());
}

DecodedPicture::DecodedPicture(QImage image) : m_image(std::move(image)) {}

QImage DecodedPicture::shrunkRaster(QSize deviceSize) const
{
    {
        QMutexLocker lock(&m_lock);
        if (m_shrunk.size() == deviceSize)
            return m_shrunk;
    }
    // Scaled without the lock, so a draw never waits for another thread's scaling.
    QImage shrunk = m_image.scaled(deviceSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QMutexLocker lock(&m_lock);
    m_shrunk = shrunk;
    return shrunk;
}

qint64 DecodedPicture::heldBytes() const
{
    QMutexLocker lock(&m_lock);
    return m_image.sizeInBytes() + m_shrunk.sizeInBytes();
}

bool DecodedPicture::hasShrunkRaster(QSize deviceSize) const
{
    QMutexLocker lock(&m_lock);
    return m_shrunk.size() == deviceSize;
}

} // namespace picture
