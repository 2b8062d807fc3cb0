#include "store/storegraph.h"

#include "store/storedtest.h"

#include <algorithm>

namespace qova::store {

const std::array<StoreTrace, 7> kStoreTraces = {{
    {"CO", 0xFFFF0000, kCoOffset, 20, true},
    {"CO2", 0xFF0000FF, kCo2Offset, 2, true},
    {"HC", 0xFFFFFF00, kHcOffset, 20, true},
    {"O2", 0xFF00FF00, kO2Offset, 20, true},
    {"NO", 0xFF808080, kNoOffset, 20, true},
    {"RPM", 0xFFFF00FF, kRpmOffset, 200, false},
    {"OIL", 0xFF800080, kOilOffset, 20, true},
}};

StoreGraphGeometry StoreGraphGeometry::compute(int width, int height, int recordCount)
{
    StoreGraphGeometry g;
    g.L = width / 8;
    g.Y0 = height * 3 / 5;
    g.T = g.Y0 / 20;
    g.B = g.Y0 - 2 * g.T;
    g.P = g.Y0 - 3 * g.T;
    g.R = width - g.L / 2;
    g.yTick = g.P / 10;
    g.xTick = (width - (3 * g.L) / 2) / 10;
    g.GraphLeft = g.L;
    g.GraphBaseline = g.B;
    g.GraphXStep = static_cast<float>(static_cast<double>(width - (3 * g.L) / 2) / (recordCount + 1.0));
    g.GraphYScale = static_cast<float>(g.P * 0.01);
    return g;
}

// The product is taken exactly: the scale is a float and the value at most 100.
int StoreTraceHeight(const std::uint8_t *record, int offset, int divisor, float yScale)
{
    const int number = StoredNumber(record, offset);
    if (number < 0)
        return 0;
    const int v = std::min(number / divisor, 100);
    return static_cast<int>(v * static_cast<double>(yScale));
}

namespace {

// Heights of the stored numbers 0 up to the first that reaches the top of the scale, so a
// trace over millions of records costs a table look-up a record instead of a division.
class HeightTable {
public:
    HeightTable(int divisor, float yScale)
    {
        const int size = std::min(32768, 100 * divisor + 1);
        heights_.resize(static_cast<std::size_t>(size));
        std::uint8_t record[kRecordSize] = {};
        for (int number = 0; number < size; ++number) {
            record[0] = static_cast<std::uint8_t>(number >> 8);
            record[1] = static_cast<std::uint8_t>(number & 0xFF);
            heights_[static_cast<std::size_t>(number)] = StoreTraceHeight(record, 0, divisor, yScale);
        }
        record[0] = 0x7F;
        record[1] = 0xFF;
        top_ = StoreTraceHeight(record, 0, divisor, yScale);
    }
    int operator()(const std::uint8_t *record, int offset) const
    {
        const int number = StoredNumber(record, offset);
        if (number < 0)
            return 0;
        return static_cast<std::size_t>(number) < heights_.size() ? heights_[static_cast<std::size_t>(number)] : top_;
    }

private:
    std::vector<int> heights_;
    int top_ = 0;
};

} // namespace

namespace {

// The lines of one trace while the records are walked: a column's lowest and highest
// point, its last point and how many points fell on it.
struct TraceColumns {
    HeightTable height;
    int offset;
    std::vector<QLine> lines;
    int low = 0, high = 0, last = 0;
};

} // namespace

std::vector<std::vector<QLine>> StoreTraceLines(const StoreGraphGeometry &g, const QByteArray &data, int recordCount,
                                                const std::vector<std::pair<int, int>> &traces)
{
    std::vector<std::vector<QLine>> result(traces.size());
    const int n = std::min(recordCount, static_cast<int>(data.size() / kRecordSize));
    if (n <= 0 || traces.empty())
        return result;
    std::vector<TraceColumns> t;
    t.reserve(traces.size());
    for (const auto &[offset, divisor] : traces)
        t.push_back({HeightTable(divisor, g.GraphYScale), offset, {}});

    // All traces in one walk over the records, so a large file passes through the cache once.
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(data.constData());
    float x = static_cast<float>(g.GraphLeft);
    int column = static_cast<int>(x);
    for (auto &c : t)
        c.low = c.high = c.last = g.GraphBaseline - c.height(bytes, c.offset);
    int points = 1;
    x += g.GraphXStep;
    for (int i = 1; i < n; ++i) {
        const std::uint8_t *record = bytes + static_cast<qsizetype>(i) * kRecordSize;
        const int xi = static_cast<int>(x);
        x += g.GraphXStep;
        if (xi == column) {
            for (auto &c : t) {
                const int y = g.GraphBaseline - c.height(record, c.offset);
                c.low = std::min(c.low, y);
                c.high = std::max(c.high, y);
                c.last = y;
            }
            ++points;
            continue;
        }
        for (auto &c : t) {
            const int y = g.GraphBaseline - c.height(record, c.offset);
            if (points > 1)
                c.lines.emplace_back(column, c.low, column, c.high);
            c.lines.emplace_back(column, c.last, xi, y);
            c.low = c.high = c.last = y;
        }
        column = xi;
        points = 1;
    }
    for (std::size_t k = 0; k < t.size(); ++k) {
        if (points > 1)
            t[k].lines.emplace_back(column, t[k].low, column, t[k].high);
        result[k] = std::move(t[k].lines);
    }
    return result;
}

StoreGraphFrame StoreGraphFrameFor(const StoreGraphGeometry &g)
{
    StoreGraphFrame f;
    f.plot = QRect(g.L, g.T, g.R - g.L, g.B - g.T);
    auto &m = f.marks;
    m.emplace_back(QLine(g.L, g.T, g.L, g.B));
    m.emplace_back(QLine(g.L, g.B, g.R, g.B));
    for (int k = 0; k <= 10; ++k) {
        const int y = g.B - k * g.yTick;
        m.emplace_back(QLine(g.L, y, g.L - 10, y));
        m.emplace_back(StoreGraphLabel{{g.L - 24, y - 5}, QString::asprintf(" %.1f", 0.1 * 2 * k)});
    }
    m.emplace_back(StoreGraphLabel{{g.L / 2, g.B - 11 * g.yTick + g.T / 2}, QStringLiteral("2%/2000 PPM GAS")});
    for (int k = 0; k <= 10; ++k) {
        const int x = g.L + k * g.xTick;
        m.emplace_back(QLine(x, g.B, x, g.B + 10));
        m.emplace_back(StoreGraphLabel{{x - 5, g.B + 10}, QString::number(10 * k)});
    }
    m.emplace_back(StoreGraphLabel{{g.L + 11 * g.xTick - (g.L / 2 + 8), g.B - 8}, QStringLiteral("%Time")});
    return f;
}

std::vector<StoreTraceDrawing> StoreGraphTraces(const StoreGraphGeometry &g, const QByteArray &data, int recordCount,
                                                const std::array<bool, kStoreTraces.size()> &shown)
{
    std::vector<std::pair<int, int>> traces;
    std::vector<std::uint32_t> colours;
    for (std::size_t i = 0; i < kStoreTraces.size(); ++i) {
        if (shown[i]) {
            traces.emplace_back(kStoreTraces[i].offset, kStoreTraces[i].divisor);
            colours.push_back(kStoreTraces[i].colour);
        }
    }
    auto lines = StoreTraceLines(g, data, recordCount, traces);
    std::vector<StoreTraceDrawing> drawings;
    drawings.reserve(lines.size());
    for (std::size_t k = 0; k < lines.size(); ++k)
        drawings.push_back({colours[k], std::move(lines[k])});
    return drawings;
}

} // namespace qova::store
