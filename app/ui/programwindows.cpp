#include "app/ui/programwindows.h"

#include "app/settingsfile.h"
#include "check/certificate.h"
#include "history/testarchive.h"
#include "report/reporthistory.h"
#include "report/ui/printreport.h"
#include "ui/guidewindow.h"
#include "ui/printing.h"
#include "ui/windowplace.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPrinter>

namespace qova::app {

namespace {
// F1 in any window opens the guide at that window's section. The menu's F1 serves the main
// window alone: a shortcut of a window below a modal dialog does not fire.
class GuideKey final : public QObject {
public:
    GuideKey(ProgramWindows &windows, QObject *parent) : QObject(parent), windows_(windows) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        auto *widget = qobject_cast<QWidget *>(watched);
        if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier || widget == nullptr ||
            qobject_cast<ui::GuideWindow *>(widget->window()) != nullptr)
            return false;
        windows_.showGuide(widget);
        return true;
    }

private:
    ProgramWindows &windows_;
};
} // namespace

ProgramWindows::ProgramWindows(ui::SharedState &state, const QString &portFile, bool usLocale,
                               SettingsOpener companyHeader, HistorySettingsDialog::Store historyStore)
    : state(state), settings(companyHeader), form1(state),
      mainCreated(
          (form1.FormCreate(usLocale, portFile, companyHeader ? ReadDeviceChoice(*companyHeader()) : QString()), true)),
      form2(state, &form1), form4(state, portFile, &form1, &form1, companyHeader), form3(state, &form1),
      form5(state, &form1), form6(state, &form1), form7(state, std::move(companyHeader), &form1), form8(&form2),
      setup(state, &form2), form10(state, &form2), form11(state, &form1), storeMenu(state, form11, &form1),
      form12(state, &form2), recorder(state), historyWindow(state, &form1),
      historySettings(state, std::move(historyStore), &form1), emissionsCheck(state, &form1)
{
    for (const WindowLine &line : WindowLines())
        if (line.remembersPlace)
            line.window(*this).setProperty(ui::kPlaceKey, QString::fromLatin1(line.name));
    state.printCertificate = [](QPrinter &printer, const QStringList &pageLines) {
        return check::PrintKeptCertificate(printer, pageLines);
    };
}

void ProgramWindows::wire()
{
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->installEventFilter(new GuideKey(*this, &form1));
        QCoreApplication::instance()->installEventFilter(new ui::WindowPlaces(settings, &form1));
    }
    using Button = display::TForm2::Button;
    for (const MenuLine &line : MenuLines())
        if (line.kind == MenuLine::Kind::Item && line.opens != nullptr)
            form1.setHandler(line.item, [this, open = line.opens] { open(*this); });
    // Without a printing there is no printer to set up: the item stays disabled.
    if (state.printing == nullptr)
        form1.setHandler(TForm1::Item::PrinterSetup, {});
    // Looked up as the operator types, only in a database already open and never waited
    // for; one that is not open is opened as the dialog opens, and the result shows when it is.
    form8.setLastResult(
        [this](const QString &registration) {
            if (!state.history)
                return;
            state.history->lookUpLast(registration.left(report::kRegistrationLength), &form8,
                                      [this](const history::TestArchive::LastResult &found) {
                                          form8.lastResultFound(!found.answered ? report::kLastResultNotAvailable
                                                                : found.test    ? report::LastResultText(*found.test)
                                                                                : QString());
                                      });
        },
        [this] {
            if (state.history && !state.history->reachable())
                state.history->prepare();
        });
    if (state.history)
        QObject::connect(state.history, &history::TestArchive::attemptEnded, &form8, [this] {
            if (form8.isVisible())
                form8.showLastResult();
        });
    form2.setButtonHandler(Button::Print, [this] { report::PrintTestReport(state, &form2, form2.reading(), form8); });
    form2.setButtonHandler(Button::Record, [this] { recorder.Button5Click(&form2, form12); });
    form2.setButtonHandler(Button::Setup, [this] { setup.exec(); });
    form2.setButtonHandler(Button::Calibration, [this] { form10.exec(); });
}

QString ProgramWindows::guideSection(const QWidget *window)
{
    for (const QWidget *w = window; w != nullptr; w = w->parentWidget())
        for (const WindowLine &line : WindowLines())
            if (&line.window(*this) == w)
                return QString::fromUtf8(line.guideSection);
    return {};
}

void ProgramWindows::showGuide(QWidget *from)
{
    QWidget *over = from != nullptr ? from->window() : &form1;
    ui::ShowGuide(over, guideSection(over), *state.op);
}

std::vector<std::pair<const char *, QWidget *>> ProgramWindows::all()
{
    std::vector<std::pair<const char *, QWidget *>> windows;
    for (const WindowLine &line : WindowLines())
        windows.emplace_back(line.name, &line.window(*this));
    return windows;
}

} // namespace qova::app
