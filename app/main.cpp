#include "aboutbox.h"
#include "calibrationdialog.h"
#include "commdialog.h"
#include "companyheader.h"
#include "devices.h"
#include "digitalwindow.h"
#include "headerdialog.h"
#include "livegraph.h"
#include "mainwindow.h"
#include "operator.h"
#include "printing.h"
#include "printreport.h"
#include "recorddialog.h"
#include "recorder.h"
#include "settingsfile.h"
#include "setupdialog.h"
#include "singleinstance.h"
#include "storemenu.h"
#include "storeviewer.h"
#include "vehicledialog.h"

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
    qova::ui::SystemPrinting printing(op);
    state.printing = &printing;

    using qova::app::TForm1;
    using qova::display::TForm2;

    // Every window once, in this order: the about box's caption and the setup dialog's
    // petrol caption depend on what the main window read at its creation.
    TForm1 form1(state);
    form1.FormCreate(qova::app::SystemUsLocale(), QString::fromLatin1(qova::app::kPortFileName));
    TForm2 form2(state, &form1);
    qova::app::TForm4 form4(state, QString::fromLatin1(qova::app::kPortFileName), &form1, &form1);
    qova::display::TForm3 form3(state, &form1);
    qova::app::TForm5 form5(state, &form1);
    qova::config::TForm6 form6(state, &form1);
    qova::app::TForm7 form7(state, qova::app::CompanyHeaderSettings, &form1);
    qova::report::TForm8 form8(&form2);
    qova::config::TSETUP setup(state, &form2);
    qova::config::TForm10 form10(state, &form2);
    qova::store::TForm11 form11(state, &form1);
    qova::store::StoreMenu storeMenu(state, form11, &form1);
    qova::report::TForm12 form12(state, &form2);
    qova::report::Recorder recorder(state);

    form1.setHandler(TForm1::Item::Header, [&form6] { form6.exec(); });
    form1.setHandler(TForm1::Item::Digital, [&form2] { form2.exec(); });
    form1.setHandler(TForm1::Item::Graph, [&form3] { form3.ShowModal(); });
    form1.setHandler(TForm1::Item::Upload, [&storeMenu] { storeMenu.UPLOAD2Click(); });
    form1.setHandler(TForm1::Item::View, [&storeMenu] { storeMenu.VIEW1Click(); });
    form1.setHandler(TForm1::Item::Export, [&storeMenu] { storeMenu.EXPORT1Click(); });
    form1.setHandler(TForm1::Item::Comm, [&form4] { form4.COMM1Click(); });
    form1.setHandler(TForm1::Item::PrinterSetup, [&] { printing.printerSetup(&form1); });
    form1.setHandler(TForm1::Item::CompanyHeader, [&form7] { form7.SERIALNO1Click(); });
    form1.setHandler(TForm1::Item::About, [&form5] { form5.exec(); });
    form2.setButtonHandler(TForm2::Button::Print,
                           [&] { qova::report::PrintTestReport(state, &form2, form2.reading(), form8); });
    form2.setButtonHandler(TForm2::Button::Record, [&] { recorder.Button5Click(&form2, form12); });
    form2.setButtonHandler(TForm2::Button::Setup, [&setup] { setup.exec(); });
    form2.setButtonHandler(TForm2::Button::Calibration, [&form10] { form10.exec(); });
    form1.show();
    return app.exec();
}
