#pragma once

#include <QImage>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace qova::display {

// A colour as the analyser program stores it: 0x00BBGGRR (red is 0x0000FF).
using TColor = std::uint32_t;
QRgb ToRgb(TColor color);

enum TGraphKind : std::uint8_t { pgBar = 0, pgLine = 1 };

inline constexpr int kMaxPointsPerColumn = 16;

// Edges of an area of the image; right and bottom lie just outside it.
struct GraphRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const GraphRect &) const = default;
};

// One sample: up to 16 points, each a trace colour and a value in the caller's units.
struct GraphColumn {
    std::int32_t PointCount = 0;
    std::array<TColor, kMaxPointsPerColumn> PointColors{};
    std::array<std::int32_t, kMaxPointsPerColumn> PointValues{};
};

// The scrolling history graph: the newest screen-width of samples, one narrow column
// each, drawn as lines (or stacked bars) that move right to left as columns arrive.
// All drawing goes to an off-screen image; painting the widget only copies that image,
// and the widget is opaque, so repainting it never runs its parent's paint handler.
//
// Per sample: DataPoint for each point (at most 16), then Update.
class TPerformanceGraph : public QWidget {
    Q_OBJECT
public:
    explicit TPerformanceGraph(QWidget *parent = nullptr);
    ~TPerformanceGraph() override;

    TGraphKind Kind() const { return FKind; }
    TColor ForeColor() const { return FForeColor; }
    TColor BackColor() const { return FBackColor; }
    int GridSize() const { return FGridSize; }
    int StepSize() const { return FStepSize; }
    int Scale() const { return FScale; }
    int Gradient() const { return FGradient; }
    bool Gridlines() const { return FGridlines; }
    int PenWidth() const { return FPenWidth; }
    std::function<void(TPerformanceGraph *sender)> OnScaleChange;

    void SetGraphKind(TGraphKind v);
    void SetForeColor(TColor v);
    void SetBackColor(TColor v);
    void SetGridSize(int v);
    void SetStepSize(int v);
    void SetScale(int v);
    void SetGradient(int v);
    void SetGridlines(bool v);
    void SetPenWidth(int v);

    // Adds a point to the current column; a 17th point throws std::out_of_range and
    // leaves the column as it was.
    void DataPoint(TColor color, std::int32_t value);
    // Closes the current column: scrolls, draws it at the right edge (or redraws all
    // when the history calls for a new scale) and repaints.
    void Update();
    // Repaints the widget at once from the image.
    void Refresh();

    void Initialize(int firstX);
    void ScrollGraph();
    int ShiftY();
    int FirstY() const { return OldestIndex; }
    int NextY(int index) const;
    int LastY(int index) const;
    void DisplayPoints(int column);
    void PaintBar(TColor color, int base, int height);
    void PaintLine(TColor color, int previous, int current);
    // Redraws background, grid and the whole history, then repaints.
    void Replay();
    void ReallocHistory();
    int GetBandCount() const;

    // The off-screen picture, as the next paint will show it.
    const QImage &image() const { return Image; }
    int historyCount() const { return HistoryCount; }
    int oldestIndex() const { return OldestIndex; }
    int currentIndex() const { return CurrentIndex; }
    int gridPhase() const { return GridPhase; }
    GraphRect fullRect() const { return FullRect; }
    GraphRect newColumn() const { return NewColumn; }
    const GraphColumn &column(int index) const { return History.at(index); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // Replay without the repaint, for use inside a paint.
    void rebuild();
    void fillRect(int left, int top, int right, int bottom, TColor color);
    void copyWithin(const GraphRect &source, const GraphRect &dest);
    void drawLine(int x0, int y0, int x1, int y1, TColor color);

    TGraphKind FKind = pgLine;
    TColor FForeColor = 0x008000;
    TColor FBackColor = 0x000000;
    int FGridSize = 15;
    int FStepSize = 3;
    int FScale = 1000;
    int FGradient = 100;
    bool FGridlines = true;
    int FPenWidth = 2;

    GraphRect FullRect, ScrollSource, ScrollDest, NewColumn;
    int GridPhase = 0;
    QImage Image;
    std::vector<GraphColumn> History;
    int HistoryCount = 0;
    int OldestIndex = 1;
    int CurrentIndex = 0;
};

} // namespace qova::display
