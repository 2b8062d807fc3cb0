#include "report/ui/printreport.h"

#include "history/testarchive.h"
#include "report/reporthistory.h"
#include "report/testreport.h"
#include "report/timetext.h"
#include "report/ui/vehicledialog.h"
#include "ui/operator.h"
#include "ui/printing.h"
#include "ui/sharedstate.h"

#include <QDir>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QPrinter>

namespace qova::report {

namespace {
// The page is 82 line heights tall (the last text starts at 80 and is two high); a
// starting font that would run past the foot of the page is made smaller.
constexpr double kPageInLines = 83.0;

void setFontHeight(QPainter &painter, int pixels)
{
    QFont font = painter.font();
    font.setPixelSize(std::max(1, pixels));
    painter.setFont(font);
}
} // namespace

bool PaintTestReport(QPaintDevice &device, const QStringList &reportLines)
{
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    painter.setPen(Qt::black);

    QFont font = QGuiApplication::font();
    font.setPointSizeF(8);
    painter.setFont(font);
    // Line heights do not shrink exactly with the point size, so step down until it fits.
    const int pageHeight = painter.viewport().height();
    for (int step = 0; step < 10; ++step) {
        const double needed = QFontMetrics(font, &device).height() * kPageInLines;
        if (needed <= pageHeight)
            break;
        font.setPointSizeF(font.pointSizeF() * pageHeight / needed * 0.98);
    }
    painter.setFont(font);

    const QFontMetrics start = painter.fontMetrics();
    const int U = start.horizontalAdvance(QStringLiteral("ABCD12"));
    // The height of a line of the font, whatever the text: "ZELQUIN" only names it.
    const int L = std::max(1, start.height());

    for (const PrintedLine &line : PrintedPage(reportLines)) {
        setFontHeight(painter, line.fontFactor * L);
        painter.drawText(U, line.n * L + painter.fontMetrics().ascent(), line.text);
    }
    setFontHeight(painter, L);
    return painter.end();
}

void PrintTestReport(ui::SharedState &state, QWidget *window, const link::LiveReading &reading, TForm8 &dialog)
{
    dialog.exec();
    if (!dialog.okPressed())
        return;

    const QDateTime now = state.now();
    const QLocale locale = QLocale::system();
    ReportInput input;
    input.companyHeader = state.CompanyHeader.left(kVehicleTypeLength);
    input.vehicleType = dialog.Edit1->text().left(kVehicleTypeLength);
    input.registration = dialog.Edit2->text().left(kRegistrationLength);
    input.date = locale.toString(now.date(), QLocale::ShortFormat);
    input.time = ReportTime(locale, now.time());
    input.fuelName = link::FuelName(reading.FuelCode, state.UsLocale);
    input.reading = ClampForReport(reading);
    const QStringList lines = ReportLines(input);

    std::unique_ptr<QPrinter> job =
        state.printing ? state.printing->startJob(window, QStringLiteral("Qova Analyzer")) : nullptr;
    if (job && !PaintTestReport(*job, lines)) {
        const QString where = job->outputFileName().isEmpty() ? job->printerName() : job->outputFileName();
        state.op->message(window, QStringLiteral("QOVA"),
                          QStringLiteral("The report could not be printed on %1").arg(where), ui::Icon::Stop,
                          ui::Buttons::Ok);
    }

    const QString fileName = RegistrationFileName(input.registration);
    // The box names the file as the report names it, not the folder it went to.
    if (const Done added = AppendToFile(QDir::current().filePath(fileName), RegistrationFileText(lines)); !added.ok())
        state.op->message(window, QStringLiteral("QOVA"),
                          QStringLiteral("The report could not be added to the file %1").arg(fileName), ui::Icon::Stop,
                          ui::Buttons::Ok, added.problem().why);

    // The page and the file are done whatever the history does; a test it cannot take
    // now waits in its queue, and the operator hears of it once.
    if (state.history) {
        ui::SharedState *shared = &state;
        state.history->save(ReportEntry(input, state.session.lastFrame(), now, lines), window,
                            [shared, window](const history::TestArchive::Saved &saved) {
                                if (!saved.ok())
                                    shared->op->message(window, QStringLiteral("QOVA"), saved.problem().text(),
                                                        ui::Icon::Warning, ui::Buttons::Ok);
                            });
    }
}

} // namespace qova::report
