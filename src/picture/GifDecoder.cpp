#include "GifDecoder.h"

#include "Limits.h"

#include <algorithm>
#include <array>
#include <vector>

namespace picture {
namespace {

constexpr int kMaxCodes = 4096;

// The LZW data of one image, read across its length-prefixed sub-blocks.
class SubBlockBits {
public:
    SubBlockBits(Bytes file, qint64 at) : m_file(file), m_at(at) {}

    // The next code of the given width, or -1 when the data ends first.
    int read(int width)
    {
        while (m_count < width) {
            const int byte = nextByte();
            if (byte < 0)
                return -1;
            m_bits |= quint32(byte) << m_count;
            m_count += 8;
        }
        const int code = static_cast<int>(m_bits & ((1u << width) - 1));
        m_bits >>= width;
        m_count -= width;
        return code;
    }

private:
    int nextByte()
    {
        if (m_left == 0) {
            if (m_ended || !m_file.has(m_at, 1))
                return -1;
            m_left = m_file.u8(m_at++);
            if (m_left == 0) {
                m_ended = true;
                return -1;
            }
        }
        if (!m_file.has(m_at, 1))
            return -1;
        --m_left;
        return m_file.u8(m_at++);
    }

    Bytes m_file;
    qint64 m_at;
    int m_left = 0;
    bool m_ended = false;
    quint32 m_bits = 0;
    int m_count = 0;
};

struct Frame {
    qint64 left = 0;
    qint64 top = 0;
    qint64 width = 0;
    qint64 height = 0;
    bool interlaced = false;
    int transparent = -1;
    std::array<QRgb, 256> palette{};
};

// Frame rows arrive in this order when interlaced: every 8th from 0, every 8th from 4,
// every 4th from 2, every 2nd from 1.
qint64 interlacedRow(qint64 sequence, qint64 height)
{
    const qint64 pass1 = (height + 7) / 8;
    const qint64 pass2 = (height + 3) / 8;
    const qint64 pass3 = (height + 1) / 4;
    if (sequence < pass1)
        return sequence * 8;
    sequence -= pass1;
    if (sequence < pass2)
        return 4 + sequence * 8;
    sequence -= pass2;
    if (sequence < pass3)
        return 2 + sequence * 4;
    sequence -= pass3;
    return 1 + sequence * 2;
}

struct LzwOutcome {
    qint64 pixels = 0; // frame pixels produced
    bool broken = false;
};

// Whether the frame's pixels, in the order they come, are the canvas's pixels in
// memory order: a frame at the top left as wide as the canvas, not interlaced, drawn
// on a canvas still clear. Each string can then be copied from where the same string
// was written before, instead of being rebuilt from its chain of codes.
bool fillsCanvasInOrder(const Frame &f, const QImage *canvas, bool canvasClear)
{
    return canvas && canvasClear && !f.interlaced && f.left == 0 && f.top == 0 &&
           f.width == canvas->width() &&
           canvas->bytesPerLine() == qsizetype(canvas->width()) * qsizetype(sizeof(QRgb));
}

// Decodes the frame's pixels onto the canvas, clipped to it.
LzwOutcome decodeLzw(Bytes file, qint64 at, int minCodeSize, const Frame &f, QImage *canvas,
                     bool canvasClear = false)
{
    LzwOutcome out;
    const qint64 area = f.width * f.height;
    if (area == 0)
        return out;
    std::vector<quint16> prefix(kMaxCodes);
    std::vector<quint8> suffix(kMaxCodes);
    std::vector<quint16> length(kMaxCodes);
    std::vector<quint8> first(kMaxCodes);
    std::array<quint8, kMaxCodes> string{};
    std::vector<qint64> writtenAt; // where each string was last written, in order
    const bool inOrder = fillsCanvasInOrder(f, canvas, canvasClear);
    QRgb *pixels = nullptr;
    qint64 inOrderEnd = 0; // the canvas's pixels the frame can reach
    std::array<QRgb, 256> colours = f.palette;
    if (inOrder) {
        writtenAt.resize(kMaxCodes);
        pixels = reinterpret_cast<QRgb *>(canvas->bits());
        inOrderEnd = qMin<qint64>(area, qint64(canvas->width()) * canvas->height());
        // The canvas is clear: writing a clear pixel is leaving it as it was.
        if (f.transparent >= 0)
            colours[std::size_t(f.transparent)] = 0;
    }
    qint64 previousAt = 0;
    const int clear = 1 << minCodeSize;
    const int end = clear + 1;
    for (int i = 0; i < clear; ++i) {
        suffix[i] = static_cast<quint8>(i);
        first[i] = static_cast<quint8>(i);
        length[i] = 1;
    }

    // Without a canvas the pixels are only counted.
    const qint64 canvasWidth = canvas ? canvas->width() : 0;
    const qint64 canvasHeight = canvas ? canvas->height() : 0;
    // Columns of the frame that land on the canvas.
    const qint64 visibleFrom = qMax<qint64>(0, -f.left);
    const qint64 visibleTo = qMin<qint64>(f.width, canvasWidth - f.left);
    qint64 column = 0;
    qint64 sequence = 0;
    QRgb *row = nullptr;
    auto startRow = [&] {
        const qint64 frameRow = f.interlaced ? interlacedRow(sequence, f.height) : sequence;
        const qint64 y = f.top + frameRow;
        row = (y >= 0 && y < canvasHeight) ? reinterpret_cast<QRgb *>(canvas->scanLine(int(y)))
                                           : nullptr;
    };
    startRow();

    // Rows past the canvas's bottom are never seen: stop there when rows come in order.
    auto finished = [&] {
        return out.pixels >= area || (inOrder && out.pixels >= inOrderEnd) ||
               (canvas && !f.interlaced && f.top + sequence >= canvasHeight && out.pixels > 0);
    };
    auto rowVisible = [&](qint64 seq) {
        const qint64 y = f.top + (f.interlaced ? interlacedRow(seq, f.height) : seq);
        return y >= 0 && y < canvasHeight && visibleFrom < visibleTo;
    };
    // Whether any of the next n pixels may land on the canvas; a frame far larger than
    // its screen then costs only the codes it holds, not its area. The canvas shows a
    // frame's rows from the top down to some row, and within one interlace pass rows
    // only go down, so only the first row of each pass the pixels touch matters.
    const qint64 passEnds[] = {(f.height + 7) / 8, (f.height + 7) / 8 + (f.height + 3) / 8,
                               (f.height + 7) / 8 + (f.height + 3) / 8 + (f.height + 1) / 4};
    auto spanVisible = [&](qint64 n) {
        const qint64 lastSeq = qMin(sequence + (column + n - 1) / f.width, f.height - 1);
        if (lastSeq == sequence)
            return rowVisible(sequence) && column < visibleTo && column + n > visibleFrom;
        if (rowVisible(sequence))
            return true;
        if (f.interlaced) {
            for (qint64 passStart : passEnds) {
                if (passStart > sequence && passStart <= lastSeq && rowVisible(passStart))
                    return true;
            }
        }
        return false;
    };
    auto skip = [&](qint64 n) {
        n = qMin(n, area - out.pixels);
        out.pixels += n;
        column += n;
        if (column >= f.width) {
            sequence += column / f.width;
            column %= f.width;
            if (sequence < f.height)
                startRow();
        }
    };
    // The string of a code that is not a root is the previous code's string as it
    // was written, and one pixel more, already written after it or (the code just
    // added) about to be: a forward copy, one pixel at a time, makes both.
    auto emitInOrder = [&](int code) {
        previousAt = out.pixels;
        const qint64 n = qMin<qint64>(length[code], inOrderEnd - out.pixels);
        QRgb *to = pixels + out.pixels;
        if (code < clear) {
            if (n > 0)
                *to = colours[quint8(code)];
        } else {
            const QRgb *from = pixels + writtenAt[code];
            for (qint64 i = 0; i < n; ++i)
                to[i] = from[i];
        }
        out.pixels += qMax<qint64>(n, 0);
    };
    auto emit = [&](int code) {
        if (inOrder) {
            emitInOrder(code);
            return;
        }
        const int n = length[code];
        if (!spanVisible(n)) {
            skip(n);
            return;
        }
        for (int i = n - 1, c = code; i >= 0; --i, c = prefix[c])
            string[i] = suffix[c];
        // A row's share of the string at a time.
        for (qint64 i = 0; i < n && out.pixels < area;) {
            const qint64 run = std::min({qint64(n) - i, f.width - column, area - out.pixels});
            if (row) {
                const qint64 from = qMax(column, visibleFrom);
                const qint64 to = qMin(column + run, visibleTo);
                const quint8 *in = string.data() + i - column;
                QRgb *line = row + f.left;
                for (qint64 x = from; x < to; ++x) {
                    const int index = in[x];
                    if (index != f.transparent)
                        line[x] = f.palette[index];
                }
            }
            i += run;
            out.pixels += run;
            column += run;
            if (column == f.width) {
                column = 0;
                ++sequence;
                if (sequence < f.height)
                    startRow();
            }
        }
    };

    SubBlockBits bits(file, at);
    int width = minCodeSize + 1;
    int next = clear + 2;
    int previous = -1;
    while (!finished()) {
        const int code = bits.read(width);
        if (code < 0)
            break;
        if (code == clear) {
            width = minCodeSize + 1;
            next = clear + 2;
            previous = -1;
            continue;
        }
        if (code == end)
            break;
        if (previous < 0) {
            if (code >= clear) {
                out.broken = true;
                break;
            }
            emit(code);
            previous = code;
            continue;
        }
        int added = -1;
        if (code < next) {
            if (next < kMaxCodes)
                added = next;
            if (added >= 0) {
                prefix[added] = static_cast<quint16>(previous);
                suffix[added] = first[code];
            }
        } else if (code == next && next < kMaxCodes) {
            added = next;
            prefix[added] = static_cast<quint16>(previous);
            suffix[added] = first[previous];
        } else {
            out.broken = true;
            break;
        }
        if (added >= 0) {
            if (inOrder)
                writtenAt[added] = previousAt;
            length[added] = static_cast<quint16>(length[previous] + 1);
            first[added] = first[previous];
            ++next;
            if (next == (1 << width) && width < 12)
                ++width;
        }
        emit(code);
        previous = code;
    }
    return out;
}

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
