#pragma once

#include "history/testentry.h"
#include "report/testreport.h"

#include <QDateTime>
#include <QStringList>

namespace qova::report {

// The values of a reading in the history's terms.
history::Values HistoryValues(const link::LiveReading &reading);

// The printed report as the history keeps it: `input` as the page showed it (its reading
// limited for the page), `received` as the analyser sent it, and the page's texts.
history::TestEntry ReportEntry(const ReportInput &input, const link::LiveReading &received, const QDateTime &takenAt,
                               const QStringList &reportLines);

// One line on the last test of a registration, for the vehicle dialog:
// "Last test 2026-03-02 10:41: CO 0.58%, HC 178 ppm, Lambda 1.021".
QString LastResultText(const history::TestEntry &entry);
// What the vehicle dialog shows when the history did not answer in time.
inline const QString kLastResultNotAvailable = QStringLiteral("Last result not available now");

} // namespace qova::report
