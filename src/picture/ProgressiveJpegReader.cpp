#include "ProgressiveJpegReader.h"

#include <bit>
#include <limits>
#include <new>

namespace picture {

struct ProgressiveJpegReader::Scan {
    int count = 0;
    std::array<int, 4> component{}; // indexes into the frame's components
    std::array<int, 4> dcTable{};
    std::array<int, 4> acTable{};
    int ss = 0;
    int se = 0;
    int ah = 0;
    int al = 0;
};

namespace {

constexpr int kDc = 0;
constexpr int kAc = 4;

// What libjpeg reads after an 0xFF outside scan data: fill bytes are skipped, and a
// stuffed zero there is stray data. -1 when the data ends first.
int nextMarker(const uchar *&at, const uchar *end)
{
    for (;;) {
        while (at < end && *at != 0xFF)
            ++at;
        while (at < end && *at == 0xFF)
            ++at;
        if (at >= end)
            return -1;
        const int code = *at++;
        if (code != 0)
            return code;
    }
}

int extend(quint32 bits, int size)
{
    return bits < (quint32(1) << (size - 1)) ? int(bits) - (1 << size) + 1 : int(bits);
}

// The coefficients a block still holds from k to last, in zig-zag order, as a mask.
quint64 band(int k, int last)
{
    if (k > last)
        return 0;
    const quint64 upTo = last >= 63 ? ~quint64(0) : (quint64(1) << (last + 1)) - 1;
    return upTo & ~((quint64(1) << k) - 1);
}

// Without a POPCNT instruction to count on, std::popcount is a library call.
int bitCount(quint64 x)
{
    x -= (x >> 1) & 0x5555555555555555ULL;
    x = (x & 0x3333333333333333ULL) + ((x >> 2) & 0x3333333333333333ULL);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
    return int((x * 0x0101010101010101ULL) >> 56);
}

// Where the n-th set bit of a byte is, for every byte and n.
constexpr std::array<std::array<quint8, 8>, 256> kSelectInByte = [] {
    std::array<std::array<quint8, 8>, 256> table{};
    for (int byte = 0; byte < 256; ++byte) {
        int n = 0;
        for (int bit = 0; bit < 8; ++bit) {
            if (byte & (1 << bit))
                table[byte][n++] = quint8(bit);
        }
    }
    return table;
}();

// The position of the (n + 1)-th set bit of x, or 64 when x has fewer. Without a loop
// whose length changes from call to call, which no branch predictor follows.
int selectBit(quint64 x, int n)
{
    constexpr quint64 kOnes = 0x0101010101010101ULL;
    constexpr quint64 kHigh = 0x8080808080808080ULL;
    quint64 counts = x - ((x >> 1) & 0x5555555555555555ULL);
    counts = (counts & 0x3333333333333333ULL) + ((counts >> 2) & 0x3333333333333333ULL);
    counts = (counts + (counts >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
    const quint64 upTo = counts * kOnes; // byte i: the set bits in bytes 0 to i
    const quint64 reached = ((upTo | kHigh) - quint64(n + 1) * kOnes) & kHigh;
    if (!reached)
        return 64;
    const int byte = std::countr_zero(reached) >> 3;
    const int before = byte ? int((upTo >> (8 * byte - 8)) & 0xFF) : 0;
    return 8 * byte + kSelectInByte[(x >> (8 * byte)) & 0xFF][std::size_t(n - before)];
}

void skipBits(JpegBitReader &reader, int count)
{
    for (; count > 16; count -= 16)
        reader.skip(16);
    reader.skip(count);
}

} // namespace

bool ProgressiveJpegReader::undecided(const QString &why)
{
    m_why = why;
    return false;
}

ProgressiveJpegReader::Verdict ProgressiveJpegReader::read(Bytes data)
{
    m_frame = {};
    m_why.clear();
    m_quantDefined.fill(false);
    m_tables.assign(8, Table{});
    m_restartInterval = 0;
    m_sawFrame = false;
    try {
        return readMarkers(data) ? Verdict::Clean : Verdict::Undecided;
    } catch (const std::bad_alloc &) {
        undecided(QStringLiteral("no memory for the coefficients"));
        return Verdict::Undecided;
    }
}

bool ProgressiveJpegReader::readMarkers(Bytes data)
{
    const uchar *at = data.data();
    const uchar *const end = at + data.size();
    if (data.size() < 2 || at[0] != 0xFF || at[1] != 0xD8)
        return undecided(QStringLiteral("no start of image"));
    at += 2;
    bool scanned = false;
    for (;;) {
        const int marker = nextMarker(at, end);
        if (marker < 0) {
            // libjpeg then supplies the end itself: only a missing scan is damage.
            return progressionComplete() ||
                   undecided(QStringLiteral("the data ends before the last scans"));
        }
        if (marker == 0xD9)
            return true;
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01)
            continue; // no parameters
        if (end - at < 2)
            return undecided(QStringLiteral("a marker segment is cut off"));
        const int length = (at[0] << 8) | at[1];
        if (length < 2 || end - at < length)
            return undecided(QStringLiteral("a marker segment is cut off"));
        const Bytes segment(QByteArrayView(reinterpret_cast<const char *>(at + 2), length - 2));
        if (marker == 0xDA) {
            Scan scan;
            if (!m_sawFrame || !readScanHeader(segment, scan) || !checkProgression(scan))
                return false;
            at += length;
            if (!decodeScan(scan, at, end))
                return false;
            scanned = true;
            continue;
        }
        bool ok = true;
        if (marker == 0xC2 && !m_sawFrame)
            ok = readFrame(segment);
        else if (marker == 0xC4)
            ok = readTables(segment);
        else if (marker == 0xDB)
            ok = readQuantisation(segment);
        else if (marker == 0xDD && length == 4)
            m_restartInterval = (at[2] << 8) | at[3];
        else if (marker == 0xE0 || marker == 0xEE) {
            if (!scanned)
                m_frame.colourMarkers.append(reinterpret_cast<const char *>(at - 2), length + 2);
        } else if (!(marker >= 0xE1 && marker <= 0xEF) && marker != 0xFE)
            ok = undecided(QStringLiteral("marker %1").arg(marker, 2, 16));
        if (!ok)
            return false;
        at += length;
    }
}

bool ProgressiveJpegReader::readFrame(Bytes s)
{
    m_sawFrame = true;
    const int count = s.u8(5);
    if (s.u8(0) != 8 || count < 1 || count > 4 || s.size() != 6 + 3 * count)
        return undecided(QStringLiteral("a frame this reader does not take"));
    JpegDcFrame &f = m_frame;
    f.height = s.u16be(1);
    f.width = s.u16be(3);
    if (f.width == 0 || f.height == 0)
        return undecided(QStringLiteral("no size in the frame"));
    for (int i = 0; i < count; ++i) {
        JpegDcFrame::Component c;
        c.id = s.u8(6 + 3 * i);
        c.h = s.u8(7 + 3 * i) >> 4;
        c.v = s.u8(7 + 3 * i) & 15;
        c.table = s.u8(8 + 3 * i);
        if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4 || c.table > 3)
            return undecided(QStringLiteral("sampling or table out of range"));
        for (const JpegDcFrame::Component &other : f.components) {
            if (other.id == c.id)
                return undecided(QStringLiteral("two components share an id"));
        }
        c.coefBits.fill(-1);
        f.maxH = qMax(f.maxH, c.h);
        f.maxV = qMax(f.maxV, c.v);
        f.components.push_back(std::move(c));
    }
    f.mcusWide = (f.width + 8 * f.maxH - 1) / (8 * f.maxH);
    f.mcusHigh = (f.height + 8 * f.maxV - 1) / (8 * f.maxV);
    for (JpegDcFrame::Component &c : f.components) {
        c.blocksWide = int((qint64(f.width) * c.h + 8 * f.maxH - 1) / (8 * f.maxH));
        c.blocksHigh = int((qint64(f.height) * c.v + 8 * f.maxV - 1) / (8 * f.maxV));
        c.gridWide = count == 1 ? c.blocksWide : f.mcusWide * c.h;
        c.gridHigh = count == 1 ? c.blocksHigh : f.mcusHigh * c.v;
        const std::size_t blocks = std::size_t(c.gridWide) * std::size_t(c.gridHigh);
        c.dc.assign(blocks, 0);
        c.nonzero.assign(blocks, 0);
    }
    return true;
}

bool ProgressiveJpegReader::readTables(Bytes s)
{
    qint64 at = 0;
    while (s.size() - at > 16) {
        const int index = s.u8(at);
        quint8 counts[16];
        int total = 0;
        for (int i = 0; i < 16; ++i)
            total += counts[i] = s.u8(at + 1 + i);
        at += 17;
        if ((index & 0xEC) != 0 || total > 256 || total > s.size() - at)
            return undecided(QStringLiteral("a Huffman table libjpeg refuses"));
        const bool dc = (index & 0x10) == 0;
        Table &table = m_tables[std::size_t((dc ? kDc : kAc) + (index & 3))];
        table.valid = table.huffman.build(counts, s.data() + at, total, dc);
        at += total;
    }
    return at == s.size() || undecided(QStringLiteral("a Huffman table segment of odd length"));
}

bool ProgressiveJpegReader::readQuantisation(Bytes s)
{
    qint64 at = 0;
    while (at < s.size()) {
        const int precision = s.u8(at) >> 4;
        const int index = s.u8(at) & 15;
        const qint64 size = precision ? 128 : 64;
        if (precision > 1 || index > 3 || !s.has(at + 1, size))
            return undecided(QStringLiteral("a quantisation table this reader does not take"));
        for (int i = 0; i < 64; ++i)
            m_quant[index][i] = precision ? s.u16be(at + 1 + 2 * i) : s.u8(at + 1 + i);
        m_quantDefined[index] = true;
        at += 1 + size;
    }
    return true;
}

bool ProgressiveJpegReader::readScanHeader(Bytes s, Scan &scan)
{
    scan.count = s.u8(0);
    if (scan.count < 1 || scan.count > 4 || s.size() != 4 + 2 * scan.count)
        return undecided(QStringLiteral("a scan header of odd length"));
    int previous = -1;
    int blocksInMcu = 0;
    for (int i = 0; i < scan.count; ++i) {
        const int id = s.u8(1 + 2 * i);
        int index = previous + 1;
        while (index < int(m_frame.components.size()) && m_frame.components[index].id != id)
            ++index;
        // Components in frame order, as libjpeg finds them.
        if (index >= int(m_frame.components.size()))
            return undecided(QStringLiteral("a scan names an unknown component"));
        previous = index;
        scan.component[i] = index;
        scan.dcTable[i] = s.u8(2 + 2 * i) >> 4;
        scan.acTable[i] = s.u8(2 + 2 * i) & 15;
        const JpegDcFrame::Component &c = m_frame.components[index];
        blocksInMcu += c.h * c.v;
    }
    if (scan.count > 1 && blocksInMcu > 10)
        return undecided(QStringLiteral("too many blocks in an MCU"));
    const qint64 tail = 1 + 2 * scan.count;
    scan.ss = s.u8(tail);
    scan.se = s.u8(tail + 1);
    scan.ah = s.u8(tail + 2) >> 4;
    scan.al = s.u8(tail + 2) & 15;
    return true;
}

bool ProgressiveJpegReader::checkProgression(const Scan &scan)
{
    const bool dcBand = scan.ss == 0;
    const bool bad =
        (dcBand ? scan.se != 0 : scan.ss > scan.se || scan.se > 63 || scan.count != 1) ||
        (scan.ah != 0 && scan.al != scan.ah - 1) || scan.al > 13;
    if (bad)
        return undecided(QStringLiteral("scan parameters libjpeg refuses"));
    for (int i = 0; i < scan.count; ++i) {
        JpegDcFrame::Component &c = m_frame.components[std::size_t(scan.component[i])];
        if (!dcBand && c.coefBits[0] < 0)
            return undecided(QStringLiteral("an AC scan before the DC one"));
        for (int k = scan.ss; k <= scan.se; ++k) {
            if (scan.ah != qMax(c.coefBits[k], 0))
                return undecided(QStringLiteral("scans out of progression"));
            c.coefBits[k] = scan.al;
        }
        if (!c.quantLatched) {
            if (!m_quantDefined[c.table])
                return undecided(QStringLiteral("no quantisation table"));
            c.quant = m_quant[c.table];
            c.quantLatched = true;
        }
        const bool needsTable = !dcBand || scan.ah == 0;
        const int table = dcBand ? kDc + scan.dcTable[i] : kAc + scan.acTable[i];
        if (needsTable && (table - (dcBand ? kDc : kAc) > 3 || !m_tables[table].valid))
            return undecided(QStringLiteral("a scan uses a missing Huffman table"));
    }
    return true;
}

bool ProgressiveJpegReader::progressionComplete() const
{
    for (const JpegDcFrame::Component &c : m_frame.components) {
        for (int bits : c.coefBits) {
            if (bits != 0)
                return false;
        }
    }
    return true;
}

namespace {

// What runs on from block to block within a scan, and starts again at a restart.
struct ScanState {
    std::array<qint64, 4> lastDc{};
    quint32 eobRun = 0;
    const JpegHuffmanTable *table[4] = {};
    int ss = 0;
    int se = 0;
    int al = 0;
};

// Each kind of scan reads a block its own way; false for data libjpeg would not read
// cleanly (a code missing from the table, a value it stores as something else).
bool dcFirst(JpegBitReader &reader, ScanState &st, int i, qint16 &dc, quint64 &)
{
    const int size = reader.decode(*st.table[i]);
    if (size < 0)
        return false;
    st.lastDc[i] += size ? extend(reader.bits(size), size) : 0;
    if (st.lastDc[i] > std::numeric_limits<int>::max() ||
        st.lastDc[i] < std::numeric_limits<int>::min())
        return false;
    dc = qint16(quint32(st.lastDc[i]) << st.al);
    return true;
}

bool dcRefine(JpegBitReader &reader, ScanState &st, int, qint16 &dc, quint64 &)
{
    if (reader.bits(1))
        dc = qint16(dc | (1 << st.al));
    return true;
}

bool acFirst(JpegBitReader &reader, ScanState &st, int, qint16 &, quint64 &nonzeroHeld)
{
    if (st.eobRun > 0) {
        --st.eobRun;
        return true;
    }
    const JpegHuffmanTable &table = *st.table[0];
    quint64 nonzero = nonzeroHeld;
    for (int k = st.ss; k <= st.se; ++k) {
        const int rs = reader.decode(table);
        if (rs < 0)
            return false;
        const int r = rs >> 4;
        const int s = rs & 15;
        if (s) {
            k += r;
            const int value = extend(reader.bits(s), s);
            if (qint16(quint32(value) << st.al) == 0)
                return false;
            nonzero |= quint64(1) << qMin(k, 63);
        } else if (r == 15) {
            k += 15;
        } else {
            st.eobRun = (quint32(1) << r) + reader.bits(r) - 1;
            break;
        }
    }
    nonzeroHeld = nonzero;
    return true;
}

bool acRefine(JpegBitReader &reader, ScanState &st, int, qint16 &, quint64 &nonzeroHeld)
{
    const JpegHuffmanTable &table = *st.table[0];
    quint64 nonzero = nonzeroHeld;
    int k = st.ss;
    if (st.eobRun == 0) {
        for (; k <= st.se; ++k) {
            const int rs = reader.decode(table);
            if (rs < 0)
                return false;
            const int r = rs >> 4;
            const int s = rs & 15;
            if (s) {
                if (s != 1)
                    return false;
                reader.skip(1);
            } else if (r != 15) {
                st.eobRun = (quint32(1) << r) + reader.bits(r);
                break;
            }
            // Past the coefficients already set, each with a correction bit, to the
            // zero one after r others (or to the end of the band).
            const quint64 ahead = band(k, st.se);
            const int stop = qMin(selectBit(~nonzero & ahead, r), st.se + 1);
            const quint64 before = stop >= 64 ? ~quint64(0) : (quint64(1) << stop) - 1;
            skipBits(reader, bitCount(nonzero & ahead & before));
            k = stop;
            if (s)
                nonzero |= quint64(1) << qMin(k, 63);
        }
    }
    if (st.eobRun > 0) {
        skipBits(reader, bitCount(nonzero & band(k, st.se)));
        --st.eobRun;
    }
    nonzeroHeld = nonzero;
    return true;
}

} // namespace

template <typename ReadBlock>
bool ProgressiveJpegReader::walkBlocks(const Scan &scan, const uchar *&at, const uchar *end,
                                       ReadBlock readBlock)
{
    JpegDcFrame &f = m_frame;
    ScanState st;
    st.ss = scan.ss;
    st.se = scan.se;
    st.al = scan.al;
    const bool dcBand = scan.ss == 0;
    for (int i = 0; i < scan.count; ++i) {
        const int t = dcBand ? kDc + scan.dcTable[i] : kAc + scan.acTable[i];
        st.table[i] = t < int(m_tables.size()) ? &m_tables[std::size_t(t)].huffman : nullptr;
    }
    std::array<JpegDcFrame::Component *, 4> components{};
    for (int i = 0; i < scan.count; ++i)
        components[std::size_t(i)] = &f.components[std::size_t(scan.component[i])];
    const bool single = scan.count == 1;
    const int mcuRows = single ? components[0]->blocksHigh : f.mcusHigh;
    const int mcusPerRow = single ? components[0]->blocksWide : f.mcusWide;
    int restartsToGo = m_restartInterval;
    int nextRestart = 0;
    JpegBitReader reader(at, end);
    for (int my = 0; my < mcuRows; ++my) {
        for (int mx = 0; mx < mcusPerRow; ++mx) {
            if (m_restartInterval) {
                if (restartsToGo == 0) {
                    reader.dropBits();
                    const uchar *marker = reader.position();
                    if (reader.starved() || nextMarker(marker, end) != 0xD0 + nextRestart)
                        return undecided(QStringLiteral("the data is damaged before a restart"));
                    nextRestart = (nextRestart + 1) & 7;
                    reader = JpegBitReader(marker, end);
                    st.lastDc.fill(0);
                    st.eobRun = 0;
                    restartsToGo = m_restartInterval;
                }
                --restartsToGo;
            }
            for (int i = 0; i < scan.count; ++i) {
                JpegDcFrame::Component &c = *components[std::size_t(i)];
                const int h = single ? 1 : c.h;
                const int v = single ? 1 : c.v;
                for (int y = 0; y < v; ++y) {
                    const std::size_t row = std::size_t(my * v + y) * std::size_t(c.gridWide);
                    for (int x = 0; x < h; ++x) {
                        const std::size_t b = row + std::size_t(mx * h + x);
                        if (!readBlock(reader, st, i, c.dc[b], c.nonzero[b]))
                            return undecided(QStringLiteral("a code libjpeg calls damaged"));
                    }
                }
            }
        }
        if (reader.starved())
            return undecided(QStringLiteral("the data ends inside a scan"));
    }
    at = reader.position();
    return true;
}

bool ProgressiveJpegReader::decodeScan(const Scan &scan, const uchar *&at, const uchar *end)
{
    // One walk per kind of scan, each with its block reader inlined.
    if (scan.ss == 0 && scan.ah == 0)
        return walkBlocks(scan, at, end, [](auto &...a) { return dcFirst(a...); });
    if (scan.ss == 0)
        return walkBlocks(scan, at, end, [](auto &...a) { return dcRefine(a...); });
    if (scan.ah == 0)
        return walkBlocks(scan, at, end, [](auto &...a) { return acFirst(a...); });
    return walkBlocks(scan, at, end, [](auto &...a) { return acRefine(a...); });
}

} // namespace picture
