#pragma once

#include "app/ui/programtable.h"
#include "app/ui/programwindows.h"
#include "sim/simdevice.h"
#include "sim/steadyanalyser.h"
#include "tests/support/pdfprinting.h"
#include "tests/support/scriptedoperator.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace qova::test {

// Every window of the program, on an analyser that always gives the same reading, with
// scripted boxes, printing to a PDF and the history's settings in `settingsFile` (a file of
// its own folder when none is named). Not wired: a test that needs the menus to open the
// windows calls windows.wire().
struct ProgramRig {
    explicit ProgramRig(const QString &settings = {})
        : settingsFile(settings.isEmpty() ? dir.filePath(QStringLiteral("h.ini")) : settings)
    {
        state.printing = &printing;
    }

    QTemporaryDir dir;
    link::VirtualPause clock;
    ScriptedOperator op;
    PdfPrinting printing{dir.filePath(QStringLiteral("print.pdf"))};
    ui::SharedState state{[this](int) {
                              return std::make_unique<sim::SimDevice>(
                                  clock, std::make_shared<sim::SteadyAnalyser>(sim::TypicalIdleReading()));
                          },
                          clock, op};
    QString settingsFile;
    QString portFile = dir.filePath(QStringLiteral("SETUP.EA2"));
    app::ProgramWindows windows{state, portFile, false,
                                [this] { return std::make_unique<QSettings>(settingsFile, QSettings::IniFormat); },
                                [](const app::HistorySettings &) { return qova::Done(); }};
};

// A QtTest data table of a row per window of the program: its short name, in the column "window".
inline void WindowRows()
{
    QTest::addColumn<QString>("window");
    for (const app::WindowLine &line : app::WindowLines())
        QTest::newRow(line.name) << QString::fromLatin1(line.name);
}

} // namespace qova::test
