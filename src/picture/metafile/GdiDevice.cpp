// The GDI replay's device context: mapping, saved states and the object table.
#include "GdiDevice.h"

#include "GdiGeometry.h"

#include <cmath>
#include <iterator>

namespace metafile {

using namespace gdi;

namespace {

constexpr int kMaxSaveDepth = 4096;
constexpr int kMaxObjectSlots = 65536;

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
        const QRectF f = m_setup.wmfPage.value_or(m_setup.wmfFrame);
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

} // namespace metafile
