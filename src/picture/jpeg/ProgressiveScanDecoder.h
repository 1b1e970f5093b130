#pragma once

#include "JpegBitReader.h"

#include <QString>
#include <array>
#include <memory>
#include <vector>

namespace picture {

struct JpegDcFrame;

// One scan of a JPEG, its header checked, with the tables it reads by.
struct JpegScan {
    int count = 0;
    std::array<int, 4> component{}; // indexes into the frame's components
    std::array<std::shared_ptr<const JpegHuffmanTable>, 4> tables;   // DC ones for DC scans
    std::array<std::shared_ptr<const JpegHuffmanTable>, 4> acTables; // sequential scans only
    bool sequential = false; // every coefficient of its components, in one pass
    int ss = 0;
    int se = 0;
    int ah = 0;
    int al = 0;
    int restartInterval = 0;
    const uchar *data = nullptr; // the entropy-coded data, up to the end of the file
    const uchar *end = nullptr;
    qsizetype length = 0; // the bytes up to the marker after the data: how long it takes
};

// Reads the entropy-coded data of a JPEG's scans into the frame's DC coefficients and
// (progressive files) non-zero masks, exactly as libjpeg reads them. Two threads share
// the scans, each taking the longest one it may begin: a scan reads a row of blocks
// once every earlier scan of its components is past that row, so the long refinement
// scans of a photo run side by side.
class ProgressiveScanDecoder {
public:
    // False, with why, at a scan libjpeg would not read cleanly.
    [[nodiscard]] static bool decode(JpegDcFrame &frame, const std::vector<JpegScan> &scans,
                                     QString &why);
};

// What libjpeg reads after an 0xFF outside scan data: fill bytes are skipped, and a
// stuffed zero there is stray data. The marker's code, or -1 when the data ends first.
[[nodiscard]] int nextJpegMarker(const uchar *&at, const uchar *end);

} // namespace picture
