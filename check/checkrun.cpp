#include "check/checkrun.h"

#include "history/testarchive.h"
#include "link/livesession.h"

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
}

std::int64_t CheckRun::nowMs() const
{
    return startedAt_.isValid() ? startedAt_.msecsTo(seams_.now()) : 0;
}

void CheckRun::take(const std::optional<link::LiveReading> &frame)
{
    if (!running())
        return;
    if (frame) {
        last_ = frame;
        record_->afrShown = (frame->ModeFlags & link::AfrMode) != 0;
        record_->fuelCode = frame->FuelCode;
    }
    check_->feed(nowMs(), frame);
    afterStep();
}

void CheckRun::tick()
{
    if (!running())
        return;
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

void CheckRun::abandon()
{
    if (running())
        end(true);
}

void CheckRun::afterStep()
{
    emit changed();
    if (check_->finished() && !ended_)
        end(false);
}

void CheckRun::end(bool abandoned)
{
    ended_ = true;
    stopListening();
    record_->state = check_->state();
    record_->abandoned = abandoned;
    record_->finishedAt = seams_.now();
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
