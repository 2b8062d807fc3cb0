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
