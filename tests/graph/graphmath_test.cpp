#include "display/graphmath.h"

#include <gtest/gtest.h>
#include <limits>

using namespace qova::display;

namespace {
constexpr int kMax = std::numeric_limits<int>::max();
constexpr int kMin = std::numeric_limits<int>::min();

struct RoundUpCase {
    int value, step, expected;
};
class RoundUpTest : public testing::TestWithParam<RoundUpCase> {};

TEST_P(RoundUpTest, RoundsUpToAMultipleOfTheStep)
{
    const auto c = GetParam();
    EXPECT_EQ(RoundUp(c.value, c.step), c.expected) << c.value << " by " << c.step;
}

INSTANTIATE_TEST_SUITE_P(Values, RoundUpTest,
                         testing::Values(RoundUpCase{150, 100, 200}, RoundUpCase{100, 100, 100}, RoundUpCase{0, 100, 0},
                                         RoundUpCase{37, 0, 37}, RoundUpCase{1, 100, 100}, RoundUpCase{101, 100, 200},
                                         // div truncates toward zero, so a negative value moves up past zero
                                         RoundUpCase{-150, 100, 0}, RoundUpCase{-5, 100, 100},
                                         RoundUpCase{-250, 100, -100},
                                         // no overflow at the ends of the range
                                         RoundUpCase{kMax, 100, kMax}, RoundUpCase{kMin, -1, kMin},
                                         RoundUpCase{kMin, 3, kMin + 5}));

struct HeightCase {
    int value, scale, extent, expected;
};
class PixelHeightTest : public testing::TestWithParam<HeightCase> {};

TEST_P(PixelHeightTest, TruncatesTowardZero)
{
    const auto c = GetParam();
    EXPECT_EQ(PixelHeight(c.value, c.scale, c.extent), c.expected)
        << c.value << " of " << c.scale << " over " << c.extent;
}

INSTANTIATE_TEST_SUITE_P(Values, PixelHeightTest,
                         testing::Values(HeightCase{33, 100, 50, 16}, // 16.5: truncated, not rounded
                                         HeightCase{99, 100, 50, 49}, HeightCase{100, 100, 50, 50},
                                         HeightCase{-33, 100, 50, -16}, // toward zero, not down
                                         HeightCase{50, 100, 700, 350},
                                         // nothing positive in the history: everything on the baseline
                                         HeightCase{-50, 0, 700, 0}, HeightCase{50, 0, 700, 0},
                                         // far off the image, bounded
                                         HeightCase{kMin, 1, 700, -kMaxPixelHeight},
                                         HeightCase{kMax, 100, 700, kMaxPixelHeight}));

TEST(GridPhase, DistanceFromTheRightEdgeToTheNextLine)
{
    EXPECT_EQ(GridPhaseAfter(14, 100, 15), 4); // lines 14 .. 89, next 104
    EXPECT_EQ(GridPhaseAfter(4, 30, 10), 4);
    EXPECT_EQ(GridPhaseAfter(0, 30, 10), 0);  // a line would stand exactly on the edge
    EXPECT_EQ(GridPhaseAfter(35, 30, 10), 5); // no line inside at all
    EXPECT_EQ(GridPhaseAfter(-95, 30, 10), 5);
    EXPECT_EQ(FirstVisibleGridLine(-95, 10), 5);
    EXPECT_EQ(FirstVisibleGridLine(-90, 10), 0);
    EXPECT_EQ(FirstVisibleGridLine(7, 10), 7);
    EXPECT_EQ(FirstVisibleGridLine(kMin, 7), FirstVisibleGridLine(kMin % 7 + 7, 7));
}

TEST(GridPhase, ScrollAddsALineWhenThePhasePassesTheEdge)
{
    GridScroll s = ScrollGridPhase(4, 3, 10, 30);
    EXPECT_EQ(s.phase, 1);
    EXPECT_FALSE(s.lineX);
    s = ScrollGridPhase(1, 3, 10, 30);
    EXPECT_EQ(s.phase, 8);
    ASSERT_TRUE(s.lineX);
    EXPECT_EQ(*s.lineX, 28);
    s = ScrollGridPhase(0, 3, 10, 30);
    EXPECT_EQ(s.phase, 7);
    EXPECT_EQ(*s.lineX, 27);
}

TEST(ReplayStart, LastClosedColumnEndsOnTheRightEdge)
{
    EXPECT_EQ(ReplayStartX(100, 33, 3), 1);
    EXPECT_EQ(ReplayStartX(393, 131, 3), 0);
    EXPECT_EQ(ReplayStartX(1800, 600, 3), 0);
    EXPECT_EQ(ReplayStartX(1801, 600, 3), 1);
    // narrower than one step: no bands, no division by zero
    EXPECT_EQ(ReplayStartX(2, 0, 3), 2);
    EXPECT_EQ(ReplayStartX(0, 0, 3), 0);
}

struct IntervalCase {
    int width, expected;
};
class PollIntervalTest : public testing::TestWithParam<IntervalCase> {};

TEST_P(PollIntervalTest, SixMinutesAcrossTheGraph)
{
    EXPECT_EQ(PollIntervalMs(GetParam().width), GetParam().expected) << GetParam().width;
}

INSTANTIATE_TEST_SUITE_P(Widths, PollIntervalTest,
                         testing::Values(IntervalCase{763, 1428}, IntervalCase{1800, 600}, IntervalCase{18, 60000},
                                         IntervalCase{35, 60000}, IntervalCase{36, 30000},
                                         // too narrow for one column of 18 pixels: the safe interval
                                         IntervalCase{17, kSafePollMs}, IntervalCase{0, kSafePollMs},
                                         IntervalCase{-40, kSafePollMs}));

} // namespace
