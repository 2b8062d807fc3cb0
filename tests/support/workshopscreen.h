#pragma once

// Window tests lay out on the screen the screenshot tool pictures on.
#include "ui/headless/headlessscreen.h"

namespace qova::test {
using headless::UseScreen;
using headless::UseWorkshopScreen;
} // namespace qova::test
