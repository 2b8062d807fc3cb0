// Pictures of every window of the program for the user guide, each taken with the windows
// wired as the program wires them and talking to the simulated analyser in virtual time:
//   qova_screenshots OUTDIR
// It runs on the offscreen platform unless told otherwise, and gives that platform a
// 1024 by 768 screen, as the workshop PCs have. The analyser's prompts are shown in the
// real message boxes, each pictured the first time it comes and then answered. It fails
// when a window of the program has no picture.
//
// The live graph alone, at any size after any number of polls, to see how it fills:
//   qova_screenshots --graph OUT.png [WIDTH HEIGHT [TICKS]]
// The digital display on a screen of any size, its labels over the figures:
//   qova_screenshots --digital OUT.png WIDTH HEIGHT
// The certificates of a passed and a failed check alone:
//   qova_screenshots --certificates OUTDIR
// The check window maximised on a screen of any size (QT_SCALE_FACTOR for a display scale),
// measuring at fast idle; with REPRINT, the certificate printed again from the history; with
// --obd, a demo car's adapter ("lamp-on", "not-ready", ...) takes part and the picture waits
// until the car's lamp, codes and monitors are on the page:
//   qova_screenshots --check OUT.png WIDTH HEIGHT [REPRINT.png] [--obd CAR]
// FILE > COMM with the demo car's OBD adapter chosen and tested, on a screen of any size:
//   qova_screenshots --comm-obd OUT.png WIDTH HEIGHT
#include "app/devices.h"
#include "app/obdconnection.h"
#include "app/ui/programtable.h"
#include "app/ui/programwindows.h"
#include "check/ui/emissionscheckwindow.h"
#include "docs/tools/certificates.h"
#include "history/testarchive.h"
#include "history/ui/historywindow.h"
#include "report/recording.h"
#include "report/ui/printreport.h"
#include "sim/demoanalyser.h"
#include "sim/elmcar.h"
#include "sim/simdevice.h"
#include "ui/guidewindow.h"
#include "ui/headless/headlessprinting.h"
#include "ui/headless/headlessscreen.h"
#include "ui/operator.h"
#include "ui/printing.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <set>

using namespace qova;

namespace {

QDir outDir;
int failures = 0;
std::set<const QWidget *> pictured;

void save(const QImage &image, const QString &name)
{
    const QString path = outDir.filePath(name + QStringLiteral(".png"));
    if (image.isNull() || !image.save(path)) {
        std::fprintf(stderr, "could not save %s\n", qPrintable(path));
        ++failures;
        return;
    }
    std::printf("%s (%dx%d)\n", qPrintable(path), image.width(), image.height());
}

void shoot(QWidget &w, const QString &name)
{
    QApplication::processEvents();
    save(w.grab().toImage(), name);
    pictured.insert(&w);
}

QString slug(const QString &text)
{
    QString s;
    for (QChar c : text.trimmed().toLower())
        s += c.isLetterOrNumber() ? c : QLatin1Char('-');
    while (s.contains(QLatin1String("--")))
        s.replace(QLatin1String("--"), QLatin1String("-"));
    while (s.endsWith(QLatin1Char('-')))
        s.chop(1);
    return s;
}

// The program's own message boxes. Each text is pictured the first time it is shown, then
// answered as a workshop operator would on a normal day: no leak test, yes to the rest.
class PictureOperator final : public ui::Operator {
public:
    ui::Answer message(QWidget *parent, const QString &caption, const QString &text, ui::Icon icon, ui::Buttons buttons,
                       const QString &detail) override
    {
        std::printf("  prompt: [%s] \"%s\"\n", qPrintable(caption), qPrintable(text));
        const bool decline = text == QLatin1String("Do Leak test ?");
        const bool picture = pictures && pictured_.insert(text).second;
        QTimer::singleShot(0, [=] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (box == nullptr)
                return;
            if (picture)
                shoot(*box, QStringLiteral("prompt-") + slug(text));
            if (QAbstractButton *b = box->button(decline ? QMessageBox::No : QMessageBox::Yes))
                b->click();
            else
                box->button(QMessageBox::Ok)->click();
        });
        return real_.message(parent, caption, text, icon, buttons, detail);
    }
    QString openFileName(QWidget *, const ui::FileRequest &) override { return file; }
    QString saveFileName(QWidget *, const ui::FileRequest &, QString * = nullptr) override { return file; }

    QString file;
    bool pictures = true; // off where only one window is pictured

private:
    ui::WidgetOperator real_;
    std::set<QString> pictured_;
};

// The simulated analyser, with a picture of the upload window taken while it uploads.
class UploadWatcher final : public sim::Analyser {
public:
    explicit UploadWatcher(std::shared_ptr<sim::Analyser> inner) : inner_(std::move(inner)) {}
    void powerOn(std::int64_t nowMs) override { inner_->powerOn(nowMs); }
    std::vector<std::uint8_t> receive(std::uint8_t byte, std::int64_t nowMs) override
    {
        if (byte == 'O' && ++accepted_ == 3) {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (w->objectName() == QLatin1String("UploadProgress") && w->isVisible())
                    save(w->grab().toImage(), QStringLiteral("upload-progress"));
        }
        return inner_->receive(byte, nowMs);
    }
    std::vector<std::uint8_t> unasked(std::int64_t nowMs) override { return inner_->unasked(nowMs); }
    bool unplugged(std::int64_t nowMs) const override { return inner_->unplugged(nowMs); }

private:
    std::shared_ptr<sim::Analyser> inner_;
    int accepted_ = 0;
};

void pageImage(const QString &pdf, const QString &name, int dotsPerInch = 60)
{
    const QString base = outDir.filePath(name);
    const int rc = QProcess::execute(QStringLiteral("pdftoppm"),
                                     {QStringLiteral("-png"), QStringLiteral("-r"), QString::number(dotsPerInch),
                                      QStringLiteral("-singlefile"), pdf, base});
    if (rc != 0) {
        std::fprintf(stderr, "pdftoppm failed on %s\n", qPrintable(pdf));
        ++failures;
    } else {
        std::printf("%s.png (the printed page)\n", qPrintable(base));
    }
}

// A check typed into `w` and cycled once a virtual second until `each` says it has seen
// enough or the verdict shows. An OBD adapter in `state` ticks through each second as its
// timer would in the program; its real timer cannot, the clock being virtual.
void DriveCheck(checkui::EmissionsCheckWindow &w, ui::SharedState &state, link::VirtualPause &clock,
                history::TestArchive &archive, const std::function<bool(checkui::EmissionsCheckWindow &)> &each)
{
    auto second = [&] {
        if (state.obd == nullptr) {
            clock.sleepMs(1000);
            return;
        }
        for (int elapsed = 0; elapsed < 1000; elapsed += obd::ObdLink::kTickMs) {
            clock.sleepMs(obd::ObdLink::kTickMs);
            state.obd->tick();
        }
    };
    w.show();
    w.findChild<QLineEdit *>(QStringLiteral("Registration"))->setText(QStringLiteral("SK08 RVX"));
    w.findChild<QLineEdit *>(QStringLiteral("Model"))->setText(QStringLiteral("FORD FIESTA 1.25"));
    w.findChild<QLineEdit *>(QStringLiteral("FirstUsed"))->setText(check::ShortDateText(QDate(2008, 3, 14)));
    w.findChild<QLineEdit *>(QStringLiteral("OperatorName"))->setText(QStringLiteral("A. MACKAY"));
    w.nextClick();
    w.startClick();
    for (int s = 0; s < 600 && w.page() != checkui::EmissionsCheckWindow::Page::Result; ++s) {
        second();
        state.session.cycle();
        QApplication::processEvents();
        archive.settle(); // the result page says whether the check was saved
        if (each(w))
            break;
        if (checkui::ScreenOf(*w.run()).askCleanAir)
            w.cleanAirClick();
    }
    if (w.page() == checkui::EmissionsCheckWindow::Page::Result)
        each(w);
    w.hide();
}

// The state a check of the simulated `vehicle` runs in, as the program wires it.
struct CheckBench {
    CheckBench(ui::Operator &op, history::TestArchive &archive, sim::VehicleProfile vehicle, const QString &pdf)
        : printing(pdf)
    {
        sim::DemoOptions options;
        options.vehicle = vehicle;
        analyser = std::make_shared<sim::DemoAnalyser>(options);
        state.emplace([this](int) { return std::make_unique<sim::SimDevice>(clock, analyser); }, clock, op);
        state->now = [this] { return QDateTime(QDate(2026, 3, 2), QTime(11, 5)).addMSecs(clock.nowMs()); };
        state->printing = &printing;
        state->history = &archive;
        state->CompanyHeader = QStringLiteral("FAIRWAY MOTORS  ABERDEEN");
    }

    link::VirtualPause clock;
    std::shared_ptr<sim::DemoAnalyser> analyser;
    headless::PdfPrinting printing;
    std::optional<ui::SharedState> state;
};

void RunCheck(ui::Operator &op, history::TestArchive &archive, sim::VehicleProfile vehicle, const QString &pdf,
              const std::function<bool(checkui::EmissionsCheckWindow &)> &each)
{
    CheckBench bench(op, archive, vehicle, pdf);
    checkui::EmissionsCheckWindow w(*bench.state);
    DriveCheck(w, *bench.state, bench.clock, archive, each);
}

// Every screen of the check: the program's own window on its vehicle and limits pages,
// then whole checks of simulated cars for the stage screens and the result.
void ShootCheck(checkui::EmissionsCheckWindow &program, ui::Operator &op, history::TestArchive &archive,
                const QString &pdf)
{
    using checkui::EmissionsCheckWindow;
    using Phase = check::CheckPhase;
    program.show();
    program.findChild<QLineEdit *>(QStringLiteral("Registration"))->setText(QStringLiteral("SK08 RVX"));
    program.findChild<QLineEdit *>(QStringLiteral("FirstUsed"))->setText(check::ShortDateText(QDate(2008, 3, 14)));
    program.findChild<QLineEdit *>(QStringLiteral("OperatorName"))->setText(QStringLiteral("A. MACKAY"));
    shoot(program, QStringLiteral("check-vehicle"));
    program.nextClick();
    shoot(program, QStringLiteral("check-limits"));
    program.hide();

    std::set<QString> taken;
    auto once = [&](EmissionsCheckWindow &w, const QString &name) {
        if (taken.insert(name).second)
            shoot(w, name);
    };
    RunCheck(op, archive, sim::VehicleProfile::GoodCatalyst, pdf, [&](EmissionsCheckWindow &w) {
        const check::CheckState &s = w.run()->check()->state();
        const auto p = w.run()->check()->progress(
            w.run()->check()->state().trace.empty() ? 0 : w.run()->check()->state().trace.back().atMs);
        if (s.phase == Phase::WaitingForAnalyser && checkui::ScreenOf(*w.run()).secondsLeft &&
            *checkui::ScreenOf(*w.run()).secondsLeft < 15)
            once(w, QStringLiteral("check-analyser"));
        if (s.phase == Phase::WaitingForCleanAir)
            once(w, QStringLiteral("check-cleanair"));
        if (s.phase == Phase::Settling && s.stage == 0 && p.settledMs >= 4000)
            once(w, QStringLiteral("check-settling"));
        if (s.phase == Phase::Measuring && s.stage == 0 && p.goodRunMs >= 3000)
            once(w, QStringLiteral("check-measuring"));
        if (s.phase == Phase::WaitingForSpeed && s.stage == 1)
            once(w, QStringLiteral("check-speed"));
        if (w.page() == EmissionsCheckWindow::Page::Result)
            once(w, QStringLiteral("check-result"));
        return false;
    });
    RunCheck(op, archive, sim::VehicleProfile::ColdEngine, pdf, [&](EmissionsCheckWindow &w) {
        if (w.run()->check()->state().phase != Phase::WaitingForWarmEngine)
            return false;
        once(w, QStringLiteral("check-warm"));
        return true;
    });
    RunCheck(op, archive, sim::VehicleProfile::NoOilProbe, pdf, [&](EmissionsCheckWindow &w) {
        if (w.run()->check()->state().phase != Phase::WaitingForWarmConfirmation)
            return false;
        once(w, QStringLiteral("check-confirm"));
        return true;
    });
    RunCheck(op, archive, sim::VehicleProfile::FailedCatalyst, pdf, [&](EmissionsCheckWindow &w) {
        if (w.page() != EmissionsCheckWindow::Page::Result)
            return false;
        once(w, QStringLiteral("check-result-fail"));
        return true;
    });
}

// The live graph after `ticks` polls, as many minutes of polling would leave it.
bool FillGraph(display::TForm3 &graph, link::LiveSession &session, link::VirtualPause &clock, QSize size, int ticks)
{
    if (!graph.FormShow())
        return false;
    graph.resize(size);
    graph.show();
    for (int i = 0; i < ticks; ++i) {
        clock.sleepMs(graph.pollInterval());
        session.cycle();
    }
    return true;
}

int GraphAlone(const QStringList &args)
{
    const QFileInfo out(args.at(2));
    const int width = args.size() > 4 ? args[3].toInt() : 1280;
    const int height = args.size() > 4 ? args[4].toInt() : 1024;
    const int ticks = args.size() > 5 ? args[5].toInt() : 300;
    outDir = out.dir();
    outDir.mkpath(QStringLiteral("."));
    link::VirtualPause clock;
    PictureOperator op;
    ui::SharedState state([&clock](int) { return sim::MakeDemoDevice(clock); }, clock, op);
    display::TForm3 graph(state);
    if (!FillGraph(graph, state.session, clock, QSize(width, height), ticks)) {
        std::fprintf(stderr, "the live graph could not open its port\n");
        return 1;
    }
    shoot(graph, out.completeBaseName());
    std::printf("%d ticks every %d ms (%.1f minutes of readings); graph %dx%d\n", ticks, graph.pollInterval(),
                ticks * graph.pollInterval() / 60000.0, graph.PerformanceGraph1->width(),
                graph.PerformanceGraph1->height());
    graph.hide();
    graph.FormClose();
    return failures == 0 ? 0 : 1;
}

int DigitalAlone(const QStringList &args)
{
    const QFileInfo out(args.at(2));
    outDir = out.dir();
    outDir.mkpath(QStringLiteral("."));
    link::VirtualPause clock;
    PictureOperator op;
    ui::SharedState state([&clock](int) { return sim::MakeDemoDevice(clock); }, clock, op);
    display::TForm2 form2(state);
    form2.show();
    // Past the power-up countdown, as the guide's other pictures of it.
    for (int cycle = 0; cycle < 40; ++cycle) {
        clock.sleepMs(cycle == 0 ? 1000 : 2000);
        state.session.cycle();
    }
    shoot(form2, out.completeBaseName());
    form2.hide();
    return failures == 0 ? 0 : 1;
}

// The check window as the program opens it, on the screen the caller chose, then its
// certificate printed again from the history through the program's own printing.
// The car's diagnostics have reached the check page: the lamp and the monitors (01 01) and
// the stored codes (03), as the run shows them.
bool CarReadOnPage(const check::CheckRun &run)
{
    const std::optional<checkui::ObdPanel> panel = checkui::ScreenOf(run).obd;
    return panel && run.record() && run.record()->obd && run.record()->obd->readout.status.known() &&
           run.record()->obd->readout.codes.known() && !panel->monitors.empty();
}

int CheckAlone(QStringList args)
{
    std::optional<sim::ObdCar> car;
    if (const qsizetype flag = args.indexOf(QStringLiteral("--obd")); flag >= 0) {
        const QString name = args.value(flag + 1);
        car = sim::ObdCarFromName(name.toStdString());
        if (!car) {
            QStringList names;
            for (sim::ObdCar known : sim::ObdCars())
                names << QString::fromLatin1(sim::ObdCarName(known));
            std::fprintf(stderr, "--obd needs one of the demo cars (%s), not \"%s\"\n",
                         qPrintable(names.join(QStringLiteral(", "))), qPrintable(name));
            return 2;
        }
        args.remove(flag, 2);
    }
    const QFileInfo out(args.at(2));
    outDir = out.dir();
    outDir.mkpath(QStringLiteral("."));
    QTemporaryDir scratch;
    PictureOperator op;
    op.pictures = false;
    history::TestArchive archive({QStringLiteral("sqlite://") + scratch.filePath(QStringLiteral("history.db")),
                                  {},
                                  scratch.filePath(QStringLiteral("pending-tests.json"))});
    const QString pdf = scratch.filePath(QStringLiteral("certificate.pdf"));
    CheckBench bench(op, archive, sim::VehicleProfile::GoodCatalyst, pdf);
    // The demo car's adapter on the engine this check measures, as the program builds it for
    // the demo analyser: made before the windows and chosen after them, as in the program.
    std::optional<app::ObdConnection> obdConnection;
    if (car) {
        std::shared_ptr<sim::Analyser> engine = bench.analyser;
        obdConnection.emplace(
            bench.clock,
            [&bench, engine, car](const obd::ObdAddress &address) {
                return sim::MakeDemoDevice(bench.clock, sim::MakeObdCar(engine, *car), address.name);
            },
            bench.state->obd);
    }
    const QString headerStore = scratch.filePath(QStringLiteral("header.ini"));
    app::ProgramWindows windows(
        *bench.state, QStringLiteral("SETUP.EA2"), false,
        [&] { return std::make_unique<QSettings>(headerStore, QSettings::IniFormat); },
        [](const app::HistorySettings &) { return qova::Done(); });
    if (obdConnection) {
        const QString carName = QString::fromLatin1(sim::ObdCarName(*car));
        obdConnection->use(obd::ObdAddress{.kind = obd::ObdAddress::Kind::Demo,
                                           .name = QLatin1String(obd::kObdDemoPrefix) + carName,
                                           .baudRate = std::nullopt,
                                           .demoCar = carName});
    }
    bool shot = false, measured = false;
    DriveCheck(windows.emissionsCheck, *bench.state, bench.clock, archive, [&](checkui::EmissionsCheckWindow &w) {
        const check::EmissionsCheck &c = *w.run()->check();
        if (!shot && c.state().phase == check::CheckPhase::Measuring && c.state().stage == 0 &&
            c.progress(c.state().trace.back().atMs).goodRunMs >= 3000) {
            measured = true;
            if (car && !CarReadOnPage(*w.run()))
                return false;
            shoot(w, out.completeBaseName());
            std::printf("  window %dx%d at scale %.2f\n", w.width(), w.height(), w.devicePixelRatioF());
            if (const std::optional<checkui::ObdPanel> panel = checkui::ScreenOf(*w.run()).obd) {
                std::printf("  OBD: %s; lamp %s; codes %s\n", qPrintable(panel->adapter), qPrintable(panel->lamp),
                            qPrintable(panel->codes));
                for (const auto &[monitor, readiness] : panel->monitors)
                    std::printf("    %s: %s\n", qPrintable(monitor), qPrintable(readiness));
            }
            shot = true;
        }
        return false;
    });
    if (!shot) {
        std::fprintf(stderr, measured
                                 ? "the check measured at fast idle before the car's diagnostics reached the page\n"
                                 : "the check never measured at fast idle\n");
        return 1;
    }
    if (args.size() > 5) {
        history::HistoryWindow &history = windows.historyWindow;
        history.search->setText(QStringLiteral("sk08 rvx"));
        history.show();
        archive.settle();
        QApplication::processEvents();
        history.list->selectRow(0);
        history.printAgain();
        history.hide();
        pageImage(pdf, QFileInfo(args.at(5)).completeBaseName(), 100);
    }
    return failures == 0 ? 0 : 1;
}

// COMM as the operator leaves it after choosing the demo car with its lamp on and pressing
// Test adapter: the trial runs on its own timer, the car's time is the virtual clock.
int CommObdAlone(const QStringList &args)
{
    const QFileInfo out(args.at(2));
    outDir = out.dir();
    outDir.mkpath(QStringLiteral("."));
    QTemporaryDir scratch;
    link::VirtualPause clock;
    PictureOperator op;
    ui::SharedState state([&clock](int) { return sim::MakeDemoDevice(clock); }, clock, op);
    app::UseProgramDevices(state.port, clock);
    app::ObdConnection obdConnection(
        clock, [&clock](const obd::ObdAddress &address) { return app::MakeObdDevice(address, clock); }, state.obd);
    const QString settings = scratch.filePath(QStringLiteral("gas.ini"));
    app::TForm4 comm(
        state, scratch.filePath(QStringLiteral("SETUP.EA2")), nullptr, nullptr,
        [&] { return std::make_unique<QSettings>(settings, QSettings::IniFormat); },
        [] {
            return std::vector<link::SerialPortDescription>{
                {QStringLiteral("ttyS0"), QStringLiteral("/dev/ttyS0"), {}, {}, {}, std::nullopt, std::nullopt, {}},
                {QStringLiteral("ttyUSB0"), QStringLiteral("/dev/ttyUSB0"), QStringLiteral("FT232R USB UART"),
                 QStringLiteral("FTDI"), QStringLiteral("A50285BI"), 0x0403, 0x6001, QStringLiteral("1-1.2")}};
        });
    comm.setObdConnection(&obdConnection);
    state.port.PortDevice = QStringLiteral("demo");
    comm.Prepare();
    comm.ObdCar->setCurrentIndex(comm.ObdCar->findData(QStringLiteral("demo:lamp-on")));
    comm.ObdDemo->setChecked(true);
    comm.show();
    comm.ObdTestClick();
    QElapsedTimer waited;
    waited.start();
    while (!comm.ObdTestResult->text().contains(QStringLiteral("so did the car")) && waited.elapsed() < 20000) {
        clock.sleepMs(50);
        QThread::msleep(obd::ObdLink::kTickMs + 5);
        QApplication::processEvents();
    }
    if (!comm.ObdTestResult->text().contains(QStringLiteral("so did the car"))) {
        std::fprintf(stderr, "the demo car's adapter never answered: %s\n", qPrintable(comm.ObdTestResult->text()));
        return 1;
    }
    shoot(comm, out.completeBaseName());
    comm.hide();
    return failures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    headless::PreferOffscreenPlatform();
    QTemporaryDir scratch;
    const bool graphAlone = argc > 2 && qstrcmp(argv[1], "--graph") == 0;
    const bool digitalAlone = argc > 4 && qstrcmp(argv[1], "--digital") == 0;
    const bool checkAlone = argc > 4 && qstrcmp(argv[1], "--check") == 0;
    const bool commObdAlone = argc > 4 && qstrcmp(argv[1], "--comm-obd") == 0;
    const QString screenFile = scratch.filePath(QStringLiteral("screen.json"));
    if ((digitalAlone || checkAlone || commObdAlone) &&
        !headless::UseScreen(screenFile, std::atoi(argv[3]), std::atoi(argv[4])))
        return 1;
    if (!graphAlone && !digitalAlone && !checkAlone && !commObdAlone && !headless::UseWorkshopScreen(screenFile))
        return 1;
    QApplication app(argc, argv);
    if (graphAlone)
        return GraphAlone(app.arguments());
    if (digitalAlone)
        return DigitalAlone(app.arguments());
    if (checkAlone)
        return CheckAlone(app.arguments());
    if (commObdAlone)
        return CommObdAlone(app.arguments());
    if (app.arguments().size() == 3 && app.arguments().at(1) == QLatin1String("--certificates"))
        return docs::SaveCertificates(QDir(app.arguments().at(2))) == 0 ? 0 : 1;
    if (app.arguments().size() != 2) {
        std::fprintf(stderr, "usage: qova_screenshots OUTDIR\n"
                             "       qova_screenshots --graph OUT.png [WIDTH HEIGHT [TICKS]]\n"
                             "       qova_screenshots --digital OUT.png WIDTH HEIGHT\n");
        return 2;
    }
    outDir = QDir(app.arguments().at(1));
    outDir.mkpath(QStringLiteral("."));
    QDir::setCurrent(scratch.path());

    link::VirtualPause clock;
    PictureOperator op;
    // The analyser's calendar is the pictures' day, as the workstation's clock is, so the
    // stored tests it uploads carry the same dates whenever the pictures are made.
    auto analyser = std::make_shared<UploadWatcher>(std::make_shared<sim::DemoAnalyser>(sim::DemoOptions{}));
    ui::SharedState state([&](int) { return sim::MakeDemoDevice(clock, analyser); }, clock, op);
    state.now = [] { return QDateTime(QDate(2026, 3, 2), QTime(10, 41, 7)); };
    const QString reportPdf = scratch.filePath(QStringLiteral("report.pdf"));
    headless::PdfPrinting printing(reportPdf);
    state.printing = &printing;
    history::TestArchive archive({QStringLiteral("sqlite://") + scratch.filePath(QStringLiteral("history.db")),
                                  {},
                                  scratch.filePath(QStringLiteral("pending-tests.json"))});
    state.history = &archive;
    const QString headerStore = scratch.filePath(QStringLiteral("header.ini"));
    {
        QSettings s(headerStore, QSettings::IniFormat);
        s.setValue(QStringLiteral("header"), QStringLiteral("FAIRWAY MOTORS  ABERDEEN"));
    }

    using app::TForm1;
    using display::TForm2;
    app::ProgramWindows windows(
        state, QStringLiteral("SETUP.EA2"), false,
        [&] { return std::make_unique<QSettings>(headerStore, QSettings::IniFormat); },
        [](const app::HistorySettings &) { return qova::Done(); });
    TForm1 &form1 = windows.form1;
    TForm2 &form2 = windows.form2;
    // The items the program wires are enabled, but open nothing: each window is pictured on its own.
    for (const app::MenuLine &line : app::MenuLines())
        if (line.kind == app::MenuLine::Kind::Item && line.opens != nullptr)
            form1.setHandler(line.item, [] {});

    // As in the program these open dialogs; here each dialog is pictured on its own.
    for (auto button :
         {TForm2::Button::Print, TForm2::Button::Record, TForm2::Button::Setup, TForm2::Button::Calibration})
        form2.setButtonHandler(button, [] {});

    // The main window with its status bar, once the history has said whether it answers; its
    // menu bar alone with the Alt letters; and its FILE menu opened.
    form1.show();
    archive.prepare();
    archive.settle();
    shoot(form1, QStringLiteral("main"));
    save(form1.grab(QRect(QPoint(0, 0), form1.menuBar()->size())).toImage(), QStringLiteral("main-menus"));
    QMenu *file = form1.menuBar()->actions().at(0)->menu();
    file->popup(form1.mapToGlobal(QPoint(0, form1.menuBar()->height())));
    file->setActiveAction(form1.UPLOAD1->menuAction());
    form1.UPLOAD1->popup(file->mapToGlobal(QPoint(file->width(), 0)));
    QApplication::processEvents();
    {
        QImage menu = file->grab().toImage();
        QImage sub = form1.UPLOAD1->grab().toImage();
        QImage both(menu.width() + sub.width(), std::max(menu.height(), sub.height()), QImage::Format_ARGB32);
        both.fill(Qt::transparent);
        QPainter p(&both);
        p.drawImage(0, 0, menu);
        const int y = file->actionGeometry(form1.UPLOAD1->menuAction()).top();
        p.drawImage(menu.width(), y, sub);
        p.end();
        save(both.copy(0, 0, both.width(), std::max(menu.height(), y + sub.height())), QStringLiteral("menu"));
    }
    form1.UPLOAD1->hide();
    file->hide();

    // The digital display past the power-up countdown, its prompts answered.
    form2.show();
    shoot(form2, QStringLiteral("digital-start"));
    bool countdownShot = false;
    for (int cycle = 0; cycle < 45; ++cycle) {
        clock.sleepMs(cycle == 0 ? 1000 : 2000);
        state.session.cycle();
        if (!countdownShot && cycle == 4) {
            shoot(form2, QStringLiteral("digital-countdown"));
            countdownShot = true;
        }
    }
    shoot(form2, QStringLiteral("digital"));

    // F1 on the digital display: the guide at its section, over the display.
    windows.showGuide(&form2);
    if (auto *guide = form2.findChild<ui::GuideWindow *>()) {
        guide->resize(760, 560);
        QApplication::processEvents();
        QImage both(form2.width() + 120, form2.height() + 60, QImage::Format_ARGB32);
        both.fill(Qt::transparent);
        QPainter p(&both);
        p.drawImage(0, 0, form2.grab().toImage());
        p.drawImage(200, 120, guide->grab().toImage());
        p.end();
        save(both, QStringLiteral("guide-f1"));
        delete guide;
    }

    // The report: the vehicle dialog as the operator fills it in, then the page.
    windows.form8.Edit1->setText(QStringLiteral("FORD FOCUS 1.6"));
    windows.form8.Edit2->setText(QStringLiteral("SK08RVX"));
    windows.form8.show();
    archive.settle();
    shoot(windows.form8, QStringLiteral("vehicle-dialog"));
    windows.form8.hide();
    state.CompanyHeader = QStringLiteral("FAIRWAY MOTORS  ABERDEEN");
    QTimer::singleShot(0, [&] {
        if (windows.form8.isVisible())
            windows.form8.Button1->click();
    });
    report::PrintTestReport(state, &form2, form2.reading(), windows.form8);
    archive.settle();
    pageImage(reportPdf, QStringLiteral("report"));

    windows.form12.show();
    shoot(windows.form12, QStringLiteral("record-dialog"));
    windows.form12.hide();
    // The file box after Record ON, on the spreadsheet's choice: Qt's own box here; a
    // desktop shows its own with the same two choices.
    {
        QDir(scratch.path()).mkpath(QStringLiteral("Recordings"));
        QFile earlier(scratch.filePath(QStringLiteral("Recordings/bay3-monday.csv")));
        if (earlier.open(QIODevice::WriteOnly))
            earlier.write(report::RecordCsvHeader());
        earlier.close();
        QFileDialog box(&form2, QStringLiteral("Record in file"), scratch.filePath(QStringLiteral("Recordings")),
                        report::RecordFileFilters());
        box.setOption(QFileDialog::DontUseNativeDialog);
        box.setAcceptMode(QFileDialog::AcceptSave);
        box.selectNameFilter(QLatin1String(report::kRecordCsvFilter));
        box.selectFile(QStringLiteral("bay3-idle"));
        box.resize(640, 400);
        box.show();
        shoot(box, QStringLiteral("record-csv"));
    }

    windows.setup.show();
    shoot(windows.setup, QStringLiteral("setup"));
    windows.setup.hide();
    windows.form10.show();
    shoot(windows.form10, QStringLiteral("calibration"));
    windows.form10.hide();
    form2.hide();

    // The live graph after six minutes of readings.
    if (FillGraph(windows.form3, state.session, clock, QSize(1024, 740), 400)) {
        shoot(windows.form3, QStringLiteral("graph"));
        windows.form3.hide();
        windows.form3.FormClose();
    } else {
        std::fprintf(stderr, "the live graph could not open its port\n");
        ++failures;
    }

    // Upload of the analyser's store, and the viewer on what came.
    op.file = scratch.filePath(QStringLiteral("MARCH.QVS"));
    windows.storeMenu.showViewer = [](store::TForm11 &viewer) {
        viewer.resize(1024, 740);
        viewer.show();
        shoot(viewer, QStringLiteral("viewer"));
        viewer.hide();
    };
    windows.storeMenu.UPLOAD2Click();

    // The small settings windows. The COMM dialog lists a workstation's usual ports rather
    // than whatever the machine making the pictures has.
    windows.form4.setPortLister([] {
        return std::vector<link::SerialPortDescription>{
            {QStringLiteral("ttyS0"), QStringLiteral("/dev/ttyS0"), {}, {}, {}, std::nullopt, std::nullopt, {}},
            {QStringLiteral("ttyUSB0"), QStringLiteral("/dev/ttyUSB0"), QStringLiteral("FT232R USB UART"),
             QStringLiteral("FTDI"), QStringLiteral("A50285BI"), 0x0403, 0x6001, QStringLiteral("1-1.2")}};
    });
    app::ObdConnection obdConnection(
        clock, [&clock](const obd::ObdAddress &address) { return app::MakeObdDevice(address, clock); }, state.obd);
    windows.form4.setObdConnection(&obdConnection);
    windows.form4.Prepare();
    windows.form4.show();
    shoot(windows.form4, QStringLiteral("comm"));
    windows.form4.NetworkChoice->setChecked(true);
    windows.form4.NetworkHost->setText(QStringLiteral("bay3"));
    windows.form4.NetworkKind->setCurrentIndex(1);
    shoot(windows.form4, QStringLiteral("comm-network"));
    windows.form4.NetworkHost->clear();
    windows.form4.NetworkKind->setCurrentIndex(0);
    windows.form4.hide();
    windows.form5.show();
    shoot(windows.form5, QStringLiteral("about"));
    windows.form5.hide();
    windows.form6.Edit1->setText(QStringLiteral("FAIRWAY MOTORS"));
    windows.form6.Edit2->setText(QStringLiteral("TEL 01224 555 0142"));
    windows.form6.show();
    shoot(windows.form6, QStringLiteral("header"));
    windows.form6.hide();
    windows.form7.show();
    shoot(windows.form7, QStringLiteral("companyheader"));
    windows.form7.hide();

    // The history: the report printed above and earlier visits of the same car.
    history::HistoryDatabase reader;
    if (reader.open(archive.settings().url).ok()) {
        history::HistoryDatabase *db = &reader;
        const std::optional<history::TestEntry> printed = db->last(QStringLiteral("SK08RVX")).valueOr(std::nullopt);
        for (int visit = 1; printed && visit <= 3; ++visit) {
            history::TestEntry earlier = *printed;
            earlier.uid = history::NewEntry({}).uid;
            earlier.takenAt = printed->takenAt.addDays(-120 * visit).addSecs(-3600 * visit);
            earlier.printed.co += 40 * visit;
            earlier.printed.hc += 25 * visit;
            (void)db->save(earlier);
        }
    }
    windows.historyWindow.search->setText(QStringLiteral("sk08 rvx"));
    windows.historyWindow.show();
    archive.settle();
    shoot(windows.historyWindow, QStringLiteral("history"));
    windows.historyWindow.hide();
    windows.historySettings.url->setText(QStringLiteral("postgresql://bay1@workshop-server:5432/qova"));
    windows.historySettings.result->setText(
        QStringLiteral("Connected to postgresql://bay1@workshop-server:5432/qova: 1842 test(s) in the history."));
    windows.historySettings.show();
    shoot(windows.historySettings, QStringLiteral("history-database"));
    windows.historySettings.hide();

    failures += docs::SaveCertificates(outDir);
    ShootCheck(windows.emissionsCheck, op, archive, scratch.filePath(QStringLiteral("certificate.pdf")));

    for (const auto &[name, window] : windows.all()) {
        if (!pictured.contains(window)) {
            std::fprintf(stderr, "no picture of the %s window\n", name);
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
