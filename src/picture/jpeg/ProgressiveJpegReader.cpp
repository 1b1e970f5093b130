#include "ProgressiveJpegReader.h"

#include "ProgressiveScanDecoder.h"

#include <new>

namespace picture {

// A scan as its header names it: the tables by their numbers.
struct ProgressiveJpegReader::Scan : JpegScan {
    std::array<int, 4> dcTable{};
    std::array<int, 4> acTable{};
};

namespace {

constexpr int kDc = 0;
constexpr int kAc = 4;
// As libjpeg allows: a file can ask for any number of scans, each a pass over the
// whole picture; real ones use about ten.
constexpr std::size_t kMaxScans = 500;

// Where the next marker other than a restart starts: the end of a scan's data.
const uchar *afterScanData(const uchar *at, const uchar *end)
{
    for (;;) {
        const uchar *marker = at;
        const int code = nextJpegMarker(at, end);
        if (code < 0)
            return end;
        if (code < 0xD0 || code > 0xD7) {
            // Back to the 0xFF that opens it.
            at -= 2;
            while (at > marker && at[-1] == 0xFF)
                --at;
            return at;
        }
    }
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
    m_tables = {};
    m_scans.clear();
    m_restartInterval = 0;
    m_sawFrame = false;
    m_sequential = false;
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
        const int marker = nextJpegMarker(at, end);
        // libjpeg refuses a file without a scan. It supplies the end of data itself:
        // then only a missing scan is damage. A closing marker may end a progression
        // early, but each component of a sequential file must have had its scan.
        if (marker < 0 || marker == 0xD9) {
            if (!scanned)
                return undecided(QStringLiteral("no scan"));
            if ((marker < 0 || m_sequential) && !progressionComplete())
                return undecided(QStringLiteral("the data ends before the last scans"));
            return decodeScans();
        }
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
            if (!m_sawFrame)
                return undecided(QStringLiteral("a scan before the frame"));
            if (!readScanHeader(segment, scan) ||
                !(m_sequential ? checkSequential(scan) : checkProgression(scan)))
                return false;
            if (m_scans.size() == kMaxScans)
                return undecided(QStringLiteral("too many scans"));
            at += length;
            scan.restartInterval = m_restartInterval;
            scan.data = at;
            scan.end = end;
            at = afterScanData(at, end);
            scan.length = at - scan.data;
            m_scans.push_back(scan);
            scanned = true;
            continue;
        }
        bool ok = true;
        if (marker >= 0xC0 && marker <= 0xC2 && !m_sawFrame) {
            m_sequential = marker != 0xC2;
            ok = readFrame(segment);
        } else if (marker == 0xC4)
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
        if (!m_sequential) // one scan reads every AC coefficient of a sequential one
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
        auto table = std::make_shared<JpegHuffmanTable>();
        const bool valid = table->build(counts, s.data() + at, total, dc);
        const int slot = (dc ? kDc : kAc) + (index & 3);
        m_tables[std::size_t(slot)] = valid ? std::move(table) : nullptr;
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

bool ProgressiveJpegReader::checkProgression(Scan &scan)
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
        const int number = dcBand ? scan.dcTable[i] : scan.acTable[i];
        if (needsTable) {
            const int slot = (dcBand ? kDc : kAc) + number;
            if (number > 3 || !m_tables[std::size_t(slot)])
                return undecided(QStringLiteral("a scan uses a missing Huffman table"));
            scan.tables[i] = m_tables[std::size_t(slot)];
        }
    }
    return true;
}

bool ProgressiveJpegReader::checkSequential(Scan &scan)
{
    if (scan.ss != 0 || scan.se != 63 || scan.ah != 0 || scan.al != 0)
        return undecided(QStringLiteral("scan parameters libjpeg refuses"));
    scan.sequential = true;
    for (int i = 0; i < scan.count; ++i) {
        JpegDcFrame::Component &c = m_frame.components[std::size_t(scan.component[i])];
        if (c.coefBits[0] >= 0)
            return undecided(QStringLiteral("a component in two scans"));
        c.coefBits.fill(0);
        if (!m_quantDefined[c.table])
            return undecided(QStringLiteral("no quantisation table"));
        c.quant = m_quant[c.table];
        c.quantLatched = true;
        const int dc = kDc + scan.dcTable[i];
        const int ac = kAc + scan.acTable[i];
        if (dc > kDc + 3 || ac > kAc + 3 || !m_tables[std::size_t(dc)] ||
            !m_tables[std::size_t(ac)])
            return undecided(QStringLiteral("a scan uses a missing Huffman table"));
        scan.tables[i] = m_tables[std::size_t(dc)];
        scan.acTables[i] = m_tables[std::size_t(ac)];
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

bool ProgressiveJpegReader::decodeScans()
{
    QString why;
    return ProgressiveScanDecoder::decode(m_frame, m_scans, why) || undecided(why);
}

} // namespace picture
