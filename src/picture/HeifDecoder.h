#pragma once

#include "Bytes.h"
#include "Decoded.h"

namespace picture {

// HEIF (HEIC from phones, and any other HEIF that libheif can decode) through
// libheif: grid-tiled pictures, 10-bit samples, alpha, turned and mirrored as the
// file's boxes say, in sRGB.
[[nodiscard]] Decoded decodeHeif(Bytes data);

} // namespace picture
