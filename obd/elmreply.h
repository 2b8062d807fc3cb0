#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace qova::obd {

// The adapter's own words for a request that got no usable answer.
enum class ElmFailure : std::uint8_t {
    None,
    NoData,          // NO DATA: the car said nothing in time
    UnableToConnect, // UNABLE TO CONNECT: no protocol found, usually the ignition is off
    BusInit,         // BUS INIT: ...ERROR
    CanError,        // CAN ERROR
    BufferFull,      // BUFFER FULL
    BusBusy,         // BUS BUSY
    DataError,       // DATA ERROR, <DATA ERROR
    FeedbackError,   // FB ERROR
    ReceiveError,    // <RX ERROR
    Stopped,         // STOPPED: something was sent while the adapter answered
    NotUnderstood,   // ?
    InternalError,   // ERRnn
    LowVoltageReset, // LV RESET: the adapter lost power and started again
    ActivityAlert,   // ACT ALERT: the adapter is about to sleep
    Unreadable,      // bytes that are no reply at all, or too many of them
    NoAnswer,        // no prompt within the command's time
};

// One reply up to (not including) the adapter's '>' prompt, taken apart.
struct ElmReply {
    std::vector<QString> lines; // what is left once echo, SEARCHING... and failure words are out
    ElmFailure failure = ElmFailure::None;
    QString failureLine; // the failure word as the adapter sent it
    bool echoed = false;
    bool searched = false;
    std::optional<QString> banner; // "ELM327 v1.5", "LV RESET": the adapter has just reset
};

// Any bytes at all: NUL bytes and other control bytes are dropped, lines may end in "\r"
// or "\r\n", and a first line that repeats `command` is its echo.
ElmReply ParseReply(std::string_view raw, std::string_view command);

// What the operator reads for a failed request: what failed, the likely reason and what to do.
QString FailureMessage(ElmFailure failure, const QString &failureLine, const QString &command);

// One ECU's whole answer: the service byte first, protocol bytes removed.
struct EcuMessage {
    QString ecu; // its header ("7E8", "18DAF110", "10"); empty with headers off
    std::vector<std::uint8_t> data;
    friend bool operator==(const EcuMessage &, const EcuMessage &) = default;
};

struct Framing {
    std::vector<EcuMessage> messages;
    QString problem; // empty when every line was understood
};

// The data lines of a reply cut into each ECU's messages. With headers on (ATH1) every line
// starts with its header: CAN 11-bit (3 hex digits), CAN 29-bit (18DAxxxx), else an older
// bus with three header bytes and a check byte at the end. CAN multi-frame answers are
// joined per ECU and cut to the length their first frame announces; without headers they
// come as a length line and numbered lines ("014", "0: ...", "1: ...").
Framing FrameMessages(const std::vector<QString> &lines, bool headers);

// The most a reply may hold before it is taken as noise: a VIN with headers and spaces from
// a few ECUs is under 300 bytes, the adapter's own buffer 512.
inline constexpr std::size_t kMaxReplyBytes = 4096;

} // namespace qova::obd
