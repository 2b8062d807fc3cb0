#include "store/storedtest.h"
#include "store/storegraph.h"
#include "tests/store/storefiles.h"
#include "tests/store/uploadanalyser.h"

#include <gtest/gtest.h>
#include <string>

using namespace qova;
using store::StoreGraphLabel;
using store::StoreGraphMark;

namespace {

struct GeometryCase {
    const char *name;
    int w, h;
    std::array<int, 8> expected; // L, Y0, T, B, P, R, yTick, xTick
};

class GeometryTest : public testing::TestWithParam<GeometryCase> {};

TEST_P(GeometryTest, FollowsTheClientSize)
{
    const auto &[name, w, h, expected] = GetParam();
    const auto g = store::StoreGraphGeometry::compute(w, h, 9);
    EXPECT_EQ((std::array<int, 8>{g.L, g.Y0, g.T, g.B, g.P, g.R, g.yTick, g.xTick}), expected);
    EXPECT_EQ(g.GraphBaseline, g.B);
    EXPECT_EQ(g.GraphLeft, g.L);
    EXPECT_EQ(g.GraphXStep, static_cast<float>((w - 3 * g.L / 2) / 10.0));
    EXPECT_EQ(g.GraphYScale, static_cast<float>(g.P * 0.01));
}

INSTANTIATE_TEST_SUITE_P(Sizes, GeometryTest,
                         testing::Values(GeometryCase{"w1000x700", 1000, 700, {125, 420, 21, 378, 357, 938, 35, 81}},
                                         GeometryCase{"w616x471", 616, 471, {77, 282, 14, 254, 240, 578, 24, 50}},
                                         GeometryCase{
                                             "w1920x1000", 1920, 1000, {240, 600, 30, 540, 510, 1800, 51, 156}}),
                         [](const auto &info) { return std::string(info.param.name); });

struct HeightCase {
    const char *name;
    int offset, number, divisor, units;
};

class TraceHeightTest : public testing::TestWithParam<HeightCase> {};

TEST_P(TraceHeightTest, ValueOverDivisorWithinTheScale)
{
    const HeightCase &c = GetParam();
    store::StoredTestRecord r;
    r.Hc = r.Co = r.Co2 = r.Rpm = static_cast<std::int16_t>(c.number);
    const auto bytes = r.encode();
    const float scale = static_cast<float>(357 * 0.01);
    EXPECT_EQ(store::StoreTraceHeight(bytes.data(), c.offset, c.divisor, scale),
              static_cast<int>(c.units * static_cast<double>(scale)));
}

INSTANTIATE_TEST_SUITE_P(Numbers, TraceHeightTest,
                         testing::Values(HeightCase{"CO_beyond_the_top", store::kCoOffset, 2500, 20, 100},
                                         HeightCase{"CO_negative_on_the_axis", store::kCoOffset, -5, 20, 0},
                                         HeightCase{"RPM_850", store::kRpmOffset, 850, 200, 4},
                                         HeightCase{"HC_19", store::kHcOffset, 19, 20, 0},
                                         HeightCase{"CO2_at_the_top", store::kCo2Offset, 200, 2, 100}),
                         [](const auto &info) { return std::string(info.param.name); });

// The axes of the 616 x 471 window, in the order they are drawn.
TEST(StoreGraphFrame, AxesTicksAndLabelsInDrawingOrder)
{
    const auto frame = store::StoreGraphFrameFor(store::StoreGraphGeometry::compute(616, 471, 9));
    EXPECT_EQ(frame.plot, QRect(77, 14, 501, 240));
    ASSERT_EQ(frame.marks.size(), 48u);
    const std::vector<std::pair<std::size_t, StoreGraphMark>> expected = {
        {0, QLine(77, 14, 77, 254)},
        {1, QLine(77, 254, 578, 254)},
        {2, QLine(77, 254, 67, 254)},
        {3, StoreGraphLabel{{53, 249}, QStringLiteral(" 0.0")}},
        {5, StoreGraphLabel{{53, 225}, QStringLiteral(" 0.2")}},
        {22, QLine(77, 14, 67, 14)},
        {23, StoreGraphLabel{{53, 9}, QStringLiteral(" 2.0")}},
        {24, StoreGraphLabel{{38, -3}, QStringLiteral("2%/2000 PPM GAS")}},
        {25, QLine(77, 254, 77, 264)},
        {26, StoreGraphLabel{{72, 264}, QStringLiteral("0")}},
        {45, QLine(577, 254, 577, 264)},
        {46, StoreGraphLabel{{572, 264}, QStringLiteral("100")}},
        {47, StoreGraphLabel{{581, 246}, QStringLiteral("%Time")}},
    };
    for (const auto &[index, mark] : expected)
        EXPECT_TRUE(frame.marks[index] == mark) << "mark " << index;
}

TEST(StoreGraphTraces, OnlyTheShownTracesInTableOrder)
{
    const QByteArray data = test::BytesOf(test::SampleStore(50));
    const auto g = store::StoreGraphGeometry::compute(1000, 700, 50);
    std::array<bool, 7> shown{};
    shown.fill(true);
    shown[0] = shown[4] = false;
    const auto drawings = store::StoreGraphTraces(g, data, 50, shown);
    ASSERT_EQ(drawings.size(), 5u);
    const std::array<std::size_t, 5> kept = {1, 2, 3, 5, 6};
    for (std::size_t k = 0; k < kept.size(); ++k) {
        const auto &t = store::kStoreTraces[kept[k]];
        EXPECT_EQ(drawings[k].colour, t.colour) << k;
        EXPECT_EQ(drawings[k].lines, store::StoreTraceLines(g, data, 50, {{t.offset, t.divisor}})[0]) << k;
        EXPECT_FALSE(drawings[k].lines.empty()) << k;
    }
    shown.fill(false);
    EXPECT_TRUE(store::StoreGraphTraces(g, data, 50, shown).empty());
}

TEST(StoreGraphTraces, ColoursAreOpaque)
{
    const std::array<std::uint32_t, 7> expected = {0xFFFF0000, 0xFF0000FF, 0xFFFFFF00, 0xFF00FF00,
                                                   0xFF808080, 0xFFFF00FF, 0xFF800080};
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(store::kStoreTraces[i].colour, expected[i]) << store::kStoreTraces[i].caption;
}

struct FewRecordsCase {
    const char *name;
    int records, recordCount;
};

class FewRecordsTest : public testing::TestWithParam<FewRecordsCase> {};

// One point, or none at all, draws no line; the count never reaches past the data.
TEST_P(FewRecordsTest, DrawNoLine)
{
    const QByteArray data = test::BytesOf(test::SampleStore(GetParam().records));
    const auto g = store::StoreGraphGeometry::compute(1000, 700, GetParam().recordCount);
    const auto lines =
        store::StoreTraceLines(g, data, GetParam().recordCount, {{store::kCoOffset, 20}, {store::kRpmOffset, 200}});
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].empty());
    EXPECT_TRUE(lines[1].empty());
}

INSTANTIATE_TEST_SUITE_P(Counts, FewRecordsTest,
                         testing::Values(FewRecordsCase{"none", 0, 0}, FewRecordsCase{"one", 1, 1},
                                         FewRecordsCase{"count_beyond_the_data", 1, 40},
                                         FewRecordsCase{"negative_count", 5, -3}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
