// The check's settings as a workshop edits them by hand: every key against its rule, a bad
// value replaced by its default with one line saying which key, what was found and why.
#include "check/checksettings.h"
#include "tests/support/filecontents.h"

#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qova;

// The row and its fixture have names of their own (not in an unnamed namespace): the test
// classes the macros derive from them are not in one either.
struct SettingsCase {
    const char *name;
    const char *fileText; // the [General] section's lines
    check::CheckSettings expected;
    const char *problem; // the one message expected, %1 the file's path; "" for none
};

namespace {

check::CheckSettings with(std::function<void(check::CheckSettings &)> change)
{
    check::CheckSettings s;
    s.askCleanAir = true;
    change(s);
    return s;
}

const check::CheckSettings kDefaults = with([](check::CheckSettings &) {});

} // namespace

class CheckSettingsFile : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(CheckSettingsFile, BadValueFallsBackToItsDefaultAndIsNamed)
{
    const SettingsCase &c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("check.conf"));
    ASSERT_TRUE(test::WriteFileContents(path, QByteArray("[General]\n") + c.fileText));
    const QSettings store(path, QSettings::IniFormat);
    settings::ValidatedSettings read(store);

    const check::CheckSettings got = check::ReadCheckSettings(read);

    EXPECT_EQ(got.settleMs, c.expected.settleMs);
    EXPECT_EQ(got.passWindowMs, c.expected.passWindowMs);
    EXPECT_EQ(got.measureMs, c.expected.measureMs);
    EXPECT_EQ(got.oilWarmTenths, c.expected.oilWarmTenths);
    EXPECT_EQ(got.readyTimeoutMs, c.expected.readyTimeoutMs);
    EXPECT_EQ(got.warmTimeoutMs, c.expected.warmTimeoutMs);
    EXPECT_EQ(got.stageTimeoutMs, c.expected.stageTimeoutMs);
    EXPECT_EQ(got.obdReadoutTimeoutMs, c.expected.obdReadoutTimeoutMs);
    const QStringList messages = read.messages();
    if (*c.problem == '\0') {
        EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
        return;
    }
    ASSERT_EQ(messages.size(), 1) << messages.join('\n').toStdString();
    EXPECT_EQ(messages[0].toStdString(), QString::fromUtf8(c.problem).arg(path).toStdString());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CheckSettingsFile,
    ::testing::Values(
        SettingsCase{"NothingSetIsEveryDefault", "", kDefaults, ""},
        SettingsCase{"AUnitTypedAfterTheNumber", "passWindowMs=5s\n", kDefaults,
                     "passWindowMs = \"5s\" in %1 is not a whole number; 5000 ms is used."},
        SettingsCase{"ZeroPassWindowWouldDivideByZero", "passWindowMs=0\n", kDefaults,
                     "passWindowMs = \"0\" in %1 is outside 1000 ms to 60000 ms; 5000 ms is used."},
        SettingsCase{"GoodValuesWithBlanksAreTaken", "passWindowMs= 8000 \nsettleMs=4000\n", with([](auto &s) {
                         s.passWindowMs = 8000;
                         s.settleMs = 4000;
                     }),
                     ""},
        SettingsCase{"ObdReadoutWaitTaken", "obdReadoutTimeoutMs=60000\n",
                     with([](auto &s) { s.obdReadoutTimeoutMs = 60000; }), ""},
        SettingsCase{"ObdReadoutWaitTooShortForAnyCar", "obdReadoutTimeoutMs=4999\n", kDefaults,
                     "obdReadoutTimeoutMs = \"4999\" in %1 is outside 5000 ms to 300000 ms; 30000 ms is used."},
        SettingsCase{"NegativeSettling", "settleMs=-1\n", kDefaults,
                     "settleMs = \"-1\" in %1 is outside 0 ms to 120000 ms; 10000 ms is used."},
        SettingsCase{"DecimalOilTemperature", "oilWarmTenths=60.5\n", kDefaults,
                     "oilWarmTenths = \"60.5\" in %1 is not a whole number; 600 x 0.1 °C is used."},
        SettingsCase{"AListIsNotANumber", "oilWarmTenths=600, 700\n", kDefaults,
                     "oilWarmTenths = \"600, 700\" in %1 is not a whole number; 600 x 0.1 °C is used."},
        SettingsCase{"BeyondAnInteger", "measureMs=99999999999\n", kDefaults,
                     "measureMs = \"99999999999\" in %1 is outside 1000 ms to 600000 ms; 30000 ms is used."},
        SettingsCase{"MeasuringShorterThanThePassWindowCouldNeverPass", "measureMs=3000\n", kDefaults,
                     "measureMs = \"3000\" in %1 is shorter than passWindowMs (5000 ms); 30000 ms is used."},
        SettingsCase{"APassWindowLongerThanTheDefaultMeasuring", "passWindowMs=40000\n", kDefaults,
                     "passWindowMs = \"40000\" in %1 is longer than measureMs (30000 ms); 5000 ms is used."},
        SettingsCase{
            "StageTimeoutTooShortForItsOwnTimings", "stageTimeoutMs=40000\n", kDefaults,
            "stageTimeoutMs = \"40000\" in %1 leaves under 30000 ms beyond settleMs and measureMs; 300000 ms is "
            "used."},
        SettingsCase{"LongTimingsUnsaidStretchTheStageTimeout", "measureMs=300000\n", with([](auto &s) {
                         s.measureMs = 300000;
                         s.stageTimeoutMs = 340000;
                     }),
                     ""},
        SettingsCase{"ReadyTimeoutInHex", "readyTimeoutMs=0x1000\n", kDefaults,
                     "readyTimeoutMs = \"0x1000\" in %1 is not a whole number; 900000 ms is used."}),
    [](const auto &info) { return std::string(info.param.name); });

struct OperatorCase {
    const char *name;
    QString stored;
    QString expected;
    bool told;
};

class OperatorSetting : public ::testing::TestWithParam<OperatorCase> {};

TEST_P(OperatorSetting, OneLineOfTextOrNothing)
{
    const OperatorCase &c = GetParam();
    settings::ValidatedSettings read(
        [&](const QString &key) { return key == "operator" ? QVariant(c.stored) : QVariant(); },
        QStringLiteral("registry"));
    EXPECT_EQ(check::ReadOperatorName(read), c.expected);
    EXPECT_EQ(read.problems().size(), c.told ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Rows, OperatorSetting,
                         ::testing::Values(OperatorCase{"Plain", " J. SMITH ", "J. SMITH", false},
                                           OperatorCase{"ControlCharacter", "J.\x1b[2JSMITH", "", true},
                                           OperatorCase{"NewLine", "J.\nSMITH", "", true},
                                           OperatorCase{"SixtyOneLetters", QString(61, 'A'), "", true}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(SettingsNotices, EachIsGivenOnceInARun)
{
    const QStringList first = settings::NoticesNotYetGiven({"a = \"1\" in f is bad", "b = \"2\" in f is bad"});
    const QStringList again = settings::NoticesNotYetGiven({"b = \"2\" in f is bad", "c = \"3\" in f is bad"});
    EXPECT_EQ(first.size(), 2);
    EXPECT_EQ(again, QStringList{"c = \"3\" in f is bad"});
}
