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
class ObdLink final : public QObject {
    Q_OBJECT
public:
    ObdLink(std::unique_ptr<link::ByteDevice> device, link::Pause &clock, ElmSession::Options options,
            QObject *parent = nullptr);

    void start();
    void stop();
    ElmSession &session() { return session_; }

    // A serial adapter's baud rates: the operator's, else each usual one in turn.
    static ElmSession::Options OptionsFor(const ObdAddress &address);
    static constexpr int kTickMs = 20;

signals:
    void changed();

private:
    ElmSession session_;
    QTimer timer_;
};

} // namespace qova::obd
