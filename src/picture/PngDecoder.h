#pragma once

#include "Bytes.h"
#include "Decoded.h"

#include <optional>

namespace picture {

// A PNG kept inside another file (an icon's entry, a metafile's bitmap record).

[[nodiscard]] bool isPng(Bytes data);

struct PngSummary {
    qint64 width = 0;
    qint64 height = 0;
    int bitsPerPixel = 0;
};
// Size and depth from the PNG's IHDR chunk.
[[nodiscard]] std::optional<PngSummary> peekPng(Bytes data);

// Decodes it within the picture limits, refusing an oversized one before anything
// is allocated: RGB32, or ARGB32_Premultiplied when it has transparency.
[[nodiscard]] Decoded decodePng(Bytes data);

} // namespace picture
