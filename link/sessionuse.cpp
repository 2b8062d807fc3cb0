#include "link/sessionuse.h"

#include <algorithm>

namespace qova::link {

SessionFailure FailureOf(const PortState &port)
{
    const QString chosen = PortCaptionName(port);
    QString device = port.lastDevice.isEmpty() ? chosen : port.lastDevice;
    // A port the operator chose as a stand-in for another device names both.
    if (!port.lastDevice.isEmpty() && port.lastDevice != chosen && DeviceCaptionName(port.lastDevice) != chosen)
        device = QStringLiteral("%1 (%2)").arg(chosen, port.lastDevice);
    return {device, port.lastError.isEmpty() ? QStringLiteral("the port could not be set up") : port.lastError};
}

SessionUse::SessionUse(LiveSession &session) : session_(session) {}

SessionUse::~SessionUse()
{
    giveBack();
}

bool SessionUse::heard() const
{
    return holds_ && !session_.uses_.empty() && session_.uses_.back() == this;
}

bool SessionUse::take(const LiveSession::Options &options)
{
    if (holds_)
        return true;
    failure_.reset();
    options_ = options;
    if (session_.isActive()) {
        lenders_ = session_.options();
        session_.setOptions(options);
        started_ = false;
    } else if (session_.start(options)) {
        started_ = true;
    } else {
        failure_ = FailureOf(session_.port_);
        return false;
    }
    if (!session_.uses_.empty())
        session_.uses_.back()->disconnectListeners();
    session_.uses_.push_back(this);
    holds_ = true;
    connectListeners();
    return true;
}

void SessionUse::giveBack()
{
    if (!holds_)
        return;
    disconnectListeners();
    auto &uses = session_.uses_;
    const auto at = std::find(uses.begin(), uses.end(), this);
    const bool wasLast = at != uses.end() && at + 1 == uses.end();
    // A window that borrowed from this one now borrows from this one's lender.
    if (at != uses.end() && at + 1 != uses.end() && !started_)
        (*(at + 1))->lenders_ = lenders_;
    if (at != uses.end())
        uses.erase(at);
    holds_ = false;
    if (started_) {
        started_ = false;
        session_.stop();
    } else if (wasLast && session_.isActive()) {
        // A lender that stopped the session meanwhile keeps it stopped; one that is a window
        // gets its own options back, with any period it was given meanwhile.
        session_.setOptions(uses.empty() ? lenders_ : uses.back()->options_);
    }
    if (wasLast && !uses.empty())
        uses.back()->connectListeners();
}

void SessionUse::setPeriod(int periodMs)
{
    options_.periodMs = periodMs;
    if (heard())
        session_.setPeriod(periodMs);
}

void SessionUse::connectListeners()
{
    disconnectListeners();
    for (const auto &connectOne : listeners_)
        links_.push_back(connectOne());
}

void SessionUse::disconnectListeners()
{
    for (const QMetaObject::Connection &c : links_)
        QObject::disconnect(c);
    links_.clear();
}

} // namespace qova::link
