// Keyboard use across the program: the main menu's shortcuts and mnemonics, and every
// push button of every window reachable by a mnemonic of its own.
#include "pdfprinting.h"
#include "scriptedoperator.h"
#include "simdevice.h"
#include "steadyanalyser.h"
#include "windows.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <map>
#include <memory>

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

// Every window of the program, not wired to each other, on an analyser that always gives
// the same reading.
struct Program {
    QTemporaryDir dir;
    link::VirtualPause clock;
    test::ScriptedOperator op;
    test::PdfPrinting printing{dir.filePath(QStringLiteral("print.pdf"))};
    ui::SharedState state{[this](int) {
                              return std::make_unique<sim::SimDevice>(
                                  clock, std::make_shared<sim::SteadyAnalyser>(sim::TypicalIdleReading()));
                          },
                          clock, op};
    QString portFile = dir.filePath(QStringLiteral("SETUP.EA2"));
    app::ProgramWindows windows{
        state, portFile, false,
        [this] { return std::make_unique<QSettings>(dir.filePath(QStringLiteral("h.ini")), QSettings::IniFormat); }};
    TForm1 &form1 = windows.form1;
    display::TForm2 &form2 = windows.form2;

    Program()
    {
        state.printing = &printing;
        for (auto b : {display::TForm2::Button::Print, display::TForm2::Button::Record, display::TForm2::Button::Setup,
                       display::TForm2::Button::Calibration})
            form2.setButtonHandler(b, [] {});
    }

    // Every menu item counts its runs, by item, instead of opening its window.
    const std::map<int, int> &countItemRuns()
    {
        for (int i = 0; i <= int(TForm1::Item::About); ++i)
            form1.setHandler(TForm1::Item(i), [this, i] { ++itemRuns[i]; });
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
    void menuMnemonicsAndShortcutsAreDistinct();
    void storeItemsByMnemonic_data();
    void storeItemsByMnemonic();
    void altOpensTheMenuBar();
    void everyPushButtonHasItsOwnMnemonic();
    void mnemonicClicksTheButton_data();
    void mnemonicClicksTheButton();
};

void TestKeyboard::menuShortcutRunsItsItem_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("item");
    QTest::newRow("Ctrl+H header") << int(Qt::Key_H) << int(TForm1::Item::Header);
    QTest::newRow("Ctrl+D digital") << int(Qt::Key_D) << int(TForm1::Item::Digital);
    QTest::newRow("Ctrl+G graph") << int(Qt::Key_G) << int(TForm1::Item::Graph);
    QTest::newRow("Ctrl+C comm") << int(Qt::Key_C) << int(TForm1::Item::Comm);
    QTest::newRow("Ctrl+P printer setup") << int(Qt::Key_P) << int(TForm1::Item::PrinterSetup);
    QTest::newRow("Ctrl+O company header") << int(Qt::Key_O) << int(TForm1::Item::CompanyHeader);
}

void TestKeyboard::menuShortcutRunsItsItem()
{
    QFETCH(int, key);
    QFETCH(int, item);
    Program p;
    const std::map<int, int> &runs = p.countItemRuns();
    QVERIFY(Activate(&p.form1));
    QTest::keyClick(&p.form1, Qt::Key(key), Qt::ControlModifier);
    QCOMPARE(runs, (std::map<int, int>{{item, 1}}));
}

void TestKeyboard::ctrlXEndsTheProgram()
{
    Program p;
    QVERIFY(Activate(&p.form1));
    QTest::keyClick(&p.form1, Qt::Key_X, Qt::ControlModifier);
    QVERIFY(!p.form1.isVisible());
}

void TestKeyboard::menuMnemonicsAndShortcutsAreDistinct()
{
    Program p;
    QStringList shortcuts;
    std::function<void(QMenu *)> walk = [&](QMenu *menu) {
        std::map<QChar, QString> letters;
        for (QAction *a : menu->actions()) {
            if (a->isSeparator())
                continue;
            const QChar m = Mnemonic(a->text());
            // Every item can be reached from its opened menu with one letter, but the only
            // item of a menu, which Return runs.
            QVERIFY2(!m.isNull() || menu->actions().size() == 1, qPrintable(a->text()));
            if (!m.isNull()) {
                QVERIFY2(letters.emplace(m, a->text()).second,
                         qPrintable(a->text() + QStringLiteral(" shares its letter with ") + letters[m]));
            }
            if (!a->shortcut().isEmpty()) {
                QVERIFY2(!shortcuts.contains(a->shortcut().toString()), qPrintable(a->shortcut().toString()));
                shortcuts << a->shortcut().toString();
            }
            if (a->menu())
                walk(a->menu());
        }
    };
    for (QAction *top : p.form1.menuBar()->actions())
        walk(top->menu());
    QCOMPARE(shortcuts.size(), 7);
}

void TestKeyboard::storeItemsByMnemonic_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("item");
    QTest::newRow("S U upload") << int(Qt::Key_U) << int(TForm1::Item::Upload);
    QTest::newRow("S V view") << int(Qt::Key_V) << int(TForm1::Item::View);
    QTest::newRow("S E export") << int(Qt::Key_E) << int(TForm1::Item::Export);
}

// The store items have no shortcut: FILE opened, S opens STORE, the letter runs the item.
void TestKeyboard::storeItemsByMnemonic()
{
    QFETCH(int, key);
    QFETCH(int, item);
    Program p;
    const std::map<int, int> &runs = p.countItemRuns();
    QVERIFY(Activate(&p.form1));
    QMenu *file = p.form1.menuBar()->actions().at(0)->menu();
    file->popup(p.form1.mapToGlobal(QPoint(0, 0)));
    QVERIFY(QTest::qWaitForWindowExposed(file));
    QTest::keyClick(file, Qt::Key_S);
    QTRY_VERIFY(p.form1.UPLOAD1->isVisible());
    QTest::keyClick(p.form1.UPLOAD1, Qt::Key(key));
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

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
