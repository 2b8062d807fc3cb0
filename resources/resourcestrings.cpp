#include "resources/resourcestrings.h"

namespace qova::resources {

QString LoadResourceString(int id)
{
    switch (id) {
    case 100:
        return QStringLiteral("LPG   ");
    case 101:
        return QStringLiteral("PETROL");
    case 102:
        return QStringLiteral("CNG   ");
    default:
        return {};
    }
}

} // namespace qova::resources
