// The program's windows on 1280x1024 at 150 % display scale (853x683 for the windows): none
// is larger than the screen, and the windows that
// remember their place open where they were left, unless that is off every screen.
#include "tests/support/programrig.h"
#include "tests/support/workshopscreen.h"
#include "ui/windowplace.h"

#include <QApplication>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

using namespace qova;

namespace {

struct Program : test::ProgramRig {
    explicit Program(const QString &settingsFile) : ProgramRig(settingsFile) { windows.wire(); }
};

} // namespace

class TestScreens : public QObject {
    Q_OBJECT
private slots:
    void noWindowIsLargerThanTheScreen_data();
    void noWindowIsLargerThanTheScreen();
    void aWindowOpensWhereItWasLeft_data();
    void aWindowOpensWhereItWasLeft();
};

void TestScreens::noWindowIsLargerThanTheScreen_data()
{
    QTest::addColumn<QString>("window");
    for (const app::WindowLine &line : app::WindowLines())
        QTest::newRow(line.name) << QString::fromLatin1(line.name);
}

void TestScreens::noWindowIsLargerThanTheScreen()
{
    QFETCH(QString, window);
    QTemporaryDir dir;
    Program p(dir.filePath(QStringLiteral("gas.ini")));
    QWidget *w = nullptr;
    for (const auto &[name, widget] : p.windows.all())
        if (QLatin1String(name) == window)
            w = widget;
    QVERIFY(w != nullptr);
    w->show();
    QApplication::processEvents();
    const QRect screen = w->screen()->availableGeometry();
    QVERIFY2(screen.width() <= 854 && screen.height() <= 683, "the test's screen is not 1280x1024 at 150 %");
    // Room for a title bar and border, which the window system adds.
    const QRect frame = w->geometry().adjusted(0, 0, 16, 40);
    const bool maximised = w->windowState() & Qt::WindowMaximized;
    QVERIFY2(maximised ? w->size() == screen.size() || w->size().boundedTo(screen.size()) == w->size()
                       : screen.contains(frame),
             qPrintable(QStringLiteral("%1x%2 at %3,%4 on %5x%6")
                            .arg(w->width())
                            .arg(w->height())
                            .arg(w->x())
                            .arg(w->y())
                            .arg(screen.width())
                            .arg(screen.height())));
    // QOVA_SCREENSHOT_DIR keeps a picture of each window as it opened, for a look by eye.
    const QByteArray shots = qgetenv("QOVA_SCREENSHOT_DIR");
    if (!shots.isEmpty())
        w->grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/150-%1.png").arg(window));
    w->hide();
    p.state.session.stop();
}

void TestScreens::aWindowOpensWhereItWasLeft_data()
{
    QTest::addColumn<QString>("saved"); // what an earlier run kept; empty: this run moves it
    QTest::addColumn<QRect>("opens");
    QTest::newRow("left by the operator") << "" << QRect(30, 40, 500, 360);
    QTest::newRow("kept on a screen since unplugged") << "-3000 40 500 360" << QRect();
    QTest::newRow("edited by hand") << "30 40 wide 360" << QRect();
    QTest::newRow("larger than the screen now") << "0 0 1900 1000" << QRect(0, 0, 837, 643);
}

void TestScreens::aWindowOpensWhereItWasLeft()
{
    QFETCH(QString, saved);
    QFETCH(QRect, opens);
    QTemporaryDir dir;
    const QString settings = dir.filePath(QStringLiteral("gas.ini"));
    QRect first;
    {
        Program p(settings);
        p.windows.historyWindow.show();
        QApplication::processEvents();
        first = p.windows.historyWindow.geometry();
        if (saved.isEmpty())
            p.windows.historyWindow.setGeometry(opens);
        p.windows.historyWindow.hide();
    }
    if (!saved.isEmpty())
        QSettings(settings, QSettings::IniFormat).setValue(QStringLiteral("windows/history"), saved);
    Program again(settings);
    again.windows.historyWindow.show();
    QApplication::processEvents();
    QCOMPARE(again.windows.historyWindow.geometry(), opens.isNull() ? first : opens);
}

int main(int argc, char **argv)
{
    QTemporaryDir dir;
    if (!test::UseScreen(dir.filePath(QStringLiteral("screen.json")), 1280, 1024))
        return 1;
    qputenv("QT_SCALE_FACTOR", "1.5");
    QApplication app(argc, argv);
    TestScreens test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_screens.moc"
