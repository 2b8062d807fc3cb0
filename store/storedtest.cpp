#include "store/storedtest.h"

namespace qova::store {

StoredTestRecord StoredTestRecord::decode(const std::uint8_t *b)
{
    StoredTestRecord r;
    r.Second = b[link::stored::kSecond];
    r.Minute = b[link::stored::kMinute];
    r.Hour = b[link::stored::kHour];
    r.Day = b[link::stored::kDay];
    r.Month = b[link::stored::kMonth];
    r.YearInCycle = b[link::stored::kYearInCycle];
    r.Hc = StoredNumber(b, kHcOffset);
    r.Co = StoredNumber(b, kCoOffset);
    r.Co2 = StoredNumber(b, kCo2Offset);
    r.No = StoredNumber(b, kNoOffset);
    r.Rpm = StoredNumber(b, kRpmOffset);
    r.Oil = StoredNumber(b, kOilOffset);
    r.O2 = StoredNumber(b, kO2Offset);
    for (std::size_t i = 0; i < r.Rest.size(); ++i)
        r.Rest[i] = b[link::stored::kRest + i];
    return r;
}

std::array<std::uint8_t, kRecordSize> StoredTestRecord::encode() const
{
    std::array<std::uint8_t, kRecordSize> b{};
    b[link::stored::kSecond] = Second;
    b[link::stored::kMinute] = Minute;
    b[link::stored::kHour] = Hour;
    b[link::stored::kDay] = Day;
    b[link::stored::kMonth] = Month;
    b[link::stored::kYearInCycle] = YearInCycle;
    const auto put = [&b](int offset, std::int16_t v) {
        const auto u = static_cast<std::uint16_t>(v);
        b[offset] = link::HighByte(u);
        b[offset + 1] = link::LowByte(u);
    };
    put(kHcOffset, Hc);
    put(kCoOffset, Co);
    put(kCo2Offset, Co2);
    put(kNoOffset, No);
    put(kRpmOffset, Rpm);
    put(kOilOffset, Oil);
    put(kO2Offset, O2);
    for (std::size_t i = 0; i < Rest.size(); ++i)
        b[link::stored::kRest + i] = Rest[i];
    return b;
}

int StoredYear(std::uint8_t yearInCycle, int currentYear)
{
    const auto base = static_cast<std::uint8_t>(((currentYear % 256) + 48) % 256);
    const auto d = static_cast<std::uint8_t>((base & ~3u) | yearInCycle);
    return 2000 + d;
}

namespace {

// The row is printf's "%04d", "%02d", "%5.2f", "%4.1f" and "%.1f" of the stored numbers (the
// fixed-point ones of number × 0.01 or × 0.1). Those products lie within a few units in the
// last place of an exact two- or one-decimal value, far from any rounding boundary, so
// integer arithmetic gives printf's characters without its cost. A test holds the two
// together over every 16-bit value.

char *putUnsigned(char *p, unsigned v, int minDigits)
{
    char tmp[12];
    int n = 0;
    do {
        tmp[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    while (n < minDigits)
        tmp[n++] = '0';
    while (n > 0)
        *p++ = tmp[--n];
    return p;
}

int digitCount(unsigned v)
{
    int n = 1;
    while (v >= 10) {
        v /= 10;
        ++n;
    }
    return n;
}

// "%0<width>d": the sign counts toward the width, the zeros go after it.
char *putZeroPadded(char *p, int v, int width)
{
    if (v < 0) {
        *p++ = '-';
        return putUnsigned(p, static_cast<unsigned>(-v), width - 1);
    }
    return putUnsigned(p, static_cast<unsigned>(v), width);
}

// "%<width>.<decimals>f" of v / 10^decimals, blanks on the left up to the width.
char *putFixed(char *p, int v, int decimals, int width)
{
    const bool negative = v < 0;
    const unsigned a = static_cast<unsigned>(negative ? -v : v);
    const unsigned scale = decimals == 2 ? 100 : 10;
    const unsigned whole = a / scale;
    const int length = (negative ? 1 : 0) + digitCount(whole) + 1 + decimals;
    for (int i = length; i < width; ++i)
        *p++ = ' ';
    if (negative)
        *p++ = '-';
    p = putUnsigned(p, whole, 1);
    *p++ = '.';
    return putUnsigned(p, a % scale, decimals);
}

} // namespace

std::size_t FormatStoredTestRow(const std::uint8_t *r, int currentYear, char *out)
{
    char *p = out;
    p = putZeroPadded(p, StoredYear(r[5], currentYear), 4);
    *p++ = '/';
    p = putZeroPadded(p, DecodeBcd(r[4]), 2);
    *p++ = '/';
    p = putZeroPadded(p, DecodeBcd(r[3]), 2);
    *p++ = ' ';
    *p++ = ' ';
    p = putZeroPadded(p, DecodeBcd(r[2]), 2);
    *p++ = ':';
    p = putZeroPadded(p, DecodeBcd(r[1]), 2);
    *p++ = ':';
    p = putZeroPadded(p, DecodeBcd(r[0]), 2);
    *p++ = ' ';
    p = putZeroPadded(p, StoredNumber(r, kHcOffset), 4);
    *p++ = ' ';
    p = putFixed(p, StoredNumber(r, kCoOffset), 2, 5);
    *p++ = ' ';
    p = putFixed(p, StoredNumber(r, kCo2Offset), 1, 4);
    *p++ = ' ';
    p = putFixed(p, StoredNumber(r, kO2Offset), 2, 5);
    *p++ = ' ';
    p = putZeroPadded(p, StoredNumber(r, kNoOffset), 4);
    *p++ = ' ';
    p = putZeroPadded(p, StoredNumber(r, kRpmOffset), 4);
    *p++ = ' ';
    p = putFixed(p, StoredNumber(r, kOilOffset), 1, 0);
    return static_cast<std::size_t>(p - out);
}

QString FormatStoredTestRow(const std::uint8_t *record, int currentYear)
{
    char row[kMaxRowLength];
    const std::size_t n = FormatStoredTestRow(record, currentYear, row);
    return QString::fromLatin1(row, static_cast<qsizetype>(n));
}

} // namespace qova::store
