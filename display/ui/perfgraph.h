#pragma once

#include "display/scrollinggraph.h"

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>

namespace qova::display {

inline QRgb ToRgb(TColor color)
{
    return PixelOf(color);
}

// The scrolling history graph on screen: a ScrollingGraph sized to the widget. All
// drawing goes to the graph's picture; painting the widget only shows that picture, and
// the widget is opaque, so repainting it never runs its parent's paint handler.
//
// Per sample: DataPoint for each point (at most 16), then Update.
class TPerformanceGraph : public QWidget {
    Q_OBJECT
public:
    explicit TPerformanceGraph(QWidget *parent = nullptr);
    ~TPerformanceGraph() override;

    TGraphKind Kind() const { return graph_.Kind(); }
    TColor ForeColor() const { return graph_.ForeColor(); }
    TColor BackColor() const { return graph_.BackColor(); }
    int GridSize() const { return graph_.GridSize(); }
    int StepSize() const { return graph_.StepSize(); }
    int Scale() const { return graph_.Scale(); }
    int Gradient() const { return graph_.Gradient(); }
    bool Gridlines() const { return graph_.Gridlines(); }
    int PenWidth() const { return graph_.PenWidth(); }
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
    void DataPoint(TColor color, std::int32_t value) { graph_.DataPoint(color, value); }
    // Closes the current column: scrolls, draws it at the right edge (or redraws all
    // when the history calls for a new scale) and repaints.
    void Update();
    // Repaints the widget at once from the picture.
    void Refresh();

    void Initialize(int firstX) { sized().Initialize(firstX); }
    void ScrollGraph() { sized().ScrollGraph(); }
    int ShiftY() { return graph_.ShiftY(); }
    int FirstY() const { return graph_.FirstY(); }
    int NextY(int index) const { return graph_.NextY(index); }
    int LastY(int index) const { return graph_.LastY(index); }
    void DisplayPoints(int column) { sized().DisplayPoints(column); }
    void PaintBar(TColor color, int base, int height) { sized().PaintBar(color, base, height); }
    void PaintLine(TColor color, int previous, int current) { sized().PaintLine(color, previous, current); }
    // Redraws background, grid and the whole history, then repaints.
    void Replay();
    void ReallocHistory() { sized().ReallocHistory(); }
    int GetBandCount() const { return ScrollingGraph::BandCount(width(), StepSize()); }

    // A copy of the off-screen picture, as the next paint will show it.
    QImage image() const;
    const ScrollingGraph &graph() const { return graph_; }
    int historyCount() const { return graph_.historyCount(); }
    int oldestIndex() const { return graph_.oldestIndex(); }
    int currentIndex() const { return graph_.currentIndex(); }
    int gridPhase() const { return graph_.gridPhase(); }
    GraphRect fullRect() const { return graph_.fullRect(); }
    GraphRect newColumn() const { return graph_.newColumn(); }
    const GraphColumn &column(int index) const { return graph_.column(index); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // The graph at the widget's current size; the widget may have been resized since.
    ScrollingGraph &sized();
    void refreshIf(bool redrawn);

    ScrollingGraph graph_;
};

} // namespace qova::display
