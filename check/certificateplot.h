#pragma once

#include "check/checkrecord.h"

#include <QPolygonF>
#include <QRectF>
#include <cstdint>
#include <vector>

namespace qova::check {

// The plot of a check on its certificate, worked out apart from the painting so that
// where every line and band falls can be tested as numbers.

enum class PlotSeries : std::uint8_t { Co, Hc, Lambda, Rpm };
struct PlotSeriesInfo {
    PlotSeries series;
    const char *name;  // the strip's label
    std::uint32_t rgb; // its line and label
};
// The strips, top to bottom.
inline constexpr PlotSeriesInfo kPlotSeries[] = {{PlotSeries::Co, "CO %", 0xe65100},
                                                 {PlotSeries::Hc, "HC ppm", 0x6a1b9a},
                                                 {PlotSeries::Lambda, "lambda", 0x1565c0},
                                                 {PlotSeries::Rpm, "rpm", 0x2e7d32}};
const PlotSeriesInfo &PlotSeriesInfoOf(PlotSeries series);
QString PlotSeriesName(PlotSeries series);
// A frame's value as the certificate writes it: CO in %, HC in ppm, lambda, rpm.
double PlotValue(const TracePoint &point, PlotSeries series);

// A stretch of the check's time: a stage (or its HC re-check) from the first frame in it
// to the first frame after it, or a stage's deciding window.
struct PlotSpan {
    std::int64_t fromMs = 0, toMs = 0;
    int stage = 0;
    bool recheck = false;
    bool operator==(const PlotSpan &) const = default;
};
// The stages as the trace went through them; the time before the first one (the analyser
// getting ready, the engine warming) belongs to none.
std::vector<PlotSpan> StageSpans(const std::vector<TracePoint> &trace);
// The windows that decided each stage run, and each HC re-check.
std::vector<PlotSpan> DecidingWindows(const CheckState &state);

struct PlotAxis {
    double min = 0, max = 1, step = 1;
    std::vector<double> ticks() const;
    bool operator==(const PlotAxis &) const = default;
};
// From `low` to `high` or a little wider, in steps of 1, 2 or 5 times a power of ten, at
// most `maxSteps` of them.
PlotAxis NiceAxis(double low, double high, int maxSteps);
// Seconds from the check's time 0 to its last frame.
PlotAxis TimeAxis(const std::vector<TracePoint> &trace);
// Every valid value of the series and every limit of it, with room around lambda 1 and
// the speed windows; lambda no wider than 0.8 to 1.2.
PlotAxis ValueAxis(const CheckRecord &record, PlotSeries series);

// A limit of the series held over a stage's span, drawn as a dashed line.
struct PlotLimit {
    std::int64_t fromMs = 0, toMs = 0;
    double value = 0;
    bool operator==(const PlotLimit &) const = default;
};
std::vector<PlotLimit> PlotLimits(const CheckRecord &record, PlotSeries series);

double PlotX(const PlotAxis &time, std::int64_t atMs, const QRectF &rect);
// Clamped to the rect, so that a value off the axis runs along its edge.
double PlotY(const PlotAxis &value, double v, const QRectF &rect);
// The series as lines in `rect`; an invalid frame ends one line and the next valid frame
// starts another.
std::vector<QPolygonF> PlotLines(const std::vector<TracePoint> &trace, PlotSeries series, const PlotAxis &time,
                                 const PlotAxis &value, const QRectF &rect);

} // namespace qova::check
