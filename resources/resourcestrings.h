#pragma once

#include <QString>

namespace qova::resources {

// The program's string table: the fuel names 100 to 102, each six characters.
// An id without a string gives the empty text.
QString LoadResourceString(int id);

} // namespace qova::resources
