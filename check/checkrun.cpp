#include "check/checkrun.h"

#include "history/testarchive.h"
#include "link/livesession.h"
#include "obd/obdlink.h"

#include <algorithm>
#include <cmath>

namespace qova::check {

namespace {

// A figure typed: empty is "not given"; a comma is read as the decimal point.
bool readFigure(const QString &typed, std::optional<double> &out)
{
    const QString t = typed.trimmed();
    if (t.isEmpty())
        return true;
    bool ok = false;
    const double v = QLocale::c().toDouble(QString(t).replace(QLatin1Char(','), QLatin1Char('.')), &ok);
    if (ok && std::isfinite(v))
        out = v;
    return ok && std::isfinite(v);
}

} // namespace

QString ShortDateText(const QDate &date, const QLocale &locale)
{
    return locale.toString(date, locale.dateFormat(QLocale::ShortFormat));
}

VehicleRead ReadVehicle(const VehicleTyped &typed, const QLocale &locale)
{
    VehicleRead read;
    Vehicle v;
    v.registration = typed.registration.trimmed().toUpper();
    if (v.registration.isEmpty()) {
        read.problem = QStringLiteral("Type the vehicle's registration first.");
        read.field = VehicleField::Registration;
        return read;
    }
    const QString date = typed.firstUsed.trimmed();
    // The short form may write a two-digit year; a four-digit one is read first.
    const QString shortForm = locale.dateFormat(QLocale::ShortFormat);
    QString fourDigit = shortForm;
    if (!fourDigit.contains(QLatin1String("yyyy")))
        fourDigit.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    for (const QString &form :
         {fourDigit, QStringLiteral("d/M/yyyy"), QStringLiteral("d.M.yyyy"), QStringLiteral("yyyy-MM-dd"), shortForm}) {
        v.firstUsed = locale.toDate(date, form);
        if (v.firstUsed.isValid())
            break;
    }
    // No motor vehicle was first used before 1900: a year typed short lands there.
    if (!v.firstUsed.isValid() || v.firstUsed.year() < 1900) {
        const QString example = ShortDateText(QDate(2004, 3, 14), locale);
        read.problem = date.isEmpty()
                           ? QStringLiteral("Type the date the vehicle was first used, as %1, or pick it: it "
                                            "decides which limits apply.")
                                 .arg(example)
                           : QStringLiteral("\"%1\" is not a date the vehicle could have been first used: type it "
                                            "as %2, or pick it.")
                                 .arg(date, example);
        read.field = VehicleField::FirstUsed;
        return read;
    }
    v.scheme = typed.scheme;
    v.type = typed.type;
    v.fuel = typed.fuel;
    v.catalyst = typed.catalyst;
    v.twoStroke = typed.twoStroke;
    read.vehicle = v;
    return read;
}

Result<LimitSet> ReadMakerFigures(const MakerTyped &typed)
{
    MakerFigures f;
    f.fastIdle = typed.fastIdle;
    QString bad;
    auto number = [&](const QString &text, const char *caption, std::optional<double> &out) {
        if (!readFigure(text, out) && bad.isEmpty())
            bad = QStringLiteral("%1: \"%2\" is not a number").arg(QString::fromUtf8(caption), text);
    };
    auto whole = [&](const QString &text, const char *caption, auto &out) {
        std::optional<double> v;
        number(text, caption, v);
        // Far outside any engine's speed, so the set's range check names it.
        if (v)
            out = static_cast<int>(std::lround(std::clamp(*v, -1e6, 1e6)));
    };
    using C = MakerCaptions;
    whole(typed.fastMinRpm, C::fastMinRpm, f.fastMinRpm);
    whole(typed.fastMaxRpm, C::fastMaxRpm, f.fastMaxRpm);
    number(typed.fastCo, C::fastCo, f.fastCoPercent);
    whole(typed.fastHc, C::fastHc, f.fastHcPpm);
    number(typed.lambdaMin, C::lambdaMin, f.fastLambdaMin);
    number(typed.lambdaMax, C::lambdaMax, f.fastLambdaMax);
    whole(typed.idleMinRpm, C::idleMinRpm, f.idleMinRpm);
    whole(typed.idleMaxRpm, C::idleMaxRpm, f.idleMaxRpm);
    number(typed.idleCo, C::idleCo, f.idleCoPercent);
    whole(typed.idleHc, C::idleHc, f.idleHcPpm);
    if (!bad.isEmpty())
        return Problem{bad, {}, {}};
    return MakerLimitSet(f);
}

ObdSnapshot SnapshotOf(const obd::ElmSession &session)
{
    return {session.state(), session.problem(), session.adapter(), session.readings(), session.nowMs()};
}

CheckRun::CheckRun(LimitLibrary library, CheckSettings settings, Seams seams, QObject *parent)
    : QObject(parent), library_(std::move(library)), settings_(settings), seams_(std::move(seams))
{
}

CheckRun::~CheckRun()
{
    stopListening();
}

VehicleRead CheckRun::takeVehicle(const VehicleTyped &typed, const QLocale &locale)
{
    VehicleRead read = ReadVehicle(typed, locale);
    if (!read.vehicle)
        return read;
    vehicle_ = read.vehicle;
    model_ = typed.model.trimmed();
    operatorName_ = typed.operatorName.trimmed();
    choice_ = ChooseLimitSet(library_.sets, *vehicle_);
    return read;
}

int CheckRun::chosenRow() const
{
    for (std::size_t i = 0; choice_.set && i < library_.sets.size(); ++i)
        if (library_.sets[i].id == choice_.set->id)
            return static_cast<int>(i);
    return makerRow();
}

LimitPick CheckRun::pick(int row, const MakerTyped &typed) const
{
    LimitPick pick;
    if (row >= 0 && row < makerRow()) {
        pick.set = library_.sets[static_cast<std::size_t>(row)];
        const bool chosen = choice_.set && choice_.set->id == pick.set->id;
        pick.origin = chosen ? LimitOrigin::Chosen : LimitOrigin::PickedByOperator;
        pick.reason = chosen ? choice_.reason
                             : QStringLiteral("picked by the operator in place of %1")
                                   .arg(choice_.set ? choice_.set->name : QStringLiteral("no set"));
        return pick;
    }
    pick.set = ReadMakerFigures(typed);
    pick.origin = LimitOrigin::MakersFigures;
    pick.reason = QStringLiteral("the vehicle maker's own figures, typed in by the operator");
    return pick;
}

Done CheckRun::start(const LimitPick &pick, const QString &companyHeader)
{
    if (!vehicle_)
        return Problem{QStringLiteral("the vehicle is not typed in yet"), {}, {}};
    if (!pick.set.ok())
        return pick.set.problem();
    CheckRecord r;
    r.vehicle = *vehicle_;
    r.model = model_;
    r.origin = pick.origin;
    r.limitReason = pick.reason;
    r.limits = *pick.set;
    r.settings = settings_;
    r.operatorName = operatorName_;
    r.companyHeader = companyHeader;
    startedAt_ = seams_.now();
    r.startedAt = startedAt_;
    record_ = r;
    last_.reset();
    ended_ = false;
    awaitingObd_ = false;
    obdState_.reset();
    obdProblem_.clear();
    obdWasReading_ = false;
    carSpeed_.reset();
    carOil_.reset();
    carCoolant_.reset();
    speedNow_ = SpeedSource::None;
    speedUsed_.clear();
    disagreeingSinceMs_.reset();
    disagreement_.clear();
    check_ = std::make_unique<EmissionsCheck>(r.limits, r.vehicle.fuel, settings_);
    afterStep();
    return {};
}

void CheckRun::listen(link::LiveSession &session)
{
    stopListening();
    links_ = {
        connect(&session, &link::LiveSession::validFrame, this,
                [this](const link::LiveReading &r) { take(std::optional(r)); }),
        connect(&session, &link::LiveSession::invalidFrame, this, [this] { take(std::nullopt); }),
    };
}

void CheckRun::stopListening()
{
    for (const QMetaObject::Connection &c : links_)
        disconnect(c);
    links_.clear();
    for (const QMetaObject::Connection &c : obdLinks_)
        disconnect(c);
    obdLinks_.clear();
}

void CheckRun::listenObd(obd::ObdLink &link)
{
    for (const QMetaObject::Connection &c : obdLinks_)
        disconnect(c);
    obdLinks_ = {connect(&link, &obd::ObdLink::changed, this, [this, &link] { takeObd(SnapshotOf(link.session())); })};
    // An adapter that says nothing more during the check still takes part in it.
    takeObd(SnapshotOf(link.session()));
}

void CheckRun::takeObd(const ObdSnapshot &snapshot)
{
    if (!running())
        return;
    if (!record_->obd) {
        record_->obd = ObdPart{};
        record_->obd->dashboardLampAsked = AsksDashboardLamp(record_->limits.obd);
    }
    ObdPart &part = *record_->obd;
    if (!snapshot.adapter.isEmpty())
        part.adapter = snapshot.adapter;
    if (!part.lost.isEmpty())
        return; // the analyser alone from then on
    obdState_ = snapshot.state;
    obdProblem_ = snapshot.problem;
    const bool reading = snapshot.state == obd::ElmSession::State::Reading;
    if (obdWasReading_ && !reading) {
        loseObd(snapshot);
        afterStep();
        return;
    }
    obdWasReading_ = obdWasReading_ || reading;
    if (reading) {
        const std::int64_t now = nowMs();
        auto onRunClock = [&](std::int64_t atMs) { return now - (snapshot.nowMs - atMs); };
        const obd::ObdReadings &r = snapshot.readings;
        if (r.vin)
            part.vin = {r.vin->value, {}};
        if (r.engineSpeed)
            carSpeed_ = AtRunMs<double>{r.engineSpeed->value, onRunClock(r.engineSpeed->atMs)};
        if (r.oil)
            carOil_ = AtRunMs<int>{r.oil->value, onRunClock(r.oil->atMs)};
        if (r.coolant)
            carCoolant_ = AtRunMs<int>{r.coolant->value, onRunClock(r.coolant->atMs)};
        // What the car said before the check is another car's, or an engine since repaired.
        if (r.status && onRunClock(r.status->atMs) >= 0)
            part.readout.status = {r.status->value, {}};
        if (r.storedCodes && onRunClock(r.storedCodes->atMs) >= 0)
            part.readout.codes = {r.storedCodes->value, {}};
    }
    afterStep();
}

void CheckRun::loseObd(const ObdSnapshot &snapshot)
{
    ObdPart &part = *record_->obd;
    part.lost =
        snapshot.problem.isEmpty()
            ? QStringLiteral("The OBD adapter stopped reading the car (%1).").arg(obd::StateName(snapshot.state))
            : snapshot.problem;
    carSpeed_.reset();
    carOil_.reset();
    carCoolant_.reset();
    disagreeingSinceMs_.reset();
    disagreement_.clear();
    check_->setCarTemperatures({});
}

void CheckRun::feedCarTemperatures()
{
    const std::int64_t now = nowMs();
    auto fresh = [&](const std::optional<AtRunMs<int>> &t) {
        return t && now - t->atMs <= kCarTemperatureFreshMs ? std::optional<int>(t->value * 10) : std::nullopt;
    };
    check_->setCarTemperatures({fresh(carOil_), fresh(carCoolant_)});
}

std::optional<link::LiveReading> CheckRun::withSpeed(const std::optional<link::LiveReading> &frame)
{
    if (!frame) {
        speedNow_ = SpeedSource::None;
        return frame;
    }
    std::optional<link::LiveReading> fed = frame;
    const std::int64_t now = nowMs();
    const std::optional<double> car =
        carSpeed_ && now - carSpeed_->atMs <= kCarSpeedFreshMs ? std::optional(carSpeed_->value) : std::nullopt;
    if (frame->Rpm > 0) {
        speedNow_ = SpeedSource::Analyser;
    } else if (car) {
        // The pick-up is not fitted: the frame is judged by the car's own count.
        fed->Rpm = static_cast<std::int16_t>(std::clamp(std::lround(*car), 0L, 32767L));
        speedNow_ = SpeedSource::Obd;
    } else {
        speedNow_ = SpeedSource::None;
    }
    noteDisagreement(frame->Rpm, car);
    return fed;
}

void CheckRun::noteDisagreement(int analyserRpm, std::optional<double> carRpm)
{
    const bool apart =
        analyserRpm > 0 && carRpm && std::abs(*carRpm - analyserRpm) > kSpeedDisagreementShare * analyserRpm;
    if (!apart) {
        disagreeingSinceMs_.reset();
        disagreement_.clear();
        return;
    }
    const std::int64_t now = nowMs();
    if (!disagreeingSinceMs_)
        disagreeingSinceMs_ = now;
    if (now - *disagreeingSinceMs_ >= kSpeedDisagreementMs)
        disagreement_ = QStringLiteral("The analyser counts %1 rpm, the car %2 rpm: check the engine-speed pick-up.")
                            .arg(analyserRpm)
                            .arg(std::lround(*carRpm));
}

std::int64_t CheckRun::nowMs() const
{
    return startedAt_.isValid() ? startedAt_.msecsTo(seams_.now()) : 0;
}

void CheckRun::take(const std::optional<link::LiveReading> &frame)
{
    if (!running())
        return;
    if (!record_->obd) {
        // The analyser alone: its frames exactly as they came.
        if (frame) {
            last_ = frame;
            record_->afrShown = (frame->ModeFlags & link::AfrMode) != 0;
            record_->fuelCode = frame->FuelCode;
        }
        check_->feed(nowMs(), frame);
        afterStep();
        return;
    }
    const std::optional<link::LiveReading> fed = withSpeed(frame);
    if (fed) {
        last_ = fed;
        record_->afrShown = (fed->ModeFlags & link::AfrMode) != 0;
        record_->fuelCode = fed->FuelCode;
    }
    feedCarTemperatures();
    if (!check_->finished())
        speedUsed_.emplace_back(nowMs(), speedNow_);
    check_->feed(nowMs(), fed);
    afterStep();
}

void CheckRun::tick()
{
    if (!running())
        return;
    if (record_->obd)
        feedCarTemperatures();
    check_->tick(nowMs());
    afterStep();
}

void CheckRun::confirmCleanAir()
{
    if (!running() || check_->state().phase != CheckPhase::WaitingForCleanAir)
        return;
    check_->confirmCleanAir();
    afterStep();
}

void CheckRun::confirmEngineWarm()
{
    // With an oil probe the probe decides; the operator's word counts only without one.
    if (!running() || check_->state().phase != CheckPhase::WaitingForWarmConfirmation)
        return;
    check_->confirmEngineWarm();
    afterStep();
}

void CheckRun::confirmDashboardLamp(bool on)
{
    if (!asksDashboardLamp())
        return;
    record_->obd->dashboardLamp = on;
    emit changed();
}

bool CheckRun::asksDashboardLamp() const
{
    return running() && record_->obd && record_->obd->dashboardLampAsked && !record_->obd->dashboardLamp;
}

void CheckRun::abandon()
{
    if (running())
        end(true);
}

bool CheckRun::obdReadoutDue() const
{
    if (!record_->obd || !record_->obd->lost.isEmpty() || check_->state().overall == Verdict::NotCompleted)
        return false;
    const ObdReadout &r = record_->obd->readout;
    return !r.status.known() || !r.codes.known();
}

std::int64_t CheckRun::obdWaitLeftMs() const
{
    if (!readingCar())
        return 0;
    return std::max<std::int64_t>(0, settings_.obdReadoutTimeoutMs - (nowMs() - awaitingSinceMs_));
}

void CheckRun::afterStep()
{
    if (check_->finished() && !ended_ && obdReadoutDue()) {
        if (!awaitingObd_) {
            // The stages can end between two readings of the car's status.
            awaitingObd_ = true;
            awaitingSinceMs_ = nowMs();
        }
        if (nowMs() - awaitingSinceMs_ < settings_.obdReadoutTimeoutMs) {
            emit changed();
            return;
        }
    }
    emit changed();
    if (check_->finished() && !ended_)
        end(false);
}

void CheckRun::concludeObd()
{
    ObdPart &part = *record_->obd;
    ObdReadout &r = part.readout;
    // Why a reading is missing, in the adapter's own words where it gave some.
    QString why = QStringLiteral("not read during the check");
    if (!part.lost.isEmpty())
        why = part.lost;
    else if (!obdProblem_.isEmpty())
        why = obdWasReading_ ? QStringLiteral("not read during the check; the adapter last said: %1").arg(obdProblem_)
                             : obdProblem_;
    else if (!obdWasReading_ && obdState_)
        why = QStringLiteral("the OBD adapter never reached the car (%1)").arg(obd::StateName(*obdState_));
    if (!r.status.known())
        r.status.problem = why;
    if (!r.codes.known())
        r.codes.problem = why;
    if (!part.vin.known())
        part.vin.problem = why;
    part.judgement = JudgeObd(record_->limits.obd, r);
    const CombinedVerdict v = CombineVerdicts(record_->state.overall, record_->abandoned, part.judgement);
    record_->state.overall = v.overall;
    if (v.overall == Verdict::NotCompleted && !v.reason.isEmpty())
        record_->state.notCompletedReason = v.reason;
    record_->speedSource = decidingSpeedSource();
}

SpeedSource CheckRun::decidingSpeedSource() const
{
    std::vector<std::pair<std::int64_t, std::int64_t>> windows;
    for (const StageResult &s : record_->state.stages) {
        if (s.window.readings > 0)
            windows.emplace_back(s.window.fromMs, s.window.toMs);
        if (s.recheckWindow && s.recheckWindow->readings > 0)
            windows.emplace_back(s.recheckWindow->fromMs, s.recheckWindow->toMs);
    }
    // A window that took even one reading by the car's count was decided by the car.
    bool analyser = false;
    for (const auto &[usedAtMs, source] : speedUsed_) {
        // A copy: clang before 16 cannot capture a structured binding in a lambda.
        const std::int64_t atMs = usedAtMs;
        const bool deciding = windows.empty() || std::any_of(windows.begin(), windows.end(), [&](const auto &w) {
                                  return atMs >= w.first && atMs <= w.second;
                              });
        if (!deciding)
            continue;
        if (source == SpeedSource::Obd)
            return SpeedSource::Obd;
        analyser = analyser || source == SpeedSource::Analyser;
    }
    return analyser ? SpeedSource::Analyser : SpeedSource::None;
}

void CheckRun::end(bool abandoned)
{
    ended_ = true;
    stopListening();
    record_->state = check_->state();
    record_->abandoned = abandoned;
    record_->finishedAt = seams_.now();
    awaitingObd_ = false;
    if (record_->obd)
        concludeObd();
    emit concluded();
    save();
}

void CheckRun::save()
{
    if (seams_.history == nullptr)
        return;
    const QStringList lines = seams_.pageLines ? seams_.pageLines(*record_) : QStringList();
    seams_.history->save(CheckEntry(*record_, lines), this, [this](const history::TestArchive::Saved &kept) {
        emit saved(kept.ok(), kept.ok() ? QString() : kept.problem().text());
    });
}

CheckResult CheckRun::result() const
{
    return record_ ? ResultOf(*record_) : CheckResult{};
}

} // namespace qova::check
