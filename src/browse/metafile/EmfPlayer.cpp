#include "EmfPlayer.h"

#include "ByteReader.h"
#include "GdiDevice.h"
#include "RecordBitmap.h"

#include <QPainterPath>
#include <cmath>

namespace metafile {

using namespace gdi;

namespace {

enum EmfType : quint32 {
    EMR_HEADER = 1,
    EMR_POLYBEZIER,
    EMR_POLYGON,
    EMR_POLYLINE,
    EMR_POLYBEZIERTO,
    EMR_POLYLINETO,
    EMR_POLYPOLYLINE,
    EMR_POLYPOLYGON,
    EMR_SETWINDOWEXTEX,
    EMR_SETWINDOWORGEX,
    EMR_SETVIEWPORTEXTEX,
    EMR_SETVIEWPORTORGEX,
    EMR_SETBRUSHORGEX,
    EMR_EOF,
    EMR_SETPIXELV,
    EMR_SETMAPPERFLAGS,
    EMR_SETMAPMODE,
    EMR_SETBKMODE,
    EMR_SETPOLYFILLMODE,
    EMR_SETROP2,
    EMR_SETSTRETCHBLTMODE,
    EMR_SETTEXTALIGN,
    EMR_SETCOLORADJUSTMENT,
    EMR_SETTEXTCOLOR,
    EMR_SETBKCOLOR,
    EMR_OFFSETCLIPRGN,
    EMR_MOVETOEX,
    EMR_SETMETARGN,
    EMR_EXCLUDECLIPRECT,
    EMR_INTERSECTCLIPRECT,
    EMR_SCALEVIEWPORTEXTEX,
    EMR_SCALEWINDOWEXTEX,
    EMR_SAVEDC,
    EMR_RESTOREDC,
    EMR_SETWORLDTRANSFORM,
    EMR_MODIFYWORLDTRANSFORM,
    EMR_SELECTOBJECT,
    EMR_CREATEPEN,
    EMR_CREATEBRUSHINDIRECT,
    EMR_DELETEOBJECT,
    EMR_ANGLEARC,
    EMR_ELLIPSE,
    EMR_RECTANGLE,
    EMR_ROUNDRECT,
    EMR_ARC,
    EMR_CHORD,
    EMR_PIE,
    EMR_SELECTPALETTE,
    EMR_CREATEPALETTE,
    EMR_SETPALETTEENTRIES,
    EMR_RESIZEPALETTE,
    EMR_REALIZEPALETTE,
    EMR_EXTFLOODFILL,
    EMR_LINETO,
    EMR_ARCTO,
    EMR_POLYDRAW,
    EMR_SETARCDIRECTION,
    EMR_SETMITERLIMIT,
    EMR_BEGINPATH,
    EMR_ENDPATH,
    EMR_CLOSEFIGURE,
    EMR_FILLPATH,
    EMR_STROKEANDFILLPATH,
    EMR_STROKEPATH,
    EMR_FLATTENPATH,
    EMR_WIDENPATH,
    EMR_SELECTCLIPPATH,
    EMR_ABORTPATH,
    EMR_GDICOMMENT = 70,
    EMR_FILLRGN,
    EMR_FRAMERGN,
    EMR_INVERTRGN,
    EMR_PAINTRGN,
    EMR_EXTSELECTCLIPRGN,
    EMR_BITBLT,
    EMR_STRETCHBLT,
    EMR_MASKBLT,
    EMR_PLGBLT,
    EMR_SETDIBITSTODEVICE,
    EMR_STRETCHDIBITS,
    EMR_EXTCREATEFONTINDIRECTW,
    EMR_EXTTEXTOUTA,
    EMR_EXTTEXTOUTW,
    EMR_POLYBEZIER16,
    EMR_POLYGON16,
    EMR_POLYLINE16,
    EMR_POLYBEZIERTO16,
    EMR_POLYLINETO16,
    EMR_POLYPOLYLINE16,
    EMR_POLYPOLYGON16,
    EMR_POLYDRAW16,
    EMR_CREATEMONOBRUSH,
    EMR_CREATEDIBPATTERNBRUSHPT,
    EMR_EXTCREATEPEN,
    EMR_POLYTEXTOUTA,
    EMR_POLYTEXTOUTW,
    EMR_SMALLTEXTOUT = 108,
    EMR_ALPHABLEND = 114,
    EMR_SETLAYOUT = 115,
    EMR_TRANSPARENTBLT = 116,
    EMR_GRADIENTFILL = 118,
};

constexpr quint32 kEmfSignature = 0x464D4520u;

bool hasBoundsField(quint32 t)
{
    return (t >= EMR_POLYBEZIER && t <= EMR_POLYPOLYGON) ||
           (t >= EMR_POLYBEZIER16 && t <= EMR_POLYDRAW16) || t == EMR_POLYDRAW ||
           (t >= EMR_FILLRGN && t <= EMR_PAINTRGN) || (t >= EMR_BITBLT && t <= EMR_STRETCHDIBITS) ||
           t == EMR_ALPHABLEND || t == EMR_TRANSPARENTBLT || t == EMR_GRADIENTFILL;
}

// Records that put something on the page (as opposed to changing state).
bool isDrawingRecord(quint32 t)
{
    return (t >= EMR_POLYBEZIER && t <= EMR_POLYPOLYGON) || t == EMR_SETPIXELV ||
           (t >= EMR_ANGLEARC && t <= EMR_PIE) || (t >= EMR_EXTFLOODFILL && t <= EMR_POLYDRAW) ||
           (t >= EMR_FILLPATH && t <= EMR_STROKEPATH) || (t >= EMR_FILLRGN && t <= EMR_PAINTRGN) ||
           (t >= EMR_BITBLT && t <= EMR_STRETCHDIBITS) ||
           (t >= EMR_EXTTEXTOUTA && t <= EMR_POLYDRAW16) || t == EMR_POLYTEXTOUTA ||
           t == EMR_POLYTEXTOUTW || t == EMR_SMALLTEXTOUT || t == EMR_ALPHABLEND ||
           t == EMR_TRANSPARENTBLT || t == EMR_GRADIENTFILL;
}
constexpr int kMaxHandles = 65535;

QRectF readRectL(ByteReader &r)
{
    const double left = r.i32();
    const double top = r.i32();
    const double right = r.i32();
    const double bottom = r.i32();
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

QPointF readPointL(ByteReader &r)
{
    const double x = r.i32();
    const double y = r.i32();
    return {x, y};
}

std::vector<QPointF> readPoints(ByteReader &r, quint32 count, bool small)
{
    std::vector<QPointF> pts;
    const qsizetype each = small ? 4 : 8;
    if (count == 0 || !r.has(qsizetype(count) * each))
        return pts;
    pts.reserve(count);
    for (quint32 i = 0; i < count; ++i) {
        if (small) {
            const double x = r.i16();
            const double y = r.i16();
            pts.emplace_back(x, y);
        } else {
            const double x = r.i32();
            const double y = r.i32();
            pts.emplace_back(x, y);
        }
    }
    return pts;
}

QTransform readXform(ByteReader &r)
{
    const double m11 = r.f32(), m12 = r.f32(), m21 = r.f32(), m22 = r.f32(), dx = r.f32(),
                 dy = r.f32();
    return QTransform(m11, m12, m21, m22, dx, dy);
}

// RGNDATA: a header and a list of rectangles in device units.
std::optional<QRegion> readRgnData(ByteReader &r, quint32 size)
{
    if (size < 32 || !r.has(size))
        return std::nullopt;
    ByteReader g(r.bytes(size));
    g.u32(); // header size
    g.u32(); // type
    const quint32 count = g.u32();
    g.u32();    // region size
    g.skip(16); // bounds
    if (!g.ok() || !g.has(qsizetype(count) * 16))
        return std::nullopt;
    QList<QRect> rects;
    rects.reserve(qMin<quint32>(count, 100000));
    for (quint32 i = 0; i < count && i < 100000; ++i) {
        const qint64 left = g.i32(), top = g.i32(), right = g.i32(), bottom = g.i32();
        if (right > left && bottom > top && std::abs(left) < (1 << 28) &&
            std::abs(top) < (1 << 28) && std::abs(right) < (1 << 28) &&
            std::abs(bottom) < (1 << 28))
            rects.append(
                QRect(QPoint(int(left), int(top)), QPoint(int(right) - 1, int(bottom) - 1)));
    }
    QRegion region;
    region.setRects(rects.constData(), int(rects.size()));
    return region;
}

Font readLogFontW(ByteReader &r)
{
    Font f;
    f.height = r.i32();
    f.width = r.i32();
    f.escapement = r.i32();
    f.orientation = r.i32();
    f.weight = r.i32();
    f.italic = r.u8() != 0;
    f.underline = r.u8() != 0;
    f.strikeOut = r.u8() != 0;
    f.charSet = r.u8();
    r.u8();
    r.u8();
    r.u8();
    f.pitchAndFamily = r.u8();
    QString face;
    for (int i = 0; i < 32 && r.has(2); ++i) {
        const char16_t c = r.u16();
        if (c == 0)
            break;
        face.append(QChar(c));
    }
    f.face = face;
    return f;
}

struct BitmapRef {
    quint32 offBmi = 0, cbBmi = 0, offBits = 0, cbBits = 0;
};

BitmapRef readBitmapRef(ByteReader &r)
{
    BitmapRef b;
    b.offBmi = r.u32();
    b.cbBmi = r.u32();
    b.offBits = r.u32();
    b.cbBits = r.u32();
    return b;
}

// Decodes a bitmap that a record points to; offsets count from the record start.
std::optional<QImage> recordBitmap(QByteArrayView record, const BitmapRef &ref, quint32 usage,
                                   GdiDevice &dev, bool keepAlpha = false)
{
    if (ref.cbBmi == 0)
        return std::nullopt;
    ByteReader whole(record);
    const QByteArrayView header = whole.at(ref.offBmi, ref.cbBmi);
    const QByteArrayView bits = whole.at(ref.offBits, ref.cbBits);
    if (header.isEmpty())
        return std::nullopt;
    DibOptions o;
    o.keepAlpha = keepAlpha;
    o.usage = usage;
    o.palette = dev.paletteForDib();
    return decodeDib(header, bits, o);
}

QColor readTriVertexColor(ByteReader &r)
{
    const int red = r.u16() >> 8;
    const int green = r.u16() >> 8;
    const int blue = r.u16() >> 8;
    const int alpha = r.u16() >> 8;
    Q_UNUSED(alpha);
    return QColor(red, green, blue);
}

} // namespace

QRectF EmfInfo::frameInDevice() const
{
    const double sx = pxPerMmX() / 100.0;
    const double sy = pxPerMmY() / 100.0;
    return QRectF(frame.left() * sx, frame.top() * sy, (frame.right() - frame.left()) * sx,
                  (frame.bottom() - frame.top()) * sy);
}

std::optional<EmfInfo> scanEmf(QByteArrayView data, QString *whyNot)
{
    auto fail = [&](const char *why) -> std::optional<EmfInfo> {
        if (whyNot)
            *whyNot = QString::fromLatin1(why);
        return std::nullopt;
    };
    ByteReader r(data);
    const quint32 type = r.u32();
    const quint32 size = r.u32();
    EmfInfo info;
    const QRectF bounds = readRectL(r);
    const QRectF frame = readRectL(r);
    const quint32 signature = r.u32();
    r.u32(); // version
    r.u32(); // bytes
    r.u32(); // records
    info.handles = r.u16();
    r.u16();
    const quint32 descriptionChars = r.u32();
    const quint32 descriptionAt = r.u32();
    r.u32(); // palette entries
    const double devW = r.i32(), devH = r.i32();
    const double mmW = r.i32(), mmH = r.i32();
    if (!r.ok())
        return fail("the EMF header is cut short");
    if (type != EMR_HEADER || signature != kEmfSignature)
        return fail("not an enhanced metafile");
    if (size < 88 || size % 4 != 0 || size > data.size())
        return fail("the EMF header has an impossible size");
    // Later headers give the reference device in micrometres, which is more exact.
    double umW = 0, umH = 0;
    // The extension is only there when the description does not start inside it.
    if (size >= 108 && (descriptionChars == 0 || descriptionAt >= 108)) {
        ByteReader ext(data);
        ext.seek(100);
        umW = ext.i32();
        umH = ext.i32();
        // Trust the micrometres only when they agree with the millimetres.
        if (std::abs(umW / 1000.0 - mmW) > 1 + mmW * 0.05 ||
            std::abs(umH / 1000.0 - mmH) > 1 + mmH * 0.05)
            umW = umH = 0;
    }
    info.bounds = QRect(QPoint(int(bounds.left()), int(bounds.top())),
                        QPoint(int(bounds.right()), int(bounds.bottom())));
    info.frame = QRect(QPoint(int(frame.left()), int(frame.top())),
                       QPoint(int(frame.right()), int(frame.bottom())));
    if (devW > 0 && devH > 0 && mmW > 0 && mmH > 0) {
        info.devicePixels = QSizeF(devW, devH);
        info.deviceMm =
            (umW > 0 && umH > 0) ? QSizeF(umW / 1000.0, umH / 1000.0) : QSizeF(mmW, mmH);
        const double ppm = info.pxPerMmX();
        const double ppmy = info.pxPerMmY();
        if (!(ppm > 0.01 && ppm < 10000 && ppmy > 0.01 && ppmy < 10000)) {
            info.devicePixels = QSizeF(96 * 10, 96 * 10);
            info.deviceMm = QSizeF(254, 254);
        }
    } else {
        info.devicePixels = QSizeF(96 * 10, 96 * 10);
        info.deviceMm = QSizeF(254, 254);
    }
    info.handles = qMin(info.handles, kMaxHandles);

    // Drawing records carry their own bounds; their union stands in for a header
    // whose frame and bounds are both unusable.
    QRectF recordBounds;
    auto saneRect = [](const QRectF &rect) {
        return rect.right() >= rect.left() && rect.bottom() >= rect.top() &&
               std::abs(rect.left()) < 1e6 && std::abs(rect.top()) < 1e6 &&
               std::abs(rect.right()) < 1e6 && std::abs(rect.bottom()) < 1e6;
    };
    qsizetype pos = size;
    info.recordCount = 1;
    bool sawEof = false;
    bool plusDrawsEverything = false;
    while (data.size() - pos >= 8) {
        ByteReader rec(data);
        rec.seek(pos);
        const quint32 rtype = rec.u32();
        const quint32 rsize = rec.u32();
        if (rsize < 8 || rsize % 4 != 0)
            return fail("a record has an impossible size");
        if (qint64(rsize) > data.size() - pos)
            return fail("a record runs past the end of the file");
        ++info.recordCount;
        if (rtype == EMR_EOF) {
            sawEof = true;
            break;
        }
        if (rtype == EMR_GDICOMMENT && rsize >= 16) {
            rec.u32();                      // data size
            if (rec.u32() == 0x2B464D45u) { // "EMF+"
                ++info.emfPlusComments;
                // EMF+ header flag: 1 = dual (plain records follow the EMF+ ones too).
                if (info.emfPlusComments == 1 && rsize >= 32) {
                    rec.u16(); // record type
                    rec.u16(); // flags: bit 0 = dual
                    // The header record's flags word: 1 dual, 0 EMF+ only.
                    const quint16 headerType =
                        quint16(qFromLittleEndian<quint16>(data.data() + pos + 16));
                    const quint16 headerFlags =
                        quint16(qFromLittleEndian<quint16>(data.data() + pos + 18));
                    if (headerType == 0x4001)
                        plusDrawsEverything = (headerFlags & 1) == 0;
                }
            }
        } else if (isDrawingRecord(rtype)) {
            ++info.drawingRecords;
            if (hasBoundsField(rtype) && rsize >= 24) {
                ByteReader b(data.sliced(pos + 8, 16));
                const QRectF rb = readRectL(b);
                if (saneRect(rb) && (rb.width() > 0 || rb.height() > 0))
                    recordBounds = recordBounds.isNull() ? rb : recordBounds.united(rb);
            }
        }
        pos += rsize;
    }
    Q_UNUSED(sawEof);
    // EMF+ only, or "dual" files whose plain records draw nothing.
    info.emfPlusOnly =
        info.emfPlusComments > 0 && (plusDrawsEverything || info.drawingRecords == 0);

    // A frame bigger than about 26 metres is as unusable as an empty one.
    auto usable = [](const QRect &box, double unitsPerMetre) {
        return box.right() > box.left() && box.bottom() > box.top() &&
               double(box.right()) - box.left() < 26 * unitsPerMetre &&
               double(box.bottom()) - box.top() < 26 * unitsPerMetre;
    };
    if (!usable(info.frame, 100000)) {
        if (!usable(info.bounds, info.pxPerMmX() * 1000) && !recordBounds.isNull())
            info.bounds = recordBounds.toAlignedRect().adjusted(0, 0, -1, -1);
        // No usable frame: take it from the bounds, which are in device pixels.
        const double sx = 100.0 / info.pxPerMmX();
        const double sy = 100.0 / info.pxPerMmY();
        const QRectF fromBounds(QPointF(info.bounds.left() * sx, info.bounds.top() * sy),
                                QPointF((double(info.bounds.right()) + 1) * sx,
                                        (double(info.bounds.bottom()) + 1) * sy));
        // Bounds far out on the page can put the frame beyond what 32 bits hold.
        constexpr double kFarthest = 1 << 30;
        const bool representable =
            std::abs(fromBounds.left()) < kFarthest && std::abs(fromBounds.top()) < kFarthest &&
            std::abs(fromBounds.right()) < kFarthest && std::abs(fromBounds.bottom()) < kFarthest;
        if (!usable(info.bounds, info.pxPerMmX() * 1000) || !representable)
            return fail("the EMF header gives the picture no size");
        info.frame = QRect(QPoint(int(fromBounds.left()), int(fromBounds.top())),
                           QPoint(int(fromBounds.right()), int(fromBounds.bottom())));
    }
    return info;
}

namespace {

class EmfReplay {
public:
    EmfReplay(QByteArrayView data, GdiDevice &dev) : m_data(data), m_dev(dev) {}
    void run();

private:
    void record(quint32 type, QByteArrayView rec);
    void polyRecord(quint32 type, ByteReader &r);
    void polyPolyRecord(quint32 type, ByteReader &r);
    void textRecord(ByteReader &r, QByteArrayView rec, bool wide, qsizetype emrTextAt);
    void selectObject(quint32 index);

    QByteArrayView m_data;
    GdiDevice &m_dev;
};

void EmfReplay::run()
{
    ByteReader head(m_data);
    head.seek(4);
    qsizetype pos = head.u32();
    while (m_data.size() - pos >= 8 && !m_dev.exhausted()) {
        ByteReader rec(m_data);
        rec.seek(pos);
        const quint32 type = rec.u32();
        const quint32 size = rec.u32();
        if (size < 8 || qint64(size) > m_data.size() - pos)
            break;
        if (type == EMR_EOF)
            break;
        m_dev.spend(1);
        record(type, m_data.sliced(pos, size));
        pos += size;
    }
}

void EmfReplay::selectObject(quint32 index)
{
    if (index & 0x80000000u)
        m_dev.selectStockObject(index & 0x7FFFFFFFu);
    else
        m_dev.selectObject(int(qMin<quint32>(index, 0x7FFFFFFF)));
}

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

void EmfReplay::textRecord(ByteReader &r, QByteArrayView rec, bool wide, qsizetype at)
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

void EmfReplay::record(quint32 type, QByteArrayView rec)
{
    ByteReader r(rec);
    r.seek(8);
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
    case EMR_SETBRUSHORGEX: {
        const QPointF p = readPointL(r);
        if (r.ok())
            m_dev.setBrushOrg(p);
        break;
    }
    case EMR_SETPIXELV: {
        const QPointF p = readPointL(r);
        const quint32 c = r.u32();
        if (r.ok())
            m_dev.setPixel(p, c);
        break;
    }
    case EMR_SETMAPMODE:
        m_dev.setMapMode(int(r.u32()));
        break;
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
    case EMR_OFFSETCLIPRGN: {
        const QPointF p = readPointL(r);
        if (r.ok())
            m_dev.offsetClip(p);
        break;
    }
    case EMR_MOVETOEX: {
        const QPointF p = readPointL(r);
        if (r.ok())
            m_dev.moveTo(p);
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
    case EMR_SAVEDC:
        m_dev.saveDc();
        break;
    case EMR_RESTOREDC: {
        const qint32 n = r.i32();
        if (r.ok())
            m_dev.restoreDc(n);
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
    case EMR_BEGINPATH:
        m_dev.beginPath();
        break;
    case EMR_ENDPATH:
        m_dev.endPath();
        break;
    case EMR_CLOSEFIGURE:
        m_dev.closeFigure();
        break;
    case EMR_FILLPATH:
        m_dev.fillPath();
        break;
    case EMR_STROKEANDFILLPATH:
        m_dev.strokeAndFillPath();
        break;
    case EMR_STROKEPATH:
        m_dev.strokePath();
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
    case EMR_BITBLT:
    case EMR_STRETCHBLT:
    case EMR_ALPHABLEND:
    case EMR_TRANSPARENTBLT:
    case EMR_MASKBLT: {
        r.skip(16); // bounds
        GdiDevice::Blit b;
        const double x = r.i32(), y = r.i32(), cx = r.i32(), cy = r.i32();
        const quint32 ropOrBlend = r.u32();
        const double xSrc = r.i32(), ySrc = r.i32();
        const QTransform xform = readXform(r);
        Q_UNUSED(xform);
        r.u32(); // background colour
        const quint32 usage = r.u32();
        const BitmapRef bmp = readBitmapRef(r);
        if (!r.ok())
            break;
        double cxSrc = cx, cySrc = cy;
        BitmapRef maskRef;
        double xMask = 0, yMask = 0;
        if (type == EMR_STRETCHBLT || type == EMR_ALPHABLEND || type == EMR_TRANSPARENTBLT) {
            cxSrc = r.i32();
            cySrc = r.i32();
            if (!r.ok()) {
                cxSrc = cx;
                cySrc = cy;
            }
        } else if (type == EMR_MASKBLT) {
            xMask = r.i32();
            yMask = r.i32();
            r.u32(); // mask usage
            maskRef = readBitmapRef(r);
        }
        b.dest = QRectF(x, y, cx, cy);
        b.source = QRectF(xSrc, ySrc, cxSrc, cySrc);
        if (type == EMR_ALPHABLEND) {
            b.rop = SRCCOPY;
            b.constantAlpha = int((ropOrBlend >> 16) & 0xFF);
            b.perPixelAlpha = ((ropOrBlend >> 24) & 0xFF) & 1;
        } else if (type == EMR_TRANSPARENTBLT) {
            b.rop = SRCCOPY;
            b.transparentColor = qRgb(int(ropOrBlend & 0xFF), int((ropOrBlend >> 8) & 0xFF),
                                      int((ropOrBlend >> 16) & 0xFF));
        } else if (type == EMR_MASKBLT) {
            b.rop = (ropOrBlend & 0x00FFFFFF) | 0x20;
            b.rop = ((ropOrBlend >> 16) & 0xFF) == 0xCC ? SRCCOPY : (ropOrBlend & 0x00FFFFFF);
        } else {
            b.rop = ropOrBlend;
        }
        if (bmp.cbBmi) {
            auto img =
                recordBitmap(rec, bmp, usage, m_dev, type == EMR_ALPHABLEND && b.perPixelAlpha);
            if (!img)
                break;
            b.image = *img;
        }
        if (type == EMR_MASKBLT && maskRef.cbBmi) {
            auto mask = recordBitmap(rec, maskRef, 0, m_dev);
            if (mask) {
                b.mask = *mask;
                b.maskOffset = QPointF(xMask - xSrc, yMask - ySrc);
            }
        }
        m_dev.blit(b);
        break;
    }
    case EMR_PLGBLT: {
        r.skip(16);
        std::array<QPointF, 3> pts;
        for (auto &p : pts)
            p = readPointL(r);
        const double xSrc = r.i32(), ySrc = r.i32(), cxSrc = r.i32(), cySrc = r.i32();
        readXform(r);
        r.u32();
        const quint32 usage = r.u32();
        const BitmapRef bmp = readBitmapRef(r);
        if (!r.ok())
            break;
        auto img = recordBitmap(rec, bmp, usage, m_dev);
        if (!img)
            break;
        GdiDevice::Blit b;
        b.image = *img;
        b.source = QRectF(xSrc, ySrc, cxSrc, cySrc);
        b.parallelogram = pts;
        m_dev.blit(b);
        break;
    }
    case EMR_SETDIBITSTODEVICE:
    case EMR_STRETCHDIBITS: {
        r.skip(16);
        const double x = r.i32(), y = r.i32(), xSrc = r.i32(), ySrc = r.i32();
        const double cxSrc = r.i32(), cySrc = r.i32();
        const BitmapRef bmp = readBitmapRef(r);
        const quint32 usage = r.u32();
        GdiDevice::Blit b;
        double cx = cxSrc, cy = cySrc;
        double srcY = ySrc;
        if (type == EMR_STRETCHDIBITS) {
            b.rop = r.u32();
            cx = r.i32();
            cy = r.i32();
        } else {
            r.u32(); // start scan
            r.u32(); // scan count
        }
        if (!r.ok())
            break;
        auto img = recordBitmap(rec, bmp, usage, m_dev);
        if (!img) {
            if (!bmp.cbBmi) {
                b.dest = QRectF(x, y, cx, cy);
                m_dev.blit(b);
            }
            break;
        }
        ByteReader whole(rec);
        if (isBottomUpDib(whole.at(bmp.offBmi, bmp.cbBmi)))
            srcY = img->height() - ySrc - cySrc;
        b.image = *img;
        b.dest = QRectF(x, y, cx, cy);
        b.source = QRectF(xSrc, srcY, cxSrc, cySrc);
        m_dev.blit(b);
        break;
    }
    case EMR_EXTTEXTOUTA:
    case EMR_EXTTEXTOUTW:
        // bounds, graphics mode, x scale, y scale, then the text.
        textRecord(r, rec, type == EMR_EXTTEXTOUTW, 8 + 16 + 12);
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
            textRecord(r, rec, type == EMR_POLYTEXTOUTW, at);
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
    case EMR_GRADIENTFILL: {
        r.skip(16);
        const quint32 nVer = r.u32();
        const quint32 nTri = r.u32();
        const quint32 mode = r.u32();
        if (!r.ok() || !r.has(qsizetype(nVer) * 16))
            break;
        std::vector<GdiDevice::Vertex> v;
        v.reserve(nVer);
        for (quint32 i = 0; i < nVer; ++i) {
            const QPointF p = readPointL(r);
            v.push_back({p, readTriVertexColor(r)});
        }
        if (mode == 2) {
            if (!r.has(qsizetype(nTri) * 12))
                break;
            std::vector<std::array<quint32, 3>> tris(nTri);
            for (auto &t : tris)
                t = {r.u32(), r.u32(), r.u32()};
            m_dev.gradientTriangles(v, tris);
        } else if (mode == 0 || mode == 1) {
            if (!r.has(qsizetype(nTri) * 8))
                break;
            std::vector<std::pair<quint32, quint32>> rects(nTri);
            for (auto &p : rects) {
                p.first = r.u32();
                p.second = r.u32();
            }
            m_dev.gradientRects(v, rects, mode == 1);
        }
        break;
    }
    default:
        // Comments (EMF+ included), colour management, layout, flood fills and the
        // OpenGL records are not drawn.
        break;
    }
}

} // namespace

void playEmf(QByteArrayView data, const EmfInfo &info, GdiDevice &device)
{
    Q_UNUSED(info);
    EmfReplay replay(data, device);
    replay.run();
}

} // namespace metafile
