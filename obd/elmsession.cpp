#include "obd/elmsession.h"

#include "obd/obdcommands.h"

namespace qova::obd {

namespace {

std::string requestText(std::uint8_t svc, std::uint8_t pid)
{
    static const char kHex[] = "0123456789ABCDEF";
    return {kHex[svc >> 4], kHex[svc & 0x0F], kHex[pid >> 4], kHex[pid & 0x0F]};
}

std::string serviceText(std::uint8_t svc)
{
    return requestText(svc, 0).substr(0, 2);
}

const std::string_view kSetupCommands[] = {command::kEchoOff, command::kLineFeedsOff, command::kHeadersOn,
                                           command::kProtocolAuto};

// Answers that say the car is not there at all, rather than that one reading is missing.
bool carGone(ElmFailure f)
{
    return f == ElmFailure::UnableToConnect || f == ElmFailure::BusInit || f == ElmFailure::CanError ||
           f == ElmFailure::FeedbackError || f == ElmFailure::BusBusy;
}

} // namespace

QString StateName(ElmSession::State state)
{
    switch (state) {
    case ElmSession::State::Closed:
        return QStringLiteral("not connected");
    case ElmSession::State::Resetting:
        return QStringLiteral("resetting the adapter");
    case ElmSession::State::SettingUp:
        return QStringLiteral("setting the adapter up");
    case ElmSession::State::Searching:
        return QStringLiteral("looking for the car");
    case ElmSession::State::NoCar:
        return QStringLiteral("no answer from the car");
    case ElmSession::State::Reading:
        return QStringLiteral("reading the car");
    case ElmSession::State::Recovering:
        return QStringLiteral("waiting for the adapter");
    }
    return {};
}

ElmSession::ElmSession(std::unique_ptr<link::ByteDevice> device, link::Pause &clock)
    : ElmSession(std::move(device), clock, Options{})
{
}

ElmSession::ElmSession(std::unique_ptr<link::ByteDevice> device, link::Pause &clock, Options options)
    : device_(std::move(device)), clock_(clock), options_(std::move(options))
{
}

void ElmSession::start()
{
    running_ = true;
    baudIndex_ = 0;
    silentBauds_ = 0;
    retryAtMs_ = clock_.nowMs();
    tick();
}

void ElmSession::stop()
{
    running_ = false;
    pending_.reset();
    device_->close();
    state_ = State::Closed;
    readings_ = {};
    changed();
}

void ElmSession::use(std::unique_ptr<link::ByteDevice> device, Options options)
{
    running_ = false;
    pending_.reset();
    device_->close();
    device_ = std::move(device);
    options_ = std::move(options);
    state_ = State::Closed;
    readings_ = {};
    problem_.clear();
    adapter_.clear();
    baudRate_ = 0;
    raw_.clear();
    changed();
}

Done ElmSession::open(bool nextBaud)
{
    if (nextBaud && !options_.baudRates.empty())
        baudIndex_ = (baudIndex_ + 1) % options_.baudRates.size();
    device_->close();
    if (!options_.baudRates.empty()) {
        baudRate_ = options_.baudRates[baudIndex_];
        device_->setBaudRate(baudRate_);
    }
    const bool ok =
        device_->openDevice() && device_->setLineSettings() && device_->setTimeouts() && device_->setQueues();
    if (!ok) {
        // The reason is the system's sentence, which the message has always closed with a stop.
        Problem problem{QStringLiteral("The OBD adapter %1 could not be opened").arg(device_->deviceName()),
                        device_->errorString() + QLatin1Char('.'),
                        QStringLiteral("Check the adapter's connection and the choice in FILE > COMM.")};
        device_->close();
        state_ = State::Closed;
        retryAtMs_ = clock_.nowMs() + options_.retryAfterMs;
        setProblem(problem.text());
        changed();
        return problem;
    }
    raw_.clear();
    startReset();
    return {};
}

void ElmSession::closeDevice(const QString &why)
{
    device_->close();
    pending_.reset();
    state_ = State::Closed;
    readings_ = {};
    retryAtMs_ = clock_.nowMs() + options_.retryAfterMs;
    setProblem(why);
    changed();
}

void ElmSession::send(Request request)
{
    raw_.clear();
    for (char c : request.text)
        if (!device_->writeByte(static_cast<std::uint8_t>(c)))
            break;
    device_->writeByte('\r');
    sent_.push_back({request.text, clock_.nowMs()});
    if (sent_.size() > 256) // a record for tests and diagnosis, never a growing log
        sent_.erase(sent_.begin(), sent_.begin() + 128);
    deadlineMs_ = clock_.nowMs() + request.timeoutMs;
    pending_ = std::move(request);
}

void ElmSession::tick()
{
    if (!running_)
        return;
    if (state_ == State::Closed) {
        if (clock_.nowMs() >= retryAtMs_)
            (void)open(false); // a failure is kept in problem() and tried again after retryAfterMs
        return;
    }
    if (!device_->isOpen()) {
        closeDevice(QStringLiteral("The OBD adapter %1 went away (%2). The readings from the car are unknown "
                                   "until it is back; it is looked for every few seconds.")
                        .arg(device_->deviceName(), device_->errorString()));
        return;
    }
    // A flood must not hold the program here: a tick reads a bounded number of bytes.
    for (std::size_t budget = 2 * kMaxReplyBytes; budget > 0 && device_->queuedBytes() > 0; --budget) {
        const auto byte = device_->readByte();
        if (!byte)
            break;
        if (*byte == '>') {
            replyComplete();
            if (state_ == State::Closed)
                return;
            continue;
        }
        if (raw_.size() <= kMaxReplyBytes)
            raw_.push_back(static_cast<char>(*byte));
    }
    if (pending_ && clock_.nowMs() >= deadlineMs_) {
        onTimeout();
        return;
    }
    if (!pending_)
        pickNext();
}

void ElmSession::replyComplete()
{
    const std::string raw = std::move(raw_);
    raw_.clear();
    if (state_ == State::Recovering) {
        // The late prompt of the command that timed out: the adapter is listening again. A
        // reading goes on; a set-up that was cut short starts again from the reset.
        pending_.reset();
        if (timedOutWhileReading_) {
            state_ = State::Reading;
            pickNext();
        } else {
            startReset();
        }
        return;
    }
    if (!pending_) {
        // Said without being asked: only a reset banner means anything then.
        const ElmReply reply = ParseReply(raw, {});
        if (reply.banner && state_ != State::Resetting) {
            adapter_ = reply.failure == ElmFailure::LowVoltageReset ? adapter_ : *reply.banner;
            setProblem(
                QStringLiteral("The OBD adapter reset itself (%1); it is being set up again.").arg(*reply.banner));
            readings_ = {};
            state_ = State::SettingUp;
            setupStep_ = 0;
            nextSetup();
            changed();
        }
        return;
    }
    const Request request = *pending_;
    pending_.reset();
    onReply(request, ParseReply(raw, request.text));
}

void ElmSession::onTimeout()
{
    const Request request = *pending_;
    pending_.reset();
    if (state_ == State::Recovering) {
        startReset(); // no prompt at all: a reset interrupts whatever the adapter is doing
        return;
    }
    if (request.kind == Kind::Reset) {
        // Silent, or talking at another speed: try the next baud rate.
        ++silentBauds_;
        const bool triedAll = options_.baudRates.empty() || silentBauds_ >= static_cast<int>(options_.baudRates.size());
        if (triedAll) {
            silentBauds_ = 0;
            QString bauds;
            for (int b : options_.baudRates)
                bauds += (bauds.isEmpty() ? QString() : QStringLiteral(", ")) + QString::number(b);
            closeDevice(options_.baudRates.empty()
                            ? QStringLiteral("The OBD adapter %1 does not answer. Check that it is plugged into the "
                                             "car and that the address in FILE > COMM is an OBD adapter's.")
                                  .arg(device_->deviceName())
                            : QStringLiteral("The OBD adapter %1 does not answer at %2 baud. Check that it is "
                                             "plugged into the car (it takes its power from there) and that the "
                                             "port in FILE > COMM is the adapter's.")
                                  .arg(device_->deviceName(), bauds));
            return;
        }
        (void)open(true); // a failure is kept in problem()
        return;
    }
    setProblem(FailureMessage(ElmFailure::NoAnswer, {}, QString::fromStdString(request.text)));
    forget(request.kind);
    // The adapter may still be busy: one more wait for its prompt before starting it again,
    // so the next command never lands in the middle of an answer.
    timedOutWhileReading_ = state_ == State::Reading;
    pending_ = request;
    state_ = State::Recovering;
    deadlineMs_ = clock_.nowMs() + options_.recoverMs;
    raw_.clear();
    changed();
}

void ElmSession::startReset()
{
    state_ = State::Resetting;
    headers_ = false;
    send({std::string(command::kReset), Kind::Reset, options_.resetTimeoutMs});
}

void ElmSession::nextSetup()
{
    if (setupStep_ < std::size(kSetupCommands)) {
        send({std::string(kSetupCommands[setupStep_]), Kind::Setup, options_.commandTimeoutMs});
        return;
    }
    state_ = State::Searching;
    send({requestText(service::kCurrentData, pid::kSupported01To20), Kind::Search, options_.searchTimeoutMs,
          pid::kSupported01To20});
}

void ElmSession::startReading()
{
    state_ = State::Reading;
    vinAsked_ = false;
    codesDue_ = false;
    lastSpeedMs_ = lastTemperatureMs_ = lastStatusMs_ = clock_.nowMs() - 1000000;
    pickNext();
}

void ElmSession::pickNext()
{
    const auto now = clock_.nowMs();
    if (state_ == State::NoCar) {
        if (now >= retryAtMs_) {
            state_ = State::Searching;
            send({requestText(service::kCurrentData, pid::kSupported01To20), Kind::Search, options_.searchTimeoutMs,
                  pid::kSupported01To20});
        }
        return;
    }
    if (state_ != State::Reading)
        return;
    const int rt = options_.requestTimeoutMs;
    if (!bitmapsToAsk_.empty()) {
        const std::uint8_t base = bitmapsToAsk_.front();
        bitmapsToAsk_.erase(bitmapsToAsk_.begin());
        send({requestText(service::kCurrentData, base), Kind::Supported, rt, base});
    } else if (now - lastSpeedMs_ >= options_.engineSpeedEveryMs) {
        lastSpeedMs_ = now;
        send({requestText(service::kCurrentData, pid::kEngineSpeed), Kind::Speed, rt});
    } else if (now - lastStatusMs_ >= options_.statusEveryMs) {
        lastStatusMs_ = now;
        codesDue_ = true;
        send({requestText(service::kCurrentData, pid::kMonitorStatus), Kind::Status, rt});
    } else if (codesDue_) {
        codesDue_ = false;
        send({serviceText(service::kStoredCodes), Kind::Codes, rt});
    } else if (!vinAsked_) {
        vinAsked_ = true;
        send({requestText(service::kVehicleInfo, pid::kVin), Kind::Vin, rt});
    } else if (now - lastTemperatureMs_ >= options_.temperatureEveryMs / 2) {
        // Coolant and oil take turns, so each is read every temperatureEveryMs.
        const bool oilKnownMissing = !readings_.supported || !readings_.supported->has(pid::kOilTemperature);
        const bool coolant = coolantNext_ || oilKnownMissing;
        coolantNext_ = !coolant;
        lastTemperatureMs_ = now;
        if (coolant)
            send({requestText(service::kCurrentData, pid::kCoolantTemperature), Kind::Coolant, rt});
        else
            send({requestText(service::kCurrentData, pid::kOilTemperature), Kind::Oil, rt});
    }
}

void ElmSession::forget(Kind kind)
{
    switch (kind) {
    case Kind::Speed:
        readings_.engineSpeed.reset();
        break;
    case Kind::Coolant:
        readings_.coolant.reset();
        break;
    case Kind::Oil:
        readings_.oil.reset();
        break;
    case Kind::Status:
        readings_.status.reset();
        break;
    case Kind::Codes:
        readings_.storedCodes.reset();
        break;
    case Kind::Vin:
        readings_.vin.reset();
        vinAsked_ = false;
        break;
    default:
        break;
    }
}

void ElmSession::onReply(const Request &request, const ElmReply &reply)
{
    const QString command = QString::fromStdString(request.text);
    if (reply.banner && request.kind != Kind::Reset) {
        // Reset in the middle of the session (power dip, a second program): start over from
        // its fresh state, echo on and headers off.
        if (reply.failure != ElmFailure::LowVoltageReset)
            adapter_ = *reply.banner;
        setProblem(QStringLiteral("The OBD adapter reset itself (%1) while answering %2; it is being set up again.")
                       .arg(*reply.banner, command));
        readings_ = {};
        state_ = State::SettingUp;
        setupStep_ = 0;
        headers_ = false;
        nextSetup();
        changed();
        return;
    }
    switch (request.kind) {
    case Kind::Reset:
        silentBauds_ = 0;
        if (reply.banner)
            adapter_ = *reply.banner;
        state_ = State::SettingUp;
        setupStep_ = 0;
        nextSetup();
        break;
    case Kind::Setup: {
        const bool ok = reply.failure == ElmFailure::None && !reply.lines.empty() &&
                        reply.lines.back().compare(QLatin1String("OK"), Qt::CaseInsensitive) == 0;
        if (!ok) {
            setProblem(QStringLiteral("The OBD adapter did not accept %1 (%2). It may not be ELM327-compatible; "
                                      "it is reset and tried again.")
                           .arg(command, reply.failure != ElmFailure::None ? reply.failureLine
                                         : reply.lines.empty()             ? QStringLiteral("no answer")
                                                                           : reply.lines.front()));
            state_ = State::Closed;
            device_->close();
            retryAtMs_ = clock_.nowMs() + options_.retryAfterMs;
            break;
        }
        if (request.text == command::kHeadersOn)
            headers_ = true;
        ++setupStep_;
        nextSetup();
        break;
    }
    case Kind::Search: {
        const Framing framing = FrameMessages(reply.lines, headers_);
        const auto bitmap = DecodeSupportedPids(framing.messages, pid::kSupported01To20);
        if (reply.failure != ElmFailure::None || !bitmap.known()) {
            state_ = State::NoCar;
            retryAtMs_ = clock_.nowMs() + options_.retryAfterMs;
            readings_ = {};
            setProblem(reply.failure != ElmFailure::None
                           ? FailureMessage(reply.failure, reply.failureLine, command)
                           : QStringLiteral("The car's answer to %1 could not be read: %2")
                                 .arg(command, framing.problem.isEmpty() ? bitmap.problem : framing.problem));
            break;
        }
        readings_.supported = bitmap.value;
        bitmapsToAsk_.clear();
        if (readings_.supported->has(pid::kSupported21To40))
            bitmapsToAsk_.push_back(pid::kSupported21To40);
        problem_.clear();
        startReading();
        break;
    }
    default: {
        if (carGone(reply.failure)) {
            state_ = State::NoCar;
            retryAtMs_ = clock_.nowMs() + options_.retryAfterMs;
            readings_ = {};
            setProblem(FailureMessage(reply.failure, reply.failureLine, command));
            break;
        }
        if (reply.failure != ElmFailure::None) {
            forget(request.kind);
            setProblem(FailureMessage(reply.failure, reply.failureLine, command));
            break;
        }
        const Framing framing = FrameMessages(reply.lines, headers_);
        const auto now = clock_.nowMs();
        QString problem;
        switch (request.kind) {
        case Kind::Supported: {
            const auto more = DecodeSupportedPids(framing.messages, request.pid);
            if (more.known() && readings_.supported) {
                for (std::size_t i = 0; i < 32; ++i)
                    readings_.supported->pids[(request.pid + 1 + i) & 0xFF] =
                        more.value->pids[(request.pid + 1 + i) & 0xFF];
                const auto next = static_cast<std::uint8_t>(request.pid + 0x20);
                if (next != 0 && readings_.supported->has(next))
                    bitmapsToAsk_.push_back(next);
            } else {
                problem = more.problem;
            }
            break;
        }
        case Kind::Speed: {
            const auto d = DecodeEngineSpeed(framing.messages);
            readings_.engineSpeed = d.known() ? std::optional(Timed<double>{*d.value, now}) : std::nullopt;
            problem = d.problem;
            break;
        }
        case Kind::Coolant:
        case Kind::Oil: {
            const bool oil = request.kind == Kind::Oil;
            const auto d = DecodeTemperature(framing.messages, oil ? pid::kOilTemperature : pid::kCoolantTemperature);
            auto &slot = oil ? readings_.oil : readings_.coolant;
            slot = d.known() ? std::optional(Timed<int>{*d.value, now}) : std::nullopt;
            problem = d.problem;
            break;
        }
        case Kind::Status: {
            const auto d = DecodeMonitorStatus(framing.messages);
            readings_.status = d.known() ? std::optional(Timed<MonitorStatus>{*d.value, now}) : std::nullopt;
            problem = d.problem;
            break;
        }
        case Kind::Codes: {
            const auto d = DecodeStoredCodes(framing.messages);
            readings_.storedCodes =
                d.known() ? std::optional(Timed<std::vector<QString>>{*d.value, now}) : std::nullopt;
            problem = d.problem;
            break;
        }
        case Kind::Vin: {
            const auto d = DecodeVin(framing.messages);
            readings_.vin = d.known() ? std::optional(Timed<Vin>{*d.value, now}) : std::nullopt;
            problem = d.problem;
            break;
        }
        default:
            break;
        }
        if (!problem.isEmpty() && !framing.problem.isEmpty())
            problem += QStringLiteral(" (%1)").arg(framing.problem);
        if (!problem.isEmpty())
            setProblem(QStringLiteral("The car's answer to %1 could not be used. %2").arg(command, problem));
        break;
    }
    }
    changed();
}

void ElmSession::setProblem(QString text)
{
    problem_ = std::move(text);
}

void ElmSession::changed()
{
    if (onChange)
        onChange();
}

} // namespace qova::obd
