#include "tests/store/storetraceplot.h"

#include "store/storedtest.h"

#include <QPainter>
#include <algorithm>

namespace qova::test {

void PlotStoreTrace(QPainter &painter, const store::StoreGraphGeometry &g, const QByteArray &data, int recordCount,
                    int offset, int divisor)
{
    const auto lines = store::StoreTraceLines(g, data, recordCount, {{offset, divisor}});
    for (const QLine &line : lines[0])
        painter.drawLine(line);
}

void PlotStoreTracePlain(QPainter &painter, const store::StoreGraphGeometry &g, const QByteArray &data, int recordCount,
                         int offset, int divisor)
{
    const int n = std::min(recordCount, static_cast<int>(data.size() / store::kRecordSize));
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(data.constData());
    float x = static_cast<float>(g.GraphLeft);
    QPoint previous;
    for (int i = 0; i < n; ++i) {
        const QPoint p(static_cast<int>(x),
                       g.GraphBaseline - store::StoreTraceHeight(bytes + static_cast<qsizetype>(i) * store::kRecordSize,
                                                                 offset, divisor, g.GraphYScale));
        if (i > 0)
            painter.drawLine(previous, p);
        previous = p;
        x += g.GraphXStep;
    }
}

} // namespace qova::test
