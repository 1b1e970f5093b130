#pragma once

#include "JpegBitReader.h"

#include <array>
#include <vector>

namespace picture {

// What runs on from block to block within a scan, and starts again at a restart.
struct ScanState {
    std::array<qint64, 4> lastDc{};
    quint32 eobRun = 0;
    std::array<const JpegHuffmanTable *, 4> table{};
    std::array<const JpegHuffmanTable *, 4> acTable{}; // a sequential scan's, beside table
    int ss = 0;
    int se = 0;
    int al = 0;
    quint64 band = 0; // the scan's coefficients, as a mask
    // An AC scan's common codes unpacked for the next kLookBits bits, made at its
    // first block.
    std::array<quint32, 1 << JpegHuffmanTable::kLookBits> codes{};
    bool codesMade = false;
    // A sequential scan's AC codes, per component of the scan, made at its first
    // block: one code at a time, and the codes that fit whole in the next bits.
    std::vector<quint32> skips;
    std::vector<quint16> codeRuns;
};

// How each kind of scan reads a run of blocks of one component that follow each other
// in the scan, into their DC coefficients and masks of non-zero coefficients. False
// for data libjpeg would not read cleanly (a code missing from the table, a value it
// stores as something else).
namespace progressive {

[[nodiscard]] bool dcFirst(JpegBitReader &reader, ScanState &st, int component, qint16 *dc,
                           quint64 *nonzero, int count);
[[nodiscard]] bool dcRefine(JpegBitReader &reader, ScanState &st, int component, qint16 *dc,
                            quint64 *nonzero, int count);
[[nodiscard]] bool acFirst(JpegBitReader &reader, ScanState &st, int component, qint16 *dc,
                           quint64 *nonzero, int count);
[[nodiscard]] bool acRefine(JpegBitReader &reader, ScanState &st, int component, qint16 *dc,
                            quint64 *nonzero, int count);

// The coefficients a block still holds from k to last, in zig-zag order, as a mask.
[[nodiscard]] inline quint64 band(int k, int last)
{
    if (k > last)
        return 0;
    const quint64 upTo = last >= 63 ? ~quint64(0) : (quint64(1) << (last + 1)) - 1;
    return upTo & ~((quint64(1) << k) - 1);
}

} // namespace progressive
} // namespace picture
