#pragma once

#include "link/livereading.h"
#include "result/result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace qova::report {

using qova::Done;
using qova::Problem;
using qova::Result;

inline constexpr int kVehicleTypeLength = 39;
inline constexpr int kRegistrationLength = 9;
inline constexpr int kReportLineCount = 17;

// Everything one report shows; the texts are already cut to their lengths.
struct ReportInput {
    QString companyHeader;
    QString vehicleType;
    QString registration;
    QString date;
    QString time;
    QString fuelName;
    link::LiveReading reading;
};

// The seventeen report texts, without trailing blanks or line breaks.
QStringList ReportLines(const ReportInput &input);

// The display's limits. The live window hands over its reading already limited, and
// limiting it again changes nothing, so the report applies them itself and prints the
// same values whichever way the reading reaches it.
link::LiveReading ClampForReport(link::LiveReading reading);

struct PrintedLine {
    int n;          // printed at y = n line heights
    int fontFactor; // font height = -fontFactor line heights
    QString text;
};
// The nineteen texts of the printed page, top to bottom.
std::vector<PrintedLine> PrintedPage(const QStringList &reportLines);

// One report as the registration file gets it: each line with a blank and its line breaks.
QByteArray RegistrationFileText(const QStringList &reportLines);

// The registration becomes a file name in the current folder, with ".TXT". An ordinary
// registration is the name as it is; a character that a file name may not hold, on this
// system or on the workstation's, and '%' itself are written as %XX (its UTF-8 bytes),
// so a typed "../X" or "C:X" cannot reach another folder and two registrations never
// share a file; a name the workstation's system takes for a device (CON, aux.txt, COM1)
// has its first letter written so. An empty registration names ".TXT"; the vehicle
// dialog does not let one through.
QString RegistrationFileName(const QString &registration);

// Appends `bytes` to `path`, creating it; the problem's `why` is the system's reason.
Done AppendToFile(const QString &path, const QByteArray &bytes);

} // namespace qova::report
