#include "EmfRecords.h"
#include "RecordBitmap.h"

#include <array>

namespace metafile::emf {

using namespace gdi;

// Bitmaps and gradients.
bool EmfReplay::pictureRecord(quint32 type, ByteReader &r, QByteArrayView rec)
{
    switch (type) {
    case EMR_BITBLT:
    case EMR_STRETCHBLT:
    case EMR_ALPHABLEND:
    case EMR_TRANSPARENTBLT:
    case EMR_MASKBLT:
        bitBltRecord(type, r, rec);
        break;
    case EMR_PLGBLT:
        plgBltRecord(r, rec);
        break;
    case EMR_SETDIBITSTODEVICE:
    case EMR_STRETCHDIBITS:
        dibBitsRecord(type, r, rec);
        break;
    case EMR_GRADIENTFILL:
        gradientFillRecord(r);
        break;
    default:
        return false;
    }
    return true;
}

// BitBlt, StretchBlt, AlphaBlend, TransparentBlt and MaskBlt: a bitmap (or none, for a
// pattern blit) put into a rectangle.
void EmfReplay::bitBltRecord(quint32 type, ByteReader &r, QByteArrayView rec)
{
    r.skip(16); // bounds
    GdiDevice::Blit b;
    const double x = r.i32(), y = r.i32(), cx = r.i32(), cy = r.i32();
    const quint32 ropOrBlend = r.u32();
    const double xSrc = r.i32(), ySrc = r.i32();
    r.skip(24); // source transform
    r.u32();    // background colour
    const quint32 usage = r.u32();
    const BitmapRef bmp = readBitmapRef(r);
    if (!r.ok())
        return;
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
        auto img = recordBitmap(rec, bmp, usage, m_dev, type == EMR_ALPHABLEND && b.perPixelAlpha);
        if (!img)
            return;
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
}

// PlgBlt: a bitmap put into a parallelogram.
void EmfReplay::plgBltRecord(ByteReader &r, QByteArrayView rec)
{
    r.skip(16);
    std::array<QPointF, 3> pts;
    for (auto &p : pts)
        p = readPointL(r);
    const double xSrc = r.i32(), ySrc = r.i32(), cxSrc = r.i32(), cySrc = r.i32();
    r.skip(24); // source transform
    r.u32();
    const quint32 usage = r.u32();
    const BitmapRef bmp = readBitmapRef(r);
    if (!r.ok())
        return;
    auto img = recordBitmap(rec, bmp, usage, m_dev);
    if (!img)
        return;
    GdiDevice::Blit b;
    b.image = *img;
    b.source = QRectF(xSrc, ySrc, cxSrc, cySrc);
    b.parallelogram = pts;
    m_dev.blit(b);
}

// SetDIBitsToDevice and StretchDIBits: a device-independent bitmap.
void EmfReplay::dibBitsRecord(quint32 type, ByteReader &r, QByteArrayView rec)
{
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
        return;
    auto img = recordBitmap(rec, bmp, usage, m_dev);
    if (!img) {
        if (!bmp.cbBmi) {
            b.dest = QRectF(x, y, cx, cy);
            m_dev.blit(b);
        }
        return;
    }
    ByteReader whole(rec);
    if (isBottomUpDib(whole.at(bmp.offBmi, bmp.cbBmi)))
        srcY = img->height() - ySrc - cySrc;
    b.image = *img;
    b.dest = QRectF(x, y, cx, cy);
    b.source = QRectF(xSrc, srcY, cxSrc, cySrc);
    m_dev.blit(b);
}

// GradientFill: rectangles or triangles shaded between their vertices' colours.
void EmfReplay::gradientFillRecord(ByteReader &r)
{
    r.skip(16);
    const quint32 nVer = r.u32();
    const quint32 nTri = r.u32();
    const quint32 mode = r.u32();
    if (!r.ok() || !r.has(qsizetype(nVer) * 16))
        return;
    std::vector<GdiDevice::Vertex> v;
    v.reserve(nVer);
    for (quint32 i = 0; i < nVer; ++i) {
        const QPointF p = readPointL(r);
        v.push_back({p, readTriVertexColor(r)});
    }
    if (mode == 2) {
        if (!r.has(qsizetype(nTri) * 12))
            return;
        std::vector<std::array<quint32, 3>> tris(nTri);
        for (auto &t : tris)
            t = {r.u32(), r.u32(), r.u32()};
        m_dev.gradientTriangles(v, tris);
    } else if (mode == 0 || mode == 1) {
        if (!r.has(qsizetype(nTri) * 8))
            return;
        std::vector<std::pair<quint32, quint32>> rects(nTri);
        for (auto &p : rects) {
            p.first = r.u32();
            p.second = r.u32();
        }
        m_dev.gradientRects(v, rects, mode == 1);
    }
}

} // namespace metafile::emf
