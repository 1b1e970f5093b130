#include "WmfPlayer.h"

#include "WmfRecords.h"

namespace metafile {

using namespace wmf;

namespace {

constexpr int kMaxWmfObjects = 65535;

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

namespace wmf {

void WmfReplay::run(QByteArrayView data, qsizetype firstRecord)
{
    qsizetype pos = firstRecord;
    while (data.size() - pos >= 6 && !m_dev.exhausted()) {
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
        m_dev.spend(1);
        record(function, body);
    }
}

void WmfReplay::record(quint16 function, QByteArrayView body)
{
    ByteReader r(body);
    if (pageRecord(function, r) || stateRecord(function, r) || objectRecord(function, r) ||
        shapeRecord(function, r) || regionRecord(function, r) || textRecord(function, r) ||
        bitmapRecord(function, r, body))
        return;
    // META_ESCAPE, palettes realisation, flood fills, mapper flags, layout and text
    // justification don't change what this player draws.
}

} // namespace wmf

void playWmf(QByteArrayView data, const WmfInfo &info, GdiDevice &dev)
{
    WmfReplay replay(dev);
    replay.run(data, info.firstRecord);
}

} // namespace metafile
