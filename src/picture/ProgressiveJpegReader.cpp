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

bool ProgressiveJpegReader::decodeScan(Scan &scan, const uchar *&at, const uchar *end)
{
    JpegDcFrame &f = m_frame;
    const bool dcBand = scan.ss == 0;
    const bool refine = scan.ah != 0;
    const int al = scan.al;
    std::array<qint64, 4> lastDc{};
    std::array<const JpegHuffmanTable *, 4> tables{};
    for (int i = 0; i < scan.count; ++i) {
        const int t = dcBand ? kDc + scan.dcTable[i] : kAc + scan.acTable[i];
        tables[i] = t < int(m_tables.size()) ? &m_tables[std::size_t(t)].huffman : nullptr;
    }
    quint32 eobRun = 0;
    const JpegDcFrame::Component &first = f.components[std::size_t(scan.component[0])];
    const bool single = scan.count == 1;
    const qint64 mcus =
        single ? qint64(first.blocksWide) * first.blocksHigh : qint64(f.mcusWide) * f.mcusHigh;
    const int mcusPerRow = single ? first.blocksWide : f.mcusWide;
    int restartsToGo = m_restartInterval;
    int nextRestart = 0;
    JpegBitReader reader(at, end);

    // One block of the scan; false when the data is not what libjpeg reads cleanly.
    auto block = [&](int i, qint16 &dc, quint64 &nonzero) -> bool {
        const JpegHuffmanTable *table = tables[i]; // checked by checkProgression where used
        if (dcBand && !refine) {
            const int size = reader.decode(*table);
            if (size < 0)
                return false;
            const int diff = size ? extend(reader.bits(size), size) : 0;
            lastDc[i] += diff;
            if (lastDc[i] > std::numeric_limits<int>::max() ||
                lastDc[i] < std::numeric_limits<int>::min())
                return false;
            dc = qint16(quint32(lastDc[i]) << al);
        } else if (dcBand) {
            if (reader.bits(1))
                dc = qint16(dc | (1 << al));
        } else if (!refine) {
            if (eobRun > 0) {
                --eobRun;
                return true;
            }
            for (int k = scan.ss; k <= scan.se; ++k) {
                const int rs = reader.decode(*table);
                if (rs < 0)
                    return false;
                const int r = rs >> 4;
                const int s = rs & 15;
                if (s) {
                    k += r;
                    const int value = extend(reader.bits(s), s);
                    if (qint16(quint32(value) << al) == 0)
                        return false;
                    nonzero |= quint64(1) << qMin(k, 63);
                } else if (r == 15) {
                    k += 15;
                } else {
                    eobRun = (quint32(1) << r) + reader.bits(r) - 1;
                    break;
                }
            }
        } else {
            int k = scan.ss;
            if (eobRun == 0) {
                for (; k <= scan.se; ++k) {
                    const int rs = reader.decode(*table);
                    if (rs < 0)
                        return false;
                    int r = rs >> 4;
                    const int s = rs & 15;
                    if (s) {
                        if (s != 1)
                            return false;
                        reader.skip(1);
                    } else if (r != 15) {
                        eobRun = (quint32(1) << r) + reader.bits(r);
                        break;
                    }
                    // Past the coefficients already set (each with a correction bit)
                    // and r zero ones.
                    do {
                        if (nonzero & (quint64(1) << k))
                            reader.skip(1);
                        else if (--r < 0)
                            break;
                        ++k;
                    } while (k <= scan.se);
                    if (s)
                        nonzero |= quint64(1) << qMin(k, 63);
                }
            }
            if (eobRun > 0) {
                skipBits(reader, std::popcount(nonzero & band(k, scan.se)));
                --eobRun;
            }
        }
        return true;
    };

    for (qint64 mcu = 0; mcu < mcus; ++mcu) {
        if (m_restartInterval) {
            if (restartsToGo == 0) {
                reader.dropBits();
                const uchar *marker = reader.position();
                if (reader.starved() || nextMarker(marker, end) != 0xD0 + nextRestart)
                    return undecided(QStringLiteral("the data is damaged before a restart"));
                nextRestart = (nextRestart + 1) & 7;
                reader = JpegBitReader(marker, end);
                lastDc.fill(0);
                eobRun = 0;
                restartsToGo = m_restartInterval;
            }
            --restartsToGo;
        }
        const int mx = int(mcu % mcusPerRow);
        const int my = int(mcu / mcusPerRow);
        for (int i = 0; i < scan.count; ++i) {
            JpegDcFrame::Component &c = f.components[std::size_t(scan.component[i])];
            const int h = single ? 1 : c.h;
            const int v = single ? 1 : c.v;
            for (int y = 0; y < v; ++y) {
                for (int x = 0; x < h; ++x) {
                    const std::size_t b =
                        std::size_t(my * v + y) * std::size_t(c.gridWide) + std::size_t(mx * h + x);
                    if (!block(i, c.dc[b], c.nonzero[b]))
                        return undecided(QStringLiteral("a code libjpeg calls damaged"));
                }
            }
        }
        if (reader.starved())
            return undecided(QStringLiteral("the data ends inside a scan"));
    }
    at = reader.position();
    return true;
}

} // namespace picture
