#include "EmfRecords.h"

#include <cmath>
#include <cstring>

namespace metafile::emf {

using namespace gdi;

// The window, the viewport, the mapping mode and the world transform.
bool EmfReplay::pageRecord(quint32 type, ByteReader &r)
{
    switch (type) {
    case EMR_SETWINDOWEXTEX: {
        const double cx = r.i32(), cy = r.i32();
        if (r.ok())
            m_dev.setWindowExt(QSizeF(cx, cy));
        break;
    }
    case EMR_SETWINDOWORGEX: {
        const QPointF p = readPointL(r);
        if (r.ok())
            m_dev.setWindowOrg(p);
        break;
    }
    case EMR_SETVIEWPORTEXTEX: {
        const double cx = r.i32(), cy = r.i32();
        if (r.ok())
            m_dev.setViewportExt(QSizeF(cx, cy));
        break;
    }
    case EMR_SETVIEWPORTORGEX: {
        const QPointF p = readPointL(r);
        if (r.ok())
            m_dev.setViewportOrg(p);
        break;
    }
    case EMR_SETMAPMODE:
        m_dev.setMapMode(int(r.u32()));
        break;
    case EMR_SCALEVIEWPORTEXTEX:
    case EMR_SCALEWINDOWEXTEX: {
        const double xNum = r.i32(), xDen = r.i32(), yNum = r.i32(), yDen = r.i32();
        if (!r.ok())
            break;
        if (type == EMR_SCALEVIEWPORTEXTEX)
            m_dev.scaleViewportExt(xNum, xDen, yNum, yDen);
        else
            m_dev.scaleWindowExt(xNum, xDen, yNum, yDen);
        break;
    }
    case EMR_SETWORLDTRANSFORM: {
        const QTransform t = readXform(r);
        if (r.ok())
            m_dev.setWorldTransform(t);
        break;
    }
    case EMR_MODIFYWORLDTRANSFORM: {
        const QTransform t = readXform(r);
        const quint32 mode = r.u32();
        if (r.ok())
            m_dev.modifyWorldTransform(t, int(mode));
        break;
    }
    default:
        return false;
    }
    return true;
}

// Modes, colours, the current position and saved states.
bool EmfReplay::stateRecord(quint32 type, ByteReader &r)
{
    switch (type) {
    case EMR_SETBRUSHORGEX: {
        const QPointF p = readPointL(r);
        if (r.ok())
            m_dev.setBrushOrg(p);
        break;
    }
    case EMR_SETBKMODE:
        m_dev.setBkMode(int(r.u32()));
        break;
    case EMR_SETPOLYFILLMODE:
        m_dev.setPolyFillMode(int(r.u32()));
        break;
    case EMR_SETROP2:
        m_dev.setRop2(int(r.u32()));
        break;
    case EMR_SETSTRETCHBLTMODE:
        m_dev.setStretchBltMode(int(r.u32()));
        break;
    case EMR_SETTEXTALIGN:
        m_dev.setTextAlign(r.u32());
        break;
    case EMR_SETTEXTCOLOR: {
        const quint32 c = r.u32();
        if (r.ok())
            m_dev.setTextColor(c);
        break;
    }
    case EMR_SETBKCOLOR: {
        const quint32 c = r.u32();
        if (r.ok())
            m_dev.setBkColor(c);
        break;
    }
    case EMR_MOVETOEX: {
        const QPointF p = readPointL(r);
        if (r.ok())
            m_dev.moveTo(p);
        break;
    }
    case EMR_SAVEDC:
        m_dev.saveDc();
        break;
    case EMR_RESTOREDC: {
        const qint32 n = r.i32();
        if (r.ok())
            m_dev.restoreDc(n);
        break;
    }
    case EMR_SETARCDIRECTION:
        m_dev.setArcDirection(int(r.u32()));
        break;
    case EMR_SETMITERLIMIT: {
        // Written as a 32-bit integer by some producers and as a float by others.
        const quint32 raw = r.u32();
        double limit = raw;
        if (raw > 0x10000) {
            float f;
            std::memcpy(&f, &raw, sizeof f);
            limit = f;
        }
        m_dev.setMiterLimit(limit);
        break;
    }
    default:
        return false;
    }
    return true;
}

// The clip, and the path brackets that can become it.
bool EmfReplay::clipRecord(quint32 type, ByteReader &r)
{
    switch (type) {
    case EMR_OFFSETCLIPRGN: {
        const QPointF p = readPointL(r);
        if (r.ok())
            m_dev.offsetClip(p);
        break;
    }
    case EMR_EXCLUDECLIPRECT:
    case EMR_INTERSECTCLIPRECT: {
        const QRectF rc = readRectL(r);
        if (!r.ok())
            break;
        if (type == EMR_EXCLUDECLIPRECT)
            m_dev.excludeClipRect(rc);
        else
            m_dev.intersectClipRect(rc);
        break;
    }
    case EMR_BEGINPATH:
        m_dev.beginPath();
        break;
    case EMR_ENDPATH:
        m_dev.endPath();
        break;
    case EMR_CLOSEFIGURE:
        m_dev.closeFigure();
        break;
    case EMR_FLATTENPATH:
        m_dev.flattenPath();
        break;
    case EMR_WIDENPATH:
        m_dev.widenPath();
        break;
    case EMR_SELECTCLIPPATH:
        m_dev.selectClipPath(int(r.u32()));
        break;
    case EMR_ABORTPATH:
        m_dev.abortPath();
        break;
    case EMR_EXTSELECTCLIPRGN: {
        const quint32 size = r.u32();
        const int mode = int(r.u32());
        if (!r.ok())
            break;
        if (size == 0 || (mode == RGN_COPY && size < 32)) {
            m_dev.selectClipRegion(std::nullopt, mode);
            break;
        }
        auto rgn = readRgnData(r, size);
        if (rgn)
            m_dev.selectClipRegion(rgn, mode);
        break;
    }
    default:
        return false;
    }
    return true;
}

// Pens, brushes, fonts and palettes: made, selected and deleted.
bool EmfReplay::objectRecord(quint32 type, ByteReader &r, QByteArrayView rec)
{
    switch (type) {
    case EMR_SELECTOBJECT: {
        const quint32 i = r.u32();
        if (r.ok())
            selectObject(i);
        break;
    }
    case EMR_DELETEOBJECT: {
        const quint32 i = r.u32();
        if (r.ok() && !(i & 0x80000000u))
            m_dev.deleteObject(int(qMin<quint32>(i, 0x7FFFFFFF)));
        break;
    }
    case EMR_CREATEPEN: {
        const quint32 slot = r.u32();
        Pen pen;
        pen.style = r.u32();
        pen.width = std::abs(double(r.i32()));
        r.i32();
        pen.color = r.u32();
        if (r.ok() && slot > 0 && slot < 0x80000000u)
            m_dev.createObject(Object(pen), int(qMin<quint32>(slot, 0x7FFFFFFF)));
        break;
    }
    case EMR_EXTCREATEPEN: {
        const quint32 slot = r.u32();
        const BitmapRef bmp = readBitmapRef(r);
        Q_UNUSED(bmp);
        Pen pen;
        pen.extended = true;
        pen.style = r.u32();
        pen.width = r.u32();
        const quint32 brushStyle = r.u32();
        pen.color = r.u32();
        r.u32(); // hatch
        const quint32 entries = r.u32();
        if (!r.ok() || slot == 0 || slot >= 0x80000000u)
            break;
        if ((pen.style & PS_STYLE_MASK) == PS_USERSTYLE && entries < 64 &&
            r.has(qsizetype(entries) * 4))
            for (quint32 i = 0; i < entries; ++i)
                pen.dashes.push_back(r.u32());
        if (brushStyle == BS_NULL)
            pen.style = (pen.style & ~PS_STYLE_MASK) | PS_NULL;
        m_dev.createObject(Object(pen), int(slot));
        break;
    }
    case EMR_CREATEBRUSHINDIRECT: {
        const quint32 slot = r.u32();
        Brush b;
        b.style = r.u32();
        b.color = r.u32();
        b.hatch = r.u32();
        if (!r.ok() || slot == 0 || slot >= 0x80000000u)
            break;
        if (b.style != BS_SOLID && b.style != BS_NULL && b.style != BS_HATCHED)
            b.style = BS_SOLID;
        m_dev.createObject(Object(b), int(slot));
        break;
    }
    case EMR_CREATEMONOBRUSH:
    case EMR_CREATEDIBPATTERNBRUSHPT: {
        const quint32 slot = r.u32();
        const quint32 usage = r.u32();
        const BitmapRef bmp = readBitmapRef(r);
        if (!r.ok() || slot == 0 || slot >= 0x80000000u)
            break;
        Brush b;
        b.style = BS_DIBPATTERNPT;
        // A monochrome brush's colour table only says which entry is black and which
        // white (the text and background colours take their places), so it is read
        // as colours; a brush written without one uses its bits as they are.
        constexpr quint32 kNoTable = 2; // DIB_PAL_INDICES
        const quint32 tableUsage = usage == kNoTable ? kNoTable : 0;
        auto img = recordBitmap(rec, bmp, type == EMR_CREATEMONOBRUSH ? tableUsage : usage, m_dev);
        if (img) {
            b.pattern = *img;
            b.monochrome = type == EMR_CREATEMONOBRUSH;
        } else {
            b.style = BS_SOLID;
            b.color = 0x808080;
        }
        m_dev.createObject(Object(b), int(slot));
        break;
    }
    case EMR_EXTCREATEFONTINDIRECTW: {
        const quint32 slot = r.u32();
        const Font f = readLogFontW(r);
        if (slot > 0 && slot < 0x80000000u)
            m_dev.createObject(Object(f), int(slot));
        break;
    }
    case EMR_CREATEPALETTE: {
        const quint32 slot = r.u32();
        r.u16(); // version
        const int n = r.u16();
        Palette pal;
        for (int i = 0; i < n && r.has(4); ++i) {
            const int red = r.u8(), green = r.u8(), blue = r.u8();
            r.u8();
            pal.colors.push_back(qRgb(red, green, blue));
        }
        if (slot > 0 && slot < 0x80000000u)
            m_dev.createObject(Object(pal), int(slot));
        break;
    }
    case EMR_SETPALETTEENTRIES: {
        const quint32 slot = r.u32();
        const quint32 start = r.u32();
        const quint32 n = r.u32();
        std::vector<QRgb> colors;
        for (quint32 i = 0; i < n && r.has(4); ++i) {
            const int red = r.u8(), green = r.u8(), blue = r.u8();
            r.u8();
            colors.push_back(qRgb(red, green, blue));
        }
        if (slot < 0x80000000u && start < 65536)
            m_dev.setPaletteEntries(int(slot), int(start), colors);
        break;
    }
    case EMR_RESIZEPALETTE: {
        const quint32 slot = r.u32();
        const quint32 n = r.u32();
        if (r.ok() && slot < 0x80000000u && n < 65536)
            m_dev.resizePalette(int(slot), int(n));
        break;
    }
    case EMR_SELECTPALETTE: {
        const quint32 slot = r.u32();
        if (r.ok() && !(slot & 0x80000000u))
            m_dev.selectPalette(int(slot));
        else if (r.ok())
            m_dev.selectStockObject(15);
        break;
    }
    default:
        return false;
    }
    return true;
}

} // namespace metafile::emf
