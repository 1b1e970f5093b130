#include "ScreenFit.h"

ScreenFit fitIntoScreenArea(FloatSize natural, float areaWidth, float areaHeight)
{
    ScreenFit fit{natural, false};
    if (fit.size.width > areaWidth) {
        fit.size.height = areaWidth / fit.size.width * fit.size.height;
        fit.size.width = areaWidth;
        fit.stretched = true;
    }
    if (fit.size.height > areaHeight) {
        fit.size.width = areaHeight / fit.size.height * fit.size.width;
        fit.size.height = areaHeight;
        fit.stretched = true;
    }
    return fit;
}

QPointF centreOnScreen(FloatSize picture, float screenWidth, float screenHeight)
{
    const float left = screenWidth / 2.f - picture.width / 2.f;
    const float top = screenHeight / 2.f - picture.height / 2.f;
    return {left, top};
}
