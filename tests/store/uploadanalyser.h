#pragma once

#include "link/serialport.h"
#include "sim/analyser.h"

#include <cstddef>
#include <cstdint>
#include <set>
#include <vector>

namespace qova::test {

// One store block as the analyser sends it: length, data, check word low and high.
std::vector<std::uint8_t> StoreBlockBytes(const std::vector<std::uint8_t> &data);
// A block whose check word is off by one.
std::vector<std::uint8_t> BadStoreBlockBytes(const std::vector<std::uint8_t> &data);

// An analyser that answers an upload request: the acknowledge and the first block, then
// a block after every "O", the same block again after every "E", and the end block after
// the last. The blocks named in `corrupt` go wrong the first time they are sent.
class UploadAnalyser final : public sim::Analyser {
public:
    explicit UploadAnalyser(std::vector<std::uint8_t> store, std::size_t blockData = 254,
                            std::set<std::size_t> corrupt = {});
    std::vector<std::uint8_t> receive(std::uint8_t byte, std::int64_t nowMs) override;

    // Every byte this analyser has sent.
    std::size_t bytesSent() const { return sent_; }

private:
    std::vector<std::uint8_t> block(std::size_t index);

    std::vector<std::uint8_t> store_;
    std::size_t blockData_;
    std::set<std::size_t> corrupt_;
    std::size_t next_ = 0; // block being offered
    std::size_t sent_ = 0;
};

// A store of `records` plausible records, values varying from record to record.
std::vector<std::uint8_t> SampleStore(std::size_t records, unsigned seed = 1);

// Devices on an analyser whose store is full: exactly 7936 bytes, 31 blocks of 254 data
// bytes and one of 62. `analyser` is pointed at the newest one.
link::DeviceFactory FullStoreDevices(link::Pause &clock, UploadAnalyser *&analyser);

} // namespace qova::test
