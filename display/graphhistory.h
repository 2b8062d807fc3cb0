#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace qova::display {

// A colour as the analyser program stores it: 0x00BBGGRR (red is 0x0000FF).
using TColor = std::uint32_t;

inline constexpr int kMaxPointsPerColumn = 16;

// One sample: up to 16 points, each a trace colour and a value in the caller's units.
struct GraphColumn {
    std::int32_t PointCount = 0;
    std::array<TColor, kMaxPointsPerColumn> PointColors{};
    std::array<std::int32_t, kMaxPointsPerColumn> PointValues{};
};

// The graph's ring of columns. The current column fills while the oldest waits to be
// overwritten; walking from FirstY with NextY visits the closed columns oldest first and
// then the current one.
class GraphHistory {
public:
    explicit GraphHistory(int count);

    int count() const { return static_cast<int>(columns_.size()); }
    int oldestIndex() const { return oldest_; }
    int currentIndex() const { return current_; }
    const GraphColumn &column(int index) const { return columns_.at(static_cast<std::size_t>(index)); }

    int FirstY() const { return oldest_; }
    // The column after `index`, or -1 past the current one.
    int NextY(int index) const;
    int LastY(int index) const;
    // Closes the current column: the next one, emptied, becomes current.
    int ShiftY();

    // Adds a point to the current column; a 17th point throws std::out_of_range and
    // leaves the column as it was.
    void DataPoint(TColor color, std::int32_t value);
    // The greatest value in the ring, or 0 when none is positive.
    std::int32_t Greatest() const;
    // `count` columns holding the newest of these, in order, the current one last and
    // the oldest first.
    void Resize(int count);

private:
    std::vector<GraphColumn> columns_;
    int oldest_ = 1;
    int current_ = 0;
};

} // namespace qova::display
