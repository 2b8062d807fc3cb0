#pragma once

#include "link/livereading.h"

namespace qova::display {

// Limits a reading to what the displays can show, in place (link::WithinShownRanges).
void ClampForDisplay(link::LiveReading &reading);

// The live graph's own limits, in place: every gas and engine value is held within the
// range its trace can show, so no trace value exceeds full height (100). A value past a
// bound becomes the bound; Efficiency, NOx, RPM and oil temperature keep their negative values.
void ClampForGraph(link::LiveReading &reading);

} // namespace qova::display
