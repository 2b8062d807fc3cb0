#pragma once

#include "history/testentry.h"

#include <QStringList>

namespace qova::history {

// What HISTORY > TESTS lists of each test, column by column.
QStringList ListedColumnNames();
// The cells of `entry` under those names; a value that was not measured is left blank.
QStringList ListedCells(const TestEntry &entry);

// "CO 1.23" style texts of the History window: the analyser's units to the shown unit.
QString FixedText(int scaled, int decimals);
// "Lambda 1.002" or "AFR 14.70".
QString EfficiencyText(const TestEntry &entry, const Values &values);

} // namespace qova::history
