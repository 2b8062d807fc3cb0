#include "devices.h"
#include "mainwindow.h"
#include "operator.h"
#include "settingsfile.h"
#include "singleinstance.h"
#include "storemenu.h"
#include "storeviewer.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
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
    qova::ui::SharedState state(qova::app::ProgramDevices(pause), pause, op);

    qova::app::TForm1 form1(state);
    form1.FormCreate(qova::app::SystemUsLocale(), QString::fromLatin1(qova::app::kPortFileName));
    qova::store::TForm11 form11(state, &form1);
    qova::store::StoreMenu storeMenu(state, form11, &form1);
    form1.setHandler(qova::app::TForm1::Item::Upload, [&storeMenu] { storeMenu.UPLOAD2Click(); });
    form1.setHandler(qova::app::TForm1::Item::View, [&storeMenu] { storeMenu.VIEW1Click(); });
    form1.setHandler(qova::app::TForm1::Item::Export, [&storeMenu] { storeMenu.EXPORT1Click(); });
    form1.show();
    return app.exec();
}
