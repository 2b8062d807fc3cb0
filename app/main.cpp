#include "app/devices.h"
#include "app/historysettings.h"
#include "app/obdconnection.h"
#include "app/settingsfile.h"
#include "app/singleinstance.h"
#include "app/ui/programwindows.h"
#include "link/qserialdevice.h"
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

    // The car's OBD adapter: a second device beside the analyser, on a timer of its own. One
    // link for the whole run; FILE > COMM switches its device.
    qova::app::ObdConnection obd(
        pause,
        [&state, &pause](const qova::obd::ObdAddress &address) {
            const QString analyser = state.port.PortDevice.isEmpty() ? qova::link::PortDeviceName(state.port.PortNumber)
                                                                     : state.port.PortDevice;
            return qova::app::MakeObdDevice(address, pause, analyser);
        },
        state.obd);
    const qova::app::ObdChoice obdChoice =
        qova::app::ReadObdChoice(*qova::app::CompanyHeaderSettings(), qova::app::ObdEnvironment());
    obd.environmentDecides = obdChoice.fromEnvironment;
    obd.environmentText = obdChoice.environmentText;

    qova::app::ProgramWindows windows(state, QString::fromLatin1(qova::app::kPortFileName),
                                      qova::app::SystemUsLocale());
    windows.wire();
    windows.form4.setObdConnection(&obd);
    // After the windows: the demo car follows the engine of the analyser the port names.
    obd.use(obdChoice.address);
    windows.form1.show();
    if (!waiting.ok())
        QTimer::singleShot(0, &windows.form1, [&] {
            op.message(&windows.form1, QStringLiteral("QOVA"), waiting.problem().text(), qova::ui::Icon::Warning,
                       qova::ui::Buttons::Ok);
        });
    if (!obdChoice.problem.isEmpty())
        QTimer::singleShot(0, &windows.form1, [&] {
            op.message(&windows.form1, QStringLiteral("QOVA"), obdChoice.problem, qova::ui::Icon::Warning,
                       qova::ui::Buttons::Ok);
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
