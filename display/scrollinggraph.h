#pragma once

#include "display/graphhistory.h"
#include "display/graphraster.h"

#include <cstdint>
#include <functional>

namespace qova::display {

enum TGraphKind : std::uint8_t { pgBar = 0, pgLine = 1 };

// A stored colour as a pixel of the picture: opaque 0xFFRRGGBB.
constexpr std::uint32_t PixelOf(TColor color)
{
    return 0xFF000000u | (color & 0xFFu) << 16 | (color & 0xFF00u) | (color >> 16 & 0xFFu);
}

// The scrolling history graph without a window: the newest screen-width of samples, one
// narrow column each, drawn as lines (or stacked bars) into the picture, moving right to
// left as columns arrive. The size is the one it is shown at; the picture follows it at
// the next full redraw (Replay, a setter, a rescale or FitToSize).
//
// Per sample: DataPoint for each point (at most 16), then Update.
class ScrollingGraph {
public:
    ScrollingGraph(int width, int height);

    TGraphKind Kind() const { return FKind; }
    TColor ForeColor() const { return FForeColor; }
    TColor BackColor() const { return FBackColor; }
    int GridSize() const { return FGridSize; }
    int StepSize() const { return FStepSize; }
    int Scale() const { return FScale; }
    int Gradient() const { return FGradient; }
    bool Gridlines() const { return FGridlines; }
    int PenWidth() const { return FPenWidth; }
    // Called with the new scale set, before the redraw at it.
    std::function<void()> OnScaleChange;

    // Each returns whether it changed anything, and so redrew the picture.
    bool SetGraphKind(TGraphKind v);
    bool SetForeColor(TColor v);
    bool SetBackColor(TColor v);
    bool SetGridSize(int v);
    bool SetStepSize(int v);
    bool SetScale(int v);
    bool SetGradient(int v);
    bool SetGridlines(bool v);
    bool SetPenWidth(int v);

    void Resize(int width, int height);
    int width() const { return width_; }
    int height() const { return height_; }
    // Columns of StepSize pixels across the width.
    static int BandCount(int width, int stepSize) { return width / stepSize; }
    int GetBandCount() const { return BandCount(width_, FStepSize); }

    void DataPoint(TColor color, std::int32_t value) { History.DataPoint(color, value); }
    // Closes the current column: scrolls and draws it at the right edge, or redraws all
    // when the history calls for a new scale.
    void Update();

    void Initialize(int firstX);
    void ScrollGraph();
    int ShiftY() { return History.ShiftY(); }
    int FirstY() const { return History.FirstY(); }
    int NextY(int index) const { return History.NextY(index); }
    int LastY(int index) const { return History.LastY(index); }
    void DisplayPoints(int column);
    void PaintBar(TColor color, int base, int height);
    void PaintLine(TColor color, int previous, int current);
    // Redraws background, grid and the whole history.
    void Replay();
    void ReallocHistory();
    // Before the picture is shown: when the size changed since it was drawn, the ring
    // follows the width and all is redrawn.
    void FitToSize();

    const GraphRaster &raster() const { return Raster; }
    const GraphHistory &history() const { return History; }
    int historyCount() const { return History.count(); }
    int oldestIndex() const { return History.oldestIndex(); }
    int currentIndex() const { return History.currentIndex(); }
    int gridPhase() const { return GridPhase; }
    GraphRect fullRect() const { return FullRect; }
    GraphRect newColumn() const { return NewColumn; }
    const GraphColumn &column(int index) const { return History.column(index); }

private:
    void fill(const GraphRect &r, TColor color);

    TGraphKind FKind = pgLine;
    TColor FForeColor = 0x008000;
    TColor FBackColor = 0x000000;
    int FGridSize = 15;
    int FStepSize = 3;
    int FScale = 1000;
    int FGradient = 100;
    bool FGridlines = true;
    int FPenWidth = 2;

    int width_ = 0, height_ = 0;
    GraphRect FullRect, ScrollSource, ScrollDest, NewColumn;
    int GridPhase = 0;
    GraphRaster Raster;
    GraphHistory History;
};

} // namespace qova::display
