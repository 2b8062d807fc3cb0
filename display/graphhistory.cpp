#include "display/graphhistory.h"

#include <algorithm>
#include <stdexcept>

namespace qova::display {

GraphHistory::GraphHistory(int count) : columns_(static_cast<std::size_t>(std::max(count, 0))) {}

int GraphHistory::NextY(int index) const
{
    int next = index + 1;
    if (next == count())
        next = 0;
    return next == oldest_ ? -1 : next;
}

int GraphHistory::LastY(int index) const
{
    return index == 0 ? count() - 1 : index - 1;
}

int GraphHistory::ShiftY()
{
    int j = current_ + 1;
    if (j == count())
        j = 0;
    columns_[static_cast<std::size_t>(j)].PointCount = 0;
    oldest_ = j + 1 == count() ? 0 : j + 1;
    current_ = j;
    return j;
}

void GraphHistory::DataPoint(TColor color, std::int32_t value)
{
    GraphColumn &c = columns_[static_cast<std::size_t>(current_)];
    if (c.PointCount >= kMaxPointsPerColumn)
        throw std::out_of_range("graph column already holds 16 points");
    c.PointColors[c.PointCount] = color;
    c.PointValues[c.PointCount] = value;
    ++c.PointCount;
}

std::int32_t GraphHistory::Greatest() const
{
    std::int32_t greatest = 0;
    for (int i = FirstY(); i != -1; i = NextY(i)) {
        const GraphColumn &c = columns_[static_cast<std::size_t>(i)];
        for (int p = 0; p < c.PointCount; ++p)
            greatest = std::max(greatest, c.PointValues[p]);
    }
    return greatest;
}

void GraphHistory::Resize(int n)
{
    int i = FirstY();
    for (int drop = count() - n; drop > 0; --drop)
        i = NextY(i);
    std::vector<GraphColumn> kept;
    kept.reserve(static_cast<std::size_t>(n));
    for (; i != -1; i = NextY(i))
        kept.push_back(columns_[static_cast<std::size_t>(i)]);
    // Newest last, so the columns a wider graph has no history for are the oldest and
    // a redraw puts the newest closed column at the right edge, where Update draws.
    std::vector<GraphColumn> fresh(static_cast<std::size_t>(n));
    std::copy(kept.begin(), kept.end(), fresh.end() - static_cast<std::ptrdiff_t>(kept.size()));
    columns_ = std::move(fresh);
    current_ = n - 1;
    oldest_ = 0;
}

} // namespace qova::display
