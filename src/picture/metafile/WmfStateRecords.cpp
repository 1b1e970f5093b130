#include "RecordBitmap.h"
#include "WmfRecords.h"

namespace metafile::wmf {

using namespace gdi;

// The window, the viewport and their scaling.
bool WmfReplay::pageRecord(quint16 function, ByteReader &r)
{
    switch (function) {
    case META_SETWINDOWORG: {
        const QPointF p = readPointYX(r);
        if (r.ok())
            m_dev.setWindowOrg(p);
        break;
    }
    case META_SETWINDOWEXT: {
        const double h = r.i16();
        const double w = r.i16();
        if (r.ok())
            m_dev.setWindowExt(QSizeF(w, h));
        break;
    }
    case META_SETVIEWPORTORG: {
        const QPointF p = readPointYX(r);
        if (r.ok())
            m_dev.setViewportOrg(p);
        break;
    }
    case META_SETVIEWPORTEXT: {
        const double h = r.i16();
        const double w = r.i16();
        if (r.ok())
            m_dev.setViewportExt(QSizeF(w, h));
        break;
    }
    case META_OFFSETWINDOWORG: {
        const QPointF p = readPointYX(r);
        if (r.ok())
            m_dev.offsetWindowOrg(p);
        break;
    }
    case META_OFFSETVIEWPORTORG: {
        const QPointF p = readPointYX(r);
        if (r.ok())
            m_dev.offsetViewportOrg(p);
        break;
    }
    case META_SCALEWINDOWEXT:
    case META_SCALEVIEWPORTEXT: {
        const double yDen = r.i16();
        const double yNum = r.i16();
        const double xDen = r.i16();
        const double xNum = r.i16();
        if (!r.ok())
            break;
        if (function == META_SCALEWINDOWEXT)
            m_dev.scaleWindowExt(xNum, xDen, yNum, yDen);
        else
            m_dev.scaleViewportExt(xNum, xDen, yNum, yDen);
        break;
    }
    default:
        return false;
    }
    return true;
}

// Saved states, modes, colours and the clip.
bool WmfReplay::stateRecord(quint16 function, ByteReader &r)
{
    switch (function) {
    case META_SAVEDC:
        m_dev.saveDc();
        break;
    case META_RESTOREDC:
        m_dev.restoreDc(r.i16());
        break;
    case META_SETBKMODE:
        m_dev.setBkMode(r.u16());
        break;
    case META_SETMAPMODE:
        m_dev.setMapMode(r.u16());
        break;
    case META_SETROP2:
        m_dev.setRop2(r.u16());
        break;
    case META_SETPOLYFILLMODE:
        m_dev.setPolyFillMode(r.u16());
        break;
    case META_SETSTRETCHBLTMODE:
        m_dev.setStretchBltMode(r.u16());
        break;
    case META_SETTEXTCHAREXTRA:
        m_dev.setTextCharExtra(r.i16());
        break;
    case META_SETTEXTALIGN:
        m_dev.setTextAlign(r.u16());
        break;
    case META_SETBKCOLOR: {
        const quint32 c = r.u32();
        if (r.ok())
            m_dev.setBkColor(c);
        break;
    }
    case META_SETTEXTCOLOR: {
        const quint32 c = r.u32();
        if (r.ok())
            m_dev.setTextColor(c);
        break;
    }
    case META_EXCLUDECLIPRECT:
    case META_INTERSECTCLIPRECT: {
        const QRectF rc = readRectReversed(r);
        if (!r.ok())
            break;
        if (function == META_EXCLUDECLIPRECT)
            m_dev.excludeClipRect(rc);
        else
            m_dev.intersectClipRect(rc);
        break;
    }
    case META_OFFSETCLIPRGN: {
        const QPointF p = readPointYX(r);
        if (r.ok())
            m_dev.offsetClip(p);
        break;
    }
    case META_SELECTCLIPREGION: {
        const int slot = r.u16();
        const Object *o = m_dev.object(slot);
        const Region *rgn = o ? std::get_if<Region>(o) : nullptr;
        m_dev.selectClipRegionLogical(rgn ? std::optional<QRegion>(rgn->region) : std::nullopt);
        break;
    }
    default:
        return false;
    }
    return true;
}

// Pens, brushes, fonts, palettes and regions: made, selected and deleted.
bool WmfReplay::objectRecord(quint16 function, ByteReader &r)
{
    switch (function) {
    case META_SELECTOBJECT:
        m_dev.selectObject(r.u16());
        break;
    case META_DELETEOBJECT:
        m_dev.deleteObject(r.u16());
        break;
    case META_SELECTPALETTE:
        m_dev.selectPalette(r.u16());
        break;
    case META_CREATEPENINDIRECT: {
        Pen pen;
        pen.style = r.u16();
        pen.width = std::abs(r.i16());
        r.i16();
        pen.color = r.u32();
        m_dev.createObject(r.ok() ? Object(pen) : Object(Pen{}));
        break;
    }
    case META_CREATEBRUSHINDIRECT: {
        Brush b;
        b.style = r.u16();
        b.color = r.u32();
        b.hatch = r.u16();
        if (b.style == BS_PATTERN || b.style == BS_DIBPATTERN || b.style == BS_DIBPATTERNPT)
            b.style = BS_SOLID; // a pattern needs a bitmap this record does not carry
        m_dev.createObject(Object(b));
        break;
    }
    case META_CREATEFONTINDIRECT:
        m_dev.createObject(Object(readLogFont(r)));
        break;
    case META_CREATEPALETTE: {
        Palette pal;
        r.u16(); // start
        const int n = r.u16();
        for (int i = 0; i < n && r.has(4); ++i) {
            const int red = r.u8(), green = r.u8(), blue = r.u8();
            r.u8();
            pal.colors.push_back(qRgb(red, green, blue));
        }
        m_dev.createObject(Object(pal));
        break;
    }
    case META_SETPALENTRIES:
    case META_ANIMATEPALETTE: {
        const int start = r.u16();
        const int n = r.u16();
        std::vector<QRgb> colors;
        for (int i = 0; i < n && r.has(4); ++i) {
            const int red = r.u8(), green = r.u8(), blue = r.u8();
            r.u8();
            colors.push_back(qRgb(red, green, blue));
        }
        // These name no palette: they act on the one selected.
        (void)start;
        (void)colors;
        break;
    }
    case META_CREATEREGION: {
        auto rgn = readRegion(r);
        m_dev.createObject(rgn ? Object(Region{*rgn}) : Object(Region{}));
        break;
    }
    case META_DIBCREATEPATTERNBRUSH: {
        const int style = r.u16();
        const int usage = r.u16();
        Brush b;
        b.style = BS_DIBPATTERNPT;
        std::optional<QImage> img;
        if (style == int(BS_PATTERN)) {
            img = readBitmap16(r);
            b.monochrome = img && img->depth() > 0;
        } else {
            DibOptions o;
            o.usage = usage;
            o.palette = m_dev.paletteForDib();
            img = decodeDib(r.bytes(r.remaining()), o);
        }
        if (img && img->width() * img->height() > 0)
            b.pattern = *img;
        else
            b.style = BS_SOLID;
        if (style != int(BS_PATTERN))
            b.monochrome = false;
        m_dev.createObject(Object(b));
        break;
    }
    case META_CREATEPATTERNBRUSH: {
        Brush b;
        b.style = BS_PATTERN;
        auto img = readBitmap16(r);
        if (img) {
            b.pattern = *img;
            b.monochrome = true;
        } else {
            b.style = BS_SOLID;
        }
        m_dev.createObject(Object(b));
        break;
    }
    default:
        return false;
    }
    return true;
}

} // namespace metafile::wmf
