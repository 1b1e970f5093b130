#pragma once

#include "Decoded.h"
#include "ScaledPicture.h"

#include <QByteArray>
#include <memory>

namespace picture {

// A picture kept as its file's bytes and decoded by its library at the size it is
// drawn, for the formats whose library can decode at a reduced size. The raster made
// at load (for the panel, or for drawnSize) stays as the coarse one; the natural-size
// raster is made only when asked for and let go once the picture is shown shrunk
// again. No lock is held while decoding, so a draw never waits for another thread.
class ReducedPicture final : public ScaledPicture {
public:
    // Decodes one file's picture; safe to call from several threads at once.
    class Reader {
    public:
        virtual ~Reader() = default;
        // The upright picture's size.
        [[nodiscard]] virtual QSize naturalSize() const = 0;
        // The upright picture in sRGB, as small as the file allows while still
        // covering atLeast; at natural size when atLeast is not smaller.
        [[nodiscard]] virtual Decoded decode(QSize atLeast) const = 0;
        // A small raster made far sooner than decode(), shown while that runs on a
        // worker; a failure (by default) when the file offers none.
        [[nodiscard]] virtual Decoded preview() const { return Decoded::fail({}); }
        // The file's bytes it keeps to decode from.
        [[nodiscard]] virtual qint64 heldBytes() const = 0;
    };

    struct Loaded {
        std::shared_ptr<const ReducedPicture> picture;
        QString failure;
        QString warning;
    };
    // Decodes the file once, at the size it will first be drawn, so that a damaged
    // file fails here and the first paint finds its raster ready; or, when the reader
    // has a preview too small for that size, only the preview, as the coarse raster.
    [[nodiscard]] static Loaded load(std::unique_ptr<const Reader> reader, qreal devicePixelRatio,
                                     const DrawnSize &drawnSize = {});

    [[nodiscard]] QSize naturalSize() const override { return m_natural; }
    [[nodiscard]] QImage toImage() const override { return naturalRaster(); }
    [[nodiscard]] QImage coarseRaster() const override { return m_coarse; }
    [[nodiscard]] qint64 heldBytes() const override;

    // How many decodes were made, and the size of the last one.
    struct Stats {
        int decodes = 0;
        QSize lastDecoded;
    };
    [[nodiscard]] Stats stats() const;

protected:
    [[nodiscard]] QImage shrunkRaster(QSize deviceSize) const override;
    [[nodiscard]] QImage naturalRaster() const override;
    [[nodiscard]] bool hasShrunkRaster(QSize deviceSize) const override;
    [[nodiscard]] bool hasNaturalRaster() const override;

private:
    explicit ReducedPicture(std::unique_ptr<const Reader> reader);
    [[nodiscard]] Decoded decodeCounted(QSize atLeast) const;
    [[nodiscard]] Decoded decodeShrunk(QSize deviceSize) const;
    [[nodiscard]] QImage decodedOrCoarse(const Decoded &d, QSize size) const;

    const std::unique_ptr<const Reader> m_reader;
    const QSize m_natural;
    QImage m_coarse; // made at load, never changed

    mutable QMutex m_lock;
    mutable QImage m_shrunk;
    mutable QImage m_full;
    mutable Stats m_stats;
};

} // namespace picture
