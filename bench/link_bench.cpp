#include "link/livereading.h"
#include "tests/support/fakedevice.h"

#include <benchmark/benchmark.h>

using namespace qova;

// One poll cycle's read: 24 queued bytes through ReadByte and the checksum.
static void BM_ReadLiveFrame(benchmark::State &state)
{
    test::FakeLink fake;
    fake.open();
    link::LiveReading reading;
    reading.Co = 150;
    reading.Hc = 57;
    const auto frame = link::EncodeLiveFrame(reading);
    const std::vector<std::uint8_t> bytes(frame.begin(), frame.end());
    int failed = 0;
    for (auto _ : state) {
        fake.device().queue(bytes);
        benchmark::DoNotOptimize(link::ReadLiveFrame(fake.port, reading, failed));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadLiveFrame);
