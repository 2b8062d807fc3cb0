#include "store/storedtest.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>

using namespace qova;
using RecordBytes = std::array<std::uint8_t, store::kRecordSize>;

namespace {

const RecordBytes kExample = {0x30, 0x15, 0x10, 0x25, 0x12, 0x01, 0x00, 0x7B, 0x00, 0x96, 0x00, 0x91, 0x00, 0x2D, 0x03,
                              0x52, 0x03, 0x55, 0x00, 0x5F, 9,    9,    9,    9,    9,    9,    9,    9,    9,    9};

struct YearCase {
    int currentYear;
    std::uint8_t inCycle;
    int shown;
};

class YearRule : public testing::TestWithParam<YearCase> {};

TEST_P(YearRule, FromTheWorkstationsClock)
{
    EXPECT_EQ(store::StoredYear(GetParam().inCycle, GetParam().currentYear), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Years, YearRule,
                         testing::Values(YearCase{2026, 0, 2024}, YearCase{2026, 1, 2025}, YearCase{2026, 2, 2026},
                                         YearCase{2026, 3, 2027}, YearCase{2000, 3, 2003}, YearCase{2000, 0, 2000},
                                         YearCase{2027, 0, 2024}, YearCase{2028, 0, 2028}, YearCase{2207, 3, 2207},
                                         YearCase{2256, 0, 2000}));

std::string row(const RecordBytes &r, int year)
{
    return store::FormatStoredTestRow(r.data(), year).toStdString();
}

TEST(StoredTestRow, ExampleIn2026)
{
    EXPECT_EQ(row(kExample, 2026), "2025/12/25  10:15:30 0123  1.50 14.5  0.95 0045 0850 85.3");
}

struct FieldCase {
    const char *name;
    int offset;
    std::int16_t value;
    std::string piece; // as it stands in the row, with the blank after it
};

class RowField : public testing::TestWithParam<FieldCase> {};

TEST_P(RowField, NegativeAndWideValues)
{
    RecordBytes r = kExample;
    const auto u = static_cast<std::uint16_t>(GetParam().value);
    r[static_cast<std::size_t>(GetParam().offset)] = static_cast<std::uint8_t>(u >> 8);
    r[static_cast<std::size_t>(GetParam().offset) + 1] = static_cast<std::uint8_t>(u & 0xFF);
    EXPECT_NE(row(r, 2026).find(GetParam().piece), std::string::npos) << row(r, 2026);
}

INSTANTIATE_TEST_SUITE_P(Fields, RowField,
                         testing::Values(FieldCase{"HcMinus5", store::kHcOffset, -5, ":30 -005 "},
                                         FieldCase{"CoMinus3", store::kCoOffset, -3, " -0.03 "},
                                         FieldCase{"CoMin", store::kCoOffset, -32768, " -327.68 "},
                                         FieldCase{"Co2Minus1", store::kCo2Offset, -1, " -0.1 "},
                                         FieldCase{"RpmWide", store::kRpmOffset, 12345, " 12345 "},
                                         FieldCase{"OilNegative", store::kOilOffset, -655, " -65.5"}),
                         [](const auto &info) { return std::string(info.param.name); });

// The row as printf makes it, piece by piece.
std::string printfRow(const RecordBytes &r, int year)
{
    const auto num = [&r](int o) { return static_cast<int>(store::StoredNumber(r.data(), o)); };
    char buf[256];
    std::string out;
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d  %02d:%02d:%02d ", store::StoredYear(r[5], year),
                  store::DecodeBcd(r[4]), store::DecodeBcd(r[3]), store::DecodeBcd(r[2]), store::DecodeBcd(r[1]),
                  store::DecodeBcd(r[0]));
    out += buf;
    std::snprintf(buf, sizeof buf, "%04d ", num(6));
    out += buf;
    std::snprintf(buf, sizeof buf, "%5.2f ", num(8) * 0.01);
    out += buf;
    std::snprintf(buf, sizeof buf, "%4.1f ", num(10) * 0.1);
    out += buf;
    std::snprintf(buf, sizeof buf, "%5.2f ", num(18) * 0.01);
    out += buf;
    std::snprintf(buf, sizeof buf, "%04d ", num(12));
    out += buf;
    std::snprintf(buf, sizeof buf, "%04d ", num(14));
    out += buf;
    std::snprintf(buf, sizeof buf, "%.1f", num(16) * 0.1);
    out += buf;
    return out;
}

// Every 16-bit value in every field and every byte in every date field reads as printf has it.
TEST(StoredTestRow, SameAsPrintfForEveryValue)
{
    RecordBytes r = kExample;
    for (int v = -32768; v <= 32767; ++v) {
        const auto u = static_cast<std::uint16_t>(v);
        for (int offset = 6; offset <= 18; offset += 2) {
            // Each field gets a different value so a field read from the wrong place shows.
            const auto w = static_cast<std::uint16_t>(u + offset * 977);
            r[static_cast<std::size_t>(offset)] = static_cast<std::uint8_t>(w >> 8);
            r[static_cast<std::size_t>(offset) + 1] = static_cast<std::uint8_t>(w & 0xFF);
        }
        for (int i = 0; i < 6; ++i)
            r[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(u + i * 37);
        const std::string expected = printfRow(r, 2026);
        char buf[store::kMaxRowLength];
        const std::size_t n = store::FormatStoredTestRow(r.data(), 2026, buf);
        ASSERT_EQ(std::string(buf, n), expected) << "value " << v;
        ASSERT_LE(n, store::kMaxRowLength);
    }
}

TEST(StoredTestRecord, DecodeAndEncodeAgree)
{
    const auto rec = store::StoredTestRecord::decode(kExample.data());
    EXPECT_EQ(rec.Hc, 123);
    EXPECT_EQ(rec.Co, 150);
    EXPECT_EQ(rec.Co2, 145);
    EXPECT_EQ(rec.No, 45);
    EXPECT_EQ(rec.Rpm, 850);
    EXPECT_EQ(rec.Oil, 853);
    EXPECT_EQ(rec.O2, 95);
    EXPECT_EQ(store::DecodeBcd(rec.Day), 25);
    EXPECT_EQ(rec.encode(), kExample);
}

} // namespace
