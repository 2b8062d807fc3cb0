#include "configframes.h"
#include "frame.h"
#include "simdevice.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

using namespace qova;

namespace {

// An analyser that takes every configuration frame at once: "O" as soon as the last
// checksum byte is in and the sum is right.
class FrameAcknowledger final : public sim::Analyser {
public:
    std::vector<std::uint8_t> receive(std::uint8_t byte, std::int64_t) override
    {
        if (frame_.empty() && length(byte) == 0)
            return {};
        frame_.push_back(byte);
        if (frame_.size() < length(frame_.front()))
            return {};
        std::uint16_t sum = 0;
        for (std::size_t i = 1; i < frame_.size(); ++i)
            sum = static_cast<std::uint16_t>(sum + (i + 2 < frame_.size() ? frame_[i] : 0));
        const auto check = static_cast<std::uint16_t>(frame_[frame_.size() - 2] | frame_.back() << 8);
        frame_.clear();
        if (static_cast<std::uint16_t>(sum + check) != 0)
            return {'E'};
        return {link::kAcknowledge};
    }

private:
    static std::size_t length(std::uint8_t command)
    {
        switch (command) {
        case config::kSetupCommand:
        case config::kCalibrationCommand:
            return 11;
        case config::kHeaderCommand:
            return 43;
        default:
            return 0;
        }
    }
    std::vector<std::uint8_t> frame_;
};

template <class PauseT> struct Line {
    PauseT pause;
    link::PortState port{[this](int) -> std::unique_ptr<link::ByteDevice> {
                             return std::make_unique<sim::SimDevice>(pause, std::make_unique<FrameAcknowledger>());
                         },
                         pause};
    Line() { port.PortOpen = link::OpenPort(port); }
};

template <class PauseT> void BM_SetupSend(benchmark::State &state)
{
    Line<PauseT> line;
    for (auto _ : state)
        if (!config::SendSetup(line.port, 0x05, 0, [] { return QDateTime::currentDateTime(); }))
            state.SkipWithError("no acknowledgement");
}

template <class PauseT> void BM_CalibrationSend(benchmark::State &state)
{
    Line<PauseT> line;
    for (auto _ : state)
        if (!config::SendCalibration(line.port, {350, 1380, 2200, 1000}))
            state.SkipWithError("no acknowledgement");
}

template <class PauseT> void BM_HeaderSend(benchmark::State &state)
{
    Line<PauseT> line;
    for (auto _ : state)
        if (config::SendHeaderLines(line.port, QStringLiteral("QOVA WORKSHOP"), QStringLiteral("LINE 2")) !=
            config::HeaderResult::Sent)
            state.SkipWithError("no acknowledgement");
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

int main(int argc, char **argv)
{
    // The event-loop pause is measured with an application, as in the program.
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
