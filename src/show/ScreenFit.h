#pragma once

#include "picture/FitArithmetic.h"

#include <QPointF>

// Fitting and centring a picture on a whole screen. Every value is single
// precision, and each division is done before the multiplication that follows it.

struct ScreenFit {
    FloatSize size;
    bool stretched = false;
};

// Shrinks a picture that is wider than the area to the area's width, then one that
// is still taller than the area to its height; a picture that fits keeps its size.
[[nodiscard]] ScreenFit fitIntoScreenArea(FloatSize natural, float areaWidth, float areaHeight);

// The top-left corner that centres a picture of that size on the screen.
[[nodiscard]] QPointF centreOnScreen(FloatSize picture, float screenWidth, float screenHeight);
