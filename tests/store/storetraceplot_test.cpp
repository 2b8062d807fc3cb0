#include "store/storedtest.h"
#include "store/storegraph.h"
#include "tests/store/storetraceplot.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <string>

using namespace qova;

namespace {

int countColour(const QImage &image, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF))
                ++n;
    return n;
}

struct PolylineCase {
    const char *name;
    int records, width;
    unsigned seed;
    bool smooth;
};

class PolylineTest : public testing::TestWithParam<PolylineCase> {};

TEST_P(PolylineTest, ColumnDrawingMatchesThePolyline)
{
    const auto [name, records, width, seed, smooth] = GetParam();
    std::mt19937 rng(seed);
    QByteArray data(records * store::kRecordSize, '\0');
    std::array<int, 7> walk{};
    walk.fill(1000);
    for (int i = 0; i < records; ++i) {
        for (std::size_t t = 0; t < store::kStoreTraces.size(); ++t) {
            // Any 16-bit value, or a slow walk that stays on a few pixels per column.
            walk[t] = std::clamp(walk[t] + static_cast<int>(rng() % 41) - 20, -100, 2300);
            const int v = smooth ? walk[t] : static_cast<int>(rng() % 65536) - 32768;
            const int at = i * 30 + store::kStoreTraces[t].offset;
            data[at] = static_cast<char>((v >> 8) & 0xFF);
            data[at + 1] = static_cast<char>(v & 0xFF);
        }
    }
    const int height = 700;
    const auto g = store::StoreGraphGeometry::compute(width, height, records);
    QImage fast(width, height, QImage::Format_RGB32), plain(width, height, QImage::Format_RGB32),
        all(width, height, QImage::Format_RGB32), plainAll(width, height, QImage::Format_RGB32);
    for (QImage *image : {&fast, &plain, &all, &plainAll})
        image->fill(Qt::white);
    {
        QPainter p(&fast);
        p.setPen(QPen(QColor(255, 0, 0)));
        test::PlotStoreTrace(p, g, data, records, store::kCoOffset, 20);
    }
    {
        QPainter p(&plain);
        p.setPen(QPen(QColor(255, 0, 0)));
        test::PlotStoreTracePlain(p, g, data, records, store::kCoOffset, 20);
    }
    // The seven traces from one walk, drawn in order, against each drawn point by point.
    std::vector<std::pair<int, int>> traces;
    for (const auto &t : store::kStoreTraces)
        traces.emplace_back(t.offset, t.divisor);
    const auto lines = store::StoreTraceLines(g, data, records, traces);
    {
        QPainter p(&all);
        for (std::size_t t = 0; t < lines.size(); ++t) {
            p.setPen(QPen(QColor::fromRgb(store::kStoreTraces[t].colour)));
            for (const QLine &line : lines[t])
                p.drawLine(line);
        }
    }
    {
        QPainter p(&plainAll);
        for (const auto &t : store::kStoreTraces) {
            p.setPen(QPen(QColor::fromRgb(t.colour)));
            test::PlotStoreTracePlain(p, g, data, records, t.offset, t.divisor);
        }
    }
    EXPECT_TRUE(fast == plain);
    EXPECT_TRUE(all == plainAll);
    if (records > 1) {
        EXPECT_GT(countColour(plain, qRgb(255, 0, 0)), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Records, PolylineTest,
                         testing::Values(PolylineCase{"one", 1, 1000, 1u, false},
                                         PolylineCase{"two", 2, 1000, 2u, false},
                                         PolylineCase{"fewer_than_columns", 300, 1000, 3u, false},
                                         PolylineCase{"about_one_a_column", 800, 1000, 4u, false},
                                         PolylineCase{"many_a_column", 20000, 1000, 5u, false},
                                         PolylineCase{"many_smooth", 20000, 1000, 6u, true},
                                         PolylineCase{"narrow_window", 5000, 200, 7u, false},
                                         PolylineCase{"huge", 60000, 1280, 8u, false}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
