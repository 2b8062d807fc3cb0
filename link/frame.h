#pragma once

#include "link/protocol.h"
#include "link/serialport.h"

#include <cstdint>
#include <span>
#include <vector>

namespace qova::link {

// Command byte, payload, checksum low byte, checksum high byte.
std::vector<std::uint8_t> BuildCommandFrame(std::uint8_t command, std::span<const std::uint8_t> payload);

// Sends a command frame and reads the analyser's one-byte answer: sleep preWaitMs,
// drain, write the frame, wait for the answer, read one byte. The answer wait ends as
// soon as a byte is queued, never later than answerWaitMs. Done when the answer is "O";
// otherwise the problem says whether nothing came or which byte did.
Done SendCommandFrame(PortState &port, std::uint8_t command, std::span<const std::uint8_t> payload, int preWaitMs,
                      int answerWaitMs);

} // namespace qova::link
