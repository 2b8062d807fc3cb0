#include "display/ui/digitalwindow.h"
#include "link/frame.h"
#include "sim/simdevice.h"
#include "sim/steadyanalyser.h"
#include "tests/support/datarows.h"
#include "tests/support/fakedevice.h"
#include "tests/support/scriptedoperator.h"
#include "tests/support/workshopscreen.h"

#include <QAccessible>
#include <QLabel>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace qova;
using display::TForm2;

namespace {
link::LiveReading steadyReading()
{
    link::LiveReading r = sim::TypicalIdleReading();
    r.Hc = 57;
    r.O2 = 2090;
    return r;
}

// A digital window over scripted devices and a scripted operator, in virtual time.
struct Rig {
    link::VirtualPause clock;
    test::ScriptedOperator op;
    std::vector<std::unique_ptr<test::FakeDevice>> devices;
    std::function<void(test::FakeDevice &)> prepare;
    ui::SharedState state{[this](int) -> std::unique_ptr<link::ByteDevice> {
                              devices.push_back(std::make_unique<test::FakeDevice>(clock));
                              if (prepare)
                                  prepare(*devices.back());
                              return std::make_unique<test::DeviceProxy>(*devices.back());
                          },
                          clock, op};
    std::unique_ptr<TForm2> form;

    Rig() : form(std::make_unique<TForm2>(state)) {}
    test::FakeDevice &device() { return *devices.back(); }
    void send(const link::LiveReading &r)
    {
        const auto frame = link::EncodeLiveFrame(r);
        device().queue({frame.begin(), frame.end()});
    }
    QByteArray written() const
    {
        QByteArray out;
        for (std::uint8_t b : devices.back()->writtenBytes())
            out.append(static_cast<char>(b));
        return out;
    }
    bool anyTimerActive() const { return state.session.isPolling() || state.session.firstCycleDue(); }
};

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

const QString kLeak = QStringLiteral("          LEAKTEST");

// Paints every button's face light grey whatever the palette says, as Windows's own style
// paints it from the system theme.
class ThemedButtonFaces : public QProxyStyle {
public:
    ThemedButtonFaces() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override
    {
        if (element == PE_PanelButtonCommand) {
            painter->fillRect(option->rect, QColor(0xf0, 0xf0, 0xf0));
            return;
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
};

// The mean grey of what a widget shows, 0 black to 255 white.
int meanGrey(QWidget *widget)
{
    const QImage image = widget->grab().toImage();
    qint64 sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            sum += qGray(image.pixel(x, y));
    return int(sum / qMax(1, image.width() * image.height()));
}

} // namespace

Q_DECLARE_METATYPE(qova::link::LiveReading)

class TestDigitalWindow : public QObject {
    Q_OBJECT
private slots:
    void glyphResources();
    void showOpensPortAndPolls();
    void openFailureTellsWhyAndCloses();
    void execLeavesByMainMenuOrFailedOpen_data();
    void execLeavesByMainMenuOrFailedOpen();
    void prompts_data();
    void prompts();
    void noResponseAfterFourFailures();
    void vanishedPortReopensOncePerCycle();
    void pumpAndZeroSkipOneTick_data();
    void pumpAndZeroSkipOneTick();
    void resetcal_data();
    void resetcal();
    void buttonHandlers_data();
    void buttonHandlers();
    void recordsReadingBeforeClamping();
    void everyWayOutClosesAndEndsRecording_data();
    void everyWayOutClosesAndEndsRecording();
    void renderedFiguresAgainstSimulator();
    void aScreenReaderReadsEveryFigure_data();
    void aScreenReaderReadsEveryFigure();
    void buttonsStayDarkUnderALightTheme();
};

void TestDigitalWindow::glyphResources()
{
    Rig rig;
    auto lit = [](const QImage &img) {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                n += qGreen(img.pixel(x, y)) > 128 ? 1 : 0;
        return n;
    };
    QSet<QByteArray> distinct;
    for (int i = 0; i < display::kGlyphCount; ++i) {
        const QImage &g = rig.form->glyph(i);
        QCOMPARE(g.size(), i == display::kPointGlyph ? QSize(12, 150) : QSize(90, 150));
        distinct.insert(QByteArray(reinterpret_cast<const char *>(g.constBits()), g.sizeInBytes()));
    }
    QCOMPARE(distinct.size(), display::kGlyphCount);
    QCOMPARE(lit(rig.form->glyph(display::kBlankGlyph)), 0);
    QVERIFY(lit(rig.form->glyph(8)) > 3 * lit(rig.form->glyph(1)));
    QVERIFY(lit(rig.form->glyph(display::kPointGlyph)) > 50);
    // The point sits at the bottom, level with the digits' bottom segment.
    const QImage &pt = rig.form->glyph(display::kPointGlyph);
    QVERIFY(qGreen(pt.pixel(6, 130)) > 128);
    QCOMPARE(qGreen(pt.pixel(6, 60)), 0);
}

void TestDigitalWindow::showOpensPortAndPolls()
{
    Rig rig;
    rig.state.port.PortNumber = 3;
    rig.form->show();
    QCOMPARE(rig.form->windowTitle(), QStringLiteral("QOVA    COM3"));
    QVERIFY(rig.state.port.PortOpen);
    QCOMPARE(rig.written(), bytes({0x11}));
    QVERIFY(rig.state.session.isPolling());
    QCOMPARE(rig.state.session.period(), 2000);
    QVERIFY(rig.state.session.firstCycleDue());
    QVERIFY(!rig.form->Button2->isEnabled());
    QVERIFY(!rig.form->Button8->isEnabled());
    QVERIFY(rig.op.shown.empty());
}

void TestDigitalWindow::openFailureTellsWhyAndCloses()
{
    Rig rig;
    rig.prepare = [](test::FakeDevice &d) {
        d.failOpen = true;
        d.reason = QStringLiteral("Device or resource busy");
    };
    rig.form->show();
    QCOMPARE(rig.op.shown.size(), std::size_t(1));
    QCOMPARE(rig.op.shown[0].text, QStringLiteral("Communication failed try again"));
    QCOMPARE(rig.op.shown[0].caption, QStringLiteral("QOVA"));
    QVERIFY(rig.op.shown[0].detail.contains(QStringLiteral("/dev/fake0")));
    QVERIFY(rig.op.shown[0].detail.contains(QStringLiteral("Device or resource busy")));
    QVERIFY(rig.op.shown[0].detail.contains(QStringLiteral("FILE > COMM")));
    QVERIFY(rig.written().isEmpty());
    QVERIFY(!rig.state.port.PortOpen);
    QVERIFY(!rig.anyTimerActive());
    QTRY_VERIFY(!rig.form->isVisible());
}

void TestDigitalWindow::execLeavesByMainMenuOrFailedOpen_data()
{
    test::BoolRows("failOpen", "mainMenu", "failedOpen");
}

// The modal loop as the menu runs it: it must end, and leave the port closed.
void TestDigitalWindow::execLeavesByMainMenuOrFailedOpen()
{
    QFETCH(bool, failOpen);
    Rig rig;
    rig.prepare = [failOpen](test::FakeDevice &d) { d.failOpen = failOpen; };
    bool guardFired = false;
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, rig.form.get(), [&] {
        guardFired = true;
        rig.form->done(QDialog::Rejected);
    });
    guard.start(5000);
    if (!failOpen)
        QTimer::singleShot(0, rig.form->Button1, &QPushButton::click);
    const int result = rig.form->exec();
    QVERIFY(!guardFired);
    QCOMPARE(result, failOpen ? int(QDialog::Rejected) : int(QDialog::Accepted));
    QCOMPARE(rig.op.shown.size(), std::size_t(failOpen ? 1 : 0));
    QVERIFY(!rig.state.port.PortOpen);
    QVERIFY(!rig.device().isOpen());
    QVERIFY(!rig.anyTimerActive());
}

// The prompt table itself is the live session's; these rows check that the window shows
// each box as the session raises it and keeps the status bar in step.
void TestDigitalWindow::prompts_data()
{
    QTest::addColumn<int>("statusA");
    QTest::addColumn<int>("statusB");
    QTest::addColumn<QList<int>>("answers"); // ui::Answer values
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QList<int>>("icons");
    QTest::addColumn<QByteArray>("replies");
    QTest::addColumn<QString>("status0");

    using ui::Answer;
    using ui::Icon;
    const int yes = int(Answer::Yes), no = int(Answer::No);
    const int stop = int(Icon::Stop), info = int(Icon::Information), question = int(Icon::Question);
    const QString normal = QStringLiteral("Normal Operation");
    const QString zeroing = QStringLiteral("Zeroing Sensors");
    const QString hc = QStringLiteral("           HC CHECK");

    QTest::newRow("none") << 0 << 0 << QList<int>{} << QStringList{} << QStringList{} << QList<int>{} << QByteArray()
                          << normal;
    QTest::newRow("powerUp") << int(link::PowerUpCountdown) << 0 << QList<int>{} << QStringList{} << QStringList{}
                             << QList<int>{} << QByteArray() << QStringLiteral("Power Up CountDown");
    QTest::newRow("leakFailed") << int(link::LeakTestFailed) << 0 << QList<int>{}
                                << QStringList{QStringLiteral("Leak test Failed ?")} << QStringList{kLeak}
                                << QList<int>{stop} << bytes({6}) << normal;
    QTest::newRow("passedHidesOfferAndReady")
        << int(link::LeakTestPassed | link::LeakTestOffer | link::LeakTestReady) << 0 << QList<int>{yes}
        << QStringList{QStringLiteral("Leak test Passed ?")} << QStringList{kLeak} << QList<int>{info} << bytes({6})
        << normal;
    QTest::newRow("offerNo") << int(link::LeakTestOffer) << 0 << QList<int>{no}
                             << QStringList{QStringLiteral("Do Leak test ?")} << QStringList{kLeak}
                             << QList<int>{question} << bytes({5}) << normal;
    QTest::newRow("offerYesReadyNo") << int(link::LeakTestOffer | link::LeakTestReady) << 0 << QList<int>{yes, no}
                                     << QStringList{QStringLiteral("Do Leak test ?"),
                                                    QStringLiteral("Ready For Leak test ?")}
                                     << QStringList{kLeak, kLeak} << QList<int>{question, question} << bytes({6, 5})
                                     << normal;
    QTest::newRow("zeroReadyWhileZeroing")
        << int(link::ZeroReady) << int(link::Zeroing) << QList<int>{} << QStringList{QStringLiteral("READY FOR ZERO ?")}
        << QStringList{QStringLiteral("           ZERO")} << QList<int>{question} << bytes({6}) << zeroing;
    QTest::newRow("zeroingDuringPowerUp") << int(link::PowerUpCountdown) << int(link::Zeroing) << QList<int>{}
                                          << QStringList{} << QStringList{} << QList<int>{} << QByteArray() << zeroing;
    QTest::newRow("inOrder") << int(link::LeakTestOffer | link::ZeroReady | link::HcCheckReady)
                             << int(link::LowFlow | link::PumpOn) << QList<int>{}
                             << QStringList{QStringLiteral("Do Leak test ?"), QStringLiteral("READY FOR ZERO ?"),
                                            QStringLiteral("READY FOR HC RESIDUE CHECK ?"),
                                            QStringLiteral("  Low Flow   ")}
                             << QStringList{kLeak, QStringLiteral("           ZERO"), hc,
                                            QStringLiteral("      Low Flow")}
                             << QList<int>{question, question, question, stop} << bytes({5, 6, 6, 6}) << zeroing;
}

void TestDigitalWindow::prompts()
{
    QFETCH(int, statusA);
    QFETCH(int, statusB);
    QFETCH(QList<int>, answers);
    QFETCH(QStringList, texts);
    QFETCH(QStringList, captions);
    QFETCH(QList<int>, icons);
    QFETCH(QByteArray, replies);
    QFETCH(QString, status0);

    Rig rig;
    rig.form->show();
    for (int a : answers)
        rig.op.answers.push_back(ui::Answer(a));
    QList<bool> timerDuringBox;
    QByteArray writtenBeforeBox;
    rig.op.onMessage = [&](const test::ScriptedOperator::Shown &) {
        timerDuringBox << rig.state.session.isPolling();
        writtenBeforeBox = rig.written();
    };
    link::LiveReading r;
    r.StatusA = std::uint8_t(statusA);
    r.StatusB = std::uint8_t(statusB);
    rig.send(r);
    rig.state.session.cycle();

    QCOMPARE(rig.op.texts(), texts);
    for (std::size_t i = 0; i < rig.op.shown.size(); ++i) {
        const auto &s = rig.op.shown[i];
        QCOMPARE(s.caption, captions[int(i)]);
        QCOMPARE(int(s.icon), icons[int(i)]);
        const bool yesNo =
            s.text == QStringLiteral("Do Leak test ?") || s.text == QStringLiteral("Ready For Leak test ?");
        QCOMPARE(s.buttons, yesNo ? ui::Buttons::YesNo : ui::Buttons::Ok);
    }
    // The reply goes out after the box closes; the poll comes last.
    QCOMPARE(rig.written(), bytes({0x11}) + replies + bytes({0x11}));
    if (!texts.isEmpty())
        QCOMPARE(writtenBeforeBox, bytes({0x11}) + replies.left(replies.size() - 1));
    QVERIFY(!timerDuringBox.contains(true));
    QVERIFY(rig.state.session.isPolling());
    QCOMPARE(rig.form->statusText(0), status0);
    QCOMPARE(rig.form->statusText(1), QStringLiteral("Communication: OK"));
    QCOMPARE(rig.form->statusText(2),
             (statusB & link::PumpOn) ? QStringLiteral("Pump: ON") : QStringLiteral("Pump: OFF"));
}

void TestDigitalWindow::noResponseAfterFourFailures()
{
    Rig rig;
    rig.form->show();
    link::LiveReading shownBefore;
    shownBefore.Co = 150;
    shownBefore.Efficiency = 1000;
    rig.send(shownBefore);
    rig.state.session.cycle();
    const QString panelBefore = rig.form->panelText(0);
    const auto figuresBefore = rig.form->figures();

    QList<bool> timerDuringBox;
    rig.op.onMessage = [&](const test::ScriptedOperator::Shown &) { timerDuringBox << rig.state.session.isPolling(); };
    const QString noResponse = QStringLiteral(" No Response From Analyser ");
    for (int cycle = 1; cycle <= 9; ++cycle) {
        rig.state.session.cycle(); // the analyser stays silent
        QCOMPARE(rig.form->statusText(1), QStringLiteral("Communication: Error"));
        const qsizetype expected = cycle >= 8 ? 2 : cycle >= 4 ? 1 : 0;
        QCOMPARE(rig.op.texts().count(noResponse), expected);
    }
    QCOMPARE(rig.op.shown.size(), std::size_t(2));
    QCOMPARE(rig.op.shown[0].caption, QStringLiteral("QOVA"));
    QCOMPARE(timerDuringBox, (QList<bool>{false, false}));
    QVERIFY(rig.state.session.isPolling());
    QCOMPARE(rig.state.session.failedFrames(), 1);
    // A failed frame leaves what was shown alone.
    QCOMPARE(rig.form->panelText(0), panelBefore);
    QCOMPARE(rig.form->figures(), figuresBefore);
    // Every cycle still asks for the next reading.
    QCOMPARE(rig.written(), QByteArray(11, 0x11));
}

// The adapter is pulled out while the window polls, and plugged back in later.
void TestDigitalWindow::vanishedPortReopensOncePerCycle()
{
    Rig rig;
    rig.form->show();
    link::LiveReading r = steadyReading();
    rig.send(r);
    rig.state.session.cycle();
    QCOMPARE(rig.form->statusText(1), QStringLiteral("Communication: OK"));
    rig.state.session.cycle(); // the analyser has not answered yet: a working port is never reopened
    QCOMPARE(rig.devices.size(), std::size_t(1));

    rig.device().close(); // as the serial device does on a vanished adapter
    rig.prepare = [](test::FakeDevice &d) {
        d.failOpen = true;
        d.reason = QStringLiteral("No such file or directory");
    };
    const QString noResponse = QStringLiteral(" No Response From Analyser ");
    for (int cycle = 1; cycle <= 5; ++cycle) {
        rig.state.session.cycle();
        QCOMPARE(rig.devices.size(), std::size_t(1 + cycle)); // one attempt per cycle, no more
        QVERIFY(rig.device().written().empty());
        QCOMPARE(rig.form->statusText(1), QStringLiteral("Communication: Error"));
        // The failed opens tell nobody; only the silence does, as for a silent analyser.
        QCOMPARE(rig.op.texts(), cycle >= 3 ? QStringList{noResponse} : QStringList{});
    }
    QVERIFY(!rig.state.port.PortOpen);
    QVERIFY(rig.state.session.isPolling());

    rig.prepare = nullptr; // plugged back in
    rig.state.session.cycle();
    QVERIFY(rig.state.port.PortOpen);
    QCOMPARE(rig.written(), bytes({0x11}));
    QCOMPARE(rig.form->statusText(1), QStringLiteral("Communication: Error"));
    r.Co = 150;
    rig.send(r);
    rig.state.session.cycle();
    QCOMPARE(rig.devices.size(), std::size_t(7));
    QCOMPARE(rig.form->statusText(1), QStringLiteral("Communication: OK"));
    QCOMPARE(rig.form->reading().Co, std::int16_t(150));
    QCOMPARE(rig.written(), bytes({0x11, 0x11}));
    QCOMPARE(rig.op.shown.size(), std::size_t(1));

    // Leaving closes the reopened port.
    rig.form->Button1Click();
    QVERIFY(!rig.state.port.PortOpen);
    QVERIFY(!rig.device().isOpen());
}

void TestDigitalWindow::pumpAndZeroSkipOneTick_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("command");
    QTest::newRow("pump") << QStringLiteral("Button3") << 0x22;
    QTest::newRow("zero") << QStringLiteral("Button4") << 0x55;
}

void TestDigitalWindow::pumpAndZeroSkipOneTick()
{
    QFETCH(QString, button);
    QFETCH(int, command);
    Rig rig;
    rig.form->show();
    rig.form->findChild<QPushButton *>(button)->click();
    QCOMPARE(rig.written(), bytes({0x11, command}));
    QVERIFY(rig.state.session.isPolling());
    link::LiveReading r;
    r.StatusB = link::PumpOn;
    rig.send(r);

    const int reads = rig.device().reads();
    rig.state.session.tick();
    QCOMPARE(rig.device().reads(), reads);
    QCOMPARE(rig.written(), bytes({0x11, command}));
    QVERIFY(!rig.state.session.skipsNextTick());

    rig.state.session.tick();
    QVERIFY(rig.device().reads() > reads);
    QCOMPARE(rig.form->statusText(2), QStringLiteral("Pump: ON"));
    QCOMPARE(rig.written(), bytes({0x11, command, 0x11}));
}

void TestDigitalWindow::resetcal_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("yes") << int(ui::Answer::Yes) << bytes({0x11, 0x09});
    QTest::newRow("no") << int(ui::Answer::No) << bytes({0x11});
}

void TestDigitalWindow::resetcal()
{
    QFETCH(int, answer);
    QFETCH(QByteArray, written);
    Rig rig;
    rig.form->show();
    rig.op.answers.push_back(ui::Answer(answer));
    bool timerDuringBox = true;
    rig.op.onMessage = [&](const test::ScriptedOperator::Shown &) { timerDuringBox = rig.state.session.isPolling(); };
    rig.form->Button9->click();
    QCOMPARE(rig.op.shown.size(), std::size_t(1));
    QCOMPARE(rig.op.shown[0].caption, QStringLiteral("   Resetcal"));
    QCOMPARE(rig.op.shown[0].text, QStringLiteral("Are you sure ?"));
    QCOMPARE(rig.op.shown[0].icon, ui::Icon::Question);
    QCOMPARE(rig.op.shown[0].buttons, ui::Buttons::YesNo);
    QVERIFY(!timerDuringBox);
    QCOMPARE(rig.written(), written);
    QVERIFY(rig.state.session.isPolling());
    QVERIFY(rig.state.session.skipsNextTick());
}

void TestDigitalWindow::buttonHandlers_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("skips");
    QTest::newRow("print") << int(TForm2::Button::Print) << QStringLiteral("Button2") << false;
    QTest::newRow("record") << int(TForm2::Button::Record) << QStringLiteral("Button5") << false;
    QTest::newRow("setup") << int(TForm2::Button::Setup) << QStringLiteral("Button7") << true;
    QTest::newRow("calibration") << int(TForm2::Button::Calibration) << QStringLiteral("Button8") << true;
}

void TestDigitalWindow::buttonHandlers()
{
    QFETCH(int, button);
    QFETCH(QString, name);
    QFETCH(bool, skips);
    Rig rig;
    auto *b = rig.form->findChild<QPushButton *>(name);
    QVERIFY(!b->isEnabled());
    int calls = 0;
    bool timerDuring = true, portOpenDuring = false;
    rig.form->setButtonHandler(TForm2::Button(button), [&] {
        ++calls;
        timerDuring = rig.state.session.isPolling();
        portOpenDuring = rig.state.port.PortOpen && rig.state.port.handleValid();
    });
    QVERIFY(b->isEnabled());
    rig.form->show();
    b->click();
    QCOMPARE(calls, 1);
    QVERIFY(!timerDuring);
    QVERIFY(portOpenDuring);
    QVERIFY(rig.state.session.isPolling());
    QCOMPARE(rig.state.session.skipsNextTick(), skips);

    rig.form->setButtonHandler(TForm2::Button(button), {});
    QVERIFY(!b->isEnabled());
}

void TestDigitalWindow::aScreenReaderReadsEveryFigure_data()
{
    QTest::addColumn<link::LiveReading>("reading");
    QTest::addColumn<QStringList>("spoken"); // CO, CO2, O2, HC, then the seven panels
    link::LiveReading idle;
    idle.Co = 150;
    idle.Co2 = 142;
    idle.O2 = 64;
    idle.Hc = 181;
    idle.Efficiency = 1019;
    idle.OilTemp = 348;
    idle.Rpm = 820;
    idle.FuelCode = 1;
    idle.Battery = 96;
    idle.TimeToZero = 10;
    idle.Nox = 94;
    QTest::newRow("idle") << idle
                          << QStringList{"CO 1.50 percent",
                                         "CO2 14.2 percent",
                                         "O2 0.64 percent",
                                         "HC 181 parts per million",
                                         "Lambda 1.019",
                                         "Oil temperature 34.8 degrees Celsius",
                                         "Engine speed 820 rpm",
                                         "Fuel petrol",
                                         "Battery 96 percent",
                                         "Time to zero 10 minutes",
                                         "NOx 94 parts per million"};
    link::LiveReading over = idle;
    over.Co = 2600;
    over.Co2 = 300;
    over.O2 = 2500;
    over.Hc = 12000;
    over.Efficiency = 400;
    over.Nox = 6000;
    QTest::newRow("over range") << over << QStringList{"CO over range",        "CO2 over range",
                                                       "O2 over range",        "HC over range",
                                                       "Lambda out of range",  "Oil temperature 34.8 degrees Celsius",
                                                       "Engine speed 820 rpm", "Fuel petrol",
                                                       "Battery 96 percent",   "Time to zero 10 minutes",
                                                       "NOx over range"};
    link::LiveReading afr = idle;
    afr.ModeFlags = link::AfrMode | link::Fahrenheit;
    afr.Efficiency = 1470;
    afr.FuelCode = 0;
    QTest::newRow("afr fahrenheit lpg") << afr
                                        << QStringList{
                                               "CO 1.50 percent",         "CO2 14.2 percent",
                                               "O2 0.64 percent",         "HC 181 parts per million",
                                               "Air fuel ratio 14.70",    "Oil temperature 94.6 degrees Fahrenheit",
                                               "Engine speed 820 rpm",    "Fuel lpg",
                                               "Battery 96 percent",      "Time to zero 10 minutes",
                                               "NOx 94 parts per million"};
}

// What an assistive tool asks of the window's accessible objects, as it would ask them.
void TestDigitalWindow::aScreenReaderReadsEveryFigure()
{
    QFETCH(link::LiveReading, reading);
    QFETCH(QStringList, spoken);
    Rig rig;
    rig.form->show();
    rig.send(reading);
    rig.state.session.cycle();
    QStringList said;
    for (int i = 0; i < 4; ++i)
        said << rig.form->spokenFigure(i);
    for (int i = 0; i < 7; ++i)
        said << rig.form->spokenPanel(i);
    QCOMPARE(said, spoken);
    // Through the accessibility interface, every figure and panel is named by what it says.
    QStringList named;
    for (QLabel *label : rig.form->findChildren<QLabel *>()) {
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(label);
        QVERIFY(face != nullptr);
        named << face->text(QAccessible::Name);
    }
    for (const QString &text : spoken)
        QVERIFY2(named.contains(text), qPrintable(text));
    for (const char *status : {"Analyser state", "Communication", "Pump"})
        QVERIFY2(named.contains(QLatin1String(status)), status);
    rig.form->FormClose();
}

void TestDigitalWindow::recordsReadingBeforeClamping()
{
    Rig rig;
    std::vector<link::LiveReading> recorded;
    rig.state.recordReading = [&](const link::LiveReading &r) { recorded.push_back(r); };
    rig.form->show();

    link::LiveReading r;
    r.Co = 2600;
    r.Co2 = -5;
    r.Efficiency = 400;
    rig.send(r);
    rig.state.session.cycle(); // not recording yet
    QVERIFY(recorded.empty());

    rig.state.Recording = true;
    rig.send(r);
    rig.state.session.cycle();
    rig.state.session.cycle(); // nothing came: a failed frame is not recorded
    QCOMPARE(recorded.size(), std::size_t(1));
    QCOMPARE(recorded[0].Co, std::int16_t(2600));
    QCOMPARE(recorded[0].Co2, std::int16_t(-5));
    QCOMPARE(recorded[0].Efficiency, std::int16_t(400));

    rig.send(r);
    rig.state.session.cycle();
    QCOMPARE(rig.form->reading().Co, std::int16_t(9999));
    QCOMPARE(rig.form->reading().Co2, std::int16_t(0));
    QCOMPARE(rig.form->panelText(0), QStringLiteral("LAMBDA   9.999"));
    QCOMPARE(rig.form->panelText(6), QStringLiteral("NOx: 0000"));
}

void TestDigitalWindow::everyWayOutClosesAndEndsRecording_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("mainMenu") << QStringLiteral("mainMenu");
    QTest::newRow("escape") << QStringLiteral("escape");
    QTest::newRow("closeEvent") << QStringLiteral("close");
    QTest::newRow("hide") << QStringLiteral("hide");
    QTest::newRow("destroyed") << QStringLiteral("destroy");
}

void TestDigitalWindow::everyWayOutClosesAndEndsRecording()
{
    QFETCH(QString, how);
    Rig rig;
    int stops = 0;
    rig.state.stopRecording = [&] { ++stops; };
    rig.form->show();
    rig.state.Recording = true;
    test::FakeDevice &device = rig.device();

    if (how == QLatin1String("mainMenu"))
        rig.form->Button1->click();
    else if (how == QLatin1String("escape"))
        QTest::keyClick(rig.form.get(), Qt::Key_Escape);
    else if (how == QLatin1String("close"))
        rig.form->close();
    else if (how == QLatin1String("hide"))
        rig.form->hide();
    else
        rig.form.reset();

    QCOMPARE(device.closes(), 1);
    QVERIFY(!rig.state.port.PortOpen);
    QCOMPARE(stops, 1);
    QVERIFY(!rig.state.Recording);
    if (rig.form) {
        QVERIFY(!rig.form->isVisible());
        QVERIFY(!rig.anyTimerActive());
        // Nothing more happens until the next show.
        rig.form->close();
        QCOMPARE(stops, 1);
        QCOMPARE(device.closes(), 1);
    }
}

// The captions are light, so the faces under them must stay dark even when the application's
// style paints faces from a light system theme; an enabled and a disabled button.
void TestDigitalWindow::buttonsStayDarkUnderALightTheme()
{
    const QString before = QApplication::style()->name();
    QApplication::setStyle(new ThemedButtonFaces);
    const auto restore = qScopeGuard([&] { QApplication::setStyle(before); });
    Rig rig;
    rig.form->show();
    for (const char *name : {"Button1", "Button2"}) {
        auto *b = rig.form->findChild<QPushButton *>(QString::fromLatin1(name));
        QVERIFY2(meanGrey(b) < 128, name);
    }
}

void TestDigitalWindow::renderedFiguresAgainstSimulator()
{
    link::VirtualPause clock;
    test::ScriptedOperator op;
    ui::SharedState state(
        [&clock](int) {
            return std::make_unique<sim::SimDevice>(clock, std::make_shared<sim::SteadyAnalyser>(steadyReading()));
        },
        clock, op);
    TForm2 form(state);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.screenWidth(), 1024);
    for (int cycle = 0; cycle < 3; ++cycle) {
        clock.sleepMs(cycle == 0 ? 1000 : 2000);
        state.session.cycle();
    }
    QVERIFY(op.shown.empty());
    QCOMPARE(form.statusText(1), QStringLiteral("Communication: OK"));
    QCOMPARE(form.panelText(3), QStringLiteral("FUEL  PETROL"));
    QCOMPARE(form.figures().size(), std::size_t(19));

    const QImage shot = form.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shot.width(), 1024);
    // CO 1.50 %: glyphs 0, 1, point, 5, 0 from x0.
    const auto &l = form.displayLayout();
    const std::vector<int> co = {0, 1, display::kPointGlyph, 5, 0};
    for (std::size_t i = 0; i < co.size(); ++i)
        QCOMPARE(form.figures()[i].glyph, co[i]);
    QCOMPARE(form.figures()[0].at, l.co);
    for (const auto &placed : form.figures()) {
        const QImage &glyph = form.glyph(placed.glyph);
        const QImage drawn = shot.copy(QRect(placed.at, glyph.size()));
        QCOMPARE(drawn, glyph.convertToFormat(QImage::Format_RGB32));
    }

    const QByteArray dir = qgetenv("QOVA_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        QVERIFY(shot.save(QString::fromLocal8Bit(dir) + QStringLiteral("/digital.png")));
}

int main(int argc, char **argv)
{
    QTemporaryDir dir;
    if (!test::UseWorkshopScreen(dir.filePath(QStringLiteral("screen.json"))))
        return 1;
    QApplication app(argc, argv);
    TestDigitalWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_digitalwindow.moc"
