#pragma once

#include "livereading.h"

namespace qova::display {

// Limits a reading to what the displays can show, in place. A gas above its range shows
// as all nines and a negative one as zero; an efficiency out of range as 9999 (lambda
// 9.999, AFR 99.99). All bounds are inclusive; Rpm and OilTemp are left alone.
void ClampForDisplay(link::LiveReading &reading);

} // namespace qova::display
