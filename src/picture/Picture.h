#pragma once

#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QRectF>
#include <QSize>
#include <QTransform>
#include <functional>
#include <memory>

// A decoded picture. Shared between the controls that show it and never changed
// after it is made, so handing it from one control to another is an assignment.
class Picture {
public:
    Picture() = default;
    Picture(const Picture &) = delete;
    Picture &operator=(const Picture &) = delete;
    virtual ~Picture() = default;

    // The picture's size in pixels at 100 %.
    [[nodiscard]] virtual QSize naturalSize() const = 0;

    // Draws the picture scaled into target. Only the part inside the painter's
    // clip is drawn, so a zoomed picture never costs a bitmap of the zoomed size.
    virtual void draw(QPainter &painter, const QRectF &target) const = 0;

    // The picture at its natural size, for the clipboard and for saving.
    [[nodiscard]] virtual QImage toImage() const = 0;

    // What it holds in memory: its rasters, and the file's bytes where it decodes
    // from them. By default, one raster at natural size.
    [[nodiscard]] virtual qint64 heldBytes() const;

    // Whether a draw covering that many device pixels finds its raster made, so that
    // it costs no decode. A picture drawn straight from what it holds always does.
    [[nodiscard]] virtual bool hasRasterFor(QSize /*deviceSize*/) const { return true; }
    // Makes that raster. Safe on any thread: a worker makes it while the picture is
    // shown from its coarse raster, and a draw never waits for that decode.
    virtual void prepare(QSize /*deviceSize*/) const {}
    // What to show at once while the raster for the size shown is made: the one made
    // when the picture was loaded. Null when it has none to offer.
    [[nodiscard]] virtual QImage coarseRaster() const { return {}; }
    // A raster of exactly deviceSize, made afresh and not kept, so that drawing the
    // picture elsewhere (over a whole screen) leaves the rasters it is shown from as
    // they are. Safe on any thread.
    [[nodiscard]] virtual QImage rasterAt(QSize deviceSize) const;
};

using PictureRef = std::shared_ptr<const Picture>;

// The device size a picture of the given natural size will first be drawn at, so that
// a loader can decode straight to it.
using DrawnSize = std::function<QSize(QSize natural)>;

// Where a painter's coordinates land in its device's pixels, and the device's own
// area in those pixels. QPainter::deviceTransform() also holds the offset of a widget
// inside its window's backing store, which against the widget's own size would cut
// off everything beyond the window's width less that offset.
struct PaintedArea {
    QTransform toPixels;
    QRectF devicePixels; // empty when the painter has no device
};

inline PaintedArea paintedArea(const QPainter &painter)
{
    const QPaintDevice *device = painter.device();
    if (!device)
        return {painter.combinedTransform(), {}};
    const qreal ratio = device->devicePixelRatioF();
    // Images and pixmaps measure themselves in pixels, widgets in logical units.
    const bool pixelSized =
        device->devType() == QInternal::Image || device->devType() == QInternal::Pixmap;
    const qreal scale = pixelSized ? 1.0 : ratio;
    return {painter.combinedTransform() * QTransform::fromScale(ratio, ratio),
            QRectF(0, 0, device->width() * scale, device->height() * scale)};
}

// A picture that is already a bitmap in memory.
class RasterPicture final : public Picture {
public:
    explicit RasterPicture(QImage image);

    [[nodiscard]] static PictureRef fromImage(const QImage &image);
    // Loads a bitmap shipped with the program; a missing resource gives an empty picture.
    [[nodiscard]] static PictureRef fromResource(const QString &path);

    [[nodiscard]] QSize naturalSize() const override { return m_image.size(); }
    void draw(QPainter &painter, const QRectF &target) const override;
    [[nodiscard]] QImage toImage() const override { return m_image; }
    [[nodiscard]] qint64 heldBytes() const override { return m_image.sizeInBytes(); }

private:
    QImage m_image;
};
