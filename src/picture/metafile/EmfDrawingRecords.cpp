#include "EmfRecords.h"

#include <QPainterPath>
#include <cmath>

namespace metafile::emf {

using namespace gdi;

void EmfReplay::polyRecord(quint32 type, ByteReader &r)
{
    r.skip(16); // bounds
    const quint32 count = r.u32();
    const bool small = type >= EMR_POLYBEZIER16 && type <= EMR_POLYDRAW16;
    auto pts = readPoints(r, count, small);
    if (pts.empty())
        return;
    switch (type) {
    case EMR_POLYBEZIER:
    case EMR_POLYBEZIER16:
        m_dev.polyBezier(pts);
        break;
    case EMR_POLYGON:
    case EMR_POLYGON16:
        m_dev.polygon(pts);
        break;
    case EMR_POLYLINE:
    case EMR_POLYLINE16:
        m_dev.polyline(pts);
        break;
    case EMR_POLYBEZIERTO:
    case EMR_POLYBEZIERTO16:
        m_dev.polyBezierTo(pts);
        break;
    case EMR_POLYLINETO:
    case EMR_POLYLINETO16:
        m_dev.polylineTo(pts);
        break;
    case EMR_POLYDRAW:
    case EMR_POLYDRAW16: {
        if (!r.has(count))
            return;
        const QByteArrayView t = r.bytes(count);
        std::vector<quint8> types(t.begin(), t.end());
        m_dev.polyDraw(pts, types);
        break;
    }
    default:
        break;
    }
}

void EmfReplay::polyPolyRecord(quint32 type, ByteReader &r)
{
    r.skip(16);
    const quint32 polys = r.u32();
    const quint32 total = r.u32();
    const bool small = type == EMR_POLYPOLYLINE16 || type == EMR_POLYPOLYGON16;
    if (!r.ok() || !r.has(qsizetype(polys) * 4 + qsizetype(total) * (small ? 4 : 8)))
        return;
    std::vector<quint32> counts(polys);
    quint64 sum = 0;
    for (quint32 i = 0; i < polys; ++i) {
        counts[i] = r.u32();
        sum += counts[i];
    }
    if (sum > total)
        return;
    std::vector<std::vector<QPointF>> list;
    list.reserve(polys);
    for (quint32 c : counts)
        list.push_back(readPoints(r, c, small));
    if (type == EMR_POLYPOLYLINE || type == EMR_POLYPOLYLINE16)
        m_dev.polyPolyline(list);
    else
        m_dev.polyPolygon(list);
}

// Lines, curves, closed shapes, paths and regions.
bool EmfReplay::shapeRecord(quint32 type, ByteReader &r)
{
    switch (type) {
    case EMR_POLYBEZIER:
    case EMR_POLYGON:
    case EMR_POLYLINE:
    case EMR_POLYBEZIERTO:
    case EMR_POLYLINETO:
    case EMR_POLYBEZIER16:
    case EMR_POLYGON16:
    case EMR_POLYLINE16:
    case EMR_POLYBEZIERTO16:
    case EMR_POLYLINETO16:
    case EMR_POLYDRAW:
    case EMR_POLYDRAW16:
        polyRecord(type, r);
        break;
    case EMR_POLYPOLYLINE:
    case EMR_POLYPOLYGON:
    case EMR_POLYPOLYLINE16:
    case EMR_POLYPOLYGON16:
        polyPolyRecord(type, r);
        break;
    case EMR_SETPIXELV: {
        const QPointF p = readPointL(r);
        const quint32 c = r.u32();
        if (r.ok())
            m_dev.setPixel(p, c);
        break;
    }
    case EMR_ANGLEARC: {
        const QPointF c = readPointL(r);
        const double radius = r.u32();
        const double start = r.f32();
        const double sweep = r.f32();
        if (r.ok())
            m_dev.angleArc(c, radius, start, sweep);
        break;
    }
    case EMR_ELLIPSE: {
        const QRectF rc = readRectL(r);
        if (r.ok())
            m_dev.ellipse(rc);
        break;
    }
    case EMR_RECTANGLE: {
        const QRectF rc = readRectL(r);
        if (r.ok())
            m_dev.rectangle(rc);
        break;
    }
    case EMR_ROUNDRECT: {
        const QRectF rc = readRectL(r);
        const double w = r.i32(), h = r.i32();
        if (r.ok())
            m_dev.roundRect(rc, QSizeF(w, h));
        break;
    }
    case EMR_ARC:
    case EMR_CHORD:
    case EMR_PIE:
    case EMR_ARCTO: {
        const QRectF box = readRectL(r);
        const QPointF s = readPointL(r);
        const QPointF e = readPointL(r);
        if (!r.ok())
            break;
        const auto kind = type == EMR_ARC     ? GdiDevice::ArcKind::Arc
                          : type == EMR_CHORD ? GdiDevice::ArcKind::Chord
                          : type == EMR_PIE   ? GdiDevice::ArcKind::Pie
                                              : GdiDevice::ArcKind::ArcTo;
        m_dev.arc(box, s, e, kind);
        break;
    }
    case EMR_LINETO: {
        const QPointF p = readPointL(r);
        if (r.ok())
            m_dev.lineTo(p);
        break;
    }
    case EMR_FILLPATH:
        m_dev.fillPath();
        break;
    case EMR_STROKEANDFILLPATH:
        m_dev.strokeAndFillPath();
        break;
    case EMR_STROKEPATH:
        m_dev.strokePath();
        break;
    case EMR_FILLRGN:
    case EMR_FRAMERGN:
    case EMR_INVERTRGN:
    case EMR_PAINTRGN: {
        r.skip(16);
        const quint32 size = r.u32();
        quint32 brushSlot = 0;
        double fw = 0, fh = 0;
        if (type == EMR_FILLRGN || type == EMR_FRAMERGN)
            brushSlot = r.u32();
        if (type == EMR_FRAMERGN) {
            fw = r.i32();
            fh = r.i32();
        }
        if (!r.ok())
            break;
        auto rgn = readRgnData(r, size);
        if (!rgn)
            break;
        const QPainterPath path = m_dev.regionToDevicePath(*rgn, false);
        if (type == EMR_INVERTRGN) {
            m_dev.invertRegion(path);
        } else if (type == EMR_PAINTRGN) {
            m_dev.paintRegion(path);
        } else {
            Brush b;
            bool found = true;
            if (brushSlot & 0x80000000u) {
                // A stock brush: pick its colour.
                const quint32 id = brushSlot & 0x7FFFFFFF;
                static const quint32 stock[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000};
                if (id < 5)
                    b = Brush{BS_SOLID, stock[id], 0, {}, false};
                else
                    b = Brush{BS_NULL, 0, 0, {}, false};
            } else {
                b = m_dev.brushFromObject(int(qMin<quint32>(brushSlot, 0x7FFFFFFF)), &found);
            }
            if (!found)
                break;
            if (type == EMR_FILLRGN)
                m_dev.fillRegion(path, b);
            else
                m_dev.frameRegion(path, b, QSizeF(fw, fh));
        }
        break;
    }
    default:
        return false;
    }
    return true;
}

void EmfReplay::playEmrText(ByteReader &r, QByteArrayView rec, bool wide, qsizetype at)
{
    r.seek(at);
    GdiDevice::TextRun run;
    run.reference = readPointL(r);
    const quint32 chars = r.u32();
    const quint32 offString = r.u32();
    run.options = r.u32();
    const QRectF rect = readRectL(r);
    const quint32 offDx = r.u32();
    if (!r.ok() || chars > 1'000'000)
        return;
    if (!(run.options & ETO_NO_RECT) && (run.options & (ETO_OPAQUE | ETO_CLIPPED)))
        run.rect = rect;
    ByteReader whole(rec);
    const QByteArrayView str = whole.at(offString, qint64(chars) * (wide ? 2 : 1));
    if (chars > 0 && str.isEmpty())
        return;
    const bool pdy = run.options & ETO_PDY;
    const QByteArrayView dxBytes = whole.at(offDx, qint64(chars) * 4 * (pdy ? 2 : 1));
    if (!dxBytes.isEmpty() && offDx != 0) {
        ByteReader d(dxBytes);
        for (quint32 i = 0; i < chars; ++i) {
            run.dx.push_back(d.i32());
            if (pdy)
                run.dy.push_back(d.i32());
        }
    }
    if (run.options & ETO_GLYPH_INDEX) {
        ByteReader s(str);
        for (quint32 i = 0; i < chars; ++i)
            run.glyphs.push_back(wide ? s.u16() : s.u8());
    } else if (wide) {
        QString text;
        text.reserve(chars);
        ByteReader s(str);
        for (quint32 i = 0; i < chars; ++i)
            text.append(QChar(char16_t(s.u16())));
        run.text = text;
    } else {
        run.text = m_dev.decodeAnsi(str, &run.dx);
    }
    if (!run.glyphs.empty() || run.text.size() == qsizetype(run.dx.size()) || run.dx.empty()) {
        // lengths agree
    } else {
        run.dx.clear();
        run.dy.clear();
    }
    m_dev.textOut(run);
}

// The text records.
bool EmfReplay::textRecord(quint32 type, ByteReader &r, QByteArrayView rec)
{
    switch (type) {
    case EMR_EXTTEXTOUTA:
    case EMR_EXTTEXTOUTW:
        // bounds, graphics mode, x scale, y scale, then the text.
        playEmrText(r, rec, type == EMR_EXTTEXTOUTW, 8 + 16 + 12);
        break;
    case EMR_POLYTEXTOUTA:
    case EMR_POLYTEXTOUTW: {
        r.skip(16 + 12);
        const quint32 n = r.u32();
        if (!r.ok())
            break;
        for (quint32 i = 0; i < n && i < 10000; ++i) {
            const qsizetype at = 8 + 16 + 12 + 4 + qsizetype(i) * 40;
            if (at + 40 > rec.size())
                break;
            playEmrText(r, rec, type == EMR_POLYTEXTOUTW, at);
        }
        break;
    }
    case EMR_SMALLTEXTOUT: {
        GdiDevice::TextRun run;
        run.reference = readPointL(r);
        const quint32 chars = r.u32();
        run.options = r.u32();
        r.u32(); // graphics mode
        r.f32();
        r.f32();
        if (!(run.options & ETO_NO_RECT)) {
            const QRectF rc = readRectL(r);
            if (run.options & (ETO_OPAQUE | ETO_CLIPPED))
                run.rect = rc;
        }
        if (!r.ok() || chars > 1'000'000)
            break;
        if (run.options & ETO_SMALL_CHARS) {
            if (!r.has(chars))
                break;
            run.text = m_dev.decodeAnsi(r.bytes(chars));
        } else {
            if (!r.has(qsizetype(chars) * 2))
                break;
            for (quint32 i = 0; i < chars; ++i)
                run.text.append(QChar(char16_t(r.u16())));
        }
        if (run.options & ETO_GLYPH_INDEX) {
            for (QChar c : run.text)
                run.glyphs.push_back(c.unicode());
            run.text.clear();
        }
        m_dev.textOut(run);
        break;
    }
    default:
        return false;
    }
    return true;
}

} // namespace metafile::emf
