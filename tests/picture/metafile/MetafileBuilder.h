#pragma once

// Writes small WMF and EMF files record by record, and looks at what they draw, for tests.

#include "picture/PictureTestData.h"
#include "picture/metafile/MetafilePicture.h"

#include <QByteArray>
#include <QFontInfo>
#include <QImage>
#include <QList>
#include <QRect>
#include <QTest>
#include <QtEndian>
#include <initializer_list>
#include <optional>

namespace metafile::test {

// WMF functions.
constexpr quint16 SAVEDC = 0x001E, SETBKMODE = 0x0102, SETMAPMODE = 0x0103,
                  SETPOLYFILLMODE = 0x0106, RESTOREDC = 0x0127, SELECTOBJECT = 0x012D,
                  SETTEXTALIGN = 0x012E, DELETEOBJECT = 0x01F0, SETWINDOWORG = 0x020B,
                  SETWINDOWEXT = 0x020C, LINETO = 0x0213, MOVETO = 0x0214,
                  CREATEPENINDIRECT = 0x02FA, CREATEFONTINDIRECT = 0x02FB,
                  CREATEBRUSHINDIRECT = 0x02FC, POLYGON = 0x0324, EXCLUDECLIPRECT = 0x0415,
                  INTERSECTCLIPRECT = 0x0416, RECTANGLE = 0x041B, TEXTOUT = 0x0521,
                  POLYPOLYGON = 0x0538, ESCAPE = 0x0626, EXTTEXTOUT = 0x0A32, STRETCHDIB = 0x0F43;
// EMF record types.
constexpr quint32 EMR_POLYGON = 3, EMR_POLYPOLYGON = 8, EMR_SETWINDOWEXTEX = 9,
                  EMR_SETWINDOWORGEX = 10, EMR_SETVIEWPORTEXTEX = 11, EMR_SETVIEWPORTORGEX = 12,
                  EMR_SETMAPMODE = 17, EMR_SETBKMODE = 18, EMR_SETROP2 = 20, EMR_SETTEXTALIGN = 22,
                  EMR_OFFSETCLIPRGN = 26, EMR_EXCLUDECLIPRECT = 29, EMR_INTERSECTCLIPRECT = 30,
                  EMR_SAVEDC = 33, EMR_RESTOREDC = 34, EMR_SETWORLDTRANSFORM = 35,
                  EMR_MODIFYWORLDTRANSFORM = 36, EMR_SELECTOBJECT = 37, EMR_CREATEPEN = 38,
                  EMR_CREATEBRUSHINDIRECT = 39, EMR_DELETEOBJECT = 40, EMR_RECTANGLE = 43,
                  EMR_BEGINPATH = 59, EMR_ENDPATH = 60, EMR_FILLPATH = 62, EMR_SELECTCLIPPATH = 67,
                  EMR_GDICOMMENT = 70, EMR_EXTSELECTCLIPRGN = 75, EMR_STRETCHDIBITS = 81,
                  EMR_EXTCREATEFONTINDIRECTW = 82, EMR_EXTTEXTOUTW = 84, EMR_POLYGON16 = 86;
constexpr quint32 NULL_PEN = 0x80000008u, NULL_BRUSH = 0x80000005u, SRCCOPY = 0x00CC0020;
// COLORREFs, 0x00BBGGRR, for records; the k... colours are what comes out.
constexpr quint32 RED = 0x0000FF, GREEN = 0x00FF00, BLUE = 0xFF0000;
constexpr QRgb kWhite = 0xFFFFFFFF, kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF,
               kBlack = 0xFF000000;

// Little-endian bytes of a value.
template <typename T> QByteArray le(T v)
{
    char b[sizeof(T)];
    qToLittleEndian(v, b);
    return QByteArray(b, sizeof b);
}

// Each value as a little-endian T.
template <typename T, typename V> QByteArray les(std::initializer_list<V> list)
{
    QByteArray out;
    for (V v : list)
        out += le(T(v));
    return out;
}
inline constexpr auto words = les<quint16, int>;
inline constexpr auto dwords = les<quint32, qint64>;
inline constexpr auto floats = les<float, float>;

// A WMF: an optional placeable header, the standard header, then records.
class WmfBuilder {
public:
    explicit WmfBuilder(QRect bbox = QRect(0, 0, 100, 100), int unitsPerInch = 96,
                        bool placeable = true)
        : m_bbox(bbox), m_inch(unitsPerInch), m_placeable(placeable)
    {
    }

    // Parameters are given in the order they are stored (WMF stores them reversed).
    WmfBuilder &rec(quint16 function, const QByteArray &params = {})
    {
        const QByteArray p = params + QByteArray(params.size() % 2, '\0');
        const quint32 size = quint32(3 + p.size() / 2);
        m_records += le(size) + le(function) + p;
        m_maxRecord = qMax(m_maxRecord, size);
        return *this;
    }
    WmfBuilder &rec(quint16 function, std::initializer_list<int> params)
    {
        return rec(function, words(params));
    }
    // A null pen in slot 0 and a solid brush in slot 1, both selected, so fills are exact.
    WmfBuilder &fill(quint32 color)
    {
        rec(CREATEPENINDIRECT, {5, 0, 0, 0, 0}).rec(SELECTOBJECT, {0});
        return rec(CREATEBRUSHINDIRECT, brush(color)).rec(SELECTOBJECT, {1});
    }
    static QByteArray brush(quint32 color)
    {
        return words({0, int(color & 0xFFFF), int(color >> 16), 0});
    }

    [[nodiscard]] QByteArray finish(bool withEof = true) const
    {
        const QByteArray records = m_records + (withEof ? words({3, 0, 0}) : QByteArray());
        QByteArray out;
        if (m_placeable) {
            const QRect &b = m_bbox;
            out = dwords({0x9AC6CDD7}) + words({0, b.left(), b.top(), b.left() + b.width(),
                                                b.top() + b.height(), m_inch, 0, 0});
            quint16 sum = 0;
            for (int i = 0; i < 10; ++i)
                sum ^= qFromLittleEndian<quint16>(out.constData() + 2 * i);
            out += le(sum);
        }
        out += words({1, 9, 0x0300}) + le(quint32(9 + records.size() / 2)) + words({16});
        return out + le(m_maxRecord) + words({0}) + records;
    }

private:
    QRect m_bbox;
    int m_inch;
    bool m_placeable;
    quint32 m_maxRecord = 3;
    QByteArray m_records;
};

// Cuts an EMF into the "WMFC" META_ESCAPE records that carry it in a WMF. The first one's
// checksum is the complement of the XOR of the EMF's words, unless one is given.
inline QList<QByteArray> embeddedEmfEscapes(const QByteArray &emf, int chunkSize,
                                            std::optional<quint16> checksum = {})
{
    quint16 x = 0;
    for (qsizetype i = 0; i + 1 < emf.size(); i += 2)
        x ^= qFromLittleEndian<quint16>(emf.constData() + i);
    const quint32 count = quint32((emf.size() + chunkSize - 1) / chunkSize);
    QList<QByteArray> out;
    for (qsizetype at = 0; at < emf.size(); at += chunkSize) {
        const QByteArray chunk = emf.mid(at, chunkSize);
        out.append(words({0x000F, int(34 + chunk.size())}) + dwords({0x43464D57, 1, 0x10000}) +
                   le(at == 0 ? checksum.value_or(quint16(~x)) : quint16(0)) +
                   dwords({0, count, chunk.size(), emf.size() - at - chunk.size(), emf.size()}) +
                   chunk);
    }
    return out;
}

// An EMF on a 96 dpi device unless told, one device unit a pixel, its frame the pixels.
class EmfBuilder {
public:
    // The header's rectangles, inclusive as stored: bounds in device pixels, the
    // frame in 0.01 mm; then the reference device's size three ways.
    struct Header {
        QRect bounds, frame;
        QSize devicePixels, millimetres, micrometres;
    };

    explicit EmfBuilder(QSize pixels = QSize(100, 100))
        : m_header{
              QRect(QPoint(0, 0), QPoint(pixels.width() - 1, pixels.height() - 1)),
              QRect(QPoint(0, 0), QPoint(pixels.width() * 2540 / 96, pixels.height() * 2540 / 96)),
              QSize(960, 960), QSize(254, 254), QSize(254000, 254000)}
    {
    }
    explicit EmfBuilder(const Header &header) : m_header(header) {}

    EmfBuilder &rec(quint32 type, const QByteArray &params = {})
    {
        const QByteArray p = params + QByteArray((4 - params.size() % 4) % 4, '\0');
        m_records += dwords({type, 8 + p.size()}) + p;
        ++m_count;
        return *this;
    }
    EmfBuilder &rec(quint32 type, std::initializer_list<qint64> params)
    {
        return rec(type, dwords(params));
    }
    // A solid brush made in a slot and selected.
    EmfBuilder &brush(int slot, quint32 color)
    {
        return rec(EMR_CREATEBRUSHINDIRECT, {slot, 0, color, 0}).rec(EMR_SELECTOBJECT, {slot});
    }
    // The null pen and a solid brush selected, so fills are exact.
    EmfBuilder &fill(int slot, quint32 color)
    {
        return rec(EMR_SELECTOBJECT, {NULL_PEN}).brush(slot, color);
    }

    [[nodiscard]] QByteArray finish(bool withEof = true) const
    {
        const QByteArray records =
            m_records + (withEof ? dwords({14, 20, 0, 0, 20}) : QByteArray());
        const Header &m = m_header;
        const auto rect = [](QRect r) {
            return dwords({r.left(), r.top(), r.right(), r.bottom()});
        };
        return dwords({1, 108}) + rect(m.bounds) + rect(m.frame) +
               dwords(
                   {0x464D4520, 0x10000, 108 + records.size(), m_count + 1 + (withEof ? 1 : 0)}) +
               words({64, 0}) + dwords({0, 0, 0, m.devicePixels.width(), m.devicePixels.height()}) +
               dwords({m.millimetres.width(), m.millimetres.height(), 0, 0, 0}) +
               dwords({m.micrometres.width(), m.micrometres.height()}) + records;
    }

private:
    Header m_header;
    QByteArray m_records;
    int m_count = 0;
};

// EMR_EXTCREATEFONTINDIRECTW's parameters: a font of the given height in a slot.
inline QByteArray emfFont(int slot, int height, const QString &face, int width = 0, int charSet = 0)
{
    QByteArray b = dwords({slot, height, width, 0, 0, 400, charSet << 24, 0});
    for (int i = 0; i < 32; ++i)
        b += le(quint16(i < face.size() ? face.at(i).unicode() : 0));
    return b;
}

// EMR_EXTTEXTOUTW's parameters at (x, y), with a character-spacing array when dx is given.
inline QByteArray emfText(int x, int y, const QString &text, const QList<int> &dx = {})
{
    const quint32 offString = 8 + 16 + 12 + 40;
    const quint32 stringBytes = quint32((text.size() * 2 + 3) / 4 * 4);
    // Bounds, compatible mode, scales; the reference point, the string, no clip rectangle.
    QByteArray b = dwords({0, 0, -1, -1, 1}) + floats({1, 1});
    b += dwords({x, y, text.size(), offString, 0, 0, 0, 0, 0});
    b += le(dx.isEmpty() ? 0 : offString + stringBytes);
    for (QChar c : text)
        b += le(quint16(c.unicode()));
    b += QByteArray(stringBytes - 2 * text.size(), '\0');
    for (int d : dx)
        b += le(qint32(d));
    return b;
}

// A packed DIB: a BITMAPINFOHEADER padded to headerSize, a colour table, the bits.
inline QByteArray packedDib(int bpp, int w, int h, quint32 compression, const QByteArray &colors,
                            const QByteArray &bits, bool topDown = false, int headerSize = 40)
{
    return dwords({headerSize, w, topDown ? -h : h}) + words({1, bpp}) +
           dwords({compression, bits.size(), 0, 0, bpp <= 8 ? colors.size() / 4 : 0, 0}) +
           QByteArray(headerSize - 40, '\0') + colors + bits;
}

// A 24-bit packed DIB; pixels are given top row first as 0xRRGGBB.
inline QByteArray dib24(int w, int h, const QList<quint32> &pixels, bool topDown = false)
{
    const int stride = ((w * 24 + 31) / 32) * 4;
    QByteArray bits;
    for (int row = 0; row < h; ++row) {
        const int y = topDown ? row : h - 1 - row;
        for (int x = 0; x < w; ++x)
            bits += le(pixels.value(y * w + x)).left(3);
        bits.append(QByteArray(stride - 3 * w, '\0'));
    }
    return packedDib(24, w, h, 0, {}, bits, topDown);
}

inline std::shared_ptr<const MetafilePicture> loadOrFail(const QByteArray &bytes)
{
    QString why;
    auto pic = MetafilePicture::load(bytes, &why);
    if (!pic)
        qWarning("load failed: %s", qPrintable(why));
    return pic;
}

inline QImage renderNatural(const QByteArray &bytes)
{
    auto pic = loadOrFail(bytes);
    return pic ? pic->toImage() : QImage();
}

// Bounding box of everything darker than the given grey.
inline QRect inkBounds(const QImage &img, int darkerThan = 200)
{
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) < darkerThan)
                box |= QRect(x, y, 1, 1);
    return box;
}

// Whether the font is there under its own name, not a stand-in's.
inline bool installed(const QString &family)
{
    return QFontInfo(QFont(family)).family().startsWith(family);
}

struct Probe {
    int x, y;
    QRgb color;
};
using Probes = QList<Probe>;

// The first pixel that is not near its expected colour, described; empty when all are.
inline QString pixelMismatch(const QImage &img, const Probes &probes)
{
    if (img.isNull())
        return QStringLiteral("no picture");
    for (const Probe &p : probes)
        if (const QRgb got = img.pixel(p.x, p.y); !testdata::near(got, p.color))
            return QString::asprintf("pixel (%d,%d) is #%06x, expected #%06x", p.x, p.y,
                                     got & 0xFFFFFF, p.color & 0xFFFFFF);
    return {};
}

} // namespace metafile::test

// Fails with the message unless it is empty.
#define QVERIFY_NO_MESSAGE(message)                                                                \
    do {                                                                                           \
        const QString why_ = (message);                                                            \
        QVERIFY2(why_.isEmpty(), qPrintable(why_));                                                \
    } while (0)
// QCOMPARE_PIXELS(img, {x, y, colour}, ...)
#define QCOMPARE_PIXELS(img, ...)                                                                  \
    QVERIFY_NO_MESSAGE(metafile::test::pixelMismatch((img), {__VA_ARGS__}))
