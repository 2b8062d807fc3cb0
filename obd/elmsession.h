#pragma once

#include "link/bytedevice.h"
#include "link/pause.h"
#include "obd/elmreply.h"
#include "obd/obddecode.h"
#include "result/result.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qova::obd {

// A reading with the time it came, on the session's clock.
template <typename T> struct Timed {
    T value;
    std::int64_t atMs = 0;
};

// What the car has said so far. Every reading is unknown until it is read and again as
// soon as a request for it fails; nothing here is ever a default taken for an answer.
struct ObdReadings {
    std::optional<Timed<double>> engineSpeed; // rpm
    std::optional<Timed<int>> coolant;        // degC
    std::optional<Timed<int>> oil;            // degC, only when the car supports 01 5C
    std::optional<Timed<MonitorStatus>> status;
    std::optional<Timed<std::vector<QString>>> storedCodes;
    std::optional<Timed<Vin>> vin;
    std::optional<SupportedPids> supported;
};

// The ELM327 control loop. It opens the adapter (a serial one at each baud rate of the
// options in turn until one answers), resets it and sets it up, has it find the car's
// protocol, then reads the car in turn: engine speed about twice a second, temperatures,
// and now and then the lamp, readiness and stored codes, and the VIN once. It sends one
// command only after the adapter's '>' prompt for the last one, gives every command a
// time-out, and sets the adapter up again whenever it announces a reset.
//
// tick() never waits: it reads what has come, acts on it and returns, so the program
// calls it on a timer of its own beside the analyser's polling, and tests call it in
// virtual time.
class ElmSession {
public:
    enum class State : std::uint8_t {
        Closed,     // not open; opened again after Options::retryAfterMs
        Resetting,  // ATZ sent, waiting for the banner
        SettingUp,  // echo, line feeds, headers, protocol
        Searching,  // 0100: the adapter looks for the car's protocol
        NoCar,      // the car did not answer (ignition off?); asked again after Options::retryAfterMs
        Reading,    // reading the car
        Recovering, // a command got no prompt in time; waiting for a late one before resetting
    };

    struct Options {
        // Baud rates tried in turn on a serial adapter; empty for one without a line of its own (TCP, demo).
        std::vector<int> baudRates{38400, 9600, 115200};
        int resetTimeoutMs = 3000;
        int commandTimeoutMs = 2000; // AT commands
        int requestTimeoutMs = 5000; // requests to the car
        int searchTimeoutMs = 20000; // the first 0100, while the adapter searches protocols
        int recoverMs = 2000;        // a late prompt after a time-out
        int retryAfterMs = 5000;
        int engineSpeedEveryMs = 500;
        int temperatureEveryMs = 2000;
        int statusEveryMs = 10000;
    };

    struct Sent {
        std::string command;
        std::int64_t atMs;
    };

    ElmSession(std::unique_ptr<link::ByteDevice> device, link::Pause &clock);
    ElmSession(std::unique_ptr<link::ByteDevice> device, link::Pause &clock, Options options);

    void start();
    void stop();
    void tick();
    // Another adapter in place of this one: the old one closed, everything it said
    // forgotten; started again only by start().
    void use(std::unique_ptr<link::ByteDevice> device, Options options);

    State state() const { return state_; }
    const ObdReadings &readings() const { return readings_; }
    // The latest thing that went wrong, for the operator; empty while all is well.
    const QString &problem() const { return problem_; }
    // The adapter's banner ("ELM327 v1.5") once it has answered the reset.
    const QString &adapter() const { return adapter_; }
    int baudRate() const { return baudRate_; }
    const std::vector<Sent> &sent() const { return sent_; }
    // The session's clock, which the readings' times are on.
    std::int64_t nowMs() const { return clock_.nowMs(); }
    link::ByteDevice &device() { return *device_; }

    // Called after every reply the session acted on, and when the device opens or goes.
    std::function<void()> onChange;

private:
    enum class Kind : std::uint8_t { Reset, Setup, Search, Supported, Status, Codes, Vin, Speed, Coolant, Oil };
    struct Request {
        std::string text;
        Kind kind;
        int timeoutMs;
        std::uint8_t pid = 0;
    };

    // Its problem is also kept in problem(): the loop runs on a timer nobody waits on.
    Done open(bool nextBaud);
    void closeDevice(const QString &why);
    void send(Request request);
    void replyComplete();
    void onReply(const Request &request, const ElmReply &reply);
    void onTimeout();
    void startReset();
    void nextSetup();
    void startReading();
    void pickNext();
    void forget(Kind kind);
    void setProblem(QString text);
    void changed();

    std::unique_ptr<link::ByteDevice> device_;
    link::Pause &clock_;
    Options options_;
    State state_ = State::Closed;
    bool running_ = false;
    std::size_t baudIndex_ = 0;
    int baudRate_ = 0;
    int silentBauds_ = 0;
    std::int64_t retryAtMs_ = 0;

    std::optional<Request> pending_;
    std::int64_t deadlineMs_ = 0;
    std::string raw_;
    std::size_t setupStep_ = 0;
    bool headers_ = false;
    std::vector<std::uint8_t> bitmapsToAsk_;
    bool vinAsked_ = false;
    std::int64_t lastSpeedMs_ = -1000000, lastTemperatureMs_ = -1000000, lastStatusMs_ = -1000000;
    bool coolantNext_ = true;
    bool codesDue_ = false;
    bool timedOutWhileReading_ = false;

    ObdReadings readings_;
    QString problem_;
    QString adapter_;
    std::vector<Sent> sent_;
};

QString StateName(ElmSession::State state);

} // namespace qova::obd
