#pragma once

#include <QString>
#include <optional>

// How long each slide of a show stays on screen.
enum class Speed { Fastest, Fast, Medium, Slow, Slowest };

inline constexpr Speed kAllSpeeds[] = {Speed::Fastest, Speed::Fast, Speed::Medium, Speed::Slow,
                                       Speed::Slowest};

// The interval of a speed in milliseconds.
[[nodiscard]] int intervalOf(Speed speed);
[[nodiscard]] QString speedName(Speed speed);
// "The Speed of Slide Show is Fast Now".
[[nodiscard]] QString speedMessage(Speed speed);
// The speed of that interval, if any.
[[nodiscard]] std::optional<Speed> speedOfInterval(int milliseconds);
