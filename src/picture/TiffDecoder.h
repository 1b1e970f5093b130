#pragma once

#include "Bytes.h"
#include "Decoded.h"
#include "ReducedPicture.h"

#include <QList>

namespace picture {

// TIFF through libtiff: strips and tiles in every usual compression, grey, palette,
// RGB, CMYK and 16-bit samples, turned upright by its orientation tag. A file of
// several pages shows its first.
[[nodiscard]] Decoded decodeTiff(Bytes data);

// A TIFF decoded at the size it is drawn: from the smallest reduced copy of its
// first page that covers that size (a pyramid, as map and slide scanners write
// them), and, where that page is of plain 8-bit RGB or grey strips, averaged down
// further as its rows are read, so that a large scan shown small never needs a
// full-size raster.
class TiffReader final : public ReducedPicture::Reader {
public:
    // Null when the file holds neither such copies nor such a page, or its picture
    // is too large.
    [[nodiscard]] static std::unique_ptr<const TiffReader> open(QByteArray bytes);

    [[nodiscard]] QSize naturalSize() const override;
    [[nodiscard]] Decoded decode(QSize atLeast) const override;
    [[nodiscard]] qint64 heldBytes() const override { return m_bytes.size(); }

private:
    TiffReader() = default;

    struct Page {
        int directory;
        QSize size;      // as stored, before the orientation
        bool averagable; // rows that can be averaged as they are read
    };
    QByteArray m_bytes;
    QList<Page> m_pages; // the full-size page first, then smaller ones
    int m_orientation = 1;
};

} // namespace picture
