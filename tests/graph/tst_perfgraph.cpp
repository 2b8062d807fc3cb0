#include "display/ui/perfgraph.h"
#include "tests/support/datarows.h"

#include <QtTest>
#include <stdexcept>

using namespace qova::display;

namespace {

constexpr TColor kWhite = 0xFFFFFF;
constexpr TColor kRed = 0x0000FF;
constexpr TColor kBlue = 0xFF0000;

bool samePixels(const QImage &image, const GraphRaster &raster)
{
    if (image.width() != raster.width() || image.height() != raster.height())
        return false;
    for (int y = 0; y < raster.height(); ++y)
        for (int x = 0; x < raster.width(); ++x)
            if (image.pixel(x, y) != raster.pixel(x, y))
                return false;
    return true;
}

} // namespace

// What only the widget does: follow its own size, show the graph's picture, and name
// itself to the scale change. The drawing is tested on ScrollingGraph.
class TestPerformanceGraph : public QObject {
    Q_OBJECT
private slots:
    void constructedAtItsOwnSize();
    void seventeenthPointThrows();
    void ringFollowsTheWidgetsWidth_data();
    void ringFollowsTheWidgetsWidth();
    void imageIsTheGraphsPictureAndKeepsWhenTaken();
    void scaleChangeNamesTheWidget();
    void paintCopiesTheImageAndLeavesTheParentAlone();
};

void TestPerformanceGraph::constructedAtItsOwnSize()
{
    TPerformanceGraph fresh;
    QCOMPARE(fresh.width(), 100);
    QCOMPARE(fresh.historyCount(), 35);
    QCOMPARE(fresh.image().size(), QSize(100, 100));
    QVERIFY(fresh.testAttribute(Qt::WA_OpaquePaintEvent));
    QCOMPARE(fresh.gridPhase(), 4);
}

void TestPerformanceGraph::seventeenthPointThrows()
{
    TPerformanceGraph graph;
    for (int i = 0; i < 16; ++i)
        graph.DataPoint(kRed + i, i + 1);
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, graph.DataPoint(kBlue, 99));
    QCOMPARE(graph.column(graph.currentIndex()).PointCount, 16);
}

// As the window does it: place the graph, then set its grid size; or resize and paint.
void TestPerformanceGraph::ringFollowsTheWidgetsWidth_data()
{
    qova::test::BoolRows("painted", "a setter notices", "the paint notices");
}

void TestPerformanceGraph::ringFollowsTheWidgetsWidth()
{
    QFETCH(bool, painted);
    TPerformanceGraph graph;
    if (painted) {
        graph.resize(393, 200);
        graph.grab();
    } else {
        graph.setGeometry(0, 0, 393, 200);
        graph.SetGridSize(20);
    }
    QCOMPARE(graph.historyCount(), 133);
    QCOMPARE(graph.GetBandCount(), 131);
    QCOMPARE(graph.image().size(), QSize(393, 200));
}

void TestPerformanceGraph::imageIsTheGraphsPictureAndKeepsWhenTaken()
{
    TPerformanceGraph widget;
    ScrollingGraph alone(100, 100);
    widget.resize(61, 47);
    alone.Resize(61, 47);
    widget.SetBackColor(kWhite);
    alone.SetBackColor(kWhite);
    for (int n = 0; n < 30; ++n) {
        widget.DataPoint(kRed, n * 9 % 130);
        alone.DataPoint(kRed, n * 9 % 130);
        widget.DataPoint(kBlue, 40);
        alone.DataPoint(kBlue, 40);
        widget.Update();
        alone.Update();
    }
    QCOMPARE(widget.Scale(), alone.Scale());
    const QImage taken = widget.image();
    QVERIFY(samePixels(taken, alone.raster()));
    QVERIFY(samePixels(taken, widget.graph().raster()));
    widget.DataPoint(kRed, 5);
    widget.Update();
    QVERIFY(samePixels(taken, alone.raster())); // a copy: what the graph draws next leaves it alone
    QVERIFY(!samePixels(taken, widget.graph().raster()));
}

void TestPerformanceGraph::scaleChangeNamesTheWidget()
{
    TPerformanceGraph graph;
    std::vector<std::pair<TPerformanceGraph *, int>> changes;
    graph.OnScaleChange = [&](TPerformanceGraph *sender) { changes.emplace_back(sender, sender->Scale()); };
    graph.DataPoint(kRed, 150);
    graph.Update();
    graph.SetScale(700);
    QCOMPARE(changes.size(), std::size_t{2});
    QCOMPARE(changes[0].first, &graph);
    QCOMPARE(changes[0].second, 200);
    QCOMPARE(changes[1].second, 700);
}

void TestPerformanceGraph::paintCopiesTheImageAndLeavesTheParentAlone()
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
    QCOMPARE(parent.paints, 0);
    const QImage shown = child->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown, child->image());
}

QTEST_MAIN(TestPerformanceGraph)
#include "tst_perfgraph.moc"
