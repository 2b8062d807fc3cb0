#pragma once

#include <cstdint>
#include <vector>

namespace qova::display {

// Edges of an area of the image; right and bottom lie just outside it.
struct GraphRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const GraphRect &) const = default;
};

// The graph's off-screen picture: rows of 32-bit 0xAARRGGBB pixels, top row first, with
// nothing between rows, so a window can show it as it stands without copying it.
// Everything drawn is clipped to the picture, however far off it the coordinates lie.
class GraphRaster {
public:
    GraphRaster() = default;
    GraphRaster(int width, int height) { resize(width, height); }

    // A new picture of that size, black; a size of zero or less leaves it empty.
    void resize(int width, int height);
    int width() const { return width_; }
    int height() const { return height_; }
    bool isEmpty() const { return pixels_.empty(); }
    int bytesPerLine() const { return width_ * static_cast<int>(sizeof(std::uint32_t)); }
    const std::uint32_t *bits() const { return pixels_.data(); }
    std::uint32_t pixel(int x, int y) const { return pixels_.at(index(x, y)); }
    bool operator==(const GraphRaster &) const = default;

    void fill(int left, int top, int right, int bottom, std::uint32_t pixel);
    // Moves the pixels of `source` to `dest` (which may overlap it), over the smaller of
    // the two; nothing when either reaches off the picture.
    void copyWithin(const GraphRect &source, const GraphRect &dest);
    // One pixel wide, from (x0, y0) up to but not including (x1, y1), for x1 > x0.
    void drawLine(int x0, int y0, int x1, int y1, std::uint32_t pixel);

private:
    std::size_t index(int x, int y) const
    {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x);
    }

    int width_ = 0, height_ = 0;
    std::vector<std::uint32_t> pixels_;
};

} // namespace qova::display
