#pragma once

#include "Bytes.h"

#include <QImage>
#include <array>

namespace picture::gif {

// One image of a GIF: where it lies on the logical screen, and its colours.
struct Frame {
    qint64 left = 0;
    qint64 top = 0;
    qint64 width = 0;
    qint64 height = 0;
    bool interlaced = false;
    int transparent = -1;
    std::array<QRgb, 256> palette{};
};

struct LzwOutcome {
    qint64 pixels = 0; // frame pixels produced
    bool broken = false;
};

// Decodes the frame's pixels, their LZW data in the sub-blocks from 'at' on, onto the
// canvas, clipped to it; without a canvas they are only counted. canvasClear says the
// canvas holds nothing yet.
[[nodiscard]] LzwOutcome decodeLzw(Bytes file, qint64 at, int minCodeSize, const Frame &f,
                                   QImage *canvas, bool canvasClear = false);

} // namespace picture::gif
