#pragma once

#include "livereading.h"

namespace qova::display {

// Limits a reading to what the displays can show, in place. A gas above its range shows
// as all nines and a negative one as zero; an efficiency out of range as 9999 (lambda
// 9.999, AFR 99.99). All bounds are inclusive; Rpm and OilTemp are left alone.
void ClampForDisplay(link::LiveReading &reading);

// The live graph's own limits, in place: every gas and engine value is held within the
// range its trace can show, so no trace value exceeds full height (100). A value past a
// bound becomes the bound; Efficiency, NOx, RPM and oil temperature keep their negative values.
void ClampForGraph(link::LiveReading &reading);

} // namespace qova::display
