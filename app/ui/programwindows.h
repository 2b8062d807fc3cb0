#pragma once

#include "app/ui/aboutbox.h"
#include "app/ui/commdialog.h"
#include "app/ui/companyheader.h"
#include "app/ui/mainwindow.h"
#include "check/ui/emissionscheckwindow.h"
#include "config/ui/calibrationdialog.h"
#include "config/ui/headerdialog.h"
#include "config/ui/setupdialog.h"
#include "display/ui/digitalwindow.h"
#include "display/ui/livegraph.h"
#include "history/ui/historydialog.h"
#include "history/ui/historywindow.h"
#include "report/ui/recorddialog.h"
#include "report/ui/recorder.h"
#include "report/ui/vehicledialog.h"
#include "store/ui/storemenu.h"
#include "store/ui/storeviewer.h"

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
