#pragma once

#include <QByteArray>
#include <QColorSpace>
#include <QImage>

namespace picture {

// The colour space an ICC profile describes; invalid when Qt cannot use it (a CMYK
// profile, say) or when it is plain sRGB, which needs no conversion.
[[nodiscard]] QColorSpace spaceToConvert(const QByteArray &iccProfile);

// The colour space named by the code points of ISO/IEC 23091-2 (as HEIF, AVIF and
// video streams give them instead of a profile); invalid when it is sRGB or unknown.
[[nodiscard]] QColorSpace spaceToConvert(int primaries, int transfer);

// Turns a 32-bit image in that space into sRGB; nothing for an invalid space.
void convertToSrgb(QImage &image, const QColorSpace &space);

} // namespace picture
