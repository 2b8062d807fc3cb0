#include "tests/store/uploadanalyser.h"

#include "sim/simdevice.h"
#include "store/storedtest.h"
#include "store/upload.h"

#include <random>

namespace qova::test {

std::vector<std::uint8_t> StoreBlockBytes(const std::vector<std::uint8_t> &data)
{
    const auto length = static_cast<std::uint8_t>(data.size() + 1);
    std::vector<std::uint8_t> out{length};
    out.insert(out.end(), data.begin(), data.end());
    const std::uint16_t check = store::BlockCheckWord(length, data.data(), data.size());
    out.push_back(static_cast<std::uint8_t>(check & 0xFF));
    out.push_back(static_cast<std::uint8_t>(check >> 8));
    return out;
}

std::vector<std::uint8_t> BadStoreBlockBytes(const std::vector<std::uint8_t> &data)
{
    auto out = StoreBlockBytes(data);
    out[out.size() - 2] = static_cast<std::uint8_t>(out[out.size() - 2] + 1);
    return out;
}

UploadAnalyser::UploadAnalyser(std::vector<std::uint8_t> store, std::size_t blockData, std::set<std::size_t> corrupt)
    : store_(std::move(store)), blockData_(blockData), corrupt_(std::move(corrupt))
{
}

std::vector<std::uint8_t> UploadAnalyser::block(std::size_t index)
{
    const std::size_t begin = index * blockData_;
    if (begin >= store_.size())
        return {0};
    const std::size_t end = std::min(store_.size(), begin + blockData_);
    const std::vector<std::uint8_t> data(store_.begin() + static_cast<std::ptrdiff_t>(begin),
                                         store_.begin() + static_cast<std::ptrdiff_t>(end));
    if (corrupt_.erase(index) != 0)
        return BadStoreBlockBytes(data);
    return StoreBlockBytes(data);
}

std::vector<std::uint8_t> UploadAnalyser::receive(std::uint8_t byte, std::int64_t)
{
    std::vector<std::uint8_t> out;
    switch (byte) {
    case store::kUploadRequest:
        next_ = 0;
        out.push_back(store::kUploadAcknowledge);
        break;
    case store::kBlockAccepted:
        ++next_;
        break;
    case store::kBlockRejected:
        break;
    default:
        return {};
    }
    const auto b = block(next_);
    out.insert(out.end(), b.begin(), b.end());
    sent_ += out.size();
    return out;
}

std::vector<std::uint8_t> SampleStore(std::size_t records, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> out;
    out.reserve(records * store::kRecordSize);
    const auto bcd = [](int v) { return static_cast<std::uint8_t>((v / 10) << 4 | (v % 10)); };
    for (std::size_t i = 0; i < records; ++i) {
        store::StoredTestRecord r;
        const int minutes = static_cast<int>(i * 7);
        r.Second = bcd(static_cast<int>(rng() % 60));
        r.Minute = bcd(minutes % 60);
        r.Hour = bcd(8 + (minutes / 60) % 10);
        r.Day = bcd(1 + static_cast<int>(i / 40) % 28);
        r.Month = bcd(1 + static_cast<int>(i / 1000) % 12);
        r.YearInCycle = static_cast<std::uint8_t>(1 + i / 12000 % 3);
        const double phase = static_cast<double>(i % 60) / 60.0;
        r.Hc = static_cast<std::int16_t>(40 + rng() % 400 + 600 * phase);
        r.Co = static_cast<std::int16_t>(30 + rng() % 150 + 500 * phase);
        r.Co2 = static_cast<std::int16_t>(120 + rng() % 30);
        r.No = static_cast<std::int16_t>(20 + rng() % 800);
        r.Rpm = static_cast<std::int16_t>(800 + rng() % 2800);
        r.Oil = static_cast<std::int16_t>(600 + rng() % 400);
        r.O2 = static_cast<std::int16_t>(50 + rng() % 300);
        const auto bytes = r.encode();
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    return out;
}

link::DeviceFactory FullStoreDevices(link::Pause &clock, UploadAnalyser *&analyser)
{
    return [&clock, &analyser](int) -> std::unique_ptr<link::ByteDevice> {
        auto store = SampleStore(265);
        store.resize(7936);
        auto model = std::make_unique<UploadAnalyser>(std::move(store));
        analyser = model.get();
        return std::make_unique<sim::SimDevice>(clock, std::move(model));
    };
}

} // namespace qova::test
