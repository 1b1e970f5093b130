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

// A TIFF that also holds reduced-resolution copies of its first page (a pyramid,
// as map and slide scanners write them), decoded from the smallest copy that
// covers the size drawn.
class TiffPyramid final : public ReducedPicture::Reader {
public:
    // Null when the file holds no such copies, or its picture is too large.
    [[nodiscard]] static std::unique_ptr<const TiffPyramid> open(QByteArray bytes);

    [[nodiscard]] QSize naturalSize() const override;
    [[nodiscard]] Decoded decode(QSize atLeast) const override;

private:
    TiffPyramid() = default;

    struct Page {
        int directory;
        QSize size; // as stored, before the orientation
    };
    QByteArray m_bytes;
    QList<Page> m_pages; // the full-size page first, then smaller ones
    int m_orientation = 1;
};

} // namespace picture
