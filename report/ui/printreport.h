#pragma once

#include "link/livereading.h"

#include <QStringList>

class QPaintDevice;
class QWidget;

namespace qova::ui {
struct SharedState;
}

namespace qova::report {

class TForm8;

// "&Print" on the live window: asks for the vehicle in `dialog`, prints the report of
// `reading` on the chosen printer and appends it to the registration's file in the
// current folder. The caller keeps its timer stopped meanwhile.
void PrintTestReport(ui::SharedState &state, QWidget *window, const link::LiveReading &reading, TForm8 &dialog);

// Paints the page of the seventeen report lines. Every position follows from two
// measurements of the starting font, so the page scales with the device's resolution.
// False when the device cannot be painted on.
bool PaintTestReport(QPaintDevice &device, const QStringList &reportLines);

} // namespace qova::report
