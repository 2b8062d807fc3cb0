#include "report/textfile.h"

namespace qova::report {

QByteArray TextLine(const QString &text, int lineBreaks)
{
    QByteArray out = ToWindows1252(text);
    out.append(' ');
    for (int i = 0; i < lineBreaks; ++i)
        out.append(kLineEnd);
    return out;
}

} // namespace qova::report
