// The progress display's arithmetic: where the red fill ends and which percentage is written.
#include "ui/progress_math.h"

#include <cstdio>

namespace {
const float kMinUpper = 1e-5f;
}

int ProgressFillRight(unsigned upper, unsigned pos)
{
    const float u = static_cast<float>(upper);
    const float p = static_cast<float>(pos);
    if (!(u > kMinUpper))
        return -1;
    const float scale = static_cast<float>(kTrackRight - kTrackLeft) / u;
    return static_cast<int>(kTrackLeft + static_cast<double>(scale) * static_cast<double>(p));
}

std::string ProgressPercentText(unsigned upper, unsigned pos)
{
    const float u = static_cast<float>(upper);
    const float p = static_cast<float>(pos);
    int percent = 100;
    if (u > kMinUpper)
        percent = static_cast<int>(static_cast<double>(p) / static_cast<double>(u) * 100.0);
    char text[16];
    std::snprintf(text, sizeof text, "%d%%", percent);
    return text;
}
