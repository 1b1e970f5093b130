#include "WmfPlayer.h"

#include "ByteReader.h"
#include "GdiDevice.h"
#include "RecordBitmap.h"

#include <QPainterPath>

namespace metafile {

using namespace gdi;

namespace {

enum WmfFunction : quint16 {
    META_EOF = 0x0000,
    META_REALIZEPALETTE = 0x0035,
    META_SETPALENTRIES = 0x0037,
    META_SETBKMODE = 0x0102,
    META_SETMAPMODE = 0x0103,
    META_SETROP2 = 0x0104,
    META_SETRELABS = 0x0105,
    META_SETPOLYFILLMODE = 0x0106,
    META_SETSTRETCHBLTMODE = 0x0107,
    META_SETTEXTCHAREXTRA = 0x0108,
    META_RESTOREDC = 0x0127,
    META_RESIZEPALETTE = 0x0139,
    META_DIBCREATEPATTERNBRUSH = 0x0142,
    META_SETLAYOUT = 0x0149,
    META_SETBKCOLOR = 0x0201,
    META_SETTEXTCOLOR = 0x0209,
    META_OFFSETVIEWPORTORG = 0x0211,
    META_LINETO = 0x0213,
    META_MOVETO = 0x0214,
    META_OFFSETCLIPRGN = 0x0220,
    META_FILLREGION = 0x0228,
    META_SETMAPPERFLAGS = 0x0231,
    META_SELECTPALETTE = 0x0234,
    META_POLYGON = 0x0324,
    META_POLYLINE = 0x0325,
    META_SETTEXTJUSTIFICATION = 0x020A,
    META_SETWINDOWORG = 0x020B,
    META_SETWINDOWEXT = 0x020C,
    META_SETVIEWPORTORG = 0x020D,
    META_SETVIEWPORTEXT = 0x020E,
    META_OFFSETWINDOWORG = 0x020F,
    META_SCALEWINDOWEXT = 0x0410,
    META_SCALEVIEWPORTEXT = 0x0412,
    META_EXCLUDECLIPRECT = 0x0415,
    META_INTERSECTCLIPRECT = 0x0416,
    META_ELLIPSE = 0x0418,
    META_FLOODFILL = 0x0419,
    META_FRAMEREGION = 0x0429,
    META_ANIMATEPALETTE = 0x0436,
    META_TEXTOUT = 0x0521,
    META_POLYPOLYGON = 0x0538,
    META_EXTFLOODFILL = 0x0548,
    META_RECTANGLE = 0x041B,
    META_SETPIXEL = 0x041F,
    META_ROUNDRECT = 0x061C,
    META_PATBLT = 0x061D,
    META_SAVEDC = 0x001E,
    META_PIE = 0x081A,
    META_STRETCHBLT = 0x0B23,
    META_ESCAPE = 0x0626,
    META_INVERTREGION = 0x012A,
    META_PAINTREGION = 0x012B,
    META_SELECTCLIPREGION = 0x012C,
    META_SELECTOBJECT = 0x012D,
    META_SETTEXTALIGN = 0x012E,
    META_ARC = 0x0817,
    META_CHORD = 0x0830,
    META_BITBLT = 0x0922,
    META_EXTTEXTOUT = 0x0A32,
    META_SETDIBTODEV = 0x0D33,
    META_DIBBITBLT = 0x0940,
    META_DIBSTRETCHBLT = 0x0B41,
    META_STRETCHDIB = 0x0F43,
    META_DELETEOBJECT = 0x01F0,
    META_CREATEPALETTE = 0x00F7,
    META_CREATEPATTERNBRUSH = 0x01F9,
    META_CREATEPENINDIRECT = 0x02FA,
    META_CREATEFONTINDIRECT = 0x02FB,
    META_CREATEBRUSHINDIRECT = 0x02FC,
    META_CREATEREGION = 0x06FF,
};

constexpr int kMaxWmfObjects = 65535;

QPointF readPointYX(ByteReader &r)
{
    const double y = r.i16();
    const double x = r.i16();
    return {x, y};
}

// Reads bottom, right, top, left (the order WMF stores a rectangle's arguments).
QRectF readRectReversed(ByteReader &r)
{
    const double bottom = r.i16();
    const double right = r.i16();
    const double top = r.i16();
    const double left = r.i16();
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

std::vector<QPointF> readPoints(ByteReader &r, int count)
{
    std::vector<QPointF> pts;
    if (count <= 0 || !r.has(qsizetype(count) * 4))
        return pts;
    pts.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        const double x = r.i16();
        const double y = r.i16();
        pts.emplace_back(x, y);
    }
    return pts;
}

Font readLogFont(ByteReader &r)
{
    Font f;
    f.height = r.i16();
    f.width = r.i16();
    f.escapement = r.i16();
    f.orientation = r.i16();
    f.weight = r.i16();
    f.italic = r.u8() != 0;
    f.underline = r.u8() != 0;
    f.strikeOut = r.u8() != 0;
    f.charSet = r.u8();
    r.u8(); // out precision
    r.u8(); // clip precision
    r.u8(); // quality
    f.pitchAndFamily = r.u8();
    QByteArray face;
    while (r.remaining() > 0 && face.size() < 32) {
        const char c = char(r.u8());
        if (c == 0)
            break;
        face.append(c);
    }
    f.face = QString::fromLatin1(face);
    return f;
}

// An old device-dependent bitmap (BITMAP16): monochrome ones are still met.
std::optional<QImage> readBitmap16(ByteReader &r)
{
    r.i16(); // type
    const int width = r.i16();
    const int height = r.i16();
    const int widthBytes = r.i16();
    const int planes = r.u8();
    const int bpp = r.u8();
    if (!r.ok() || width <= 0 || height <= 0 || width > 16384 || height > 16384 || planes != 1)
        return std::nullopt;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32)
        return std::nullopt;
    if (widthBytes <= 0 || qint64(widthBytes) * 8 < qint64(width) * bpp)
        return std::nullopt;
    if (!r.has(qsizetype(widthBytes) * height))
        return std::nullopt;
    QImage img(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        QByteArrayView row = r.bytes(widthBytes);
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const auto *d = reinterpret_cast<const uchar *>(row.data());
            switch (bpp) {
            case 1:
                line[x] = (d[x / 8] >> (7 - x % 8)) & 1 ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
                break;
            case 4: {
                const int v = ((d[x / 2] >> (x % 2 ? 0 : 4)) & 0xF) * 17;
                line[x] = qRgb(v, v, v);
                break;
            }
            case 8:
                line[x] = qRgb(d[x], d[x], d[x]);
                break;
            case 24:
                line[x] = qRgb(d[3 * x + 2], d[3 * x + 1], d[3 * x]);
                break;
            default:
                line[x] = qRgb(d[4 * x + 2], d[4 * x + 1], d[4 * x]);
                break;
            }
        }
    }
    return img;
}

std::optional<QRegion> readRegion(ByteReader &r)
{
    r.u16(); // next in chain
    r.u16(); // object type
    r.u32(); // object count
    r.u16(); // region size
    const int scans = r.u16();
    r.u16();   // max scan
    r.skip(8); // bounding box
    if (!r.ok())
        return std::nullopt;
    QRegion region;
    QList<QRect> rects;
    for (int s = 0; s < scans && r.ok(); ++s) {
        const int count = r.u16();
        const int top = r.i16();
        const int bottom = r.i16();
        for (int i = 0; i + 1 < count && r.ok(); i += 2) {
            const int left = r.i16();
            const int right = r.i16();
            if (r.ok() && right > left && bottom > top)
                rects.append(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)));
        }
        r.u16(); // count again
        if (rects.size() > 100000)
            break;
    }
    region.setRects(rects.constData(), int(rects.size()));
    return region;
}

bool isDrawingFunction(quint16 f)
{
    switch (f) {
    case META_LINETO:
    case META_POLYGON:
    case META_POLYLINE:
    case META_POLYPOLYGON:
    case META_RECTANGLE:
    case META_ROUNDRECT:
    case META_ELLIPSE:
    case META_ARC:
    case META_PIE:
    case META_CHORD:
    case META_SETPIXEL:
    case META_TEXTOUT:
    case META_EXTTEXTOUT:
    case META_PATBLT:
    case META_BITBLT:
    case META_STRETCHBLT:
    case META_DIBBITBLT:
    case META_DIBSTRETCHBLT:
    case META_STRETCHDIB:
    case META_SETDIBTODEV:
    case META_FILLREGION:
    case META_FRAMEREGION:
    case META_PAINTREGION:
    case META_INVERTREGION:
    case META_FLOODFILL:
    case META_EXTFLOODFILL:
        return true;
    default:
        return false;
    }
}

void extendBounds(QRectF &b, bool &any, QPointF p)
{
    if (!any) {
        b = QRectF(p, QSizeF(0, 0));
        any = true;
    } else {
        b.setLeft(qMin(b.left(), p.x()));
        b.setRight(qMax(b.right(), p.x()));
        b.setTop(qMin(b.top(), p.y()));
        b.setBottom(qMax(b.bottom(), p.y()));
    }
}

} // namespace

std::optional<WmfInfo> scanWmf(QByteArrayView data, QString *whyNot)
{
    auto fail = [&](const char *why) -> std::optional<WmfInfo> {
        if (whyNot)
            *whyNot = QString::fromLatin1(why);
        return std::nullopt;
    };
    WmfInfo info;
    ByteReader r(data);
    if (r.u32() == 0x9AC6CDD7u) {
        info.placeable = true;
        r.u16(); // handle
        const double left = r.i16();
        const double top = r.i16();
        const double right = r.i16();
        const double bottom = r.i16();
        const int inch = r.u16();
        r.u32();
        r.u16(); // checksum
        if (!r.ok())
            return fail("the placeable header is cut short");
        info.unitsPerInch = inch > 0 ? inch : 1440;
        info.frame = QRectF(QPointF(left, top), QPointF(right, bottom)).normalized();
    } else {
        r.seek(0);
    }
    const qsizetype headerAt = r.pos();
    const quint16 type = r.u16();
    const quint16 headerWords = r.u16();
    const quint16 version = r.u16();
    r.u32(); // size in words
    const int objects = r.u16();
    r.u32(); // largest record
    r.u16();
    if (!r.ok())
        return fail("the metafile header is cut short");
    if ((type != 1 && type != 2) || headerWords != 9 || (version != 0x0300 && version != 0x0100))
        return fail("not a Windows metafile header");
    info.objectSlots = qMin(objects, kMaxWmfObjects);
    info.firstRecord = headerAt + 18;

    // Walk the records: every one must fit in the file.
    std::optional<QPointF> windowOrg;
    std::optional<QSizeF> windowExt;
    QRectF bounds;
    bool anyPoint = false;
    qsizetype pos = info.firstRecord;
    while (data.size() - pos >= 6) {
        ByteReader rec(data);
        rec.seek(pos);
        const quint32 words = rec.u32();
        const quint16 function = rec.u16();
        if (words < 3)
            return fail("a record has an impossible size");
        if (qint64(words) * 2 > data.size() - pos)
            return fail("a record runs past the end of the file");
        ++info.recordCount;
        if (function == META_EOF)
            break;
        ByteReader p(data.sliced(pos + 6, qsizetype(words) * 2 - 6));
        if (isDrawingFunction(function))
            ++info.drawingRecords;
        switch (function) {
        case META_SETWINDOWORG:
            if (!windowOrg && !windowExt)
                windowOrg = readPointYX(p);
            break;
        case META_SETWINDOWEXT:
            if (!windowExt) {
                const double h = p.i16();
                const double w = p.i16();
                if (p.ok() && w != 0 && h != 0)
                    windowExt = QSizeF(w, h);
            }
            break;
        case META_LINETO:
        case META_MOVETO:
            extendBounds(bounds, anyPoint, readPointYX(p));
            break;
        case META_RECTANGLE:
        case META_ELLIPSE: {
            const QRectF rc = readRectReversed(p);
            extendBounds(bounds, anyPoint, rc.topLeft());
            extendBounds(bounds, anyPoint, rc.bottomRight());
            break;
        }
        case META_POLYGON:
        case META_POLYLINE: {
            const int n = p.i16();
            for (const QPointF &pt : readPoints(p, n))
                extendBounds(bounds, anyPoint, pt);
            break;
        }
        default:
            break;
        }
        pos += qsizetype(words) * 2;
    }
    if (info.recordCount == 0)
        return fail("the metafile holds no records");

    if (!info.placeable || info.frame.isEmpty()) {
        if (windowExt) {
            const QPointF org = windowOrg.value_or(QPointF(0, 0));
            info.frame = QRectF(org, *windowExt).normalized();
            info.frameFromWindow = true;
        } else {
            info.frame = (anyPoint && !bounds.isEmpty()) ? bounds : QRectF(0, 0, 1024, 768);
            info.frameFromBounds = true;
            info.needsMeasuring = true;
        }
        // A plain WMF says nothing about its units: take them as screen pixels.
        if (!info.placeable)
            info.unitsPerInch = 96;
    }
    return info;
}

void playWmf(QByteArrayView data, const WmfInfo &info, GdiDevice &dev)
{
    qsizetype pos = info.firstRecord;
    while (data.size() - pos >= 6 && !dev.exhausted()) {
        ByteReader head(data);
        head.seek(pos);
        const quint32 words = head.u32();
        const quint16 function = head.u16();
        if (words < 3 || qint64(words) * 2 > data.size() - pos)
            break;
        if (function == META_EOF)
            break;
        const QByteArrayView body = data.sliced(pos + 6, qsizetype(words) * 2 - 6);
        pos += qsizetype(words) * 2;
        ByteReader r(body);
        dev.spend(1);

        switch (function) {
        case META_SAVEDC:
            dev.saveDc();
            break;
        case META_RESTOREDC:
            dev.restoreDc(r.i16());
            break;
        case META_SETBKMODE:
            dev.setBkMode(r.u16());
            break;
        case META_SETMAPMODE:
            dev.setMapMode(r.u16());
            break;
        case META_SETROP2:
            dev.setRop2(r.u16());
            break;
        case META_SETPOLYFILLMODE:
            dev.setPolyFillMode(r.u16());
            break;
        case META_SETSTRETCHBLTMODE:
            dev.setStretchBltMode(r.u16());
            break;
        case META_SETTEXTCHAREXTRA:
            dev.setTextCharExtra(r.i16());
            break;
        case META_SETTEXTALIGN:
            dev.setTextAlign(r.u16());
            break;
        case META_SETBKCOLOR: {
            const quint32 c = r.u32();
            if (r.ok())
                dev.setBkColor(c);
            break;
        }
        case META_SETTEXTCOLOR: {
            const quint32 c = r.u32();
            if (r.ok())
                dev.setTextColor(c);
            break;
        }
        case META_SETWINDOWORG: {
            const QPointF p = readPointYX(r);
            if (r.ok())
                dev.setWindowOrg(p);
            break;
        }
        case META_SETWINDOWEXT: {
            const double h = r.i16();
            const double w = r.i16();
            if (r.ok())
                dev.setWindowExt(QSizeF(w, h));
            break;
        }
        case META_SETVIEWPORTORG: {
            const QPointF p = readPointYX(r);
            if (r.ok())
                dev.setViewportOrg(p);
            break;
        }
        case META_SETVIEWPORTEXT: {
            const double h = r.i16();
            const double w = r.i16();
            if (r.ok())
                dev.setViewportExt(QSizeF(w, h));
            break;
        }
        case META_OFFSETWINDOWORG: {
            const QPointF p = readPointYX(r);
            if (r.ok())
                dev.offsetWindowOrg(p);
            break;
        }
        case META_OFFSETVIEWPORTORG: {
            const QPointF p = readPointYX(r);
            if (r.ok())
                dev.offsetViewportOrg(p);
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
                dev.scaleWindowExt(xNum, xDen, yNum, yDen);
            else
                dev.scaleViewportExt(xNum, xDen, yNum, yDen);
            break;
        }
        case META_MOVETO: {
            const QPointF p = readPointYX(r);
            if (r.ok())
                dev.moveTo(p);
            break;
        }
        case META_LINETO: {
            const QPointF p = readPointYX(r);
            if (r.ok())
                dev.lineTo(p);
            break;
        }
        case META_POLYGON:
        case META_POLYLINE: {
            const int n = r.i16();
            auto pts = readPoints(r, n);
            if (pts.empty())
                break;
            if (function == META_POLYGON)
                dev.polygon(pts);
            else
                dev.polyline(pts);
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
            for (int c : counts)
                list.push_back(readPoints(r, c));
            dev.polyPolygon(list);
            break;
        }
        case META_RECTANGLE: {
            const QRectF rc = readRectReversed(r);
            if (r.ok())
                dev.rectangle(rc);
            break;
        }
        case META_ELLIPSE: {
            const QRectF rc = readRectReversed(r);
            if (r.ok())
                dev.ellipse(rc);
            break;
        }
        case META_ROUNDRECT: {
            const double h = r.i16();
            const double w = r.i16();
            const QRectF rc = readRectReversed(r);
            if (r.ok())
                dev.roundRect(rc, QSizeF(w, h));
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
            dev.arc(box, start, end,
                    function == META_ARC   ? GdiDevice::ArcKind::Arc
                    : function == META_PIE ? GdiDevice::ArcKind::Pie
                                           : GdiDevice::ArcKind::Chord);
            break;
        }
        case META_SETPIXEL: {
            const quint32 c = r.u32();
            const QPointF p = readPointYX(r);
            if (r.ok())
                dev.setPixel(p, c);
            break;
        }
        case META_EXCLUDECLIPRECT:
        case META_INTERSECTCLIPRECT: {
            const QRectF rc = readRectReversed(r);
            if (!r.ok())
                break;
            if (function == META_EXCLUDECLIPRECT)
                dev.excludeClipRect(rc);
            else
                dev.intersectClipRect(rc);
            break;
        }
        case META_OFFSETCLIPRGN: {
            const QPointF p = readPointYX(r);
            if (r.ok())
                dev.offsetClip(p);
            break;
        }
        case META_SELECTCLIPREGION: {
            const int slot = r.u16();
            const Object *o = dev.object(slot);
            const Region *rgn = o ? std::get_if<Region>(o) : nullptr;
            dev.selectClipRegionLogical(rgn ? std::optional<QRegion>(rgn->region) : std::nullopt);
            break;
        }
        case META_FILLREGION:
        case META_FRAMEREGION:
        case META_PAINTREGION:
        case META_INVERTREGION: {
            const int regionSlot = r.u16();
            const Object *o = dev.object(regionSlot);
            const Region *rgn = o ? std::get_if<Region>(o) : nullptr;
            if (!rgn)
                break;
            const QPainterPath path = dev.regionToDevicePath(rgn->region, true);
            if (function == META_INVERTREGION) {
                dev.invertRegion(path);
            } else if (function == META_PAINTREGION) {
                dev.paintRegion(path);
            } else {
                bool found = false;
                const Brush brush = dev.brushFromObject(r.u16(), &found);
                if (!found)
                    break;
                if (function == META_FILLREGION) {
                    dev.fillRegion(path, brush);
                } else {
                    const double h = r.i16();
                    const double w = r.i16();
                    dev.frameRegion(path, brush, QSizeF(w, h));
                }
            }
            break;
        }
        case META_SELECTOBJECT:
            dev.selectObject(r.u16());
            break;
        case META_DELETEOBJECT:
            dev.deleteObject(r.u16());
            break;
        case META_SELECTPALETTE:
            dev.selectPalette(r.u16());
            break;
        case META_CREATEPENINDIRECT: {
            Pen pen;
            pen.style = r.u16();
            pen.width = std::abs(r.i16());
            r.i16();
            pen.color = r.u32();
            dev.createObject(r.ok() ? Object(pen) : Object(Pen{}));
            break;
        }
        case META_CREATEBRUSHINDIRECT: {
            Brush b;
            b.style = r.u16();
            b.color = r.u32();
            b.hatch = r.u16();
            if (b.style == BS_PATTERN || b.style == BS_DIBPATTERN || b.style == BS_DIBPATTERNPT)
                b.style = BS_SOLID; // a pattern needs a bitmap this record does not carry
            dev.createObject(Object(b));
            break;
        }
        case META_CREATEFONTINDIRECT:
            dev.createObject(Object(readLogFont(r)));
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
            dev.createObject(Object(pal));
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
            dev.createObject(rgn ? Object(Region{*rgn}) : Object(Region{}));
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
                o.palette = dev.paletteForDib();
                img = decodeDib(r.bytes(r.remaining()), o);
            }
            if (img && img->width() * img->height() > 0)
                b.pattern = *img;
            else
                b.style = BS_SOLID;
            if (style != int(BS_PATTERN))
                b.monochrome = false;
            dev.createObject(Object(b));
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
            dev.createObject(Object(b));
            break;
        }
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
            run.text = dev.decodeAnsi(bytes);
            dev.textOut(run);
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
            run.text = dev.decodeAnsi(bytes, &run.dx);
            if (run.dx.size() != size_t(run.text.size()))
                run.dx.clear();
            if (run.dy.size() != run.dx.size())
                run.dy.clear();
            dev.textOut(run);
            break;
        }
        case META_PATBLT: {
            const quint32 rop = r.u32();
            const double h = r.i16(), w = r.i16();
            const QPointF p = readPointYX(r);
            if (r.ok())
                dev.patBlt(QRectF(p.x(), p.y(), w, h), rop);
            break;
        }
        case META_BITBLT:
        case META_STRETCHBLT:
        case META_DIBBITBLT:
        case META_DIBSTRETCHBLT: {
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
                break;
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
                    break;
                b.image = *img;
            }
            b.source = QRectF(xSrc, ySrc, srcW, srcH);
            dev.blit(b);
            break;
        }
        case META_STRETCHDIB:
        case META_SETDIBTODEV: {
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
                break;
            DibOptions o;
            o.usage = usage;
            o.palette = dev.paletteForDib();
            const QByteArrayView dibBytes = r.bytes(r.remaining());
            auto img = decodeDib(dibBytes, o);
            if (!img)
                break;
            // Source rows count from the bottom of a bottom-up DIB.
            if (isBottomUpDib(dibBytes))
                ySrc = img->height() - ySrc - srcH;
            b.image = *img;
            b.dest = QRectF(dest.x(), dest.y(), w, h);
            b.source = QRectF(xSrc, ySrc, srcW, srcH);
            dev.blit(b);
            break;
        }
        default:
            // META_ESCAPE, palettes realisation, flood fills, mapper flags, layout
            // and text justification don't change what this player draws.
            break;
        }
    }
}

} // namespace metafile
