#include "config/configframes.h"
#include "tests/support/fakedevice.h"
#include "tests/support/okresult.h"

#include <gtest/gtest.h>

using namespace qova;
using Bytes = std::vector<std::uint8_t>;

namespace {

// The analyser's side: `answer` follows once the `frameLength`-th byte of the frame is in,
// `delayMs` later. Every new device of the link gets it, so senders that open the port
// themselves meet the same analyser.
void answerFrames(test::FakeLink &fake, std::size_t frameLength, std::optional<std::uint8_t> answer, int delayMs)
{
    fake.prepare = [&fake, frameLength, answer, delayMs](test::FakeDevice &dev) {
        auto count = std::make_shared<std::size_t>(0);
        dev.onWrite = [&fake, count, frameLength, answer, delayMs](std::uint8_t, test::FakeDevice &d) {
            if (++*count == frameLength && answer)
                d.queue({*answer}, fake.clock.nowMs() + delayMs);
        };
    };
}

QDateTime at(int y, int mo, int d, int h, int mi, int s)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

} // namespace

// ---- Setup frame ----------------------------------------------------------------------

struct SetupCase {
    const char *name;
    std::uint8_t flags;
    int mode;
    QDateTime now;
    Bytes sent;
};

class SetupFrame : public ::testing::TestWithParam<SetupCase> {};

TEST_P(SetupFrame, SentByteForByte)
{
    const auto &c = GetParam();
    test::FakeLink fake;
    answerFrames(fake, 11, 'O', 0);
    ASSERT_TRUE(fake.open());
    EXPECT_TRUE(qova::test::Ok(config::SendSetup(fake.port, c.flags, c.mode, [&] { return c.now; })));
    EXPECT_EQ(fake.device().writtenBytes(), c.sent);
}

INSTANTIATE_TEST_SUITE_P(
    Config, SetupFrame,
    ::testing::Values(SetupCase{"start_up_choices",
                                0x05,
                                0,
                                at(2026, 12, 8, 4, 16, 37),
                                {0x77, 0x05, 0x00, 0x37, 0x16, 0x04, 0x08, 0x12, 0x1A, 0x76, 0xFF}},
                      // The year is a plain number, the day BCD: 19 goes out as 0x13 and as 0x19.
                      SetupCase{"year_binary_day_bcd",
                                0x05,
                                1,
                                at(2019, 3, 19, 12, 0, 0),
                                {0x77, 0x05, 0x01, 0x00, 0x00, 0x12, 0x19, 0x03, 0x13, 0xB9, 0xFF}},
                      SetupCase{"midnight_2000",
                                0x04,
                                8,
                                at(2000, 1, 1, 0, 0, 0),
                                {0x77, 0x04, 0x08, 0x00, 0x00, 0x00, 0x01, 0x01, 0x00, 0xF2, 0xFF}},
                      SetupCase{"no_mode_last_second_of_2255",
                                0xE6,
                                -1,
                                at(2255, 12, 31, 23, 59, 59),
                                {0x77, 0xE6, 0xFF, 0x59, 0x59, 0x23, 0x31, 0x12, 0xFF, 0x04, 0xFC}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SetupSend, ClockIsReadWhenTheFrameLeavesNotWhenSendIsPressed)
{
    test::FakeLink fake;
    answerFrames(fake, 11, 'O', 0);
    ASSERT_TRUE(fake.open());
    const QDateTime pressed = QDateTime(QDate(2026, 12, 8), QTime(4, 16, 35, 600));
    auto clock = [&] { return pressed.addMSecs(fake.clock.nowMs()); };
    EXPECT_TRUE(qova::test::Ok(config::SendSetup(fake.port, 0x05, 0, clock)));
    // 35.6 s plus the 1.5 s pre-send wait.
    EXPECT_EQ(fake.device().writtenBytes().at(3), 0x37);
}

struct FlagsCase {
    const char *name;
    std::vector<std::uint8_t (*)(std::uint8_t)> clicks;
    std::uint8_t flags;
};

class SetupFlagsFields : public ::testing::TestWithParam<FlagsCase> {};

TEST_P(SetupFlagsFields, EachClickChangesOnlyItsField)
{
    std::uint8_t flags = config::kInitialSetupFlags;
    for (auto click : GetParam().clicks)
        flags = click(flags);
    EXPECT_EQ(flags, GetParam().flags);
}

namespace clicks {
// A click on one of a field's radio buttons: the field takes the button's value.
template <auto With, auto Value> std::uint8_t click(std::uint8_t f)
{
    return With(f, Value);
}
constexpr auto petrol = click<config::WithFuel, config::Fuel::Petrol>;
constexpr auto cng = click<config::WithFuel, config::Fuel::Cng>;
constexpr auto lpg = click<config::WithFuel, config::Fuel::Lpg>;
constexpr auto line = click<config::WithDisplayLayout, config::DisplayLayout::Line>;
constexpr auto page4 = click<config::WithDisplayLayout, config::DisplayLayout::FourPage>;
constexpr auto page8 = click<config::WithDisplayLayout, config::DisplayLayout::EightPage>;
constexpr auto lambda = click<config::WithAfr, false>;
constexpr auto afr = click<config::WithAfr, true>;
constexpr auto celsius = click<config::WithFahrenheit, false>;
constexpr auto fahrenheit = click<config::WithFahrenheit, true>;
} // namespace clicks

INSTANTIATE_TEST_SUITE_P(
    Config, SetupFlagsFields,
    ::testing::Values(FlagsCase{"start", {}, 0x05},
                      FlagsCase{"cng_8page_afr_f", {clicks::cng, clicks::page8, clicks::afr, clicks::fahrenheit}, 0xE6},
                      FlagsCase{
                          "lpg_line_lambda_c", {clicks::lpg, clicks::line, clicks::lambda, clicks::celsius}, 0x04},
                      FlagsCase{"page4", {clicks::page4}, 0x15},
                      // The fuel field is replaced, not or-ed: CNG (2) after PETROL (1) is not 3.
                      FlagsCase{"cng_then_petrol_then_cng", {clicks::cng, clicks::petrol, clicks::cng}, 0x06},
                      FlagsCase{"8page_then_4page", {clicks::page8, clicks::page4}, 0x15},
                      FlagsCase{"all_set_then_all_back",
                                {clicks::cng, clicks::page8, clicks::afr, clicks::fahrenheit, clicks::petrol,
                                 clicks::line, clicks::lambda, clicks::celsius},
                                0x05}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SetupFrameValues, ModeIndexAndBcd)
{
    const QStringList modes = config::RpmModeNames();
    ASSERT_EQ(modes.size(), 9);
    EXPECT_EQ(modes.indexOf(QStringLiteral(" /12")), 8);
    EXPECT_EQ(modes.indexOf(QStringLiteral(" 4 Stroke")), 1);
    EXPECT_EQ(config::Bcd(0), 0x00);
    EXPECT_EQ(config::Bcd(9), 0x09);
    EXPECT_EQ(config::Bcd(10), 0x10);
    EXPECT_EQ(config::Bcd(59), 0x59);
}

// ---- Calibration ------------------------------------------------------------------------

struct ParseCase {
    const char *name;
    QString text;
    std::optional<std::uint16_t> value;
};

class CalibrationText : public ::testing::TestWithParam<ParseCase> {};

TEST_P(CalibrationText, WholeNumbersFrom0To65535Only)
{
    EXPECT_EQ(config::ParseCalibrationValue(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Config, CalibrationText,
    ::testing::Values(ParseCase{"start_text", QStringLiteral("0000"), 0}, ParseCase{"co", QStringLiteral("350"), 350},
                      ParseCase{"blanks_around", QStringLiteral(" 1380 "), 1380},
                      ParseCase{"leading_zeros", QStringLiteral("000000000002200"), 2200},
                      ParseCase{"top", QStringLiteral("65535"), 65535},
                      ParseCase{"one_over", QStringLiteral("65536"), std::nullopt},
                      ParseCase{"seventy_thousand", QStringLiteral("70000"), std::nullopt},
                      ParseCase{"huge", QStringLiteral("99999999999999999999999"), std::nullopt},
                      ParseCase{"minus_one", QStringLiteral("-1"), std::nullopt},
                      ParseCase{"plus", QStringLiteral("+5"), std::nullopt},
                      ParseCase{"percent_as_on_the_label", QStringLiteral("3.50"), std::nullopt},
                      ParseCase{"comma", QStringLiteral("3,50"), std::nullopt},
                      ParseCase{"empty", QString(), std::nullopt},
                      ParseCase{"blanks_only", QStringLiteral("   "), std::nullopt},
                      ParseCase{"letters", QStringLiteral("abc"), std::nullopt},
                      ParseCase{"unit", QStringLiteral("2200ppm"), std::nullopt},
                      ParseCase{"inner_blank", QStringLiteral("22 00"), std::nullopt},
                      ParseCase{"arabic_indic_digits", QString::fromUtf8("\u0663\u0665\u0660"), std::nullopt}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(CalibrationText, MessageNamesTheGasAndTheRange)
{
    EXPECT_EQ(config::CalibrationRangeMessage(config::Gas::Co2),
              QStringLiteral("CO2 must be a whole number from 0 to 65535"));
    EXPECT_EQ(config::GasName(config::Gas::Hc), QStringLiteral("HC"));
    EXPECT_EQ(config::GasName(config::Gas::No), QStringLiteral("NO"));
}

struct CalibrationCase {
    const char *name;
    config::CalibrationValues values;
    Bytes sent;
};

class CalibrationFrame : public ::testing::TestWithParam<CalibrationCase> {};

TEST_P(CalibrationFrame, SentByteForByte)
{
    test::FakeLink fake;
    answerFrames(fake, 11, 'O', 0);
    ASSERT_TRUE(fake.open());
    EXPECT_TRUE(qova::test::Ok(config::SendCalibration(fake.port, GetParam().values)));
    EXPECT_EQ(fake.device().writtenBytes(), GetParam().sent);
}

INSTANTIATE_TEST_SUITE_P(
    Config, CalibrationFrame,
    ::testing::Values(CalibrationCase{"zeros", {0, 0, 0, 0}, {0x99, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
                      CalibrationCase{"guide_values",
                                      {350, 1380, 2200, 1000},
                                      {0x99, 0x5E, 0x01, 0x64, 0x05, 0x98, 0x08, 0xE8, 0x03, 0xAD, 0xFD}},
                      CalibrationCase{"top_and_low_byte_order",
                                      {65535, 4464, 1, 256},
                                      {0x99, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00, 0x00, 0x01, 0x7F, 0xFD}}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- Header lines -------------------------------------------------------------------------

namespace {
Bytes padded(const std::string &s)
{
    Bytes b(s.begin(), s.end());
    b.resize(20, 0x20);
    return b;
}
Bytes cat(Bytes a, const Bytes &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
} // namespace

struct HeaderCase {
    const char *name;
    QString line1, line2;
    Bytes lines;
};

class HeaderFrame : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(HeaderFrame, LinesCutOrFilledToTwentyBytes)
{
    const auto &c = GetParam();
    const auto payload = config::MakeHeaderPayload(c.line1, c.line2);
    EXPECT_EQ(Bytes(payload.begin(), payload.end()), c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Config, HeaderFrame,
    ::testing::Values(HeaderCase{"start_texts", QStringLiteral("       "), QStringLiteral("  "), Bytes(40, 0x20)},
                      HeaderCase{"exactly_20", QStringLiteral("ABCDEFGHIJKLMNOPQRST"), QString(),
                                 cat(padded("ABCDEFGHIJKLMNOPQRST"), padded(""))},
                      HeaderCase{"24_loses_4", QString(), QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWX"),
                                 cat(padded(""), padded("ABCDEFGHIJKLMNOPQRST"))},
                      HeaderCase{"not_trimmed", QStringLiteral("  X  "), QStringLiteral(" Y"),
                                 cat(padded("  X  "), padded(" Y"))},
                      HeaderCase{"windows_1252", QString::fromUtf8("\u20ACuro \u00E9 \u0178 \u2122"),
                                 QString::fromUtf8("\u00FF"), cat(padded("\x80uro \xE9 \x9F \x99"), padded("\xFF"))},
                      HeaderCase{"not_in_the_code_page", QString::fromUtf8("\u03A9mega \u0081 \u4E2D"), QString(),
                                 cat(padded("?mega ? ?"), padded(""))},
                      // Two UTF-16 units, one character, one byte.
                      HeaderCase{"outside_the_bmp", QString::fromUtf8("a\U0001F600b"),
                                 QString::fromUtf8("\U0001F600xxxxxxxxxxxxxxxxxxxZ"),
                                 cat(padded("a?b"), padded("?xxxxxxxxxxxxxxxxxxx"))},
                      HeaderCase{"accent_typed_apart", QString::fromUtf8("cafe\u0301"), QString::fromUtf8("caf\u00E9"),
                                 cat(padded("caf\xE9"), padded("caf\xE9"))},
                      HeaderCase{"lone_surrogate", QString(QChar(0xD800)) + QStringLiteral("x"), QString(),
                                 cat(padded("?x"), padded(""))}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(HeaderSend, OneLetterAndAnEmptyLine)
{
    test::FakeLink fake;
    answerFrames(fake, 43, 'O', 0);
    EXPECT_TRUE(qova::test::Ok(config::SendHeaderLines(fake.port, QStringLiteral("A"), QString())));
    const Bytes sent = fake.device().writtenBytes();
    ASSERT_EQ(sent.size(), 43u);
    EXPECT_EQ(sent.front(), 0xDD);
    EXPECT_EQ(sent[1], 0x41);
    EXPECT_EQ(sent[41], 0xDF);
    EXPECT_EQ(sent[42], 0xFA);
    EXPECT_GE(fake.device().written().front().atMs, 2);
    // Left open for whoever comes next.
    EXPECT_TRUE(fake.port.PortOpen);
    EXPECT_TRUE(fake.device().isOpen());
}

TEST(HeaderSend, EachSendOpensAfreshAndReleasesTheOldDevice)
{
    test::FakeLink fake;
    answerFrames(fake, 43, 'O', 0);
    EXPECT_TRUE(qova::test::Ok(config::SendHeaderLines(fake.port, QString(), QString())));
    EXPECT_TRUE(qova::test::Ok(config::SendHeaderLines(fake.port, QString(), QString())));
    ASSERT_EQ(fake.devices.size(), 2u);
    EXPECT_EQ(fake.devices[0]->closes(), 1);
    EXPECT_TRUE(fake.devices[1]->isOpen());
}

class HeaderPortFailure : public ::testing::TestWithParam<int> {};

TEST_P(HeaderPortFailure, NothingIsWritten)
{
    test::FakeLink fake;
    const int step = GetParam();
    fake.prepare = [step](test::FakeDevice &d) {
        d.failOpen = step == 0;
        d.failLine = step == 1;
        d.failTimeouts = step == 2;
        d.failQueues = step == 3;
    };
    const Done sent = config::SendHeaderLines(fake.port, QStringLiteral("X"), QStringLiteral("Y"));
    ASSERT_FALSE(sent.ok());
    // The port's problem, not the answer's: the dialog names the device and the reason.
    EXPECT_EQ(sent.problem().what, QStringLiteral("COM1 (/dev/fake0)"));
    EXPECT_EQ(sent.problem().fix, link::kConnectionFix);
    EXPECT_TRUE(fake.device().writtenBytes().empty());
    EXPECT_FALSE(fake.port.PortOpen);
}

INSTANTIATE_TEST_SUITE_P(Config, HeaderPortFailure, ::testing::Values(0, 1, 2, 3));

// ---- What every sender shares -------------------------------------------------------------------

struct Sender {
    const char *name;
    std::size_t frameLength;
    int preWaitMs;
    int answerWaitMs;
    bool opensPort;
    std::function<Done(link::PortState &)> send;
};

struct AnswerCase {
    const char *name;
    std::optional<std::uint8_t> answer;
    bool atOnce;
    int offsetFromEndOfWaitMs; // when not at once: negative is inside the answer wait
    bool acknowledged;
    const char *why; // how the problem begins its reason, when not acknowledged
};

class AnswerWait : public ::testing::TestWithParam<std::tuple<Sender, AnswerCase>> {};

TEST_P(AnswerWait, EndsWithTheAnswerAndNeverLaterThanTheWait)
{
    const auto &[sender, c] = GetParam();
    const int arrivesMs = c.atOnce ? 0 : sender.answerWaitMs + c.offsetFromEndOfWaitMs;
    test::FakeLink fake;
    answerFrames(fake, sender.frameLength, c.answer, arrivesMs);
    if (!sender.opensPort) {
        ASSERT_TRUE(fake.open());
    }
    const std::int64_t start = fake.clock.nowMs();
    const Done sent = sender.send(fake.port);
    EXPECT_EQ(sent.ok(), c.acknowledged) << qova::test::Said(sent).toStdString();
    if (!sent.ok()) {
        EXPECT_TRUE(sent.problem().why.startsWith(QString::fromUtf8(c.why))) << qova::test::Said(sent).toStdString();
    }

    const auto &written = fake.device().written();
    ASSERT_EQ(written.size(), sender.frameLength);
    EXPECT_GE(written.front().atMs - start, sender.preWaitMs);
    const std::int64_t answerWait = fake.clock.nowMs() - written.back().atMs;
    if (c.answer && arrivesMs < sender.answerWaitMs)
        EXPECT_LE(answerWait, arrivesMs + 2);
    else
        EXPECT_GE(answerWait, sender.answerWaitMs);
    EXPECT_LE(answerWait, sender.answerWaitMs + 2);
}

namespace {
const Sender kSenders[] = {
    {"setup", 11, 1500, 1500, false,
     [](link::PortState &p) {
         return config::SendSetup(p, 0x05, 0, [] { return QDateTime(QDate(2026, 1, 1), QTime()); });
     }},
    {"calibration", 11, 1000, 2000, false,
     [](link::PortState &p) {
         return config::SendCalibration(p, {350, 1380, 2200, 1000});
     }},
    {"header", 43, 2, 2500, true,
     [](link::PortState &p) { return config::SendHeaderLines(p, QStringLiteral("L1"), QStringLiteral("L2")); }},
};
const AnswerCase kAnswers[] = {
    {"at_once", 'O', true, 0, true, ""},
    {"just_inside", 'O', false, -20, true, ""},
    {"too_late", 'O', false, 20, false, "nothing came within"},
    {"silence", std::nullopt, true, 0, false, "nothing came within"},
    {"rejected", 'E', true, 0, false, "it answered 0x45 (\"E\")"},
    {"zero_byte", 0, true, 0, false, "it answered 0x00 instead"},
};
} // namespace

INSTANTIATE_TEST_SUITE_P(Config, AnswerWait,
                         ::testing::Combine(::testing::ValuesIn(kSenders), ::testing::ValuesIn(kAnswers)),
                         [](const auto &info) {
                             return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
                         });

class StaleAnswer : public ::testing::TestWithParam<Sender> {};

TEST_P(StaleAnswer, AnOLeftFromBeforeTheSendIsNoAcknowledgement)
{
    const Sender &sender = GetParam();
    test::FakeLink fake;
    fake.prepare = [](test::FakeDevice &d) { d.queue({'O', 'O'}); };
    if (!sender.opensPort) {
        ASSERT_TRUE(fake.open());
    }
    EXPECT_FALSE(sender.send(fake.port).ok());
}

INSTANTIATE_TEST_SUITE_P(Config, StaleAnswer, ::testing::ValuesIn(kSenders),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(ConfigSend, SetupAndCalibrationNeverOpenThePort)
{
    test::FakeLink fake;
    EXPECT_FALSE(config::SendSetup(fake.port, 0x05, 0, [] { return QDateTime::currentDateTime(); }).ok());
    EXPECT_FALSE(config::SendCalibration(fake.port, {1, 2, 3, 4}).ok());
    EXPECT_TRUE(fake.devices.empty());
    EXPECT_FALSE(fake.port.PortOpen);
}
