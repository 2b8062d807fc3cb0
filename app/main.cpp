#include "aboutbox.h"
#include "commdialog.h"
#include "companyheader.h"
#include "devices.h"
#include "digitalwindow.h"
#include "livegraph.h"
#include "mainwindow.h"
#include "operator.h"
#include "settingsfile.h"
#include "singleinstance.h"

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
    qova::display::TForm2 form2(state, &form1);
    qova::app::TForm4 form4(state, QString::fromLatin1(qova::app::kPortFileName), &form1, &form1);
    qova::app::TForm5 form5(state, &form1);
    qova::app::TForm7 form7(state, qova::app::CompanyHeaderSettings, &form1);
    form1.setHandler(qova::app::TForm1::Item::Digital, [&form2] { form2.exec(); });
    form1.setHandler(qova::app::TForm1::Item::Comm, [&form4] { form4.COMM1Click(); });
    form1.setHandler(qova::app::TForm1::Item::CompanyHeader, [&form7] { form7.SERIALNO1Click(); });
    form1.setHandler(qova::app::TForm1::Item::About, [&form5] { form5.exec(); });
    qova::display::TForm3 form3(state, &form1);
    form1.setHandler(qova::app::TForm1::Item::Graph, [&form3] { form3.ShowModal(); });
    form1.show();
    return app.exec();
}
