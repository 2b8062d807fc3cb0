#include "link/frame.h"
#include "link/livereading.h"
#include "tests/support/fakedevice.h"

#include <gtest/gtest.h>

using namespace qova;

namespace {
// 22 data bytes adding up to 0x0123, then the given checksum bytes.
std::vector<std::uint8_t> frameSummingTo0123(std::uint8_t low, std::uint8_t high)
{
    std::vector<std::uint8_t> f(22, 0);
    f[0] = 0xFF;
    f[1] = 0x24;
    f.push_back(low);
    f.push_back(high);
    return f;
}
} // namespace

struct FrameCase {
    const char *name;
    std::vector<std::uint8_t> bytes;
    bool valid;
};

class LiveFrameCheck : public ::testing::TestWithParam<FrameCase> {};

TEST_P(LiveFrameCheck, ValidityAndFailureCount)
{
    const auto &c = GetParam();
    test::FakeLink fake;
    ASSERT_TRUE(fake.open());
    fake.device().queue(c.bytes);
    link::LiveReading r;
    int failed = 2;
    EXPECT_EQ(link::ReadLiveFrame(fake.port, r, failed), c.valid);
    EXPECT_EQ(failed, c.valid ? 0 : 3);
    EXPECT_EQ(fake.device().reads(), 24); // never more than the frame
}

INSTANTIATE_TEST_SUITE_P(Frames, LiveFrameCheck,
                         ::testing::Values(FrameCase{"checksum_low_first", frameSummingTo0123(0xDD, 0xFE), true},
                                           FrameCase{"checksum_swapped", frameSummingTo0123(0xFE, 0xDD), false},
                                           FrameCase{"zeros_last_byte_missing", std::vector<std::uint8_t>(23, 0),
                                                     false},
                                           FrameCase{"zeros_complete", std::vector<std::uint8_t>(24, 0), true},
                                           FrameCase{"silence", {}, false},
                                           FrameCase{"one_bit_flipped",
                                                     [] {
                                                         auto f = frameSummingTo0123(0xDD, 0xFE);
                                                         f[5] ^= 1;
                                                         return f;
                                                     }(),
                                                     false}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(LiveFrame, ValidFrameAfterThreeFailuresResetsTheCount)
{
    test::FakeLink fake;
    ASSERT_TRUE(fake.open());
    link::LiveReading r;
    int failed = 0;
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(link::ReadLiveFrame(fake.port, r, failed));
    }
    EXPECT_EQ(failed, 3);
    fake.device().queue(std::vector<std::uint8_t>(24, 0));
    EXPECT_TRUE(link::ReadLiveFrame(fake.port, r, failed));
    EXPECT_EQ(failed, 0);
}

TEST(LiveFrame, RecordHoldsTheFailedFrameAsRead)
{
    test::FakeLink fake;
    ASSERT_TRUE(fake.open());
    std::vector<std::uint8_t> bytes(24, 0);
    bytes[4] = 0x39; // Hc 57, and now the sum is wrong
    fake.device().queue(bytes);
    link::LiveReading r;
    int failed = 0;
    EXPECT_FALSE(link::ReadLiveFrame(fake.port, r, failed));
    EXPECT_EQ(r.Hc, 57);
}

TEST(LiveFrame, EncodeDecodeRoundTripsEveryField)
{
    link::LiveReading in;
    in.Battery = 0x55;
    in.TimeToZero = 0x0C;
    in.Efficiency = 1470;
    in.Hc = -5;
    in.Co = 150;
    in.Co2 = 145;
    in.Nox = 1234;
    in.Rpm = 2500;
    in.OilTemp = -100;
    in.O2 = 2090;
    in.ModeFlags = link::AfrMode | link::Fahrenheit;
    in.FuelCode = 2;
    in.StatusA = link::LeakTestOffer;
    in.StatusB = link::PumpOn | link::LowFlow;
    const auto frame = link::EncodeLiveFrame(in);
    EXPECT_EQ(frame[0], 0x55);
    EXPECT_EQ(frame[1], 0x0C);
    EXPECT_EQ(frame[4], 0xFB); // -5, low byte first
    EXPECT_EQ(frame[5], 0xFF);

    test::FakeLink fake;
    ASSERT_TRUE(fake.open());
    fake.device().queue({frame.begin(), frame.end()});
    link::LiveReading out;
    int failed = 0;
    ASSERT_TRUE(link::ReadLiveFrame(fake.port, out, failed));
    EXPECT_EQ(out.Battery, 85);
    EXPECT_EQ(out.TimeToZero, 12);
    EXPECT_EQ(out.Efficiency, 1470);
    EXPECT_EQ(out.Hc, -5);
    EXPECT_EQ(out.Nox, 1234);
    EXPECT_EQ(out.Rpm, 2500);
    EXPECT_EQ(out.OilTemp, -100);
    EXPECT_EQ(out.O2, 2090);
    EXPECT_EQ(out.ModeFlags, in.ModeFlags);
    EXPECT_EQ(out.FuelCode, 2);
    EXPECT_EQ(out.StatusA, link::LeakTestOffer);
    EXPECT_EQ(out.StatusB, in.StatusB);
}

struct UnitCase {
    const char *name;
    std::int16_t raw;
    std::uint8_t flags;
    double value;
    bool alternate;
};

// The case's raw value in `field` and its mode flags, shown as the case expects.
static void ExpectScaled(std::int16_t link::LiveReading::*field, link::UnitValue (*show)(const link::LiveReading &),
                         const UnitCase &c)
{
    link::LiveReading r;
    r.*field = c.raw;
    r.ModeFlags = c.flags;
    const auto v = show(r);
    EXPECT_NEAR(v.value, c.value, 1e-9);
    EXPECT_EQ(v.alternate, c.alternate);
}

class Efficiency : public ::testing::TestWithParam<UnitCase> {};
TEST_P(Efficiency, Scales)
{
    ExpectScaled(&link::LiveReading::Efficiency, link::EfficiencyValue, GetParam());
}
INSTANTIATE_TEST_SUITE_P(Units, Efficiency,
                         ::testing::Values(UnitCase{"lambda", 1000, 0, 1.0, false},
                                           UnitCase{"afr", 1470, link::AfrMode, 14.70, true},
                                           UnitCase{"other_bits_ignored", 995, 0x5F, 0.995, false}),
                         [](const auto &info) { return std::string(info.param.name); });

class Oil : public ::testing::TestWithParam<UnitCase> {};
TEST_P(Oil, Scales)
{
    ExpectScaled(&link::LiveReading::OilTemp, link::OilTemperature, GetParam());
}
INSTANTIATE_TEST_SUITE_P(Units, Oil,
                         ::testing::Values(UnitCase{"c_25", 250, 0, 25.0, false},
                                           UnitCase{"f_77", 250, link::Fahrenheit, 77.0, true},
                                           UnitCase{"c_minus10", -100, 0, -10.0, false},
                                           UnitCase{"f_14", -100, link::Fahrenheit, 14.0, true}),
                         [](const auto &info) { return std::string(info.param.name); });

struct FuelCase {
    std::uint8_t code;
    bool us;
    const char *name;
};
class Fuel : public ::testing::TestWithParam<FuelCase> {};
TEST_P(Fuel, Name)
{
    EXPECT_EQ(link::FuelName(GetParam().code, GetParam().us), QString::fromLatin1(GetParam().name));
}
INSTANTIATE_TEST_SUITE_P(Names, Fuel,
                         ::testing::Values(FuelCase{0x01, false, "PETROL"}, FuelCase{0x01, true, "GASOLINE"},
                                           FuelCase{0x00, false, "LPG   "}, FuelCase{0x00, true, "LPG   "},
                                           FuelCase{0x02, false, "CNG   "}, FuelCase{0x02, true, "CNG   "},
                                           FuelCase{0x05, false, "PETROL"}, FuelCase{0x03, true, ""},
                                           FuelCase{0xFD, true, "GASOLINE"}));

// The code the analyser sends gives the fuel whose AFR the check divides by and whose name
// the check shows; the string table's name for the code must be that same fuel.
struct FuelCodeCase {
    const char *name;
    std::uint8_t code;
    link::Fuel fuel;
    int afrTenths;
};
class FuelFromCode : public ::testing::TestWithParam<FuelCodeCase> {};
TEST_P(FuelFromCode, IsTheTablesFuel)
{
    const FuelCodeCase &c = GetParam();
    const link::Fuel fuel = link::FuelFromCode(c.code);
    EXPECT_EQ(fuel, c.fuel);
    EXPECT_EQ(link::StoichiometricAfrTenths(fuel), c.afrTenths);
    const QString stringTable = link::FuelName(c.code, false).trimmed();
    if (!stringTable.isEmpty()) {
        EXPECT_EQ(stringTable.toUpper(), QString::fromLatin1(link::FuelInfoOf(fuel).shownName).toUpper());
    }
}
INSTANTIATE_TEST_SUITE_P(Codes, FuelFromCode,
                         ::testing::Values(FuelCodeCase{"lpg", 0x00, link::Fuel::Lpg, 155},
                                           FuelCodeCase{"petrol", 0x01, link::Fuel::Petrol, 147},
                                           FuelCodeCase{"cng", 0x02, link::Fuel::Cng, 172},
                                           FuelCodeCase{"noneIsPetrol", 0x03, link::Fuel::Petrol, 147},
                                           FuelCodeCase{"upperBitsIgnored", 0xFE, link::Fuel::Cng, 172}),
                         [](const auto &info) { return std::string(info.param.name); });
