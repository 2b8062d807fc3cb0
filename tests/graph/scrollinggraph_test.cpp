#include "display/scrollinggraph.h"

#include <gtest/gtest.h>
#include <limits>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

using namespace qova::display;

namespace {

constexpr TColor kWhite = 0xFFFFFF;
constexpr TColor kRed = 0x0000FF;
constexpr TColor kBlue = 0xFF0000;
constexpr TColor kGreen = 0x008000;

// A graph the size of its tests: white, no grid, line mode, 3-pixel steps.
class GraphTest : public testing::Test {
protected:
    GraphTest()
    {
        graph.Resize(30, 100);
        graph.SetBackColor(kWhite);
        graph.SetGridlines(false);
    }

    std::uint32_t pixel(int x, int y) const { return graph.raster().pixel(x, y); }
    bool isBack(int x, int y) const { return pixel(x, y) == PixelOf(kWhite); }
    // Rows of column x painted in `color`.
    std::set<int> rowsOf(int x, TColor color) const
    {
        std::set<int> rows;
        for (int y = 0; y < graph.raster().height(); ++y)
            if (pixel(x, y) == PixelOf(color))
                rows.insert(y);
        return rows;
    }
    bool columnsBlank(int fromX, int toX) const
    {
        for (int x = fromX; x < toX; ++x)
            for (int y = 0; y < graph.raster().height(); ++y)
                if (!isBack(x, y))
                    return false;
        return true;
    }
    void sample(std::initializer_list<std::pair<TColor, int>> points)
    {
        for (auto [color, value] : points)
            graph.DataPoint(color, value);
        graph.Update();
    }

    ScrollingGraph graph{100, 100};
};

std::set<int> range(int from, int to) // [from, to)
{
    std::set<int> s;
    for (int i = from; i < to; ++i)
        s.insert(i);
    return s;
}

TEST_F(GraphTest, ConstructedValues)
{
    ScrollingGraph fresh(100, 100);
    EXPECT_EQ(fresh.Kind(), pgLine);
    EXPECT_EQ(fresh.ForeColor(), 0x008000u);
    EXPECT_EQ(fresh.BackColor(), 0u);
    EXPECT_EQ(fresh.GridSize(), 15);
    EXPECT_EQ(fresh.StepSize(), 3);
    EXPECT_EQ(fresh.Scale(), 1000);
    EXPECT_EQ(fresh.Gradient(), 100);
    EXPECT_TRUE(fresh.Gridlines());
    EXPECT_EQ(fresh.PenWidth(), 2);
    EXPECT_EQ(fresh.width(), 100);
    EXPECT_EQ(fresh.historyCount(), 35);
    EXPECT_EQ(fresh.oldestIndex(), 1);
    EXPECT_EQ(fresh.currentIndex(), 0);
    EXPECT_EQ(fresh.raster().width(), 100);
    EXPECT_EQ(fresh.raster().height(), 100);
    // first vertical line at GridSize - 1 = 14, then every 15: the next beyond the edge is 104
    EXPECT_EQ(fresh.gridPhase(), 4);
}

TEST_F(GraphTest, SeventeenthPointThrowsAndStoresNothing)
{
    for (int i = 0; i < 16; ++i)
        graph.DataPoint(kRed + i, i + 1);
    EXPECT_THROW(graph.DataPoint(kBlue, 99), std::out_of_range);
    const GraphColumn &c = graph.column(graph.currentIndex());
    EXPECT_EQ(c.PointCount, 16);
    EXPECT_EQ(c.PointValues[15], 16);
    EXPECT_EQ(c.PointColors[15], kRed + 15);
    graph.Update(); // the full column still closes normally
    EXPECT_EQ(graph.column(graph.currentIndex()).PointCount, 0);
}

TEST_F(GraphTest, LineSegmentsJoinTheSameColourAcrossColumns)
{
    sample({{kRed, 50}});
    EXPECT_EQ(graph.Scale(), 100);
    // from the baseline (row 100, just below the picture) up to row 50, one pixel a row,
    // spread over the three pixels of the column and leaving out the end point
    EXPECT_EQ(rowsOf(27, kRed), range(84, 100));
    EXPECT_EQ(rowsOf(28, kRed), range(67, 84));
    EXPECT_EQ(rowsOf(29, kRed), range(51, 67));
    EXPECT_TRUE(columnsBlank(0, 27));

    sample({{kRed, 50}});
    // the first segment moved left by one step; the new one is level at row 50
    EXPECT_EQ(rowsOf(24, kRed), range(84, 100));
    for (int x = 27; x < 30; ++x)
        EXPECT_EQ(rowsOf(x, kRed), std::set<int>{50}) << x;

    sample({{kRed, 75}, {kBlue, 25}});
    // red climbs from row 50 to row 25; blue, absent before, rises from the baseline
    EXPECT_EQ(rowsOf(27, kRed), range(42, 51));
    EXPECT_EQ(rowsOf(29, kRed), range(26, 34));
    EXPECT_EQ(rowsOf(27, kBlue), range(92, 100));
    EXPECT_EQ(rowsOf(29, kBlue), range(76, 84));
    EXPECT_TRUE(columnsBlank(0, 21));
}

TEST_F(GraphTest, ShallowAndFallingSegments)
{
    graph.Resize(40, 100);
    graph.SetStepSize(10);
    sample({{kRed, 50}});
    sample({{kRed, 47}});
    // three rows over ten pixels: each row held for a run of pixels, the end row left out
    std::map<int, std::set<int>> byRow;
    for (int x = 30; x < 40; ++x)
        for (int y : rowsOf(x, kRed))
            byRow[y].insert(x);
    EXPECT_EQ(byRow[50], range(30, 34));
    EXPECT_EQ(byRow[51], range(34, 37));
    EXPECT_EQ(byRow[52], range(37, 40));
    EXPECT_EQ(byRow.count(53), 0u);
    sample({{kRed, 0}});
    sample({{kRed, 200}}); // rescale to 200: every segment drawn anew, none outside its column
    EXPECT_EQ(graph.Scale(), 200);
    EXPECT_TRUE(rowsOf(39, kRed).count(1));
}

TEST_F(GraphTest, ZeroPointsAreSkippedAndTheNextSegmentStartsAtTheBaseline)
{
    sample({{kRed, 50}, {kBlue, 40}});
    sample({{kRed, 0}, {kBlue, 40}});
    EXPECT_TRUE(rowsOf(27, kRed).empty());
    EXPECT_TRUE(rowsOf(28, kRed).empty());
    EXPECT_EQ(graph.column(graph.LastY(graph.currentIndex())).PointCount, 2); // stored all the same
    EXPECT_EQ(rowsOf(28, kBlue), std::set<int>{60});
    sample({{kRed, 50}, {kBlue, 40}});
    // red comes back from the baseline, not from its last drawn value
    EXPECT_TRUE(rowsOf(27, kRed).count(99));
}

TEST_F(GraphTest, BarSegmentsAreOneRowTallerThanTheirHeight)
{
    graph.SetGraphKind(pgBar);
    graph.Resize(30, 50);
    graph.SetGridSize(10); // a writer notices the new size
    sample({{kRed, 33}, {kBlue, 100}});
    // red: 33 / 100 * 50 = 16.5, truncated to 16, drawn 17 rows tall from the bottom
    sample({{kRed, 33}});
    EXPECT_EQ(rowsOf(27, kRed), range(33, 50));
    EXPECT_EQ(rowsOf(29, kRed), range(33, 50));
    // blue stacked on red: from 16 up by trunc(67 / 100 * 50) = 33 (+1 row), over red's top row
    EXPECT_EQ(rowsOf(24, kBlue), range(0, 34));
    EXPECT_EQ(rowsOf(24, kRed), range(34, 50));
    EXPECT_TRUE(columnsBlank(0, 24));
}

TEST_F(GraphTest, BarBelowThePreviousPointOfItsColumnDrawsNothing)
{
    graph.SetGraphKind(pgBar);
    sample({{kRed, 80}, {kBlue, 30}});
    EXPECT_EQ(rowsOf(27, kRed), range(19, 100));
    EXPECT_TRUE(rowsOf(27, kBlue).empty());
}

TEST_F(GraphTest, EachUpdateScrollsByTheStepSize)
{
    graph.SetGraphKind(pgBar);
    graph.SetStepSize(4);
    EXPECT_EQ(graph.historyCount(), 30 / 4 + 2);
    sample({{kRed, 100}});
    EXPECT_EQ(rowsOf(26, kRed), range(0, 100)); // 101 rows asked, 100 exist
    EXPECT_TRUE(columnsBlank(0, 26));
    for (int n = 1; n <= 3; ++n) {
        sample({});
        EXPECT_EQ(rowsOf(26 - 4 * n, kRed), range(0, 100)) << n;
        EXPECT_TRUE(columnsBlank(30 - 4 * n, 30)) << n;
        EXPECT_TRUE(columnsBlank(0, 26 - 4 * n)) << n;
    }
}

TEST_F(GraphTest, GridLinesMoveWithThePicture)
{
    graph.SetForeColor(kGreen);
    graph.SetGridSize(10);
    graph.SetGridlines(true);
    const auto verticalLines = [&] {
        std::set<int> xs;
        for (int x = 0; x < 30; ++x)
            if (rowsOf(x, kGreen).size() == 100)
                xs.insert(x);
        return xs;
    };
    // horizontal lines counted from the top edge
    std::set<int> rows;
    for (int y = 10; y < 100; y += 10)
        rows.insert(y);
    EXPECT_EQ(rowsOf(0, kGreen), rows);

    const int phase = graph.gridPhase();
    std::set<int> expected;
    for (int x = 30 + phase; x >= 0; x -= 10)
        if (x < 30)
            expected.insert(x);
    EXPECT_EQ(verticalLines(), expected);

    for (int n = 1; n <= 8; ++n) {
        sample({});
        std::set<int> moved;
        for (int x = 0; x < 30; ++x)
            if ((30 + phase - 3 * n - x) % 10 == 0)
                moved.insert(x);
        EXPECT_EQ(verticalLines(), moved) << "after " << n << " steps";
        // the horizontal lines run on through the new strip
        if (!moved.count(29)) {
            EXPECT_EQ(rowsOf(29, kGreen), rows) << n;
        }
        EXPECT_GE(graph.gridPhase(), 0);
        EXPECT_LT(graph.gridPhase(), 10);
    }
    // a full redraw keeps the vertical lines where they stand
    const std::set<int> before = verticalLines();
    graph.SetBackColor(0xEEEEEE);
    graph.SetBackColor(kWhite);
    EXPECT_EQ(verticalLines(), before);
}

TEST_F(GraphTest, RescalesFrom100To200AndTo0)
{
    std::vector<int> changes;
    graph.OnScaleChange = [&] { changes.push_back(graph.Scale()); };
    sample({{kRed, 50}});
    sample({{kRed, 50}});
    EXPECT_EQ(graph.Scale(), 100);
    EXPECT_EQ(rowsOf(28, kRed), std::set<int>{50});

    sample({{kRed, 150}});
    EXPECT_EQ(graph.Scale(), 200);
    // the whole history redrawn at the new scale: the level 50 segment now at row 75
    EXPECT_EQ(rowsOf(25, kRed), std::set<int>{75});
    EXPECT_TRUE(rowsOf(27, kRed).count(75));
    EXPECT_TRUE(rowsOf(29, kRed).count(26) || rowsOf(29, kRed).count(25));

    // the last positive value leaves the ring after HistoryCount - 1 empty columns
    const int ring = graph.historyCount();
    for (int n = 1; n < ring - 1; ++n) {
        sample({{kRed, -20}});
        ASSERT_EQ(graph.Scale(), 200) << n;
    }
    EXPECT_FALSE(columnsBlank(0, 30));
    sample({{kRed, -20}});
    EXPECT_EQ(graph.Scale(), 0);
    // negative points at scale 0 lie on the baseline, below the picture: it is cleared
    EXPECT_TRUE(columnsBlank(0, 30));
    EXPECT_EQ(changes, (std::vector<int>{100, 200, 0}));
}

TEST_F(GraphTest, ScaleZeroWithPointsOfEitherSignDrawsOnTheBaseline)
{
    sample({{kRed, -50}, {kBlue, -7}});
    EXPECT_EQ(graph.Scale(), 0);
    sample({{kRed, -50}, {kBlue, -7}});
    EXPECT_TRUE(columnsBlank(0, 30));
    // a scale forced to 0 with positive points in the history
    sample({{kRed, 60}});
    graph.SetScale(0);
    EXPECT_EQ(graph.Scale(), 0);
    EXPECT_TRUE(columnsBlank(0, 30));
    graph.SetGraphKind(pgBar);
    EXPECT_TRUE(columnsBlank(0, 30));
}

TEST_F(GraphTest, NarrowingKeepsTheNewestColumns)
{
    graph.SetStepSize(1);
    graph.Resize(20, 100);
    graph.Replay();
    ASSERT_EQ(graph.historyCount(), 22);
    for (int v = 1; v <= 30; ++v)
        sample({{kRed, v}});
    graph.Resize(10, 100);
    graph.Replay();
    ASSERT_EQ(graph.historyCount(), 12);
    std::vector<int> kept;
    for (int i = graph.FirstY(); i != -1; i = graph.NextY(i)) {
        const GraphColumn &c = graph.column(i);
        kept.push_back(c.PointCount ? c.PointValues[0] : 0);
    }
    // oldest first; the current column is still empty
    EXPECT_EQ(kept, (std::vector<int>{20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 0}));
}

TEST_F(GraphTest, WideningKeepsEveryColumnAndTheNewestStaysOnTheRight)
{
    graph.SetGraphKind(pgBar);
    for (int v = 10; v <= 100; v += 10)
        sample({{kRed, v}});
    const int before = graph.historyCount();
    graph.Resize(60, 100);
    graph.Replay();
    EXPECT_EQ(graph.historyCount(), 60 / 3 + 2);
    EXPECT_GT(graph.historyCount(), before);
    int stored = 0;
    for (int i = graph.FirstY(); i != -1; i = graph.NextY(i))
        stored += graph.column(i).PointCount;
    EXPECT_EQ(stored, 10);
    // newest (100) at the right edge, the others to its left, older ones blank
    EXPECT_EQ(rowsOf(59, kRed), range(0, 100));
    EXPECT_EQ(rowsOf(56, kRed), range(9, 100));
    EXPECT_EQ(rowsOf(59 - 27, kRed), range(89, 100));
    EXPECT_TRUE(columnsBlank(0, 30));
    sample({{kRed, 50}});
    EXPECT_EQ(rowsOf(56, kRed), range(0, 100)); // scrolled, and the new column joins on the right
    EXPECT_EQ(rowsOf(59, kRed), range(49, 100));
}

// As the window does it: place the graph, then set its grid size. The writer's redraw
// resizes the picture, which once hid the width change from the paint and kept the ring
// at its first 35 columns.
TEST_F(GraphTest, RingFollowsTheWidthWhateverNoticesTheChange)
{
    ScrollingGraph fresh(100, 100);
    EXPECT_EQ(fresh.historyCount(), 35);
    fresh.Resize(393, 200);
    fresh.SetGridSize(20);
    EXPECT_EQ(fresh.historyCount(), 133);

    ScrollingGraph painted(100, 100);
    painted.Resize(393, 200);
    painted.FitToSize();
    EXPECT_EQ(painted.historyCount(), 133);
    EXPECT_EQ(painted.raster().width(), 393);
    EXPECT_EQ(painted.raster().height(), 200);

    // a rescale redraws right up to the edge, not just the left 35 columns
    fresh.SetBackColor(kWhite);
    fresh.SetGridlines(false);
    for (int n = 0; n < 130; ++n) {
        fresh.DataPoint(kRed, 50);
        fresh.Update();
    }
    fresh.DataPoint(kRed, 150);
    fresh.Update();
    ASSERT_EQ(fresh.Scale(), 200);
    const GraphRaster &img = fresh.raster();
    int drawnColumns = 0;
    for (int x = 0; x < img.width(); ++x)
        for (int y = 0; y < img.height(); ++y)
            if (img.pixel(x, y) == PixelOf(kRed)) {
                ++drawnColumns;
                break;
            }
    EXPECT_GE(drawnColumns, 130 * 3);
}

// The pixels, as a 64-bit FNV-1a hash of their bytes, lowest byte of each pixel first.
std::uint64_t pictureHash(const GraphRaster &raster)
{
    std::uint64_t h = 1469598103934665603ull;
    for (int y = 0; y < raster.height(); ++y)
        for (int x = 0; x < raster.width(); ++x)
            for (int b = 0; b < 4; ++b) {
                h ^= (raster.pixel(x, y) >> (8 * b)) & 0xFF;
                h *= 1099511628211ull;
            }
    return h;
}

// Sequences as the graph meets them, each picture checked at a few points along the way
// against the pixels the graph drew when it was still drawn on a QImage by the widget.
void runScenario(int which, ScrollingGraph &g, std::vector<std::uint64_t> &out)
{
    const auto sample = [&](std::initializer_list<std::pair<std::uint32_t, int>> pts) {
        for (auto [c, v] : pts)
            g.DataPoint(c, v);
        g.Update();
    };
    const auto resizeTo = [&](int w, int h) { g.Resize(w, h); };
    const auto pixelsHash = [&] { return pictureHash(g.raster()); };
    switch (which) {
    case 0: // line, white, no grid
        resizeTo(30, 100);
        g.SetBackColor(0xFFFFFF);
        g.SetGridlines(false);
        sample({{0x0000FF, 50}});
        sample({{0x0000FF, 50}});
        sample({{0x0000FF, 75}, {0xFF0000, 25}});
        out.push_back(pixelsHash());
        sample({{0x0000FF, 0}, {0xFF0000, 40}});
        sample({{0x0000FF, 150}});
        out.push_back(pixelsHash());
        break;
    case 1: // defaults: black, green grid, line; rise, fall and rescale
        for (int n = 0; n < 60; ++n)
            sample({{0x0000FF, (n * 37) % 230}, {0x00FF00, 100 - n}, {0xFF00FF, n * n % 97}});
        out.push_back(pixelsHash());
        for (int n = 0; n < 40; ++n)
            sample({{0x0000FF, -n}});
        out.push_back(pixelsHash());
        break;
    case 2: // bars with grid, stacked
        resizeTo(120, 90);
        g.SetGraphKind(pgBar);
        g.SetGridSize(11);
        g.SetForeColor(0x808080);
        g.SetBackColor(0xFFFFFF);
        for (int n = 0; n < 45; ++n)
            sample({{0x0000FF, 10 + n % 30}, {0xFF0000, 30 + (n * 7) % 50}, {0x00FFFF, 20 + n * 3}});
        out.push_back(pixelsHash());
        g.SetStepSize(4);
        out.push_back(pixelsHash());
        for (int n = 0; n < 10; ++n)
            sample({{0x0000FF, 80 - n}, {0xFF0000, 40}});
        out.push_back(pixelsHash());
        break;
    case 3: { // as the live graph: 8 traces, then wider and narrower
        resizeTo(393, 200);
        g.SetBackColor(0xFFFFFF);
        g.SetScale(100);
        g.SetGradient(100);
        g.SetGridlines(false);
        g.SetGridSize(20);
        const std::uint32_t colours[8] = {0x0000FF, 0xFF0000, 0x00FFFF, 0x00FF00,
                                          0x808080, 0xFFFF00, 0xFF00FF, 0x800080};
        for (int n = 0; n < 150; ++n) {
            for (int k = 0; k < 8; ++k)
                g.DataPoint(colours[k], (n * (k + 3) + k * 11) % 101);
            g.Update();
        }
        out.push_back(pixelsHash());
        resizeTo(500, 220);
        g.SetGridSize(22);
        out.push_back(pixelsHash());
        resizeTo(200, 150);
        g.Replay();
        out.push_back(pixelsHash());
        g.SetGridlines(true);
        for (int n = 0; n < 20; ++n) {
            for (int k = 0; k < 8; ++k)
                g.DataPoint(colours[k], (n * (k + 5)) % 180);
            g.Update();
        }
        out.push_back(pixelsHash());
        break;
    }
    case 4: // wide steps, shallow lines, scale 0
        resizeTo(40, 100);
        g.SetStepSize(10);
        g.SetBackColor(0xFFFFFF);
        sample({{0x0000FF, 50}});
        sample({{0x0000FF, 47}});
        sample({{0x0000FF, 0}});
        sample({{0x0000FF, 200}});
        out.push_back(pixelsHash());
        g.SetScale(0);
        out.push_back(pixelsHash());
        g.SetGraphKind(pgBar);
        out.push_back(pixelsHash());
        break;
    case 5: { // extremes: far off-image ends
        resizeTo(64, 48);
        g.SetGridSize(7);
        const int hi = std::numeric_limits<int>::max(), lo = std::numeric_limits<int>::min();
        sample({{0x0000FF, hi}, {0xFF0000, lo}, {0x00FF00, 5}});
        sample({{0x0000FF, 1}, {0xFF0000, hi}, {0x00FF00, lo}});
        out.push_back(pixelsHash());
        g.SetScale(3);
        sample({{0x0000FF, 2}, {0xFF0000, 900}});
        out.push_back(pixelsHash());
        g.SetGraphKind(pgBar);
        sample({{0x0000FF, hi}, {0xFF0000, lo}, {0x00FF00, hi}});
        out.push_back(pixelsHash());
        g.SetStepSize(0);
        g.SetGridSize(0);
        out.push_back(pixelsHash());
        break;
    }
    }
}

struct PictureCase {
    const char *name;
    std::vector<std::uint64_t> hashes;
};

class PictureTest : public testing::TestWithParam<std::pair<int, PictureCase>> {};

TEST_P(PictureTest, SamePixelsAsBefore)
{
    const auto &[which, expected] = GetParam();
    ScrollingGraph graph(100, 100);
    std::vector<std::uint64_t> hashes;
    runScenario(which, graph, hashes);
    EXPECT_EQ(hashes, expected.hashes);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, PictureTest,
    testing::Values(std::pair{0, PictureCase{"lines_white_no_grid", {0xf4e29daa0a353145ull, 0xfdd01f8ad5f6a143ull}}},
                    std::pair{
                        1, PictureCase{"defaults_rise_fall_rescale", {0xabf39120ebaf2bafull, 0x3205e93d32a86303ull}}},
                    std::pair{2, PictureCase{"stacked_bars_grid_step_change",
                                             {0x1d487ffa4ab99076ull, 0x2e776e1d74fd919eull, 0xd2fd652d1d5267d6ull}}},
                    std::pair{3, PictureCase{"live_graph_wider_narrower",
                                             {0xde3cacb4d2585450ull, 0x38c624fe0eabc406ull, 0xda58387918d4ac46ull,
                                              0x1e0ea8c0307dfb1bull}}},
                    std::pair{4, PictureCase{"wide_steps_scale_zero",
                                             {0x3b6b99d79af3c0c5ull, 0xf2b7db61c4c53483ull, 0xf2b7db61c4c53483ull}}},
                    std::pair{5, PictureCase{"extreme_values",
                                             {0xafa655035975e0d8ull, 0x4938aad3e3a867ccull, 0xd10d1b0ae4a9c523ull,
                                              0xd7b6e31ccbab5b23ull}}}),
    [](const auto &info) { return std::string(info.param.second.name); });

} // namespace
