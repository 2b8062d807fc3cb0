#pragma once

#include <optional>

// The graph control's arithmetic, kept apart from any drawing so it can be checked on
// its own. Integer divisions truncate toward zero, as everywhere in the graph.
namespace qova::display {

// `value` rounded up to a multiple of `step`; unchanged when step is 0 or it already is one.
// Saturates instead of overflowing for values near the ends of the int range.
int RoundUp(int value, int step);

// Pixels above the baseline for `value` on a graph `extent` pixels tall drawn to `scale`:
// value / scale * extent in floating point, truncated. A scale of 0 (nothing positive in
// the history) puts every point on the baseline. Far off-image results are bounded so
// that no drawing coordinate can overflow.
int PixelHeight(int value, int scale, int extent);
inline constexpr int kMaxPixelHeight = 1 << 20;

// Vertical grid lines stand at firstX, firstX + gridSize, ... left of `right`. Returns
// how far beyond `right` the next line would stand.
int GridPhaseAfter(int firstX, int right, int gridSize);
// The first grid line at or right of 0 in that series, so a far-left start costs nothing.
int FirstVisibleGridLine(int firstX, int gridSize);

// After the picture moved `stepSize` pixels left: the new phase and, when a grid line
// entered the image on the right, its x.
struct GridScroll {
    int phase;
    std::optional<int> lineX;
};
GridScroll ScrollGridPhase(int phase, int stepSize, int gridSize, int right);

// Where a full redraw starts its first column so the last closed column lands on the
// right edge: width mod bandCount, which equals width mod stepSize once the graph is at
// least stepSize columns wide. A graph narrower than one step has no bands; it starts at
// width mod stepSize then.
int ReplayStartX(int width, int bandCount, int stepSize);

// The live graph polls once per column, so its width (at 3 pixels a column) spans six
// minutes: 60000 div (width div 18) ms, or kSafePollMs when the graph is too narrow for that.
int PollIntervalMs(int graphWidth);
inline constexpr int kSafePollMs = 2000;

} // namespace qova::display
