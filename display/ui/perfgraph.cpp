#include "display/ui/perfgraph.h"

#include <QPaintEvent>
#include <QPainter>

namespace qova::display {

namespace {

// The picture as an image over the graph's own pixels, valid until the graph next draws.
QImage sharedImage(const GraphRaster &raster)
{
    if (raster.isEmpty())
        return {};
    return QImage(reinterpret_cast<const uchar *>(raster.bits()), raster.width(), raster.height(),
                  raster.bytesPerLine(), QImage::Format_RGB32);
}

} // namespace

TPerformanceGraph::TPerformanceGraph(QWidget *parent) : QWidget(parent), graph_(100, 100)
{
    // Everything is painted from the picture, so nothing beneath needs drawing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(100, 100);
    graph_.OnScaleChange = [this] {
        if (OnScaleChange)
            OnScaleChange(this);
    };
}

TPerformanceGraph::~TPerformanceGraph() = default;

ScrollingGraph &TPerformanceGraph::sized()
{
    graph_.Resize(width(), height());
    return graph_;
}

void TPerformanceGraph::refreshIf(bool redrawn)
{
    if (redrawn)
        Refresh();
}

QImage TPerformanceGraph::image() const
{
    return sharedImage(graph_.raster()).copy();
}

void TPerformanceGraph::Update()
{
    sized().Update();
    Refresh();
}

void TPerformanceGraph::Refresh()
{
    repaint();
}

void TPerformanceGraph::Replay()
{
    sized().Replay();
    Refresh();
}

void TPerformanceGraph::paintEvent(QPaintEvent *event)
{
    sized().FitToSize();
    QPainter p(this);
    p.drawImage(event->rect(), sharedImage(graph_.raster()), event->rect());
}

void TPerformanceGraph::SetGraphKind(TGraphKind v)
{
    refreshIf(sized().SetGraphKind(v));
}

void TPerformanceGraph::SetForeColor(TColor v)
{
    refreshIf(sized().SetForeColor(v));
}

void TPerformanceGraph::SetBackColor(TColor v)
{
    refreshIf(sized().SetBackColor(v));
}

void TPerformanceGraph::SetGridSize(int v)
{
    refreshIf(sized().SetGridSize(v));
}

void TPerformanceGraph::SetStepSize(int v)
{
    refreshIf(sized().SetStepSize(v));
}

void TPerformanceGraph::SetScale(int v)
{
    refreshIf(sized().SetScale(v));
}

void TPerformanceGraph::SetGradient(int v)
{
    refreshIf(sized().SetGradient(v));
}

void TPerformanceGraph::SetGridlines(bool v)
{
    refreshIf(sized().SetGridlines(v));
}

void TPerformanceGraph::SetPenWidth(int v)
{
    refreshIf(sized().SetPenWidth(v));
}

} // namespace qova::display
