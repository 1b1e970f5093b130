// The clip region and the region records.
#include "GdiDevice.h"
#include "GdiGeometry.h"

#include <cmath>

namespace metafile {

using namespace gdi;

void GdiDevice::setClip(const QPainterPath &devicePath, int mode)
{
    if (!spend(1 + devicePath.elementCount()))
        return;
    Clip &c = m_s.clip;
    const QRectF universe = m_setup.deviceToTarget.inverted().mapRect(QRectF(-1e5, -1e5, 2e5, 2e5));
    auto current = [&]() {
        if (!c.active) {
            QPainterPath all;
            all.addRect(universe);
            return all;
        }
        if (c.isRect) {
            QPainterPath r;
            r.addRect(c.rect);
            return r;
        }
        return c.path;
    };
    QPainterPath result;
    switch (mode) {
    case RGN_COPY:
        result = devicePath;
        break;
    case RGN_AND:
        if (!c.active) {
            result = devicePath;
        } else {
            result = current().intersected(devicePath);
        }
        break;
    case RGN_OR:
        if (!c.active)
            return;
        result = current().united(devicePath);
        break;
    case RGN_XOR: {
        const QPainterPath cur = current();
        result = cur.united(devicePath).subtracted(cur.intersected(devicePath));
        break;
    }
    case RGN_DIFF:
        result = current().subtracted(devicePath);
        break;
    default:
        return;
    }
    c.active = true;
    c.isRect = false;
    c.path = result;
    m_clipDirty = true;
}

void GdiDevice::combineClipRect(const QRectF &logical, bool exclude)
{
    if (!finite(logical.topLeft()) || !finite(logical.bottomRight()))
        return;
    const QTransform m = logicalToDevice();
    Clip &c = m_s.clip;
    const bool axisAligned = m.type() <= QTransform::TxScale;
    if (!exclude && axisAligned) {
        const QRectF r = m.mapRect(logical.normalized());
        if (!c.active) {
            c.active = true;
            c.isRect = true;
            c.rect = r;
            m_clipDirty = true;
            return;
        }
        if (c.isRect) {
            c.rect = c.rect.intersected(r);
            if (c.rect.isEmpty())
                c.rect = QRectF();
            m_clipDirty = true;
            return;
        }
    }
    QPainterPath p;
    p.addRect(logical.normalized());
    setClip(m.map(p), exclude ? RGN_DIFF : RGN_AND);
}

void GdiDevice::intersectClipRect(const QRectF &logical)
{
    combineClipRect(logical, false);
}

void GdiDevice::excludeClipRect(const QRectF &logical)
{
    combineClipRect(logical, true);
}

void GdiDevice::offsetClip(QPointF logicalDelta)
{
    if (!m_s.clip.active || !finite(logicalDelta))
        return;
    const QTransform m = logicalToDevice();
    const QPointF d = m.map(logicalDelta) - m.map(QPointF(0, 0));
    if (m_s.clip.isRect)
        m_s.clip.rect.translate(d);
    else
        m_s.clip.path.translate(d);
    m_clipDirty = true;
}

QPainterPath GdiDevice::regionToDevicePath(const QRegion &region, bool logical) const
{
    QPainterPath p;
    p.addRegion(region);
    return logical ? logicalToDevice().map(p) : p;
}

void GdiDevice::selectClipRegion(const std::optional<QRegion> &device, int mode)
{
    if (!device) {
        if (mode == RGN_COPY) {
            m_s.clip = Clip{};
            m_clipDirty = true;
        }
        return;
    }
    if (device->rectCount() == 1 && mode == RGN_COPY) {
        m_s.clip.active = true;
        m_s.clip.isRect = true;
        m_s.clip.rect = QRectF(device->boundingRect());
        m_clipDirty = true;
        return;
    }
    setClip(regionToDevicePath(*device, false), mode);
}

void GdiDevice::selectClipRegionLogical(const std::optional<QRegion> &logical)
{
    if (!logical) {
        m_s.clip = Clip{};
        m_clipDirty = true;
        return;
    }
    setClip(regionToDevicePath(*logical, true), RGN_COPY);
}

void GdiDevice::fillRegion(const QPainterPath &device, const Brush &brush)
{
    const Brush saved = m_s.brush;
    m_s.brush = brush;
    paintDevicePath(device, true, false, Qt::OddEvenFill);
    m_s.brush = saved;
}

void GdiDevice::frameRegion(const QPainterPath &device, const Brush &brush, QSizeF logicalSize)
{
    if (!spend(1 + device.elementCount()))
        return;
    bool visible = false;
    const QBrush b = makeBrush(brush, &visible);
    if (!visible)
        return;
    const QTransform m = logicalToDevice();
    const double w =
        std::abs(logicalSize.width() * m.m11()) + std::abs(logicalSize.height() * m.m21());
    const double h =
        std::abs(logicalSize.width() * m.m12()) + std::abs(logicalSize.height() * m.m22());
    const double width = qMax(qMax(w, h), 1.0 / qMax(m_setup.pixelScale, 1e-9));
    QPainterPathStroker stroker;
    stroker.setWidth(2 * width);
    if (measured(device.boundingRect()))
        return;
    const QPainterPath band = stroker.createStroke(device).intersected(device);
    beginDraw();
    m_p.fillPath(band, b);
}

void GdiDevice::invertRegion(const QPainterPath &device)
{
    if (!spend(1 + device.elementCount()) || measured(device.boundingRect()))
        return;
    beginDraw();
    m_p.setRenderHint(QPainter::Antialiasing, false);
    m_p.setCompositionMode(QPainter::RasterOp_NotDestination);
    m_p.fillPath(device, Qt::black);
}

void GdiDevice::paintRegion(const QPainterPath &device)
{
    paintDevicePath(device, true, false, Qt::OddEvenFill);
}

} // namespace metafile
