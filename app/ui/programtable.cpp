#include "app/ui/programtable.h"

#include "app/historysettings.h"
#include "app/ui/programwindows.h"
#include "ui/printing.h"

#include <algorithm>
#include <utility>

namespace qova::app {

namespace {

using Kind = MenuLine::Kind;

constexpr MenuLine kMenuLines[] = {
    // The menus' captions and order are the original's; only their Alt letters are added.
    {.kind = Kind::Menu, .in = Menu::Bar, .objectName = "", .caption = "&FILE", .menu = Menu::File},
    {.kind = Kind::Item,
     .in = Menu::File,
     .objectName = "HADER1",
     .caption = "&HEADER",
     .shortcut = "Ctrl+H",
     .item = MenuItem::Header,
     .opens = [](ProgramWindows &w) { w.form6.exec(); },
     .action = &TForm1::HADER1},
    {.kind = Kind::Item,
     .in = Menu::File,
     .objectName = "DIGITAL1",
     .caption = "&DIGITAL",
     .shortcut = "Ctrl+D",
     .item = MenuItem::Digital,
     .opens = [](ProgramWindows &w) { w.form2.exec(); },
     .action = &TForm1::DIGITAL1},
    {.kind = Kind::Item,
     .in = Menu::File,
     .objectName = "GRAPH1",
     .caption = "&GRAPH",
     .shortcut = "Ctrl+G",
     .item = MenuItem::Graph,
     .opens = [](ProgramWindows &w) { w.form3.ShowModal(); },
     .action = &TForm1::GRAPH1},
    {.kind = Kind::Menu,
     .in = Menu::File,
     .objectName = "UPLOAD1",
     .caption = "&STORE",
     .menu = Menu::Store,
     .submenu = &TForm1::UPLOAD1},
    {.kind = Kind::Item,
     .in = Menu::Store,
     .objectName = "UPLOAD2",
     .caption = "&UPLOAD",
     .item = MenuItem::Upload,
     .opens = [](ProgramWindows &w) { w.storeMenu.UPLOAD2Click(); },
     .action = &TForm1::UPLOAD2},
    {.kind = Kind::Item,
     .in = Menu::Store,
     .objectName = "VIEW1",
     .caption = "&VIEW",
     .item = MenuItem::View,
     .opens = [](ProgramWindows &w) { w.storeMenu.VIEW1Click(); },
     .action = &TForm1::VIEW1},
    {.kind = Kind::Item,
     .in = Menu::Store,
     .objectName = "EXPORT1",
     .caption = "&EXPORT",
     .item = MenuItem::Export,
     .opens = [](ProgramWindows &w) { w.storeMenu.EXPORT1Click(); },
     .action = &TForm1::EXPORT1},
    // Added after the original items of STORE.
    {.kind = Kind::Item,
     .in = Menu::Store,
     .objectName = "CsvExport",
     .caption = "&CSV EXPORT",
     .shortcut = "Ctrl+E",
     .item = MenuItem::CsvExport,
     .opens = [](ProgramWindows &w) { w.storeMenu.CsvExportClick(); },
     .action = &TForm1::CsvExport},
    {.kind = Kind::Separator, .in = Menu::File, .objectName = "N1", .caption = ""},
    {.kind = Kind::Item,
     .in = Menu::File,
     .objectName = "COMM1",
     .caption = "&COMM",
     .shortcut = "Ctrl+C",
     .item = MenuItem::Comm,
     .opens = [](ProgramWindows &w) { w.form4.COMM1Click(); },
     .action = &TForm1::COMM1},
    {.kind = Kind::Item,
     .in = Menu::File,
     .objectName = "Printersetup1",
     .caption = "&PRINTER SETUP",
     .shortcut = "Ctrl+P",
     .item = MenuItem::PrinterSetup,
     .opens = [](ProgramWindows &w) { w.state.printing->printerSetup(&w.form1); },
     .action = &TForm1::Printersetup1},
    {.kind = Kind::Item,
     .in = Menu::File,
     .objectName = "SERIALNO1",
     .caption = "C&OMPANY HEADER",
     .shortcut = "Ctrl+O",
     .item = MenuItem::CompanyHeader,
     .opens = [](ProgramWindows &w) { w.form7.SERIALNO1Click(); },
     .action = &TForm1::SERIALNO1},
    {.kind = Kind::Separator, .in = Menu::File, .objectName = "N2", .caption = ""},
    {.kind = Kind::Item,
     .in = Menu::File,
     .objectName = "EXIT1",
     .caption = "E&XIT",
     .shortcut = "Ctrl+X",
     .item = MenuItem::Exit,
     .action = &TForm1::EXIT1},
    {.kind = Kind::Menu, .in = Menu::Bar, .objectName = "", .caption = "&HELP", .menu = Menu::Help},
    {.kind = Kind::Item,
     .in = Menu::Help,
     .objectName = "ABOUT1",
     .caption = "&ABOUT",
     .item = MenuItem::About,
     .opens = [](ProgramWindows &w) { w.form5.exec(); },
     .action = &TForm1::ABOUT1},
    // Added after the original item of HELP. F1 opens the guide in every window (ProgramWindows::wire).
    {.kind = Kind::Item,
     .in = Menu::Help,
     .objectName = "UserGuide",
     .caption = "&USER GUIDE",
     .shortcut = "F1",
     .item = MenuItem::UserGuide,
     .opens = [](ProgramWindows &w) { w.showGuide(&w.form1); },
     .action = &TForm1::UserGuide},
    // Added after the original menus, so their order, captions and shortcuts stay.
    {.kind = Kind::Menu, .in = Menu::Bar, .objectName = "", .caption = "HIS&TORY", .menu = Menu::History},
    {.kind = Kind::Item,
     .in = Menu::History,
     .objectName = "HistoryTests",
     .caption = "&TESTS",
     .shortcut = "Ctrl+Y",
     .item = MenuItem::HistoryTests,
     .opens = [](ProgramWindows &w) { w.historyWindow.exec(); },
     .action = &TForm1::HistoryTests},
    {.kind = Kind::Item,
     .in = Menu::History,
     .objectName = "HistoryDatabase",
     .caption = "&DATABASE",
     .shortcut = "Ctrl+B",
     .item = MenuItem::HistoryDatabase,
     .opens = [](ProgramWindows &w) { w.historySettings.open(ReadHistorySettings()); },
     .action = &TForm1::HistoryDatabase},
    // The check is a test of a car, not a view of the history: a menu of its own.
    {.kind = Kind::Menu, .in = Menu::Bar, .objectName = "", .caption = "&CHECK", .menu = Menu::Check},
    {.kind = Kind::Item,
     .in = Menu::Check,
     .objectName = "EmissionsCheck",
     .caption = "&EMISSIONS CHECK",
     .shortcut = "Ctrl+K",
     .item = MenuItem::EmissionsCheck,
     .opens = [](ProgramWindows &w) { w.emissionsCheck.exec(); },
     .action = &TForm1::EmissionsCheck},
};

constexpr int kItems = int(MenuItem::UserGuide) + 1;
constexpr int kMenus = int(Menu::Check) + 1;

// Every item once, and each menu made once before anything is put in it.
constexpr bool Complete()
{
    int items[kItems] = {};
    bool made[kMenus] = {true};
    for (const MenuLine &line : kMenuLines) {
        if (!made[int(line.in)])
            return false;
        if (line.kind == Kind::Item && (line.action == nullptr || ++items[int(line.item)] != 1))
            return false;
        if (line.kind == Kind::Menu && std::exchange(made[int(line.menu)], true))
            return false;
    }
    return std::ranges::all_of(items, [](int n) { return n == 1; }) &&
           std::ranges::all_of(made, [](bool m) { return m; });
}
static_assert(Complete(), "every menu item has one line, every menu one line before its items");

template <auto Member> QWidget &Window(ProgramWindows &w)
{
    return w.*Member;
}

const WindowLine kWindowLines[] = {
    {"main", Window<&ProgramWindows::form1>, "The main window"},
    {"digital", Window<&ProgramWindows::form2>, "The digital display"},
    {"comm", Window<&ProgramWindows::form4>, "Connecting the analyser"},
    {"graph", Window<&ProgramWindows::form3>, "The live graph"},
    {"about", Window<&ProgramWindows::form5>, "The main window"},
    {"header", Window<&ProgramWindows::form6>, "The analyser's printer header lines"},
    {"company", Window<&ProgramWindows::form7>, "Company header and printer setup"},
    {"vehicle", Window<&ProgramWindows::form8>, "Printing a test report"},
    {"setup", Window<&ProgramWindows::setup>, "Setting up the analyser"},
    {"calibration", Window<&ProgramWindows::form10>, "Calibration"},
    {"viewer", Window<&ProgramWindows::form11>, "View"},
    {"record", Window<&ProgramWindows::form12>, "Recording readings to a file"},
    {"history", Window<&ProgramWindows::historyWindow>, "The test history", true},
    {"historysettings", Window<&ProgramWindows::historySettings>, "The test history", true},
    {"check", Window<&ProgramWindows::emissionsCheck>, "The emissions check", true},
};

} // namespace

std::span<const MenuLine> MenuLines()
{
    return kMenuLines;
}

const MenuLine &LineOf(MenuItem item)
{
    return *std::ranges::find_if(kMenuLines,
                                 [item](const MenuLine &l) { return l.kind == Kind::Item && l.item == item; });
}

std::span<const WindowLine> WindowLines()
{
    return kWindowLines;
}

} // namespace qova::app
