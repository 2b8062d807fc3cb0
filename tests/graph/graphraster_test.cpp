#include "display/graphraster.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace qova::display;

namespace {

constexpr std::uint32_t kInk = 0xFF123456;

// One character a pixel, a row a line: '#' in ink, '.' anything else.
std::string picture(const GraphRaster &r)
{
    std::string s;
    for (int y = 0; y < r.height(); ++y) {
        for (int x = 0; x < r.width(); ++x)
            s += r.pixel(x, y) == kInk ? '#' : '.';
        s += '\n';
    }
    return s;
}

struct FillCase {
    const char *name;
    GraphRect area;
    const char *expected;
};

class FillTest : public testing::TestWithParam<FillCase> {};

TEST_P(FillTest, PaintsOnlyThePartOnThePicture)
{
    GraphRaster r(4, 3);
    const GraphRect &a = GetParam().area;
    r.fill(a.left, a.top, a.right, a.bottom, kInk);
    EXPECT_EQ(picture(r), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Areas, FillTest,
                         testing::Values(FillCase{"all", {0, 0, 4, 3}, "####\n####\n####\n"},
                                         FillCase{"inside", {1, 1, 3, 3}, "....\n.##.\n.##.\n"},
                                         FillCase{"off_top_left", {-5, -5, 2, 1}, "##..\n....\n....\n"},
                                         FillCase{"off_bottom_right", {3, 2, 100, 100}, "....\n....\n...#\n"},
                                         FillCase{"no_width", {2, 0, 2, 3}, "....\n....\n....\n"},
                                         FillCase{"inside_out", {3, 2, 1, 0}, "....\n....\n....\n"}),
                         [](const auto &info) { return std::string(info.param.name); });

struct CopyCase {
    const char *name;
    GraphRect source, dest;
    std::vector<std::uint32_t> expected; // row by row
};

class CopyTest : public testing::TestWithParam<CopyCase> {};

// Each pixel starts as 10 * y + x.
TEST_P(CopyTest, MovesTheSmallerAreaOrNothing)
{
    GraphRaster r(4, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            r.fill(x, y, x + 1, y + 1, static_cast<std::uint32_t>(10 * y + x));
    r.copyWithin(GetParam().source, GetParam().dest);
    std::vector<std::uint32_t> got;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            got.push_back(r.pixel(x, y));
    EXPECT_EQ(got, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Areas, CopyTest,
    testing::Values(
        CopyCase{"scroll_left", {1, 0, 4, 3}, {0, 0, 3, 3}, {1, 2, 3, 3, 11, 12, 13, 13, 21, 22, 23, 23}},
        CopyCase{"scroll_right", {0, 0, 3, 3}, {1, 0, 4, 3}, {0, 0, 1, 2, 10, 10, 11, 12, 20, 20, 21, 22}},
        CopyCase{"down_overlapping", {0, 0, 4, 2}, {0, 1, 4, 3}, {0, 1, 2, 3, 0, 1, 2, 3, 10, 11, 12, 13}},
        CopyCase{"up_overlapping", {0, 1, 4, 3}, {0, 0, 4, 2}, {10, 11, 12, 13, 20, 21, 22, 23, 20, 21, 22, 23}},
        CopyCase{"smaller_of_the_two", {0, 0, 2, 1}, {2, 0, 4, 3}, {0, 1, 0, 1, 10, 11, 12, 13, 20, 21, 22, 23}},
        CopyCase{"source_off_the_right", {1, 0, 5, 3}, {0, 0, 4, 3}, {0, 1, 2, 3, 10, 11, 12, 13, 20, 21, 22, 23}},
        CopyCase{"dest_above_the_top", {0, 0, 4, 2}, {0, -1, 4, 1}, {0, 1, 2, 3, 10, 11, 12, 13, 20, 21, 22, 23}}),
    [](const auto &info) { return std::string(info.param.name); });

struct LineCase {
    const char *name;
    int x0, y0, x1, y1;
    const char *expected;
};

class LineTest : public testing::TestWithParam<LineCase> {};

TEST_P(LineTest, OnePixelAColumnOrARowLeavingOutTheEnd)
{
    GraphRaster r(5, 5);
    const LineCase &c = GetParam();
    r.drawLine(c.x0, c.y0, c.x1, c.y1, kInk);
    EXPECT_EQ(picture(r), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LineTest,
    testing::Values(LineCase{"shallow", 0, 0, 4, 2, "##...\n..##.\n.....\n.....\n.....\n"},
                    LineCase{"steep_down", 1, 0, 3, 4, ".#...\n.#...\n..#..\n..#..\n.....\n"},
                    LineCase{"steep_up", 0, 4, 1, 0, ".....\n#....\n#....\n#....\n#....\n"},
                    LineCase{"level_off_the_right", 3, 2, 10, 2, ".....\n.....\n...##\n.....\n.....\n"},
                    LineCase{"from_far_above", 2, -1000000000, 4, 2, "...#.\n...#.\n.....\n.....\n.....\n"},
                    LineCase{"right_to_left_draws_nothing", 3, 0, 3, 4, ".....\n.....\n.....\n.....\n.....\n"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(GraphRaster, ResizeGivesAnOpaqueBlackPictureOrNone)
{
    GraphRaster r(3, 2);
    r.fill(0, 0, 3, 2, kInk);
    r.resize(2, 4);
    EXPECT_EQ(r.width(), 2);
    EXPECT_EQ(r.height(), 4);
    EXPECT_EQ(r.bytesPerLine(), 8);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 2; ++x)
            EXPECT_EQ(r.pixel(x, y), 0xFF000000u);
    r.resize(0, 4);
    EXPECT_TRUE(r.isEmpty());
    EXPECT_EQ(r.height(), 0);
    r.fill(0, 0, 10, 10, kInk); // nothing to paint, and no fault
    r.drawLine(0, 0, 10, 10, kInk);
    r.copyWithin({0, 0, 1, 1}, {0, 0, 1, 1});
    EXPECT_TRUE(r.isEmpty());
}

} // namespace
