#include "ProgressiveScanDecoder.h"

#include "ProgressiveJpegReader.h"

#include <atomic>
#include <bit>
#include <climits>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

namespace picture {

int nextJpegMarker(const uchar *&at, const uchar *end)
{
    for (;;) {
        const void *found = at < end ? std::memchr(at, 0xFF, std::size_t(end - at)) : nullptr;
        at = found ? static_cast<const uchar *>(found) : end;
        while (at < end && *at == 0xFF)
            ++at;
        if (at >= end)
            return -1;
        const int code = *at++;
        if (code != 0)
            return code;
    }
}

namespace {

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

// One instruction where the processor has it (see acRefine).
inline int bitCount(quint64 x)
{
    return std::popcount(x);
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
    if (n == 0) // the common case: the very next zero one
        return x ? std::countr_zero(x) : 64;
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

// Up to 64 bits; the reader holds at least 57 between markers.
void skipBits(JpegBitReader &reader, int count)
{
    if (count > 32) {
        reader.skip(32);
        count -= 32;
    }
    reader.skip(count);
}

// What runs on from block to block within a scan, and starts again at a restart.
struct ScanState {
    std::array<qint64, 4> lastDc{};
    quint32 eobRun = 0;
    std::array<const JpegHuffmanTable *, 4> table{};
    int ss = 0;
    int se = 0;
    int al = 0;
    quint64 band = 0; // the scan's coefficients, as a mask
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

// The refinement scans hold most of a photo's data and count set bits at every
// symbol: made twice, and the copy for processors with POPCNT is taken where it runs.
#if defined(__x86_64__) && defined(__ELF__) && !defined(__SANITIZE_ADDRESS__)
__attribute__((target_clones("default", "popcnt")))
#endif
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
            } else if (r != 15) {
                st.eobRun = (quint32(1) << r) + reader.bits(r);
                break;
            }
            // The new coefficient's sign, then a correction bit for each coefficient
            // already set on the way to the zero one after r others (or to the end).
            const quint64 ahead = st.band & (~quint64(0) << k);
            const int stop = qMin(selectBit(~nonzero & ahead, r), st.se + 1);
            const quint64 before = stop >= 64 ? ~quint64(0) : (quint64(1) << stop) - 1;
            skipBits(reader, s + bitCount(nonzero & ahead & before));
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

constexpr int kAllRows = INT_MAX;

// The scans in flight: which scan each thread takes next, how far each has come, and
// whether one has failed, which stops the others.
class Pipeline {
public:
    Pipeline(JpegDcFrame &frame, const std::vector<JpegScan> &scans)
        : m_frame(frame), m_scans(scans), m_rowsDone(scans.size())
    {
        for (std::size_t j = 0; j < scans.size(); ++j) {
            std::vector<std::size_t> earlier;
            for (std::size_t i = 0; i < j; ++i) {
                if (touchSameCoefficients(scans[i], scans[j]))
                    earlier.push_back(i);
            }
            m_dependsOn.push_back(std::move(earlier));
        }
    }

    void run()
    {
        for (std::size_t j = m_next++; j < m_scans.size() && !m_failed; j = m_next++) {
            bool ok = false;
            try {
                ok = readScan(j);
            } catch (const std::bad_alloc &) {
                // Only the reason could not be kept; the file goes to libjpeg.
            }
            if (!ok)
                m_failed = true;
            advance(j, kAllRows);
        }
    }

    [[nodiscard]] bool failed() const { return m_failed; }
    [[nodiscard]] QString why() const
    {
        const std::lock_guard<std::mutex> lock(m_whyLock);
        return m_why;
    }

private:
    // DC scans keep the DC coefficients, AC scans the masks of non-zero ones (one word
    // per block for all bands): two scans meet only on one kind in one component.
    static bool touchSameCoefficients(const JpegScan &a, const JpegScan &b)
    {
        if ((a.ss == 0) != (b.ss == 0))
            return false;
        for (int i = 0; i < a.count; ++i) {
            for (int k = 0; k < b.count; ++k) {
                if (a.component[std::size_t(i)] == b.component[std::size_t(k)])
                    return true;
            }
        }
        return false;
    }

    // Scan j has read that many MCU rows: whoever waits on it looks again.
    void advance(std::size_t j, int rows)
    {
        m_rowsDone[j].store(rows, std::memory_order_release);
        m_progress.fetch_add(1, std::memory_order_release);
        m_progress.notify_all();
    }

    bool undecided(const QString &why)
    {
        const std::lock_guard<std::mutex> lock(m_whyLock);
        if (m_why.isEmpty())
            m_why = why;
        return false;
    }

    // The rows of component c's blocks that scan i has read.
    int rowsRead(std::size_t i, int c) const
    {
        const int rows = m_rowsDone[i].load(std::memory_order_acquire);
        if (rows == kAllRows || m_scans[i].count == 1)
            return rows;
        return rows * m_frame.components[std::size_t(c)].v;
    }

    // Waits until every earlier scan of scan j's components is past MCU row my.
    bool waitForRow(std::size_t j, int my)
    {
        if (m_failed)
            return false;
        const JpegScan &scan = m_scans[j];
        for (std::size_t i : m_dependsOn[j]) {
            for (int k = 0; k < scan.count; ++k) {
                const int c = scan.component[std::size_t(k)];
                const int needed =
                    scan.count == 1 ? my + 1 : (my + 1) * m_frame.components[std::size_t(c)].v;
                for (;;) {
                    const int seen = m_progress.load(std::memory_order_acquire);
                    if (m_failed)
                        return false;
                    if (rowsRead(i, c) >= needed)
                        break;
                    m_progress.wait(seen, std::memory_order_acquire);
                }
            }
        }
        return true;
    }

    bool readScan(std::size_t j)
    {
        const JpegScan &scan = m_scans[j];
        if (scan.ss == 0 && scan.ah == 0)
            return walk(j, [](auto &...a) { return dcFirst(a...); });
        if (scan.ss == 0)
            return walk(j, [](auto &...a) { return dcRefine(a...); });
        if (scan.ah == 0)
            return walk(j, [](auto &...a) { return acFirst(a...); });
        return walk(j, [](auto &...a) { return acRefine(a...); });
    }

    template <typename ReadBlock> bool walk(std::size_t j, ReadBlock readBlock)
    {
        const JpegScan &scan = m_scans[j];
        JpegDcFrame &f = m_frame;
        ScanState st;
        st.ss = scan.ss;
        st.se = scan.se;
        st.al = scan.al;
        st.band = band(scan.ss, scan.se);
        std::array<JpegDcFrame::Component *, 4> components{};
        for (int i = 0; i < scan.count; ++i) {
            st.table[std::size_t(i)] = scan.tables[std::size_t(i)].get();
            components[std::size_t(i)] = &f.components[std::size_t(scan.component[std::size_t(i)])];
        }
        const bool single = scan.count == 1;
        const int mcuRows = single ? components[0]->blocksHigh : f.mcusHigh;
        const int mcusPerRow = single ? components[0]->blocksWide : f.mcusWide;
        int restartsToGo = scan.restartInterval;
        int nextRestart = 0;
        JpegBitReader reader(scan.data, scan.end);
        for (int my = 0; my < mcuRows; ++my) {
            if (!waitForRow(j, my))
                return false;
            for (int mx = 0; mx < mcusPerRow; ++mx) {
                if (scan.restartInterval) {
                    if (restartsToGo == 0) {
                        reader.dropBits();
                        const uchar *marker = reader.position();
                        if (reader.starved() ||
                            nextJpegMarker(marker, scan.end) != 0xD0 + nextRestart)
                            return undecided(
                                QStringLiteral("the data is damaged before a restart"));
                        nextRestart = (nextRestart + 1) & 7;
                        reader = JpegBitReader(marker, scan.end);
                        st.lastDc.fill(0);
                        st.eobRun = 0;
                        restartsToGo = scan.restartInterval;
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
            advance(j, my + 1);
        }
        return true;
    }

    JpegDcFrame &m_frame;
    const std::vector<JpegScan> &m_scans;
    std::vector<std::atomic<int>> m_rowsDone; // MCU rows each scan has read
    std::vector<std::vector<std::size_t>> m_dependsOn;
    std::atomic<int> m_progress = 0; // changes whenever a scan reads a row or fails
    std::atomic<std::size_t> m_next = 0;
    std::atomic<bool> m_failed = false;
    mutable std::mutex m_whyLock;
    QString m_why;
};

} // namespace

bool ProgressiveScanDecoder::decode(JpegDcFrame &frame, const std::vector<JpegScan> &scans,
                                    QString &why)
{
    Pipeline pipeline(frame, scans);
    std::thread helper;
    if (scans.size() > 1 && std::thread::hardware_concurrency() > 1) {
        try {
            helper = std::thread([&pipeline] { pipeline.run(); });
        } catch (const std::system_error &) {
            // One thread does it all.
        }
    }
    pipeline.run();
    if (helper.joinable())
        helper.join();
    if (pipeline.failed())
        why = pipeline.why();
    return !pipeline.failed();
}

} // namespace picture
