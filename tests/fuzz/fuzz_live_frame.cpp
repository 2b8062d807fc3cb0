// Any bytes the line can bring, read as live frames one after another the way the
// live windows do: never more than 24 reads a frame, a valid verdict only when the
// checksum holds, and a failure count that only grows or resets.
#include "link/livereading.h"
#include "tests/support/fakedevice.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    qova::test::FakeLink fake;
    fake.open();
    fake.device().queue(std::vector<std::uint8_t>(data, data + size));
    qova::link::LiveReading reading;
    int failed = 0;
    std::size_t consumed = 0;
    while (consumed < size) {
        const int before = failed;
        const int readsBefore = fake.device().reads();
        const bool ok = qova::link::ReadLiveFrame(fake.port, reading, failed);
        if (fake.device().reads() - readsBefore != 24)
            std::abort();
        if (ok ? failed != 0 : failed != before + 1)
            std::abort();
        if (ok) {
            // A valid frame must be exactly what the encoder would send for its record.
            const auto again = qova::link::EncodeLiveFrame(reading);
            for (std::size_t i = 0; i < 22; ++i)
                if (again[i] != data[consumed + i])
                    std::abort();
        }
        consumed += 24;
        (void)qova::link::FuelName(reading.FuelCode, true);
        (void)qova::link::EfficiencyValue(reading);
        (void)qova::link::OilTemperature(reading);
    }
    qova::link::DrainInput(fake.port);
    return 0;
}
