#pragma once

// The WMF record functions and the pieces of the player that its source files share.

#include "ByteReader.h"
#include "GdiDevice.h"

#include <QImage>
#include <QRegion>
#include <optional>
#include <vector>

namespace metafile::wmf {

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

// Reads y, then x (the order WMF stores a point's arguments).
[[nodiscard]] QPointF readPointYX(ByteReader &r);
// Reads bottom, right, top, left (the order WMF stores a rectangle's arguments).
[[nodiscard]] QRectF readRectReversed(ByteReader &r);
[[nodiscard]] std::vector<QPointF> readPoints(ByteReader &r, int count);
[[nodiscard]] gdi::Font readLogFont(ByteReader &r);
// An old device-dependent bitmap (BITMAP16): monochrome ones are still met.
[[nodiscard]] std::optional<QImage> readBitmap16(ByteReader &r);
[[nodiscard]] std::optional<QRegion> readRegion(ByteReader &r);

// Plays the records onto a device. Each family of records has its own handler, which
// says whether the record was one of its own.
class WmfReplay {
public:
    explicit WmfReplay(GdiDevice &dev) : m_dev(dev) {}
    void run(QByteArrayView data, qsizetype firstRecord);

private:
    void record(quint16 function, QByteArrayView body);
    bool pageRecord(quint16 function, ByteReader &r);
    bool stateRecord(quint16 function, ByteReader &r);
    bool objectRecord(quint16 function, ByteReader &r);
    bool shapeRecord(quint16 function, ByteReader &r);
    bool regionRecord(quint16 function, ByteReader &r);
    bool textRecord(quint16 function, ByteReader &r);
    bool bitmapRecord(quint16 function, ByteReader &r, QByteArrayView body);
    // The BitBlt family: a bitmap, or none for a pattern blit.
    void bitBlt(quint16 function, ByteReader &r, QByteArrayView body);
    // StretchDIB and SetDIBitsToDevice: a device-independent bitmap.
    void dibBlt(quint16 function, ByteReader &r);

    GdiDevice &m_dev;
};

} // namespace metafile::wmf
