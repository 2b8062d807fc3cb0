#include "display/graphmath.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace qova::display {

namespace {
int saturate(std::int64_t v)
{
    return static_cast<int>(
        std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}
} // namespace

int RoundUp(int value, int step)
{
    // 64-bit, so that INT_MIN mod -1 and the step past INT_MAX stay defined.
    const std::int64_t v = value, s = step;
    if (s == 0 || v % s == 0)
        return value;
    return saturate((v / s + 1) * s);
}

int PixelHeight(int value, int scale, int extent)
{
    if (scale == 0)
        return 0;
    const double h = static_cast<double>(value) / scale * extent;
    return static_cast<int>(std::clamp(h, -double(kMaxPixelHeight), double(kMaxPixelHeight)));
}

int FirstVisibleGridLine(int firstX, int gridSize)
{
    if (firstX >= 0)
        return firstX;
    const std::int64_t behind = -static_cast<std::int64_t>(firstX);
    const std::int64_t steps = (behind + gridSize - 1) / gridSize;
    return static_cast<int>(firstX + steps * gridSize);
}

int GridPhaseAfter(int firstX, int right, int gridSize)
{
    std::int64_t x = firstX;
    if (x < right) {
        const std::int64_t steps = (static_cast<std::int64_t>(right) - x + gridSize - 1) / gridSize;
        x += steps * gridSize;
    }
    return saturate(x - right);
}

GridScroll ScrollGridPhase(int phase, int stepSize, int gridSize, int right)
{
    GridScroll r{phase - stepSize, std::nullopt};
    if (r.phase < 0) {
        r.lineX = right + r.phase;
        r.phase += gridSize;
    }
    return r;
}

int ReplayStartX(int width, int bandCount, int stepSize)
{
    if (bandCount > 0)
        return width % bandCount;
    return stepSize > 0 ? width % stepSize : 0;
}

int PollIntervalMs(int graphWidth)
{
    const int columns = graphWidth / 18;
    if (columns <= 0)
        return kSafePollMs;
    return 60000 / columns;
}

} // namespace qova::display
