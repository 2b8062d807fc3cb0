#include "config/configframes.h"
#include "sim/demoanalyser.h"
#include "sim/simdevice.h"

#include <benchmark/benchmark.h>

using namespace qova;

namespace {

// The simulated analyser on a paced line: it acknowledges a frame as soon as its last byte is in.
template <class PauseT> struct Line {
    PauseT pause;
    std::shared_ptr<sim::DemoAnalyser> analyser = std::make_shared<sim::DemoAnalyser>();
    link::PortState port{[this](int) -> std::unique_ptr<link::ByteDevice> {
                             return std::make_unique<sim::SimDevice>(pause, analyser, true);
                         },
                         pause};
    Line() { (void)link::OpenPort(port); } // a closed port fails every send, which says so
};

template <class PauseT> void BM_SetupSend(benchmark::State &state)
{
    Line<PauseT> line;
    for (auto _ : state)
        if (!config::SendSetup(line.port, 0x05, 0, [] { return QDateTime::currentDateTime(); }).ok())
            state.SkipWithError("no acknowledgement");
    state.counters["accepted"] = line.analyser->settings().setupFrames;
}

template <class PauseT> void BM_CalibrationSend(benchmark::State &state)
{
    Line<PauseT> line;
    for (auto _ : state)
        if (!config::SendCalibration(line.port, {350, 1380, 2200, 1000}).ok())
            state.SkipWithError("no acknowledgement");
    state.counters["accepted"] = line.analyser->settings().calibrationFrames;
}

template <class PauseT> void BM_HeaderSend(benchmark::State &state)
{
    Line<PauseT> line;
    for (auto _ : state)
        if (!config::SendHeaderLines(line.port, QStringLiteral("QOVA WORKSHOP"), QStringLiteral("LINE 2")).ok())
            state.SkipWithError("no acknowledgement");
    state.counters["accepted"] = line.analyser->settings().headerFrames;
}

} // namespace

// Each send is seconds long; a few rounds say what an operator waits.
#define CONFIG_SEND(fn, pause)                                                                                         \
    BENCHMARK_TEMPLATE(fn, pause)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond)
CONFIG_SEND(BM_SetupSend, link::ThreadPause);
CONFIG_SEND(BM_SetupSend, link::EventLoopPause);
CONFIG_SEND(BM_CalibrationSend, link::ThreadPause);
CONFIG_SEND(BM_CalibrationSend, link::EventLoopPause);
CONFIG_SEND(BM_HeaderSend, link::ThreadPause);
CONFIG_SEND(BM_HeaderSend, link::EventLoopPause);
