// Bitmaps, raster operations and gradients.
#include "GdiDevice.h"
#include "GdiGeometry.h"

#include <QLinearGradient>
#include <cmath>

namespace metafile {

using namespace gdi;

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
