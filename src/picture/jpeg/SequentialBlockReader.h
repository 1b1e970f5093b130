#pragma once

#include "ProgressiveBlockReader.h"

namespace picture::sequential {

// The blocks of an interleaved scan's MCU, in the order the scan holds them: for each,
// the component in the scan, where its DC coefficient goes in the first MCU of a run,
// and how far that moves from one MCU to the next.
struct McuLayout {
    int count = 0;
    std::array<int, 10> component{};
    std::array<qint16 *, 10> dc{};
    std::array<int, 10> step{};
};

// Sequential (baseline or extended) scans: each block's DC coefficient is kept, its AC
// coefficients are only passed, several codes and their values in one table look
// where they fit. False for data libjpeg would not read cleanly (a code missing from a
// table, a coefficient past the end of the block, a DC value past what libjpeg adds
// up).
//
// A run of blocks of one component that follow each other in the scan:
[[nodiscard]] bool blocks(JpegBitReader &reader, ScanState &st, int component, qint16 *dc,
                          quint64 *nonzero, int count);
// A run of MCUs of an interleaved scan:
[[nodiscard]] bool mcus(JpegBitReader &reader, ScanState &st, const McuLayout &layout, int count);

} // namespace picture::sequential
