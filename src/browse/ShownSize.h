#pragma once

#include "picture/Picture.h"

#include <QSize>
#include <QSizeF>

// The size the viewing panel will draw a picture at in the viewing mode of the moment,
// so that a picture decoded ahead can have that raster ready before it is shown.
// A plain value: safe to hand to a worker.
class ShownSize {
public:
    // Actual Size: the picture's own size.
    [[nodiscard]] static ShownSize natural(qreal pixelRatio);
    // Auto-Fit: shrunk into the panel's inner area when it overflows it.
    [[nodiscard]] static ShownSize fittedInto(QSize inner, qreal pixelRatio);
    // Stretched: always that size.
    [[nodiscard]] static ShownSize fixed(QSizeF size, qreal pixelRatio);

    // In the panel's logical units.
    [[nodiscard]] QSizeF sizeFor(QSize natural) const;
    // Draws the picture once at its shown size onto a single pixel: the picture keeps
    // the raster made for that size, and the drawing itself costs next to nothing.
    void prepare(const Picture &picture) const;
    // Equal for equal sizes, so that rasters made for another mode can be told apart.
    [[nodiscard]] int key() const;

private:
    enum class Kind { Natural, Fitted, Fixed };
    ShownSize(Kind kind, QSizeF area, qreal pixelRatio)
        : m_kind(kind), m_area(area), m_pixelRatio(pixelRatio)
    {
    }

    Kind m_kind;
    QSizeF m_area;
    qreal m_pixelRatio;
};
