#include "check/certificateplot.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace qova::check {

static_assert(
    [] {
        for (std::size_t i = 0; i < std::size(kPlotSeries); ++i)
            if (static_cast<std::size_t>(kPlotSeries[i].series) != i)
                return false;
        return true;
    }(),
    "the strips are read by the series' value");

const PlotSeriesInfo &PlotSeriesInfoOf(PlotSeries series)
{
    // A value outside the enum reads as the last strip, as it always has.
    return kPlotSeries[std::min(static_cast<std::size_t>(series), std::size(kPlotSeries) - 1)];
}

QString PlotSeriesName(PlotSeries series)
{
    return QString::fromLatin1(PlotSeriesInfoOf(series).name);
}

double PlotValue(const TracePoint &p, PlotSeries series)
{
    switch (series) {
    case PlotSeries::Co:
        return p.co / 100.0;
    case PlotSeries::Hc:
        return p.hc;
    case PlotSeries::Lambda:
        return p.lambda / 1000.0;
    case PlotSeries::Rpm:
        break;
    }
    return p.rpm;
}

namespace {

bool inStage(CheckPhase phase)
{
    return phase == CheckPhase::WaitingForSpeed || phase == CheckPhase::Settling || phase == CheckPhase::Measuring;
}

} // namespace

std::vector<PlotSpan> StageSpans(const std::vector<TracePoint> &trace)
{
    std::vector<PlotSpan> spans;
    bool open = false;
    for (const TracePoint &p : trace) {
        const bool same = open && spans.back().stage == p.stage && spans.back().recheck == p.recheckingHc;
        if (open && !(inStage(p.phase) && same)) {
            // The frame that ends a stage is the last of its deciding window.
            spans.back().toMs = p.atMs;
            open = false;
        }
        if (!open && inStage(p.phase)) {
            spans.push_back({p.atMs, p.atMs, p.stage, p.recheckingHc});
            open = true;
        }
        if (open)
            spans.back().toMs = p.atMs;
    }
    return spans;
}

std::vector<PlotSpan> DecidingWindows(const CheckState &state)
{
    std::vector<PlotSpan> windows;
    for (std::size_t i = 0; i < state.stages.size(); ++i) {
        const StageResult &s = state.stages[i];
        const int stage = static_cast<int>(i);
        if (s.window.readings > 0)
            windows.push_back({s.window.fromMs, s.window.toMs, stage, false});
        if (s.recheckWindow && s.recheckWindow->readings > 0)
            windows.push_back({s.recheckWindow->fromMs, s.recheckWindow->toMs, stage, true});
    }
    return windows;
}

namespace {

// k steps of `step` as the nearest double to the decimal, so that 12 steps of 0.1 is 1.2:
// a step below 1 is 1, 2 or 5 over a power of ten, whose inverse is a whole number.
double steps(double k, double step)
{
    return step < 1 ? k / std::round(1 / step) : k * step;
}

} // namespace

std::vector<double> PlotAxis::ticks() const
{
    std::vector<double> out;
    const double first = std::round(min / step);
    const int count = static_cast<int>(std::lround((max - min) / step));
    for (int i = 0; i <= count; ++i)
        out.push_back(steps(first + i, step));
    return out;
}

PlotAxis NiceAxis(double low, double high, int maxSteps)
{
    maxSteps = std::max(1, maxSteps);
    if (!(high > low))
        high = low + 1;
    const double raw = (high - low) / maxSteps;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    PlotAxis axis;
    for (double factor : {1.0, 2.0, 5.0, 10.0}) {
        axis.step = power < 1 ? factor / std::round(1 / power) : factor * power;
        // A hair of slack so that 0.3 / 0.1 counts as 3 steps, not 4.
        axis.min = steps(std::floor(low / axis.step + 1e-9), axis.step);
        axis.max = steps(std::ceil(high / axis.step - 1e-9), axis.step);
        if (std::lround((axis.max - axis.min) / axis.step) <= maxSteps)
            break;
    }
    return axis;
}

PlotAxis TimeAxis(const std::vector<TracePoint> &trace)
{
    const double last = trace.empty() ? 0 : trace.back().atMs / 1000.0;
    return NiceAxis(0, std::max(last, 10.0), 10);
}

std::vector<PlotLimit> PlotLimits(const CheckRecord &record, PlotSeries series)
{
    std::vector<PlotLimit> out;
    if (!record.limits.metered && series != PlotSeries::Rpm)
        return out;
    const auto &stages = record.limits.stages;
    for (const PlotSpan &span : StageSpans(record.state.trace)) {
        if (span.stage < 0 || span.stage >= static_cast<int>(stages.size()))
            continue;
        const StageLimits &stage = stages[static_cast<std::size_t>(span.stage)];
        auto add = [&](std::optional<double> v) {
            if (v)
                out.push_back({span.fromMs, span.toMs, *v});
        };
        auto scaled = [](std::optional<int> v, double unit) {
            return v ? std::optional<double>(*v / unit) : std::nullopt;
        };
        if (span.recheck) {
            if (!stage.recheck)
                continue;
            if (series == PlotSeries::Hc && HcLimitApplies(record.vehicle.fuel))
                add(stage.recheck->hcMax);
            if (series == PlotSeries::Rpm) {
                add(stage.recheck->minRpm);
                add(stage.recheck->maxRpm);
            }
            continue;
        }
        switch (series) {
        case PlotSeries::Co:
            add(scaled(stage.limits.coMax, 100));
            break;
        case PlotSeries::Hc:
            if (HcLimitApplies(record.vehicle.fuel))
                add(scaled(stage.limits.hcMax, 1));
            break;
        case PlotSeries::Lambda:
            add(scaled(stage.limits.lambdaMin, 1000));
            add(scaled(stage.limits.lambdaMax, 1000));
            break;
        case PlotSeries::Rpm:
            add(stage.minRpm);
            add(stage.maxRpm);
            break;
        }
    }
    return out;
}

PlotAxis ValueAxis(const CheckRecord &record, PlotSeries series)
{
    double low = 0, high = 0;
    switch (series) {
    case PlotSeries::Co:
        high = 0.5;
        break;
    case PlotSeries::Hc:
        high = 100;
        break;
    case PlotSeries::Lambda:
        low = 0.9;
        high = 1.1;
        break;
    case PlotSeries::Rpm:
        high = 3000;
        break;
    }
    for (const TracePoint &p : record.state.trace) {
        if (!p.valid)
            continue;
        double v = PlotValue(p, series);
        // Lambda of the air in a probe not yet full of exhaust reads up to 9.999; an axis
        // to there would flatten the part that matters, so such a line runs along the edge.
        if (series == PlotSeries::Lambda)
            v = std::clamp(v, 0.8, 1.2);
        low = std::min(low, v);
        high = std::max(high, v);
    }
    for (const PlotLimit &l : PlotLimits(record, series)) {
        low = std::min(low, l.value);
        high = std::max(high, l.value);
    }
    return NiceAxis(low, high, 4);
}

double PlotX(const PlotAxis &time, std::int64_t atMs, const QRectF &rect)
{
    return rect.left() + (atMs / 1000.0 - time.min) / (time.max - time.min) * rect.width();
}

double PlotY(const PlotAxis &value, double v, const QRectF &rect)
{
    const double y = rect.bottom() - (v - value.min) / (value.max - value.min) * rect.height();
    return std::clamp(y, rect.top(), rect.bottom());
}

std::vector<QPolygonF> PlotLines(const std::vector<TracePoint> &trace, PlotSeries series, const PlotAxis &time,
                                 const PlotAxis &value, const QRectF &rect)
{
    std::vector<QPolygonF> lines;
    bool broken = true;
    for (const TracePoint &p : trace) {
        if (!p.valid) {
            broken = true;
            continue;
        }
        if (broken)
            lines.emplace_back();
        broken = false;
        lines.back() << QPointF(PlotX(time, p.atMs, rect), PlotY(value, PlotValue(p, series), rect));
    }
    return lines;
}

} // namespace qova::check
