#pragma once

#include "picture/Bytes.h"
#include "picture/Decoded.h"

namespace picture {

struct JpegHeader {
    qint64 width = 0; // as stored, before any EXIF turn
    qint64 height = 0;
    int components = 0;
    bool progressive = false;
    int orientation = 1; // EXIF, 1 to 8
    QByteArray iccProfile;
};

// Reads the markers up to the first scan. Refuses sizes beyond the limits before
// anything is allocated for the pixels.
[[nodiscard]] bool readJpegHeader(Bytes data, JpegHeader &header, QString &why);

// libjpeg decodes at 1/1, 1/2, 1/4 or 1/8 of the stored size by cutting the DCT
// short, which costs a fraction of a full decode and its scaling.
inline constexpr int kJpegDenominators[] = {8, 4, 2, 1};
[[nodiscard]] constexpr qint64 jpegScaledSide(qint64 side, int denominator)
{
    return (side + denominator - 1) / denominator;
}

// Decodes the whole picture at numerator/denominator of its stored size into RGB32,
// in stored orientation. A fatal libjpeg error fails; data that is missing or corrupt
// where pixels needed it keeps what was decoded and sets the warning.
[[nodiscard]] Decoded decodeJpeg(Bytes data, int denominator, int numerator = 1);

} // namespace picture
