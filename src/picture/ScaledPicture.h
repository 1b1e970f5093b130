#pragma once

#include "picture/Picture.h"

#include <QMutex>
#include <optional>

namespace picture {

// The viewing panel's inner size, which Auto-Fit shrinks larger pictures into.
inline constexpr int kPanelInnerWidth = 453;
inline constexpr int kPanelInnerHeight = 389;

// A picture drawn from rasters it makes when asked: one at the exact device size
// while it is shown smaller than natural, the natural-size one otherwise, drawn
// clipped so that a zoomed picture never costs a bitmap of the zoomed size.
class ScaledPicture : public Picture {
public:
    void draw(QPainter &painter, const QRectF &target) const final;

    // How many device pixels target covers on that painter.
    [[nodiscard]] static QSizeF deviceSize(const QPainter &painter, const QSizeF &target);
    // The device size of a picture shown shrunk to fit the panel, or nothing when
    // the panel shows it at natural size.
    [[nodiscard]] static std::optional<QSize> panelFitSize(QSize natural, qreal devicePixelRatio);
    // The screen's pixel ratio for rasters made ahead of the first paint.
    [[nodiscard]] static qreal panelPixelRatio();
    // While one lives, panelPixelRatio() on its thread is 1 without asking the
    // application, which may not exist yet or still be being built on another thread.
    class PlainPixels {
    public:
        PlainPixels();
        ~PlainPixels();
        PlainPixels(const PlainPixels &) = delete;
        PlainPixels &operator=(const PlainPixels &) = delete;
    };

    // Makes ready the raster that the panel's first paint in Auto-Fit will ask for.
    void prepareForPanel(qreal devicePixelRatio) const;

    // Whether a draw covering that many device pixels uses the shrunk raster rather
    // than the natural-size one.
    [[nodiscard]] static bool showsShrunk(QSize deviceSize, QSize natural);
    [[nodiscard]] bool hasRasterFor(QSize deviceSize) const override;
    void prepare(QSize deviceSize) const override;
    // Scaled from the natural-size raster.
    [[nodiscard]] QImage rasterAt(QSize deviceSize) const override;

protected:
    // A raster of exactly deviceSize, smaller than natural in both directions.
    [[nodiscard]] virtual QImage shrunkRaster(QSize deviceSize) const = 0;
    // The upright raster at natural size (or as near as memory allows).
    [[nodiscard]] virtual QImage naturalRaster() const = 0;
    // Whether those two are made already; a picture held in memory always has them.
    [[nodiscard]] virtual bool hasShrunkRaster(QSize) const { return true; }
    [[nodiscard]] virtual bool hasNaturalRaster() const { return true; }
};

// A picture decoded once into memory: bitmaps, GIFs and icons.
class DecodedPicture final : public ScaledPicture {
public:
    explicit DecodedPicture(QImage image);

    [[nodiscard]] QSize naturalSize() const override { return m_image.size(); }
    [[nodiscard]] QImage toImage() const override { return m_image; }
    [[nodiscard]] qint64 heldBytes() const override;

protected:
    [[nodiscard]] QImage shrunkRaster(QSize deviceSize) const override;
    [[nodiscard]] QImage naturalRaster() const override { return m_image; }
    [[nodiscard]] bool hasShrunkRaster(QSize deviceSize) const override;

private:
    const QImage m_image;
    mutable QMutex m_lock;
    mutable QImage m_shrunk;
};

} // namespace picture
