#pragma once

#include <cstdint>
#include <functional>

namespace qova::link {

// Every fixed wait of an exchange goes through a Pause, so the exact exchanges
// can run in tests in virtual time while the program keeps its windows painted.
class Pause {
public:
    virtual ~Pause() = default;

    // Monotonic milliseconds; only differences mean anything.
    virtual std::int64_t nowMs() const = 0;
    virtual void sleepMs(int ms) = 0;

    // Waits at most `ms`, ending as soon as `done()` holds. Returns whether it held.
    // The default polls every millisecond through sleepMs().
    virtual bool sleepUntil(int ms, const std::function<bool()> &done);
};

// Time moves only when somebody sleeps: tests run an exchange of seconds in microseconds.
class VirtualPause final : public Pause {
public:
    std::int64_t nowMs() const override { return now_; }
    void sleepMs(int ms) override;
    // Total time slept, for asserting the waits an exchange made.
    std::int64_t sleptMs() const { return now_; }

private:
    std::int64_t now_ = 0;
};

// A plain thread sleep, for programs without windows (the simulator, benchmarks).
class ThreadPause final : public Pause {
public:
    std::int64_t nowMs() const override;
    void sleepMs(int ms) override;
};

// Keeps the program's windows painting while an exchange waits. User input is held
// back, so no button can start a second exchange in the middle of one.
class EventLoopPause final : public Pause {
public:
    std::int64_t nowMs() const override;
    void sleepMs(int ms) override;
    bool sleepUntil(int ms, const std::function<bool()> &done) override;
};

} // namespace qova::link
