#pragma once

#include <QImage>

namespace qova::resources {

// The digit glyph resources "bit0" to "bit11": 0-9 the digits, 10 the decimal point,
// 11 a blank. A null image for any other index.
QImage LoadDigitGlyph(int index);

} // namespace qova::resources
