#pragma once

// The arithmetic of the viewing panel. Sizes and positions are kept in single
// precision; every intermediate result is worked out in double precision first.

struct FloatSize {
    float width = 0;
    float height = 0;

    friend bool operator==(const FloatSize &, const FloatSize &) = default;
};

// The fixed area a picture is shrunk into: also the size of a stretched picture.
inline constexpr FloatSize kPictureArea{449, 385};

// Scroll-bar units that carry the picture from one edge to the other: the bar's
// maximum less 20, worked out as a 16-bit number. The last 20 units move the
// picture a little further, leaving a thin empty strip.
[[nodiscard]] constexpr int scrollTravel(int scrollMaximum)
{
    return static_cast<short>(scrollMaximum - 20);
}

// Pixels of travel per scroll unit, or 0 when the picture does not overflow.
[[nodiscard]] float scrollStep(float pictureExtent, int innerExtent, int scrollMaximum);

// Whether a picture of that extent needs a scroll bar (strictly larger only).
[[nodiscard]] constexpr bool overflows(float pictureExtent, int innerExtent)
{
    return static_cast<float>(innerExtent) < pictureExtent;
}

// The left (or top) of a picture scrolled to value.
[[nodiscard]] float scrolledOffset(float step, int value);

struct FitResult {
    FloatSize size;
    bool stretched = false;
};

// Shrinks a picture of natural size into the picture area when it overflows the
// panel's inner size: first by width, then, if still too tall, by height. A picture
// that fits keeps its size; nothing is ever enlarged.
[[nodiscard]] FitResult fitIntoPictureArea(FloatSize natural, int innerWidth, int innerHeight);
