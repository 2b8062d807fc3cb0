#pragma once

#include "livereading.h"

namespace qova::display {

// The live graph's limits, in place: every gas and engine value is held within the range
// its trace can show, so no trace value exceeds full height (100). Efficiency, NOx, RPM
// and oil temperature keep their negative values.
void ClampForGraph(link::LiveReading &reading);

} // namespace qova::display
