#include "perfgraph.h"

#include <QApplication>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <stdexcept>

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
        graph.resize(30, 100);
        graph.SetBackColor(kWhite);
        graph.SetGridlines(false);
    }

    QRgb pixel(int x, int y) const { return graph.image().pixel(x, y); }
    bool isBack(int x, int y) const { return pixel(x, y) == ToRgb(kWhite); }
    // Rows of column x painted in `color`.
    std::set<int> rowsOf(int x, TColor color) const
    {
        std::set<int> rows;
        for (int y = 0; y < graph.image().height(); ++y)
            if (pixel(x, y) == ToRgb(color))
                rows.insert(y);
        return rows;
    }
    bool columnsBlank(int fromX, int toX) const
    {
        for (int x = fromX; x < toX; ++x)
            for (int y = 0; y < graph.image().height(); ++y)
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

    TPerformanceGraph graph;
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
    TPerformanceGraph fresh;
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
    EXPECT_EQ(fresh.image().size(), QSize(100, 100));
    EXPECT_TRUE(fresh.testAttribute(Qt::WA_OpaquePaintEvent));
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
    graph.resize(40, 100);
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
    graph.resize(30, 50);
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
    graph.OnScaleChange = [&](TPerformanceGraph *sender) { changes.push_back(sender->Scale()); };
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
    graph.resize(20, 100);
    graph.Replay();
    ASSERT_EQ(graph.historyCount(), 22);
    for (int v = 1; v <= 30; ++v)
        sample({{kRed, v}});
    graph.resize(10, 100);
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
    graph.resize(60, 100);
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
// resizes the image, which once hid the width change from the paint and kept the ring
// at its first 35 columns.
TEST_F(GraphTest, RingFollowsTheWidthWhateverNoticesTheChange)
{
    TPerformanceGraph fresh;
    EXPECT_EQ(fresh.historyCount(), 35);
    fresh.setGeometry(0, 0, 393, 200);
    fresh.SetGridSize(20);
    EXPECT_EQ(fresh.historyCount(), 133);

    TPerformanceGraph painted;
    painted.resize(393, 200);
    painted.grab();
    EXPECT_EQ(painted.historyCount(), 133);
    EXPECT_EQ(painted.image().size(), QSize(393, 200));

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
    const QImage &img = fresh.image();
    int drawnColumns = 0;
    for (int x = 0; x < img.width(); ++x)
        for (int y = 0; y < img.height(); ++y)
            if (img.pixel(x, y) == ToRgb(kRed)) {
                ++drawnColumns;
                break;
            }
    EXPECT_GE(drawnColumns, 130 * 3);
}

TEST_F(GraphTest, PaintCopiesTheImageAndLeavesTheParentAlone)
{
    class Parent : public QWidget {
    public:
        int paints = 0;

    protected:
        void paintEvent(QPaintEvent *) override { ++paints; }
    };
    Parent parent;
    parent.resize(200, 200);
    auto *child = new TPerformanceGraph(&parent);
    child->setGeometry(20, 20, 120, 90);
    child->SetBackColor(kWhite);
    parent.show();
    QApplication::processEvents();
    parent.paints = 0;
    child->DataPoint(kRed, 40);
    child->Update();
    child->Refresh();
    child->DataPoint(kRed, 150);
    child->Update(); // a rescale and full redraw
    QApplication::processEvents();
    EXPECT_EQ(parent.paints, 0);
    const QImage shown = child->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown, child->image());
}

} // namespace
