#include "ProgressiveBlockReader.h"

#include "BitSelect.h"

#include <bit>
#include <limits>

namespace picture::progressive {
namespace {

int extend(quint32 bits, int size)
{
    return bits < (quint32(1) << (size - 1)) ? int(bits) - (1 << size) + 1 : int(bits);
}

template <bool kPdep> inline int selectBit(quint64 x, int n, quint64 nthBit)
{
#ifdef QUORVEL_HAVE_PDEP
    if constexpr (kPdep)
        return selectBitPdep(x, nthBit);
#endif
    Q_UNUSED(nthBit);
    return selectBitPortable(x, n);
}

// The Huffman code at the head of the next 16 bits: its length and symbol, or 0.
inline quint32 lookUp(const JpegHuffmanTable &table, quint32 next16)
{
    const quint32 entry = table.look(next16 >> (16 - JpegHuffmanTable::kLookBits));
    return (entry >> 8) ? entry : table.decodeLong(next16);
}

// An AC code as the scans read it, unpacked: the bits the code and the value or
// sign after it take, whether it sets a coefficient, the run r and 1 << r.
constexpr quint32 kUncommonCode = 0x800;

constexpr quint32 scanCode(int length, int r, int s)
{
    return quint32(length + s) | (s ? 0x100u : 0u) | quint32(r << 12) | (quint32(1) << (16 + r));
}

// The common codes of an AC scan for every value of the next kLookBits bits. An end
// of bands, a code that is longer, that libjpeg refuses or (in a first scan) whose
// value may not survive the point transform is uncommon: it is read the long way.
void makeCodes(ScanState &st, bool refinement)
{
    const JpegHuffmanTable &table = *st.table[0];
    for (quint32 bits = 0; bits < st.codes.size(); ++bits) {
        const quint16 entry = table.look(bits);
        const int r = (entry >> 4) & 15;
        const int s = entry & 15;
        const bool zeroRun = s == 0 && r == 15;
        const bool common =
            (entry >> 8) && (zeroRun || (refinement ? s == 1 : s > 0 && s + st.al <= 15));
        st.codes[bits] = common ? scanCode(entry >> 8, r, s) : kUncommonCode;
    }
    st.codesMade = true;
}

} // namespace

bool dcFirst(JpegBitReader &reader, ScanState &st, int i, qint16 *dc, quint64 *, int count)
{
    for (int b = 0; b < count; ++b) {
        const int size = reader.decode(*st.table[std::size_t(i)]);
        if (size < 0)
            return false;
        qint64 &last = st.lastDc[std::size_t(i)];
        last += size ? extend(reader.bits(size), size) : 0;
        if (last > std::numeric_limits<int>::max() || last < std::numeric_limits<int>::min())
            return false;
        dc[b] = qint16(quint32(last) << st.al);
    }
    return true;
}

bool dcRefine(JpegBitReader &reader, ScanState &st, int, qint16 *dc, quint64 *, int count)
{
    for (int b = 0; b < count; ++b) {
        if (reader.bits(1))
            dc[b] = qint16(dc[b] | (1 << st.al));
    }
    return true;
}

bool acFirst(JpegBitReader &reader, ScanState &st, int, qint16 *, quint64 *nonzero, int count)
{
    if (!st.codesMade)
        makeCodes(st, false);
    const JpegHuffmanTable &table = *st.table[0];
    const quint32 *codes = st.codes.data();
    const int ss = st.ss;
    const int se = st.se;
    const int al = st.al;
    quint32 eobRun = st.eobRun;
    JpegBitReader bits = reader;
    for (int b = 0; b < count; ++b) {
        if (eobRun > 0) {
            --eobRun;
            continue;
        }
        quint64 mask = nonzero[b];
        for (int k = ss; k <= se; ++k) {
            // A code and the bits of its value, at most 31, in one look.
            const quint32 next = bits.peek(32);
            const quint32 code = codes[next >> (32 - JpegHuffmanTable::kLookBits)];
            if (!(code & kUncommonCode)) {
                // The value of a common code is never zero after the point transform.
                k += (code >> 12) & 15;
                mask |= quint64((code >> 8) & 1) << qMin(k, 63);
                bits.skipMany(int(code & 0xFF));
                continue;
            }
            const quint32 found = lookUp(table, next >> 16);
            if (!found)
                return false;
            const int length = int(found >> 8);
            const int r = (found >> 4) & 15;
            const int s = found & 15;
            if (s) {
                k += r;
                const quint32 raw = (next << length) >> (32 - s);
                const int value = extend(raw, s);
                if (qint16(quint32(value) << al) == 0)
                    return false;
                bits.skipMany(length + s);
                mask |= quint64(1) << qMin(k, 63);
            } else if (r == 15) {
                bits.skipMany(length);
                k += 15;
            } else {
                bits.skipMany(length);
                eobRun = (quint32(1) << r) + bits.bits(r) - 1;
                break;
            }
        }
        nonzero[b] = mask;
    }
    st.eobRun = eobRun;
    reader = bits;
    return true;
}

namespace {

// The refinement scans hold most of a photo's data: the position of each new
// coefficient and the correction bits up to it cost a few instructions per code.
template <bool kPdep>
[[gnu::always_inline]] inline bool refineBlocks(JpegBitReader &reader, ScanState &st,
                                                quint64 *nonzero, int count)
{
    if (!st.codesMade)
        makeCodes(st, true);
    const JpegHuffmanTable &table = *st.table[0];
    // Copies the compiler can keep in registers.
    const quint32 *codes = st.codes.data();
    const int ss = st.ss;
    const int se = st.se;
    const quint64 scanBand = st.band;
    quint32 eobRun = st.eobRun;
    JpegBitReader bits = reader;
    for (int b = 0; b < count; ++b) {
        quint64 mask = nonzero[b];
        int k = ss;
        if (eobRun == 0) {
            while (k <= se) {
                const quint32 next = bits.peek(16);
                quint32 code = codes[next >> (16 - JpegHuffmanTable::kLookBits)];
                if (code & kUncommonCode) {
                    const quint32 found = lookUp(table, next);
                    if (!found)
                        return false;
                    const int r = (found >> 4) & 15;
                    const int s = found & 15;
                    if (s == 0 && r != 15) {
                        bits.skip(int(found >> 8));
                        eobRun = (quint32(1) << r) + bits.bits(r);
                        break;
                    }
                    if (s > 1)
                        return false;
                    code = scanCode(int(found >> 8), r, s);
                }
                // The code, the new coefficient's sign, then a correction bit for each
                // coefficient already set on the way to the zero one after r others (or
                // to the end) are passed at once.
                const int r = (code >> 12) & 15;
                const quint64 ahead = scanBand & (~quint64(0) << k);
                const int stop = qMin(selectBit<kPdep>(~mask & ahead, r, code >> 16), se + 1);
                const quint64 before = stop >= 64 ? ~quint64(0) : (quint64(1) << stop) - 1;
                bits.skipMany(int(code & 0xFF) + std::popcount(mask & ahead & before));
                mask |= quint64((code >> 8) & 1) << qMin(stop, 63);
                k = stop + 1;
            }
        }
        if (eobRun > 0) {
            bits.skipMany(std::popcount(mask & band(k, se)));
            --eobRun;
        }
        nonzero[b] = mask;
    }
    st.eobRun = eobRun;
    reader = bits;
    return true;
}

using RefineBlocks = bool (*)(JpegBitReader &, ScanState &, quint64 *, int);

// Made once for any processor, and again for those that count bits (and deposit them)
// in one instruction; the copy taken is the best the processor runs.
bool refinePortable(JpegBitReader &reader, ScanState &st, quint64 *nonzero, int count)
{
    return refineBlocks<false>(reader, st, nonzero, count);
}

#ifdef QUORVEL_HAVE_PDEP
__attribute__((target("popcnt"))) bool refineWithPopcnt(JpegBitReader &reader, ScanState &st,
                                                        quint64 *nonzero, int count)
{
    return refineBlocks<false>(reader, st, nonzero, count);
}

__attribute__((target("popcnt,bmi2"))) bool refineWithPdep(JpegBitReader &reader, ScanState &st,
                                                           quint64 *nonzero, int count)
{
    return refineBlocks<true>(reader, st, nonzero, count);
}
#endif

RefineBlocks chooseRefine()
{
#ifdef QUORVEL_HAVE_PDEP
    __builtin_cpu_init();
    // The first two Zen generations run PDEP as a long microcode loop.
    const bool slowPdep = __builtin_cpu_is("znver1") || __builtin_cpu_is("znver2");
    if (__builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt") && !slowPdep)
        return refineWithPdep;
    if (__builtin_cpu_supports("popcnt"))
        return refineWithPopcnt;
#endif
    return refinePortable;
}

} // namespace

bool acRefine(JpegBitReader &reader, ScanState &st, int, qint16 *, quint64 *nonzero, int count)
{
    static const RefineBlocks refine = chooseRefine();
    return refine(reader, st, nonzero, count);
}

} // namespace picture::progressive
