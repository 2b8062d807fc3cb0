#pragma once

#include "link/protocol.h"

#include <QDate>
#include <cstdint>
#include <random>
#include <vector>

namespace qova::sim {

inline constexpr int kStoredTestSize = link::stored::kRecordSize;

// A store of `count` tests as the analyser keeps them: 30-byte records, oldest first,
// taken on working days before `today`, idle and 2500 rpm tests in turn.
std::vector<std::uint8_t> MakeStoredTests(std::mt19937 &rng, QDate today, int count);

// Cuts the store into the data parts of upload blocks: 1 to 254 bytes each, of varying
// length and with no regard to record boundaries.
std::vector<std::vector<std::uint8_t>> CutIntoBlocks(const std::vector<std::uint8_t> &store, std::mt19937 &rng);

// A block as it goes on the wire: length (data + 1), the data, the check word low byte
// first, the length byte included in the sum. `corrupt` spoils the check word.
std::vector<std::uint8_t> BlockOnWire(const std::vector<std::uint8_t> &data, bool corrupt = false);

} // namespace qova::sim
