#pragma once

#include "Bytes.h"

#include <QSize>

namespace picture {

// The largest picture a HEIF file's parts say they make: each HEVC stream's
// sequence parameter set, each AV1 stream's sequence header and each grid's output size.
// libheif 1.15 sets aside what these say rather than the size the file gives its picture, so a few
// hundred bytes could otherwise cost gigabytes and seconds.
[[nodiscard]] QSize largestClaimedSize(Bytes file);

// Whether the file's item locations use only the field sizes the format allows (0, 4
// or 8 bytes). libheif 1.15 reads other sizes its own way, past what the checks here
// can follow: one such file had it set aside 2.5 GB for a 64 x 64 picture.
[[nodiscard]] bool itemLocationsWellFormed(Bytes file);

// Whether all the data that the file's item locations place in the file lies within
// it. A file cut short fails this, as does one without item locations.
[[nodiscard]] bool itemDataWithinFile(Bytes file);

} // namespace picture
