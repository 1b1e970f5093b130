// Lines, curves, closed shapes and paths.
#include "GdiDevice.h"
#include "GdiGeometry.h"

#include <QPainterPathStroker>
#include <QtMath>
#include <cmath>

namespace metafile {

using namespace gdi;

namespace {

// Parametric angle (degrees, Qt's counter-clockwise convention in y-down space)
// of the point where the ray from the centre through p meets the ellipse.
double ellipseAngle(const QRectF &box, QPointF p)
{
    const QPointF c = box.center();
    const double a = box.width() / 2;
    const double b = box.height() / 2;
    const double dx = p.x() - c.x();
    const double dy = p.y() - c.y();
    if (dx == 0 && dy == 0)
        return 0;
    return qRadiansToDegrees(std::atan2(-dy * a, dx * b));
}

} // namespace

void GdiDevice::moveTo(QPointF p)
{
    if (!finite(p))
        return;
    m_s.curPos = p;
    if (m_pathOpen)
        m_pathNeedsMove = true;
}

void GdiDevice::lineTo(QPointF p)
{
    if (!finite(p))
        return;
    if (m_pathOpen) {
        const QTransform m = logicalToDevice();
        if (m_pathNeedsMove || m_path.elementCount() == 0)
            m_path.moveTo(m.map(m_s.curPos));
        m_path.lineTo(m.map(p));
        m_pathNeedsMove = false;
    } else {
        QPainterPath path(m_s.curPos);
        path.lineTo(p);
        drawShape(path, false, true);
    }
    m_s.curPos = p;
}

void GdiDevice::polyline(const std::vector<QPointF> &pts)
{
    if (pts.size() < 2 && !m_pathOpen)
        return;
    if (pts.empty())
        return;
    QPainterPath path(pts[0]);
    for (size_t i = 1; i < pts.size(); ++i)
        path.lineTo(pts[i]);
    if (m_pathOpen) {
        addToPath(path, false);
        return;
    }
    drawShape(path, false, true);
}

void GdiDevice::polylineTo(const std::vector<QPointF> &pts)
{
    if (pts.empty())
        return;
    if (m_pathOpen) {
        const QTransform m = logicalToDevice();
        if (m_pathNeedsMove || m_path.elementCount() == 0)
            m_path.moveTo(m.map(m_s.curPos));
        for (const QPointF &p : pts)
            m_path.lineTo(m.map(p));
        m_pathNeedsMove = false;
    } else {
        QPainterPath path(m_s.curPos);
        for (const QPointF &p : pts)
            path.lineTo(p);
        drawShape(path, false, true);
    }
    m_s.curPos = pts.back();
}

void GdiDevice::polygon(const std::vector<QPointF> &pts)
{
    if (pts.size() < 2)
        return;
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(pts.begin(), pts.end())));
    path.closeSubpath();
    drawShape(path, true, true);
}

void GdiDevice::polyPolygon(const std::vector<std::vector<QPointF>> &polys)
{
    QPainterPath path;
    for (const auto &poly : polys) {
        if (poly.size() < 2)
            continue;
        path.addPolygon(QPolygonF(QList<QPointF>(poly.begin(), poly.end())));
        path.closeSubpath();
    }
    if (!path.isEmpty())
        drawShape(path, true, true);
}

void GdiDevice::polyPolyline(const std::vector<std::vector<QPointF>> &lines)
{
    QPainterPath path;
    for (const auto &line : lines) {
        if (line.size() < 2)
            continue;
        path.moveTo(line[0]);
        for (size_t i = 1; i < line.size(); ++i)
            path.lineTo(line[i]);
    }
    if (!path.isEmpty())
        drawShape(path, false, true);
}

void GdiDevice::polyBezier(const std::vector<QPointF> &pts)
{
    if (pts.size() < 4)
        return;
    QPainterPath path(pts[0]);
    for (size_t i = 1; i + 2 < pts.size(); i += 3)
        path.cubicTo(pts[i], pts[i + 1], pts[i + 2]);
    if (m_pathOpen) {
        addToPath(path, false);
        return;
    }
    drawShape(path, false, true);
}

void GdiDevice::polyBezierTo(const std::vector<QPointF> &pts)
{
    if (pts.size() < 3)
        return;
    QPainterPath path(m_s.curPos);
    size_t i = 0;
    for (; i + 2 < pts.size(); i += 3)
        path.cubicTo(pts[i], pts[i + 1], pts[i + 2]);
    if (m_pathOpen)
        addToPath(path, true);
    else
        drawShape(path, false, true);
    m_s.curPos = pts[i - 1];
}

void GdiDevice::polyDraw(const std::vector<QPointF> &pts, const std::vector<quint8> &types)
{
    const size_t n = qMin(pts.size(), types.size());
    QPainterPath path(m_s.curPos);
    QPointF figureStart = m_s.curPos;
    for (size_t i = 0; i < n; ++i) {
        const quint8 t = types[i];
        switch (t & ~1) {
        case 6:
            path.moveTo(pts[i]);
            figureStart = pts[i];
            break;
        case 2:
            path.lineTo(pts[i]);
            break;
        case 4:
            if (i + 2 < n) {
                path.cubicTo(pts[i], pts[i + 1], pts[i + 2]);
                i += 2;
            }
            break;
        default:
            break;
        }
        if (t & 1) {
            path.closeSubpath();
            path.moveTo(figureStart);
        }
        m_s.curPos = pts[qMin(i, n - 1)];
    }
    if (m_pathOpen)
        addToPath(path, true);
    else
        drawShape(path, false, true);
}

void GdiDevice::rectangle(const QRectF &r)
{
    QPainterPath path;
    path.addRect(r.normalized());
    drawShape(path, true, true, true, r);
}

void GdiDevice::roundRect(const QRectF &r, QSizeF corner)
{
    QPainterPath path;
    const QRectF n = r.normalized();
    const double rx = qMin(std::abs(corner.width()) / 2, n.width() / 2);
    const double ry = qMin(std::abs(corner.height()) / 2, n.height() / 2);
    path.addRoundedRect(n, rx, ry);
    drawShape(path, true, true, true, r);
}

void GdiDevice::ellipse(const QRectF &r)
{
    QPainterPath path;
    path.addEllipse(r.normalized());
    drawShape(path, true, true, true, r);
}

QPainterPath GdiDevice::arcPath(const QRectF &boxIn, QPointF start, QPointF end, ArcKind kind,
                                QPointF *arcStart, QPointF *arcEnd) const
{
    const QRectF box = boxIn.normalized();
    const double a1 = ellipseAngle(box, start);
    const double a2 = ellipseAngle(box, end);
    bool ccw = m_s.arcDirection == AD_COUNTERCLOCKWISE;
    // The direction is seen on the device; a flipping transform reverses it.
    if (logicalToDevice().determinant() < 0)
        ccw = !ccw;
    double sweep;
    if (ccw) {
        sweep = std::fmod(a2 - a1, 360.0);
        if (sweep <= 1e-9)
            sweep += 360.0;
    } else {
        sweep = std::fmod(a1 - a2, 360.0);
        if (sweep <= 1e-9)
            sweep += 360.0;
        sweep = -sweep;
    }
    QPainterPath path;
    QPainterPath probe;
    probe.arcMoveTo(box, a1);
    const QPointF s = probe.currentPosition();
    if (kind == ArcKind::Pie) {
        path.moveTo(box.center());
        path.lineTo(s);
    } else {
        path.moveTo(s);
    }
    path.arcTo(box, a1, sweep);
    if (arcStart)
        *arcStart = s;
    if (arcEnd)
        *arcEnd = path.currentPosition();
    if (kind == ArcKind::Chord || kind == ArcKind::Pie)
        path.closeSubpath();
    return path;
}

void GdiDevice::arc(const QRectF &box, QPointF start, QPointF end, ArcKind kind)
{
    if (!finite(box.topLeft()) || !finite(box.bottomRight()) || !finite(start) || !finite(end))
        return;
    if (box.width() == 0 || box.height() == 0)
        return;
    QPointF s, e;
    QPainterPath path = arcPath(box, start, end, kind, &s, &e);
    if (kind == ArcKind::ArcTo) {
        QPainterPath withLine(m_s.curPos);
        withLine.lineTo(s);
        withLine.connectPath(path);
        if (m_pathOpen)
            addToPath(withLine, true);
        else
            drawShape(withLine, false, true);
        m_s.curPos = e;
        return;
    }
    const bool closed = kind != ArcKind::Arc;
    drawShape(path, closed, true, true, box);
}

void GdiDevice::angleArc(QPointF center, double radius, double startDeg, double sweepDeg)
{
    if (!finite(center) || !std::isfinite(radius) || !std::isfinite(startDeg) ||
        !std::isfinite(sweepDeg) || std::abs(radius) > kCoordLimit)
        return;
    sweepDeg = qBound(-3600.0, sweepDeg, 3600.0);
    const QRectF box(center.x() - radius, center.y() - radius, 2 * radius, 2 * radius);
    QPainterPath probe;
    probe.arcMoveTo(box, startDeg);
    QPainterPath path(m_s.curPos);
    path.lineTo(probe.currentPosition());
    path.arcTo(box, startDeg, sweepDeg);
    const QPointF endPos = path.currentPosition();
    if (m_pathOpen)
        addToPath(path, true);
    else
        drawShape(path, false, true);
    m_s.curPos = endPos;
}

void GdiDevice::setPixel(QPointF p, quint32 colorRef)
{
    if (!finite(p) || !spend(1))
        return;
    const QPointF d = logicalToDevice().map(p);
    if (measured(QRectF(d, QSizeF(1, 1))))
        return;
    beginDraw();
    m_p.setRenderHint(QPainter::Antialiasing, false);
    m_p.fillRect(QRectF(std::floor(d.x()), std::floor(d.y()), 1, 1), color(colorRef));
}

// ---------------------------------------------------------------- paths

void GdiDevice::beginPath()
{
    m_path = QPainterPath();
    m_pathOpen = true;
    m_pathNeedsMove = true;
}

void GdiDevice::endPath()
{
    m_pathOpen = false;
}

void GdiDevice::closeFigure()
{
    if (m_pathOpen) {
        m_path.closeSubpath();
        m_pathNeedsMove = true;
    }
}

void GdiDevice::abortPath()
{
    m_pathOpen = false;
    m_path = QPainterPath();
}

void GdiDevice::fillPath()
{
    m_pathOpen = false;
    paintDevicePath(m_path, true, false,
                    m_s.fillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
    m_path = QPainterPath();
}

void GdiDevice::strokePath()
{
    m_pathOpen = false;
    paintDevicePath(m_path, false, true, Qt::OddEvenFill);
    m_path = QPainterPath();
}

void GdiDevice::strokeAndFillPath()
{
    m_pathOpen = false;
    paintDevicePath(m_path, true, true,
                    m_s.fillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
    m_path = QPainterPath();
}

void GdiDevice::widenPath()
{
    m_pathOpen = false;
    bool visible = false;
    const QPen pen = makePen(&visible);
    if (!spend(1 + m_path.elementCount()))
        return;
    QPainterPathStroker stroker(pen);
    if (pen.isCosmetic())
        stroker.setWidth(1.0 / qMax(m_setup.pixelScale, 1e-9));
    m_path = stroker.createStroke(m_path);
    m_path.setFillRule(Qt::WindingFill);
}

void GdiDevice::flattenPath()
{
    m_pathOpen = false;
    if (!spend(1 + m_path.elementCount()))
        return;
    QPainterPath flat;
    const QList<QPolygonF> polys = m_path.toSubpathPolygons();
    for (const QPolygonF &poly : polys)
        flat.addPolygon(poly);
    m_path = flat;
}

void GdiDevice::selectClipPath(int mode)
{
    m_pathOpen = false;
    QPainterPath p = m_path;
    p.setFillRule(m_s.fillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
    // Boolean operations on paths keep winding fills honest.
    if (p.fillRule() == Qt::WindingFill)
        p = p.simplified();
    setClip(p, mode);
    m_path = QPainterPath();
}

} // namespace metafile
