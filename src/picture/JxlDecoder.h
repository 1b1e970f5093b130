#pragma once

#include "Bytes.h"
#include "Decoded.h"

namespace picture {

// JPEG XL through libjxl, on every core: turned upright as the file says, with its
// colour profile; an animation shows its first frame.
[[nodiscard]] Decoded decodeJxl(Bytes data);

} // namespace picture
