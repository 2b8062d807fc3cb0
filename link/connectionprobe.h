#pragma once

#include "link/livereading.h"
#include "link/serialport.h"

#include <QString>
#include <cstddef>

namespace qova::link {

// One poll on a connection before it is kept, so the operator learns at once whether the
// analyser is at the other end rather than when a window fails later.
struct ProbeResult {
    enum class Outcome { OpenFailed, NoAnswer, NotAFrame, Answered };
    Outcome outcome = Outcome::OpenFailed;
    QString device; // as the system names it ("/dev/ttyUSB0", "demo")
    QString reason; // the system's, when it would not open
    std::size_t bytes = 0;
    LiveReading reading; // when it answered
};

// A real analyser answers a poll within a few hundred milliseconds; its live windows give it
// a whole period, so the probe waits as long before it says nothing answered.
inline constexpr int kProbeAnswerMs = 2000;

// Opens the port, polls once the way the live windows do, reads what came back and closes
// the port again. Every wait goes through the port's Pause.
ProbeResult ProbeConnection(PortState &port, int answerMs = kProbeAnswerMs);

// What the operator is told about it, in one or two sentences.
QString ProbeReport(const ProbeResult &result, bool usLocale);

} // namespace qova::link
