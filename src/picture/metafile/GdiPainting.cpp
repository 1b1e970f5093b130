// Pens, brushes and painting a shape's outline and inside as GDI lights pixels.
#include "GdiDevice.h"
#include "GdiGeometry.h"

#include <QPainterPathStroker>
#include <cmath>

namespace metafile {

using namespace gdi;

namespace {

QPainter::CompositionMode rop2Mode(int rop2)
{
    switch (rop2) {
    case R2_NOTMERGEPEN:
        return QPainter::RasterOp_NotSourceAndNotDestination;
    case R2_MASKNOTPEN:
        return QPainter::RasterOp_NotSourceAndDestination;
    case R2_NOTCOPYPEN:
        return QPainter::RasterOp_NotSource;
    case R2_MASKPENNOT:
        return QPainter::RasterOp_SourceAndNotDestination;
    case R2_NOT:
        return QPainter::RasterOp_NotDestination;
    case R2_XORPEN:
        return QPainter::RasterOp_SourceXorDestination;
    case R2_NOTMASKPEN:
        return QPainter::RasterOp_NotSourceOrNotDestination;
    case R2_MASKPEN:
        return QPainter::RasterOp_SourceAndDestination;
    case R2_NOTXORPEN:
        return QPainter::RasterOp_NotSourceXorDestination;
    case R2_MERGENOTPEN:
        return QPainter::RasterOp_NotSourceOrDestination;
    case R2_MERGEPENNOT:
        return QPainter::RasterOp_SourceOrNotDestination;
    case R2_MERGEPEN:
        return QPainter::RasterOp_SourceOrDestination;
    default:
        return QPainter::CompositionMode_SourceOver;
    }
}

// GDI lights whole pixels: each corner of a straight-edged line moves to the
// centre of the pixel it falls in (a point on a pixel edge, or up to a quarter
// pixel past it, counts to the pixel before), so a one-pixel line between two
// pixel rows does not smear over both; wider lines are centred the same way.
// Curves keep their shape.
// An upright box fills whole pixels, as GDI fills it: its edges move to the
// pixel edge at or before them (up to a quarter pixel past an edge still counts
// to it). Other shapes keep their exact outline.
QPainterPath snapBoxToPixels(const QPainterPath &device, const QTransform &toTarget)
{
    if (toTarget.type() > QTransform::TxScale || device.elementCount() < 4 ||
        device.elementCount() > 5)
        return device;
    const QPainterPath target = toTarget.map(device);
    for (int i = 1; i < target.elementCount(); ++i) {
        const QPainterPath::Element a = target.elementAt(i - 1), b = target.elementAt(i);
        if (b.type != QPainterPath::LineToElement || (a.x != b.x && a.y != b.y))
            return device;
    }
    QPainterPath out = target;
    for (int i = 0; i < out.elementCount(); ++i) {
        const QPainterPath::Element e = out.elementAt(i);
        out.setElementPositionAt(i, std::floor(e.x + 0.25), std::floor(e.y + 0.25));
    }
    const QRectF before = target.boundingRect(), after = out.boundingRect();
    bool invertible = false;
    const QTransform back = toTarget.inverted(&invertible);
    if (!invertible || !std::isfinite(after.width()) || !std::isfinite(after.height()) ||
        (after.width() < 1 && before.width() > 0) || (after.height() < 1 && before.height() > 0))
        return device;
    return back.map(out);
}

// A line along the picture's left or top edge would round to the pixel before
// it, outside the picture; it stays on the first pixel, as a border drawn around
// the whole picture shows on all four sides.
QPainterPath snapToPixelCentres(const QPainterPath &target, const QRectF &area)
{
    auto keepInside = [](double snapped, double exact, double edge) {
        return snapped < edge && exact >= edge - 0.5 - 1e-6 ? std::floor(edge) + 0.5 : snapped;
    };
    QPainterPath out = target;
    for (int i = 0; i < out.elementCount(); ++i) {
        const QPainterPath::Element e = out.elementAt(i);
        if (e.type != QPainterPath::MoveToElement && e.type != QPainterPath::LineToElement)
            continue;
        if (i + 1 < out.elementCount() && out.elementAt(i + 1).type == QPainterPath::CurveToElement)
            continue;
        double x = std::floor(e.x + 0.25) + 0.5, y = std::floor(e.y + 0.25) + 0.5;
        if (!area.isEmpty()) {
            x = keepInside(x, e.x, area.left());
            y = keepInside(y, e.y, area.top());
        }
        if (std::isfinite(x) && std::isfinite(y))
            out.setElementPositionAt(i, x, y);
    }
    return out;
}

} // namespace

void GdiDevice::applyClip()
{
    if (!m_clipDirty)
        return;
    m_p.restore();
    m_p.save();
    if (m_s.clip.active) {
        m_p.setTransform(m_setup.deviceToTarget);
        if (m_s.clip.isRect)
            m_p.setClipRect(m_s.clip.rect, Qt::IntersectClip);
        else
            m_p.setClipPath(m_s.clip.path, Qt::IntersectClip);
    }
    m_clipDirty = false;
}

bool GdiDevice::measured(const QRectF &r)
{
    if (!m_setup.measure)
        return false;
    if (std::isfinite(r.left()) && std::isfinite(r.top()) && std::isfinite(r.right()) &&
        std::isfinite(r.bottom()) && (r.width() > 0 || r.height() > 0)) {
        QRectF &m = *m_setup.measure;
        m = m.isNull() ? r : m.united(r);
    }
    ++m_drawCalls;
    return true;
}

void GdiDevice::beginDraw()
{
    applyClip();
    m_p.setTransform(m_setup.deviceToTarget);
    m_p.setOpacity(1.0);
    m_p.setRenderHint(QPainter::Antialiasing, true);
    m_p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    ++m_drawCalls;
}

void GdiDevice::applyRop2()
{
    const QPainter::CompositionMode mode = rop2Mode(m_s.rop2);
    m_p.setCompositionMode(mode);
    if (mode != QPainter::CompositionMode_SourceOver)
        m_p.setRenderHint(QPainter::Antialiasing, false);
}

QPen GdiDevice::makePen(bool *visible) const
{
    const Pen &pen = m_s.pen;
    const quint32 style = pen.style & PS_STYLE_MASK;
    *visible = style != PS_NULL && m_s.rop2 != R2_NOP;
    QColor c = color(pen.color);
    if (m_s.rop2 == R2_BLACK)
        c = Qt::black;
    else if (m_s.rop2 == R2_WHITE)
        c = Qt::white;
    const bool cosmetic = pen.extended && !(pen.style & PS_GEOMETRIC);
    double width = cosmetic ? 0 : pen.width * lineScale();
    if (!std::isfinite(width) || width > 1e6)
        width = 1e6;
    // A zero width is one pixel whatever the scale; other widths scale with the
    // picture and may fall below a pixel, drawn thin and light as vector viewers do.
    // Dashes and dots of a plain pen exist only one pixel wide: a styled pen no
    // wider than a device pixel is drawn as that one-pixel dashed line, however
    // thin its nominal width, or its pattern would shrink out of sight.
    const bool thinStyled =
        !pen.extended && style >= PS_DASH && style <= PS_DASHDOTDOT && width <= 1.0;
    const bool hairline = width <= 0 || thinStyled;
    QPen qp(c);
    qp.setWidthF(hairline ? 0 : width);
    qp.setCosmetic(hairline);
    if (pen.extended && (pen.style & PS_GEOMETRIC)) {
        switch (pen.style & PS_ENDCAP_MASK) {
        case PS_ENDCAP_SQUARE:
            qp.setCapStyle(Qt::SquareCap);
            break;
        case PS_ENDCAP_FLAT:
            qp.setCapStyle(Qt::FlatCap);
            break;
        default:
            qp.setCapStyle(Qt::RoundCap);
            break;
        }
        switch (pen.style & PS_JOIN_MASK) {
        case PS_JOIN_BEVEL:
            qp.setJoinStyle(Qt::BevelJoin);
            break;
        case PS_JOIN_MITER:
            qp.setJoinStyle(Qt::MiterJoin);
            break;
        default:
            qp.setJoinStyle(Qt::RoundJoin);
            break;
        }
    } else {
        qp.setCapStyle(hairline ? Qt::FlatCap : Qt::RoundCap);
        qp.setJoinStyle(Qt::RoundJoin);
    }
    qp.setMiterLimit(m_s.miterLimit);
    if (hairline || cosmetic) {
        // Cosmetic dashes are measured in device pixels.
        switch (style) {
        case PS_DASH:
            qp.setDashPattern({18, 6});
            break;
        case PS_DOT:
            qp.setDashPattern({3, 3});
            break;
        case PS_DASHDOT:
            qp.setDashPattern({9, 6, 3, 6});
            break;
        case PS_DASHDOTDOT:
            qp.setDashPattern({9, 3, 3, 3, 3, 3});
            break;
        case PS_ALTERNATE:
            qp.setDashPattern({1, 1});
            break;
        default:
            break;
        }
    } else {
        // Wide dashes in units of the pen width: dash, dot and gap as they look in
        // other viewers. Round and square caps grow each piece by a width.
        const bool flat = qp.capStyle() == Qt::FlatCap;
        const double dash = flat ? 3.9 : 2.9, dot = flat ? 1.3 : 0.3, gap = flat ? 1.3 : 2.3;
        switch (style) {
        case PS_DASH:
            qp.setDashPattern({dash, gap});
            break;
        case PS_DOT:
            qp.setDashPattern({dot, gap});
            break;
        case PS_DASHDOT:
            qp.setDashPattern({dash, gap, dot, gap});
            break;
        case PS_DASHDOTDOT:
            qp.setDashPattern({dash, gap, dot, gap, dot, gap});
            break;
        case PS_ALTERNATE:
            qp.setDashPattern({1, 1});
            break;
        default:
            break;
        }
    }
    if (style == PS_USERSTYLE && !pen.dashes.empty()) {
        QList<qreal> pattern;
        const double unit = hairline ? 1.0 : qMax(pen.width, 1e-9);
        for (double d : pen.dashes)
            pattern.append(qBound(0.01, d / unit, 1e4));
        if (pattern.size() % 2)
            pattern.append(pattern.back());
        qp.setDashPattern(pattern);
    }
    return qp;
}

QBrush GdiDevice::makeBrush(const Brush &b, bool *visible) const
{
    *visible = b.style != BS_NULL && m_s.rop2 != R2_NOP;
    QColor c = color(b.color);
    if (m_s.rop2 == R2_BLACK)
        return QBrush(Qt::black);
    if (m_s.rop2 == R2_WHITE)
        return QBrush(Qt::white);
    switch (b.style) {
    case BS_SOLID:
    case BS_INDEXED:
        return QBrush(c);
    case BS_HATCHED: {
        Qt::BrushStyle s = Qt::HorPattern;
        switch (b.hatch) {
        case 1:
            s = Qt::VerPattern;
            break;
        case 2:
            s = Qt::FDiagPattern;
            break;
        case 3:
            s = Qt::BDiagPattern;
            break;
        case 4:
            s = Qt::CrossPattern;
            break;
        case 5:
            s = Qt::DiagCrossPattern;
            break;
        default:
            break;
        }
        // Hatch lines are a fixed number of pixels apart on the screen, whatever the zoom.
        QBrush hatch(c, s);
        const QTransform &t = m_setup.deviceToTarget;
        const double sx = std::hypot(t.m11(), t.m12()), sy = std::hypot(t.m21(), t.m22());
        if (sx > 0 && sy > 0)
            hatch.setTransform(QTransform::fromScale(1 / sx, 1 / sy));
        return hatch;
    }
    case BS_PATTERN:
    case BS_DIBPATTERN:
    case BS_DIBPATTERNPT:
    case BS_MONOPATTERN:
        if (!b.pattern.isNull()) {
            QImage img = b.pattern;
            if (b.monochrome) {
                img = img.convertToFormat(QImage::Format_RGB32);
                const QRgb fg = color(m_s.textColor).rgb();
                const QRgb bg = color(m_s.bkColor).rgb();
                for (int y = 0; y < img.height(); ++y) {
                    auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
                    for (int x = 0; x < img.width(); ++x)
                        line[x] = qGray(line[x]) < 128 ? fg : bg;
                }
            }
            QBrush qb(img);
            QTransform t;
            t.translate(m_s.brushOrg.x(), m_s.brushOrg.y());
            qb.setTransform(t);
            return qb;
        }
        return QBrush(c);
    default:
        return QBrush(c);
    }
}

void GdiDevice::paintDevicePath(const QPainterPath &device, bool fill, bool stroke,
                                Qt::FillRule rule)
{
    if (m_s.rop2 == R2_NOP)
        return;
    if (!spend(1 + device.elementCount()))
        return;
    bool brushVisible = false;
    bool penVisible = false;
    const QBrush brush = fill ? makeBrush(m_s.brush, &brushVisible) : QBrush();
    const QPen pen = stroke ? makePen(&penVisible) : QPen();
    if (!(fill && brushVisible) && !(stroke && penVisible))
        return;
    if (measured(device.boundingRect()))
        return;
    beginDraw();
    applyRop2();
    if (fill && brushVisible) {
        QPainterPath p = snapBoxToPixels(device, m_setup.deviceToTarget);
        p.setFillRule(rule);
        if (m_s.brush.style == BS_HATCHED && m_s.bkMode == OPAQUE)
            m_p.fillPath(p, color(m_s.bkColor));
        m_p.fillPath(p, brush);
    }
    if (stroke && penVisible) {
        const quint32 style = m_s.pen.style & PS_STYLE_MASK;
        const QTransform &toTarget = m_setup.deviceToTarget;
        // Lines run through pixel centres (see snapToPixelCentres), so they
        // cover whole pixels the way GDI draws them.
        QPainterPath line = device;
        QPen thin = pen;
        if (toTarget.type() <= QTransform::TxScale) {
            line = snapToPixelCentres(toTarget.map(device), m_setup.area);
            if (!pen.isCosmetic()) {
                // GDI draws a pen a whole number of device pixels wide, its
                // width rounded to the nearest. Pens thinner than a pixel stay
                // thin and light (see makePen).
                const double width = pen.widthF() * std::sqrt(std::abs(toTarget.determinant()));
                thin.setWidthF(width >= 1 ? std::round(width) : width);
            }
            m_p.setTransform(QTransform());
        }
        if (m_s.bkMode == OPAQUE && style >= PS_DASH && style <= PS_DASHDOTDOT) {
            QPen under = thin;
            under.setStyle(Qt::SolidLine);
            under.setColor(color(m_s.bkColor));
            m_p.strokePath(line, under);
        }
        m_p.strokePath(line, thin);
    }
}

void GdiDevice::drawShape(const QPainterPath &logicalPath, bool fill, bool stroke, bool insideFrame,
                          const QRectF &frameBox)
{
    if (m_pathOpen) {
        addToPath(logicalPath, false);
        return;
    }
    QPainterPath shape = logicalPath;
    if (insideFrame && stroke && (m_s.pen.style & PS_STYLE_MASK) == PS_INSIDEFRAME &&
        m_s.pen.width > 0) {
        // The pen stays inside the box: shrink the shape by half the pen width.
        const double inset = m_s.pen.width / 2;
        const QRectF inner = frameBox.normalized().adjusted(inset, inset, -inset, -inset);
        if (inner.width() > 0 && inner.height() > 0 && !frameBox.isEmpty()) {
            const QRectF box = frameBox.normalized();
            QTransform t;
            t.translate(inner.x(), inner.y());
            t.scale(inner.width() / box.width(), inner.height() / box.height());
            t.translate(-box.x(), -box.y());
            shape = t.map(logicalPath);
        }
    }
    const QTransform m = logicalToDevice();
    paintDevicePath(m.map(shape), fill, stroke,
                    m_s.fillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
}

void GdiDevice::addToPath(const QPainterPath &logicalPath, bool connectToCurrent)
{
    const QPainterPath dev = logicalToDevice().map(logicalPath);
    if (connectToCurrent && !m_pathNeedsMove)
        m_path.connectPath(dev);
    else
        m_path.addPath(dev);
    m_pathNeedsMove = false;
}

} // namespace metafile
