#pragma once

#include "link/livesession.h"

#include <QMetaObject>
#include <QObject>
#include <QString>
#include <functional>
#include <vector>

namespace qova::link {

// One window's use of the shared live session, from the window's showing to its closing.
// A window that finds the session idle starts it with its own options and stops it when it
// is done; one that finds it running borrows it, polling with its own options, and gives
// it back with the lender's options, still running. While a window borrows the session,
// the lender's windows hear nothing from it, so the analyser's prompt is asked once.
//
// The window only registers what it listens to and calls take and giveBack; giving back
// twice, or after a failed take, does nothing, so every way out may call it.
class SessionUse final {
public:
    explicit SessionUse(LiveSession &session);
    ~SessionUse();
    SessionUse(const SessionUse &) = delete;
    SessionUse &operator=(const SessionUse &) = delete;

    // The port's problem when the session could not start: the device as the operator
    // knows it ("COM1 (/dev/ttyS0)", "bay3:4001"), the system's reason and where to change
    // it. Taking while holding keeps what was taken.
    Done take(const LiveSession::Options &options);
    void giveBack();

    bool holds() const { return holds_; }
    bool borrowed() const { return holds_ && !started_; }
    LiveSession &session() { return session_; }

    // A new period (a resized graph) while this use holds the session; kept for its next take.
    void setPeriod(int periodMs);

    // Connects a signal of the session to `slot` whenever this use holds the session and no
    // later use borrows it.
    template <typename Signal, typename Context, typename Slot>
    void listen(Signal signal, const Context *context, Slot slot)
    {
        listeners_.push_back(
            [this, signal, context, slot] { return QObject::connect(&session_, signal, context, slot); });
        if (heard())
            links_.push_back(listeners_.back()());
    }

private:
    bool heard() const;
    void connectListeners();
    void disconnectListeners();

    LiveSession &session_;
    LiveSession::Options options_;
    LiveSession::Options lenders_;
    bool holds_ = false;
    bool started_ = false;
    std::vector<std::function<QMetaObject::Connection()>> listeners_;
    std::vector<QMetaObject::Connection> links_;
};

} // namespace qova::link
