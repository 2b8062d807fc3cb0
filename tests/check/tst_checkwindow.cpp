// The emissions check window driven through a whole check against the simulated
// analyser in virtual time: the session is cycled by hand, the operator is scripted.
#include "check/certificate.h"
#include "check/ui/emissionscheckwindow.h"
#include "check/ui/rpmgauge.h"
#include "history/historydatabase.h"
#include "history/ui/historywindow.h"
#include "obd/obdlink.h"
#include "sim/demoanalyser.h"
#include "sim/elmcar.h"
#include "sim/simdevice.h"
#include "tests/support/fakedevice.h"
#include "tests/support/filecontents.h"
#include "tests/support/windowrig.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QtTest>

using namespace qova;
using checkui::EmissionsCheckWindow;
using Page = EmissionsCheckWindow::Page;

namespace {
const QDateTime kStart(QDate(2026, 3, 2), QTime(9, 30));

// A part of the window by its object name, as the operator finds it by its caption.
template <class Widget> Widget *part(QWidget &w, const char *name)
{
    auto *found = w.findChild<Widget *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no %s in the check window", name);
    return found;
}
} // namespace

class TestCheckWindow : public QObject, test::WindowRig {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void wholeCheck_data();
    void wholeCheck();
    void registrationWithHistoryFillsInWhatIsKnown();
    void historyNotOpenYetIsOpenedForTheLookUp();
    void limitsPageSaysWhyAndTakesAnotherSet();
    void stopAsksFirstAndKeepsTheCheckAsAbandoned();
    void failedSaveIsOneMessageAndWaitsInTheQueue();
    void pumpButtonSendsThePumpCommand();
    void runningSessionGetsItsPeriodBack();
    void noAnalyserStartCheckSaysWhyAndWaitsOnThePage();
    void vehiclePageInventsNoDate();
    void buttonsOnlyInTheirStep();
    void printAgainFromTheHistoryIsTheCertificate();
    void checkPageFitsTheScreen_data();
    void checkPageFitsTheScreen();
    void aScreenReaderReadsEveryFigure_data();
    void aScreenReaderReadsEveryFigure();
    void obdPanelShowsTheCarsDiagnostics_data();
    void obdPanelShowsTheCarsDiagnostics();
    void dashboardLampAskedWhereTheSetLooksAtIt_data();
    void dashboardLampAskedWhereTheSetLooksAtIt();
    void readFromTheCar_data();
    void readFromTheCar();

private:
    // The simulated analyser with `vehicle` at the probe, behind the shared state's port.
    void connectAnalyser(sim::VehicleProfile vehicle);
    // Shows the window and makes it the active one, so its mnemonics work.
    static bool showActive(EmissionsCheckWindow &w);
    // Alt and the button's letter, as the operator presses them; true once it clicked.
    static bool press(EmissionsCheckWindow &w, Qt::Key letter, QPushButton *button);
    // Types a vehicle first used in 2005 with a catalyst and goes on to the limits.
    void typeVehicle(EmissionsCheckWindow &w, const QString &registration);
    // Cycles the live session once a (virtual) second until the result shows.
    bool runToResult(EmissionsCheckWindow &w, int maxSeconds, bool confirmWarm = false);

    std::shared_ptr<sim::DemoAnalyser> analyser_;
};

void TestCheckWindow::init()
{
    setUpWindows(QStringLiteral("certificate.pdf"));
    openHistory(QStringLiteral("sqlite://") + dir_->filePath(QStringLiteral("data/history.db")),
                dir_->filePath(QStringLiteral("data/pending-tests.json")));
    QStandardPaths::setTestModeEnabled(true);
}

void TestCheckWindow::cleanup()
{
    tearDownWindows();
    analyser_.reset();
}

void TestCheckWindow::connectAnalyser(sim::VehicleProfile vehicle)
{
    sim::DemoOptions options;
    options.vehicle = vehicle;
    analyser_ = std::make_shared<sim::DemoAnalyser>(options);
    auto analyser = analyser_;
    auto *pause = &pause_;
    history::TestArchive *archive = state_->history;
    state_ = std::make_unique<ui::SharedState>(
        [pause, analyser](int) { return std::make_unique<sim::SimDevice>(*pause, analyser); }, pause_, op_);
    state_->printing = printing_.get();
    state_->history = archive;
    state_->CompanyHeader = QStringLiteral("ACME MOTORS");
    state_->now = [pause] { return kStart.addMSecs(pause->nowMs()); };
    // Decline the leak test, as a workshop in a hurry does, and confirm the rest.
    op_.onMessage = [this](const test::ScriptedOperator::Shown &s) {
        if (s.buttons == ui::Buttons::YesNo && op_.answers.empty())
            op_.answers.push_back(s.text.contains(QStringLiteral("leak"), Qt::CaseInsensitive) ? ui::Answer::No
                                                                                               : ui::Answer::Yes);
    };
}

bool TestCheckWindow::showActive(EmissionsCheckWindow &w)
{
    w.show();
    QApplication::setActiveWindow(&w);
    w.activateWindow();
    return QTest::qWaitForWindowActive(&w);
}

bool TestCheckWindow::press(EmissionsCheckWindow &w, Qt::Key letter, QPushButton *button)
{
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    QTest::keyClick(&w, letter, Qt::AltModifier);
    // The button shows itself pressed for a moment before it clicks.
    return clicked.count() == 1 || (clicked.wait(2000) && clicked.count() == 1);
}

void TestCheckWindow::typeVehicle(EmissionsCheckWindow &w, const QString &registration)
{
    QTest::keyClicks(part<QLineEdit>(w, "Registration"), registration);
    part<QLineEdit>(w, "Model")->setText(QStringLiteral("FORD FIESTA 1.2"));
    part<QLineEdit>(w, "FirstUsed")->setText(QStringLiteral("01/06/2005"));
    part<QCheckBox>(w, "Catalyst")->setChecked(true);
    part<QLineEdit>(w, "OperatorName")->setText(QStringLiteral("J. SMITH"));
    part<QPushButton>(w, "NextButton")->click();
}

bool TestCheckWindow::runToResult(EmissionsCheckWindow &w, int maxSeconds, bool confirmWarm)
{
    for (int s = 0; s < maxSeconds && w.page() != Page::Result; ++s) {
        pause_.sleepMs(1000);
        state_->session.cycle();
        // The operator's word on clean air is asked of every check.
        if (part<QPushButton>(w, "CleanAirButton")->styleSheet().contains(QStringLiteral("bold")) &&
            !press(w, Qt::Key_H, part<QPushButton>(w, "CleanAirButton")))
            return false;
        if (confirmWarm && part<QPushButton>(w, "WarmButton")->styleSheet().contains(QStringLiteral("bold")))
            if (!press(w, Qt::Key_E, part<QPushButton>(w, "WarmButton")))
                return false;
    }
    return w.page() == Page::Result;
}

void TestCheckWindow::wholeCheck_data()
{
    QTest::addColumn<int>("vehicle");
    QTest::addColumn<QString>("overall");
    QTest::addColumn<QString>("verdict");
    QTest::addColumn<QString>("certificateSays");
    QTest::addColumn<int>("seconds"); // at most, from switching the analyser on
    QTest::newRow("good catalyst") << int(sim::VehicleProfile::GoodCatalyst) << "PASS"
                                   << "pass"
                                   << "Oil temperature" << 120;
    QTest::newRow("rich at idle") << int(sim::VehicleProfile::RichIdle) << "FAIL"
                                  << "fail"
                                  << "CO" << 180;
    QTest::newRow("no oil probe") << int(sim::VehicleProfile::NoOilProbe) << "PASS"
                                  << "pass"
                                  << "Engine temperature confirmed by the operator (no oil probe)" << 120;
}

void TestCheckWindow::wholeCheck()
{
    QFETCH(int, vehicle);
    QFETCH(QString, overall);
    QFETCH(QString, verdict);
    QFETCH(QString, certificateSays);
    QFETCH(int, seconds);
    connectAnalyser(sim::VehicleProfile(vehicle));
    EmissionsCheckWindow w(*state_);
    QVERIFY(showActive(w));
    // Nothing is asked of the analyser while the vehicle is typed, so no prompt can take a key.
    QVERIFY(!state_->session.isActive());
    typeVehicle(w, QStringLiteral("AB12 CDE"));
    QVERIFY(!state_->session.isActive());
    QCOMPARE(w.page(), Page::Limits);
    QVERIFY2(part<QLabel>(w, "Chosen")
                 ->text()
                 .contains(QStringLiteral("UK car, first used 1 August 1992 or later: catalyst test")),
             qPrintable(part<QLabel>(w, "Chosen")->text()));
    part<QPushButton>(w, "StartButton")->click();
    QCOMPARE(w.page(), Page::Check);
    QVERIFY(state_->session.isActive());
    QCOMPARE(state_->session.period(), 1000);
    QVERIFY(runToResult(w, seconds, true));
    QVERIFY2(!state_->session.isActive(), "the session is given back with the verdict");

    QCOMPARE(part<QLabel>(w, "Overall")->text(), overall);
    QVERIFY(w.run()->record()->state.trace.size() > 30);
    const auto saved = readHistory().last(QStringLiteral("AB12CDE")).valueOr(std::nullopt);
    QVERIFY(saved);
    QCOMPARE(saved->kind, history::kCheckKind);
    QCOMPARE(saved->verdict, verdict);
    QCOMPARE(part<QLabel>(w, "SaveStatus")->text(), QStringLiteral("Saved to the history."));
    QVERIFY2(saved->pageLines.join(QLatin1Char('\n')).contains(certificateSays),
             qPrintable(saved->pageLines.join(QLatin1Char('\n'))));
    QCOMPARE(QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Qovaks"), QStringLiteral("check"))
                 .value(QStringLiteral("operator"))
                 .toString(),
             QStringLiteral("J. SMITH"));

    QVERIFY(press(w, Qt::Key_C, part<QPushButton>(w, "PrintButton")));
    QCOMPARE(printing_->jobs, 1);
    QVERIFY(QFileInfo(dir_->filePath(QStringLiteral("certificate.pdf"))).size() > 1000);
    part<QPushButton>(w, "CloseButton")->click();
    QVERIFY(!w.isVisible());
    QVERIFY(!state_->session.isActive());
}

void TestCheckWindow::registrationWithHistoryFillsInWhatIsKnown()
{
    connectAnalyser(sim::VehicleProfile::GoodCatalyst);
    history::TestEntry last = history::NewEntry(kStart.addDays(-30));
    last.kind = history::kCheckKind;
    last.registration = QStringLiteral("J123ABC");
    last.vehicle = QStringLiteral("VAUXHALL ASTRA");
    last.fuelCode = 0; // LPG
    last.verdict = QStringLiteral("fail");
    last.companyHeader = QStringLiteral("ACME MOTORS");
    last.fuel = QStringLiteral("LPG");
    last.pageLines = {QStringLiteral("EXHAUST EMISSIONS CHECK")};
    const history::TestArchive::Saved saved = test::SaveAndWait(*archive_, last);
    QVERIFY2(saved.ok(), qPrintable(saved.ok() ? QString() : saved.problem().text()));
    EmissionsCheckWindow w(*state_);
    QVERIFY(showActive(w));
    QTest::keyClicks(part<QLineEdit>(w, "Registration"), QStringLiteral("j123abc"));
    QVERIFY(archive_->settle());
    QCOMPARE(part<QLineEdit>(w, "Model")->text(), QStringLiteral("VAUXHALL ASTRA"));
    QCOMPARE(part<QComboBox>(w, "Fuel")->currentText(), QStringLiteral("LPG"));
    QCOMPARE(part<QLabel>(w, "LastResult")->text(),
             QStringLiteral("Last test 2026-01-31 09:30: emissions check, fail"));
    part<QLineEdit>(w, "Registration")->setText(QStringLiteral("NEW1"));
    QVERIFY(archive_->settle());
    QCOMPARE(part<QLabel>(w, "LastResult")->text(), QString());
}

void TestCheckWindow::historyNotOpenYetIsOpenedForTheLookUp()
{
    connectAnalyser(sim::VehicleProfile::GoodCatalyst);
    history::TestEntry last = history::NewEntry(kStart.addDays(-2));
    last.kind = history::kCheckKind;
    last.registration = QStringLiteral("K9XYZ");
    last.vehicle = QStringLiteral("FORD KA");
    last.verdict = QStringLiteral("pass");
    QVERIFY(test::SaveAndWait(*archive_, last).ok());
    // Another start of the program: its history is not open when the check window opens.
    history::TestArchive fresh({archive_->settings().url, {}, dir_->filePath(QStringLiteral("data/pending-2.json"))});
    QVERIFY(fresh.start().ok());
    QVERIFY(!fresh.reachable());
    state_->history = &fresh;
    {
        EmissionsCheckWindow w(*state_);
        QVERIFY(showActive(w));
        QTest::keyClicks(part<QLineEdit>(w, "Registration"), QStringLiteral("K9XYZ"));
        QTRY_COMPARE(part<QLineEdit>(w, "Model")->text(), QStringLiteral("FORD KA"));
        QCOMPARE(part<QLabel>(w, "LastResult")->text(),
                 QStringLiteral("Last test 2026-02-28 09:30: emissions check, pass"));
        w.hide();
    }
    state_->history = archive_.get();
}

void TestCheckWindow::limitsPageSaysWhyAndTakesAnotherSet()
{
    connectAnalyser(sim::VehicleProfile::GoodCatalyst);
    EmissionsCheckWindow w(*state_);
    QVERIFY(showActive(w));
    w.nextClick(); // no registration yet
    QCOMPARE(w.page(), Page::Vehicle);
    QCOMPARE(op_.texts().last(), QStringLiteral("Type the vehicle's registration first."));

    QTest::keyClicks(part<QLineEdit>(w, "Registration"), QStringLiteral("OLD1"));
    part<QLineEdit>(w, "FirstUsed")->setText(QStringLiteral("01/05/1970"));
    part<QCheckBox>(w, "Catalyst")->setChecked(false);
    part<QPushButton>(w, "NextButton")->click();
    QVERIFY2(part<QLabel>(w, "Chosen")->text().contains(QStringLiteral("before 1 August 1975")),
             qPrintable(part<QLabel>(w, "Chosen")->text()));
    QVERIFY(part<QLabel>(w, "RecordOnly")->text().startsWith(QStringLiteral("No metered test applies")));

    // Every set and the maker's figures are offered; the maker's with a figure that does not read.
    QCOMPARE(part<QListWidget>(w, "LimitList")->count(), int(check::ShippedLimitSets().size()) + 1);
    part<QListWidget>(w, "LimitList")->setCurrentRow(part<QListWidget>(w, "LimitList")->count() - 1);
    QVERIFY(part<QWidget>(w, "MakerForm")->isEnabled());
    part<QLineEdit>(w, "MakerFastCo")->setText(QStringLiteral("0.3x"));
    QCOMPARE(part<QLabel>(w, "LimitProblem")->text(), QStringLiteral("CO max %: \"0.3x\" is not a number"));
    part<QPushButton>(w, "StartButton")->click();
    QCOMPARE(w.page(), Page::Limits);
    QCOMPARE(op_.texts().last(), QStringLiteral("The check cannot start: CO max %: \"0.3x\" is not a number"));
    part<QLineEdit>(w, "MakerFastCo")->setText(QStringLiteral("0,25"));
    QCOMPARE(part<QLabel>(w, "LimitProblem")->text(), QString());
    part<QPushButton>(w, "StartButton")->click();
    QCOMPARE(w.page(), Page::Check);
    QCOMPARE(w.run()->record()->origin, check::LimitOrigin::MakersFigures);
    QCOMPARE(w.run()->check()->limits().stages.front().limits.coMax, std::optional<int>(25));
}

void TestCheckWindow::stopAsksFirstAndKeepsTheCheckAsAbandoned()
{
    connectAnalyser(sim::VehicleProfile::ColdEngine);
    EmissionsCheckWindow w(*state_);
    QVERIFY(showActive(w));
    typeVehicle(w, QStringLiteral("COLD1"));
    part<QPushButton>(w, "StartButton")->click();
    QVERIFY(!runToResult(w, 32));
    QCOMPARE(w.run()->check()->state().phase, check::CheckPhase::WaitingForWarmEngine);
    QVERIFY2(part<QLabel>(w, "Instruction")->text().startsWith(QStringLiteral("Warm the engine: oil ")),
             qPrintable(part<QLabel>(w, "Instruction")->text()));

    op_.answers = {ui::Answer::No};
    QTest::keyClick(&w, Qt::Key_Escape);
    QCOMPARE(w.page(), Page::Check);
    QVERIFY(w.isVisible());
    QCOMPARE(op_.shown.back().buttons, ui::Buttons::NoYes);

    op_.answers = {ui::Answer::Yes};
    QVERIFY(press(w, Qt::Key_T, part<QPushButton>(w, "StopButton")));
    QCOMPARE(w.page(), Page::Result);
    QCOMPARE(part<QLabel>(w, "Overall")->text(), QStringLiteral("ABANDONED"));
    const auto saved = readHistory().last(QStringLiteral("COLD1")).valueOr(std::nullopt);
    QVERIFY(saved);
    QCOMPARE(saved->verdict, QStringLiteral("abandoned"));
}

void TestCheckWindow::failedSaveIsOneMessageAndWaitsInTheQueue()
{
    const QString damaged = dir_->filePath(QStringLiteral("data/history.db"));
    QVERIFY(test::WriteFileContents(damaged, QByteArray(4096, 'x')));
    connectAnalyser(sim::VehicleProfile::GoodCatalyst);
    EmissionsCheckWindow w(*state_);
    QVERIFY(showActive(w));
    typeVehicle(w, QStringLiteral("AB12CDE"));
    part<QPushButton>(w, "StartButton")->click();
    const std::size_t before = op_.shown.size();
    QVERIFY(runToResult(w, 120));
    QCOMPARE(part<QLabel>(w, "Overall")->text(), QStringLiteral("PASS"));
    QVERIFY(archive_->settle());
    std::vector<test::ScriptedOperator::Shown> warnings;
    for (std::size_t i = before; i < op_.shown.size(); ++i)
        if (op_.shown[i].icon == ui::Icon::Warning)
            warnings.push_back(op_.shown[i]);
    QCOMPARE(warnings.size(), std::size_t(1));
    QVERIFY2(warnings[0].text.contains(QStringLiteral("(1 waiting)")), qPrintable(warnings[0].text));
    QVERIFY(part<QLabel>(w, "SaveStatus")->text().startsWith(QStringLiteral("Not yet in the history: ")));
    QCOMPARE(archive_->pendingCount(), 1);
    QCOMPARE(test::FileContents(damaged), QByteArray(4096, 'x'));
}

void TestCheckWindow::pumpButtonSendsThePumpCommand()
{
    connectAnalyser(sim::VehicleProfile::GoodCatalyst);
    EmissionsCheckWindow w(*state_);
    QVERIFY(showActive(w));
    typeVehicle(w, QStringLiteral("P1"));
    part<QPushButton>(w, "StartButton")->click();
    pause_.sleepMs(1000);
    state_->session.cycle();
    const bool before = analyser_->pumpOn();
    QVERIFY(press(w, Qt::Key_P, part<QPushButton>(w, "PumpButton")));
    QCOMPARE(analyser_->pumpOn(), !before);
}

void TestCheckWindow::runningSessionGetsItsPeriodBack()
{
    connectAnalyser(sim::VehicleProfile::GoodCatalyst);
    QVERIFY(state_->session.start({.periodMs = 2000}).ok());
    {
        EmissionsCheckWindow w(*state_);
        QVERIFY(showActive(w));
        QCOMPARE(state_->session.period(), 2000);
        typeVehicle(w, QStringLiteral("P2"));
        part<QPushButton>(w, "StartButton")->click();
        QCOMPARE(state_->session.period(), 1000);
        w.closeClick();
    }
    QVERIFY(state_->session.isActive());
    QCOMPARE(state_->session.period(), 2000);
    state_->session.stop();
}

// The live values are marked by colour; a screen reader must say the value on screen, its
// unit and the mark in words, for the figure it stands on.
void TestCheckWindow::aScreenReaderReadsEveryFigure_data()
{
    using check::CheckPhase;
    using sim::VehicleProfile;
    QTest::addColumn<int>("vehicle");
    QTest::addColumn<int>("phase"); // run until the check is in this phase of this stage
    QTest::addColumn<int>("stage");
    QTest::addColumn<QString>("figure");
    QTest::addColumn<QString>("begins");
    QTest::addColumn<QString>("ends");
    const int measuring = int(CheckPhase::Measuring);
    QTest::newRow("co within its limit") << int(VehicleProfile::GoodCatalyst) << measuring << 0 << "Gas0"
                                         << "CO "
                                         << " percent, OK";
    QTest::newRow("hc over its limit") << int(VehicleProfile::FailedCatalyst) << measuring << 0 << "Gas1"
                                       << "HC "
                                       << " parts per million, FAIL";
    QTest::newRow("lambda over its limit") << int(VehicleProfile::FailedCatalyst) << measuring << 0 << "Gas2"
                                           << "Lambda 1.0"
                                           << ", FAIL";
    QTest::newRow("co over its limit at idle") << int(VehicleProfile::RichIdle) << measuring << 1 << "Gas0"
                                               << "CO 1."
                                               << " percent, FAIL";
    QTest::newRow("speed in the window") << int(VehicleProfile::GoodCatalyst) << measuring << 0 << "Gas3"
                                         << "Engine speed "
                                         << " rpm, IN WINDOW";
    QTest::newRow("speed out of the window")
        << int(VehicleProfile::WanderingSpeed) << int(CheckPhase::WaitingForSpeed) << 0 << "Gas3"
        << "Engine speed "
        << " rpm, OUT OF WINDOW";
    QTest::newRow("oil with no limit in a stage") << int(VehicleProfile::GoodCatalyst) << measuring << 0 << "Gas4"
                                                  << "Oil temperature "
                                                  << " degrees Celsius";
    QTest::newRow("oil cold") << int(VehicleProfile::ColdEngine) << int(CheckPhase::WaitingForWarmEngine) << 0 << "Gas4"
                              << "Oil temperature "
                              << " degrees Celsius, COLD";
    QTest::newRow("no oil probe") << int(VehicleProfile::NoOilProbe) << int(CheckPhase::WaitingForWarmConfirmation) << 0
                                  << "Gas4"
                                  << "Oil temperature no probe"
                                  << "no probe";
    QTest::newRow("gauge inside its window") << int(VehicleProfile::GoodCatalyst) << measuring << 0 << "RpmGauge"
                                             << "Engine speed "
                                             << " rpm, inside the window of 2500 to 3000 rpm";
    QTest::newRow("gauge outside its window")
        << int(VehicleProfile::WanderingSpeed) << int(CheckPhase::WaitingForSpeed) << 0 << "RpmGauge"
        << "Engine speed "
        << " rpm, outside the window of 2500 to 3000 rpm";
}

void TestCheckWindow::aScreenReaderReadsEveryFigure()
{
    QFETCH(int, vehicle);
    QFETCH(int, phase);
    QFETCH(int, stage);
    QFETCH(QString, figure);
    QFETCH(QString, begins);
    QFETCH(QString, ends);
    connectAnalyser(sim::VehicleProfile(vehicle));
    EmissionsCheckWindow w(*state_);
    QVERIFY(showActive(w));
    typeVehicle(w, QStringLiteral("SR1"));
    part<QPushButton>(w, "StartButton")->click();
    QCOMPARE(w.page(), Page::Check);
    const auto reached = [&] {
        const check::CheckState &s = w.run()->check()->state();
        return int(s.phase) == phase && s.stage == stage;
    };
    for (int s = 0; s < 400 && !reached() && w.page() == Page::Check; ++s) {
        pause_.sleepMs(1000);
        state_->session.cycle();
        for (const char *asked : {"CleanAirButton", "WarmButton"})
            if (part<QPushButton>(w, asked)->isEnabled() && int(w.run()->check()->state().phase) != phase)
                part<QPushButton>(w, asked)->click();
    }
    QVERIFY2(reached(), "the check never reached the row's step");
    auto *shown = part<QWidget>(w, qPrintable(figure));
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(shown);
    QVERIFY(face != nullptr);
    const QString spoken = face->text(QAccessible::Name);
    QVERIFY2(spoken.startsWith(begins) && spoken.endsWith(ends), qPrintable(spoken));
    // The figure's own value, as the label shows it, is the one said.
    if (auto *label = qobject_cast<QLabel *>(shown)) {
        const QRegularExpressionMatch number =
            QRegularExpression(QStringLiteral("\\d+(\\.\\d+)?")).match(label->text());
        if (number.hasMatch())
            QVERIFY2(spoken.contains(number.captured()), qPrintable(label->text() + QStringLiteral(" / ") + spoken));
    }
    w.closeClick();
}

void TestCheckWindow::readFromTheCar_data()
{
    QTest::addColumn<QString>("car"); // "" for no adapter chosen
    QTest::addColumn<QString>("vinStartsWith");
    QTest::addColumn<QString>("noteHas");
    QTest::addColumn<QString>("messageHas");
    QTest::newRow("no adapter") << ""
                                << ""
                                << ""
                                << "FILE > COMM";
    QTest::newRow("healthy car") << "healthy"
                                 << "VF1DEMCAR"
                                 << ""
                                 << "";
    QTest::newRow("car with its lamp on") << "lamp-on"
                                          << "VF1DEMCAR"
                                          << ""
                                          << "";
    QTest::newRow("ignition off") << "ignition-off"
                                  << ""
                                  << "switch the ignition on"
                                  << "";
}

void TestCheckWindow::readFromTheCar()
{
    QFETCH(QString, car);
    QFETCH(QString, vinStartsWith);
    QFETCH(QString, noteHas);
    QFETCH(QString, messageHas);
    connectAnalyser(sim::VehicleProfile::GoodCatalyst);
    std::unique_ptr<obd::ObdLink> link;
    if (!car.isEmpty()) {
        const auto obdCar = sim::ObdCarFromName(car.toStdString());
        QVERIFY(obdCar);
        link = std::make_unique<obd::ObdLink>(sim::MakeDemoDevice(pause_, sim::MakeObdCar(analyser_, *obdCar)), pause_,
                                              obd::ElmSession::Options{.baudRates = {}});
        link->session().start();
    }
    state_->obd = link.get();
    EmissionsCheckWindow w(*state_);
    QVERIFY(showActive(w));
    QPushButton *read = part<QPushButton>(w, "ReadVinButton");
    read->click();
    if (!messageHas.isEmpty()) {
        QVERIFY(!op_.shown.empty());
        QVERIFY2(op_.shown.back().detail.contains(messageHas) || op_.shown.back().text.contains(messageHas),
                 qPrintable(op_.shown.back().text));
        QCOMPARE(part<QLineEdit>(w, "Vin")->text(), QString());
        return;
    }
    // Asked before the car has answered: the button says so and the VIN comes by itself.
    QVERIFY2(read->text().startsWith(QStringLiteral("Reading")), qPrintable(read->text()));
    for (int ms = 0; ms < 20000 && read->text().startsWith(QStringLiteral("Reading")); ms += obd::ObdLink::kTickMs) {
        pause_.sleepMs(obd::ObdLink::kTickMs);
        link->session().tick();
    }
    QCOMPARE(read->text(), QStringLiteral("Read &VIN from the car"));
    const QString vin = part<QLineEdit>(w, "Vin")->text();
    if (vinStartsWith.isEmpty())
        QCOMPARE(vin, QString());
    else
        QVERIFY2(vin.startsWith(vinStartsWith), qPrintable(vin));
    const QString note = part<QLabel>(w, "VinNote")->text();
    if (noteHas.isEmpty())
        QVERIFY2(note.isEmpty(), qPrintable(note));
    else
        QVERIFY2(note.contains(noteHas), qPrintable(note));
    state_->obd = nullptr;
}

// With the port unusable the check never starts: Start check says what failed and where,
// and the limits page stays, so the operator can connect the analyser and press it again.
void TestCheckWindow::noAnalyserStartCheckSaysWhyAndWaitsOnThePage()
{
    auto *pause = &pause_;
    history::TestArchive *archive = state_->history;
    state_ = std::make_unique<ui::SharedState>(
        [pause](int) {
            auto device = std::make_unique<test::FakeDevice>(*pause);
            device->failOpen = true;
            device->reason = QStringLiteral("No such file or directory");
            return device;
        },
        pause_, op_);
    state_->history = archive;
    EmissionsCheckWindow w(*state_);
    QVERIFY(showActive(w));
    typeVehicle(w, QStringLiteral("N1"));
    op_.shown.clear();
    part<QPushButton>(w, "StartButton")->click();
    QCOMPARE(w.page(), Page::Limits);
    QVERIFY(w.run()->check() == nullptr);
    QCOMPARE(op_.shown.size(), std::size_t(1));
    QCOMPARE(op_.shown[0].text, QStringLiteral("The check cannot start: the analyser is not connected."));
    QVERIFY2(op_.shown[0].detail.contains(QStringLiteral("No such file or directory")),
             qPrintable(op_.shown[0].detail));
}

// The date decides the limits: none is assumed, and Cancel leaves without a check.
void TestCheckWindow::vehiclePageInventsNoDate()
{
    connectAnalyser(sim::VehicleProfile::GoodCatalyst);
    EmissionsCheckWindow w(*state_);
    QVERIFY(showActive(w));
    QCOMPARE(part<QLineEdit>(w, "FirstUsed")->text(), QString());
    QTest::keyClicks(part<QLineEdit>(w, "Registration"), QStringLiteral("D1"));
    part<QPushButton>(w, "NextButton")->click();
    QCOMPARE(w.page(), Page::Vehicle);
    QVERIFY2(op_.texts().last().startsWith(QStringLiteral("Type the date the vehicle was first used, as ")),
             qPrintable(op_.texts().last()));
    QTest::keyClicks(part<QLineEdit>(w, "FirstUsed"), QLocale().toString(QDate(2004, 3, 14), QLocale::ShortFormat));
    part<QPushButton>(w, "NextButton")->click();
    QCOMPARE(w.page(), Page::Limits);
    QCOMPARE(w.run()->record(), std::nullopt);
    part<QPushButton>(w, "BackButton")->click();
    part<QPushButton>(w, "CancelButton")->click();
    QVERIFY(!w.isVisible());
    QVERIFY(!state_->session.isActive());
}

// Pump belongs to making the analyser ready, Clean air HC and Engine warm to their asking.
void TestCheckWindow::buttonsOnlyInTheirStep()
{
    connectAnalyser(sim::VehicleProfile::NoOilProbe);
    EmissionsCheckWindow w(*state_);
    QVERIFY(showActive(w));
    typeVehicle(w, QStringLiteral("B1"));
    part<QPushButton>(w, "StartButton")->click();
    auto *pump = part<QPushButton>(w, "PumpButton");
    auto *cleanAir = part<QPushButton>(w, "CleanAirButton");
    auto *warm = part<QPushButton>(w, "WarmButton");
    bool sawWarmAsked = false;
    for (int s = 0; s < 200 && w.run()->check()->state().phase != check::CheckPhase::Settling; ++s) {
        pause_.sleepMs(1000);
        state_->session.cycle();
        const check::CheckPhase phase = w.run()->check()->state().phase;
        const bool ready =
            phase == check::CheckPhase::WaitingForAnalyser || phase == check::CheckPhase::WaitingForCleanAir;
        QCOMPARE(pump->isEnabled(), ready);
        QCOMPARE(cleanAir->isEnabled(), phase == check::CheckPhase::WaitingForCleanAir);
        QCOMPARE(warm->isEnabled(), phase == check::CheckPhase::WaitingForWarmConfirmation);
        if (cleanAir->isEnabled())
            cleanAir->click();
        if (warm->isEnabled()) {
            sawWarmAsked = true;
            warm->click();
        }
    }
    QVERIFY(sawWarmAsked);
    QVERIFY(!pump->isEnabled() && !cleanAir->isEnabled() && !warm->isEnabled());
}

// HISTORY > TESTS prints a check's certificate again from what the history kept of it, every
// stage with its verdicts, and not the check's lines through the report page.
void TestCheckWindow::printAgainFromTheHistoryIsTheCertificate()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) {
        if (qEnvironmentVariable("CI") == QLatin1String("true"))
            QFAIL("pdftotext (poppler-utils) is missing on CI");
        QSKIP("pdftotext (poppler-utils) is not installed, so the printed page cannot be read back");
    }
    connectAnalyser(sim::VehicleProfile::FailedCatalyst);
    {
        EmissionsCheckWindow w(*state_);
        QVERIFY(showActive(w));
        typeVehicle(w, QStringLiteral("CAT1"));
        part<QPushButton>(w, "StartButton")->click();
        QVERIFY(runToResult(w, 240));
        QVERIFY(archive_->settle());
        w.closeClick();
    }
    test::PdfPrinting again(dir_->filePath(QStringLiteral("again.pdf")));
    state_->printing = &again;
    state_->printCertificate = [](QPrinter &printer, const QStringList &lines) {
        return check::PrintKeptCertificate(printer, lines);
    };
    history::HistoryWindow window(*state_);
    window.refresh();
    QVERIFY(archive_->settle());
    window.print->click();
    QCOMPARE(again.jobs, 1);
    QCOMPARE(again.lastTitle, QStringLiteral("Emissions check CAT1"));
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {again.path(), QStringLiteral("-")});
    QVERIFY(text.waitForFinished(30000));
    const QString page = QString::fromUtf8(text.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
    for (const char *expected : {"EXHAUST EMISSIONS CHECK", "FAIL", "Fast idle, 2500 to 3000 rpm",
                                 "Natural idle, 450 to 1500 rpm", "at most 200 ppm", "Operator"})
        QVERIFY2(page.contains(QString::fromLatin1(expected)),
                 qPrintable(expected + QStringLiteral(" not in:\n") + page));
}

void TestCheckWindow::checkPageFitsTheScreen_data()
{
    QTest::addColumn<QSize>("screen"); // what the window gets of it, in logical pixels
    QTest::addColumn<int>("car");      // the OBD adapter's car beside the analyser; -1: none
    constexpr int noAdapter = -1;
    QTest::newRow("1280x1024") << QSize(1280, 1024 - 30) << noAdapter;
    QTest::newRow("1920x1080") << QSize(1920, 1080 - 30) << noAdapter;
    // 150 % display scale on 1280x1024: 853 x 682 logical pixels.
    QTest::newRow("1280x1024 at 150 %") << QSize(853, 682 - 20) << noAdapter;
    // The car's panel under the live values, every monitor listed, on the same screens.
    QTest::newRow("1280x1024, lamp on") << QSize(1280, 1024 - 30) << int(sim::ObdCar::LampOn);
    QTest::newRow("1920x1080, not ready") << QSize(1920, 1080 - 30) << int(sim::ObdCar::NotReady);
    QTest::newRow("1280x1024 at 150 %, lamp on") << QSize(853, 682 - 20) << int(sim::ObdCar::LampOn);
    QTest::newRow("1280x1024 at 150 %, not ready") << QSize(853, 682 - 20) << int(sim::ObdCar::NotReady);
}

// Read from the driver's seat and whole on the screen: the instruction's capitals at least
// 6 % of the window's height, the live values 4 %, and no control beyond the window nor any
// text cut short, on the stage after a failed one, where the most is shown.
void TestCheckWindow::checkPageFitsTheScreen()
{
    QFETCH(QSize, screen);
    QFETCH(int, car);
    connectAnalyser(sim::VehicleProfile::FailedCatalyst);
    std::optional<obd::ObdLink> link;
    if (car >= 0) {
        obd::ElmSession::Options options;
        options.baudRates.clear();
        link.emplace(std::make_unique<sim::SimDevice>(pause_, sim::MakeObdCar(analyser_, sim::ObdCar(car))), pause_,
                     options);
        state_->obd = &*link;
        link->session().start(); // ticked by hand below, in virtual time
    }
    EmissionsCheckWindow w(*state_);
    QVERIFY(w.windowState() & Qt::WindowMaximized);
    QVERIFY(showActive(w));
    w.setWindowState(Qt::WindowNoState);
    w.resize(screen);
    typeVehicle(w, QStringLiteral("FIT1"));
    part<QPushButton>(w, "StartButton")->click();
    const auto carRead = [&] {
        return !link || !part<QLabel>(w, "ObdMonitors")->text().contains(QStringLiteral("not read yet"));
    };
    for (int s = 0; s < 200 && (part<QLabel>(w, "StageFailed")->text().isEmpty() || !carRead()); ++s) {
        for (int t = 0; t < 1000; t += obd::ObdLink::kTickMs) {
            if (link)
                link->session().tick();
            pause_.sleepMs(obd::ObdLink::kTickMs);
        }
        state_->session.cycle();
        auto *cleanAir = part<QPushButton>(w, "CleanAirButton");
        if (cleanAir->isEnabled())
            cleanAir->click();
    }
    QVERIFY(!part<QLabel>(w, "StageFailed")->text().isEmpty());
    QVERIFY(carRead());
    QCOMPARE(w.page(), Page::Check);
    QCOMPARE(part<QWidget>(w, "ObdPanel")->isVisible(), car >= 0);
    QApplication::processEvents();
    QCOMPARE(w.size(), screen);
    const QSize least = w.minimumSizeHint();
    QVERIFY2(least.width() <= screen.width() && least.height() <= screen.height(),
             qPrintable(QStringLiteral("the window needs %1 x %2").arg(least.width()).arg(least.height())));
    QVERIFY(QFontMetrics(part<QLabel>(w, "Instruction")->font()).capHeight() >= 0.06 * screen.height());
    QVERIFY(QFontMetrics(part<QLabel>(w, "Gas3")->font()).capHeight() >= 0.04 * screen.height());
    for (QWidget *child : w.findChildren<QWidget *>()) {
        if (!child->isVisibleTo(&w) || child->window() != &w)
            continue;
        const QRect at(child->mapTo(&w, QPoint(0, 0)), child->size());
        QVERIFY2(w.rect().contains(at), qPrintable(child->objectName() + QStringLiteral(" lies outside the window")));
        // A wrapped text squeezed below the lines it needs loses its last ones.
        if (auto *text = qobject_cast<QLabel *>(child); text && text->wordWrap() && !text->text().isEmpty())
            QVERIFY2(text->height() >= text->heightForWidth(text->width()),
                     qPrintable(QStringLiteral("%1 is cut short: %2 of %3 pixels high")
                                    .arg(text->objectName())
                                    .arg(text->height())
                                    .arg(text->heightForWidth(text->width()))));
    }
    state_->obd = nullptr;
}

void TestCheckWindow::obdPanelShowsTheCarsDiagnostics_data()
{
    QTest::addColumn<int>("car");
    QTest::addColumn<QString>("adapter"); // a part of the adapter's line
    QTest::addColumn<QString>("lamp");
    QTest::addColumn<QString>("codes");
    QTest::addColumn<QString>("monitors"); // a part of the readiness line
    QTest::newRow("healthy") << int(sim::ObdCar::Healthy) << ": reading the car"
                             << "off"
                             << "none"
                             << "Catalyst: complete";
    QTest::newRow("lamp on") << int(sim::ObdCar::LampOn) << ": reading the car"
                             << "ON"
                             << "2 stored: P0133, P0420"
                             << "Misfire: complete";
    QTest::newRow("not ready") << int(sim::ObdCar::NotReady) << ": reading the car"
                               << "off"
                               << "none"
                               << "Catalyst: incomplete";
    QTest::newRow("ignition off") << int(sim::ObdCar::IgnitionOff) << ": no answer from the car"
                                  << "not read yet"
                                  << "not read yet"
                                  << "not read yet";
}

// The check page with the car's adapter beside the analyser: its state, the lamp, the stored
// codes with their number and each monitor's readiness, as they are read during the check.
void TestCheckWindow::obdPanelShowsTheCarsDiagnostics()
{
    QFETCH(int, car);
    QFETCH(QString, adapter);
    QFETCH(QString, lamp);
    QFETCH(QString, codes);
    QFETCH(QString, monitors);
    connectAnalyser(sim::VehicleProfile::GoodCatalyst);
    obd::ElmSession::Options options;
    options.baudRates.clear();
    obd::ObdLink link(std::make_unique<sim::SimDevice>(pause_, sim::MakeObdCar(analyser_, sim::ObdCar(car))), pause_,
                      options);
    state_->obd = &link;
    link.session().start(); // ticked by hand below, in virtual time
    EmissionsCheckWindow w(*state_);
    QVERIFY(showActive(w));
    typeVehicle(w, QStringLiteral("OBD1"));
    part<QPushButton>(w, "StartButton")->click();
    QCOMPARE(w.page(), Page::Check);
    auto *panel = part<QWidget>(w, "ObdPanel");
    QVERIFY(panel->isVisible());
    const auto shown = [&] {
        return part<QLabel>(w, "ObdCodes")->text() == codes && part<QLabel>(w, "ObdAdapter")->text().contains(adapter);
    };
    for (int s = 0; s < 40 && !shown(); ++s) {
        for (int t = 0; t < 1000; t += obd::ObdLink::kTickMs) {
            link.session().tick();
            pause_.sleepMs(obd::ObdLink::kTickMs);
        }
        state_->session.cycle();
        if (part<QPushButton>(w, "CleanAirButton")->styleSheet().contains(QStringLiteral("bold")))
            QVERIFY(press(w, Qt::Key_H, part<QPushButton>(w, "CleanAirButton")));
    }
    QVERIFY2(part<QLabel>(w, "ObdAdapter")->text().contains(adapter),
             qPrintable(part<QLabel>(w, "ObdAdapter")->text()));
    QCOMPARE(part<QLabel>(w, "ObdLamp")->text(), lamp);
    QCOMPARE(part<QLabel>(w, "ObdCodes")->text(), codes);
    QVERIFY2(part<QLabel>(w, "ObdMonitors")->text().contains(monitors),
             qPrintable(part<QLabel>(w, "ObdMonitors")->text()));
    QVERIFY(panel->isVisible());
    state_->obd = nullptr;
}

void TestCheckWindow::dashboardLampAskedWhereTheSetLooksAtIt_data()
{
    QTest::addColumn<int>("car"); // the OBD adapter's car; -1: none
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<QString>("lamp"); // the panel's lamp after Alt+X; empty: not asked
    QTest::newRow("UK set with an adapter") << int(sim::ObdCar::LampOn) << "UK" << true << "ON; dashboard: off";
    QTest::newRow("UK set without an adapter") << -1 << "UK" << false << "";
    QTest::newRow("EU set fails the car's lamp") << int(sim::ObdCar::LampOn) << "EU" << false << "";
}

// The two buttons for the dashboard's lamp are there only while the check asks it, and the
// answer taken by its key stands beside the car's on the panel.
void TestCheckWindow::dashboardLampAskedWhereTheSetLooksAtIt()
{
    QFETCH(int, car);
    QFETCH(QString, scheme);
    QFETCH(bool, asked);
    QFETCH(QString, lamp);
    connectAnalyser(sim::VehicleProfile::GoodCatalyst);
    std::optional<obd::ObdLink> link;
    if (car >= 0) {
        obd::ElmSession::Options options;
        options.baudRates.clear();
        link.emplace(std::make_unique<sim::SimDevice>(pause_, sim::MakeObdCar(analyser_, sim::ObdCar(car))), pause_,
                     options);
        state_->obd = &*link;
        link->session().start(); // ticked by hand below, in virtual time
    }
    EmissionsCheckWindow w(*state_);
    QVERIFY(showActive(w));
    part<QComboBox>(w, "Scheme")->setCurrentText(scheme);
    typeVehicle(w, QStringLiteral("LAMP1"));
    part<QPushButton>(w, "StartButton")->click();
    QCOMPARE(w.page(), Page::Check);
    const auto carRead = [&] { return !link || part<QLabel>(w, "ObdLamp")->text() != QStringLiteral("not read yet"); };
    for (int s = 0; s < 40 && !carRead(); ++s) {
        for (int t = 0; t < 1000; t += obd::ObdLink::kTickMs) {
            if (link)
                link->session().tick();
            pause_.sleepMs(obd::ObdLink::kTickMs);
        }
        state_->session.cycle();
    }
    QVERIFY(carRead());
    auto *ask = part<QWidget>(w, "DashboardLampAsk");
    QCOMPARE(ask->isVisible(), asked);
    if (asked) {
        QVERIFY(press(w, Qt::Key_X, part<QPushButton>(w, "DashboardLampOffButton")));
        QVERIFY(!ask->isVisible());
        QCOMPARE(part<QLabel>(w, "ObdLamp")->text(), lamp);
    }
    state_->obd = nullptr;
}

QTEST_MAIN(TestCheckWindow)
#include "tst_checkwindow.moc"
