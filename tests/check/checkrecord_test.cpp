#include "check/checkrecord.h"
#include "link/protocol.h"
#include "tests/check/checkrecords.h"
#include "tests/check/obdparts.h"

#include <gtest/gtest.h>

using namespace qova;
using test::DashboardSays;
using test::IgnitionOff;
using test::LampOnTwoCodes;
using test::SampleCheck;
using test::UntrustedVin;

struct EntryCase {
    const char *name;
    SampleCheck check;
    const char *verdict;
    history::Values values; // co, co2, hc, o2, nox, rpm, oil, lambda
    const char *fuel;
    int fuelCode, modeFlags;
};

class CheckEntryOf : public ::testing::TestWithParam<EntryCase> {};

TEST_P(CheckEntryOf, KeepsTheLastStagesDecidingMeansAndTheVerdict)
{
    const EntryCase &c = GetParam();
    const check::CheckRecord record = test::SampleRecord(c.check);
    const QStringList page{QStringLiteral("EXHAUST EMISSIONS CHECK"), QStringLiteral("PASS")};
    const history::TestEntry e = check::CheckEntry(record, page);
    EXPECT_EQ(e.kind, history::kCheckKind);
    EXPECT_EQ(e.verdict, QLatin1String(c.verdict));
    EXPECT_EQ(e.printed, c.values);
    EXPECT_EQ(e.received, c.values);
    EXPECT_EQ(e.fuel, QLatin1String(c.fuel));
    EXPECT_EQ(e.fuelCode, c.fuelCode);
    EXPECT_EQ(e.modeFlags, c.modeFlags);
    EXPECT_FALSE(e.afr) << "the check keeps lambda, never AFR";
    EXPECT_EQ(e.registration, QStringLiteral("AB12 CDE"));
    EXPECT_EQ(e.vehicle, QStringLiteral("FORD FIESTA 1.2"));
    EXPECT_EQ(e.companyHeader, QStringLiteral("FAIRWAY MOTORS"));
    EXPECT_EQ(e.takenAt, record.finishedAt);
    EXPECT_EQ(e.pageLines, page);
    EXPECT_FALSE(e.uid.isEmpty());
    EXPECT_EQ(e.id, 0);
}

// Values: CO 0.01 %, CO2, HC ppm, O2, NOx, rpm, oil 0.1 degC, lambda x1000.
INSTANTIATE_TEST_SUITE_P(
    Checks, CheckEntryOf,
    ::testing::Values(
        EntryCase{"Pass", SampleCheck::Pass, "pass", {10, 0, 50, 0, 0, 800, 800, 1005}, "PETROL", 1, 0},
        EntryCase{"Fail", SampleCheck::Fail, "fail", {80, 0, 420, 0, 0, 800, 800, 1050}, "PETROL", 1, 0},
        // HC as re-checked at 2000 rpm; CO, lambda and the speed of the idle window that judged CO.
        EntryCase{"Recheck", SampleCheck::Recheck, "pass", {100, 0, 400, 0, 0, 800, 800, 1000}, "PETROL", 1, 0},
        EntryCase{"Unmetered",
                  SampleCheck::Unmetered,
                  "readings recorded",
                  {300, 0, 800, 0, 0, 800, 800, 990},
                  "PETROL",
                  1,
                  0},
        EntryCase{"ConfirmedWarm", SampleCheck::Confirmed, "pass", {10, 0, 50, 0, 0, 800, 0, 1005}, "PETROL", 1, 0},
        EntryCase{"Cng", SampleCheck::Cng, "pass", {10, 0, 900, 0, 0, 800, 800, 1005}, "CNG   ", 2, 0},
        // Stopped during natural idle: fast idle was the last stage run; 1000.67 rounds up.
        EntryCase{"Abandoned", SampleCheck::Abandoned, "abandoned", {5, 0, 30, 0, 0, 2750, 800, 1001}, "PETROL", 1, 0},
        // No valid frame in the window that failed it: no values, the oil as found warm.
        EntryCase{"NoValidFrame", SampleCheck::NoValidFrame, "fail", {0, 0, 0, 0, 0, 0, 800, 0}, "PETROL", 1, 0},
        EntryCase{
            "AfrShown", SampleCheck::MakerAfr, "pass", {5, 0, 30, 0, 0, 800, 800, 1000}, "PETROL", 1, link::AfrMode}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(CheckEntryOf, ACheckStoppedBeforeAnyStageKeepsNoValuesAndItsStart)
{
    check::CheckRecord record;
    record.vehicle.registration = QStringLiteral("XY99 ZZZ");
    record.startedAt = QDateTime(QDate(2026, 3, 2), QTime(9, 0, 0));
    record.abandoned = true;
    const history::TestEntry e = check::CheckEntry(record, {});
    EXPECT_EQ(e.verdict, QStringLiteral("abandoned"));
    EXPECT_EQ(e.printed, history::Values{});
    EXPECT_EQ(e.takenAt, record.startedAt);
}

// Each stage's deciding means go to the history, so the export shows what failed a car;
// what the check never measured is marked so rather than kept as 0.
struct StagesCase {
    const char *name;
    SampleCheck check;
    history::StageValues fastIdle, naturalIdle; // verdict, CO, HC, lambda, rpm
    int measured;
};

class CheckStagesOf : public ::testing::TestWithParam<StagesCase> {};

TEST_P(CheckStagesOf, KeepEachStagesVerdictAndMeans)
{
    const StagesCase &c = GetParam();
    const history::TestEntry e = check::CheckEntry(test::SampleRecord(c.check), {});
    EXPECT_EQ(e.fastIdle, c.fastIdle);
    EXPECT_EQ(e.naturalIdle, c.naturalIdle);
    EXPECT_EQ(e.measured, c.measured);
}

constexpr int kGases = history::MeasuredCo | history::MeasuredHc | history::MeasuredRpm | history::MeasuredEfficiency;

INSTANTIATE_TEST_SUITE_P(Checks, CheckStagesOf,
                         ::testing::Values(StagesCase{"FailedAtFastIdleOnLambda",
                                                      SampleCheck::Fail,
                                                      {"fail", 25, 350, 1060, 2750},
                                                      {"fail", 80, 420, 1050, 800},
                                                      kGases | history::MeasuredOilTemp},
                                           StagesCase{"RecheckKeepsTheRecheckedHc",
                                                      SampleCheck::Recheck,
                                                      {},
                                                      {"pass", 100, 400, 1000, 800},
                                                      kGases | history::MeasuredOilTemp},
                                           StagesCase{"StoppedAfterFastIdle",
                                                      SampleCheck::Abandoned,
                                                      {"pass", 5, 30, 1001, 2750},
                                                      {},
                                                      kGases | history::MeasuredOilTemp},
                                           StagesCase{"NoOilProbe",
                                                      SampleCheck::Confirmed,
                                                      {"pass", 5, 30, 1001, 2750},
                                                      {"pass", 10, 50, 1005, 800},
                                                      kGases},
                                           StagesCase{"NoValidFrameMeasuresNothing",
                                                      SampleCheck::NoValidFrame,
                                                      {},
                                                      {"fail", {}, {}, {}, {}},
                                                      history::MeasuredOilTemp}),
                         [](const auto &info) { return std::string(info.param.name); });

// The history's row keeps the VIN, what the car's diagnostics said and the readings'
// sources in the result's words; a check without an adapter keeps the diagnostics null.
struct CarColumnsCase {
    const char *name;
    QString typedVin;
    std::optional<test::ObdSample> obd;
    // vin|obd verdict|lamp|codes|readiness|speed source|warm source, "null" for a null text
    std::string row;
    const char *set = "eu-catalyst-2002"; // whose OBD rule judged the car
};

class CheckEntryCarColumns : public ::testing::TestWithParam<CarColumnsCase> {};

TEST_P(CheckEntryCarColumns, KeepWhatTheResultSaid)
{
    const auto &c = GetParam();
    check::CheckRecord record = test::SampleRecord(SampleCheck::Pass);
    record.vehicle.vin = c.typedVin;
    if (c.obd) {
        record.obd = test::MakeObdPart(*c.obd, check::ShippedLimitSet(QString::fromLatin1(c.set)).value().obd);
        record.speedSource = check::SpeedSource::Obd;
    }
    const history::TestEntry e = check::CheckEntry(record, {});
    QStringList cells;
    for (const QString &text :
         {e.vin, e.obdVerdict, e.obdLamp, e.obdCodes, e.obdReadiness, e.speedSource, e.warmSource})
        cells << (text.isNull() ? QStringLiteral("null") : text);
    EXPECT_EQ(cells.join(u'|').toStdString(), c.row);
}

namespace {
constexpr const char *kReadyMonitors = "Misfire: complete; Fuel system: complete; Comprehensive components: complete; "
                                       "Catalyst: complete; Oxygen sensor: complete; Secondary air system: not "
                                       "supported";
std::string UkRow(const char *lamp)
{
    return std::string("WF0AXXGAJA1234567|recorded|") + lamp + "|none|" + kReadyMonitors + "|OBD|oil probe";
}
} // namespace

// Where the set asks the operator, the dashboard's lamp follows the car's in the one text.
INSTANTIATE_TEST_SUITE_P(UkChecks, CheckEntryCarColumns,
                         ::testing::Values(CarColumnsCase{"DashboardAgrees",
                                                          {},
                                                          DashboardSays(true, true),
                                                          UkRow("ON; dashboard: on"),
                                                          "uk-1992-catalyst"},
                                           CarColumnsCase{"DashboardOutWhileCommanded",
                                                          {},
                                                          DashboardSays(true, false),
                                                          UkRow("ON; dashboard: off"),
                                                          "uk-1992-catalyst"},
                                           CarColumnsCase{"DashboardNotConfirmed",
                                                          {},
                                                          DashboardSays(false, std::nullopt),
                                                          UkRow("off; dashboard: not confirmed"),
                                                          "uk-1992-catalyst"}),
                         [](const auto &info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Checks, CheckEntryCarColumns,
    ::testing::Values(
        CarColumnsCase{"NoAdapter", {}, std::nullopt, "null|null|null|null|null|analyser|oil probe"},
        CarColumnsCase{"NoAdapterTypedVin", QStringLiteral("WF0AXXGAJA7654321"), std::nullopt,
                       "WF0AXXGAJA7654321|null|null|null|null|analyser|oil probe"},
        CarColumnsCase{"LampOnTwoCodes",
                       {},
                       LampOnTwoCodes(),
                       "WF0AXXGAJA1234567|fail|ON|P0133, P0420|Misfire: complete; Fuel system: complete; "
                       "Comprehensive components: complete; Catalyst: incomplete; Oxygen sensor: incomplete; "
                       "Secondary air system: not supported|OBD|oil probe"},
        // What the operator typed is the vehicle's VIN; the car's is on the certificate.
        CarColumnsCase{"TypedVinOverTheCars", QStringLiteral("WF0AXXGAJA7654321"), LampOnTwoCodes(),
                       "WF0AXXGAJA7654321|fail|ON|P0133, P0420|Misfire: complete; Fuel system: complete; "
                       "Comprehensive components: complete; Catalyst: incomplete; Oxygen sensor: incomplete; "
                       "Secondary air system: not supported|OBD|oil probe"},
        CarColumnsCase{"UntrustedVinKeepsItsDoubt",
                       {},
                       UntrustedVin(QStringLiteral("WF0AXXGAJA12345"), QStringLiteral("15 characters, not 17")),
                       "WF0AXXGAJA12345 (not trusted: 15 characters, not 17)|pass|off|none|Misfire: complete; Fuel "
                       "system: complete; Comprehensive components: complete; Catalyst: complete; Oxygen sensor: "
                       "complete; Secondary air system: not supported|OBD|oil probe"},
        CarColumnsCase{"IgnitionOffIsUnknown",
                       {},
                       IgnitionOff(),
                       "WF0AXXGAJA1234567|unknown|unknown: UNABLE TO CONNECT|unknown|All monitors: unknown|OBD|oil "
                       "probe"}),
    [](const auto &info) { return std::string(info.param.name); });
