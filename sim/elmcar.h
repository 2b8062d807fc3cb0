#pragma once

#include "sim/analyser.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qova::sim {

// What the car's diagnostics say beside its engine.
enum class ObdCar : std::uint8_t {
    Healthy,     // lamp off, no codes, every monitor complete
    LampOn,      // the warning lamp commanded on, two stored codes (P0133, P0420)
    NotReady,    // three readiness monitors incomplete (catalyst, evaporative system, oxygen sensor)
    IgnitionOff, // the adapter finds no car: UNABLE TO CONNECT
};
// "healthy", "lamp-on", "not-ready", "ignition-off".
std::string_view ObdCarName(ObdCar car);
std::optional<ObdCar> ObdCarFromName(std::string_view name);
std::vector<ObdCar> ObdCars();

// The engine as the car's own sensors see it.
struct ObdEngine {
    double rpm = 0;
    double coolantC = 20;
    double oilC = 20;
};

// An ELM327 adapter plugged into a car (CAN 11-bit, one engine ECU at 7E8), with the
// adapter's timings as recorded from a common emulator: the reset takes about half a
// second, the first request a protocol search of 1.5 s (4.5 s and UNABLE TO CONNECT with
// the ignition off). It takes ATZ, ATE, ATL, ATH, ATS, ATSP, ATI, ATRV, ATDPN; an empty
// line repeats the last command; a byte sent while it answers interrupts with STOPPED.
// Engine speed, coolant and oil follow `engine` at the time asked.
class ElmCar final : public Analyser {
public:
    ElmCar(ObdCar car, std::function<ObdEngine(std::int64_t nowMs)> engine);

    std::vector<std::uint8_t> receive(std::uint8_t byte, std::int64_t nowMs) override;
    std::vector<std::uint8_t> unasked(std::int64_t nowMs) override;

    std::string vin() const;

    static constexpr int kResetMs = 553;
    static constexpr int kSearchMs = 1505;
    static constexpr int kNoCarMs = 4500;
    static constexpr int kAnswerMs = 10;
    static constexpr std::size_t kMaxCommand = 64; // the adapter's input buffer, roughly

private:
    std::string answer(const std::string &command, int &delayMs);
    std::string carAnswer(std::uint8_t svc, std::optional<std::uint8_t> pid, int &delayMs, std::int64_t nowMs);
    std::string frames(const std::vector<std::uint8_t> &data) const;
    void finish(std::string body, int delayMs, std::int64_t nowMs);

    ObdCar car_;
    std::function<ObdEngine(std::int64_t)> engine_;
    std::string line_;
    std::string last_;
    bool echo_ = true, lineFeeds_ = false, headers_ = false, spaces_ = true, searched_ = false;
    std::string reply_;
    std::int64_t replyAtMs_ = -1;
    std::int64_t nowMs_ = 0;
};

// The OBD side of a simulated analyser's car: the engine that analyser measures (any other
// analyser: an engine at idle, warm). Engine speed as the car counts it, coolant a little
// ahead of the oil while it warms, the oil's own temperature where the probe reads none.
std::shared_ptr<Analyser> MakeObdCar(std::shared_ptr<Analyser> analyser, ObdCar car);

} // namespace qova::sim
