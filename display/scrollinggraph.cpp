#include "display/scrollinggraph.h"

#include "display/graphmath.h"

#include <algorithm>
#include <limits>

namespace qova::display {

namespace {

int saturatedDifference(std::int32_t a, std::int32_t b)
{
    const std::int64_t d = static_cast<std::int64_t>(a) - b;
    return static_cast<int>(
        std::clamp<std::int64_t>(d, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

} // namespace

ScrollingGraph::ScrollingGraph(int width, int height)
    : width_(width), height_(height), History(BandCount(width, FStepSize) + 2)
{
    Initialize(FGridSize - 1);
}

void ScrollingGraph::Resize(int width, int height)
{
    width_ = width;
    height_ = height;
}

void ScrollingGraph::fill(const GraphRect &r, TColor color)
{
    Raster.fill(r.left, r.top, r.right, r.bottom, PixelOf(color));
}

void ScrollingGraph::Initialize(int firstX)
{
    if (Raster.width() != width_ || Raster.height() != height_)
        Raster.resize(width_, height_);
    FullRect = {0, 0, Raster.width(), Raster.height()};
    fill(FullRect, FBackColor);
    if (FGridlines) {
        for (int y = FGridSize; y < FullRect.bottom; y += FGridSize)
            fill({FullRect.left, y, FullRect.right, y + 1}, FForeColor);
        for (int x = FirstVisibleGridLine(firstX, FGridSize); x < FullRect.right; x += FGridSize)
            fill({x, 0, x + 1, FullRect.bottom}, FForeColor);
        GridPhase = GridPhaseAfter(firstX, FullRect.right, FGridSize);
    }
    ScrollSource = FullRect;
    ScrollSource.left = FStepSize;
    ScrollDest = FullRect;
    ScrollDest.right = FullRect.right - FStepSize;
    NewColumn = FullRect;
    NewColumn.left = FullRect.right - FStepSize;
}

void ScrollingGraph::ScrollGraph()
{
    Raster.copyWithin(ScrollSource, ScrollDest);
    fill(NewColumn, FBackColor);
    if (!FGridlines)
        return;
    for (int y = FGridSize; y < NewColumn.bottom; y += FGridSize)
        fill({NewColumn.left, y, NewColumn.right, y + 1}, FForeColor);
    const GridScroll scroll = ScrollGridPhase(GridPhase, FStepSize, FGridSize, FullRect.right);
    GridPhase = scroll.phase;
    if (scroll.lineX)
        fill({*scroll.lineX, FullRect.top, *scroll.lineX + 1, FullRect.bottom}, FForeColor);
}

void ScrollingGraph::Update()
{
    ScrollGraph();
    ShiftY();
    const int scale = RoundUp(History.Greatest(), FGradient);
    if (scale == FScale)
        DisplayPoints(LastY(currentIndex()));
    else
        SetScale(scale);
}

void ScrollingGraph::DisplayPoints(int a)
{
    const GraphColumn &c = History.column(a);
    const GraphColumn &before = History.column(LastY(a));
    std::int32_t base = 0;
    for (int i = 0; i < c.PointCount; ++i) {
        const std::int32_t value = c.PointValues[i];
        const TColor color = c.PointColors[i];
        if (value == 0)
            continue;
        if (FKind == pgBar) {
            PaintBar(color, base, saturatedDifference(value, base));
        } else if (FKind == pgLine) {
            std::int32_t previous = 0;
            for (int j = 0; j < before.PointCount; ++j) {
                if (before.PointColors[j] == color) {
                    previous = before.PointValues[j];
                    break;
                }
            }
            PaintLine(color, previous, value);
        }
        base = value;
    }
}

void ScrollingGraph::PaintBar(TColor color, int base, int height)
{
    if (height == 0)
        return;
    const int extent = FullRect.bottom - FullRect.top;
    const int h = PixelHeight(height, FScale, extent);
    const int b = PixelHeight(base, FScale, extent);
    // A segment below the previous point of its column would reach down over that
    // point's own bar; it is left out.
    if (h <= 0)
        return;
    fill({NewColumn.left, FullRect.bottom - b - h - 1, NewColumn.right, FullRect.bottom - b}, color);
}

// Traces stay one pixel wide, as the pixel heights are exact to the row; PenWidth is
// kept for callers that read it back.
void ScrollingGraph::PaintLine(TColor color, int previous, int current)
{
    const int extent = FullRect.bottom - FullRect.top;
    const int yc = PixelHeight(current, FScale, extent);
    const int yp = PixelHeight(previous, FScale, extent);
    Raster.drawLine(NewColumn.left, FullRect.bottom - yp, NewColumn.right, FullRect.bottom - yc, PixelOf(color));
}

void ScrollingGraph::Replay()
{
    // The ring follows the width however it changed, so a redraw always has as many
    // columns as the graph shows.
    if (historyCount() != GetBandCount() + 2)
        ReallocHistory();
    Initialize((width_ + GridPhase) % FGridSize);
    const GraphRect saved = NewColumn;
    int x = ReplayStartX(width_, GetBandCount(), FStepSize);
    for (int i = NextY(FirstY()); i != -1; i = NextY(i)) {
        NewColumn.left = x;
        x += FStepSize;
        NewColumn.right = x;
        DisplayPoints(i);
    }
    NewColumn = saved;
}

void ScrollingGraph::ReallocHistory()
{
    History.Resize(GetBandCount() + 2);
}

void ScrollingGraph::FitToSize()
{
    if (Raster.width() == width_ && Raster.height() == height_)
        return;
    if (Raster.width() != width_)
        ReallocHistory();
    Replay();
}

bool ScrollingGraph::SetGraphKind(TGraphKind v)
{
    if (v == FKind)
        return false;
    FKind = v;
    Replay();
    return true;
}

bool ScrollingGraph::SetForeColor(TColor v)
{
    if (v == FForeColor)
        return false;
    FForeColor = v;
    Replay();
    return true;
}

bool ScrollingGraph::SetBackColor(TColor v)
{
    if (v == FBackColor)
        return false;
    FBackColor = v;
    Replay();
    return true;
}

bool ScrollingGraph::SetGridSize(int v)
{
    if (v == FGridSize)
        return false;
    FGridSize = v > 1 ? v : 2;
    Replay();
    return true;
}

bool ScrollingGraph::SetStepSize(int v)
{
    if (v == FStepSize)
        return false;
    FStepSize = v > 0 ? v : 1;
    ReallocHistory();
    Replay();
    return true;
}

bool ScrollingGraph::SetScale(int v)
{
    if (v == FScale)
        return false;
    FScale = RoundUp(v, FGradient);
    if (OnScaleChange)
        OnScaleChange();
    Replay();
    return true;
}

bool ScrollingGraph::SetGradient(int v)
{
    if (v == FGradient)
        return false;
    FGradient = v;
    Replay();
    return true;
}

bool ScrollingGraph::SetGridlines(bool v)
{
    if (v == FGridlines)
        return false;
    FGridlines = v;
    Replay();
    return true;
}

bool ScrollingGraph::SetPenWidth(int v)
{
    if (v == FPenWidth)
        return false;
    FPenWidth = v;
    Replay();
    return true;
}

} // namespace qova::display
