#include "WmfRecords.h"

namespace metafile::wmf {

using namespace gdi;

QPointF readPointYX(ByteReader &r)
{
    const double y = r.i16();
    const double x = r.i16();
    return {x, y};
}

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

} // namespace metafile::wmf
