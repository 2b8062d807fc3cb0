#pragma once

#include <span>

class QAction;
class QMenu;
class QWidget;

namespace qova::app {

class TForm1;
struct ProgramWindows;

// The main window's menus. A new menu gets a value here and its lines in MenuLines().
enum class Menu { Bar, File, Store, Help, History, Check };

// Every menu item that does something. A new item gets a value here and a line in MenuLines();
// the build fails while the two disagree.
enum class MenuItem {
    Header,
    Digital,
    Graph,
    Upload,
    View,
    Export,
    Comm,
    PrinterSetup,
    CompanyHeader,
    Exit,
    About,
    HistoryTests,
    HistoryDatabase,
    CsvExport,
    EmissionsCheck,
    UserGuide
};

// One line of the main window's menu: a menu, an item or a separator, in the menu it sits in.
// The main window builds the lines in table order, so the order within each menu is the
// order on screen.
struct MenuLine {
    enum class Kind { Menu, Item, Separator };
    Kind kind;
    Menu in; // Menu::Bar for a menu of the menu bar
    const char *objectName;
    const char *caption; // "&" before its mnemonic
    const char *shortcut = "";
    Menu menu = Menu::Bar;          // Kind::Menu: the menu this line opens
    MenuItem item = MenuItem::Exit; // Kind::Item
    // Kind::Item: what it does in the wired program. Null for E&XIT, which the main window
    // does itself so that an unwired main window still closes.
    void (*opens)(ProgramWindows &) = nullptr;
    QAction *TForm1::*action = nullptr; // Kind::Item: the main window's member that holds it
    QMenu *TForm1::*submenu = nullptr;  // Kind::Menu: likewise, for the menus that have one
};

std::span<const MenuLine> MenuLines();
const MenuLine &LineOf(MenuItem item);

// One window of the program under the short name tests and tools call it by, the heading
// of the user guide's section that F1 opens in it, and whether it opens where the operator
// left it last time (windows the original placed itself, or the window system maximises, do
// not).
struct WindowLine {
    const char *name;
    QWidget &(*window)(ProgramWindows &);
    const char *guideSection;
    bool remembersPlace = false;
};

// Main window first, then in start-up order.
std::span<const WindowLine> WindowLines();

} // namespace qova::app
