#pragma once

#include "link/livereading.h"
#include "link/serialport.h"

#include <QObject>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

class QTimer;

namespace qova::link {

class SessionUse;

// What the analyser's status bytes ask of the operator, in the order they are asked.
enum class PromptKind : std::uint8_t {
    LeakTestFailed,
    LeakTestPassed,
    DoLeakTest,
    ReadyForLeakTest,
    ReadyForZero,
    HcCheckReady,
    HcCheckDone,
    LowFlow,
};
enum class PromptIcon : std::uint8_t { Stop, Information, Question };
enum class PromptButtons : std::uint8_t { Ok, YesNo };

struct Prompt {
    PromptKind kind;
    QString caption;
    QString text;
    PromptIcon icon;
    PromptButtons buttons;
    // The byte for OK or Yes, and for No. An OK box has one answer, so both are the same.
    std::uint8_t confirmReply;
    std::uint8_t declineReply;
    bool operator==(const Prompt &) const = default;
};

struct StatusPrompts {
    std::vector<Prompt> prompts;
    // The status reads "Zeroing Sensors" once this many prompts have been answered.
    std::optional<std::size_t> zeroingAfter;
};

// The prompts a reading's status bytes call for: a leak test result, else the leak test
// offer and its ready question; then the zero, the HC residue check and low flow.
StatusPrompts DecodeStatus(const LiveReading &reading);

// One live exchange with the analyser, shared by every window that shows live readings:
// it opens the port, polls on a timer, reads and checks each frame, reopens a vanished
// adapter quietly, counts failed frames, decodes the status into prompts and writes the
// operator's replies. The windows only show what it signals.
//
// A cycle reads the frame the last poll asked for, signals it, then polls again, so the
// analyser has a whole period to answer. Cycles never nest: a prompt of one may still be
// open when the next tick comes.
class LiveSession final : public QObject {
    Q_OBJECT
public:
    struct Options {
        int periodMs = 2000;
        // A first cycle this long after the start, before the first period ends; 0 for none.
        int firstCycleMs = 0;
        // Waited between opening the port and the first poll.
        int settleMs = 0;
        // Decode the status into prompts and wait for their answers.
        bool prompts = false;
        // "No response" after more than this many failed frames in a row; 0 never.
        int noResponseAfter = 0;
    };

    explicit LiveSession(PortState &port, QObject *parent = nullptr);
    ~LiveSession() override;

    // Opens the port, sends the first poll and starts polling. The problem is the port's,
    // when it could not be opened.
    Done start(const Options &options);
    // Stops polling and closes the port; nothing when not started.
    void stop();
    bool isActive() const { return active_; }

    // A new period, as a resized graph asks for; a running timer restarts only on a change.
    void setPeriod(int periodMs);
    // Another window's way of polling on the open port: its period, prompts and "no
    // response" count; the port is not touched.
    void setOptions(const Options &options);
    const Options &options() const { return options_; }
    int period() const;
    bool isPolling() const;
    bool firstCycleDue() const;

    // No tick while a modal box or dialog of the caller's is open; resume restarts the
    // period when the session is still active.
    void hold();
    void resume();
    // The next tick runs no cycle, as after a command the analyser needs a moment for.
    void skipNextTick() { skipNextTick_ = true; }
    bool skipsNextTick() const { return skipNextTick_; }

    // A single command byte now (pump, zero, reset calibration).
    bool send(std::uint8_t command);

    // The timer's tick: a cycle, unless the tick is to be skipped.
    void tick();
    // One poll cycle.
    void cycle();

    // Called from a promptRaised handler with the operator's answer; unanswered, a prompt
    // gets its decline reply, the cautious one.
    void answer(bool confirmed) { answer_ = confirmed; }

    int failedFrames() const { return failedFrames_; }
    // The last frame read, valid or not.
    const LiveReading &lastFrame() const { return frame_; }

signals:
    // A valid frame as received, before any prompt it calls for.
    void validFrame(const qova::link::LiveReading &reading);
    void promptRaised(const qova::link::Prompt &prompt);
    void zeroingUnderway();
    // The valid frame again once its prompts are answered, while the session still runs.
    void readingReady(const qova::link::LiveReading &reading);
    void invalidFrame(int failedFrames);
    void noResponse();

private:
    friend class SessionUse;

    void runPrompts(const LiveReading &reading);
    void stopTimers();

    PortState &port_;
    Options options_;
    QTimer *timer_;
    QTimer *firstCycle_;
    LiveReading frame_;
    int failedFrames_ = 0;
    bool active_ = false;
    bool inCycle_ = false;
    bool skipNextTick_ = false;
    std::optional<bool> answer_;
    // The windows using the session, the one it answers last.
    std::vector<SessionUse *> uses_;
};

} // namespace qova::link
