#include "SequentialBlockReader.h"

#include <limits>

namespace picture::sequential {
namespace {

constexpr int kLookBits = JpegHuffmanTable::kLookBits;
constexpr std::size_t kLookSize = std::size_t(1) << kLookBits;

// An AC code unpacked: the bits it and its value take (bits 0-7), the coefficient
// positions it passes (8-15), whether it ends the block, whether to read it the long
// way (longer than the look or missing from the table).
constexpr quint32 kEndOfBlock = 0x10000;
constexpr quint32 kLongCode = 0x20000;

// The codes that fit whole, each with its value, in the next kRunBits bits, up to and
// including an end of block: the bits they take (bits 0-3), the positions they pass
// (4-11) and whether they end the block (12). Zero when not even the first one fits.
constexpr int kRunBits = 13;
constexpr std::size_t kRunSize = std::size_t(1) << kRunBits;
constexpr quint16 kRunEnds = 0x1000;

// As libjpeg reads a sequential AC code: a value of size s after r zeros, sixteen
// zeros, or (any other size 0) the end of the block.
constexpr quint32 skipEntry(int length, int r, int s)
{
    if (s)
        return quint32(length + s) | quint32(r + 1) << 8;
    return r == 15 ? quint32(length) | 16u << 8 : quint32(length) | kEndOfBlock;
}

quint16 runEntry(const quint32 *skips, quint32 window)
{
    int used = 0;
    int passed = 0;
    while (used < kRunBits) {
        // Bits past the window read as zeros: they decide nothing about a code that
        // ends inside it.
        const quint32 ahead = (window << used) & (kRunSize - 1);
        const quint32 code = skips[kRunBits >= kLookBits ? ahead >> (kRunBits - kLookBits)
                                                         : ahead << (kLookBits - kRunBits)];
        if ((code & kLongCode) || used + int(code & 0xFF) > kRunBits)
            break;
        used += int(code & 0xFF);
        if (code & kEndOfBlock)
            return quint16(used | passed << 4 | kRunEnds);
        passed += int((code >> 8) & 0xFF);
    }
    return quint16(used | passed << 4);
}

void makeTables(ScanState &st)
{
    st.skips.assign(4 * kLookSize, kLongCode);
    st.codeRuns.assign(4 * kRunSize, 0);
    for (std::size_t i = 0; i < 4 && st.acTable[i]; ++i) {
        quint32 *skips = st.skips.data() + i * kLookSize;
        for (quint32 bits = 0; bits < kLookSize; ++bits) {
            const quint16 entry = st.acTable[i]->look(bits);
            if (entry >> 8)
                skips[bits] = skipEntry(entry >> 8, (entry >> 4) & 15, entry & 15);
        }
        quint16 *runs = st.codeRuns.data() + i * kRunSize;
        for (quint32 window = 0; window < kRunSize; ++window)
            runs[window] = runEntry(skips, window);
    }
}

// The tables one component's blocks are read by.
struct ComponentTables {
    const JpegHuffmanTable *dc;
    const JpegHuffmanTable *ac;
    const quint32 *skips;
    const quint16 *runs;
};

ComponentTables tablesOf(ScanState &st, int i)
{
    if (st.skips.empty())
        makeTables(st);
    const std::size_t at = std::size_t(i);
    return {st.table[at], st.acTable[at], st.skips.data() + at * kLookSize,
            st.codeRuns.data() + at * kRunSize};
}

// One block: its DC difference added to last, its AC codes passed.
[[gnu::always_inline]] inline bool readBlock(JpegBitReader &bits, const ComponentTables &t,
                                             qint64 &last, qint16 &dc)
{
    // The DC code and the bits of its difference, at most 31, in one look.
    const quint32 head = bits.peek(32);
    quint32 found = t.dc->look(head >> (32 - kLookBits));
    if (!(found >> 8)) {
        found = t.dc->decodeLong(head >> 16);
        if (!found)
            return false;
    }
    const int length = int(found >> 8);
    const int size = int(found & 15);
    if (size) {
        const quint32 raw = (head << length) >> (32 - size);
        last +=
            raw < (quint32(1) << (size - 1)) ? qint64(raw) - (qint64(1) << size) + 1 : qint64(raw);
        if (last > std::numeric_limits<int>::max() || last < std::numeric_limits<int>::min())
            return false;
    }
    bits.skip(length + size);
    dc = qint16(last);
    for (int k = 1; k < 64;) {
        const quint32 next = bits.peek(32);
        // Several codes at once, while they stay well inside the block.
        const quint16 run = t.runs[next >> (32 - kRunBits)];
        if ((run & 15) && k + (run >> 4 & 0xFF) < 64) {
            bits.skip(run & 15);
            if (run & kRunEnds)
                return true;
            k += run >> 4 & 0xFF;
            continue;
        }
        // One code and its value, at most 31 bits.
        quint32 code = t.skips[next >> (32 - kLookBits)];
        if (code & kLongCode) {
            const quint32 longer = t.ac->decodeLong(next >> 16);
            if (!longer)
                return false;
            code = skipEntry(int(longer >> 8), (longer >> 4) & 15, longer & 15);
        }
        bits.skip(int(code & 0xFF));
        if (code & kEndOfBlock)
            return true;
        k += int((code >> 8) & 0xFF);
        // libjpeg would put a value past the last coefficient into the last one.
        if (k > 64)
            return false;
    }
    return true;
}

} // namespace

bool blocks(JpegBitReader &reader, ScanState &st, int i, qint16 *dc, quint64 *, int count)
{
    const ComponentTables tables = tablesOf(st, i);
    qint64 last = st.lastDc[std::size_t(i)];
    // A copy the compiler can keep in registers.
    JpegBitReader bits = reader;
    for (int b = 0; b < count; ++b) {
        if (!readBlock(bits, tables, last, dc[b]))
            return false;
    }
    st.lastDc[std::size_t(i)] = last;
    reader = bits;
    return true;
}

bool mcus(JpegBitReader &reader, ScanState &st, const McuLayout &layout, int count)
{
    std::array<ComponentTables, 10> tables;
    for (int j = 0; j < layout.count; ++j)
        tables[std::size_t(j)] = tablesOf(st, layout.component[std::size_t(j)]);
    std::array<qint64, 4> last = st.lastDc;
    JpegBitReader bits = reader;
    for (int m = 0; m < count; ++m) {
        for (std::size_t j = 0; j < std::size_t(layout.count); ++j) {
            qint16 &dc = layout.dc[j][std::ptrdiff_t(m) * layout.step[j]];
            if (!readBlock(bits, tables[j], last[std::size_t(layout.component[j])], dc))
                return false;
        }
    }
    st.lastDc = last;
    reader = bits;
    return true;
}

} // namespace picture::sequential
