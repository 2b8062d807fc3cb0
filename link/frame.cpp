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

namespace {
QString shownByte(std::uint8_t byte)
{
    const QString hex =
        QStringLiteral("0x%1").arg(QString::number(byte, 16).toUpper().rightJustified(2, QLatin1Char('0')));
    if (byte >= 0x20 && byte < 0x7F)
        return QStringLiteral("%1 (\"%2\")").arg(hex, QChar(byte));
    return hex;
}
} // namespace

Done SendCommandFrame(PortState &port, std::uint8_t command, std::span<const std::uint8_t> payload, int preWaitMs,
                      int answerWaitMs)
{
    port.pause->sleepMs(preWaitMs);
    DrainInput(port);
    for (std::uint8_t b : BuildCommandFrame(command, payload))
        WriteByte(port, b);
    port.pause->sleepUntil(answerWaitMs, [&port] { return port.handleValid() && port.PortHandle->queuedBytes() > 0; });
    const std::uint8_t answer = ReadByte(port);
    if (port.BytesRead == 0)
        return Problem{
            QStringLiteral("The analyser on %1 did not answer").arg(ShownDeviceName(port)),
            QStringLiteral("nothing came within %1 ms of sending command %2").arg(answerWaitMs).arg(shownByte(command)),
            kConnectionFix};
    if (answer != kAcknowledge)
        return Problem{QStringLiteral("The analyser on %1 did not accept command %2")
                           .arg(ShownDeviceName(port), shownByte(command)),
                       QStringLiteral("it answered %1 instead of %2").arg(shownByte(answer), shownByte(kAcknowledge)),
                       kConnectionFix};
    return {};
}

} // namespace qova::link
