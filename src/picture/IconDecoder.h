#pragma once

#include "Bytes.h"
#include "Decoded.h"

#include <QList>

namespace picture {

// One image of an icon or cursor file, as its own header (not the directory) tells.
struct IconEntry {
    qint64 offset = 0;
    qint64 length = 0;    // as the directory says, clipped to the file
    qint64 available = 0; // from the offset to the end of the file
    qint64 width = 0;
    qint64 height = 0;
    int bitsPerPixel = 0;
    bool png = false;
};

// The readable entries of an ICO/CUR directory, best first: the largest, then the
// deepest, then the earliest. Entries whose data lies outside the file are left out.
[[nodiscard]] QList<IconEntry> rankIconEntries(Bytes file, QString *why = nullptr);

// The best entry that decodes.
[[nodiscard]] Decoded decodeIcon(Bytes file);

} // namespace picture
