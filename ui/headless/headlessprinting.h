#pragma once

#include "ui/printing.h"

#include <QPrinter>
#include <QString>
#include <memory>

namespace qova::headless {

// Prints every job to one PDF file, for the tests and the screenshot tool, which have no
// printer: they read the page back, or picture it.
class PdfPrinting final : public ui::Printing {
public:
    explicit PdfPrinting(QString path) : path_(std::move(path)) {}

    void printerSetup(QWidget *) override { ++setups; }
    std::unique_ptr<QPrinter> startJob(QWidget *, const QString &title) override
    {
        ++jobs;
        lastTitle = title;
        if (cancel)
            return nullptr;
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(path_);
        printer->setDocName(title);
        return printer;
    }

    const QString &path() const { return path_; }

    int setups = 0;
    int jobs = 0;
    QString lastTitle;
    bool cancel = false; // the operator cancels the job

private:
    QString path_;
};

} // namespace qova::headless
