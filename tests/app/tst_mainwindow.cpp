#include "app/settingsfile.h"
#include "app/ui/mainwindow.h"
#include "history/testarchive.h"
#include "link/pause.h"
#include "tests/support/scriptedoperator.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace qova;

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void menuCaptionsShortcutsAndOrder();
    void captionFromThePortFile_data();
    void captionFromThePortFile();
    void panelStaysCentred();
    void itemsWithoutAHandlerAreDisabled();
    void statusBarNamesTheConnection_data();
    void statusBarNamesTheConnection();
    void statusBarSaysWhetherTheHistoryAnswers_data();
    void statusBarSaysWhetherTheHistoryAnswers();
};

void TestMainWindow::menuCaptionsShortcutsAndOrder()
{
    link::VirtualPause pause;
    test::ScriptedOperator op;
    ui::SharedState state({}, pause, op);
    app::TForm1 form(state);

    QStringList seen;
    const auto menus = form.menuBar()->actions();
    QCOMPARE(menus.size(), 4);
    QCOMPARE(menus[0]->text(), QStringLiteral("&FILE"));
    QCOMPARE(menus[1]->text(), QStringLiteral("&HELP"));
    QCOMPARE(menus[2]->text(), QStringLiteral("HIS&TORY"));
    QCOMPARE(menus[3]->text(), QStringLiteral("&CHECK"));
    std::function<void(QMenu *, const QString &)> walk = [&](QMenu *menu, const QString &prefix) {
        for (QAction *a : menu->actions()) {
            const QString named = prefix + a->objectName() + QStringLiteral(" ");
            if (a->isSeparator())
                seen << named + QStringLiteral("-");
            else if (a->menu() != nullptr) {
                seen << prefix + a->menu()->objectName() + QStringLiteral(" ") + a->text();
                walk(a->menu(), prefix + a->text() + QStringLiteral(" > "));
            } else
                seen << named + a->text() + QStringLiteral("|") + a->shortcut().toString();
        }
    };
    walk(menus[0]->menu(), {});
    walk(menus[1]->menu(), {});
    walk(menus[2]->menu(), {});
    walk(menus[3]->menu(), {});
    const QStringList expected = {
        QStringLiteral("HADER1 &HEADER|Ctrl+H"),
        QStringLiteral("DIGITAL1 &DIGITAL|Ctrl+D"),
        QStringLiteral("GRAPH1 &GRAPH|Ctrl+G"),
        QStringLiteral("UPLOAD1 &STORE"),
        QStringLiteral("&STORE > UPLOAD2 &UPLOAD|"),
        QStringLiteral("&STORE > VIEW1 &VIEW|"),
        QStringLiteral("&STORE > EXPORT1 &EXPORT|"),
        QStringLiteral("&STORE > CsvExport &CSV EXPORT|Ctrl+E"),
        QStringLiteral("N1 -"),
        QStringLiteral("COMM1 &COMM|Ctrl+C"),
        QStringLiteral("Printersetup1 &PRINTER SETUP|Ctrl+P"),
        QStringLiteral("SERIALNO1 C&OMPANY HEADER|Ctrl+O"),
        QStringLiteral("N2 -"),
        QStringLiteral("EXIT1 E&XIT|Ctrl+X"),
        QStringLiteral("ABOUT1 &ABOUT|"),
        QStringLiteral("UserGuide &USER GUIDE|F1"),
        QStringLiteral("HistoryTests &TESTS|Ctrl+Y"),
        QStringLiteral("HistoryDatabase &DATABASE|Ctrl+B"),
        QStringLiteral("EmissionsCheck &EMISSIONS CHECK|Ctrl+K"),
    };
    QCOMPARE(seen, expected);
    for (QAction *named : {form.HADER1, form.DIGITAL1, form.GRAPH1, form.UPLOAD2, form.VIEW1, form.EXPORT1, form.COMM1,
                           form.Printersetup1, form.SERIALNO1, form.EXIT1, form.ABOUT1, form.HistoryTests,
                           form.HistoryDatabase, form.EmissionsCheck, form.UserGuide})
        QCOMPARE(form.findChild<QAction *>(named->objectName()), named);
    QCOMPARE(form.findChild<QMenu *>(QStringLiteral("UPLOAD1")), form.UPLOAD1);
    QCOMPARE(form.Label1->text(), QStringLiteral("Ver. 2"));
    QVERIFY(!form.Panel1->isVisible());
}

void TestMainWindow::captionFromThePortFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QString>("caption");
    QTest::newRow("missing") << QByteArray() << false << QStringLiteral("QOVA    COM1");
    QTest::newRow("port3") << QByteArray("PORT=3") << true << QStringLiteral("QOVA    COM3");
    QTest::newRow("port5") << QByteArray("PORT=5") << true << QStringLiteral("QOVA    COM1");
}

void TestMainWindow::captionFromThePortFile()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, exists);
    QFETCH(QString, caption);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("SETUP.EA2"));
    if (exists) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    link::VirtualPause pause;
    test::ScriptedOperator op;
    ui::SharedState state({}, pause, op);
    state.Recording = true;
    app::TForm1 form(state);
    form.FormCreate(true, path);
    QCOMPARE(form.windowTitle(), caption);
    QVERIFY(state.UsLocale);
    QVERIFY(!state.Recording);
}

void TestMainWindow::panelStaysCentred()
{
    link::VirtualPause pause;
    test::ScriptedOperator op;
    ui::SharedState state({}, pause, op);
    app::TForm1 form(state);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.resize(800, 600);
    QTRY_COMPARE(form.Panel1->x(), (form.centralWidget()->width() - 433) / 2);
    QCOMPARE(form.Panel1->y(), (form.centralWidget()->height() - 249) / 2);
}

void TestMainWindow::itemsWithoutAHandlerAreDisabled()
{
    link::VirtualPause pause;
    test::ScriptedOperator op;
    ui::SharedState state({}, pause, op);
    app::TForm1 form(state);
    QVERIFY(!form.DIGITAL1->isEnabled());
    int calls = 0;
    form.setHandler(app::TForm1::Item::Digital, [&] { ++calls; });
    QVERIFY(form.DIGITAL1->isEnabled());
    form.DIGITAL1->trigger();
    QCOMPARE(calls, 1);
    QVERIFY(form.EXIT1->isEnabled());
}

void TestMainWindow::statusBarNamesTheConnection_data()
{
    QTest::addColumn<QString>("device");  // chosen in FILE > COMM, else COMn
    QTest::addColumn<QByteArray>("com2"); // QOVA_COM2
    QTest::addColumn<QString>("shown");
    QTest::newRow("COM2 as the system has it") << QString() << QByteArray() << QStringLiteral("Connection: COM2");
#ifdef Q_OS_WIN
    // Windows has a COM2 of its own: the variable that stands in for one on Linux is not read.
    QTest::newRow("QOVA_COM2 is not read") << QString() << QByteArray("demo") << QStringLiteral("Connection: COM2");
#else
    QTest::newRow("COM2 given a USB adapter")
        << QString() << QByteArray("/dev/ttyUSB0") << QStringLiteral("Connection: COM2 = ttyUSB0 (QOVA_COM2)");
    QTest::newRow("COM2 given a network server")
        << QString() << QByteArray("rfc2217://bay3:4001")
        << QStringLiteral("Connection: COM2 = rfc2217://bay3:4001 (QOVA_COM2)");
    QTest::newRow("COM2 given the demo") << QString() << QByteArray("demo")
                                         << QStringLiteral(
                                                "Connection: COM2 = demo: the simulated analyser (QOVA_COM2)");
#endif
    QTest::newRow("an adapter chosen by name")
        << QStringLiteral("/dev/ttyUSB0") << QByteArray("demo") << QStringLiteral("Connection: ttyUSB0");
    QTest::newRow("a network server chosen")
        << QStringLiteral("tcp://10.0.0.7:4001") << QByteArray() << QStringLiteral("Connection: tcp://10.0.0.7:4001");
    QTest::newRow("the demo chosen") << QStringLiteral("demo") << QByteArray()
                                     << QStringLiteral("Connection: demo: the simulated analyser");
}

// Shown from the start, and again whenever FILE > COMM changes the port (it sets the caption).
void TestMainWindow::statusBarNamesTheConnection()
{
    QFETCH(QString, device);
    QFETCH(QByteArray, com2);
    QFETCH(QString, shown);
    const QByteArray old = qgetenv("QOVA_COM2");
    if (com2.isEmpty())
        qunsetenv("QOVA_COM2");
    else
        qputenv("QOVA_COM2", com2);
    link::VirtualPause pause;
    test::ScriptedOperator op;
    ui::SharedState state({}, pause, op);
    state.port.namedFactory = [](const QString &) { return std::unique_ptr<link::ByteDevice>(); };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("SETUP.EA2"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("PORT=1");
    }
    app::TForm1 form(state);
    form.FormCreate(false, path);
    QCOMPARE(form.ConnectionStatus->text(), QStringLiteral("Connection: COM1"));
    state.port.PortNumber = 2;
    state.port.PortDevice = device;
    form.setWindowTitle(QStringLiteral("QOVA    ") + link::PortCaptionName(state.port));
    QCOMPARE(form.ConnectionStatus->text(), shown);
    if (old.isNull())
        qunsetenv("QOVA_COM2");
    else
        qputenv("QOVA_COM2", old);
}

void TestMainWindow::statusBarSaysWhetherTheHistoryAnswers_data()
{
    QTest::addColumn<QString>("url"); // %1: a temporary folder
    QTest::addColumn<QString>("shown");
    QTest::newRow("SQLite file") << QStringLiteral("sqlite://%1/history.db")
                                 << QStringLiteral("History reachable: SQLite file %1/history.db");
    QTest::newRow("server that refuses") << QStringLiteral("postgresql://qova@127.0.0.1:1/qova")
                                         << QStringLiteral(
                                                "History NOT reachable: server postgresql://qova@127.0.0.1:1/qova: ");
    QTest::newRow("SQLite file where no folder can be made")
        << QStringLiteral("sqlite:///proc/qova-history/history.db")
        << QStringLiteral("History NOT reachable: SQLite file /proc/qova-history/history.db: ");
    QTest::newRow("no address") << QStringLiteral("mysql://x")
                                << QStringLiteral("History: no usable database address, see HISTORY > DATABASE");
}

void TestMainWindow::statusBarSaysWhetherTheHistoryAnswers()
{
    QFETCH(QString, url);
    QFETCH(QString, shown);
    QTemporaryDir dir;
    url = url.contains(QLatin1String("%1")) ? url.arg(dir.path()) : url;
    shown = shown.contains(QLatin1String("%1")) ? shown.arg(dir.path()) : shown;
    link::VirtualPause pause;
    test::ScriptedOperator op;
    ui::SharedState state({}, pause, op);
    history::TestArchive archive({url, {}, dir.filePath(QStringLiteral("waiting.json"))});
    state.history = &archive;
    app::TForm1 form(state);
    archive.prepare();
    QVERIFY(archive.settle(10000));
    form.showStatus(); // as when the main window comes back, whether or not the history opened
    QVERIFY2(form.HistoryStatus->text().startsWith(shown), qPrintable(form.HistoryStatus->text()));
    // At the window's own fixed width a long path is cut, never whether the history answers.
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QString painted = form.HistoryStatus->shownText();
    QVERIFY2(painted.startsWith(shown.section(QLatin1Char(':'), 0, 0)), qPrintable(painted));
    QVERIFY(form.HistoryStatus->fontMetrics().horizontalAdvance(painted) <= form.HistoryStatus->contentsRect().width());
    QVERIFY(!form.ConnectionStatus->geometry().intersects(form.HistoryStatus->geometry()));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
