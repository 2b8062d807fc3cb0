#pragma once

// Tests print where the screenshot tool does; this keeps the name they use for it.
#include "ui/headless/headlessprinting.h"

namespace qova::test {
using headless::PdfPrinting;
} // namespace qova::test
