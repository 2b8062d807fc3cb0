#pragma once

#include "check/limitset.h"
#include "check/readingsource.h"
#include "link/livereading.h"

#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

namespace qova::check {

struct CheckSettings {
    int oilWarmTenths = 600; // 0.1 degC
    int settleMs = 10000;    // inside the speed window before measuring
    int passWindowMs = 5000; // continuous good readings that pass a stage
    int measureMs = 30000;   // of measuring without a pass fails the stage
    // How long each step may wait before the check ends not completed: the analyser to be
    // ready with clean air (its warm-up alone can take minutes), the engine to warm, and
    // each stage from its start (bringing the engine to speed, settling and measuring).
    int readyTimeoutMs = 900000;
    int warmTimeoutMs = 1200000;
    int stageTimeoutMs = 300000;
    // With an OBD adapter, how long the check waits after its last stage for the car's
    // monitor status and stored codes when they were not read during it.
    int obdReadoutTimeoutMs = 30000;
    // The residual HC waits for the operator's word that the probe is in clean air; off,
    // the first reading of a ready analyser is taken as clean air.
    bool askCleanAir = false;
};

enum class CheckPhase : std::uint8_t {
    WaitingForAnalyser, // counting down, a prompt pending, zeroing or the pump off
    WaitingForCleanAir, // ready; the operator is to say the probe is in clean air
    WaitingForWarmEngine,
    WaitingForWarmConfirmation, // no oil probe: the operator says when it is warm
    WaitingForSpeed,            // outside the stage's engine speed window
    Settling,
    Measuring,
    Finished,
};

// NotCompleted: a step waited past its time-out; the check ended without a verdict.
enum class Verdict : std::uint8_t { Pending, Pass, Fail, Recorded, NotCompleted };

// Clean air as the bench must read it before its HC is taken as the sample line's
// residual: every valid reading of the last 3 s within these.
struct CleanAirRule {
    static constexpr std::int64_t kSpanMs = 3000;
    static constexpr int kCo2MaxTenths = 1;       // 0.1 % vol
    static constexpr int kO2MinHundredths = 2000; // 20.0 % vol
    static constexpr int kHcMaxPpm = 20;
};

struct GasSummary {
    double mean = 0;
    int worst = 0; // highest CO and HC; lambda farthest from 1
};
// The readings of the window that decided a stage, in the analyser's units (CO 0.01 %,
// HC ppm after the residual, lambda x1000).
struct WindowSummary {
    std::int64_t fromMs = 0, toMs = 0;
    int readings = 0;
    GasSummary co, hc, lambda, rpm;
};

struct StageResult {
    StageKind kind = StageKind::NaturalIdle;
    Verdict verdict = Verdict::Pending;
    QStringList gasesOut; // "CO", "HC", "lambda"
    QString reason;
    WindowSummary window;
    bool rechecked = false; // the HC re-check was run
    // The window that decided HC at the re-check speed; `window` then holds the last
    // readings at the stage's own speed, where CO was judged.
    std::optional<WindowSummary> recheckWindow;
};

// Every frame of the check as it came, for the certificate's plot. Values as judged
// (HC after the residual, lambda x1000); `valid` false for a frame that failed its check.
struct TracePoint {
    std::int64_t atMs = 0;
    bool valid = false;
    int co = 0, hc = 0, lambda = 0, rpm = 0;
    CheckPhase phase = CheckPhase::WaitingForAnalyser; // after the frame was taken in
    int stage = 0;
    bool recheckingHc = false;
};

struct CheckState {
    CheckPhase phase = CheckPhase::WaitingForAnalyser;
    int stage = 0; // index into the set's stages
    std::optional<int> residualHc;
    // Why the last readings offered as clean air were refused ("CO2 1.4 % (at most 0.1 %)"),
    // empty once the residual is taken or while nothing was refused.
    QString cleanAirRefused;
    // Why a step's time-out ended the check (Verdict::NotCompleted).
    QString notCompletedReason;
    std::vector<StageResult> stages;
    Verdict overall = Verdict::Pending;
    bool recheckingHc = false; // the current stage's HC is being measured again
    // How the engine was found warm: the oil temperature (0.1 degC) at that moment, or
    // the operator's word when there is no oil probe.
    std::optional<int> warmOilTenths;
    bool warmConfirmedByOperator = false;
    // The same for every source: which one showed the engine warm, and its temperature
    // then (0.1 degC; none for the operator's word).
    WarmSource warmSource = WarmSource::None;
    std::optional<int> warmTenths;
    std::vector<TracePoint> trace;
};

// One emissions check of one vehicle against one limit set, fed with the time and every
// live frame as it comes (or std::nullopt for a frame that failed its check). It holds
// no clock and no device, so the same frames always give the same verdict.
class EmissionsCheck {
public:
    EmissionsCheck(LimitSet limits, Fuel fuel, CheckSettings settings = {});

    void feed(std::int64_t nowMs, const std::optional<link::LiveReading> &frame);
    // The clock alone, for when no frame comes at all: ends the check when a step has
    // waited past its time-out.
    void tick(std::int64_t nowMs);
    // The operator's word that the probe is in clean air: the next ready reading gives
    // the residual HC.
    void confirmCleanAir() { cleanAirConfirmed_ = true; }
    // The operator's word that an engine without an oil probe is warm.
    void confirmEngineWarm();
    // The temperatures the car's own sensors give now (0.1 degC), none when not read or
    // no longer fresh; they count only when the analyser has no oil probe.
    struct CarTemperatures {
        std::optional<int> oilTenths, coolantTenths;
    };
    void setCarTemperatures(const CarTemperatures &car) { car_ = car; }
    const CarTemperatures &carTemperatures() const { return car_; }
    // The source the engine's warmth was last judged by while waiting for it to warm.
    WarmSource warmingBy() const { return warmWaitedOn_; }

    const CheckState &state() const { return state_; }
    bool finished() const { return state_.phase == CheckPhase::Finished; }
    const LimitSet &limits() const { return limits_; }
    // The speed window and limits being applied now: the current stage's, or during an
    // HC re-check its speed window with HC alone.
    const StageLimits &activeStage() const { return active_; }
    const CheckSettings &settings() const { return settings_; }
    Fuel fuel() const { return fuel_; }

    // How far the current stage has come at `nowMs`, for the countdowns on screen.
    struct Progress {
        std::int64_t settledMs = 0;  // Settling: inside the speed window so far
        std::int64_t goodRunMs = 0;  // Measuring: the current run of good readings
        std::int64_t measuredMs = 0; // Measuring: of this stage, every spell together
    };
    Progress progress(std::int64_t nowMs) const;

    // Lambda x1000 of a frame: the analyser's, or its AFR over the stoichiometric AFR of
    // the fuel the analyser is set to.
    static int LambdaThousandths(const link::LiveReading &r);
    // An oil temperature of 0 is what the analyser sends with no probe fitted.
    static bool HasOilProbe(const link::LiveReading &r) { return r.OilTemp != 0; }
    static bool AnalyserReady(const link::LiveReading &r);

    // Each gas against the limits (a gas without a limit is good); HC never counts for CNG.
    struct GasesGood {
        bool co = true, hc = true, lambda = true;
        bool all() const { return co && hc && lambda; }
    };
    static GasesGood JudgeGases(const GasLimits &limits, Fuel fuel, int co, int hc, int lambda);

private:
    struct Sample {
        std::int64_t atMs;
        int co, hc, lambda, rpm;
    };
    const StageLimits &stage() const { return active_; }
    Sample sampleOf(std::int64_t nowMs, const link::LiveReading &r) const;
    GasesGood judge(const Sample &s) const;
    void measure(std::int64_t nowMs, const std::optional<Sample> &sample);
    // Out of the engine speed window, or the analyser busy: settling starts again.
    void leaveWindow(std::int64_t nowMs);
    // The stage's measuring time is up without a pass.
    void expire(std::int64_t nowMs);
    void enterStage(int index);
    void finishStage(Verdict verdict, const std::vector<Sample> &window, QString reason);
    void breakRun() { run_.clear(); }
    void startRecheck(std::vector<Sample> idleWindow);
    void take(std::int64_t nowMs, const std::optional<link::LiveReading> &frame);
    static WindowSummary summarise(const std::vector<Sample> &window);
    // The residual HC from the last 3 s of ready readings, or why they are not clean air.
    bool takeCleanAir(std::int64_t nowMs);
    void endNotCompleted(QString reason);
    // Whether the engine is warm by the first source there is; sets the state's source when it is.
    bool engineWarm(const link::LiveReading &frame);
    struct AirReading {
        std::int64_t atMs;
        int co2, o2, hc;
    };

    LimitSet limits_;
    Fuel fuel_;
    CheckSettings settings_;
    CheckState state_;
    bool warmConfirmed_ = false;
    bool cleanAirConfirmed_ = false;
    CarTemperatures car_;
    WarmSource warmWaitedOn_ = WarmSource::OilProbe; // for the warm step's time-out text
    std::vector<AirReading> air_;                    // ready readings of the last 3 s
    std::optional<std::int64_t> readySinceMs_;       // the analyser ready without a break since
    std::optional<std::int64_t> stepSinceMs_;        // the current step (ready, warm, a stage) began
    QString lastWait_;                               // what the step was last waiting on, for its time-out

    std::int64_t phaseSinceMs_ = 0;
    std::int64_t measuredMs_ = 0;  // of this stage, before the current spell
    std::vector<Sample> run_;      // the current unbroken run of good readings
    std::vector<Sample> measured_; // every measured reading of this stage
    QStringList out_;              // gases out at some time while measuring
    StageLimits active_;
    std::vector<Sample> beforeRecheck_; // the stage's last readings at its own speed
};

} // namespace qova::check
