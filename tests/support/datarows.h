#pragma once

#include <QtTest>

namespace qova::test {

// A QtTest data table of one bool column: false in the row named `whenFalse`, true in
// the row named `whenTrue`.
inline void BoolRows(const char *column, const char *whenFalse, const char *whenTrue)
{
    QTest::addColumn<bool>(column);
    QTest::newRow(whenFalse) << false;
    QTest::newRow(whenTrue) << true;
}

} // namespace qova::test
