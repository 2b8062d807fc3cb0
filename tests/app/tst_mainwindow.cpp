#include "mainwindow.h"
#include "pause.h"
#include "scriptedoperator.h"
#include "settingsfile.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
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
};

void TestMainWindow::menuCaptionsShortcutsAndOrder()
{
    link::VirtualPause pause;
    test::ScriptedOperator op;
    ui::SharedState state({}, pause, op);
    app::TForm1 form(state);

    QStringList seen;
    const auto menus = form.menuBar()->actions();
    QCOMPARE(menus.size(), 3);
    QCOMPARE(menus[0]->text(), QStringLiteral("FILE"));
    QCOMPARE(menus[1]->text(), QStringLiteral("HELP"));
    QCOMPARE(menus[2]->text(), QStringLiteral("HIS&TORY"));
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
        QStringLiteral("ABOUT1 ABOUT|"),
        QStringLiteral("HistoryTests &TESTS|Ctrl+Y"),
        QStringLiteral("HistoryDatabase &DATABASE|Ctrl+B"),
        QStringLiteral("EmissionsCheck &EMISSIONS CHECK|Ctrl+K"),
    };
    QCOMPARE(seen, expected);
    for (QAction *named : {form.HADER1, form.DIGITAL1, form.GRAPH1, form.UPLOAD2, form.VIEW1, form.EXPORT1, form.COMM1,
                           form.Printersetup1, form.SERIALNO1, form.EXIT1, form.ABOUT1, form.HistoryTests,
                           form.HistoryDatabase, form.EmissionsCheck})
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

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
