#pragma once

#include "Bytes.h"
#include "Decoded.h"

namespace picture {

// The first frame of a GIF, on a canvas the size of its logical screen. What the
// frame does not cover is transparent; a file that ends before any image gives an
// empty canvas.
[[nodiscard]] Decoded decodeGif(Bytes file);

} // namespace picture
