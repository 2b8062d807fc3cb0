// Any bytes an OBD adapter can send before its prompt, read as the answer to any request,
// with headers on and off: nothing crashes, every line kept is printable, and a reading
// the decoders call known is one the car could have sent.
#include "obd/elmreply.h"
#include "obd/obdcommands.h"
#include "obd/obddecode.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace qova::obd;
    const std::string_view raw(reinterpret_cast<const char *>(data), size);
    const ElmReply reply = ParseReply(raw, "010C");
    for (const QString &line : reply.lines) {
        if (line.isEmpty() || line.size() > static_cast<qsizetype>(kMaxReplyBytes))
            std::abort();
        for (QChar c : line)
            if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                std::abort();
    }
    if (size > kMaxReplyBytes && reply.failure != ElmFailure::Unreadable)
        std::abort();
    for (bool headers : {false, true}) {
        const Framing f = FrameMessages(reply.lines, headers);
        for (const auto &m : f.messages)
            if (m.data.empty() || m.data.size() > 4095)
                std::abort();
        const auto speed = DecodeEngineSpeed(f.messages);
        if (speed.known() && (*speed.value < 0 || *speed.value > 65535 / 4.0 + 1))
            std::abort();
        if (!speed.known() && speed.problem.isEmpty())
            std::abort();
        const auto coolant = DecodeTemperature(f.messages, pid::kCoolantTemperature);
        if (coolant.known() && (*coolant.value < -40 || *coolant.value > 215))
            std::abort();
        const auto status = DecodeMonitorStatus(f.messages);
        if (status.known() && status.value->incomplete() > static_cast<int>(status.value->monitors.size()))
            std::abort();
        const auto codes = DecodeStoredCodes(f.messages);
        if (codes.known())
            for (const QString &c : *codes.value)
                if (c.size() != 5 || !QStringLiteral("PCBU").contains(c.front()))
                    std::abort();
        const auto vin = DecodeVin(f.messages);
        if (vin.known() && vin.value->trusted && vin.value->text.size() != kVinLength)
            std::abort();
        DecodeSupportedPids(f.messages, pid::kSupported01To20);
    }
    return 0;
}
