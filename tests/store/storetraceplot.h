#pragma once

#include "store/storegraph.h"

#include <QByteArray>

class QPainter;

// The store viewer's traces drawn two ways, to show that the reduced lines the viewer
// paints give the same pixels as the line through every record.
namespace qova::test {

// The reduced lines of one trace.
void PlotStoreTrace(QPainter &painter, const store::StoreGraphGeometry &g, const QByteArray &data, int recordCount,
                    int offset, int divisor);
// The line through every point, one segment per record.
void PlotStoreTracePlain(QPainter &painter, const store::StoreGraphGeometry &g, const QByteArray &data, int recordCount,
                         int offset, int divisor);

} // namespace qova::test
