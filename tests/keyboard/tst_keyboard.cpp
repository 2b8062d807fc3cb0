// Keyboard use across the program: the main menu's shortcuts and mnemonics, every push
// button of every window reachable by a mnemonic of its own, and every one-line field
// replacing its text when typed into after the keyboard took the operator there.
#include "tests/support/programrig.h"
#include "ui/guardedapplication.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <map>
#include <memory>
#include <span>
#include <vector>

using namespace qova;
using app::TForm1;

namespace {

// The letter after the first single "&", upper case; none for a caption without one.
QChar Mnemonic(const QString &caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != QLatin1Char('&'))
            continue;
        if (caption[i + 1] == QLatin1Char('&')) {
            ++i;
            continue;
        }
        return caption[i + 1].toUpper();
    }
    return {};
}

using app::Menu;
using app::MenuLine;
using Kind = MenuLine::Kind;

QString Named(Menu menu, std::span<const MenuLine> lines)
{
    for (const MenuLine &l : lines)
        if (l.kind == Kind::Menu && l.menu == menu)
            return QString::fromLatin1(l.caption);
    return QStringLiteral("the menu bar");
}

// What keeps a table's menu from being used by keyboard alone: two lines of one menu on one
// letter, a line without a letter in a menu of more than one, two items on one shortcut.
// The menu bar's letters are Alt shortcuts of the main window.
QStringList MenuClashes(std::span<const MenuLine> lines)
{
    QStringList clashes;
    std::map<std::pair<Menu, QChar>, QString> letters;
    std::map<QString, QString> shortcuts;
    std::map<Menu, int> sizes;
    for (const MenuLine &l : lines)
        if (l.kind != Kind::Separator)
            ++sizes[l.in];
    const auto claim = [&](const QString &keys, const QString &caption) {
        const QString key = QKeySequence(keys).toString();
        if (const auto [at, added] = shortcuts.emplace(key, caption); !added)
            clashes << caption + QStringLiteral(" shares ") + key + QStringLiteral(" with ") + at->second;
    };
    for (const MenuLine &l : lines) {
        if (l.kind == Kind::Separator)
            continue;
        const QString caption = QString::fromLatin1(l.caption);
        const QChar m = Mnemonic(caption);
        if (m.isNull() && l.in != Menu::Bar && sizes[l.in] > 1)
            clashes << caption + QStringLiteral(" has no letter in ") + Named(l.in, lines);
        if (!m.isNull()) {
            if (const auto [at, added] = letters.emplace(std::pair(l.in, m), caption); !added)
                clashes << caption + QStringLiteral(" shares its letter with ") + at->second + QStringLiteral(" in ") +
                               Named(l.in, lines);
            if (l.in == Menu::Bar)
                claim(QStringLiteral("Alt+") + m, caption);
        }
        if (l.kind == Kind::Item && *l.shortcut != '\0')
            claim(QString::fromLatin1(l.shortcut), caption);
    }
    return clashes;
}

// The menus from the menu bar down to the one `line` sits in.
std::vector<Menu> PathTo(const MenuLine &line)
{
    std::vector<Menu> path;
    for (Menu in = line.in; in != Menu::Bar;) {
        path.insert(path.begin(), in);
        const auto lines = app::MenuLines();
        in = std::ranges::find_if(lines, [in](const MenuLine &l) { return l.kind == Kind::Menu && l.menu == in; })->in;
    }
    return path;
}

// Every window of the program, not wired to each other, on an analyser that always gives
// the same reading.
struct Program : test::ProgramRig {
    TForm1 &form1 = windows.form1;
    display::TForm2 &form2 = windows.form2;

    Program()
    {
        for (auto b : {display::TForm2::Button::Print, display::TForm2::Button::Record, display::TForm2::Button::Setup,
                       display::TForm2::Button::Calibration})
            form2.setButtonHandler(b, [] {});
    }

    // Every menu item counts its runs, by item, instead of opening its window.
    const std::map<int, int> &countItemRuns()
    {
        for (const MenuLine &l : app::MenuLines())
            if (l.kind == Kind::Item)
                form1.setHandler(l.item, [this, i = int(l.item)] { ++itemRuns[i]; });
        return itemRuns;
    }
    std::map<int, int> itemRuns;
};

bool Activate(QWidget *w)
{
    w->show();
    QApplication::setActiveWindow(w);
    w->activateWindow();
    return QTest::qWaitForWindowActive(w);
}

} // namespace

class TestKeyboard : public QObject {
    Q_OBJECT
private slots:
    void menuShortcutRunsItsItem_data();
    void menuShortcutRunsItsItem();
    void ctrlXEndsTheProgram();
    void menuMnemonicsAndShortcutsAreDistinct_data();
    void menuMnemonicsAndShortcutsAreDistinct();
    void itemByMnemonic_data();
    void itemByMnemonic();
    void altOpensTheMenuBar();
    void everyPushButtonHasItsOwnMnemonic();
    void mnemonicClicksTheButton_data();
    void mnemonicClicksTheButton();
    void typingReplacesAFieldEnteredByKeyboard_data();
    void typingReplacesAFieldEnteredByKeyboard();
};

void TestKeyboard::menuShortcutRunsItsItem_data()
{
    QTest::addColumn<QString>("shortcut");
    QTest::addColumn<int>("item");
    for (const MenuLine &l : app::MenuLines())
        if (l.kind == Kind::Item && *l.shortcut != '\0')
            QTest::addRow("%s %s", l.shortcut, l.caption) << QString::fromLatin1(l.shortcut) << int(l.item);
}

void TestKeyboard::menuShortcutRunsItsItem()
{
    QFETCH(QString, shortcut);
    QFETCH(int, item);
    Program p;
    const std::map<int, int> &runs = p.countItemRuns();
    QVERIFY(Activate(&p.form1));
    QTest::keySequence(&p.form1, QKeySequence(shortcut));
    QCOMPARE(runs, (std::map<int, int>{{item, 1}}));
}

void TestKeyboard::ctrlXEndsTheProgram()
{
    Program p;
    QVERIFY(Activate(&p.form1));
    QTest::keyClick(&p.form1, Qt::Key_X, Qt::ControlModifier);
    QVERIFY(!p.form1.isVisible());
}

// Small tables that break the rules one at a time, so a clash finder that finds nothing fails.
const MenuLine kFile{.kind = Kind::Menu, .in = Menu::Bar, .objectName = "", .caption = "FILE", .menu = Menu::File};
const MenuLine kStore{.kind = Kind::Menu, .in = Menu::File, .objectName = "", .caption = "&STORE", .menu = Menu::Store};
MenuLine Item(Menu in, const char *caption, const char *shortcut = "")
{
    return {.kind = Kind::Item, .in = in, .objectName = "", .caption = caption, .shortcut = shortcut};
}
const std::vector<std::vector<MenuLine>> kBadTables = {
    {kFile, Item(Menu::File, "&HEADER", "Ctrl+H"), Item(Menu::File, "&HISTORY", "Ctrl+Y")},
    {kFile, Item(Menu::File, "&HEADER"), kStore, Item(Menu::Store, "&HISTORY"), Item(Menu::Store, "&UPLOAD")},
    {kFile, Item(Menu::File, "&DIGITAL", "Ctrl+D"), kStore, Item(Menu::Store, "&VIEW", "ctrl+d")},
    {kFile, Item(Menu::File, "&HEADER"), kStore, Item(Menu::Store, "&UPLOAD"), Item(Menu::Store, "VIEW")},
    {kFile, Item(Menu::File, "&STORE"), kStore, Item(Menu::Store, "VIEW")},
    {kFile, Item(Menu::File, "R&&D"), Item(Menu::File, "&DIGITAL")},
    {kFile,
     {.kind = Kind::Menu, .in = Menu::Bar, .objectName = "", .caption = "&EMISSIONS", .menu = Menu::Help},
     Item(Menu::File, "&EXPORT", "Alt+E"),
     Item(Menu::Help, "&CHECK")},
};

void TestKeyboard::menuMnemonicsAndShortcutsAreDistinct_data()
{
    QTest::addColumn<int>("table"); // -1: the program's
    QTest::addColumn<QStringList>("clashes");
    QTest::newRow("the program's menu") << -1 << QStringList();
    QTest::newRow("one letter in one menu")
        << 0 << QStringList{QStringLiteral("&HISTORY shares its letter with &HEADER in FILE")};
    QTest::newRow("one letter in two menus") << 1 << QStringList();
    QTest::newRow("one shortcut in two menus") << 2 << QStringList{QStringLiteral("&VIEW shares Ctrl+D with &DIGITAL")};
    QTest::newRow("no letter among several") << 3 << QStringList{QStringLiteral("VIEW has no letter in &STORE")};
    QTest::newRow("no letter alone, submenu on an item's letter")
        << 4 << QStringList{QStringLiteral("&STORE shares its letter with &STORE in FILE")};
    QTest::newRow("a doubled & is no letter") << 5 << QStringList{QStringLiteral("R&&D has no letter in FILE")};
    QTest::newRow("a menu bar letter is an Alt shortcut")
        << 6 << QStringList{QStringLiteral("&EXPORT shares Alt+E with &EMISSIONS")};
}

void TestKeyboard::menuMnemonicsAndShortcutsAreDistinct()
{
    QFETCH(int, table);
    QFETCH(QStringList, clashes);
    const auto lines = table < 0 ? app::MenuLines() : std::span<const MenuLine>(kBadTables.at(table));
    // Joined, so that a failure shows the clash.
    QCOMPARE(MenuClashes(lines).join(QStringLiteral("; ")), clashes.join(QStringLiteral("; ")));
}

void TestKeyboard::itemByMnemonic_data()
{
    QTest::addColumn<int>("item");
    for (const MenuLine &l : app::MenuLines())
        if (l.kind == Kind::Item && !Mnemonic(QString::fromLatin1(l.caption)).isNull())
            QTest::addRow("%s", l.caption) << int(l.item);
}

// Its menu opened, then one letter for each submenu on the way and one for the item.
void TestKeyboard::itemByMnemonic()
{
    QFETCH(int, item);
    Program p;
    const std::map<int, int> &runs = p.countItemRuns();
    QVERIFY(Activate(&p.form1));
    const MenuLine &line = app::LineOf(app::MenuItem(item));
    const std::vector<Menu> path = PathTo(line);
    QMenu *menu = p.form1.menu(path.front());
    menu->popup(p.form1.mapToGlobal(QPoint(0, 0)));
    QVERIFY(QTest::qWaitForWindowExposed(menu));
    for (auto sub = path.begin() + 1; sub != path.end(); ++sub) {
        QTest::keyClick(menu, Qt::Key(Mnemonic(Named(*sub, app::MenuLines())).unicode()));
        menu = p.form1.menu(*sub);
        QTRY_VERIFY(menu->isVisible());
    }
    QTest::keyClick(menu, Qt::Key(Mnemonic(QString::fromLatin1(line.caption)).unicode()));
    QTRY_COMPARE(runs, (std::map<int, int>{{item, 1}}));
}

// FILE and HELP carry no mnemonic of their own: Alt alone puts the keyboard on the menu bar,
// the arrows choose the menu and Down opens it, which is how ABOUT is reached.
void TestKeyboard::altOpensTheMenuBar()
{
    Program p;
    int about = 0;
    p.form1.setHandler(TForm1::Item::About, [&about] { ++about; });
    QVERIFY(Activate(&p.form1));
    QMenuBar *bar = p.form1.menuBar();
    QTest::keyPress(&p.form1, Qt::Key_Alt, Qt::AltModifier);
    QTest::keyRelease(&p.form1, Qt::Key_Alt, Qt::NoModifier);
    QTRY_VERIFY(bar->hasFocus());
    QTest::keyClick(bar, Qt::Key_Right);
    QTest::keyClick(bar, Qt::Key_Down);
    QMenu *help = bar->actions().at(1)->menu();
    QTRY_VERIFY(help->isVisible());
    QTest::keyClick(help, Qt::Key_Return);
    QTRY_COMPARE(about, 1);
}

void TestKeyboard::everyPushButtonHasItsOwnMnemonic()
{
    Program p;
    for (const auto &[name, window] : p.windows.all()) {
        std::map<QChar, QString> letters;
        for (QAbstractButton *b : window->findChildren<QAbstractButton *>()) {
            if (b->window() != window) // a dialog the window owns
                continue;
            const QChar m = Mnemonic(b->text());
            const QString where = QString::fromLatin1(name) + QStringLiteral(": ") + b->text();
            if (qobject_cast<QPushButton *>(b) != nullptr)
                QVERIFY2(!m.isNull(), qPrintable(where + QStringLiteral(" has no mnemonic")));
            if (!m.isNull())
                QVERIFY2(letters.emplace(m, b->text()).second,
                         qPrintable(where + QStringLiteral(" shares its letter with ") + letters[m]));
        }
    }
}

void TestKeyboard::mnemonicClicksTheButton_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("button");
    Program p;
    for (const auto &[name, window] : p.windows.all())
        for (QPushButton *b : window->findChildren<QPushButton *>())
            if (b->window() == window)
                QTest::addRow("%s %s", name, qPrintable(b->text())) << QString::fromLatin1(name) << b->objectName();
}

void TestKeyboard::mnemonicClicksTheButton()
{
    QFETCH(QString, window);
    QFETCH(QString, button);
    Program p;
    QWidget *w = nullptr;
    for (const auto &[name, candidate] : p.windows.all())
        if (window == QLatin1String(name))
            w = candidate;
    QVERIFY(w != nullptr);
    if (w == &p.windows.form3)
        QVERIFY(p.windows.form3.FormShow());
    QVERIFY(Activate(w));
    auto *b = w->findChild<QPushButton *>(button);
    QVERIFY(b != nullptr);
    // A window of pages (the emissions check) shows the page that holds the button.
    for (QWidget *up = b; up != nullptr && up != w; up = up->parentWidget())
        if (auto *pages = qobject_cast<QStackedWidget *>(up->parentWidget()))
            pages->setCurrentWidget(up);
    QVERIFY(b->isVisible() && b->isEnabled());
    QSignalSpy clicked(b, &QAbstractButton::clicked);
    const QChar m = Mnemonic(b->text());
    QTest::keyClick(w, Qt::Key(m.unicode()), Qt::AltModifier);
    // The button shows itself pressed for a moment before it clicks.
    QTRY_COMPARE(clicked.count(), 1);
    w->hide();
    if (w == &p.windows.form3)
        p.windows.form3.FormClose();
}

// Shows the page of a window of pages (the emissions check) that holds `w`.
void ShowPageOf(QWidget *w, QWidget *window)
{
    for (QWidget *up = w; up != nullptr && up != window; up = up->parentWidget())
        if (auto *pages = qobject_cast<QStackedWidget *>(up->parentWidget()))
            pages->setCurrentWidget(up);
}

QWidget *WindowNamed(app::ProgramWindows &windows, const QString &window)
{
    for (const auto &[name, candidate] : windows.all())
        if (window == QLatin1String(name))
            return candidate;
    return nullptr;
}

// How the operator comes to the field: Tab or Shift+Tab from its neighbour (as Enter does in
// the dialogs that move on with it), the window moving there after a step (the check's
// registration after a vehicle is chosen). A dialog opening on a field selects it itself.
enum class Entry { Tab, Backtab, WindowMovesOn };

void TestKeyboard::typingReplacesAFieldEnteredByKeyboard_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("entry");
    Program p;
    for (const auto &[name, window] : p.windows.all())
        for (QLineEdit *f : window->findChildren<QLineEdit *>()) {
            // Qt's own fields inside spin boxes, and fields a page keeps disabled, are not the operator's.
            if (f->window() != window || f->isReadOnly() || !(f->focusPolicy() & Qt::TabFocus) ||
                f->objectName().isEmpty() || f->objectName().startsWith(QLatin1String("qt_")) ||
                !f->isEnabledTo(window))
                continue;
            const QByteArray field = f->objectName().toLatin1();
            const auto row = [&](const char *how, Entry entry) {
                QTest::addRow("%s %s %s", name, field.data(), how)
                    << QString::fromLatin1(name) << f->objectName() << int(entry);
            };
            // A field alone in its window is only reached as the window opens.
            bool alone = true;
            for (QWidget *next = f->nextInFocusChain(); next != f; next = next->nextInFocusChain())
                if (next->window() == window && next->focusPolicy() & Qt::TabFocus && next->isEnabledTo(window))
                    alone = false;
            if (alone)
                continue;
            row("tab", Entry::Tab);
            row("backtab", Entry::Backtab);
            row("window moves on", Entry::WindowMovesOn);
        }
}

// Digits, which every field takes: the calibration's and the check's fields take no letters.
void TestKeyboard::typingReplacesAFieldEnteredByKeyboard()
{
    QFETCH(QString, window);
    QFETCH(QString, field);
    QFETCH(int, entry);
    Program p;
    QWidget *w = WindowNamed(p.windows, window);
    QVERIFY(w != nullptr);
    auto *f = w->findChild<QLineEdit *>(field);
    QVERIFY(f != nullptr);
    ShowPageOf(f, w);
    f->setText(QStringLiteral("12"));
    switch (Entry(entry)) {
    case Entry::Tab:
    case Entry::Backtab:
    case Entry::WindowMovesOn: {
        QVERIFY(Activate(w));
        // From the field's neighbour, found by leaving the field the other way first.
        const bool tab = Entry(entry) != Entry::Backtab;
        f->setFocus(Qt::MouseFocusReason);
        QTest::keyClick(f, tab ? Qt::Key_Backtab : Qt::Key_Tab, tab ? Qt::ShiftModifier : Qt::NoModifier);
        QWidget *neighbour = QApplication::focusWidget();
        QVERIFY2(neighbour != nullptr && neighbour != f, "the field has no neighbour in the tab order");
        f->deselect();
        f->setCursorPosition(2);
        if (Entry(entry) == Entry::WindowMovesOn)
            f->setFocus();
        else
            QTest::keyClick(neighbour, tab ? Qt::Key_Tab : Qt::Key_Backtab, tab ? Qt::NoModifier : Qt::ShiftModifier);
        break;
    }
    }
    QTRY_VERIFY(f->hasFocus());
    QTest::keyClicks(f, QStringLiteral("7"));
    QCOMPARE(f->text(), QStringLiteral("7"));
    w->hide();
}

int main(int argc, char **argv)
{
    // The program's own application object, which makes the fields select their text.
    ui::GuardedApplication app(argc, argv);
    TestKeyboard test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_keyboard.moc"
