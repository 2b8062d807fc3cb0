#pragma once

#include "obd/elmsession.h"
#include "obd/obdaddress.h"

#include <QObject>
#include <QTimer>
#include <memory>

namespace qova::obd {

// The OBD adapter as a second device beside the analyser: its session runs on a timer of
// its own and each tick only takes what has come, so the analyser's polling never waits
// for the car.
//
// One link lives as long as the program: when the operator chooses another adapter it
// closes the old device and opens the new one, so a window holding the link (or its
// session) never holds a dangling pointer.
class ObdLink final : public QObject {
    Q_OBJECT
public:
    ObdLink(std::unique_ptr<link::ByteDevice> device, link::Pause &clock, ElmSession::Options options,
            QObject *parent = nullptr);
    // A link with no adapter yet: its session stays closed and says why until use().
    explicit ObdLink(link::Pause &clock, QObject *parent = nullptr);

    void start();
    void stop();
    // What the timer calls. Opening a network adapter waits in a loop that keeps the
    // windows painting, where this timer fires again: that tick is let go, never nested.
    void tick();
    ElmSession &session() { return session_; }
    const ElmSession &session() const { return session_; }

    // The adapter now in use, started at once; useNone() closes it and leaves the link idle.
    void use(std::unique_ptr<link::ByteDevice> device, ElmSession::Options options);
    void useNone();
    // False after useNone() (and for a link made without an adapter) until use().
    bool inUse() const { return inUse_; }

    // A serial adapter's baud rates: the operator's, else each usual one in turn.
    static ElmSession::Options OptionsFor(const ObdAddress &address);
    static constexpr int kTickMs = 20;

signals:
    void changed();

private:
    ElmSession session_;
    QTimer timer_;
    bool inUse_ = true;
    bool ticking_ = false;
};

} // namespace qova::obd
