#pragma once

#include "Bytes.h"
#include "Decoded.h"

#include <QList>
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
    bool topDown = false;
    const char *embeddedFormat = nullptr; // "JPEG" or "PNG" when the pixels are one
};
// What a DIB's header declares, when it is readable.
[[nodiscard]] std::optional<DibSummary> peekDib(Bytes header);
// The same for an icon's DIB.
[[nodiscard]] std::optional<DibSummary> peekIconDib(Bytes entry);

// What stands between a DIB's header and its pixels.
enum class DibColorTable {
    Colors,         // colours, as in a bitmap file
    PaletteIndexes, // 16-bit indexes into a palette
    None,           // nothing: pixel values are palette indexes themselves
};

// How a DIB kept inside another file (a metafile's drawing record) is read.
struct DibOptions {
    DibColorTable table = DibColorTable::Colors;
    // The palette that indexes point into. Indexes past its end, or without one,
    // read as a grey ramp (black and white for a monochrome bitmap).
    const QList<QRgb> *palette = nullptr;
    // The fourth byte of 32-bit pixels is alpha, handed over as it is stored (as
    // ARGB32, not premultiplied and not second-guessed when it is all zero).
    bool rawAlpha = false;
    // The most one bitmap may take as a raster.
    qint64 maxRasterBytes = qint64(1) << 30;
};
// A DIB whose header (with its colour table) and pixels are stored apart. Pixels
// that run-length codes skip, and rows the bytes lack, are transparent.
[[nodiscard]] Decoded decodeDib(Bytes header, Bytes pixels, const DibOptions &options);
// A packed DIB: the header, the colour table and the pixels back to back.
[[nodiscard]] Decoded decodePackedDib(Bytes dib, const DibOptions &options);

} // namespace picture
