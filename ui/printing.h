#pragma once

#include <QString>
#include <memory>

class QPrinter;
class QWidget;

namespace qova::ui {

// Every print of the program goes through here: the test report, the live graph and
// the store viewer. Tests put a printer that writes a PDF file in its place.
class Printing {
public:
    virtual ~Printing() = default;

    // FILE > PRINTER SETUP: chooses the printer every later print uses.
    virtual void printerSetup(QWidget *parent) = 0;
    // A print job titled `title` on the chosen printer, or the system default. Painting on
    // it with a QPainter prints; destroying it ends the job. Null when the operator cancelled.
    virtual std::unique_ptr<QPrinter> startJob(QWidget *parent, const QString &title) = 0;
};

} // namespace qova::ui

namespace qova::ui {

class Operator;

// The workstation's printers. A workstation with none at all still gets its page: it
// goes to a PDF file the operator names.
class SystemPrinting final : public Printing {
public:
    explicit SystemPrinting(Operator &op);
    ~SystemPrinting() override;

    void printerSetup(QWidget *parent) override;
    std::unique_ptr<QPrinter> startJob(QWidget *parent, const QString &title) override;

private:
    Operator &op_;
    // Holds what PRINTER SETUP chose; null until it was confirmed once.
    std::unique_ptr<QPrinter> chosen_;
};

} // namespace qova::ui
