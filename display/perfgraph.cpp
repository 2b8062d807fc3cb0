#include "perfgraph.h"

#include "graphmath.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace qova::display {

QRgb ToRgb(TColor color)
{
    return qRgb(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

namespace {

int saturatedDifference(std::int32_t a, std::int32_t b)
{
    const std::int64_t d = static_cast<std::int64_t>(a) - b;
    return static_cast<int>(
        std::clamp<std::int64_t>(d, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

} // namespace

TPerformanceGraph::TPerformanceGraph(QWidget *parent) : QWidget(parent)
{
    // Everything is painted from the image, so nothing beneath needs drawing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(100, 100);
    HistoryCount = GetBandCount() + 2;
    History.assign(HistoryCount, GraphColumn{});
    OldestIndex = 1;
    CurrentIndex = 0;
    GridPhase = 0;
    Initialize(FGridSize - 1);
}

TPerformanceGraph::~TPerformanceGraph() = default;

int TPerformanceGraph::GetBandCount() const
{
    return width() / FStepSize;
}

void TPerformanceGraph::fillRect(int left, int top, int right, int bottom, TColor color)
{
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, Image.width());
    bottom = std::min(bottom, Image.height());
    if (left >= right || top >= bottom)
        return;
    const QRgb rgb = ToRgb(color);
    for (int y = top; y < bottom; ++y) {
        auto *row = reinterpret_cast<QRgb *>(Image.scanLine(y));
        std::fill(row + left, row + right, rgb);
    }
}

void TPerformanceGraph::copyWithin(const GraphRect &source, const GraphRect &dest)
{
    const int w = std::min(source.right - source.left, dest.right - dest.left);
    const int h = std::min(source.bottom - source.top, dest.bottom - dest.top);
    if (Image.isNull() || w <= 0 || h <= 0 || source.left < 0 || dest.left < 0 || source.left + w > Image.width() ||
        dest.left + w > Image.width() || source.top < 0 || dest.top < 0 || source.top + h > Image.height() ||
        dest.top + h > Image.height())
        return;
    uchar *bits = Image.bits();
    const qsizetype line = Image.bytesPerLine();
    for (int y = 0; y < h; ++y)
        std::memmove(bits + (dest.top + y) * line + dest.left * sizeof(QRgb),
                     bits + (source.top + y) * line + source.left * sizeof(QRgb), w * sizeof(QRgb));
}

void TPerformanceGraph::Initialize(int firstX)
{
    if (Image.size() != size())
        Image = QImage(size(), QImage::Format_RGB32);
    FullRect = {0, 0, Image.width(), Image.height()};
    fillRect(FullRect.left, FullRect.top, FullRect.right, FullRect.bottom, FBackColor);
    if (FGridlines) {
        for (int y = FGridSize; y < FullRect.bottom; y += FGridSize)
            fillRect(FullRect.left, y, FullRect.right, y + 1, FForeColor);
        for (int x = FirstVisibleGridLine(firstX, FGridSize); x < FullRect.right; x += FGridSize)
            fillRect(x, 0, x + 1, FullRect.bottom, FForeColor);
        GridPhase = GridPhaseAfter(firstX, FullRect.right, FGridSize);
    }
    ScrollSource = FullRect;
    ScrollSource.left = FStepSize;
    ScrollDest = FullRect;
    ScrollDest.right = FullRect.right - FStepSize;
    NewColumn = FullRect;
    NewColumn.left = FullRect.right - FStepSize;
}

void TPerformanceGraph::ScrollGraph()
{
    copyWithin(ScrollSource, ScrollDest);
    fillRect(NewColumn.left, NewColumn.top, NewColumn.right, NewColumn.bottom, FBackColor);
    if (!FGridlines)
        return;
    for (int y = FGridSize; y < NewColumn.bottom; y += FGridSize)
        fillRect(NewColumn.left, y, NewColumn.right, y + 1, FForeColor);
    const GridScroll scroll = ScrollGridPhase(GridPhase, FStepSize, FGridSize, FullRect.right);
    GridPhase = scroll.phase;
    if (scroll.lineX)
        fillRect(*scroll.lineX, FullRect.top, *scroll.lineX + 1, FullRect.bottom, FForeColor);
}

int TPerformanceGraph::ShiftY()
{
    int j = CurrentIndex + 1;
    if (j == HistoryCount)
        j = 0;
    History[j].PointCount = 0;
    OldestIndex = j + 1 == HistoryCount ? 0 : j + 1;
    CurrentIndex = j;
    return j;
}

int TPerformanceGraph::NextY(int index) const
{
    int next = index + 1;
    if (next == HistoryCount)
        next = 0;
    return next == OldestIndex ? -1 : next;
}

int TPerformanceGraph::LastY(int index) const
{
    return index == 0 ? HistoryCount - 1 : index - 1;
}

void TPerformanceGraph::DataPoint(TColor color, std::int32_t value)
{
    GraphColumn &c = History[CurrentIndex];
    if (c.PointCount >= kMaxPointsPerColumn)
        throw std::out_of_range("graph column already holds 16 points");
    c.PointColors[c.PointCount] = color;
    c.PointValues[c.PointCount] = value;
    ++c.PointCount;
}

void TPerformanceGraph::Update()
{
    ScrollGraph();
    ShiftY();
    std::int32_t greatest = 0;
    for (int i = FirstY(); i != -1; i = NextY(i)) {
        const GraphColumn &c = History[i];
        for (int p = 0; p < c.PointCount; ++p)
            greatest = std::max(greatest, c.PointValues[p]);
    }
    const int scale = RoundUp(greatest, FGradient);
    if (scale == FScale) {
        DisplayPoints(LastY(CurrentIndex));
        Refresh();
    } else {
        SetScale(scale);
    }
}

void TPerformanceGraph::Refresh()
{
    repaint();
}

void TPerformanceGraph::DisplayPoints(int a)
{
    const GraphColumn &c = History.at(a);
    const GraphColumn &before = History[LastY(a)];
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

void TPerformanceGraph::PaintBar(TColor color, int base, int height)
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
    fillRect(NewColumn.left, FullRect.bottom - b - h - 1, NewColumn.right, FullRect.bottom - b, color);
}

void TPerformanceGraph::PaintLine(TColor color, int previous, int current)
{
    const int extent = FullRect.bottom - FullRect.top;
    const int yc = PixelHeight(current, FScale, extent);
    const int yp = PixelHeight(previous, FScale, extent);
    drawLine(NewColumn.left, FullRect.bottom - yp, NewColumn.right, FullRect.bottom - yc, color);
}

// One pixel wide, from (x0, y0) up to but not including (x1, y1), for x1 > x0: every pixel
// stays inside [x0, x1), so a column drawn at the edge and the same column redrawn with
// its neighbours look alike. Only the rows and columns on the image are visited, however
// far off it the ends lie.
void TPerformanceGraph::drawLine(int x0, int y0, int x1, int y1, TColor color)
{
    if (Image.isNull() || x1 <= x0)
        return;
    const QRgb rgb = ToRgb(color);
    const std::int64_t dx = x1 - x0;
    const std::int64_t dy = static_cast<std::int64_t>(y1) - y0;
    const std::int64_t ady = dy < 0 ? -dy : dy;
    const int sy = dy < 0 ? -1 : 1;
    const auto plot = [&](std::int64_t x, std::int64_t y) {
        if (x >= 0 && x < Image.width() && y >= 0 && y < Image.height())
            reinterpret_cast<QRgb *>(Image.scanLine(static_cast<int>(y)))[x] = rgb;
    };
    if (ady <= dx) {
        const std::int64_t from = std::max<std::int64_t>(0, -x0);
        const std::int64_t to = std::min<std::int64_t>(dx, Image.width() - std::int64_t{x0});
        for (std::int64_t t = from; t < to; ++t)
            plot(x0 + t, y0 + sy * (t * ady / dx));
        return;
    }
    // Steep: one pixel per row; only the rows of the image.
    std::int64_t from = 0, to = ady;
    if (sy > 0) {
        from = std::max<std::int64_t>(from, -std::int64_t{y0});
        to = std::min<std::int64_t>(to, Image.height() - std::int64_t{y0});
    } else {
        from = std::max<std::int64_t>(from, y0 - std::int64_t{Image.height()} + 1);
        to = std::min<std::int64_t>(to, std::int64_t{y0} + 1);
    }
    for (std::int64_t t = from; t < to; ++t)
        plot(x0 + t * dx / ady, y0 + sy * t);
}

void TPerformanceGraph::rebuild()
{
    // The ring follows the width however it changed, so a redraw always has as many
    // columns as the graph shows.
    if (HistoryCount != GetBandCount() + 2)
        ReallocHistory();
    Initialize((width() + GridPhase) % FGridSize);
    const GraphRect saved = NewColumn;
    int x = ReplayStartX(width(), GetBandCount(), FStepSize);
    for (int i = NextY(FirstY()); i != -1; i = NextY(i)) {
        NewColumn.left = x;
        x += FStepSize;
        NewColumn.right = x;
        DisplayPoints(i);
    }
    NewColumn = saved;
}

void TPerformanceGraph::Replay()
{
    rebuild();
    Refresh();
}

void TPerformanceGraph::ReallocHistory()
{
    const int n = GetBandCount() + 2;
    int i = FirstY();
    for (int drop = HistoryCount - n; drop > 0; --drop)
        i = NextY(i);
    std::vector<GraphColumn> kept;
    kept.reserve(n);
    for (; i != -1; i = NextY(i))
        kept.push_back(History[i]);
    // Newest last, so the columns a wider graph has no history for are the oldest and
    // a redraw puts the newest closed column at the right edge, where Update draws.
    std::vector<GraphColumn> fresh(n);
    std::copy(kept.begin(), kept.end(), fresh.end() - static_cast<std::ptrdiff_t>(kept.size()));
    History = std::move(fresh);
    HistoryCount = n;
    CurrentIndex = n - 1;
    OldestIndex = 0;
}

void TPerformanceGraph::paintEvent(QPaintEvent *event)
{
    if (Image.size() != size()) {
        if (Image.width() != width())
            ReallocHistory();
        rebuild();
    }
    QPainter p(this);
    p.drawImage(event->rect(), Image, event->rect());
}

void TPerformanceGraph::SetGraphKind(TGraphKind v)
{
    if (v == FKind)
        return;
    FKind = v;
    Replay();
}

void TPerformanceGraph::SetForeColor(TColor v)
{
    if (v == FForeColor)
        return;
    FForeColor = v;
    Replay();
}

void TPerformanceGraph::SetBackColor(TColor v)
{
    if (v == FBackColor)
        return;
    FBackColor = v;
    Replay();
}

void TPerformanceGraph::SetGridSize(int v)
{
    if (v == FGridSize)
        return;
    FGridSize = v > 1 ? v : 2;
    Replay();
}

void TPerformanceGraph::SetStepSize(int v)
{
    if (v == FStepSize)
        return;
    FStepSize = v > 0 ? v : 1;
    ReallocHistory();
    Replay();
}

void TPerformanceGraph::SetScale(int v)
{
    if (v == FScale)
        return;
    FScale = RoundUp(v, FGradient);
    if (OnScaleChange)
        OnScaleChange(this);
    Replay();
}

void TPerformanceGraph::SetGradient(int v)
{
    if (v == FGradient)
        return;
    FGradient = v;
    Replay();
}

void TPerformanceGraph::SetGridlines(bool v)
{
    if (v == FGridlines)
        return;
    FGridlines = v;
    Replay();
}

void TPerformanceGraph::SetPenWidth(int v)
{
    if (v == FPenWidth)
        return;
    // Traces stay one pixel wide, as the pixel heights are exact to the row; the width is
    // kept for callers that read it back.
    FPenWidth = v;
    Replay();
}

} // namespace qova::display
