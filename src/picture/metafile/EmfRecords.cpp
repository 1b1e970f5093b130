#include "EmfRecords.h"

#include "RecordBitmap.h"

#include <cmath>

namespace metafile::emf {

using namespace gdi;

bool hasBoundsField(quint32 t)
{
    return (t >= EMR_POLYBEZIER && t <= EMR_POLYPOLYGON) ||
           (t >= EMR_POLYBEZIER16 && t <= EMR_POLYDRAW16) || t == EMR_POLYDRAW ||
           (t >= EMR_FILLRGN && t <= EMR_PAINTRGN) || (t >= EMR_BITBLT && t <= EMR_STRETCHDIBITS) ||
           t == EMR_ALPHABLEND || t == EMR_TRANSPARENTBLT || t == EMR_GRADIENTFILL;
}

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

BitmapRef readBitmapRef(ByteReader &r)
{
    BitmapRef b;
    b.offBmi = r.u32();
    b.cbBmi = r.u32();
    b.offBits = r.u32();
    b.cbBits = r.u32();
    return b;
}

std::optional<QImage> recordBitmap(QByteArrayView record, const BitmapRef &ref, quint32 usage,
                                   GdiDevice &dev, bool keepAlpha)
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

} // namespace metafile::emf
