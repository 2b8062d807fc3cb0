#include "report/testreport.h"

#include "report/textfile.h"

#include <QFile>
#include <array>

namespace qova::report {

namespace {
// The file endings of report lines 1 to 17.
constexpr std::array<int, kReportLineCount> kLineBreaks = {2, 2, 1, 2, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1, 2, 1, 3};
constexpr std::array<int, kReportLineCount> kPrintedRow = {11, 17, 23, 26, 29, 32, 36, 40, 43,
                                                           46, 49, 52, 55, 58, 61, 64, 67};
} // namespace

QStringList ReportLines(const ReportInput &in)
{
    const link::LiveReading &r = in.reading;
    const link::UnitValue oil = link::OilTemperature(r);
    const link::UnitValue efficiency = link::EfficiencyValue(r);
    const QString value = QStringLiteral("              ");
    return {
        in.companyHeader,
        QStringLiteral("EXHAUST EMISSIONS TEST REPORT"),
        QStringLiteral("DATE: ") + in.date,
        QStringLiteral("TIME: ") + in.time,
        QStringLiteral("VEHICLE TYPE MODEL:  ") + in.vehicleType,
        QStringLiteral("VEHICLE REGISTRATION NUMBER:  ") + in.registration,
        QStringLiteral("FUEL TYPE:  ") + in.fuelName,
        QStringLiteral("        MEASURED VALUES:"),
        value + QString::asprintf("Carbon Monoxide  %.2f%%", r.Co * 0.01),
        value + QString::asprintf("Carbon Dioxide   %.1f%%", r.Co2 * 0.1),
        value + QString::asprintf("Hydrocarbons     %03d", r.Hc),
        value + QString::asprintf("Oxygen           %.2f%%", r.O2 * 0.01),
        value + QString::asprintf("NOx              %03d", r.Nox),
        value + QString::asprintf("RPM              %03d", r.Rpm),
        value + (oil.alternate ? QStringLiteral("OIL \u00B0F           ") : QStringLiteral("OIL \u00B0C           ")) +
            QString::asprintf("%.1f", oil.value),
        QStringLiteral("        CALCULATED VALUE:"),
        value + (efficiency.alternate ? QString::asprintf("AFR              %.2f", efficiency.value)
                                      : QString::asprintf("Lambda           %.3f", efficiency.value)),
    };
}

link::LiveReading ClampForReport(link::LiveReading r)
{
    return link::WithinShownRanges(r);
}

std::vector<PrintedLine> PrintedPage(const QStringList &lines)
{
    std::vector<PrintedLine> page;
    for (int i = 0; i < kReportLineCount && i < lines.size(); ++i)
        page.push_back({kPrintedRow[i], i < 2 ? 3 : 2, lines[i]});
    page.push_back({76, 2, QStringLiteral("TESTED BY:")});
    page.push_back({80, 2, QStringLiteral("COMMENTS:")});
    return page;
}

QByteArray RegistrationFileText(const QStringList &lines)
{
    QByteArray out;
    for (int i = 0; i < kReportLineCount && i < lines.size(); ++i)
        out += TextLine(lines[i], kLineBreaks[i]);
    return out;
}

namespace {

// Characters a file name may not hold on this system or on the workstation's, and '%',
// which marks the others once they are written as %XX.
bool needsEscape(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7F || QStringLiteral("<>:\"/\\|?*%").contains(c);
}

QString escaped(QChar c)
{
    QString out;
    for (const char byte : QString(c).toUtf8())
        out += QStringLiteral("%%1").arg(static_cast<unsigned char>(byte), 2, 16, QLatin1Char('0')).toUpper();
    return out;
}

// The workstation's system opens a device, not a file, for these names whatever follows
// the first dot, and after dropping blanks and dots at the end of that part; COM and LPT
// count superscript digits as digits.
bool namesADevice(const QString &name)
{
    QString stem = name.section(u'.', 0, 0).toUpper();
    while (stem.endsWith(u' ') || stem.endsWith(u'.'))
        stem.chop(1);
    static const QStringList devices = {QStringLiteral("CON"),   QStringLiteral("PRN"),    QStringLiteral("AUX"),
                                        QStringLiteral("NUL"),   QStringLiteral("CONIN$"), QStringLiteral("CONOUT$"),
                                        QStringLiteral("CLOCK$")};
    if (devices.contains(stem))
        return true;
    if (stem.size() != 4 || !(stem.startsWith(QLatin1String("COM")) || stem.startsWith(QLatin1String("LPT"))))
        return false;
    const QChar n = stem[3];
    return (n >= u'0' && n <= u'9') || n == u'\u00B9' || n == u'\u00B2' || n == u'\u00B3';
}

} // namespace

QString RegistrationFileName(const QString &registration)
{
    QString base;
    for (const QChar c : registration)
        base += needsEscape(c) ? escaped(c) : QString(c);
    // Its first letter written as %XX: still one name per registration, and no device.
    if (namesADevice(base))
        base = escaped(base[0]) + base.mid(1);
    return base + QStringLiteral(".TXT");
}

Done AppendToFile(const QString &path, const QByteArray &bytes)
{
    const auto refused = [&path](const QString &why) {
        return Problem{QStringLiteral("The report could not be added to the file %1").arg(path), why, {}};
    };
    QFile file(path);
    // Unbuffered, so a write the disk refuses fails here and not in a later flush.
    // A new file is the user's alone; an existing one keeps the mode it has.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return refused(file.errorString());
    // A report the disk could take only part of is cut away again, so the file ends with
    // the last whole report.
    const qint64 before = file.size();
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        if (!file.isSequential())
            file.resize(before);
        return refused(reason);
    }
    file.close();
    if (file.error() != QFileDevice::NoError)
        return refused(file.errorString());
    return {};
}

} // namespace qova::report
