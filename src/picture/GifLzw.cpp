#include "GifLzw.h"

#include <algorithm>
#include <vector>

namespace picture::gif {
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

// The strings the codes stand for: a code's string is its prefix code's string and
// one index more, its suffix. The roots stand for their own index.
struct CodeTable {
    explicit CodeTable(int clear)
    {
        for (int i = 0; i < clear; ++i) {
            suffix[i] = static_cast<quint8>(i);
            first[i] = static_cast<quint8>(i);
            length[i] = 1;
        }
    }
    std::vector<quint16> prefix = std::vector<quint16>(kMaxCodes);
    std::vector<quint8> suffix = std::vector<quint8>(kMaxCodes);
    std::vector<quint16> length = std::vector<quint16>(kMaxCodes);
    std::vector<quint8> first = std::vector<quint8>(kMaxCodes);
};

// Puts the strings of the codes, as they come, where the frame's pixels go on the
// canvas: row after row (in interlaced order when the frame is), clipped to the canvas.
class FrameWriter {
public:
    FrameWriter(const Frame &f, QImage *canvas, bool canvasClear, const CodeTable &codes,
                int clear);

    [[nodiscard]] qint64 pixels() const { return m_pixels; }
    // Rows past the canvas's bottom are never seen: stop there when rows come in order.
    [[nodiscard]] bool finished() const
    {
        return m_pixels >= m_area || (m_inOrder && m_pixels >= m_inOrderEnd) ||
               (m_canvas && !m_f.interlaced && m_f.top + m_sequence >= m_canvasHeight &&
                m_pixels > 0);
    }
    // The code was just added to the table, for the string written last and one more.
    void added(int code)
    {
        if (m_inOrder)
            m_writtenAt[code] = m_previousAt;
    }
    // Writes the code's string.
    void write(int code)
    {
        if (m_inOrder)
            writeInOrder(code);
        else
            writeRows(code);
    }

private:
    void startRow();
    [[nodiscard]] bool rowVisible(qint64 seq) const;
    [[nodiscard]] bool spanVisible(qint64 n) const;
    void skip(qint64 n);
    void writeInOrder(int code);
    void writeRows(int code);

    const Frame &m_f;
    QImage *m_canvas;
    const CodeTable &m_codes;
    const int m_clear;
    const qint64 m_area;
    qint64 m_pixels = 0; // frame pixels produced
    std::array<quint8, kMaxCodes> m_string{};

    // Frames that fill the canvas in order copy each string from where it was written.
    const bool m_inOrder;
    std::vector<qint64> m_writtenAt; // where each string was last written, in order
    QRgb *m_canvasPixels = nullptr;
    qint64 m_inOrderEnd = 0; // the canvas's pixels the frame can reach
    std::array<QRgb, 256> m_colours;
    qint64 m_previousAt = 0;

    // Other frames go row by row. Without a canvas the pixels are only counted.
    const qint64 m_canvasWidth;
    const qint64 m_canvasHeight;
    // Columns of the frame that land on the canvas.
    const qint64 m_visibleFrom;
    const qint64 m_visibleTo;
    qint64 m_column = 0;
    qint64 m_sequence = 0;
    QRgb *m_row = nullptr;
    // Where the second, third and fourth interlace passes start.
    std::array<qint64, 3> m_passEnds;
};

FrameWriter::FrameWriter(const Frame &f, QImage *canvas, bool canvasClear, const CodeTable &codes,
                         int clear)
    : m_f(f), m_canvas(canvas), m_codes(codes), m_clear(clear), m_area(f.width * f.height),
      m_inOrder(fillsCanvasInOrder(f, canvas, canvasClear)), m_colours(f.palette),
      m_canvasWidth(canvas ? canvas->width() : 0), m_canvasHeight(canvas ? canvas->height() : 0),
      m_visibleFrom(qMax<qint64>(0, -f.left)),
      m_visibleTo(qMin<qint64>(f.width, m_canvasWidth - f.left)),
      m_passEnds{(f.height + 7) / 8, (f.height + 7) / 8 + (f.height + 3) / 8,
                 (f.height + 7) / 8 + (f.height + 3) / 8 + (f.height + 1) / 4}
{
    if (m_inOrder) {
        m_writtenAt.resize(kMaxCodes);
        m_canvasPixels = reinterpret_cast<QRgb *>(canvas->bits());
        m_inOrderEnd = qMin<qint64>(m_area, qint64(canvas->width()) * canvas->height());
        // The canvas is clear: writing a clear pixel is leaving it as it was.
        if (f.transparent >= 0)
            m_colours[std::size_t(f.transparent)] = 0;
    }
    startRow();
}

void FrameWriter::startRow()
{
    const qint64 frameRow = m_f.interlaced ? interlacedRow(m_sequence, m_f.height) : m_sequence;
    const qint64 y = m_f.top + frameRow;
    m_row = (y >= 0 && y < m_canvasHeight) ? reinterpret_cast<QRgb *>(m_canvas->scanLine(int(y)))
                                           : nullptr;
}

bool FrameWriter::rowVisible(qint64 seq) const
{
    const qint64 y = m_f.top + (m_f.interlaced ? interlacedRow(seq, m_f.height) : seq);
    return y >= 0 && y < m_canvasHeight && m_visibleFrom < m_visibleTo;
}

// Whether any of the next n pixels may land on the canvas; a frame far larger than its
// screen then costs only the codes it holds, not its area. The canvas shows a frame's
// rows from the top down to some row, and within one interlace pass rows only go down,
// so only the first row of each pass the pixels touch matters.
bool FrameWriter::spanVisible(qint64 n) const
{
    const qint64 lastSeq = qMin(m_sequence + (m_column + n - 1) / m_f.width, m_f.height - 1);
    if (lastSeq == m_sequence)
        return rowVisible(m_sequence) && m_column < m_visibleTo && m_column + n > m_visibleFrom;
    if (rowVisible(m_sequence))
        return true;
    if (m_f.interlaced) {
        for (qint64 passStart : m_passEnds) {
            if (passStart > m_sequence && passStart <= lastSeq && rowVisible(passStart))
                return true;
        }
    }
    return false;
}

void FrameWriter::skip(qint64 n)
{
    n = qMin(n, m_area - m_pixels);
    m_pixels += n;
    m_column += n;
    if (m_column >= m_f.width) {
        m_sequence += m_column / m_f.width;
        m_column %= m_f.width;
        if (m_sequence < m_f.height)
            startRow();
    }
}

// The string of a code that is not a root is the previous code's string as it was
// written, and one pixel more, already written after it or (the code just added) about
// to be: a forward copy, one pixel at a time, makes both.
void FrameWriter::writeInOrder(int code)
{
    m_previousAt = m_pixels;
    const qint64 n = qMin<qint64>(m_codes.length[code], m_inOrderEnd - m_pixels);
    QRgb *to = m_canvasPixels + m_pixels;
    if (code < m_clear) {
        if (n > 0)
            *to = m_colours[quint8(code)];
    } else {
        const QRgb *from = m_canvasPixels + m_writtenAt[code];
        for (qint64 i = 0; i < n; ++i)
            to[i] = from[i];
    }
    m_pixels += qMax<qint64>(n, 0);
}

void FrameWriter::writeRows(int code)
{
    const int n = m_codes.length[code];
    if (!spanVisible(n)) {
        skip(n);
        return;
    }
    for (int i = n - 1, c = code; i >= 0; --i, c = m_codes.prefix[c])
        m_string[i] = m_codes.suffix[c];
    // A row's share of the string at a time.
    for (qint64 i = 0; i < n && m_pixels < m_area;) {
        const qint64 run = std::min({qint64(n) - i, m_f.width - m_column, m_area - m_pixels});
        if (m_row) {
            const qint64 from = qMax(m_column, m_visibleFrom);
            const qint64 to = qMin(m_column + run, m_visibleTo);
            const quint8 *in = m_string.data() + i - m_column;
            QRgb *line = m_row + m_f.left;
            for (qint64 x = from; x < to; ++x) {
                const int index = in[x];
                if (index != m_f.transparent)
                    line[x] = m_f.palette[index];
            }
        }
        i += run;
        m_pixels += run;
        m_column += run;
        if (m_column == m_f.width) {
            m_column = 0;
            ++m_sequence;
            if (m_sequence < m_f.height)
                startRow();
        }
    }
}

} // namespace

LzwOutcome decodeLzw(Bytes file, qint64 at, int minCodeSize, const Frame &f, QImage *canvas,
                     bool canvasClear)
{
    LzwOutcome out;
    if (f.width * f.height == 0)
        return out;
    const int clear = 1 << minCodeSize;
    const int end = clear + 1;
    CodeTable codes(clear);
    FrameWriter writer(f, canvas, canvasClear, codes, clear);

    SubBlockBits bits(file, at);
    int width = minCodeSize + 1;
    int next = clear + 2;
    int previous = -1;
    while (!writer.finished()) {
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
            writer.write(code);
            previous = code;
            continue;
        }
        int added = -1;
        if (code < next) {
            if (next < kMaxCodes)
                added = next;
            if (added >= 0) {
                codes.prefix[added] = static_cast<quint16>(previous);
                codes.suffix[added] = codes.first[code];
            }
        } else if (code == next && next < kMaxCodes) {
            added = next;
            codes.prefix[added] = static_cast<quint16>(previous);
            codes.suffix[added] = codes.first[previous];
        } else {
            out.broken = true;
            break;
        }
        if (added >= 0) {
            writer.added(added);
            codes.length[added] = static_cast<quint16>(codes.length[previous] + 1);
            codes.first[added] = codes.first[previous];
            ++next;
            if (next == (1 << width) && width < 12)
                ++width;
        }
        writer.write(code);
        previous = code;
    }
    out.pixels = writer.pixels();
    return out;
}

} // namespace picture::gif
