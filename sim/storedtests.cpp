#include "sim/storedtests.h"

#include "link/protocol.h"

#include <algorithm>
#include <cassert>

namespace qova::sim {

namespace {
std::uint8_t bcd(int v)
{
    return static_cast<std::uint8_t>((v / 10) * 16 + v % 10);
}

void putWord(std::vector<std::uint8_t> &out, int value)
{
    const auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(value));
    out.push_back(static_cast<std::uint8_t>(u >> 8)); // high byte first in the store
    out.push_back(static_cast<std::uint8_t>(u & 0xFF));
}

int between(std::mt19937 &rng, int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(rng);
}
} // namespace

std::vector<std::uint8_t> MakeStoredTests(std::mt19937 &rng, QDate today, int count)
{
    std::vector<std::uint8_t> store;
    store.reserve(static_cast<std::size_t>(count) * kStoredTestSize);
    // Two tests a vehicle (idle, then 2500 rpm), a few vehicles a working day, going
    // back far enough for the whole store.
    QDate day = today.addDays(-(count / 3 + 2));
    int hour = 8, minute = between(rng, 0, 40);
    for (int n = 0; n < count; ++n) {
        const bool idle = n % 2 == 0;
        if (idle) {
            minute += between(rng, 25, 95);
            hour += minute / 60;
            minute %= 60;
            if (hour >= 17) {
                do
                    day = day.addDays(1);
                while (day.dayOfWeek() > 5);
                hour = 8;
                minute = between(rng, 0, 40);
            }
        } else {
            minute += 2; // the 2500 rpm test follows the idle test of the same vehicle
            hour += minute / 60;
            minute %= 60;
        }
        const int second = between(rng, 0, 59);
        const int hc = idle ? between(rng, 40, 260) : between(rng, 15, 140);
        int co = idle ? between(rng, 8, 130) : between(rng, 3, 60);
        // Just after a zero a clean engine can read a hair below nothing.
        if (between(rng, 0, 9) == 0)
            co = -between(rng, 1, 3);
        const int co2 = idle ? between(rng, 136, 150) : between(rng, 142, 154);
        const int no = idle ? between(rng, 20, 220) : between(rng, 90, 650);
        const int rpm = idle ? between(rng, 760, 920) : between(rng, 2440, 2560);
        const int oil = between(rng, 680, 930);
        const int o2 = idle ? between(rng, 5, 160) : between(rng, 3, 90);
        const int lambda = between(rng, 985, 1035);

        store.push_back(bcd(second));
        store.push_back(bcd(minute));
        store.push_back(bcd(hour));
        store.push_back(bcd(day.day()));
        store.push_back(bcd(day.month()));
        store.push_back(static_cast<std::uint8_t>(day.year() % 4));
        putWord(store, hc);
        putWord(store, co);
        putWord(store, co2);
        putWord(store, no);
        putWord(store, rpm);
        putWord(store, oil);
        putWord(store, o2);
        // The part the program does not read: lambda, fuel, test number, then nothing.
        putWord(store, lambda);
        store.push_back(1);
        putWord(store, n + 1);
        store.insert(store.end(), 5, 0);
    }
    assert(store.size() == static_cast<std::size_t>(count) * kStoredTestSize);
    return store;
}

std::vector<std::vector<std::uint8_t>> CutIntoBlocks(const std::vector<std::uint8_t> &store, std::mt19937 &rng)
{
    std::vector<std::vector<std::uint8_t>> blocks;
    std::size_t at = 0;
    while (at < store.size()) {
        const auto size = std::min<std::size_t>(static_cast<std::size_t>(between(rng, 17, 254)), store.size() - at);
        blocks.emplace_back(store.begin() + static_cast<std::ptrdiff_t>(at),
                            store.begin() + static_cast<std::ptrdiff_t>(at + size));
        at += size;
    }
    return blocks;
}

std::vector<std::uint8_t> BlockOnWire(const std::vector<std::uint8_t> &data, bool corrupt)
{
    assert(data.size() <= link::kMaxBlockData);
    std::vector<std::uint8_t> wire;
    wire.reserve(data.size() + 1 + link::kCheckWordSize);
    const auto length = static_cast<std::uint8_t>(data.size() + 1);
    wire.push_back(length);
    wire.insert(wire.end(), data.begin(), data.end());
    auto check = link::BlockCheckWord(length, data);
    if (corrupt)
        check = static_cast<std::uint16_t>(check + 1);
    wire.push_back(link::LowByte(check));
    wire.push_back(link::HighByte(check));
    return wire;
}

} // namespace qova::sim
