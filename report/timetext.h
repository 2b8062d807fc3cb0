#pragma once

#include <QLocale>
#include <QString>
#include <QTime>

namespace qova::report {

// `pattern`, a QLocale time format, without its time-zone fields ("t" to "tttt"), the
// brackets that enclose one and the blanks or comma that set it apart. Quoted text stays.
QString WithoutTimeZone(const QString &pattern);

// The time as the test report and the recording write it: the workstation's long time
// format, which Qt gives a zone name the workstation's own format never had.
QString ReportTime(const QLocale &locale, const QTime &time);

} // namespace qova::report
