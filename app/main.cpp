#include "devices.h"
#include "guardedapplication.h"
#include "operator.h"
#include "printing.h"
#include "settingsfile.h"
#include "singleinstance.h"
#include "windows.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>

int main(int argc, char *argv[])
{
    qova::ui::GuardedApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("QOVA"));
    app.setApplicationDisplayName(QString());
    app.setOrganizationName(QStringLiteral("Qovaks"));

    qova::app::SingleInstance instance(QDir::tempPath());
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

    qova::app::ProgramWindows windows(state, QString::fromLatin1(qova::app::kPortFileName),
                                      qova::app::SystemUsLocale());
    windows.wire();
    windows.form1.show();
    return app.exec();
}
