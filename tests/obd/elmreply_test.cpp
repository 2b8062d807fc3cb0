// Every form of reply an ELM327 adapter or a clone sends, as bytes, to what the session
// makes of it. Rows marked "recorded" are byte for byte from an adapter emulator.
#include "obd/elmreply.h"

#include <gtest/gtest.h>

namespace qova::obd {
namespace {

using namespace std::string_literals;

struct ReplyRow {
    const char *name;
    std::string raw; // up to the prompt
    const char *command;
    ElmFailure failure;
    std::vector<const char *> lines;
    bool echoed = false;
    bool searched = false;
    const char *banner = nullptr;
};

class ReplyForms : public ::testing::TestWithParam<ReplyRow> {};

TEST_P(ReplyForms, TakenApart)
{
    const auto &row = GetParam();
    const ElmReply r = ParseReply(row.raw, row.command);
    EXPECT_EQ(r.failure, row.failure);
    std::vector<QString> want;
    for (const char *l : row.lines)
        want.push_back(QString::fromUtf8(l));
    EXPECT_EQ(r.lines, want);
    EXPECT_EQ(r.echoed, row.echoed);
    EXPECT_EQ(r.searched, row.searched);
    EXPECT_EQ(r.banner.value_or(QString()), QString::fromLatin1(row.banner ? row.banner : ""));
    const QString message = FailureMessage(r.failure, r.failureLine, QString::fromLatin1(row.command));
    if (row.failure == ElmFailure::None) {
        EXPECT_TRUE(message.isEmpty());
    } else {
        // The operator is told which command failed and what the adapter said.
        EXPECT_TRUE(message.contains(QString::fromLatin1(row.command))) << message.toStdString();
        EXPECT_FALSE(r.failureLine.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Elm, ReplyForms,
    ::testing::Values(
        ReplyRow{"recorded_reset_with_echo",
                 "ATZ\r\r\rELM327 v1.5\r\r",
                 "ATZ",
                 ElmFailure::None,
                 {},
                 true,
                 false,
                 "ELM327 v1.5"},
        ReplyRow{"recorded_echo_off_echoed_once", "ATE0\rOK\r\r", "ATE0", ElmFailure::None, {"OK"}, true},
        ReplyRow{"recorded_search",
                 "SEARCHING...\r4100BE3FA813\r\r",
                 "0100",
                 ElmFailure::None,
                 {"4100BE3FA813"},
                 false,
                 true},
        ReplyRow{"recorded_no_data", "NO DATA\r\r", "015C", ElmFailure::NoData, {}},
        ReplyRow{"recorded_ignition_off",
                 "SEARCHING...\r\rUNABLE TO CONNECT\r\r",
                 "0100",
                 ElmFailure::UnableToConnect,
                 {},
                 false,
                 true},
        ReplyRow{"recorded_bus_init_error", "BUS INIT:ERROR\r\r", "0100", ElmFailure::BusInit, {}},
        ReplyRow{"bus_init_dots_error", "BUS INIT: ...ERROR\r\r", "0100", ElmFailure::BusInit, {}},
        ReplyRow{"bus_init_ok_then_data",
                 "BUS INIT: ...OK\r41 00 BE 3F A8 13\r\r",
                 "0100",
                 ElmFailure::None,
                 {"41 00 BE 3F A8 13"}},
        ReplyRow{"recorded_not_understood", "?\r\r", "ATXX", ElmFailure::NotUnderstood, {}},
        ReplyRow{"can_error", "CAN ERROR\r\r", "010C", ElmFailure::CanError, {}},
        ReplyRow{"buffer_full_after_data",
                 "7E8 10 14 49 02 01 4D 41 54 \rBUFFER FULL\r\r",
                 "0902",
                 ElmFailure::BufferFull,
                 {"7E8 10 14 49 02 01 4D 41 54"}},
        ReplyRow{"stopped", "STOPPED\r\r", "010C", ElmFailure::Stopped, {}},
        ReplyRow{"internal_error", "ERR94\r\r", "0100", ElmFailure::InternalError, {}},
        ReplyRow{
            "low_voltage_reset", "\r\rLV RESET\r\r", "010C", ElmFailure::LowVoltageReset, {}, false, false, "LV RESET"},
        ReplyRow{"bus_busy", "BUS BUSY\r\r", "0101", ElmFailure::BusBusy, {}},
        ReplyRow{"data_error_marked_line",
                 "7E8 03 41 05 44\r<DATA ERROR\r\r",
                 "0105",
                 ElmFailure::DataError,
                 {"7E8 03 41 05 44"}},
        ReplyRow{"rx_error", "<RX ERROR\r\r", "0105", ElmFailure::ReceiveError, {}},
        ReplyRow{"feedback_error", "FB ERROR\r\r", "0100", ElmFailure::FeedbackError, {}},
        ReplyRow{"activity_alert", "!ACT ALERT\r\r", "010C", ElmFailure::ActivityAlert, {}},
        ReplyRow{"echo_left_on", "010C\r410C145F\r\r", "010C", ElmFailure::None, {"410C145F"}, true},
        ReplyRow{
            "echo_with_spaces_lower_case", "01 0c\r41 0C 14 5F\r\r", "010C", ElmFailure::None, {"41 0C 14 5F"}, true},
        ReplyRow{"nul_bytes_before_clone_banner",
                 "\0\0\0\r\rELM327 v2.1\r\r"s,
                 "ATZ",
                 ElmFailure::None,
                 {},
                 false,
                 false,
                 "ELM327 v2.1"},
        ReplyRow{"crlf_line_ends", "7E8 04 41 0C 41 C2 \r\n\r\n", "010C", ElmFailure::None, {"7E8 04 41 0C 41 C2"}},
        ReplyRow{"two_ecus",
                 "7E8 03 41 05 44 \r7E9 03 41 05 46 \r\r",
                 "0105",
                 ElmFailure::None,
                 {"7E8 03 41 05 44", "7E9 03 41 05 46"}},
        ReplyRow{
            "banner_mid_session", "\r\rELM327 v1.5\r\r", "010C", ElmFailure::None, {}, false, false, "ELM327 v1.5"},
        ReplyRow{"high_bytes_stay_garbled",
                 "41\xff"
                 "05\r\r",
                 "0105",
                 ElmFailure::None,
                 {"41\xef\xbf\xbd"
                  "05"}}),
    [](const auto &info) { return std::string(info.param.name); });

// A flood without a prompt is cut at the bound and taken as unreadable.
TEST(ReplyForms, FloodKeepsNoMoreThanTheBound)
{
    const ElmReply r = ParseReply(std::string(100000, '7'), "010C");
    EXPECT_EQ(r.failure, ElmFailure::Unreadable);
    ASSERT_EQ(r.lines.size(), 1u);
    EXPECT_EQ(r.lines.front().size(), static_cast<qsizetype>(kMaxReplyBytes));
}

// The adapter's line goes into the messages that quote it, and only into those; a command
// is quoted as it was sent.
struct MessageRow {
    const char *name;
    ElmFailure failure;
    const char *line;
    const char *command;
    const char *message;
};

class FailureMessages : public ::testing::TestWithParam<MessageRow> {};

TEST_P(FailureMessages, SayWhatTheAdapterAnswered)
{
    const auto &row = GetParam();
    EXPECT_EQ(FailureMessage(row.failure, QString::fromLatin1(row.line), QString::fromLatin1(row.command)),
              QString::fromUtf8(row.message));
}

INSTANTIATE_TEST_SUITE_P(
    Elm, FailureMessages,
    ::testing::Values(
        MessageRow{"none", ElmFailure::None, "", "010C", ""},
        MessageRow{"bus_init_quotes_the_line", ElmFailure::BusInit, "BUS INIT: ...ERROR", "0100",
                   "The OBD adapter's answer to 0100 was \"BUS INIT: ...ERROR\": the car's diagnostic bus did not "
                   "start. Switch the ignition on and check the adapter's plug."},
        MessageRow{"internal_error_names_its_number", ElmFailure::InternalError, "ERR94", "0100",
                   "The OBD adapter's answer to 0100 was the adapter's internal error ERR94. Unplug the adapter and "
                   "plug it in again."},
        MessageRow{"unreadable_says_how_much", ElmFailure::Unreadable, "5000 bytes without a prompt", "010C",
                   "The OBD adapter's answer to 010C could not be read (5000 bytes without a prompt). Check the "
                   "adapter's baud rate, or that the device is an OBD adapter at all."},
        MessageRow{"no_data_quotes_no_line", ElmFailure::NoData, "NO DATA", "015C",
                   "The OBD adapter's answer to 015C was NO DATA: the car did not answer in time or does not "
                   "support this reading. It stays unknown."},
        MessageRow{"percent_in_the_command_stays", ElmFailure::DataError, "<DATA ERROR", "AT%1",
                   "The OBD adapter's answer to AT%1 was \"<DATA ERROR\": the car's answer came damaged. It stays "
                   "unknown."}),
    [](const auto &info) { return std::string(info.param.name); });

struct FramingRow {
    const char *name;
    std::vector<const char *> lines;
    bool headers;
    std::vector<EcuMessage> messages;
    bool problem;
};

std::vector<std::uint8_t> B(std::initializer_list<int> v)
{
    std::vector<std::uint8_t> out;
    for (int x : v)
        out.push_back(static_cast<std::uint8_t>(x));
    return out;
}

class Framings : public ::testing::TestWithParam<FramingRow> {};

TEST_P(Framings, CutIntoEcuMessages)
{
    const auto &row = GetParam();
    std::vector<QString> lines;
    for (const char *l : row.lines)
        lines.push_back(QString::fromLatin1(l));
    const Framing f = FrameMessages(lines, row.headers);
    EXPECT_EQ(f.messages, row.messages);
    EXPECT_EQ(!f.problem.isEmpty(), row.problem) << f.problem.toStdString();
}

const auto kVinBytes = B({0x49, 0x02, 0x01, 0x4D, 0x41, 0x54, 0x34, 0x30, 0x33, 0x30,
                          0x39, 0x36, 0x42, 0x4E, 0x4C, 0x30, 0x30, 0x30, 0x30, 0x30});

INSTANTIATE_TEST_SUITE_P(
    Elm, Framings,
    ::testing::Values(
        FramingRow{"recorded_single_no_headers",
                   {"41010007A100"},
                   false,
                   {{{}, B({0x41, 0x01, 0x00, 0x07, 0xA1, 0x00})}},
                   false},
        FramingRow{"recorded_multi_no_headers",
                   {"014", "0: 490201575030", "1: 5A5A5A39395A54", "2: 53333930303030"},
                   false,
                   {{{}, B({0x49, 0x02, 0x01, 'W', 'P', '0', 'Z', 'Z', 'Z', '9',
                            '9',  'Z',  'T',  'S', '3', '9', '0', '0', '0', '0'})}},
                   false},
        FramingRow{"multi_no_headers_cut_to_length",
                   {"008", "0: 49020141424A", "1: 4B000000000000"},
                   false,
                   {{{}, B({0x49, 0x02, 0x01, 0x41, 0x42, 0x4A, 0x4B, 0x00})}},
                   false},
        FramingRow{"multi_no_headers_short", {"014", "0: 490201575030"}, false, {}, true},
        FramingRow{"multi_no_headers_out_of_order", {"014", "1: 5A5A5A39395A54"}, false, {}, true},
        FramingRow{"recorded_single_headers_spaces",
                   {"7E8 04 41 0C 41 C2"},
                   true,
                   {{"7E8", B({0x41, 0x0C, 0x41, 0xC2})}},
                   false},
        FramingRow{"single_headers_no_spaces", {"7E804410C41C2"}, true, {{"7E8", B({0x41, 0x0C, 0x41, 0xC2})}}, false},
        FramingRow{
            "single_frame_padding_cut", {"7E8 03 41 05 44 AA AA AA AA"}, true, {{"7E8", B({0x41, 0x05, 0x44})}}, false},
        FramingRow{"recorded_multi_headers",
                   {"7E8 10 14 49 02 01 4D 41 54", "7E8 21 34 30 33 30 39 36 42", "7E8 22 4E 4C 30 30 30 30 30"},
                   true,
                   {{"7E8", kVinBytes}},
                   false},
        FramingRow{"multi_headers_interleaved_ecus",
                   {"7E8 10 0A 43 04 01 33 02 44", "7E9 02 43 00", "7E8 21 43 00 96 01 00 00 00"},
                   true,
                   {{"7E9", B({0x43, 0x00})}, {"7E8", B({0x43, 0x04, 0x01, 0x33, 0x02, 0x44, 0x43, 0x00, 0x96, 0x01})}},
                   false},
        FramingRow{"multi_headers_missing_frame",
                   {"7E8 10 14 49 02 01 4D 41 54", "7E8 22 4E 4C 30 30 30 30 30"},
                   true,
                   {},
                   true},
        FramingRow{
            "can29_headers", {"18DAF110 04 41 0C 1A F8"}, true, {{"18DAF110", B({0x41, 0x0C, 0x1A, 0xF8})}}, false},
        FramingRow{"older_bus_header_and_check_byte",
                   {"48 6B 10 41 0C 1A F8 D2"},
                   true,
                   {{"10", B({0x41, 0x0C, 0x1A, 0xF8})}},
                   false},
        FramingRow{"single_frame_announcing_too_much", {"7E8 06 41 0C 1A"}, true, {}, true},
        FramingRow{
            "first_frame_announcing_nothing", {"7E8 10 00 4D 41 54", "7E8 21 35 30 09 33 33 36 84"}, true, {}, true},
        FramingRow{"length_line_zero", {"000", "0: 490201575030"}, false, {}, true},
        FramingRow{"not_hex", {"7E8 04 41 0C ZZ"}, true, {}, true}, FramingRow{"header_alone", {"7E8"}, true, {}, true},
        FramingRow{"continuation_without_start", {"7E8 21 34 30 33 30 39 36 42"}, true, {}, true}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace qova::obd
