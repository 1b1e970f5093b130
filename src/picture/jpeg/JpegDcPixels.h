#pragma once

#include "ProgressiveJpegReader.h"
#include "picture/Decoded.h"

#include <optional>

namespace picture {

// The eighth-size picture computed straight from a frame's DC coefficients, byte for
// byte what libjpeg makes at scale 1/8 of JpegDcImage::sequentialFile(frame): its 1x1
// (or, for halved chroma, 2x2) inverse DCT of a block holding only its DC value, its
// range limiting, plain sample replication, and its integer colour conversion.
class JpegDcPixels {
public:
    // Empty for a frame this does not reproduce exactly (CMYK, Adobe transforms other
    // than 0 and 1, samplings other than grey, 4:4:4, 4:2:2, 4:4:0 and 4:2:0), or whose
    // raster cannot be had: libjpeg decodes those.
    [[nodiscard]] static std::optional<Decoded> decode(const JpegDcFrame &frame);
};

} // namespace picture
