#include "ui/printing.h"

#include "ui/operator.h"

#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace qova::ui {

namespace {
void copySettings(const QPrinter &from, QPrinter &to)
{
    if (from.outputFormat() == QPrinter::PdfFormat)
        to.setOutputFileName(from.outputFileName());
    else
        to.setPrinterName(from.printerName());
    to.setPageLayout(from.pageLayout());
    to.setColorMode(from.colorMode());
    to.setDuplex(from.duplex());
    to.setCopyCount(from.copyCount());
    to.setCollateCopies(from.collateCopies());
}
} // namespace

SystemPrinting::SystemPrinting(Operator &op) : op_(op) {}

SystemPrinting::~SystemPrinting() = default;

void SystemPrinting::printerSetup(QWidget *parent)
{
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (chosen_)
        copySettings(*chosen_, *printer);
    QPrintDialog dialog(printer.get(), parent);
    dialog.setWindowTitle(QStringLiteral("Printer Setup"));
    // The page range belongs to each print, not to the setup.
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    if (dialog.exec() == QDialog::Accepted)
        chosen_ = std::move(printer);
}

std::unique_ptr<QPrinter> SystemPrinting::startJob(QWidget *parent, const QString &title)
{
    auto job = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (chosen_) {
        copySettings(*chosen_, *job);
        // A printer removed since the setup: the system default takes its place.
        if (!job->isValid())
            job = std::make_unique<QPrinter>(QPrinter::HighResolution);
    }
    // Without any printer the job comes back set to PDF output with no file to write.
    const bool ready = job->outputFormat() == QPrinter::NativeFormat ? !QPrinterInfo::availablePrinterNames().isEmpty()
                                                                     : !job->outputFileName().isEmpty();
    if (!ready) {
        FileRequest request;
        request.caption = QStringLiteral("No printer: save the page as PDF");
        request.filter = QStringLiteral("PDF document (*.pdf)");
        request.defaultSuffix = QStringLiteral("pdf");
        const QString path = op_.saveFileName(parent, request);
        if (path.isEmpty())
            return nullptr;
        job->setOutputFormat(QPrinter::PdfFormat);
        job->setOutputFileName(path);
    }
    job->setDocName(title);
    return job;
}

} // namespace qova::ui
