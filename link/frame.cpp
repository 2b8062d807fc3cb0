#include "link/frame.h"

namespace qova::link {

std::vector<std::uint8_t> BuildCommandFrame(std::uint8_t command, std::span<const std::uint8_t> payload)
{
    std::vector<std::uint8_t> frame;
    frame.reserve(payload.size() + 3);
    frame.push_back(command);
    frame.insert(frame.end(), payload.begin(), payload.end());
    const std::uint16_t check = FrameChecksum(payload);
    frame.push_back(LowByte(check));
    frame.push_back(HighByte(check));
    return frame;
}

bool SendCommandFrame(PortState &port, std::uint8_t command, std::span<const std::uint8_t> payload, int preWaitMs,
                      int answerWaitMs)
{
    port.pause->sleepMs(preWaitMs);
    DrainInput(port);
    for (std::uint8_t b : BuildCommandFrame(command, payload))
        WriteByte(port, b);
    port.pause->sleepUntil(answerWaitMs, [&port] { return port.handleValid() && port.PortHandle->queuedBytes() > 0; });
    return ReadByte(port) == kAcknowledge;
}

} // namespace qova::link
