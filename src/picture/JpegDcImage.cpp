#include "JpegDcImage.h"

#include "JpegDecoder.h"

#include <bit>
#include <cstdlib>

namespace picture {
namespace {

// Larger DC values come only from files no encoder of 8-bit samples writes; between
// two of these the difference still has a Huffman size of at most 15.
constexpr int kLargestDc = 16383;

class BitWriter {
public:
    explicit BitWriter(QByteArray &out) : m_out(out) {}
    void put(quint32 bits, int count)
    {
        m_buffer = (m_buffer << count) | (bits & ((quint32(1) << count) - 1));
        m_count += count;
        while (m_count >= 8) {
            m_count -= 8;
            const char byte = char((m_buffer >> m_count) & 0xFF);
            m_out.append(byte);
            if (byte == char(0xFF))
                m_out.append('\0');
        }
    }
    // The last byte is padded with ones.
    void finish()
    {
        if (m_count > 0)
            put(0x7F, 8 - m_count);
    }

private:
    QByteArray &m_out;
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

void putDifference(BitWriter &bits, int difference)
{
    const int size = int(std::bit_width(quint32(std::abs(difference))));
    if (size < 15)
        bits.put(quint32(size), 4);
    else
        bits.put(30, 5);
    if (size)
        bits.put(quint32(difference < 0 ? difference - 1 : difference), size);
}

} // namespace

QByteArray JpegDcImage::sequentialFile(const JpegDcFrame &f)
{
    const int count = int(f.components.size());
    int blocksInMcu = 0;
    for (const JpegDcFrame::Component &c : f.components) {
        blocksInMcu += c.h * c.v;
        for (qint16 dc : c.dc) {
            if (std::abs(int(dc)) > kLargestDc)
                return {};
        }
    }
    if (count < 1 || count > 4 || (count > 1 && blocksInMcu > 10))
        return {};

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

    // A DC difference and an end of block take a byte or so.
    qsizetype blocks = 0;
    for (const JpegDcFrame::Component &c : f.components)
        blocks += qsizetype(c.dc.size());
    out.reserve(out.size() + blocks + blocks / 2 + 16);
    BitWriter bits(out);
    std::array<int, 4> last{};
    auto putBlock = [&](int i, int x, int y) {
        const JpegDcFrame::Component &c = f.components[std::size_t(i)];
        const int dc = c.dc[std::size_t(y) * std::size_t(c.gridWide) + std::size_t(x)];
        putDifference(bits, dc - last[i]);
        last[i] = dc;
        bits.put(0, 1); // end of block
    };
    if (count == 1) {
        const JpegDcFrame::Component &c = f.components[0];
        for (int y = 0; y < c.blocksHigh; ++y) {
            for (int x = 0; x < c.blocksWide; ++x)
                putBlock(0, x, y);
        }
    } else {
        for (int my = 0; my < f.mcusHigh; ++my) {
            for (int mx = 0; mx < f.mcusWide; ++mx) {
                for (int i = 0; i < count; ++i) {
                    const JpegDcFrame::Component &c = f.components[std::size_t(i)];
                    for (int y = 0; y < c.v; ++y) {
                        for (int x = 0; x < c.h; ++x)
                            putBlock(i, mx * c.h + x, my * c.v + y);
                    }
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
