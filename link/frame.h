#pragma once

#include "serialport.h"

#include <cstdint>
#include <span>
#include <vector>

namespace qova::link {

// Single bytes of the link.
inline constexpr std::uint8_t kPollCommand = 0x11;
inline constexpr std::uint8_t kPumpCommand = 0x22;
inline constexpr std::uint8_t kZeroCommand = 0x55;
inline constexpr std::uint8_t kResetCalCommand = 0x09;
inline constexpr std::uint8_t kConfirmReply = 0x06;
inline constexpr std::uint8_t kDeclineReply = 0x05;
inline constexpr std::uint8_t kAcknowledge = 'O';

// (65536 - sum of the bytes) mod 65536: the bytes plus this word add up to 0.
std::uint16_t FrameChecksum(std::span<const std::uint8_t> payload);

// Command byte, payload, checksum low byte, checksum high byte.
std::vector<std::uint8_t> BuildCommandFrame(std::uint8_t command, std::span<const std::uint8_t> payload);

// Sends a command frame and reads the analyser's one-byte answer: sleep preWaitMs,
// drain, write the frame, wait for the answer, read one byte. The answer wait ends as
// soon as a byte is queued, never later than answerWaitMs. True when the answer is "O".
bool SendCommandFrame(PortState &port, std::uint8_t command, std::span<const std::uint8_t> payload, int preWaitMs,
                      int answerWaitMs);

} // namespace qova::link
