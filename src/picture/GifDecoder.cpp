#include "GifDecoder.h"

#include "GifLzw.h"
#include "Limits.h"

#include <algorithm>
#include <array>
#include <vector>

namespace picture {
namespace {

using gif::decodeLzw;
using gif::Frame;
using gif::LzwOutcome;

bool readPalette(Bytes file, qint64 &at, int sizeBits, std::array<QRgb, 256> &palette)
{
    const int count = 2 << sizeBits;
    if (!file.has(at, 3 * count))
        return false;
    palette.fill(qRgb(0, 0, 0)); // indices past the table show black
    for (int i = 0; i < count; ++i)
        palette[i] = qRgb(file.u8(at + 3 * i), file.u8(at + 3 * i + 1), file.u8(at + 3 * i + 2));
    at += 3 * count;
    return true;
}

// Skips an extension's sub-blocks; false when the file ends inside them.
bool skipSubBlocks(Bytes file, qint64 &at)
{
    while (file.has(at, 1)) {
        const int size = file.u8(at);
        at += 1 + size;
        if (size == 0)
            return true;
    }
    return false;
}

} // namespace

namespace {

// Reads one image (its descriptor at 'at') onto the canvas, which makeCanvas makes
// when the first image has shown it has data. Returns false when the image has no
// usable data at all; sets warning when only part of it could be decoded.
template <typename MakeCanvas>
bool drawImage(Bytes file, qint64 &at, const std::array<QRgb, 256> &global, int transparent,
               QSize screen, QImage &canvas, MakeCanvas makeCanvas, qint64 &pixels,
               bool &coversOpaquely, QString &failure, QString &warning)
{
    if (!file.has(at, 10)) {
        failure = QStringLiteral("GIF image header cut short");
        return false;
    }
    Frame f;
    f.left = file.u16le(at + 1);
    f.top = file.u16le(at + 3);
    f.width = file.u16le(at + 5);
    f.height = file.u16le(at + 7);
    const int imageFlags = file.u8(at + 9);
    f.interlaced = imageFlags & 0x40;
    f.transparent = transparent;
    at += 10;
    pixels = f.width * f.height;
    if (f.width == 0 || f.height == 0)
        return true; // an image with no pixels leaves the canvas as it was
    if (imageFlags & 0x80) {
        if (!readPalette(file, at, imageFlags & 7, f.palette)) {
            failure = QStringLiteral("GIF colour table cut short");
            return false;
        }
    } else {
        f.palette = global;
    }
    if (!file.has(at, 1)) {
        failure = QStringLiteral("GIF image data missing");
        return false;
    }
    const int minCodeSize = file.u8(at);
    if (minCodeSize < 1 || minCodeSize > 11) {
        failure = QStringLiteral("bad GIF code size %1").arg(minCodeSize);
        return false;
    }
    const qint64 screenWidth = screen.width();
    const qint64 screenHeight = screen.height();
    const bool oversized =
        (f.width > screenWidth || f.height > screenHeight) && f.left == 0 && f.top == 0;
    // Before a canvas of tens of megapixels is made, the data is checked to hold some
    // pixels at all; counting them costs little next to such a canvas.
    constexpr qint64 kLargeCanvas = 16'000'000;
    if ((canvas.isNull() && screenWidth * screenHeight > kLargeCanvas) || oversized) {
        const LzwOutcome count = decodeLzw(file, at + 1, minCodeSize, f, nullptr);
        if (count.pixels == 0) {
            failure = count.broken ? QStringLiteral("bad GIF image data")
                                   : QStringLiteral("GIF image data missing");
            return false;
        }
        // Some writers put nonsense in an image's size; when its data fills exactly
        // the screen, the screen's size is the one to believe.
        if (oversized && count.pixels == screenWidth * screenHeight && count.pixels < pixels) {
            f.width = screenWidth;
            f.height = screenHeight;
            pixels = f.width * f.height;
        }
    }
    const bool canvasClear = canvas.isNull();
    // A frame that will write the new canvas's pixels in order clears only what it
    // leaves unwritten.
    const bool writesInOrder =
        canvasClear && !f.interlaced && f.left == 0 && f.top == 0 && f.width == screenWidth;
    if (!makeCanvas(failure, !writesInOrder))
        return false;
    const LzwOutcome lzw = decodeLzw(file, at + 1, minCodeSize, f, &canvas, canvasClear);
    if (writesInOrder) {
        const qint64 total = screenWidth * screenHeight;
        auto *all = reinterpret_cast<QRgb *>(canvas.bits());
        std::fill(all + qMin(lzw.pixels, total), all + total, QRgb(0));
    }
    ++at;
    skipSubBlocks(file, at);
    if (lzw.pixels == 0) {
        failure = lzw.broken ? QStringLiteral("bad GIF image data")
                             : QStringLiteral("GIF image data missing");
        return false;
    }
    const bool reachedBottom = !f.interlaced && f.top + lzw.pixels / f.width >= screenHeight;
    // Every pixel of the canvas drawn from the colour table, none left clear.
    coversOpaquely = f.transparent < 0 && f.left == 0 && f.top == 0 && f.width >= screenWidth &&
                     f.height >= screenHeight && (lzw.pixels >= pixels || reachedBottom);
    if (lzw.pixels < pixels && !reachedBottom)
        warning = QStringLiteral("GIF image data %1 after %2 of %3 pixels")
                      .arg(lzw.broken ? QStringLiteral("broken") : QStringLiteral("cut short"))
                      .arg(lzw.pixels)
                      .arg(pixels);
    return true;
}

} // namespace

Decoded decodeGif(Bytes file)
{
    if (!file.has(0, 13))
        return Decoded::fail(QStringLiteral("GIF header cut short"));
    const qint64 screenWidth = file.u16le(6);
    const qint64 screenHeight = file.u16le(8);
    const int flags = file.u8(10);
    const QString bad = checkDimensions(screenWidth, screenHeight);
    if (!bad.isEmpty())
        return Decoded::fail(bad);

    qint64 at = 13;
    std::array<QRgb, 256> global{};
    if (flags & 0x80) {
        if (!readPalette(file, at, flags & 7, global))
            return Decoded::fail(QStringLiteral("GIF colour table cut short"));
    } else {
        // No colour table at all: show the indices as greys.
        for (int i = 0; i < 256; ++i)
            global[i] = qRgb(i, i, i);
    }

    // The canvas is made only once the file has shown an image with data (or has
    // ended well), so a damaged header claiming a vast screen costs nothing.
    Decoded d;
    auto makeCanvas = [&](QString &why, bool clear = true) {
        if (!d.image.isNull())
            return true;
        d.image =
            allocateRaster(screenWidth, screenHeight, QImage::Format_ARGB32_Premultiplied, &why);
        if (d.image.isNull())
            return false;
        if (clear)
            d.image.fill(Qt::transparent);
        return true;
    };

    // The first frame ends with the first image that has its own graphic control block
    // (animation writers give every frame one), or before an image that covers the
    // whole screen: images without either are drawn together (tiles of a picture with
    // more than 256 colours, say). A budget keeps a file of endless tiles from costing
    // more than a few canvases' worth of pixels.
    const qint64 budget = 4 * screenWidth * screenHeight;
    qint64 spent = 0;
    int images = 0;
    int transparent = -1;
    bool controlled = false;
    bool opaque = false; // known to be without scanning the canvas
    while (true) {
        if (!file.has(at, 1)) {
            if (images == 0)
                return Decoded::fail(QStringLiteral("GIF ends before its first image"));
            break;
        }
        const int introducer = file.u8(at);
        if (introducer == 0x3B)
            break; // a well-formed file with no image gives an empty canvas
        if (introducer == 0x21) {
            const int label = file.u8(at + 1);
            at += 2;
            if (label == 0xF9 && file.u8(at) >= 4 && file.has(at, 5)) {
                transparent = (file.u8(at + 1) & 1) ? file.u8(at + 4) : -1;
                controlled = true;
            }
            if (!skipSubBlocks(file, at)) {
                if (images == 0)
                    return Decoded::fail(QStringLiteral("GIF ends before its first image"));
                break;
            }
            continue;
        }
        if (introducer != 0x2C) {
            if (images == 0)
                return Decoded::fail(QStringLiteral("unexpected block 0x%1 in GIF")
                                         .arg(introducer, 2, 16, QLatin1Char('0')));
            break; // junk after the first frame: it is complete as it is
        }
        if (images > 0 && file.has(at, 10) && file.u16le(at + 1) == 0 && file.u16le(at + 3) == 0 &&
            file.u16le(at + 5) >= screenWidth && file.u16le(at + 7) >= screenHeight)
            break; // an image over the whole screen starts the next frame of an animation

        QString failure;
        QString warning;
        qint64 pixels = 0;
        bool coversOpaquely = false;
        if (!drawImage(file, at, global, transparent, QSize(int(screenWidth), int(screenHeight)),
                       d.image, makeCanvas, pixels, coversOpaquely, failure, warning)) {
            if (images == 0)
                return Decoded::fail(failure);
            d.warning = failure;
            break;
        }
        ++images;
        spent += pixels;
        opaque = opaque || coversOpaquely;
        if (!warning.isEmpty()) {
            d.warning = warning;
            break;
        }
        if (controlled || spent > budget)
            break;
        transparent = -1;
    }

    QString why;
    if (!makeCanvas(why))
        return Decoded::fail(why);
    // Opaque when the images covered the whole canvas without a transparent pixel.
    const int width = d.image.width();
    if (!opaque) {
        opaque = true;
        for (int y = 0; y < d.image.height() && opaque; ++y) {
            const auto *p = reinterpret_cast<const QRgb *>(d.image.constScanLine(y));
            for (int x = 0; x < width && opaque; ++x)
                opaque = qAlpha(p[x]) == 255;
        }
    }
    if (opaque)
        d.image.reinterpretAsFormat(QImage::Format_RGB32);
    return d;
}

} // namespace picture
