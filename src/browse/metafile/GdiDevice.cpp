#include "GdiDevice.h"

#include <QLinearGradient>
#include <QPainterPathStroker>
#include <QtMath>
#include <cmath>
#include <iterator>

namespace metafile {

using namespace gdi;

namespace {

constexpr int kMaxSaveDepth = 4096;
constexpr int kMaxObjectSlots = 65536;
// Anything further out than this in reference units is treated as garbage geometry.
constexpr double kCoordLimit = 1e9;

bool finite(QPointF p)
{
    return std::isfinite(p.x()) && std::isfinite(p.y()) && std::abs(p.x()) < kCoordLimit &&
           std::abs(p.y()) < kCoordLimit;
}

bool finiteTransform(const QTransform &t)
{
    const double v[] = {t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy()};
    for (double d : v)
        if (!std::isfinite(d) || std::abs(d) > 1e12)
            return false;
    return true;
}

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

QPainterPath snapToPixelCentres(const QPainterPath &target)
{
    QPainterPath out = target;
    for (int i = 0; i < out.elementCount(); ++i) {
        const QPainterPath::Element e = out.elementAt(i);
        if (e.type != QPainterPath::MoveToElement && e.type != QPainterPath::LineToElement)
            continue;
        if (i + 1 < out.elementCount() && out.elementAt(i + 1).type == QPainterPath::CurveToElement)
            continue;
        const double x = std::floor(e.x + 0.25) + 0.5, y = std::floor(e.y + 0.25) + 0.5;
        if (std::isfinite(x) && std::isfinite(y))
            out.setElementPositionAt(i, x, y);
    }
    return out;
}

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

GdiDevice::GdiDevice(QPainter &painter, const Setup &setup)
    : m_p(painter), m_setup(setup), m_budget(setup.workBudget)
{
    m_objects.resize(size_t(qBound(0, setup.objectSlots, kMaxObjectSlots)));
    m_s.pen.color = 0;
    m_s.brush.style = BS_SOLID;
    m_s.brush.color = 0xFFFFFF;
    m_s.font.face = QStringLiteral("Arial");
    if (m_setup.flavor == Flavor::Wmf) {
        m_setup.pxPerMmX = m_setup.pxPerMmY = setup.wmfUnitsPerInch / 25.4;
        m_s.mapMode = MM_ANISOTROPIC;
    }
    resetPage();
    m_p.save();
}

GdiDevice::~GdiDevice()
{
    m_p.restore();
}

bool GdiDevice::spend(qint64 units)
{
    m_budget -= qMax<qint64>(units, 1);
    return m_budget >= 0;
}

// ---------------------------------------------------------------- transforms

void GdiDevice::resetPage()
{
    if (m_setup.flavor == Flavor::Wmf) {
        const QRectF f = m_setup.wmfFrame;
        m_s.winOrg = m_s.vpOrg = f.topLeft();
        m_s.winExt = m_s.vpExt = f.size();
    } else {
        m_s.winOrg = m_s.vpOrg = QPointF(0, 0);
        m_s.winExt = m_s.vpExt = QSizeF(1, 1);
    }
}

void GdiDevice::setMapMode(int mode)
{
    if (mode < MM_TEXT || mode > MM_ANISOTROPIC)
        return;
    m_s.mapMode = mode;
}

void GdiDevice::setWindowOrg(QPointF p)
{
    if (finite(p))
        m_s.winOrg = p;
}

void GdiDevice::setWindowExt(QSizeF s)
{
    if (s.width() != 0 && s.height() != 0 && std::isfinite(s.width()) && std::isfinite(s.height()))
        m_s.winExt = s;
}

void GdiDevice::setViewportOrg(QPointF p)
{
    // A WMF's viewport is the frame the caller chose; its own viewport records are
    // about the device it was made on.
    if (m_setup.flavor == Flavor::Emf && finite(p))
        m_s.vpOrg = p;
}

void GdiDevice::setViewportExt(QSizeF s)
{
    if (m_setup.flavor == Flavor::Emf && s.width() != 0 && s.height() != 0 &&
        std::isfinite(s.width()) && std::isfinite(s.height()))
        m_s.vpExt = s;
}

void GdiDevice::offsetWindowOrg(QPointF d)
{
    if (finite(m_s.winOrg + d))
        m_s.winOrg += d;
}

void GdiDevice::offsetViewportOrg(QPointF d)
{
    if (m_setup.flavor == Flavor::Emf && finite(m_s.vpOrg + d))
        m_s.vpOrg += d;
}

void GdiDevice::scaleWindowExt(double xNum, double xDen, double yNum, double yDen)
{
    if (xDen == 0 || yDen == 0 || xNum == 0 || yNum == 0)
        return;
    setWindowExt(QSizeF(m_s.winExt.width() * xNum / xDen, m_s.winExt.height() * yNum / yDen));
}

void GdiDevice::scaleViewportExt(double xNum, double xDen, double yNum, double yDen)
{
    if (xDen == 0 || yDen == 0 || xNum == 0 || yNum == 0)
        return;
    setViewportExt(QSizeF(m_s.vpExt.width() * xNum / xDen, m_s.vpExt.height() * yNum / yDen));
}

void GdiDevice::setWorldTransform(const QTransform &t)
{
    if (finiteTransform(t) && std::abs(t.determinant()) > 1e-18)
        m_s.world = t;
}

void GdiDevice::modifyWorldTransform(const QTransform &t, int mode)
{
    switch (mode) {
    case 1:
        m_s.world = QTransform();
        break;
    case 2:
        setWorldTransform(t * m_s.world);
        break;
    case 3:
        setWorldTransform(m_s.world * t);
        break;
    case 4:
        setWorldTransform(t);
        break;
    default:
        break;
    }
}

QTransform GdiDevice::logicalToDevice() const
{
    double sx = 1;
    double sy = 1;
    double mmPerUnit = 0;
    switch (m_s.mapMode) {
    case MM_LOMETRIC:
        mmPerUnit = 0.1;
        break;
    case MM_HIMETRIC:
        mmPerUnit = 0.01;
        break;
    case MM_LOENGLISH:
        mmPerUnit = 0.254;
        break;
    case MM_HIENGLISH:
        mmPerUnit = 0.0254;
        break;
    case MM_TWIPS:
        mmPerUnit = 25.4 / 1440;
        break;
    case MM_ISOTROPIC:
    case MM_ANISOTROPIC:
        sx = m_s.vpExt.width() / m_s.winExt.width();
        sy = m_s.vpExt.height() / m_s.winExt.height();
        if (m_s.mapMode == MM_ISOTROPIC) {
            const double m = qMin(std::abs(sx), std::abs(sy));
            sx = std::copysign(m, sx);
            sy = std::copysign(m, sy);
        }
        break;
    default:
        break;
    }
    if (mmPerUnit > 0) {
        sx = mmPerUnit * m_setup.pxPerMmX;
        sy = -mmPerUnit * m_setup.pxPerMmY;
    }
    const QTransform page(sx, 0, 0, sy, m_s.vpOrg.x() - m_s.winOrg.x() * sx,
                          m_s.vpOrg.y() - m_s.winOrg.y() * sy);
    return m_s.world * page;
}

double GdiDevice::lineScale() const
{
    const QTransform t = logicalToDevice();
    return std::sqrt(std::abs(t.m11() * t.m22() - t.m12() * t.m21()));
}

// ---------------------------------------------------------------- state

void GdiDevice::saveDc()
{
    if (int(m_saved.size()) < kMaxSaveDepth)
        m_saved.push_back(m_s);
}

void GdiDevice::restoreDc(int which)
{
    const int depth = int(m_saved.size());
    int target; // number of saved states that remain
    if (which < 0) {
        if (-qint64(which) > depth)
            return;
        target = depth + which;
    } else if (which > 0) {
        if (which > depth)
            return;
        target = which - 1;
    } else {
        return;
    }
    m_s = m_saved[size_t(target)];
    m_saved.resize(size_t(target));
    m_clipDirty = true;
}

// ---------------------------------------------------------------- objects

int GdiDevice::createObject(Object object, int slot)
{
    if (slot < 0) {
        for (size_t i = 0; i < m_objects.size(); ++i) {
            if (std::holds_alternative<std::monostate>(m_objects[i])) {
                m_objects[i] = std::move(object);
                return int(i);
            }
        }
        if (m_objects.size() >= size_t(kMaxObjectSlots))
            return -1;
        m_objects.push_back(std::move(object));
        return int(m_objects.size() - 1);
    }
    if (slot >= kMaxObjectSlots)
        return -1;
    if (size_t(slot) >= m_objects.size())
        m_objects.resize(size_t(slot) + 1);
    m_objects[size_t(slot)] = std::move(object);
    return slot;
}

const Object *GdiDevice::object(int slot) const
{
    if (slot < 0 || size_t(slot) >= m_objects.size())
        return nullptr;
    return &m_objects[size_t(slot)];
}

void GdiDevice::selectObject(int slot)
{
    const Object *o = object(slot);
    if (!o)
        return;
    if (auto *pen = std::get_if<Pen>(o))
        m_s.pen = *pen;
    else if (auto *brush = std::get_if<Brush>(o))
        m_s.brush = *brush;
    else if (auto *font = std::get_if<Font>(o))
        m_s.font = *font;
    else if (std::holds_alternative<Palette>(*o))
        selectPalette(slot);
    else if (auto *rgn = std::get_if<Region>(o))
        selectClipRegionLogical(rgn->region);
}

void GdiDevice::selectStockObject(quint32 id)
{
    // The first five stock brushes: white, light grey, grey, dark grey, black.
    constexpr quint32 kStockBrushColours[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000};
    if (id < std::size(kStockBrushColours)) {
        m_s.brush = Brush{BS_SOLID, kStockBrushColours[id], 0, {}, false};
        return;
    }
    switch (id) {
    case 5:
        m_s.brush = Brush{BS_NULL, 0, 0, {}, false};
        break;
    case 6:
        m_s.pen = Pen{PS_SOLID, 0, 0xFFFFFF, false, {}};
        break;
    case 7:
        m_s.pen = Pen{PS_SOLID, 0, 0x000000, false, {}};
        break;
    case 8:
        m_s.pen = Pen{PS_NULL, 0, 0, false, {}};
        break;
    case 10:
    case 11:
    case 12:
    case 13:
    case 14:
    case 16:
    case 17: {
        Font f;
        f.face = (id == 10 || id == 11 || id == 16) ? QStringLiteral("Courier New")
                                                    : QStringLiteral("Arial");
        f.height = 0;
        m_s.font = f;
        break;
    }
    case 15:
        m_s.palette.reset();
        m_s.paletteSlot = -1;
        break;
    case 18:
        m_s.brush = Brush{BS_SOLID, 0xFFFFFF, 0, {}, false};
        break;
    case 19:
        m_s.pen = Pen{PS_SOLID, 0, 0x000000, false, {}};
        break;
    default:
        break;
    }
}

void GdiDevice::deleteObject(int slot)
{
    if (slot >= 0 && size_t(slot) < m_objects.size())
        m_objects[size_t(slot)] = std::monostate{};
}

void GdiDevice::selectPalette(int slot)
{
    if (const Object *o = object(slot); o && std::holds_alternative<Palette>(*o)) {
        m_s.palette = std::make_shared<const Palette>(std::get<Palette>(*o));
        m_s.paletteSlot = slot;
    }
}

void GdiDevice::setPaletteEntries(int slot, int start, const std::vector<QRgb> &colors)
{
    if (slot < 0 || size_t(slot) >= m_objects.size())
        return;
    auto *pal = std::get_if<Palette>(&m_objects[size_t(slot)]);
    if (!pal || start < 0)
        return;
    for (size_t i = 0; i < colors.size(); ++i) {
        const size_t at = size_t(start) + i;
        if (at < pal->colors.size())
            pal->colors[at] = colors[i];
    }
    if (m_s.paletteSlot == slot)
        m_s.palette = std::make_shared<const Palette>(*pal);
}

void GdiDevice::resizePalette(int slot, int count)
{
    if (slot < 0 || size_t(slot) >= m_objects.size() || count < 0 || count > 1024)
        return;
    if (auto *pal = std::get_if<Palette>(&m_objects[size_t(slot)]))
        pal->colors.resize(size_t(count), qRgb(0, 0, 0));
}

QColor GdiDevice::color(quint32 c) const
{
    if ((c >> 24) == 1) {
        const quint32 index = c & 0xFFFF;
        if (m_s.palette && index < m_s.palette->colors.size())
            return QColor(m_s.palette->colors[index]);
        return QColor(0, 0, 0);
    }
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

const QList<QRgb> *GdiDevice::paletteForDib() const
{
    if (!m_s.palette)
        return nullptr;
    m_dibPalette = QList<QRgb>(m_s.palette->colors.begin(), m_s.palette->colors.end());
    return &m_dibPalette;
}

Brush GdiDevice::brushFromObject(int slot, bool *found) const
{
    const Object *o = object(slot);
    if (o) {
        if (auto *b = std::get_if<Brush>(o)) {
            if (found)
                *found = true;
            return *b;
        }
    }
    if (found)
        *found = false;
    return m_s.brush;
}

// ---------------------------------------------------------------- painting

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
            line = snapToPixelCentres(toTarget.map(device));
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

// ---------------------------------------------------------------- shapes

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

// ---------------------------------------------------------------- clipping

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

// ---------------------------------------------------------------- bitmaps

namespace {

QPainter::CompositionMode blitMode(quint32 rop, bool *invertSource, bool *skip)
{
    *invertSource = false;
    *skip = false;
    switch (rop) {
    case SRCCOPY:
        return QPainter::CompositionMode_SourceOver;
    case SRCPAINT:
        return QPainter::RasterOp_SourceOrDestination;
    case SRCAND:
        return QPainter::RasterOp_SourceAndDestination;
    case SRCINVERT:
        return QPainter::RasterOp_SourceXorDestination;
    case SRCERASE:
        return QPainter::RasterOp_SourceAndNotDestination;
    case NOTSRCCOPY:
        *invertSource = true;
        return QPainter::CompositionMode_SourceOver;
    case NOTSRCERASE:
        return QPainter::RasterOp_NotSourceAndNotDestination;
    case MERGEPAINT:
        return QPainter::RasterOp_NotSourceOrDestination;
    case 0x00AA0029:
        *skip = true;
        return QPainter::CompositionMode_SourceOver;
    default:
        return QPainter::CompositionMode_SourceOver;
    }
}

bool ropUsesSource(quint32 rop)
{
    const quint32 code = (rop >> 16) & 0xFF;
    // The source matters when swapping S changes the result bits.
    return ((code >> 2) & 0x33) != (code & 0x33);
}

} // namespace

void GdiDevice::patBlt(const QRectF &logical, quint32 rop)
{
    if (!finite(logical.topLeft()) || !finite(logical.bottomRight()))
        return;
    if (!spend(1))
        return;
    QPainterPath path;
    path.addRect(logical.normalized());
    const QPainterPath dev = logicalToDevice().map(path);
    if (m_pathOpen || measured(dev.boundingRect()))
        return;
    beginDraw();
    m_p.setRenderHint(QPainter::Antialiasing, false);
    switch (rop) {
    case BLACKNESS:
        m_p.fillPath(dev, Qt::black);
        return;
    case WHITENESS:
        m_p.fillPath(dev, Qt::white);
        return;
    case DSTINVERT:
        m_p.setCompositionMode(QPainter::RasterOp_NotDestination);
        m_p.fillPath(dev, Qt::black);
        return;
    case 0x00AA0029:
        return;
    default:
        break;
    }
    bool visible = false;
    const QBrush b = makeBrush(m_s.brush, &visible);
    if (!visible)
        return;
    if (rop == PATINVERT)
        m_p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    m_p.fillPath(dev, b);
}

void GdiDevice::blit(const Blit &b)
{
    if (b.image.isNull() || !ropUsesSource(b.rop)) {
        if (!b.parallelogram)
            patBlt(b.dest, b.rop);
        return;
    }
    if (m_pathOpen)
        return;
    const QTransform m = logicalToDevice();
    QPointF p0, p1, p2;
    if (b.parallelogram) {
        p0 = (*b.parallelogram)[0];
        p1 = (*b.parallelogram)[1];
        p2 = (*b.parallelogram)[2];
    } else {
        p0 = b.dest.topLeft();
        p1 = QPointF(b.dest.x() + b.dest.width(), b.dest.y());
        p2 = QPointF(b.dest.x(), b.dest.y() + b.dest.height());
    }
    if (!finite(p0) || !finite(p1) || !finite(p2))
        return;
    const QPointF d0 = m.map(p0), d1 = m.map(p1), d2 = m.map(p2);
    QRectF src = b.source;
    if (src.width() == 0 || src.height() == 0)
        return;
    // Flipped source rectangles mirror the picture.
    QTransform pre;
    if (src.width() < 0 || src.height() < 0) {
        const QRectF n = src.normalized();
        pre = QTransform(src.width() < 0 ? -1 : 1, 0, 0, src.height() < 0 ? -1 : 1,
                         src.width() < 0 ? n.left() + n.right() : 0,
                         src.height() < 0 ? n.top() + n.bottom() : 0);
        src = n;
    }
    const double sw = src.width(), sh = src.height();
    QTransform t((d1.x() - d0.x()) / sw, (d1.y() - d0.y()) / sw, (d2.x() - d0.x()) / sh,
                 (d2.y() - d0.y()) / sh, 0, 0);
    t = QTransform::fromTranslate(-src.x(), -src.y()) * t *
        QTransform::fromTranslate(d0.x(), d0.y());
    t = pre * t;
    if (!finiteTransform(t) || std::abs(t.determinant()) < 1e-18)
        return;

    const QRectF inside = src.intersected(QRectF(b.image.rect()));
    if (inside.isEmpty())
        return;
    const QRect clipped = inside.toAlignedRect().intersected(b.image.rect());
    if (clipped.isEmpty())
        return;
    if (!spend(1 + qint64(clipped.width()) * clipped.height() / 16))
        return;

    bool invert = false, skip = false;
    const QPainter::CompositionMode mode = blitMode(b.rop, &invert, &skip);
    if (skip)
        return;
    if (measured(QPolygonF({d0, d1, d1 + d2 - d0, d2}).boundingRect()))
        return;
    QImage img = b.image.copy(clipped);
    if (invert)
        img.invertPixels();
    if (b.transparentColor) {
        img = img.convertToFormat(QImage::Format_ARGB32);
        const QRgb key = *b.transparentColor & 0xFFFFFF;
        for (int y = 0; y < img.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
            for (int x = 0; x < img.width(); ++x)
                if ((line[x] & 0xFFFFFF) == key)
                    line[x] = 0;
        }
    }
    if (!b.mask.isNull()) {
        img = img.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < img.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
            const int my = y + clipped.y() + int(qBound(-1e6, b.maskOffset.y(), 1e6));
            for (int x = 0; x < img.width(); ++x) {
                const int mx = x + clipped.x() + int(qBound(-1e6, b.maskOffset.x(), 1e6));
                const bool on = b.mask.valid(mx, my) && qGray(b.mask.pixel(mx, my)) >= 128;
                // Mask bits that are set take the source; clear ones keep the destination.
                if (!on)
                    line[x] = 0;
            }
        }
    }
    if (b.perPixelAlpha && img.format() == QImage::Format_ARGB32) {
        // AlphaBlend's source is premultiplied; keep the colour within the alpha.
        for (int y = 0; y < img.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
            for (int x = 0; x < img.width(); ++x) {
                const QRgb px = line[x];
                const int a = qAlpha(px);
                line[x] = qRgba(qMin(qRed(px), a), qMin(qGreen(px), a), qMin(qBlue(px), a), a);
            }
        }
        img.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
    }
    beginDraw();
    m_p.setTransform(t * m_setup.deviceToTarget);
    m_p.setCompositionMode(mode);
    if (mode == QPainter::CompositionMode_SourceOver)
        m_p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    m_p.setOpacity(qBound(0, b.constantAlpha, 255) / 255.0);
    m_p.drawImage(QPointF(clipped.topLeft()), img);
    m_p.setOpacity(1.0);
}

// ---------------------------------------------------------------- gradients

void GdiDevice::gradientRects(const std::vector<Vertex> &v,
                              const std::vector<std::pair<quint32, quint32>> &rects, bool vertical)
{
    if (m_pathOpen)
        return;
    const QTransform m = logicalToDevice();
    for (const auto &[a, b] : rects) {
        if (a >= v.size() || b >= v.size() || !spend(4))
            continue;
        const Vertex &va = v[a];
        const Vertex &vb = v[b];
        if (!finite(va.p) || !finite(vb.p))
            continue;
        const QRectF r = QRectF(va.p, vb.p).normalized();
        if (r.isEmpty())
            continue;
        // Colours run from the first vertex's edge to the second's.
        QPointF from = vertical ? QPointF(r.left(), va.p.y()) : QPointF(va.p.x(), r.top());
        QPointF to = vertical ? QPointF(r.left(), vb.p.y()) : QPointF(vb.p.x(), r.top());
        QLinearGradient g(m.map(from), m.map(to));
        g.setColorAt(0, va.c);
        g.setColorAt(1, vb.c);
        QPainterPath path;
        path.addRect(r);
        if (measured(m.mapRect(r)))
            continue;
        beginDraw();
        m_p.setRenderHint(QPainter::Antialiasing, false);
        m_p.fillPath(m.map(path), g);
    }
}

void GdiDevice::gradientTriangles(const std::vector<Vertex> &v,
                                  const std::vector<std::array<quint32, 3>> &tris)
{
    if (m_pathOpen)
        return;
    const QTransform m = logicalToDevice();
    struct Tri {
        QPointF p[3];
        QColor c[3];
    };
    auto mix = [](const QColor &x, const QColor &y) {
        return QColor((x.red() + y.red()) / 2, (x.green() + y.green()) / 2,
                      (x.blue() + y.blue()) / 2, (x.alpha() + y.alpha()) / 2);
    };
    for (const auto &idx : tris) {
        if (idx[0] >= v.size() || idx[1] >= v.size() || idx[2] >= v.size())
            continue;
        Tri root;
        for (int i = 0; i < 3; ++i) {
            root.p[i] = m.map(v[idx[size_t(i)]].p);
            root.c[i] = v[idx[size_t(i)]].c;
            if (!finite(root.p[i]))
                goto next;
        }
        {
            int spread = 0;
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j)
                    spread = qMax(spread, qMax(qAbs(root.c[i].red() - root.c[j].red()),
                                               qMax(qAbs(root.c[i].green() - root.c[j].green()),
                                                    qAbs(root.c[i].blue() - root.c[j].blue()))));
            int depth = 0;
            while ((spread >> depth) > 4 && depth < 5)
                ++depth;
            std::vector<Tri> work{root};
            for (int d = 0; d < depth; ++d) {
                std::vector<Tri> next;
                next.reserve(work.size() * 4);
                for (const Tri &t : work) {
                    const QPointF m01 = (t.p[0] + t.p[1]) / 2, m12 = (t.p[1] + t.p[2]) / 2,
                                  m20 = (t.p[2] + t.p[0]) / 2;
                    const QColor c01 = mix(t.c[0], t.c[1]), c12 = mix(t.c[1], t.c[2]),
                                 c20 = mix(t.c[2], t.c[0]);
                    next.push_back({{t.p[0], m01, m20}, {t.c[0], c01, c20}});
                    next.push_back({{m01, t.p[1], m12}, {c01, t.c[1], c12}});
                    next.push_back({{m20, m12, t.p[2]}, {c20, c12, t.c[2]}});
                    next.push_back({{m01, m12, m20}, {c01, c12, c20}});
                }
                work.swap(next);
            }
            if (!spend(qint64(work.size())))
                return;
            if (measured(QPolygonF({root.p[0], root.p[1], root.p[2]}).boundingRect()))
                continue;
            beginDraw();
            m_p.setRenderHint(QPainter::Antialiasing, false);
            m_p.setPen(Qt::NoPen);
            for (const Tri &t : work) {
                const QColor c((t.c[0].red() + t.c[1].red() + t.c[2].red()) / 3,
                               (t.c[0].green() + t.c[1].green() + t.c[2].green()) / 3,
                               (t.c[0].blue() + t.c[1].blue() + t.c[2].blue()) / 3);
                m_p.setBrush(c);
                const QPointF pts[3] = {t.p[0], t.p[1], t.p[2]};
                m_p.drawPolygon(pts, 3);
            }
        }
    next:;
    }
}

} // namespace metafile
