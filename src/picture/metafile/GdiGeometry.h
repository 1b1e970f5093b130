#pragma once

// Limits on the geometry the GDI replay accepts, shared by its source files.

#include <QPointF>
#include <QTransform>
#include <cmath>

namespace metafile::gdi {

// Anything further out than this in reference units is treated as garbage geometry.
inline constexpr double kCoordLimit = 1e9;

inline bool finite(QPointF p)
{
    return std::isfinite(p.x()) && std::isfinite(p.y()) && std::abs(p.x()) < kCoordLimit &&
           std::abs(p.y()) < kCoordLimit;
}

inline bool finiteTransform(const QTransform &t)
{
    const double v[] = {t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy()};
    for (double d : v)
        if (!std::isfinite(d) || std::abs(d) > 1e12)
            return false;
    return true;
}

} // namespace metafile::gdi
