#include "JpegDcImage.h"

#include "JpegDcPixels.h"
#include "JpegDecoder.h"

#include <QtEndian>
#include <bit>
#include <cstdlib>
#include <cstring>

namespace picture {
namespace {

// Larger DC values come only from files no encoder of 8-bit samples writes; between
// two of these the difference still has a Huffman size of at most 15.
constexpr int kLargestDc = 16383;

// Writes bits into out from its end on; at most kMostBytesPerPut bytes for each put.
class BitWriter {
public:
    static constexpr qsizetype kMostBytesPerPut = 8; // 32 bits, each byte stuffed
    explicit BitWriter(QByteArray &out, qsizetype puts) : m_out(out), m_start(out.size())
    {
        m_out.resize(m_start + puts * kMostBytesPerPut + kMostBytesPerPut);
        m_at = reinterpret_cast<uchar *>(m_out.data()) + m_start;
    }
    // count at most 32.
    void put(quint32 bits, int count)
    {
        m_buffer = (m_buffer << count) | (bits & ((quint64(1) << count) - 1));
        m_count += count;
        if (m_count >= 32) {
            m_count -= 32;
            emit32(quint32(m_buffer >> m_count));
        }
    }
    // The last byte is padded with ones; out ends at the last byte written.
    void finish()
    {
        const int bytes = (m_count + 7) / 8;
        const int pad = bytes * 8 - m_count;
        const quint32 tail = quint32((m_buffer << pad) | ((quint64(1) << pad) - 1));
        for (int i = bytes - 1; i >= 0; --i)
            emit8(uchar(tail >> (8 * i)));
        m_out.resize(m_at - reinterpret_cast<uchar *>(m_out.data()));
    }

private:
    void emit8(uchar byte)
    {
        *m_at++ = byte;
        if (byte == 0xFF)
            *m_at++ = 0;
    }
    void emit32(quint32 word)
    {
        // A byte of ~word is zero exactly where word holds 0xFF.
        const quint32 inverted = ~word;
        if (((inverted - 0x01010101U) & ~inverted & 0x80808080U) == 0) {
            const quint32 big = qToBigEndian(word);
            std::memcpy(m_at, &big, 4);
            m_at += 4;
            return;
        }
        for (int i = 3; i >= 0; --i)
            emit8(uchar(word >> (8 * i)));
    }

    QByteArray &m_out;
    qsizetype m_start;
    uchar *m_at = nullptr;
    quint64 m_buffer = 0;
    int m_count = 0;
};

void segment(QByteArray &out, int marker, const QByteArray &body)
{
    out.append(char(0xFF)).append(char(marker));
    out.append(char((body.size() + 2) >> 8)).append(char((body.size() + 2) & 0xFF));
    out.append(body);
}

void put16(QByteArray &out, int value)
{
    out.append(char(value >> 8)).append(char(value & 0xFF));
}

// Sizes 0 to 14 in four bits, 15 in five: libjpeg refuses a table whose codes use up
// every pattern. The one AC code is the end of block.
QByteArray huffmanTables()
{
    QByteArray body;
    body.append('\x00');
    for (int length = 1; length <= 16; ++length)
        body.append(char(length == 4 ? 15 : length == 5 ? 1 : 0));
    for (int size = 0; size <= 15; ++size)
        body.append(char(size));
    body.append('\x10');
    for (int length = 1; length <= 16; ++length)
        body.append(char(length == 1 ? 1 : 0));
    body.append('\x00');
    return body;
}

// A DC difference and the end of block after it, in one put of at most 21 bits.
void putBlock(BitWriter &bits, int difference)
{
    const int size = int(std::bit_width(quint32(std::abs(difference))));
    const quint32 prefix = size < 15 ? quint32(size) : 30;
    const int prefixBits = size < 15 ? 4 : 5;
    const quint32 value =
        quint32(difference < 0 ? difference - 1 : difference) & ((quint32(1) << size) - 1);
    bits.put(((prefix << size) | value) << 1, prefixBits + size + 1);
}

} // namespace

bool JpegDcImage::fitsSequentialFile(const JpegDcFrame &f)
{
    const int count = int(f.components.size());
    int blocksInMcu = 0;
    for (const JpegDcFrame::Component &c : f.components) {
        blocksInMcu += c.h * c.v;
        for (qint16 dc : c.dc) {
            if (std::abs(int(dc)) > kLargestDc)
                return false;
        }
    }
    return count >= 1 && count <= 4 && (count == 1 || blocksInMcu <= 10);
}

QByteArray JpegDcImage::sequentialFile(const JpegDcFrame &f)
{
    if (!fitsSequentialFile(f))
        return {};
    const int count = int(f.components.size());

    QByteArray out("\xFF\xD8", 2);
    out.append(f.colourMarkers);
    QByteArray body;
    for (int i = 0; i < count; ++i) {
        const auto &quant = f.components[std::size_t(i)].quant;
        const bool wide =
            std::any_of(quant.begin(), quant.end(), [](quint16 q) { return q > 255; });
        body.append(char((wide ? 0x10 : 0) | i));
        for (quint16 q : quant) {
            if (wide)
                put16(body, q);
            else
                body.append(char(q));
        }
    }
    segment(out, 0xDB, body);
    body.clear();
    body.append('\x08');
    put16(body, f.height);
    put16(body, f.width);
    body.append(char(count));
    for (int i = 0; i < count; ++i) {
        const JpegDcFrame::Component &c = f.components[std::size_t(i)];
        body.append(char(c.id)).append(char((c.h << 4) | c.v)).append(char(i));
    }
    segment(out, 0xC1, body);
    segment(out, 0xC4, huffmanTables());
    body.clear();
    body.append(char(count));
    for (const JpegDcFrame::Component &c : f.components)
        body.append(char(c.id)).append('\x00');
    body.append("\x00\x3F\x00", 3);
    segment(out, 0xDA, body);

    qsizetype blocks = 0;
    for (const JpegDcFrame::Component &c : f.components)
        blocks += qsizetype(c.dc.size());
    BitWriter bits(out, blocks);
    std::array<int, 4> last{};
    if (count == 1) {
        const JpegDcFrame::Component &c = f.components[0];
        for (int y = 0; y < c.blocksHigh; ++y) {
            const qint16 *row = c.dc.data() + std::size_t(y) * std::size_t(c.gridWide);
            for (int x = 0; x < c.blocksWide; ++x) {
                putBlock(bits, row[x] - last[0]);
                last[0] = row[x];
            }
        }
    } else {
        // Each MCU's blocks, where they lie in the first MCU of its row and how far
        // they move from one MCU to the next.
        std::array<std::ptrdiff_t, 10> offset{};
        std::array<int, 10> component{};
        std::array<int, 10> step{};
        int inMcu = 0;
        for (int i = 0; i < count; ++i) {
            const JpegDcFrame::Component &c = f.components[std::size_t(i)];
            for (int y = 0; y < c.v; ++y) {
                for (int x = 0; x < c.h; ++x) {
                    offset[std::size_t(inMcu)] = std::ptrdiff_t(y) * c.gridWide + x;
                    component[std::size_t(inMcu)] = i;
                    step[std::size_t(inMcu++)] = c.h;
                }
            }
        }
        for (int my = 0; my < f.mcusHigh; ++my) {
            std::array<const qint16 *, 10> at{};
            for (std::size_t b = 0; b < std::size_t(inMcu); ++b) {
                const JpegDcFrame::Component &c = f.components[std::size_t(component[b])];
                at[b] = c.dc.data() + std::ptrdiff_t(my) * c.v * c.gridWide + offset[b];
            }
            for (int mx = 0; mx < f.mcusWide; ++mx) {
                for (std::size_t b = 0; b < std::size_t(inMcu); ++b) {
                    int &previous = last[std::size_t(component[b])];
                    putBlock(bits, *at[b] - previous);
                    previous = *at[b];
                    at[b] += step[b];
                }
            }
        }
    }
    bits.finish();
    out.append("\xFF\xD9", 2);
    return out;
}

Decoded JpegDcImage::decodeEighth(Bytes data)
{
    ProgressiveJpegReader reader;
    if (reader.read(data) == ProgressiveJpegReader::Verdict::Clean) {
        // What libjpeg would make of the single-scan file, where that is known exactly.
        if (fitsSequentialFile(reader.frame())) {
            if (std::optional<Decoded> d = JpegDcPixels::decode(reader.frame()))
                return *std::move(d);
        }
        const QByteArray sequential = sequentialFile(reader.frame());
        reader = ProgressiveJpegReader(); // its coefficients are no longer needed
        if (!sequential.isEmpty()) {
            Decoded d = decodeJpeg(Bytes(sequential), 8);
            if (d.ok() && d.warning.isEmpty())
                return d;
        }
    }
    return decodeJpeg(data, 8);
}

} // namespace picture
