#pragma once

// Writes small WMF and EMF files record by record, for tests.

#include <QByteArray>
#include <QList>
#include <QRect>
#include <QString>
#include <QtEndian>
#include <cstring>
#include <initializer_list>
#include <optional>

namespace metafile::test {

class Bytes {
public:
    Bytes &u8(quint8 v)
    {
        m_data.append(char(v));
        return *this;
    }
    Bytes &u16(quint16 v)
    {
        char b[2];
        qToLittleEndian(v, b);
        m_data.append(b, 2);
        return *this;
    }
    Bytes &i16(qint16 v) { return u16(quint16(v)); }
    Bytes &u32(quint32 v)
    {
        char b[4];
        qToLittleEndian(v, b);
        m_data.append(b, 4);
        return *this;
    }
    Bytes &i32(qint32 v) { return u32(quint32(v)); }
    Bytes &f32(float f)
    {
        quint32 v;
        std::memcpy(&v, &f, 4);
        return u32(v);
    }
    Bytes &raw(const QByteArray &b)
    {
        m_data.append(b);
        return *this;
    }
    Bytes &pad4()
    {
        while (m_data.size() % 4)
            m_data.append('\0');
        return *this;
    }
    [[nodiscard]] const QByteArray &data() const { return m_data; }
    [[nodiscard]] qsizetype size() const { return m_data.size(); }

private:
    QByteArray m_data;
};

inline QByteArray words(std::initializer_list<int> list)
{
    Bytes b;
    for (int v : list)
        b.i16(qint16(v));
    return b.data();
}

inline QByteArray dwords(std::initializer_list<qint64> list)
{
    Bytes b;
    for (qint64 v : list)
        b.u32(quint32(v));
    return b.data();
}

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
        QByteArray p = params;
        if (p.size() % 2)
            p.append('\0');
        Bytes r;
        r.u32(quint32(3 + p.size() / 2)).u16(function).raw(p);
        m_records.append(r.data());
        m_maxRecord = qMax<quint32>(m_maxRecord, quint32(3 + p.size() / 2));
        return *this;
    }
    WmfBuilder &rec(quint16 function, std::initializer_list<int> params)
    {
        return rec(function, words(params));
    }
    WmfBuilder &objects(int n)
    {
        m_objects = n;
        return *this;
    }

    [[nodiscard]] QByteArray finish(bool withEof = true) const
    {
        QByteArray records = m_records;
        if (withEof)
            records.append(Bytes().u32(3).u16(0).data());
        Bytes out;
        if (m_placeable) {
            Bytes h;
            h.u32(0x9AC6CDD7u)
                .u16(0)
                .i16(qint16(m_bbox.left()))
                .i16(qint16(m_bbox.top()))
                .i16(qint16(m_bbox.left() + m_bbox.width()))
                .i16(qint16(m_bbox.top() + m_bbox.height()))
                .u16(quint16(m_inch))
                .u32(0);
            quint16 sum = 0;
            for (int i = 0; i < 10; ++i)
                sum ^= qFromLittleEndian<quint16>(h.data().constData() + 2 * i);
            h.u16(sum);
            out.raw(h.data());
        }
        out.u16(1)
            .u16(9)
            .u16(0x0300)
            .u32(quint32(9 + records.size() / 2))
            .u16(quint16(m_objects))
            .u32(m_maxRecord)
            .u16(0);
        out.raw(records);
        return out.data();
    }

private:
    QRect m_bbox;
    int m_inch;
    bool m_placeable;
    int m_objects = 16;
    quint32 m_maxRecord = 3;
    QByteArray m_records;
};

// Cuts an EMF into the META_ESCAPE comment records ("WMFC") that carry it inside a
// WMF, chunkSize bytes at a time. The first record's checksum is the complement of
// the XOR of the EMF's words; pass a checksum to write another.
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
        Bytes b;
        b.u16(0x000F)
            .u16(quint16(34 + chunk.size()))
            .u32(0x43464D57u)
            .u32(1)
            .u32(0x10000)
            .u16(at == 0 ? checksum.value_or(quint16(~x)) : 0)
            .u32(0)
            .u32(count)
            .u32(quint32(chunk.size()))
            .u32(quint32(emf.size() - at - chunk.size()))
            .u32(quint32(emf.size()))
            .raw(chunk);
        out.append(b.data());
    }
    return out;
}

// An EMF, by default on a 96 dpi reference device, so that one device unit is one
// pixel at natural size, with the frame covering the given pixel rectangle.
class EmfBuilder {
public:
    // The header's rectangles, inclusive as stored: bounds in device pixels, the
    // frame in 0.01 mm; then the reference device's size three ways.
    struct Header {
        QRect bounds;
        QRect frame;
        QSize devicePixels;
        QSize millimetres;
        QSize micrometres;
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
        QByteArray p = params;
        while (p.size() % 4)
            p.append('\0');
        Bytes r;
        r.u32(type).u32(quint32(8 + p.size())).raw(p);
        m_records.append(r.data());
        ++m_count;
        return *this;
    }
    EmfBuilder &rec(quint32 type, std::initializer_list<qint64> params)
    {
        return rec(type, dwords(params));
    }

    [[nodiscard]] QByteArray finish(bool withEof = true) const
    {
        QByteArray records = m_records;
        if (withEof)
            records.append(Bytes().u32(14).u32(20).u32(0).u32(0).u32(20).data());
        Bytes h;
        const Header &m = m_header;
        h.u32(1).u32(108);
        h.i32(m.bounds.left()).i32(m.bounds.top()).i32(m.bounds.right()).i32(m.bounds.bottom());
        h.i32(m.frame.left()).i32(m.frame.top()).i32(m.frame.right()).i32(m.frame.bottom());
        h.u32(0x464D4520u)
            .u32(0x10000)
            .u32(quint32(108 + records.size()))
            .u32(quint32(m_count + 1 + (withEof ? 1 : 0)))
            .u16(64)
            .u16(0)
            .u32(0)
            .u32(0)
            .u32(0);
        h.i32(m.devicePixels.width()).i32(m.devicePixels.height());
        h.i32(m.millimetres.width()).i32(m.millimetres.height());
        h.u32(0).u32(0).u32(0).i32(m.micrometres.width()).i32(m.micrometres.height());
        return h.data() + records;
    }

private:
    Header m_header;
    QByteArray m_records;
    int m_count = 0;
};

// EMR_EXTCREATEFONTINDIRECTW's parameters: a font of the given height in a slot.
inline QByteArray emfFont(int slot, int height, const QString &face, int width = 0, int charSet = 0)
{
    Bytes b;
    b.u32(quint32(slot)).i32(height).i32(width).i32(0).i32(0).i32(400);
    b.u8(0).u8(0).u8(0).u8(quint8(charSet)).u8(0).u8(0).u8(0).u8(0);
    for (int i = 0; i < 32; ++i)
        b.u16(i < face.size() ? face.at(i).unicode() : 0);
    return b.data();
}

// EMR_EXTTEXTOUTW's parameters at (x, y), with a character-spacing array when dx is given.
inline QByteArray emfText(int x, int y, const QString &text, const QList<int> &dx = {})
{
    Bytes b;
    b.i32(0).i32(0).i32(-1).i32(-1); // bounds
    b.u32(1).f32(1).f32(1);          // compatible mode, scales
    const quint32 offString = 8 + 16 + 12 + 40;
    const quint32 stringBytes = quint32((text.size() * 2 + 3) / 4 * 4);
    b.i32(x).i32(y).u32(quint32(text.size())).u32(offString).u32(0);
    b.i32(0).i32(0).i32(0).i32(0); // rectangle
    b.u32(dx.isEmpty() ? 0 : offString + stringBytes);
    for (QChar c : text)
        b.u16(c.unicode());
    b.pad4();
    for (int d : dx)
        b.i32(d);
    return b.data();
}

// A packed DIB with a BITMAPINFOHEADER; pixels are given top row first as 0xRRGGBB.
inline QByteArray dib24(int w, int h, const QList<quint32> &pixels, bool topDown = false)
{
    Bytes b;
    const int stride = ((w * 24 + 31) / 32) * 4;
    b.u32(40)
        .i32(w)
        .i32(topDown ? -h : h)
        .u16(1)
        .u16(24)
        .u32(0)
        .u32(quint32(stride * h))
        .i32(0)
        .i32(0)
        .u32(0)
        .u32(0);
    for (int row = 0; row < h; ++row) {
        const int y = topDown ? row : h - 1 - row;
        QByteArray line;
        for (int x = 0; x < w; ++x) {
            const quint32 c = pixels.value(y * w + x);
            line.append(char(c & 0xFF))
                .append(char((c >> 8) & 0xFF))
                .append(char((c >> 16) & 0xFF));
        }
        while (line.size() < stride)
            line.append('\0');
        b.raw(line);
    }
    return b.data();
}

} // namespace metafile::test
