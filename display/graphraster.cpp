#include "display/graphraster.h"

#include <algorithm>
#include <cstring>

namespace qova::display {

void GraphRaster::resize(int width, int height)
{
    if (width <= 0 || height <= 0)
        width = height = 0;
    width_ = width;
    height_ = height;
    pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0xFF000000u);
}

void GraphRaster::fill(int left, int top, int right, int bottom, std::uint32_t pixel)
{
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, width_);
    bottom = std::min(bottom, height_);
    if (left >= right || top >= bottom)
        return;
    for (int y = top; y < bottom; ++y) {
        std::uint32_t *row = pixels_.data() + index(0, y);
        std::fill(row + left, row + right, pixel);
    }
}

void GraphRaster::copyWithin(const GraphRect &source, const GraphRect &dest)
{
    const int w = std::min(source.right - source.left, dest.right - dest.left);
    const int h = std::min(source.bottom - source.top, dest.bottom - dest.top);
    if (isEmpty() || w <= 0 || h <= 0 || source.left < 0 || dest.left < 0 || source.left + w > width_ ||
        dest.left + w > width_ || source.top < 0 || dest.top < 0 || source.top + h > height_ || dest.top + h > height_)
        return;
    // Row by row in the order that never reads a row already overwritten.
    const auto copyRow = [&](int y) {
        std::memmove(pixels_.data() + index(dest.left, dest.top + y),
                     pixels_.data() + index(source.left, source.top + y),
                     static_cast<std::size_t>(w) * sizeof(std::uint32_t));
    };
    if (dest.top <= source.top) {
        for (int y = 0; y < h; ++y)
            copyRow(y);
    } else {
        for (int y = h - 1; y >= 0; --y)
            copyRow(y);
    }
}

// Every pixel stays inside [x0, x1), so a column drawn at the edge and the same column
// redrawn with its neighbours look alike. Only the rows and columns of the picture are
// visited, however far off it the ends lie.
void GraphRaster::drawLine(int x0, int y0, int x1, int y1, std::uint32_t pixel)
{
    if (isEmpty() || x1 <= x0)
        return;
    const std::int64_t dx = static_cast<std::int64_t>(x1) - x0;
    const std::int64_t dy = static_cast<std::int64_t>(y1) - y0;
    const std::int64_t ady = dy < 0 ? -dy : dy;
    const int sy = dy < 0 ? -1 : 1;
    const auto plot = [&](std::int64_t x, std::int64_t y) {
        if (x >= 0 && x < width_ && y >= 0 && y < height_)
            pixels_[index(static_cast<int>(x), static_cast<int>(y))] = pixel;
    };
    if (ady <= dx) {
        const std::int64_t from = std::max<std::int64_t>(0, -std::int64_t{x0});
        const std::int64_t to = std::min<std::int64_t>(dx, width_ - std::int64_t{x0});
        for (std::int64_t t = from; t < to; ++t)
            plot(x0 + t, y0 + sy * (t * ady / dx));
        return;
    }
    // Steep: one pixel per row; only the rows of the picture.
    std::int64_t from = 0, to = ady;
    if (sy > 0) {
        from = std::max<std::int64_t>(from, -std::int64_t{y0});
        to = std::min<std::int64_t>(to, height_ - std::int64_t{y0});
    } else {
        from = std::max<std::int64_t>(from, y0 - std::int64_t{height_} + 1);
        to = std::min<std::int64_t>(to, std::int64_t{y0} + 1);
    }
    for (std::int64_t t = from; t < to; ++t)
        plot(x0 + t * dx / ady, y0 + sy * t);
}

} // namespace qova::display
