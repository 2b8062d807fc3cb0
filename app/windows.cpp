#include "windows.h"

#include "printing.h"
#include "printreport.h"

namespace qova::app {

ProgramWindows::ProgramWindows(ui::SharedState &state, const QString &portFile, bool usLocale,
                               SettingsOpener companyHeader)
    : state(state), form1(state), mainCreated((form1.FormCreate(usLocale, portFile), true)), form2(state, &form1),
      form4(state, portFile, &form1, &form1), form3(state, &form1), form5(state, &form1), form6(state, &form1),
      form7(state, std::move(companyHeader), &form1), form8(&form2), setup(state, &form2), form10(state, &form2),
      form11(state, &form1), storeMenu(state, form11, &form1), form12(state, &form2), recorder(state)
{
}

void ProgramWindows::wire()
{
    using Item = TForm1::Item;
    using Button = display::TForm2::Button;
    form1.setHandler(Item::Header, [this] { form6.exec(); });
    form1.setHandler(Item::Digital, [this] { form2.exec(); });
    form1.setHandler(Item::Graph, [this] { form3.ShowModal(); });
    form1.setHandler(Item::Upload, [this] { storeMenu.UPLOAD2Click(); });
    form1.setHandler(Item::View, [this] { storeMenu.VIEW1Click(); });
    form1.setHandler(Item::Export, [this] { storeMenu.EXPORT1Click(); });
    form1.setHandler(Item::Comm, [this] { form4.COMM1Click(); });
    if (state.printing != nullptr)
        form1.setHandler(Item::PrinterSetup, [this] { state.printing->printerSetup(&form1); });
    form1.setHandler(Item::CompanyHeader, [this] { form7.SERIALNO1Click(); });
    form1.setHandler(Item::About, [this] { form5.exec(); });
    form2.setButtonHandler(Button::Print, [this] { report::PrintTestReport(state, &form2, form2.reading(), form8); });
    form2.setButtonHandler(Button::Record, [this] { recorder.Button5Click(&form2, form12); });
    form2.setButtonHandler(Button::Setup, [this] { setup.exec(); });
    form2.setButtonHandler(Button::Calibration, [this] { form10.exec(); });
}

std::vector<std::pair<const char *, QWidget *>> ProgramWindows::all()
{
    return {{"main", &form1},  {"digital", &form2},      {"comm", &form4},    {"graph", &form3},
            {"about", &form5}, {"header", &form6},       {"company", &form7}, {"vehicle", &form8},
            {"setup", &setup}, {"calibration", &form10}, {"viewer", &form11}, {"record", &form12}};
}

} // namespace qova::app
