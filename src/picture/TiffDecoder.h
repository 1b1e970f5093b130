#pragma once

#include "Bytes.h"
#include "Decoded.h"

namespace picture {

// TIFF through libtiff: strips and tiles in every usual compression, grey, palette,
// RGB, CMYK and 16-bit samples, turned upright by its orientation tag. A file of
// several pages shows its first.
[[nodiscard]] Decoded decodeTiff(Bytes data);

} // namespace picture
