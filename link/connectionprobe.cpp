#include "link/connectionprobe.h"

#include "link/protocol.h"

namespace qova::link {

ProbeResult ProbeConnection(PortState &port, int answerMs)
{
    ProbeResult result;
    const Done opened = OpenPort(port);
    result.device = port.PortHandle ? port.PortHandle->deviceName() : QString();
    if (result.device.isEmpty())
        result.device = PortCaptionName(port);
    if (!opened.ok()) {
        result.reason = opened.problem().why;
        return result;
    }
    RequestReading(port);
    port.pause->sleepUntil(answerMs, [&port] {
        return port.handleValid() && port.PortHandle->queuedBytes() >= std::size_t{kLiveFrameSize};
    });
    result.bytes = port.handleValid() ? port.PortHandle->queuedBytes() : 0;
    if (result.bytes == 0) {
        result.outcome = ProbeResult::Outcome::NoAnswer;
    } else {
        int failed = 0;
        result.outcome = ReadLiveFrame(port, result.reading, failed) ? ProbeResult::Outcome::Answered
                                                                     : ProbeResult::Outcome::NotAFrame;
    }
    ClosePort(port);
    return result;
}

QString ProbeReport(const ProbeResult &r, bool usLocale)
{
    switch (r.outcome) {
    case ProbeResult::Outcome::OpenFailed:
        return QStringLiteral("%1 could not be opened: %2").arg(r.device, r.reason);
    case ProbeResult::Outcome::NoAnswer:
        return QStringLiteral("%1 opened, but nothing answered the poll within %2 s. Check that the analyser is "
                              "switched on and that its cable is in this port.")
            .arg(r.device)
            .arg(kProbeAnswerMs / 1000);
    case ProbeResult::Outcome::NotAFrame:
        return QStringLiteral("%1 opened and %2 bytes came back, but not a reading from the analyser. Check that "
                              "this is the analyser's port and that nothing else is on the line.")
            .arg(r.device)
            .arg(r.bytes);
    case ProbeResult::Outcome::Answered:
        break;
    }
    const LiveReading &v = r.reading;
    QString state;
    if (v.StatusA & PowerUpCountdown)
        state = QStringLiteral(" It is warming up after switch-on.");
    else if (v.StatusA != 0)
        state = QStringLiteral(" It is waiting for a question to be answered on the digital display.");
    const QString fuel = FuelName(v.FuelCode, usLocale).trimmed();
    return QStringLiteral("The analyser answered on %1: %2CO %3 %, HC %4 ppm, O2 %5 %, battery %6 %.%7")
        .arg(r.device, fuel.isEmpty() ? QString() : QStringLiteral("set for %1, ").arg(fuel))
        .arg(v.Co / 100.0, 0, 'f', 2)
        .arg(v.Hc)
        .arg(v.O2 / 100.0, 0, 'f', 2)
        .arg(v.Battery)
        .arg(state);
}

} // namespace qova::link
