#include "check/checkrun.h"
#include "tests/check/checkdrive.h"
#include "tests/support/okresult.h"

#include <gtest/gtest.h>

#include <string>

using namespace qova;
using check::CheckRun;
using test::Exhaust;

namespace {
const QLocale kBritish(QLocale::English, QLocale::UnitedKingdom);
} // namespace

struct DateCase {
    const char *name;
    const char *typed;
    const char *read; // yyyy-MM-dd, or the problem's start
};

class FirstUsed : public ::testing::TestWithParam<DateCase> {};

// Nothing is assumed: an empty or unreadable date stops the vehicle page with what to type.
TEST_P(FirstUsed, IsTypedInTheShortFormOrRefused)
{
    const auto &c = GetParam();
    check::VehicleTyped typed;
    typed.registration = QStringLiteral("ab12 cde");
    typed.firstUsed = QString::fromUtf8(c.typed);
    const check::VehicleRead read = check::ReadVehicle(typed, kBritish);
    if (read.vehicle) {
        EXPECT_EQ(read.vehicle->firstUsed.toString(Qt::ISODate).toStdString(), c.read);
        EXPECT_EQ(read.vehicle->registration, QStringLiteral("AB12 CDE"));
    } else {
        EXPECT_EQ(read.field, check::VehicleField::FirstUsed);
        EXPECT_TRUE(read.problem.startsWith(QString::fromUtf8(c.read))) << read.problem.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Dates, FirstUsed,
    ::testing::Values(DateCase{"ShortForm", "14/03/2004", "2004-03-14"},
                      DateCase{"WithoutLeadingZeros", "1/8/1992", "1992-08-01"},
                      DateCase{"Iso", "1992-08-01", "1992-08-01"},
                      DateCase{"Empty", "", "Type the date the vehicle was first used, as 14/03/2004"},
                      DateCase{"NoSuchDay", "31/02/2004", "\"31/02/2004\" is not a date"},
                      DateCase{"MonthAndDaySwapped", "03/14/2004", "\"03/14/2004\" is not a date"},
                      DateCase{"TwoDigitYearIsNotACentury", "14/03/04", "\"14/03/04\" is not a date"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(FirstUsed, ARegistrationIsAskedForFirst)
{
    check::VehicleTyped typed;
    typed.firstUsed = QStringLiteral("14/03/2004");
    const check::VehicleRead read = check::ReadVehicle(typed, kBritish);
    EXPECT_FALSE(read.vehicle);
    EXPECT_EQ(read.field, check::VehicleField::Registration);
    EXPECT_EQ(read.problem, QStringLiteral("Type the vehicle's registration first."));
}

struct MakerCase {
    const char *name;
    check::MakerTyped typed;
    const char *error; // "" when the set is made
    int fastCoMax;     // 0.01 %, -1 for none
};

class MakerFiguresTyped : public ::testing::TestWithParam<MakerCase> {};

TEST_P(MakerFiguresTyped, ReadOrNameTheFigure)
{
    const auto &c = GetParam();
    const check::Result<check::LimitSet> made = check::ReadMakerFigures(c.typed);
    EXPECT_EQ(made.ok() ? std::string() : made.problem().text().toStdString(), c.error);
    ASSERT_EQ(made.ok(), *c.error == 0);
    if (made.ok()) {
        EXPECT_EQ(made->stages.front().limits.coMax.value_or(-1), c.fastCoMax);
    }
}

namespace {
check::MakerTyped maker(QString fastCo, QString idleHc = {}, QString fastMin = QStringLiteral("2500"))
{
    check::MakerTyped t;
    t.fastCo = std::move(fastCo);
    t.idleHc = std::move(idleHc);
    t.fastMinRpm = std::move(fastMin);
    return t;
}
} // namespace

INSTANTIATE_TEST_SUITE_P(
    Figures, MakerFiguresTyped,
    ::testing::Values(MakerCase{"DecimalPoint", maker(QStringLiteral("0.25")), "", 25},
                      MakerCase{"DecimalComma", maker(QStringLiteral("0,25")), "", 25},
                      MakerCase{"NotANumber", maker(QStringLiteral("0.3x")), "CO max %: \"0.3x\" is not a number", -1},
                      MakerCase{"Infinity", maker(QStringLiteral("inf")), "CO max %: \"inf\" is not a number", -1},
                      MakerCase{"HugeSpeedIsNotWrapped", maker(QStringLiteral("0.3"), {}, QStringLiteral("1e12")),
                                "fast idle: the highest engine speed must be above the lowest", -1},
                      MakerCase{"SecondBadFigureNamedAfterTheFirst", maker(QStringLiteral("x"), QStringLiteral("y")),
                                "CO max %: \"x\" is not a number", -1}),
    [](const auto &info) { return std::string(info.param.name); });

// The run keeps the clock from its seam, so a whole check runs in virtual time.
class Run : public ::testing::Test {
protected:
    CheckRun make(history::TestArchive *history = nullptr)
    {
        return CheckRun(check::LimitLibrary{check::ShippedLimitSets(), {}}, check::CheckSettings{},
                        {[this] { return kStart.addMSecs(nowMs_); }, history, {}});
    }
    // Frames once a second from clean air until the run ends or `untilMs`.
    void drive(CheckRun &run, const test::FrameScript &script, std::int64_t untilMs)
    {
        for (; nowMs_ <= untilMs && !run.ended(); nowMs_ += 1000)
            run.take(script(nowMs_ - check::CleanAirRule::kSpanMs));
    }
    static check::VehicleTyped vehicle(const char *firstUsed)
    {
        check::VehicleTyped v;
        v.registration = QStringLiteral("AB12CDE");
        v.firstUsed = QString::fromLatin1(firstUsed);
        v.catalyst = true;
        return v;
    }
    const QDateTime kStart{QDate(2026, 3, 2), QTime(9, 30)};
    std::int64_t nowMs_ = 0;
};

TEST_F(Run, AGoodCarFromTheVehicleToItsRecord)
{
    CheckRun run = make();
    ASSERT_TRUE(run.takeVehicle(vehicle("01/06/2005"), kBritish).vehicle);
    EXPECT_EQ(run.choice().set->id, QStringLiteral("uk-1992-catalyst"));
    const check::LimitPick pick = run.pick(run.chosenRow(), {});
    EXPECT_EQ(pick.origin, check::LimitOrigin::Chosen);
    int concluded = 0;
    QObject::connect(&run, &CheckRun::concluded, [&concluded] { ++concluded; });
    ASSERT_TRUE(qova::test::Ok(run.start(pick, QStringLiteral("ACME MOTORS"))));
    drive(
        run, [](std::int64_t t) { return t <= 0 ? test::CleanAir(4) : Exhaust(t < 20000 ? 2750 : 820, 5, 34); },
        120000);
    ASSERT_TRUE(run.ended());
    EXPECT_EQ(concluded, 1);
    const check::CheckRecord &r = *run.record();
    EXPECT_EQ(r.state.overall, check::Verdict::Pass);
    EXPECT_EQ(r.startedAt, kStart);
    EXPECT_EQ(r.vehicle.firstUsed, QDate(2005, 6, 1));
    EXPECT_EQ(r.companyHeader, QStringLiteral("ACME MOTORS"));
    EXPECT_EQ(run.result().verdict, QStringLiteral("PASS"));
    // Frames after the verdict change nothing.
    run.take(test::Exhaust(820, 900, 900));
    EXPECT_EQ(run.record()->state.trace.size(), r.state.trace.size());
}

TEST_F(Run, AnotherSetOrTheMakersFiguresSayHowTheyWereChosen)
{
    CheckRun run = make();
    ASSERT_TRUE(run.takeVehicle(vehicle("01/05/1970"), kBritish).vehicle);
    EXPECT_TRUE(run.pick(run.chosenRow(), {}).recordOnly());
    const check::LimitPick other = run.pick(run.chosenRow() == 0 ? 1 : 0, {});
    EXPECT_EQ(other.origin, check::LimitOrigin::PickedByOperator);
    EXPECT_TRUE(other.reason.startsWith(QStringLiteral("picked by the operator in place of ")))
        << other.reason.toStdString();
    const check::LimitPick bad = run.pick(run.makerRow(), maker(QStringLiteral("0.3x")));
    const check::Done started = run.start(bad, {});
    ASSERT_FALSE(started.ok());
    EXPECT_EQ(started.problem().text(), QStringLiteral("CO max %: \"0.3x\" is not a number"));
    EXPECT_FALSE(run.check());
}

// Frames that stop coming do not keep the check waiting: the clock alone ends it.
TEST_F(Run, TheClockEndsACheckWhoseFramesStopped)
{
    CheckRun run = make();
    ASSERT_TRUE(run.takeVehicle(vehicle("01/06/2005"), kBritish).vehicle);
    ASSERT_TRUE(qova::test::Ok(run.start(run.pick(run.chosenRow(), {}), {})));
    run.tick();
    nowMs_ = check::CheckSettings{}.readyTimeoutMs;
    run.tick();
    ASSERT_TRUE(run.ended());
    EXPECT_EQ(run.record()->state.overall, check::Verdict::NotCompleted);
    EXPECT_EQ(run.record()->finishedAt, kStart.addMSecs(nowMs_));
}

TEST_F(Run, AStoppedCheckIsKeptAsAbandoned)
{
    CheckRun run = make();
    ASSERT_TRUE(run.takeVehicle(vehicle("01/06/2005"), kBritish).vehicle);
    ASSERT_TRUE(qova::test::Ok(run.start(run.pick(run.chosenRow(), {}), {})));
    drive(
        run, [](std::int64_t t) { return t <= 0 ? test::CleanAir(4) : Exhaust(2750, 5, 34); }, 5000);
    run.abandon();
    ASSERT_TRUE(run.ended());
    EXPECT_TRUE(run.record()->abandoned);
    EXPECT_EQ(run.result().verdict, QStringLiteral("ABANDONED"));
}
