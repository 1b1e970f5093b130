#pragma once

#include "Bytes.h"

#include <QImage>

namespace picture {

// The EXIF orientation (1 to 8) from the payload of an APP1 segment that starts
// with "Exif\0\0"; 1 when it says nothing readable.
[[nodiscard]] int exifOrientation(Bytes app1);

// Orientations 5 to 8 turn the picture a quarter turn, so width and height swap.
[[nodiscard]] constexpr bool swapsSides(int orientation)
{
    return orientation >= 5 && orientation <= 8;
}

// The stored picture turned upright.
[[nodiscard]] QImage applyOrientation(const QImage &stored, int orientation);

} // namespace picture
