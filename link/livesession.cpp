#include "link/livesession.h"

#include "link/protocol.h"

#include <QTimer>

namespace qova::link {

namespace {

const QString kLeakCaption = QStringLiteral("          LEAKTEST");
const QString kZeroCaption = QStringLiteral("           ZERO");
const QString kHcCaption = QStringLiteral("           HC CHECK");
const QString kLowFlowCaption = QStringLiteral("      Low Flow");

Prompt tell(PromptKind kind, const QString &caption, const QString &text, PromptIcon icon)
{
    return {kind, caption, text, icon, PromptButtons::Ok, kConfirmReply, kConfirmReply};
}

Prompt ask(PromptKind kind, const QString &text)
{
    return {kind, kLeakCaption, text, PromptIcon::Question, PromptButtons::YesNo, kConfirmReply, kDeclineReply};
}

} // namespace

StatusPrompts DecodeStatus(const LiveReading &reading)
{
    const std::uint8_t a = reading.StatusA;
    const std::uint8_t b = reading.StatusB;
    StatusPrompts out;
    auto &p = out.prompts;
    // A result ends the leak test, so its offer and ready question are not asked with it.
    if (a & LeakTestFailed)
        p.push_back(
            tell(PromptKind::LeakTestFailed, kLeakCaption, QStringLiteral("Leak test Failed ?"), PromptIcon::Stop));
    else if (a & LeakTestPassed)
        p.push_back(tell(PromptKind::LeakTestPassed, kLeakCaption, QStringLiteral("Leak test Passed ?"),
                         PromptIcon::Information));
    else {
        if (a & LeakTestOffer)
            p.push_back(ask(PromptKind::DoLeakTest, QStringLiteral("Do Leak test ?")));
        if (a & LeakTestReady)
            p.push_back(ask(PromptKind::ReadyForLeakTest, QStringLiteral("Ready For Leak test ?")));
    }
    if (a & ZeroReady)
        p.push_back(
            tell(PromptKind::ReadyForZero, kZeroCaption, QStringLiteral("READY FOR ZERO ?"), PromptIcon::Question));
    if ((a & ZeroReady) || (b & Zeroing))
        out.zeroingAfter = p.size();
    if (a & HcCheckReady)
        p.push_back(tell(PromptKind::HcCheckReady, kHcCaption, QStringLiteral("READY FOR HC RESIDUE CHECK ?"),
                         PromptIcon::Question));
    if (a & HcCheckDone)
        p.push_back(
            tell(PromptKind::HcCheckDone, kHcCaption, QStringLiteral("HC RESIDUE CHECK DONE"), PromptIcon::Question));
    if (b & LowFlow)
        p.push_back(tell(PromptKind::LowFlow, kLowFlowCaption, QStringLiteral("  Low Flow   "), PromptIcon::Stop));
    return out;
}

LiveSession::LiveSession(PortState &port, QObject *parent)
    : QObject(parent), port_(port), timer_(new QTimer(this)), firstCycle_(new QTimer(this))
{
    // A coarse timer may fire up to 5 % early, and the graph's time axis counts periods.
    timer_->setTimerType(Qt::PreciseTimer);
    timer_->setInterval(options_.periodMs);
    connect(timer_, &QTimer::timeout, this, &LiveSession::tick);
    firstCycle_->setTimerType(Qt::PreciseTimer);
    firstCycle_->setSingleShot(true);
    connect(firstCycle_, &QTimer::timeout, this, &LiveSession::cycle);
}

LiveSession::~LiveSession()
{
    stop();
}

Done LiveSession::start(const Options &options)
{
    stop();
    options_ = options;
    timer_->setInterval(options_.periodMs);
    frame_ = {};
    failedFrames_ = 0;
    skipNextTick_ = false;
    if (Done opened = OpenPort(port_); !opened.ok())
        return opened;
    if (options_.settleMs > 0)
        port_.pause->sleepMs(options_.settleMs);
    WriteByte(port_, kPollCommand);
    active_ = true;
    timer_->start();
    if (options_.firstCycleMs > 0)
        firstCycle_->start(options_.firstCycleMs);
    return {};
}

void LiveSession::stop()
{
    stopTimers();
    if (!active_)
        return;
    active_ = false;
    ClosePort(port_);
    frame_ = {};
}

void LiveSession::stopTimers()
{
    timer_->stop();
    firstCycle_->stop();
}

void LiveSession::setPeriod(int periodMs)
{
    options_.periodMs = periodMs;
    // Setting an interval restarts a running timer, so only a real change does.
    if (timer_->interval() != periodMs)
        timer_->setInterval(periodMs);
}

void LiveSession::setOptions(const Options &options)
{
    const int period = options.periodMs;
    options_ = options;
    setPeriod(period);
}

int LiveSession::period() const
{
    return timer_->interval();
}

bool LiveSession::isPolling() const
{
    return timer_->isActive();
}

bool LiveSession::firstCycleDue() const
{
    return firstCycle_->isActive();
}

void LiveSession::hold()
{
    stopTimers();
}

void LiveSession::resume()
{
    // A box may outlast the session; a stopped session never polls again.
    if (active_)
        timer_->start();
}

bool LiveSession::send(std::uint8_t command)
{
    return WriteByte(port_, command);
}

void LiveSession::tick()
{
    if (skipNextTick_) {
        skipNextTick_ = false;
        return;
    }
    cycle();
}

void LiveSession::cycle()
{
    if (!active_ || inCycle_)
        return;
    inCycle_ = true;
    struct Leave {
        bool &flag;
        ~Leave() { flag = false; }
    } leave{inCycle_};

    // An adapter pulled out closes its device. Each cycle tries once, quietly, to open it
    // again, so polling resumes by itself once it is back; until then the cycles fail as
    // with a silent analyser. A cycle that reopens still fails its read: the analyser has
    // had no poll to answer yet.
    if (!port_.handleValid())
        (void)OpenPort(port_);
    const bool valid = ReadLiveFrame(port_, frame_, failedFrames_);
    // The read may wait on the event loop, and the session may be stopped meanwhile.
    if (!active_)
        return;
    if (valid) {
        const LiveReading reading = frame_;
        emit validFrame(reading);
        if (options_.prompts)
            runPrompts(reading);
        if (!active_)
            return;
        emit readingReady(reading);
    } else {
        emit invalidFrame(failedFrames_);
    }

    if (options_.noResponseAfter > 0 && failedFrames_ > options_.noResponseAfter) {
        hold();
        emit noResponse();
        resume();
        failedFrames_ = 0;
    }
    if (active_)
        RequestReading(port_);
}

void LiveSession::runPrompts(const LiveReading &reading)
{
    const StatusPrompts status = DecodeStatus(reading);
    for (std::size_t i = 0; i < status.prompts.size() && active_; ++i) {
        if (status.zeroingAfter == i)
            emit zeroingUnderway();
        const Prompt &prompt = status.prompts[i];
        // No poll may run while the operator reads the box.
        hold();
        answer_.reset();
        emit promptRaised(prompt);
        WriteByte(port_, answer_.value_or(false) ? prompt.confirmReply : prompt.declineReply);
    }
    if (status.zeroingAfter == status.prompts.size() && active_)
        emit zeroingUnderway();
    if (!timer_->isActive())
        resume();
}

} // namespace qova::link
