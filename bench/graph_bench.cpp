#include "display/ui/perfgraph.h"

#include <QApplication>
#include <benchmark/benchmark.h>

using namespace qova::display;

namespace {

constexpr int kTraces = 16;

// One sample of 16 traces; the first stays at full height so the scale never changes.
void addSample(TPerformanceGraph &graph, int n)
{
    graph.DataPoint(0x0000FF, 100);
    for (int k = 1; k < kTraces; ++k)
        graph.DataPoint(static_cast<TColor>(0x101010 * k), 1 + (n * 7 + k * 13) % 100);
}

// A 1800 x 700 graph as the live graph window sets it up, its whole ring filled.
void setUp(TPerformanceGraph &graph)
{
    graph.resize(1800, 700);
    graph.SetBackColor(0xFFFFFF);
    graph.SetGridlines(false);
    graph.SetGridSize(70);
    for (int n = 0; n < graph.historyCount(); ++n) {
        addSample(graph, n);
        graph.Update();
    }
}

// Set up, and on the screen when the benchmark's argument says so.
void setUp(TPerformanceGraph &graph, const benchmark::State &state)
{
    setUp(graph);
    if (state.range(0) != 0) {
        graph.show(); // each repaint then copies the image to the window's backing store
        QApplication::processEvents();
    }
}

void BM_Update(benchmark::State &state)
{
    TPerformanceGraph graph;
    setUp(graph, state);
    int n = 0;
    for (auto _ : state) {
        addSample(graph, ++n);
        graph.Update();
        benchmark::ClobberMemory();
    }
    if (graph.Scale() != 100)
        state.SkipWithError("the scale changed: this measured full redraws");
}
BENCHMARK(BM_Update)->ArgName("shown")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_Replay(benchmark::State &state)
{
    TPerformanceGraph graph;
    setUp(graph, state);
    for (auto _ : state) {
        graph.Replay();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Replay)->ArgName("shown")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace
