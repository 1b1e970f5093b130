#pragma once

#include "JpegDecoder.h"
#include "picture/ScaledPicture.h"

#include <QByteArray>
#include <QColorSpace>
#include <memory>

namespace picture {

// Whether a JPEG shown at an eighth of its size is made from its DC coefficients (the
// fast path, on unless switched off) or decoded by libjpeg as at every other size. One
// setting for the whole program, made before anything decodes, for debugging and for
// comparing the two.
void setJpegFastPathEnabled(bool enabled);
[[nodiscard]] bool jpegFastPathEnabled();

// A JPEG kept as its bytes and decoded for each size it is shown at: shrunk, at the
// smallest DCT scale that still covers the device pixels, then smoothed to the exact
// size; at natural size or zoomed in, in full. The last rasters are kept, but a
// full-size one is dropped as soon as a smaller one will do. The raster made at load
// stays as the coarse one, to show while a larger one is decoded elsewhere. No lock is
// held while decoding or scaling, so a draw never waits for another thread's decode.
class JpegPicture final : public ScaledPicture {
public:
    struct Loaded {
        std::shared_ptr<const JpegPicture> picture;
        QString failure;
        QString warning;
    };
    // Decodes the whole file once, at the size the panel will show it, so a damaged
    // file fails here and the first paint finds its raster ready. A picture that will
    // first be drawn larger than that but still shrunk (on a full screen) is decoded
    // for drawnSize instead: one decode rather than two, and no coarse raster.
    [[nodiscard]] static Loaded load(QByteArray bytes, qreal devicePixelRatio,
                                     const DrawnSize &drawnSize = {});

    [[nodiscard]] QSize naturalSize() const override { return m_natural; }
    [[nodiscard]] QImage toImage() const override;
    [[nodiscard]] QImage coarseRaster() const override;
    [[nodiscard]] qint64 heldBytes() const override;
    // Decoded for that size alone, at the scale a draw would use.
    [[nodiscard]] QImage rasterAt(QSize deviceSize) const override;

    [[nodiscard]] const JpegHeader &header() const { return m_header; }
    // The DCT scale denominator (8, 4, 2 or 1) for an upright raster of that size.
    [[nodiscard]] int denominatorFor(QSize deviceSize) const;

    struct Stats {
        int decodes = 0;
        int lastDenominator = 0;
        int lastNumerator = 0;  // eighths, when the denominator is 8
        qint64 cachedBytes = 0; // held by the cached rasters
    };
    [[nodiscard]] Stats stats() const;

protected:
    [[nodiscard]] QImage shrunkRaster(QSize deviceSize) const override;
    [[nodiscard]] QImage naturalRaster() const override;
    [[nodiscard]] bool hasShrunkRaster(QSize deviceSize) const override;
    [[nodiscard]] bool hasNaturalRaster() const override;

private:
    JpegPicture() = default;
    // Upright and in sRGB. Callers do not hold m_lock.
    [[nodiscard]] Decoded decodeUpright(int denominator, int numerator = 1) const;
    // For a raster of deviceSize that the DCT scale denominator covers with room to
    // spare, the fewest eighths that still cover it; 0 when no such scale saves work.
    [[nodiscard]] int eighthsFor(QSize deviceSize, int denominator) const;
    // The raster of exactly deviceSize, from the fewest eighths or the DCT scale
    // denominator that covers it, with the decode's warning.
    [[nodiscard]] Decoded decodeShrunk(QSize deviceSize, int denominator) const;
    // The raster at that scale, kept, decoded first (with its warning) when it is not.
    [[nodiscard]] Decoded decodedAt(int denominator) const;
    // The scale the natural-size raster is made at: 1 unless too large to hold.
    [[nodiscard]] int naturalDenominator() const;

    QByteArray m_bytes;
    JpegHeader m_header;
    QSize m_natural;
    QColorSpace m_colorSpace; // valid when the embedded profile needs converting

    mutable QMutex m_lock;
    mutable QImage m_decoded;
    mutable int m_decodedDenominator = 0;
    mutable QImage m_shrunk;
    QImage m_coarse; // made at load, never changed
    mutable Stats m_stats;
};

} // namespace picture
