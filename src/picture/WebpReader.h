#pragma once

#include "ReducedPicture.h"

#include <QColorSpace>

namespace picture {

// WebP through libwebp, which decodes a still picture straight to the size it is
// drawn at. An animation shows its first frame, composed on its canvas.
class WebpReader final : public ReducedPicture::Reader {
public:
    // Null, with the reason, when the header is unreadable or the picture too large.
    [[nodiscard]] static std::unique_ptr<const WebpReader> open(QByteArray bytes, QString *why);

    [[nodiscard]] QSize naturalSize() const override { return m_size; }
    [[nodiscard]] Decoded decode(QSize atLeast) const override;
    [[nodiscard]] qint64 heldBytes() const override { return m_bytes.size(); }

private:
    WebpReader() = default;
    [[nodiscard]] Decoded firstFrame(QSize size) const;

    QByteArray m_bytes;
    QSize m_size;
    bool m_alpha = false;
    bool m_animated = false;
    QColorSpace m_space; // valid when the embedded profile needs converting
};

} // namespace picture
