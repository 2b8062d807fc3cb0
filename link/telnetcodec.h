#pragma once

#include <QByteArray>
#include <bitset>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

// Telnet with RFC 2217 port control, as a serial device server speaks it: the byte values
// of RFC 854/856/858/2217, the option negotiation, the data stream with IAC doubled and the
// server's COM-PORT-OPTION replies. Plain logic: the network device feeds it what the socket
// received and sends what it returns.
namespace qova::link::telnet {

inline constexpr std::uint8_t kIac = 255;
inline constexpr std::uint8_t kDont = 254;
inline constexpr std::uint8_t kDo = 253;
inline constexpr std::uint8_t kWont = 252;
inline constexpr std::uint8_t kWill = 251;
inline constexpr std::uint8_t kSb = 250;
inline constexpr std::uint8_t kSe = 240;

inline constexpr std::uint8_t kBinary = 0;
inline constexpr std::uint8_t kSuppressGoAhead = 3;
inline constexpr std::uint8_t kComPortOption = 44;

// COM-PORT-OPTION commands from the client; the server answers each with the command + 100.
inline constexpr std::uint8_t kSetBaudRate = 1;
inline constexpr std::uint8_t kSetDataSize = 2;
inline constexpr std::uint8_t kSetParity = 3;
inline constexpr std::uint8_t kSetStopSize = 4;
inline constexpr std::uint8_t kSetControl = 5;
inline constexpr std::uint8_t kServerReplyOffset = 100;

inline constexpr std::uint8_t kParityNone = 1;
inline constexpr std::uint8_t kStopBitsOne = 1;
inline constexpr std::uint8_t kControlNoFlow = 1;

// A server may send anything, so every store of the client has a bound: a sub-negotiation
// longer than this is dropped whole (a COM-PORT-OPTION reply is a few bytes) ...
inline constexpr qsizetype kMaxSubnegotiationBytes = 4096;
// ... and of the COM-PORT-OPTION replies not yet taken only the newest are kept.
inline constexpr std::size_t kMaxHeldReplies = 16;

// One COM-PORT-OPTION sub-negotiation the server sent: its command and value bytes.
struct ComPortReply {
    std::uint8_t command = 0;
    QByteArray value;
    bool operator==(const ComPortReply &) const = default;
};

// One line setting asked of the server and the reply that confirms it.
struct LineRequest {
    std::uint8_t command;
    QByteArray value;
};

// The five settings of the analyser's line, in the order they are sent.
std::vector<LineRequest> AnalyserLineRequests();

// IAC SB COM-PORT-OPTION command value IAC SE, with any 255 in the value doubled.
QByteArray ComPortCommand(std::uint8_t command, const QByteArray &value);

// Data for the wire: every 255 doubled.
QByteArray EscapeData(const QByteArray &data);

// The client side of one telnet connection.
class Client {
public:
    // What the client asks for at once: binary both ways (the analyser's bytes are 8-bit
    // and must not be taken for text), no go-ahead, and that it will send port control.
    static QByteArray OpeningRequests();

    // Takes bytes the server sent, in any split; appends the data bytes to `data`.
    void feed(const QByteArray &bytes, std::deque<std::uint8_t> &data);
    // Answers to the server's negotiation that must be sent now; empties the store. Each
    // answer is given once per connection, so a server repeating a request is not echoed.
    QByteArray takeAnswers();
    // COM-PORT-OPTION sub-negotiations received so far; empties the store.
    std::vector<ComPortReply> takeReplies();

    // The server agreed (DO COM-PORT-OPTION), refused (DONT), or has not said yet.
    std::optional<bool> comPortAccepted() const { return comPortAccepted_; }

private:
    enum class State : std::uint8_t { Data, Iac, Option, Sub, SubIac };
    void onOption(std::uint8_t verb, std::uint8_t option);
    void onSubnegotiation();
    void answer(std::uint8_t verb, std::uint8_t option);
    void appendSub(char c);

    State state_ = State::Data;
    std::uint8_t verb_ = 0;
    QByteArray sub_;
    bool subTooLong_ = false;
    std::bitset<256> answered_[4]; // by answer verb, WILL to DONT
    QByteArray answers_;
    std::vector<ComPortReply> replies_;
    std::optional<bool> comPortAccepted_;
    // Options this side has enabled or offered (WILL) and those it asked the server for (DO).
    bool localBinary_ = true, localSga_ = true, localComPort_ = true;
    bool remoteBinary_ = true, remoteSga_ = true;
};

} // namespace qova::link::telnet
