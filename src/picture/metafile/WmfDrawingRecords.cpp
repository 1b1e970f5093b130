#include "RecordBitmap.h"
#include "WmfRecords.h"

#include <QPainterPath>

namespace metafile::wmf {

using namespace gdi;

// Lines, polygons, rectangles, ellipses, arcs and pixels.
bool WmfReplay::shapeRecord(quint16 function, ByteReader &r)
{
    switch (function) {
    case META_MOVETO: {
        const QPointF p = readPointYX(r);
        if (r.ok())
            m_dev.moveTo(p);
        break;
    }
    case META_LINETO: {
        const QPointF p = readPointYX(r);
        if (r.ok())
            m_dev.lineTo(p);
        break;
    }
    case META_POLYGON:
    case META_POLYLINE: {
        const int n = r.i16();
        auto pts = readPoints(r, n);
        if (pts.empty())
            break;
        if (function == META_POLYGON)
            m_dev.polygon(pts);
        else
            m_dev.polyline(pts);
        break;
    }
    case META_POLYPOLYGON: {
        const int polys = r.u16();
        if (!r.has(qsizetype(polys) * 2))
            break;
        std::vector<int> counts;
        qint64 total = 0;
        for (int i = 0; i < polys; ++i) {
            counts.push_back(r.u16());
            total += counts.back();
        }
        if (!r.has(qsizetype(total) * 4))
            break;
        std::vector<std::vector<QPointF>> list;
        list.reserve(counts.size());
        for (int c : counts)
            list.push_back(readPoints(r, c));
        m_dev.polyPolygon(list);
        break;
    }
    case META_RECTANGLE: {
        const QRectF rc = readRectReversed(r);
        if (r.ok())
            m_dev.rectangle(rc);
        break;
    }
    case META_ELLIPSE: {
        const QRectF rc = readRectReversed(r);
        if (r.ok())
            m_dev.ellipse(rc);
        break;
    }
    case META_ROUNDRECT: {
        const double h = r.i16();
        const double w = r.i16();
        const QRectF rc = readRectReversed(r);
        if (r.ok())
            m_dev.roundRect(rc, QSizeF(w, h));
        break;
    }
    case META_ARC:
    case META_PIE:
    case META_CHORD: {
        const QPointF end = readPointYX(r);
        const QPointF start = readPointYX(r);
        const QRectF box = readRectReversed(r);
        if (!r.ok())
            break;
        m_dev.arc(box, start, end,
                  function == META_ARC   ? GdiDevice::ArcKind::Arc
                  : function == META_PIE ? GdiDevice::ArcKind::Pie
                                         : GdiDevice::ArcKind::Chord);
        break;
    }
    case META_SETPIXEL: {
        const quint32 c = r.u32();
        const QPointF p = readPointYX(r);
        if (r.ok())
            m_dev.setPixel(p, c);
        break;
    }
    default:
        return false;
    }
    return true;
}

// Regions filled, framed, inverted and painted.
bool WmfReplay::regionRecord(quint16 function, ByteReader &r)
{
    switch (function) {
    case META_FILLREGION:
    case META_FRAMEREGION:
    case META_PAINTREGION:
    case META_INVERTREGION: {
        const int regionSlot = r.u16();
        const Object *o = m_dev.object(regionSlot);
        const Region *rgn = o ? std::get_if<Region>(o) : nullptr;
        if (!rgn)
            break;
        const QPainterPath path = m_dev.regionToDevicePath(rgn->region, true);
        if (function == META_INVERTREGION) {
            m_dev.invertRegion(path);
        } else if (function == META_PAINTREGION) {
            m_dev.paintRegion(path);
        } else {
            bool found = false;
            const Brush brush = m_dev.brushFromObject(r.u16(), &found);
            if (!found)
                break;
            if (function == META_FILLREGION) {
                m_dev.fillRegion(path, brush);
            } else {
                const double h = r.i16();
                const double w = r.i16();
                m_dev.frameRegion(path, brush, QSizeF(w, h));
            }
        }
        break;
    }
    default:
        return false;
    }
    return true;
}

// Text, plain or with its rectangle and advances.
bool WmfReplay::textRecord(quint16 function, ByteReader &r)
{
    switch (function) {
    case META_TEXTOUT: {
        const int len = r.i16();
        if (len <= 0 || !r.has(len))
            break;
        const QByteArrayView bytes = r.bytes(len);
        if (len & 1)
            r.skip(1);
        const QPointF p = readPointYX(r);
        if (!r.ok())
            break;
        GdiDevice::TextRun run;
        run.reference = p;
        run.text = m_dev.decodeAnsi(bytes);
        m_dev.textOut(run);
        break;
    }
    case META_EXTTEXTOUT: {
        const QPointF p = readPointYX(r);
        const int len = r.i16();
        const quint16 options = r.u16();
        if (!r.ok())
            break;
        GdiDevice::TextRun run;
        run.reference = p;
        run.options = options;
        if (options & (ETO_OPAQUE | ETO_CLIPPED)) {
            const double left = r.i16(), top = r.i16(), right = r.i16(), bottom = r.i16();
            if (!r.ok())
                break;
            run.rect = QRectF(QPointF(left, top), QPointF(right, bottom));
        }
        if (len < 0 || !r.has(len))
            break;
        const QByteArrayView bytes = r.bytes(len);
        if (len & 1)
            r.skip(1);
        // ETO_PDY gives each character a vertical advance after its horizontal one.
        const bool pdy = options & ETO_PDY;
        if (r.has(qsizetype(len) * (pdy ? 4 : 2))) {
            for (int i = 0; i < len; ++i) {
                run.dx.push_back(r.i16());
                if (pdy)
                    run.dy.push_back(r.i16());
            }
        }
        run.text = m_dev.decodeAnsi(bytes, &run.dx);
        if (run.dx.size() != size_t(run.text.size()))
            run.dx.clear();
        if (run.dy.size() != run.dx.size())
            run.dy.clear();
        m_dev.textOut(run);
        break;
    }
    default:
        return false;
    }
    return true;
}

// Pattern blits and bitmaps.
bool WmfReplay::bitmapRecord(quint16 function, ByteReader &r, QByteArrayView body)
{
    switch (function) {
    case META_PATBLT: {
        const quint32 rop = r.u32();
        const double h = r.i16(), w = r.i16();
        const QPointF p = readPointYX(r);
        if (r.ok())
            m_dev.patBlt(QRectF(p.x(), p.y(), w, h), rop);
        break;
    }
    case META_BITBLT:
    case META_STRETCHBLT:
    case META_DIBBITBLT:
    case META_DIBSTRETCHBLT:
        bitBlt(function, r, body);
        break;
    case META_STRETCHDIB:
    case META_SETDIBTODEV:
        dibBlt(function, r);
        break;
    default:
        return false;
    }
    return true;
}

void WmfReplay::bitBlt(quint16 function, ByteReader &r, QByteArrayView body)
{
    const bool stretch = function == META_STRETCHBLT || function == META_DIBSTRETCHBLT;
    const bool dib = function == META_DIBBITBLT || function == META_DIBSTRETCHBLT;
    // Without a bitmap the record is a pattern blit with an extra reserved word.
    const qsizetype fixedWords = stretch ? 10 : 8;
    const bool noBitmap = body.size() == (fixedWords + 1) * 2;
    GdiDevice::Blit b;
    b.rop = r.u32();
    double srcH = 0, srcW = 0;
    if (stretch) {
        srcH = r.i16();
        srcW = r.i16();
    }
    const double ySrc = r.i16(), xSrc = r.i16();
    if (noBitmap)
        r.u16();
    const double h = r.i16(), w = r.i16();
    const QPointF dest = readPointYX(r);
    if (!r.ok())
        return;
    b.dest = QRectF(dest.x(), dest.y(), w, h);
    if (!stretch) {
        srcW = w;
        srcH = h;
    }
    if (!noBitmap) {
        std::optional<QImage> img;
        if (dib) {
            DibOptions o;
            img = decodeDib(r.bytes(r.remaining()), o);
        } else {
            img = readBitmap16(r);
        }
        if (!img)
            return;
        b.image = *img;
    }
    b.source = QRectF(xSrc, ySrc, srcW, srcH);
    m_dev.blit(b);
}

void WmfReplay::dibBlt(quint16 function, ByteReader &r)
{
    GdiDevice::Blit b;
    int usage = 0;
    double xSrc, ySrc, srcW, srcH, w, h;
    QPointF dest;
    if (function == META_STRETCHDIB) {
        b.rop = r.u32();
        usage = r.u16();
        srcH = r.i16();
        srcW = r.i16();
        ySrc = r.i16();
        xSrc = r.i16();
        h = r.i16();
        w = r.i16();
        dest = readPointYX(r);
    } else {
        usage = r.u16();
        r.u16(); // scan count
        r.u16(); // start scan
        ySrc = r.i16();
        xSrc = r.i16();
        h = r.i16();
        w = r.i16();
        dest = readPointYX(r);
        srcW = w;
        srcH = h;
    }
    if (!r.ok())
        return;
    DibOptions o;
    o.usage = usage;
    o.palette = m_dev.paletteForDib();
    const QByteArrayView dibBytes = r.bytes(r.remaining());
    auto img = decodeDib(dibBytes, o);
    if (!img)
        return;
    // Source rows count from the bottom of a bottom-up DIB.
    if (isBottomUpDib(dibBytes))
        ySrc = img->height() - ySrc - srcH;
    b.image = *img;
    b.dest = QRectF(dest.x(), dest.y(), w, h);
    b.source = QRectF(xSrc, ySrc, srcW, srcH);
    m_dev.blit(b);
}

} // namespace metafile::wmf
