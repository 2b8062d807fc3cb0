#include "resources/glyphs.h"

#include <QString>

namespace qova::resources {

QImage LoadDigitGlyph(int index)
{
    if (index < 0 || index > 11)
        return {};
    return QImage(QStringLiteral(":/digits/bit%1.png").arg(index));
}

} // namespace qova::resources
