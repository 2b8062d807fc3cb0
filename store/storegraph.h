#pragma once

#include <QByteArray>
#include <QLine>
#include <QPoint>
#include <QRect>
#include <QString>
#include <array>
#include <cstdint>
#include <utility>
#include <variant>
#include <vector>

// What the store viewer's graph shows, worked out without a window: where it stands, its
// axes and labels, and the lines of each series. The window paints what these return.
namespace qova::store {

// Where the graph stands in the window, worked out on every paint from the client size.
struct StoreGraphGeometry {
    int L = 0, Y0 = 0, T = 0, B = 0, P = 0, R = 0;
    int xTick = 0; // distance between horizontal ticks
    int yTick = 0; // distance between vertical ticks
    int GraphBaseline = 0;
    int GraphLeft = 0;
    float GraphXStep = 0;
    float GraphYScale = 0;
    static StoreGraphGeometry compute(int width, int height, int recordCount);
};

// Pixels above the axis for the stored number at `offset` of a record: its value over
// `divisor`, none when negative, at most 100 graph units.
int StoreTraceHeight(const std::uint8_t *record, int offset, int divisor, float yScale);

// One series over the records for each trace (offset, divisor), in one walk over the
// records: the stored number at `offset` of each, over `divisor`, as a line through one
// point per record. Where many records share a pixel column the column is one vertical
// line from its lowest to its highest point plus the lines that join it to its
// neighbours: the same pixels as the line through every point.
std::vector<std::vector<QLine>> StoreTraceLines(const StoreGraphGeometry &g, const QByteArray &data, int recordCount,
                                                const std::vector<std::pair<int, int>> &traces);

struct StoreTrace {
    const char *caption;
    std::uint32_t colour; // 0xAARRGGBB
    int offset;
    int divisor;
    bool bold;
};
// In drawing order.
extern const std::array<StoreTrace, 7> kStoreTraces;

// A text whose top left corner stands at `at`, on the window's background.
struct StoreGraphLabel {
    QPoint at;
    QString text;
    bool operator==(const StoreGraphLabel &) const = default;
};
// An axis or tick line, or a label. The order matters: a label's background covers the
// ticks drawn before it.
using StoreGraphMark = std::variant<QLine, StoreGraphLabel>;

struct StoreGraphFrame {
    QRect plot; // filled white first
    std::vector<StoreGraphMark> marks;
};
StoreGraphFrame StoreGraphFrameFor(const StoreGraphGeometry &g);

// The lines of the shown traces, the first of kStoreTraces first: later ones are drawn
// over earlier ones.
struct StoreTraceDrawing {
    std::uint32_t colour;
    std::vector<QLine> lines;
};
std::vector<StoreTraceDrawing> StoreGraphTraces(const StoreGraphGeometry &g, const QByteArray &data, int recordCount,
                                                const std::array<bool, kStoreTraces.size()> &shown);

} // namespace qova::store
