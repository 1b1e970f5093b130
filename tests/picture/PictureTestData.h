#pragma once

// Builders for small picture files, so each case says exactly which bytes it feeds the loader.

#include "picture/PictureLoader.h"

#include <QBuffer>
#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QImageWriter>
#include <QList>
#include <QPainter>
#include <QtEndian>

namespace testdata {

// Appends v in the byte order given: little-endian unless bigEndian.
template <typename T> void put(QByteArray &b, T v, bool bigEndian = false)
{
    v = bigEndian ? qToBigEndian(v) : qToLittleEndian(v);
    b.append(reinterpret_cast<const char *>(&v), sizeof v);
}

template <typename T, typename... V> void putLe(QByteArray &b, V... values)
{
    for (const T v : {T(values)...})
        put(b, v);
}

// The image written by Qt's own writer for format.
inline QByteArray encoded(const QImage &image, const char *format, int quality = -1,
                          bool progressive = false)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return out;
}

inline QByteArray jpeg(const QImage &image, int quality = 90, bool progressive = false)
{
    return encoded(image, "jpeg", quality, progressive);
}

inline QByteArray png(const QImage &image)
{
    return encoded(image, "png");
}

inline QImage filled(int w, int h, QRgb colour)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

// Four quadrants: red, green / blue, yellow.
inline QImage quadrants(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    QPainter p(&image);
    p.fillRect(0, 0, w / 2, h / 2, Qt::red);
    p.fillRect(w / 2, 0, w - w / 2, h / 2, Qt::green);
    p.fillRect(0, h / 2, w / 2, h - h / 2, Qt::blue);
    p.fillRect(w / 2, h / 2, w - w / 2, h - h / 2, Qt::yellow);
    return image;
}

// A JPEG with an extra marker segment right after its SOI.
inline QByteArray withSegment(const QByteArray &jpegBytes, quint8 marker, const QByteArray &payload)
{
    QByteArray segment = QByteArray(1, char(0xFF)) + char(marker);
    put(segment, quint16(payload.size() + 2), true);
    return jpegBytes.left(2) + segment + payload + jpegBytes.mid(2);
}

// The payload of an APP1 segment holding only an EXIF orientation tag.
inline QByteArray exifOrientation(int orientation, bool bigEndian = false, quint16 type = 3)
{
    QByteArray tiff(bigEndian ? "MM" : "II");
    const auto p = [&](auto... v) {
        (put(tiff, v, bigEndian), ...);
    };
    // IFD0 right after the header, one entry, no next IFD
    p(quint16(42), quint32(8), quint16(1), quint16(0x0112), type, quint32(1), quint16(orientation),
      quint16(0), quint32(0));
    return QByteArray("Exif\0\0", 6) + tiff;
}

// A JPEG's SOF0 size fields rewritten, for pictures too large to make for real.
inline QByteArray withFrameSize(QByteArray jpegBytes, quint16 width, quint16 height)
{
    for (qsizetype i = 2; i + 9 < jpegBytes.size(); ++i) {
        if (uchar(jpegBytes[i]) == 0xFF && (jpegBytes[i + 1] | 2) == char(0xC2)) {
            qToBigEndian(height, jpegBytes.data() + i + 5);
            qToBigEndian(width, jpegBytes.data() + i + 7);
            break;
        }
    }
    return jpegBytes;
}

// A bitmap file's fields; by default the 4 x 2, 24-bit picture most cases use.
struct BmpParts {
    int headerSize = 40;
    qint32 width = 4, height = 2; // a negative height: top-down
    quint16 planes = 1, bpp = 24;
    quint32 compression = 0;
    QList<quint32> masks = {}; // written after a 40-byte header, or inside a larger one
    QList<QRgb> palette = {};
    quint32 colorsUsed = 0;
    QByteArray pixels = {};  // exactly as stored, rows padded by the caller
    qint64 pixelOffset = -1; // -1: right after the palette
};

inline QByteArray bmp(const BmpParts &s)
{
    QByteArray info;
    putLe<quint32>(info, s.headerSize);
    if (s.headerSize == 12) {
        putLe<quint16>(info, s.width, s.height, s.planes, s.bpp);
    } else {
        putLe<quint32>(info, s.width, s.height);
        putLe<quint16>(info, s.planes, s.bpp);
        putLe<quint32>(info, s.compression, s.pixels.size(), 2835, 2835, s.colorsUsed, 0);
        for (quint32 m : s.masks)
            put(info, m);
        info.append(qMax(0, s.headerSize - int(info.size())), '\0');
    }
    for (QRgb c : s.palette) {
        info.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c)));
        if (s.headerSize != 12)
            info.append('\0');
    }
    const qint64 offset = s.pixelOffset >= 0 ? s.pixelOffset : 14 + info.size();
    QByteArray file("BM");
    putLe<quint32>(file, offset + s.pixels.size(), 0, offset);
    file.append(info);
    return file.append(qMax<qint64>(0, offset - file.size()), '\0') + s.pixels;
}

struct IconImage {
    QByteArray data;                             // a DIB (info header onwards) or a PNG
    int directoryWidth = 0, directoryHeight = 0; // 0 means 256
    int directoryBpp = 32;
    qint64 declaredLength = -1; // -1: the real length
};

// An ICO (type 1) or CUR (type 2) file around the given images.
inline QByteArray icon(const QList<IconImage> &images, quint16 type = 1)
{
    QByteArray out;
    putLe<quint16>(out, 0, type, images.size());
    quint32 offset = quint32(6 + 16 * images.size());
    for (const IconImage &i : images) {
        out.append(char(i.directoryWidth)).append(char(i.directoryHeight)).append(2, '\0');
        putLe<quint16>(out, 1, i.directoryBpp);
        putLe<quint32>(out, i.declaredLength >= 0 ? i.declaredLength : i.data.size(), offset);
        offset += quint32(i.data.size());
    }
    for (const IconImage &i : images)
        out.append(i.data);
    return out;
}

// An icon's DIB: colours (at 4 bits all the top left one), then an AND mask (1 = clear).
inline QByteArray iconDib(const QImage &image, quint16 bpp = 32,
                          const QList<QList<int>> &maskBits = {})
{
    const int w = image.width(), h = image.height();
    QByteArray d;
    putLe<quint32>(d, 40, w, 2 * h);
    putLe<quint16>(d, 1, bpp);
    d.append(QByteArray(24, '\0'));
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int i = 0; bpp == 4 && i < 16; ++i)
        put(d, i == 1 ? argb.pixel(0, 0) : 0u);
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(((w * bpp + 31) / 32) * 4, '\0');
        std::fill_n(row.data(), bpp == 4 ? w / 2 : 0, char(0x11)); // every pixel entry 1
        for (int x = 0; bpp != 4 && x < w; ++x)
            qToLittleEndian(quint32(argb.pixel(x, y)), row.data() + 4 * x);
        d.append(row);
    }
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(((w + 31) / 32) * 4, '\0');
        for (int x = 0; y < maskBits.size() && x < maskBits[y].size(); ++x)
            row[x / 8] = char(uchar(row[x / 8]) | (maskBits[y][x] ? 0x80 >> (x % 8) : 0));
        d.append(row);
    }
    return d;
}

struct GifImage {
    int left = 0, top = 0, width = 0, height = 0;
    QList<uchar> indices; // width * height, in the order they are stored
    bool interlaced = false;
    int control = -1; // transparent index in a graphic control block; -2 block without
};

// LZW data for 8-bit indices, in sub-blocks.
inline QByteArray gifLzw(const QList<uchar> &indices)
{
    QByteArray data;
    quint32 bits = 0;
    int count = 0, next = 258, width = 9;
    const auto put = [&](int code) {
        for (bits |= quint32(code) << count, count += width; count >= 8; bits >>= 8, count -= 8)
            data.append(char(bits & 0xFF));
    };
    QHash<quint32, int> table;
    put(256);
    int prefix = indices.value(0);
    for (qsizetype i = 1; i < indices.size(); ++i) {
        const quint32 key = quint32(prefix) << 8 | indices[i];
        if (const auto it = table.constFind(key); it != table.constEnd()) {
            prefix = *it;
            continue;
        }
        put(prefix);
        if (next == 4096) {
            put(256);
            table.clear();
            next = 258;
            width = 9;
        } else {
            table.insert(key, next++);
            width += next > (1 << width) && width < 12;
        }
        prefix = indices[i];
    }
    put(prefix);
    put(257);
    if (count > 0)
        data.append(char(bits & 0xFF));
    QByteArray out(1, char(8));
    for (qsizetype at = 0; at < data.size(); at += 255) {
        const QByteArray block = data.mid(at, 255);
        out.append(char(block.size())).append(block);
    }
    return out.append('\0');
}

// A GIF with a 256-colour table whose entry i is grey level i.
inline QByteArray gif(int screenWidth, int screenHeight, const QList<GifImage> &images)
{
    QByteArray out("GIF89a");
    putLe<quint16>(out, screenWidth, screenHeight);
    out.append(char(0xF7)).append('\0').append('\0');
    for (int i = 0; i < 256; ++i)
        out.append(char(i)).append(char(i)).append(char(i));
    for (const GifImage &image : images) {
        if (image.control != -1) {
            out.append("\x21\xF9\x04", 3).append(char(image.control >= 0)).append(2, '\0');
            out.append(char(qMax(image.control, 0))).append('\0');
        }
        out.append(',');
        putLe<quint16>(out, image.left, image.top, image.width, image.height);
        out.append(char(image.interlaced ? 0x40 : 0));
        out.append(gifLzw(image.indices));
    }
    return out.append(';');
}

// Whether work took less than maxMs and raised the peak resident memory by less than maxKb.
template <typename Work> bool cheap(Work &&work, qint64 maxMs, qint64 maxKb = 16 * 1024)
{
    const auto peakKb = [] {
        QFile status(QStringLiteral("/proc/self/status"));
        status.open(QIODevice::ReadOnly);
        const QByteArray all = status.readAll();
        const qsizetype at = all.indexOf("VmHWM:");
        return at < 0 ? qint64(-1) : all.mid(at + 6).trimmed().split(' ').value(0).toLongLong();
    };
    const qint64 peakBefore = peakKb();
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.elapsed() < maxMs && peakKb() - peakBefore < maxKb;
}

// Whether every channel of a is within tolerance of b's.
inline bool near(QRgb a, QRgb b, int tolerance = 40)
{
    return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance &&
           qAbs(qBlue(a) - qBlue(b)) <= tolerance && qAbs(qAlpha(a) - qAlpha(b)) <= tolerance;
}

// What the decoders make of bytes (a damaged picture's part included) as ARGB32, or null.
inline QImage loadArgb(const QByteArray &bytes, LoadResult *out = nullptr)
{
    LoadResult r = PictureLoader::decode(bytes);
    if (out)
        *out = r;
    return r.picture ? r.picture->toImage().convertToFormat(QImage::Format_ARGB32) : QImage();
}

// Draws picture into target on a transparent canvas of the given logical size.
inline QImage paint(const Picture &picture, QSize canvas, const QRectF &target, qreal ratio = 1,
                    bool clip = true)
{
    QImage image((QSizeF(canvas) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    if (clip)
        painter.setClipRect(QRect(QPoint(0, 0), canvas));
    picture.draw(painter, target);
    return image;
}

} // namespace testdata
