#include "link/sessionuse.h"

#include <algorithm>

namespace qova::link {

SessionUse::SessionUse(LiveSession &session) : session_(session) {}

SessionUse::~SessionUse()
{
    giveBack();
}

bool SessionUse::heard() const
{
    return holds_ && !session_.uses_.empty() && session_.uses_.back() == this;
}

Done SessionUse::take(const LiveSession::Options &options)
{
    if (holds_)
        return {};
    options_ = options;
    if (session_.isActive()) {
        lenders_ = session_.options();
        session_.setOptions(options);
        started_ = false;
    } else if (Done started = session_.start(options); started.ok()) {
        started_ = true;
    } else {
        return started;
    }
    if (!session_.uses_.empty())
        session_.uses_.back()->disconnectListeners();
    session_.uses_.push_back(this);
    holds_ = true;
    connectListeners();
    return {};
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
