#include "app/devices.h"
#include "app/historysettings.h"
#include "app/settingsfile.h"
#include "app/singleinstance.h"
#include "app/ui/programwindows.h"
#include "obd/obdlink.h"
#include "ui/guardedapplication.h"
#include "ui/operator.h"
#include "ui/printing.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTimer>

int main(int argc, char *argv[])
{
    qova::ui::GuardedApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("QOVA"));
    app.setApplicationDisplayName(QString());
    app.setOrganizationName(QStringLiteral("Qovaks"));

    qova::app::SingleInstance instance;
    if (!instance.acquire()) {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Already Running"), QStringLiteral("Already Running"),
                        QMessageBox::Ok);
        box.exec();
        return 0;
    }

    qova::link::EventLoopPause pause;
    qova::ui::WidgetOperator op;
    qova::ui::SharedState state({}, pause, op);
    qova::app::UseProgramDevices(state.port, pause);
    qova::ui::SystemPrinting printing(op);
    state.printing = &printing;
    qova::history::TestArchive history(qova::app::ArchiveSettings(qova::app::ReadHistorySettings()));
    state.history = &history;
    const qova::Done waiting = history.start();
    // Tests whose save failed are saved by themselves once the database is back.
    QTimer retry;
    QObject::connect(&retry, &QTimer::timeout, [&history] {
        if (history.pendingCount() > 0)
            history.retry();
    });
    retry.start(30000);

    // The car's OBD adapter, when QOVA_OBD names one: a second device beside the analyser.
    const auto obdAddress = qova::obd::ParseObdAddress(qEnvironmentVariable(qova::obd::kObdEnvironment));
    std::unique_ptr<qova::obd::ObdLink> obd;
    if (obdAddress.ok() && obdAddress.value()) {
        const qova::obd::ObdAddress &address = *obdAddress.value();
        obd = std::make_unique<qova::obd::ObdLink>(qova::app::MakeObdDevice(address, pause), pause,
                                                   qova::obd::ObdLink::OptionsFor(address));
        obd->start();
    }
    state.obd = obd.get();

    qova::app::ProgramWindows windows(state, QString::fromLatin1(qova::app::kPortFileName),
                                      qova::app::SystemUsLocale());
    windows.wire();
    windows.form1.show();
    if (!waiting.ok())
        QTimer::singleShot(0, &windows.form1, [&] {
            op.message(&windows.form1, QStringLiteral("QOVA"), waiting.problem().text(), qova::ui::Icon::Warning,
                       qova::ui::Buttons::Ok);
        });
    if (!obdAddress.ok())
        QTimer::singleShot(0, &windows.form1, [&] {
            op.message(&windows.form1, QStringLiteral("QOVA"),
                       QStringLiteral("The environment variable %1 names no OBD adapter: %2 The program runs "
                                      "without one.")
                           .arg(QString::fromLatin1(qova::obd::kObdEnvironment), obdAddress.problem().text()),
                       qova::ui::Icon::Warning, qova::ui::Buttons::Ok);
        });
    // Opened once at the start (a server in the background), so the vehicle dialog can show
    // a registration's last result; the tests waiting are saved once it is open.
    QTimer::singleShot(0, &windows.form1, [&history] {
        if (history.pendingCount() > 0)
            history.retry();
        else
            history.prepare();
    });
    return app.exec();
}
