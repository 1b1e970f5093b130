#pragma once

// The EMF record types and the pieces of the player that its source files share.

#include "ByteReader.h"
#include "GdiDevice.h"

#include <QImage>
#include <QRegion>
#include <optional>
#include <vector>

namespace metafile::emf {

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

// Records that carry their own bounds rectangle after the type and size.
[[nodiscard]] bool hasBoundsField(quint32 type);
// Records that put something on the page (as opposed to changing state).
[[nodiscard]] bool isDrawingRecord(quint32 type);

[[nodiscard]] QRectF readRectL(ByteReader &r);
[[nodiscard]] QPointF readPointL(ByteReader &r);
[[nodiscard]] std::vector<QPointF> readPoints(ByteReader &r, quint32 count, bool small);
[[nodiscard]] QTransform readXform(ByteReader &r);
// RGNDATA: a header and a list of rectangles in device units.
[[nodiscard]] std::optional<QRegion> readRgnData(ByteReader &r, quint32 size);
[[nodiscard]] gdi::Font readLogFontW(ByteReader &r);
[[nodiscard]] QColor readTriVertexColor(ByteReader &r);

// Where a record keeps a bitmap: its header and its bits, offsets from the record start.
struct BitmapRef {
    quint32 offBmi = 0, cbBmi = 0, offBits = 0, cbBits = 0;
};
[[nodiscard]] BitmapRef readBitmapRef(ByteReader &r);
// Decodes a bitmap that a record points to.
[[nodiscard]] std::optional<QImage> recordBitmap(QByteArrayView record, const BitmapRef &ref,
                                                 quint32 usage, GdiDevice &dev,
                                                 bool keepAlpha = false);

// Plays the records onto a device. Each group of records has its own handler, which
// says whether the record was one of its own.
class EmfReplay {
public:
    EmfReplay(QByteArrayView data, GdiDevice &dev) : m_data(data), m_dev(dev) {}
    void run();

private:
    void record(quint32 type, QByteArrayView rec);
    bool pageRecord(quint32 type, ByteReader &r);
    bool stateRecord(quint32 type, ByteReader &r);
    bool clipRecord(quint32 type, ByteReader &r);
    bool objectRecord(quint32 type, ByteReader &r, QByteArrayView rec);
    bool shapeRecord(quint32 type, ByteReader &r);
    bool pictureRecord(quint32 type, ByteReader &r, QByteArrayView rec);
    void bitBltRecord(quint32 type, ByteReader &r, QByteArrayView rec);
    void plgBltRecord(ByteReader &r, QByteArrayView rec);
    void dibBitsRecord(quint32 type, ByteReader &r, QByteArrayView rec);
    void gradientFillRecord(ByteReader &r);
    bool textRecord(quint32 type, ByteReader &r, QByteArrayView rec);
    void polyRecord(quint32 type, ByteReader &r);
    void polyPolyRecord(quint32 type, ByteReader &r);
    // One EMRTEXT structure (a string, its options and spacing) at emrTextAt.
    void playEmrText(ByteReader &r, QByteArrayView rec, bool wide, qsizetype emrTextAt);
    void selectObject(quint32 index);

    QByteArrayView m_data;
    GdiDevice &m_dev;
};

} // namespace metafile::emf
