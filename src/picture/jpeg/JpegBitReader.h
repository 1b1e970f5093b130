#pragma once

#include <QtEndian>
#include <QtGlobal>
#include <array>
#include <cstring>

namespace picture {

// A Huffman table of a JPEG file, built and checked the way libjpeg builds it, and
// decoded the same way: the shortest canonical code that matches wins.
class JpegHuffmanTable {
public:
    // counts[l] codes of length l + 1, then their symbols. False for a table libjpeg
    // refuses (too many codes for their lengths, a DC size above 15).
    [[nodiscard]] bool build(const quint8 counts[16], const quint8 *symbols, int symbolCount,
                             bool dc);

    static constexpr int kLookBits = 10;
    // From the next kLookBits bits: the code length (0 when longer) and its symbol.
    [[nodiscard]] quint16 look(quint32 bits) const { return m_look[bits]; }
    // The symbol of the longest codes, from the next 16 bits: its length and symbol,
    // or 0 when no code of the table starts these bits.
    [[nodiscard]] quint32 decodeLong(quint32 next16) const;

private:
    std::array<quint16, 1 << kLookBits> m_look{};
    std::array<qint32, 18> m_maxCode{};
    std::array<qint32, 17> m_valueOffset{};
    std::array<quint8, 256> m_symbols{};
};

// Reads the bits of one scan's entropy-coded data. A marker ends the data: bits past
// it read as zeros, as libjpeg supplies them, and starved() says whether any such bit
// was needed (libjpeg then warns that the data is damaged).
class JpegBitReader {
public:
    JpegBitReader(const uchar *from, const uchar *end) : m_next(from), m_end(end) {}

    [[nodiscard]] quint32 peek(int n)
    {
        if (m_count < n)
            fill();
        return quint32(m_buffer >> (64 - n));
    }
    void skip(int n)
    {
        if (m_count < n) {
            fill();
            if (m_count < n) {
                m_starved = true;
                m_count = n;
            }
        }
        m_buffer <<= n;
        m_count -= n;
    }
    // Passes n bits, more than the buffer holds too: a code and the bits after it.
    void skipMany(int n)
    {
        if (n <= m_count) {
            m_buffer = n ? (m_buffer << 1) << (n - 1) : m_buffer;
            m_count -= n;
            return;
        }
        for (; n > 32; n -= 32)
            skip(32);
        skip(n);
    }
    [[nodiscard]] quint32 bits(int n)
    {
        if (n == 0)
            return 0;
        const quint32 value = peek(n);
        skip(n);
        return value;
    }
    // A Huffman symbol, or -1 for bits no code of the table starts.
    [[nodiscard]] int decode(const JpegHuffmanTable &table)
    {
        const quint16 entry = table.look(peek(JpegHuffmanTable::kLookBits));
        if (entry >> 8) {
            skip(entry >> 8);
            return entry & 0xFF;
        }
        const quint32 found = table.decodeLong(peek(16));
        if (!found)
            return -1;
        skip(int(found >> 8));
        return int(found & 0xFF);
    }
    // Ends the data at a restart: the bits left over are padding.
    void dropBits()
    {
        m_buffer = 0;
        m_count = 0;
    }

    [[nodiscard]] bool starved() const { return m_starved; }
    // Where reading stopped: at the marker that ended the data, or after the last
    // byte taken into the bits.
    [[nodiscard]] const uchar *position() const { return m_next; }

private:
    void fill()
    {
        if (m_next + 8 <= m_end && !hasFF(m_next)) {
            // No 0xFF among the next eight bytes: as many as fit go in at once.
            const int take = (64 - m_count) / 8;
            quint64 word;
            std::memcpy(&word, m_next, 8);
            const int total = m_count + 8 * take;
            const quint64 keep = total >= 64 ? ~quint64(0) : ~(~quint64(0) >> total);
            m_buffer |= (qFromBigEndian(word) >> m_count) & keep;
            m_next += take;
            m_count = total;
            return;
        }
        while (m_count <= 56) {
            if (m_next >= m_end || m_atMarker)
                return;
            quint64 byte = *m_next;
            if (byte == 0xFF) {
                // Fill bytes, then either a stuffed zero (one 0xFF of data) or a marker.
                const uchar *after = m_next + 1;
                while (after < m_end && *after == 0xFF)
                    ++after;
                if (after >= m_end || *after != 0) {
                    m_next = after - 1;
                    m_atMarker = true;
                    return;
                }
                m_next = after + 1;
            } else {
                ++m_next;
            }
            m_buffer |= byte << (56 - m_count);
            m_count += 8;
        }
    }
    [[nodiscard]] static bool hasFF(const uchar *p)
    {
        quint64 word;
        std::memcpy(&word, p, 8);
        const quint64 inverted = ~word;
        // A byte of ~word is zero exactly where word holds 0xFF.
        return ((inverted - 0x0101010101010101ULL) & ~inverted & 0x8080808080808080ULL) != 0;
    }

    const uchar *m_next;
    const uchar *m_end;
    quint64 m_buffer = 0; // the next bits, from the top
    int m_count = 0;
    bool m_atMarker = false;
    bool m_starved = false;
};

} // namespace picture
