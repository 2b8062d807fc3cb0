#include "report/textfile.h"

#include <QList>
#include <array>
#include <utility>

namespace qova::report {

namespace {
// The code page's 0x80-0x9F block; 0 marks the five unassigned bytes.
constexpr std::array<char16_t, 32> kHighBlock = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                                 0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char toByte(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (std::size_t i = 0; i < kHighBlock.size(); ++i)
        if (kHighBlock[i] != 0 && kHighBlock[i] == c)
            return static_cast<char>(0x80 + i);
    return '?';
}
} // namespace

QByteArray ToWindows1252(const QString &text)
{
    QByteArray out;
    out.reserve(text.size());
    for (const char32_t c : text.toUcs4())
        out.append(toByte(c));
    return out;
}

QByteArray TextLine(const QString &text, int lineBreaks)
{
    QByteArray out = ToWindows1252(text);
    out.append(' ');
    for (int i = 0; i < lineBreaks; ++i)
        out.append(kLineEnd);
    return out;
}

} // namespace qova::report
