#include "Speed.h"

namespace {

struct SpeedRow {
    const char *name;
    int interval;
};

constexpr SpeedRow kSpeedRows[] = {
    {"Fastest", 300}, {"Fast", 700}, {"Medium", 1500}, {"Slow", 3500}, {"Slowest", 5500},
};

const SpeedRow &rowOf(Speed speed)
{
    return kSpeedRows[static_cast<int>(speed)];
}

} // namespace

int intervalOf(Speed speed)
{
    return rowOf(speed).interval;
}

QString speedName(Speed speed)
{
    return QString::fromLatin1(rowOf(speed).name);
}

QString speedMessage(Speed speed)
{
    return QStringLiteral("The Speed of Slide Show is %1 Now").arg(speedName(speed));
}

std::optional<Speed> speedOfInterval(int milliseconds)
{
    for (const Speed speed : kAllSpeeds) {
        if (intervalOf(speed) == milliseconds)
            return speed;
    }
    return std::nullopt;
}
