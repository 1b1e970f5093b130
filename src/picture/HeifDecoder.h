#pragma once

#include "Bytes.h"
#include "Decoded.h"
#include "ReducedPicture.h"

namespace picture {

// HEIF (HEIC from phones, and any other HEIF that libheif can decode) through
// libheif: grid-tiled pictures, 10-bit samples, alpha, turned and mirrored as the
// file's boxes say, in sRGB.
[[nodiscard]] Decoded decodeHeif(Bytes data);

// A HEIF that carries a thumbnail of its picture, as phones write them: the thumbnail
// is shown at once while the picture itself, whose decode takes seconds, is made on
// a worker; where the thumbnail covers the size drawn it is the only decode.
class HeifReader final : public ReducedPicture::Reader {
public:
    // Null when the file has no usable thumbnail, or is cut short: decode it whole.
    [[nodiscard]] static std::unique_ptr<const HeifReader> open(QByteArray bytes);

    [[nodiscard]] QSize naturalSize() const override { return m_size; }
    [[nodiscard]] Decoded decode(QSize atLeast) const override;
    [[nodiscard]] Decoded preview() const override;
    [[nodiscard]] qint64 heldBytes() const override { return m_bytes.size(); }

private:
    HeifReader() = default;

    QByteArray m_bytes;
    QSize m_size;
    QSize m_thumbnailSize;
};

} // namespace picture
