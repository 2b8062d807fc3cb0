#include "check/limitset.h"
#include "tests/support/okresult.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <string>
#include <vector>

using namespace qova;
using check::Fuel;

namespace {
QDate day(const char *iso)
{
    return QDate::fromString(QString::fromLatin1(iso), Qt::ISODate);
}
} // namespace

struct ChoiceCase {
    const char *name;
    const char *scheme;
    const char *type;
    const char *firstUsed;
    bool catalyst, twoStroke;
    const char *setId; // "" when none fits
    const char *reason;
};

class LimitChoice : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(LimitChoice, PicksTheSetOfTheDateOfFirstUseAndSaysWhy)
{
    const ChoiceCase &c = GetParam();
    check::Vehicle v;
    v.registration = QStringLiteral("AB12 CDE");
    v.scheme = QString::fromLatin1(c.scheme);
    v.type = QString::fromLatin1(c.type);
    v.firstUsed = day(c.firstUsed);
    v.catalyst = c.catalyst;
    v.twoStroke = c.twoStroke;
    const check::LimitChoice choice = check::ChooseLimitSet(check::ShippedLimitSets(), v);
    EXPECT_EQ(choice.set ? choice.set->id.toStdString() : std::string(), c.setId);
    EXPECT_EQ(choice.reason.toStdString(), c.reason);
}

INSTANTIATE_TEST_SUITE_P(
    Shipped, LimitChoice,
    ::testing::Values(
        ChoiceCase{"UkBefore1975", "UK", "car", "1968-05-10", false, false, "uk-before-1975",
                   "UK car, first used before 1 August 1975: no metered test — record readings only"},
        ChoiceCase{"Uk31Jul1975", "UK", "car", "1975-07-31", false, false, "uk-before-1975",
                   "UK car, first used before 1 August 1975: no metered test — record readings only"},
        ChoiceCase{"Uk1Aug1975", "UK", "car", "1975-08-01", false, false, "uk-1975",
                   "UK car, first used 1 August 1975 to 31 July 1986: non-catalyst test"},
        ChoiceCase{"Uk31Jul1986", "UK", "car", "1986-07-31", false, false, "uk-1975",
                   "UK car, first used 1 August 1975 to 31 July 1986: non-catalyst test"},
        ChoiceCase{"Uk1Aug1986", "UK", "car", "1986-08-01", false, false, "uk-1986",
                   "UK car, first used 1 August 1986 to 31 July 1992: non-catalyst test"},
        ChoiceCase{"Uk31Jul1992WithCatalyst", "UK", "car", "1992-07-31", true, false, "uk-1986",
                   "UK car, first used 1 August 1986 to 31 July 1992: non-catalyst test"},
        ChoiceCase{"Uk1Aug1992WithCatalyst", "UK", "car", "1992-08-01", true, false, "uk-1992-catalyst",
                   "UK car, first used 1 August 1992 or later: catalyst test"},
        ChoiceCase{"Uk1Aug1992NoCatalyst", "UK", "light van", "1992-08-01", false, false, "uk-1992-no-catalyst",
                   "UK light van, first used 1 August 1992 or later without a catalyst: non-catalyst test"},
        ChoiceCase{"UkTwoStroke31Jul1986", "UK", "car", "1986-07-31", false, true, "uk-two-stroke-1975",
                   "UK car, two-stroke, first used 1 August 1975 to 31 July 1986: CO test at natural idle"},
        ChoiceCase{"UkTwoStroke1Aug1986", "UK", "car", "1986-08-01", false, true, "uk-two-stroke-1986",
                   "UK car, two-stroke, first used 1 August 1986 or later: CO test at natural idle"},
        ChoiceCase{"Eu30Sep1986", "EU", "car", "1986-09-30", false, false, "eu-no-catalyst-before-1986",
                   "EU car, without a catalyst, first used before 1 October 1986: CO test at idle"},
        ChoiceCase{"Eu1Oct1986", "EU", "car", "1986-10-01", false, false, "eu-no-catalyst-1986",
                   "EU car, without a catalyst, first used 1 October 1986 or later: CO test at idle"},
        ChoiceCase{"Eu30Jun2002Catalyst", "EU", "car", "2002-06-30", true, false, "eu-catalyst-before-2002",
                   "EU car, with a catalyst, first used before 1 July 2002: catalyst test"},
        ChoiceCase{"Eu1Jul2002Catalyst", "EU", "car", "2002-07-01", true, false, "eu-catalyst-2002",
                   "EU car, with a catalyst, first used 1 July 2002 or later: catalyst test"},
        // The 2002 change concerns cars with a catalyst only.
        ChoiceCase{"Eu1Jul2002NoCatalyst", "EU", "car", "2002-07-01", false, false, "eu-no-catalyst-1986",
                   "EU car, without a catalyst, first used 1 October 1986 or later: CO test at idle"},
        ChoiceCase{"UkMotorcycle", "UK", "motorcycle", "2010-03-01", true, false, "",
                   "UK motorcycle, first used 1 March 2010, with a catalyst: no limit set applies; type the "
                   "vehicle maker's limits"},
        ChoiceCase{"NoDate", "UK", "car", "", true, false, "",
                   "UK car: the date of first use is needed to choose the limits"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ShippedLimitSets, EachCitesItsSourceAndCarriesItsLimits)
{
    const auto sets = check::ShippedLimitSets();
    ASSERT_EQ(sets.size(), 11u);
    for (const auto &s : sets) {
        EXPECT_FALSE(s.source.isEmpty()) << s.id.toStdString();
        EXPECT_EQ(s.file, QStringLiteral(":/check/limitsets.json"));
    }
    const auto cat = std::find_if(sets.begin(), sets.end(), [](const auto &s) { return s.id == "uk-1992-catalyst"; });
    ASSERT_NE(cat, sets.end());
    ASSERT_EQ(cat->stages.size(), 2u);
    EXPECT_EQ(cat->stages[0], (check::StageLimits{check::StageKind::FastIdle, 2500, 3000, {30, 200, 970, 1030}, {}}));
    EXPECT_EQ(cat->stages[1], (check::StageLimits{check::StageKind::NaturalIdle, 450, 1500, {50, {}, {}, {}}, {}}));
    const auto old = std::find_if(sets.begin(), sets.end(), [](const auto &s) { return s.id == "uk-1986"; });
    ASSERT_NE(old, sets.end());
    EXPECT_EQ(old->stages[0].recheck, (check::HcRecheck{1800, 2200, 1200}));
    // Only the 1986 band and later cars without a catalyst have the HC re-check.
    const auto first = std::find_if(sets.begin(), sets.end(), [](const auto &s) { return s.id == "uk-1975"; });
    ASSERT_NE(first, sets.end());
    EXPECT_FALSE(first->stages[0].recheck.has_value());
    const auto early = std::find_if(sets.begin(), sets.end(), [](const auto &s) { return s.id == "uk-before-1975"; });
    ASSERT_NE(early, sets.end());
    EXPECT_FALSE(early->metered);
    // The EU counts a warning lamp commanded on as a deficiency; the UK test looks at the
    // dashboard, so its sets only record what the car's diagnostics say.
    for (const auto &s : sets)
        EXPECT_EQ(s.obd, s.id.startsWith(QLatin1String("eu-catalyst")) ? std::optional(check::ObdRule{true, {}, false})
                                                                       : std::nullopt)
            << s.id.toStdString();
}

// A workshop file that is wrong: what the operator is told, and the shipped sets all stay.
struct BadFileCase {
    const char *name;
    std::string content;
    const char *error; // after "FILE: "
};

namespace {
const char *const kGoodSet = R"({"id": "ie-2010", "name": "Irish test", "source": "workshop notes",
  "scheme": "IE", "vehicleTypes": ["car"], "applies": "first used 2010 or later",
  "firstUsedFrom": "2010-01-01",
  "stages": [{"stage": "naturalIdle", "minRpm": 500, "maxRpm": 1200, "coMax": 0.3}]})";

// A file of one UK car set with the id given, whose other fields are `rest`.
std::string OneSet(const char *id, const char *rest)
{
    return std::string(R"({"format": 1, "sets": [{"id": ")") + id +
           R"(", "name": "n", "source": "s", "scheme": "UK", "vehicleTypes": ["car"], "applies": "a", )" + rest + "}]}";
}

QString writeFile(const QTemporaryDir &dir, const QByteArray &content)
{
    const QString path = dir.filePath(QStringLiteral("limitsets.json"));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
    return path;
}
} // namespace

class BadWorkshopFile : public ::testing::TestWithParam<BadFileCase> {};

TEST_P(BadWorkshopFile, NamesFileAndPlaceAndKeepsTheShippedSets)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, QByteArray::fromStdString(GetParam().content));
    const check::LimitLibrary library = check::LoadLimitLibrary(path);
    EXPECT_EQ(library.workshopError.toStdString(), (path + QStringLiteral(": ")).toStdString() + GetParam().error);
    EXPECT_EQ(library.sets, check::ShippedLimitSets());
}

INSTANTIATE_TEST_SUITE_P(
    Errors, BadWorkshopFile,
    ::testing::Values(
        BadFileCase{"MissingComma", "{\"format\": 1,\n \"sets\": [\n {\"id\": \"a\"\n \"name\": \"b\"}]}",
                    "line 4: unterminated object"},
        BadFileCase{"NotAnObject", "[1, 2]", "the file must hold one object"},
        BadFileCase{"WrongFormat", R"({"format": 2, "sets": []})", "format: must be 1"},
        BadFileCase{"MissingSource",
                    R"({"format": 1, "sets": [{"id": "x", "name": "n", "scheme": "UK", "vehicleTypes": ["car"],
                       "applies": "a", "stages": [{"stage": "naturalIdle", "minRpm": 1, "maxRpm": 2}]}]})",
                    R"(set "x": sets[0].source: is missing)"},
        BadFileCase{"MisspeltLimit",
                    OneSet("x", R"("stages": [{"stage": "naturalIdle", "minRpm": 1, "maxRpm": 2, "coMAx": 0.3}])"),
                    R"(set "x": sets[0].stages[0].coMAx: unknown field)"},
        BadFileCase{"LimitAsText",
                    OneSet("x", R"("stages": [{"stage": "naturalIdle", "minRpm": 1, "maxRpm": 2, "coMax": "0.3"}])"),
                    R"(set "x": sets[0].stages[0].coMax: must be a number from 0 to 15)"},
        BadFileCase{"SpeedWindowBackwards",
                    OneSet("x", R"("stages": [{"stage": "naturalIdle", "minRpm": 900, "maxRpm": 900}])"),
                    R"(set "x": sets[0].stages[0].maxRpm: must be above minRpm)"},
        BadFileCase{
            "BadDate",
            OneSet("x",
                   R"("firstUsedFrom": "1 Aug 1992", "stages": [{"stage": "naturalIdle", "minRpm": 1, "maxRpm": 2}])"),
            R"(set "x": sets[0].firstUsedFrom: must be a date YYYY-MM-DD)"},
        BadFileCase{"UnknownStage", OneSet("x", R"("stages": [{"stage": "cruise", "minRpm": 1, "maxRpm": 2}])"),
                    R"(set "x": sets[0].stages[0].stage: must be "fastIdle" or "naturalIdle")"},
        BadFileCase{"TakesAShippedId",
                    OneSet("uk-1986", R"("stages": [{"stage": "naturalIdle", "minRpm": 1, "maxRpm": 2, "coMax": 1}])"),
                    "sets[0].id: \"uk-1986\" is the id of a shipped set"}),
    [](const auto &info) { return std::string(info.param.name); });

namespace {
// One UK car set "w" with these stages and, before them, these other fields.
std::string Staged(const char *stages, const char *fields = "")
{
    return OneSet("w", (std::string(fields) + R"("stages": [)" + stages + "]").c_str());
}
const char *const kFast = R"({"stage": "fastIdle", "minRpm": 2500, "maxRpm": 3000, "coMax": 0.3})";
const char *const kIdle = R"({"stage": "naturalIdle", "minRpm": 450, "maxRpm": 1500, "coMax": 0.5})";
// A good file padded with blanks to `size` bytes.
std::string PaddedTo(qsizetype size)
{
    std::string text = Staged(kIdle);
    return text + std::string(static_cast<std::size_t>(size) - text.size(), ' ');
}
std::string Joined(const char *a, const char *b)
{
    return std::string(a) + ", " + b;
}
} // namespace

// Sets that read as JSON but could not judge a car: refused whole, named, with the reason.
INSTANTIATE_TEST_SUITE_P(
    Refused, BadWorkshopFile,
    ::testing::Values(
        BadFileCase{"MeteredStageWithSpeedWindowOnly",
                    Staged(R"({"stage": "naturalIdle", "minRpm": 450, "maxRpm": 1500})"),
                    R"(set "w": sets[0].stages[0]: limits no gas; a metered stage needs coMax, hcMax, lambdaMin or )"
                    R"(lambdaMax (or the set's "metered": false))"},
        BadFileCase{"SecondStageWithoutLimits",
                    Staged(Joined(kFast, R"({"stage": "naturalIdle", "minRpm": 450, "maxRpm": 1500})").c_str()),
                    R"(set "w": sets[0].stages[1]: limits no gas; a metered stage needs coMax, hcMax, lambdaMin or )"
                    R"(lambdaMax (or the set's "metered": false))"},
        BadFileCase{"HcOnlyForEveryFuel",
                    Staged(R"({"stage": "naturalIdle", "minRpm": 450, "maxRpm": 1500, "hcMax": 1200})"),
                    R"(set "w": sets[0].stages[0]: limits HC only, which is never applied to CNG; add coMax or )"
                    R"(lambda limits, or leave "cng" out of the set's fuels)"},
        BadFileCase{"HcOnlyForCng",
                    Staged(R"({"stage": "naturalIdle", "minRpm": 450, "maxRpm": 1500, "hcMax": 1200})",
                           R"("fuels": ["petrol", "cng"], )"),
                    R"(set "w": sets[0].stages[0]: limits HC only, which is never applied to CNG; add coMax or )"
                    R"(lambda limits, or leave "cng" out of the set's fuels)"},
        BadFileCase{"NaturalIdleTwice", Staged(Joined(kIdle, kIdle).c_str()),
                    R"(set "w": sets[0].stages[1].stage: natural idle is given twice)"},
        BadFileCase{"FastIdleTwice", Staged(Joined(kFast, kFast).c_str()),
                    R"(set "w": sets[0].stages[1].stage: fast idle is given twice)"},
        BadFileCase{"FastIdleAfterNaturalIdle", Staged(Joined(kIdle, kFast).c_str()),
                    R"(set "w": sets[0].stages[1].stage: fast idle must come before natural idle)"},
        BadFileCase{
            "WindowsTouch",
            Staged(Joined(kFast, R"({"stage": "naturalIdle", "minRpm": 450, "maxRpm": 2500, "coMax": 1})").c_str()),
            R"(set "w": sets[0].stages[1].maxRpm: must be below the fast idle window, which starts at 2500)"},
        BadFileCase{"HcAboveAnyReading",
                    Staged(R"({"stage": "naturalIdle", "minRpm": 450, "maxRpm": 1500, "coMax": 1, "hcMax": 20001})"),
                    R"(set "w": sets[0].stages[0].hcMax: must be a number from 0 to 20000)"},
        BadFileCase{"CoAboveAnyReading",
                    Staged(R"({"stage": "naturalIdle", "minRpm": 450, "maxRpm": 1500, "coMax": 15.01})"),
                    R"(set "w": sets[0].stages[0].coMax: must be a number from 0 to 15)"},
        BadFileCase{"CoNegative", Staged(R"({"stage": "naturalIdle", "minRpm": 450, "maxRpm": 1500, "coMax": -0.1})"),
                    R"(set "w": sets[0].stages[0].coMax: must be a number from 0 to 15)"},
        BadFileCase{"LambdaBelowAnyMixture",
                    Staged(R"({"stage": "fastIdle", "minRpm": 2500, "maxRpm": 3000, "lambdaMin": 0.49})"),
                    R"(set "w": sets[0].stages[0].lambdaMin: must be a number from 0.5 to 2)"},
        BadFileCase{"EngineSpeedAboveAnyEngine",
                    Staged(R"({"stage": "fastIdle", "minRpm": 2500, "maxRpm": 10001, "coMax": 1})"),
                    R"(set "w": sets[0].stages[0].maxRpm: must be a number from 0 to 10000)"},
        BadFileCase{"RecheckHcAboveAnyReading",
                    Staged(R"({"stage": "naturalIdle", "minRpm": 450, "maxRpm": 1500, "coMax": 1, "hcMax": 1200,
                               "recheck": {"minRpm": 1800, "maxRpm": 2200, "hcMax": 30000}})"),
                    R"(set "w": sets[0].stages[0].recheck.hcMax: must be a number from 0 to 20000)"},
        BadFileCase{"ObdRuleMisspelt", Staged(kIdle, R"("obd": {"lampFail": true}, )"),
                    R"(set "w": sets[0].obd.lampFail: unknown field)"},
        BadFileCase{"ObdRuleNotAnObject", Staged(kIdle, R"("obd": true, )"),
                    R"(set "w": sets[0].obd: must be an object)"},
        BadFileCase{"IncompleteMonitorsFraction", Staged(kIdle, R"("obd": {"incompleteMonitorsAllowed": 1.5}, )"),
                    R"(set "w": sets[0].obd.incompleteMonitorsAllowed: must be a whole number)"},
        BadFileCase{"MoreMonitorsThanAnyEngineHas", Staged(kIdle, R"("obd": {"incompleteMonitorsAllowed": 18}, )"),
                    R"(set "w": sets[0].obd.incompleteMonitorsAllowed: must be a number from 0 to 17)"},
        BadFileCase{"LampRuleAsText", Staged(kIdle, R"("obd": {"lampFails": "yes"}, )"),
                    R"(set "w": sets[0].obd.lampFails: must be true or false)"},
        BadFileCase{"WarmCoolantBelowAnyWarmEngine", Staged(kIdle, R"("warmCoolantC": 29, )"),
                    R"(set "w": sets[0].warmCoolantC: must be a number from 30 to 110)"},
        BadFileCase{"WarmCoolantAboveAnIdlingEngine", Staged(kIdle, R"("warmCoolantC": 111, )"),
                    R"(set "w": sets[0].warmCoolantC: must be a number from 30 to 110)"},
        BadFileCase{"WarmCoolantFraction", Staged(kIdle, R"("warmCoolantC": 70.5, )"),
                    R"(set "w": sets[0].warmCoolantC: must be a whole number)"},
        BadFileCase{"WarmCoolantAsText", Staged(kIdle, R"("warmCoolantC": "70", )"),
                    R"(set "w": sets[0].warmCoolantC: must be a number from 30 to 110)"},
        BadFileCase{"WarmCoolantInsideTheObdRule", Staged(kIdle, R"("obd": {"warmCoolantC": 70}, )"),
                    R"(set "w": sets[0].obd.warmCoolantC: unknown field)"},
        BadFileCase{"RecheckOfAStageWithoutHc",
                    Staged(R"({"stage": "naturalIdle", "minRpm": 450, "maxRpm": 1500, "coMax": 1,
                               "recheck": {"minRpm": 1800, "maxRpm": 2200, "hcMax": 1200}})"),
                    R"(set "w": sets[0].stages[0].recheck: needs an hcMax on its stage)"},
        BadFileCase{"OneByteOverAMegabyte", PaddedTo(1024 * 1024 + 1),
                    "is larger than 1048576 bytes; a limit set file is a few kilobytes"}),
    [](const auto &info) { return std::string(info.param.name); });

// The edges of the same rules that a workshop may use.
struct GoodFileCase {
    const char *name;
    std::string content;
    std::size_t stages;
};
class GoodWorkshopFile : public ::testing::TestWithParam<GoodFileCase> {};

TEST_P(GoodWorkshopFile, IsRead)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, QByteArray::fromStdString(GetParam().content));
    const check::LimitLibrary library = check::LoadLimitLibrary(path);
    EXPECT_TRUE(library.workshopError.isEmpty()) << library.workshopError.toStdString();
    ASSERT_EQ(library.sets.size(), check::ShippedLimitSets().size() + 1);
    EXPECT_EQ(library.sets.back().stages.size(), GetParam().stages);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, GoodWorkshopFile,
    ::testing::Values(
        GoodFileCase{"RecordOnlyStageNeedsNoLimit",
                     Staged(R"({"stage": "naturalIdle", "minRpm": 450, "maxRpm": 1500})", R"("metered": false, )"), 1},
        GoodFileCase{"HcOnlyWithoutCng",
                     Staged(R"({"stage": "naturalIdle", "minRpm": 450, "maxRpm": 1500, "hcMax": 1200})",
                            R"("fuels": ["petrol", "lpg"], )"),
                     1},
        GoodFileCase{"LambdaOnly",
                     Staged(R"({"stage": "fastIdle", "minRpm": 2500, "maxRpm": 3000, "lambdaMax": 1.03})"), 1},
        GoodFileCase{"EveryFigureAtItsBound",
                     Staged(R"({"stage": "fastIdle", "minRpm": 1501, "maxRpm": 10000, "coMax": 15, "hcMax": 20000,
                                "lambdaMin": 0.5, "lambdaMax": 2},
                               {"stage": "naturalIdle", "minRpm": 0, "maxRpm": 1500, "coMax": 0, "hcMax": 0,
                                "recheck": {"minRpm": 1800, "maxRpm": 2200, "hcMax": 20000}})"),
                     2},
        GoodFileCase{"FastIdleAlone", Staged(kFast), 1}, GoodFileCase{"ExactlyAMegabyte", PaddedTo(1024 * 1024), 1}),
    [](const auto &info) { return std::string(info.param.name); });

// The coolant a set asks for before an engine without an oil reading counts as warm.
struct WarmCoolantCase {
    const char *name;
    const char *field;
    int warmCoolantC;
};
class WarmCoolantField : public ::testing::TestWithParam<WarmCoolantCase> {};

TEST_P(WarmCoolantField, IsReadOrDefaultsTo70)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, QByteArray::fromStdString(Staged(kIdle, GetParam().field)));
    const check::LimitLibrary library = check::LoadLimitLibrary(path);
    ASSERT_TRUE(library.workshopError.isEmpty()) << library.workshopError.toStdString();
    EXPECT_EQ(library.sets.back().warmCoolantC, GetParam().warmCoolantC);
}

INSTANTIATE_TEST_SUITE_P(Values, WarmCoolantField,
                         ::testing::Values(WarmCoolantCase{"Absent", "", 70},
                                           WarmCoolantCase{"LowestBound", R"("warmCoolantC": 30, )", 30},
                                           WarmCoolantCase{"HighestBound", R"("warmCoolantC": 110, )", 110}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(WorkshopFile, AddsItsSetsAfterTheShippedOnes)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, QByteArray(R"({"format": 1, "sets": [)") + kGoodSet + QByteArray("]}"));
    const check::LimitLibrary library = check::LoadLimitLibrary(path);
    EXPECT_TRUE(library.workshopError.isEmpty()) << library.workshopError.toStdString();
    ASSERT_EQ(library.sets.size(), check::ShippedLimitSets().size() + 1);
    EXPECT_EQ(library.sets.back().file, path);

    check::Vehicle v;
    v.scheme = QStringLiteral("IE");
    v.firstUsed = QDate(2015, 6, 1);
    const auto choice = check::ChooseLimitSet(library.sets, v);
    ASSERT_TRUE(choice.set);
    EXPECT_EQ(choice.set->id, QStringLiteral("ie-2010"));
    EXPECT_EQ(choice.reason, QStringLiteral("IE car, first used 2010 or later"));
    EXPECT_EQ(choice.set->stages[0].limits.coMax, 30);
}

TEST(WorkshopFile, CannotTakeTheVehiclesOfAShippedSet)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, R"({"format": 1, "sets": [{"id": "lenient", "name": "n", "source": "s",
      "scheme": "UK", "vehicleTypes": ["car"], "applies": "lenient", "catalyst": true,
      "stages": [{"stage": "naturalIdle", "minRpm": 1, "maxRpm": 9000, "coMax": 9}]}]})");
    const check::LimitLibrary library = check::LoadLimitLibrary(path);
    ASSERT_TRUE(library.workshopError.isEmpty());
    check::Vehicle v;
    v.catalyst = true;
    v.firstUsed = QDate(2005, 1, 1);
    EXPECT_EQ(check::ChooseLimitSet(library.sets, v).set->id, QStringLiteral("uk-1992-catalyst"));
    v.type = QStringLiteral("Car"); // types and schemes match in any case
    v.scheme = QStringLiteral("uk");
    EXPECT_EQ(check::ChooseLimitSet(library.sets, v).set->id, QStringLiteral("uk-1992-catalyst"));
}

TEST(WorkshopFile, NoneIsNoError)
{
    QTemporaryDir dir;
    const auto library = check::LoadLimitLibrary(dir.filePath(QStringLiteral("absent.json")));
    EXPECT_TRUE(library.workshopError.isEmpty());
    EXPECT_EQ(library.sets.size(), 11u);
}

struct MadeCase {
    const char *name;
    check::MakerFigures figures;
    std::vector<check::StageLimits> stages; // when made
    const char *error;                      // "" when made
};

class MakerLimits : public ::testing::TestWithParam<MadeCase> {};

TEST_P(MakerLimits, TypedFiguresBecomeTheStagesInTheAnalysersUnitsOrAreNamed)
{
    const MadeCase &c = GetParam();
    const auto made = check::MakerLimitSet(c.figures);
    EXPECT_EQ(qova::test::Said(made).toStdString(), c.error);
    ASSERT_EQ(made.ok(), *c.error == '\0');
    if (made.ok()) {
        EXPECT_EQ(made->stages, c.stages);
        EXPECT_FALSE(made->source.isEmpty());
    }
}

using check::StageKind;
// Figures: fast idle?, its speeds, CO %, HC ppm, lambda from and to; natural idle's speeds,
// CO %, HC ppm.
INSTANTIATE_TEST_SUITE_P(Figures, MakerLimits,
                         ::testing::Values(MadeCase{"BothStages",
                                                    {true, 2500, 3000, 0.25, 150, 0.98, 1.02, 700, 900, 0.4, {}},
                                                    {{StageKind::FastIdle, 2500, 3000, {25, 150, 980, 1020}, {}},
                                                     {StageKind::NaturalIdle, 700, 900, {40, {}, {}, {}}, {}}},
                                                    ""},
                                           MadeCase{"NaturalIdleAlone",
                                                    {false, 2500, 3000, 0.25, {}, {}, {}, 450, 1500, {}, 300},
                                                    {{StageKind::NaturalIdle, 450, 1500, {{}, 300, {}, {}}, {}}},
                                                    ""},
                                           MadeCase{"IdleSpeedsTheWrongWayRound",
                                                    {true, 2500, 3000, 0.25, {}, {}, {}, 700, 600, 0.4, {}},
                                                    {},
                                                    "natural idle: the highest engine speed must be above the lowest"},
                                           MadeCase{"FastSpeedsEqual",
                                                    {true, 2500, 2500, 0.25, {}, {}, {}, 700, 900, 0.4, {}},
                                                    {},
                                                    "fast idle: the highest engine speed must be above the lowest"},
                                           MadeCase{"FastLambdaTheWrongWayRound",
                                                    {true, 2500, 3000, {}, {}, 1.03, 0.97, 700, 900, {}, {}},
                                                    {},
                                                    "fast idle: the highest lambda must not be below the lowest"},
                                           MadeCase{"NegativeIdleCo",
                                                    {true, 2500, 3000, {}, {}, {}, {}, 700, 900, -0.1, {}},
                                                    {},
                                                    "natural idle: a limit must not be negative"}),
                         [](const auto &info) { return std::string(info.param.name); });
