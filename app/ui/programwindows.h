#pragma once

#include "aboutbox.h"
#include "calibrationdialog.h"
#include "commdialog.h"
#include "companyheader.h"
#include "digitalwindow.h"
#include "emissionscheckwindow.h"
#include "headerdialog.h"
#include "historydialog.h"
#include "historywindow.h"
#include "livegraph.h"
#include "mainwindow.h"
#include "recorddialog.h"
#include "recorder.h"
#include "setupdialog.h"
#include "storemenu.h"
#include "storeviewer.h"
#include "vehicledialog.h"

#include <utility>
#include <vector>

namespace qova::app {

// Every window of the program, made once and in this order: the about box's caption and
// the setup dialog's petrol caption depend on what the main window read at its creation.
// The program wires them to each other; tests and the screenshot tool take them unwired.
struct ProgramWindows {
    ProgramWindows(ui::SharedState &state, const QString &portFile, bool usLocale,
                   SettingsOpener companyHeader = CompanyHeaderSettings,
                   HistorySettingsDialog::Store historySettings = WriteHistorySettings);

    // The menu items and the digital display's buttons open the windows that answer them.
    void wire();
    // Each window under its short name in WindowLines().
    std::vector<std::pair<const char *, QWidget *>> all();
    // The heading of the guide's section about `window` (or the program window it belongs
    // to); empty for none.
    QString guideSection(const QWidget *window);
    // HELP > USER GUIDE, and F1 in any window: the guide at the section of `from`.
    void showGuide(QWidget *from);

    ui::SharedState &state;
    // The program's own settings (the company header's store), where the windows' places are kept.
    SettingsOpener settings;
    TForm1 form1;
    const bool mainCreated; // the main window has read the port file and the locale
    display::TForm2 form2;
    TForm4 form4;
    display::TForm3 form3;
    TForm5 form5;
    config::TForm6 form6;
    TForm7 form7;
    report::TForm8 form8;
    config::TSETUP setup;
    config::TForm10 form10;
    store::TForm11 form11;
    store::StoreMenu storeMenu;
    report::TForm12 form12;
    report::Recorder recorder;
    history::HistoryWindow historyWindow;
    HistorySettingsDialog historySettings;
    checkui::EmissionsCheckWindow emissionsCheck;
};

} // namespace qova::app
