#include "link/telnetcodec.h"

#include "link/protocol.h"

namespace qova::link::telnet {

std::vector<LineRequest> AnalyserLineRequests()
{
    const auto baud = static_cast<std::uint32_t>(kLineBaudRate);
    // RFC 2217 sends the baud rate as four bytes in network order.
    QByteArray baudBytes;
    for (int shift = 24; shift >= 0; shift -= 8)
        baudBytes.append(static_cast<char>((baud >> shift) & 0xFF));
    return {
        {kSetBaudRate, baudBytes},
        {kSetDataSize, QByteArray(1, static_cast<char>(kLineDataBits))},
        {kSetParity, QByteArray(1, static_cast<char>(kParityNone))},
        {kSetStopSize, QByteArray(1, static_cast<char>(kStopBitsOne))},
        {kSetControl, QByteArray(1, static_cast<char>(kControlNoFlow))},
    };
}

QByteArray ComPortCommand(std::uint8_t command, const QByteArray &value)
{
    QByteArray out;
    out.append(static_cast<char>(kIac));
    out.append(static_cast<char>(kSb));
    out.append(static_cast<char>(kComPortOption));
    out.append(static_cast<char>(command));
    out.append(EscapeData(value));
    out.append(static_cast<char>(kIac));
    out.append(static_cast<char>(kSe));
    return out;
}

QByteArray EscapeData(const QByteArray &data)
{
    QByteArray out;
    out.reserve(data.size());
    for (const char c : data) {
        out.append(c);
        if (static_cast<std::uint8_t>(c) == kIac)
            out.append(c);
    }
    return out;
}

namespace {
void appendCommand(QByteArray &out, std::uint8_t verb, std::uint8_t option)
{
    out.append(static_cast<char>(kIac));
    out.append(static_cast<char>(verb));
    out.append(static_cast<char>(option));
}
} // namespace

QByteArray Client::OpeningRequests()
{
    QByteArray out;
    appendCommand(out, kWill, kBinary);
    appendCommand(out, kDo, kBinary);
    appendCommand(out, kWill, kSuppressGoAhead);
    appendCommand(out, kDo, kSuppressGoAhead);
    appendCommand(out, kWill, kComPortOption);
    return out;
}

void Client::appendSub(char c)
{
    // Past the bound the rest is read to its IAC SE and dropped, holding nothing.
    if (sub_.size() >= kMaxSubnegotiationBytes) {
        subTooLong_ = true;
        sub_.clear();
    }
    if (!subTooLong_)
        sub_.append(c);
}

void Client::answer(std::uint8_t verb, std::uint8_t option)
{
    auto &given = answered_[verb - kWill];
    if (given.test(option))
        return;
    given.set(option);
    appendCommand(answers_, verb, option);
}

void Client::feed(const QByteArray &bytes, std::deque<std::uint8_t> &data)
{
    for (const char c : bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        switch (state_) {
        case State::Data:
            if (b == kIac)
                state_ = State::Iac;
            else
                data.push_back(b);
            break;
        case State::Iac:
            if (b == kIac) {
                data.push_back(b);
                state_ = State::Data;
            } else if (b == kWill || b == kWont || b == kDo || b == kDont) {
                verb_ = b;
                state_ = State::Option;
            } else if (b == kSb) {
                sub_.clear();
                subTooLong_ = false;
                state_ = State::Sub;
            } else {
                // NOP, go-ahead, data mark and the like carry nothing for a serial line.
                state_ = State::Data;
            }
            break;
        case State::Option:
            onOption(verb_, b);
            state_ = State::Data;
            break;
        case State::Sub:
            if (b == kIac)
                state_ = State::SubIac;
            else
                appendSub(c);
            break;
        case State::SubIac:
            if (b == kIac) {
                appendSub(c);
                state_ = State::Sub;
            } else {
                // IAC SE ends it; anything else is a broken sub-negotiation, dropped alike.
                if (b == kSe && !subTooLong_)
                    onSubnegotiation();
                state_ = State::Data;
            }
            break;
        }
    }
}

void Client::onOption(std::uint8_t verb, std::uint8_t option)
{
    // The server's DO and WILL for what this side asked for are acknowledgements and get
    // no answer, nor does a refusal of a request; answering either would start a loop.
    bool *local = option == kBinary            ? &localBinary_
                  : option == kSuppressGoAhead ? &localSga_
                  : option == kComPortOption   ? &localComPort_
                                               : nullptr;
    bool *remote = option == kBinary ? &remoteBinary_ : option == kSuppressGoAhead ? &remoteSga_ : nullptr;
    switch (verb) {
    case kDo:
        if (local == nullptr) {
            answer(kWont, option);
        } else if (!*local) {
            *local = true;
            answer(kWill, option);
        }
        if (option == kComPortOption)
            comPortAccepted_ = true;
        break;
    case kDont:
        if (local != nullptr)
            *local = false;
        if (option == kComPortOption)
            comPortAccepted_ = false;
        break;
    case kWill:
        if (remote == nullptr) {
            answer(kDont, option);
        } else if (!*remote) {
            *remote = true;
            answer(kDo, option);
        }
        break;
    case kWont:
        if (remote != nullptr)
            *remote = false;
        break;
    default:
        break;
    }
}

void Client::onSubnegotiation()
{
    if (sub_.size() < 2 || static_cast<std::uint8_t>(sub_.at(0)) != kComPortOption)
        return;
    // Line and modem state notices may come unasked for as long as the connection lasts.
    if (replies_.size() >= kMaxHeldReplies)
        replies_.erase(replies_.begin());
    replies_.push_back({static_cast<std::uint8_t>(sub_.at(1)), sub_.mid(2)});
}

QByteArray Client::takeAnswers()
{
    QByteArray out;
    out.swap(answers_);
    return out;
}

std::vector<ComPortReply> Client::takeReplies()
{
    std::vector<ComPortReply> out;
    out.swap(replies_);
    return out;
}

} // namespace qova::link::telnet
