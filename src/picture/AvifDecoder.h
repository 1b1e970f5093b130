#pragma once

#include "Bytes.h"
#include "Decoded.h"

namespace picture {

// AVIF through libavif (dav1d underneath), several times faster than libheif on
// the same files: grid-tiled pictures, 10- and 12-bit samples, alpha, turned and
// mirrored as the file's boxes say, in sRGB.
[[nodiscard]] Decoded decodeAvif(Bytes data);

} // namespace picture
