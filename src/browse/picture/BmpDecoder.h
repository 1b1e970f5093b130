#pragma once

#include "Bytes.h"
#include "Decoded.h"

#include <optional>

class QIODevice;

namespace picture {

// A bitmap file: one with a "BM" file header, the first bitmap of an OS/2 bitmap
// array ("BA"), or a packed DIB that starts at its info header (as on a clipboard).
[[nodiscard]] Decoded decodeBmp(Bytes file);
// The same, read from a file a slice at a time, so that a large uncompressed bitmap
// never has its file and its picture in memory together.
[[nodiscard]] Decoded decodeBmp(QIODevice &device);

// Whether the bytes start with an info header this decoder reads, for a packed DIB.
[[nodiscard]] bool looksLikePackedDib(Bytes head);

// An icon or cursor image stored as a DIB: its header counts the AND mask in the
// height, and the mask below the colours makes pixels transparent.
[[nodiscard]] Decoded decodeIconDib(Bytes entry);

struct DibSummary {
    qint64 width = 0;
    qint64 height = 0; // of the colour image, without the mask for an icon
    int bitsPerPixel = 0;
};
// The size and depth an icon's DIB declares, when its header is readable.
[[nodiscard]] std::optional<DibSummary> peekIconDib(Bytes entry);

} // namespace picture
