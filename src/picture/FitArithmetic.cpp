#include "FitArithmetic.h"

float scrollStep(float pictureExtent, int innerExtent, int scrollMaximum)
{
    if (!overflows(pictureExtent, innerExtent))
        return 0;
    const double overflow = static_cast<double>(pictureExtent) - innerExtent;
    return static_cast<float>(overflow / scrollTravel(scrollMaximum));
}

float scrolledOffset(float step, int value)
{
    return static_cast<float>(-(static_cast<double>(step) * value));
}

FitResult fitIntoPictureArea(FloatSize natural, int innerWidth, int innerHeight)
{
    FitResult result{natural, false};
    if (static_cast<float>(innerWidth) < result.size.width) {
        const double height = (kPictureArea.width / static_cast<double>(result.size.width)) *
                              static_cast<double>(result.size.height);
        result.size = {kPictureArea.width, static_cast<float>(height)};
        result.stretched = true;
    }
    if (static_cast<float>(innerHeight) < result.size.height) {
        const double width = (kPictureArea.height / static_cast<double>(result.size.height)) *
                             static_cast<double>(result.size.width);
        result.size = {static_cast<float>(width), kPictureArea.height};
        result.stretched = true;
    }
    return result;
}
