#include "display/graphhistory.h"

#include <gtest/gtest.h>
#include <vector>

using namespace qova::display;

namespace {

// First value of each column, oldest first, 0 for an empty one.
std::vector<int> walk(const GraphHistory &h)
{
    std::vector<int> values;
    for (int i = h.FirstY(); i != -1; i = h.NextY(i))
        values.push_back(h.column(i).PointCount ? h.column(i).PointValues[0] : 0);
    return values;
}

GraphHistory filled(int count, int samples)
{
    GraphHistory h(count);
    for (int v = 1; v <= samples; ++v) {
        h.DataPoint(0x0000FF, v);
        h.ShiftY();
    }
    return h;
}

TEST(GraphHistory, WalksFromTheOldestToTheCurrentColumn)
{
    GraphHistory h(4);
    EXPECT_EQ(h.FirstY(), 1);
    EXPECT_EQ(h.currentIndex(), 0);
    std::vector<int> order;
    for (int i = h.FirstY(); i != -1; i = h.NextY(i))
        order.push_back(i);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 0}));
    EXPECT_EQ(h.LastY(0), 3);
    EXPECT_EQ(h.LastY(2), 1);
}

TEST(GraphHistory, ShiftWrapsAndEmptiesTheNewColumn)
{
    const GraphHistory h = filled(4, 6);
    EXPECT_EQ(h.currentIndex(), 2);
    EXPECT_EQ(h.oldestIndex(), 3);
    EXPECT_EQ(walk(h), (std::vector<int>{4, 5, 6, 0}));
}

struct ResizeCase {
    const char *name;
    int count, samples, newCount;
    std::vector<int> expected;
};

class ResizeTest : public testing::TestWithParam<ResizeCase> {};

TEST_P(ResizeTest, KeepsTheNewestWithTheCurrentLast)
{
    const ResizeCase &c = GetParam();
    GraphHistory h = filled(c.count, c.samples);
    h.Resize(c.newCount);
    EXPECT_EQ(h.count(), c.newCount);
    EXPECT_EQ(h.oldestIndex(), 0);
    EXPECT_EQ(h.currentIndex(), c.newCount - 1);
    EXPECT_EQ(walk(h), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ResizeTest,
                         testing::Values(ResizeCase{"narrower", 5, 7, 3, {6, 7, 0}},
                                         ResizeCase{"wider", 4, 6, 6, {0, 0, 4, 5, 6, 0}},
                                         ResizeCase{"same", 4, 2, 4, {0, 1, 2, 0}}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(GraphHistory, GreatestIsNeverBelowZero)
{
    GraphHistory h(3);
    h.DataPoint(1, -40);
    h.DataPoint(2, -3);
    EXPECT_EQ(h.Greatest(), 0);
    h.ShiftY();
    h.DataPoint(1, 17);
    h.DataPoint(2, 9);
    EXPECT_EQ(h.Greatest(), 17);
    h.ShiftY();
    h.ShiftY(); // the 17 is overwritten: ring of 3
    h.ShiftY();
    EXPECT_EQ(h.Greatest(), 0);
}

} // namespace
