#include "ProgressiveScanDecoder.h"

#include "ProgressiveBlockReader.h"
#include "ProgressiveJpegReader.h"
#include "SequentialBlockReader.h"

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

constexpr int kAllRows = INT_MAX;

// The scans in flight: which scan each thread takes next, how far each has come, and
// whether one has failed, which stops the others.
class Pipeline {
public:
    Pipeline(JpegDcFrame &frame, const std::vector<JpegScan> &scans)
        : m_frame(frame), m_scans(scans), m_rowsDone(scans.size()), m_taken(scans.size())
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
        for (std::size_t j = take(); j < m_scans.size() && !m_failed; j = take()) {
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
    // The scan to read next, or none: of those whose earlier scans of the same
    // coefficients are all taken, the longest. It ends last, and the other thread reads
    // the short ones meanwhile. The first scan not taken is always one of them.
    std::size_t take()
    {
        const std::lock_guard<std::mutex> lock(m_takeLock);
        std::size_t best = m_scans.size();
        for (std::size_t j = 0; j < m_scans.size(); ++j) {
            if (m_taken[j])
                continue;
            bool ready = true;
            for (std::size_t i : m_dependsOn[j])
                ready = ready && m_taken[i];
            if (ready && (best == m_scans.size() || m_scans[j].length > m_scans[best].length))
                best = j;
        }
        if (best < m_scans.size())
            m_taken[best] = true;
        return best;
    }

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
        if (scan.sequential)
            return walk(j, sequential::blocks);
        if (scan.ss == 0 && scan.ah == 0)
            return walk(j, progressive::dcFirst);
        if (scan.ss == 0)
            return walk(j, progressive::dcRefine);
        if (scan.ah == 0)
            return walk(j, progressive::acFirst);
        return walk(j, progressive::acRefine);
    }

    using ReadBlocks = bool (*)(JpegBitReader &, ScanState &, int, qint16 *, quint64 *, int);

    // A sequential frame keeps no masks.
    static quint64 *masks(JpegDcFrame::Component &c, std::size_t b)
    {
        return c.nonzero.empty() ? nullptr : &c.nonzero[b];
    }

    // Run MCUs of row my from column mx on. A scan of one component has a block for an
    // MCU, and a row of them lies side by side; an interleaved one reads one MCU here.
    static bool readMcus(JpegBitReader &reader, ScanState &st,
                         const std::array<JpegDcFrame::Component *, 4> &components, bool single,
                         int my, int mx, int run, ReadBlocks readBlocks)
    {
        if (single) {
            JpegDcFrame::Component &c = *components[0];
            const std::size_t b = std::size_t(my) * std::size_t(c.gridWide) + std::size_t(mx);
            return readBlocks(reader, st, 0, &c.dc[b], masks(c, b), run);
        }
        for (int i = 0; i < 4 && components[std::size_t(i)]; ++i) {
            JpegDcFrame::Component &c = *components[std::size_t(i)];
            for (int y = 0; y < c.v; ++y) {
                const std::size_t row = std::size_t(my * c.v + y) * std::size_t(c.gridWide);
                const std::size_t b = row + std::size_t(mx * c.h);
                if (!readBlocks(reader, st, i, &c.dc[b], masks(c, b), c.h))
                    return false;
            }
        }
        return true;
    }

    // Run MCUs of an interleaved sequential scan from column mx of row my on.
    static bool readSequentialMcus(JpegBitReader &reader, ScanState &st,
                                   const std::array<JpegDcFrame::Component *, 4> &components,
                                   int my, int mx, int run)
    {
        sequential::McuLayout layout;
        for (int i = 0; i < 4 && components[std::size_t(i)]; ++i) {
            JpegDcFrame::Component &c = *components[std::size_t(i)];
            for (int y = 0; y < c.v; ++y) {
                const std::size_t row = std::size_t(my * c.v + y) * std::size_t(c.gridWide);
                for (int x = 0; x < c.h; ++x) {
                    const std::size_t at = std::size_t(layout.count++);
                    layout.component[at] = i;
                    layout.dc[at] = &c.dc[row + std::size_t(mx * c.h + x)];
                    layout.step[at] = c.h;
                }
            }
        }
        return sequential::mcus(reader, st, layout, run);
    }

    bool walk(std::size_t j, ReadBlocks readBlocks)
    {
        const JpegScan &scan = m_scans[j];
        JpegDcFrame &f = m_frame;
        ScanState st;
        st.ss = scan.ss;
        st.se = scan.se;
        st.al = scan.al;
        st.band = progressive::band(scan.ss, scan.se);
        std::array<JpegDcFrame::Component *, 4> components{};
        for (int i = 0; i < scan.count; ++i) {
            st.table[std::size_t(i)] = scan.tables[std::size_t(i)].get();
            st.acTable[std::size_t(i)] = scan.acTables[std::size_t(i)].get();
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
            for (int mx = 0; mx < mcusPerRow;) {
                // The MCUs up to the next restart, or to the end of the row.
                int run = mcusPerRow - mx;
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
                    run = qMin(run, restartsToGo);
                }
                if (!single && !scan.sequential)
                    run = 1;
                if (scan.restartInterval)
                    restartsToGo -= run;
                const bool read =
                    !single && scan.sequential
                        ? readSequentialMcus(reader, st, components, my, mx, run)
                        : readMcus(reader, st, components, single, my, mx, run, readBlocks);
                if (!read)
                    return undecided(QStringLiteral("a code libjpeg calls damaged"));
                mx += run;
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
    std::mutex m_takeLock;
    std::vector<bool> m_taken; // scans a thread has begun
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
