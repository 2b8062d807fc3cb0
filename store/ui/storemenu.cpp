#include "store/ui/storemenu.h"

#include "store/storecsv.h"
#include "ui/commfailure.h"

#include "store/ui/storeviewer.h"
#include "store/ui/uploadprogress.h"
#include "ui/operator.h"

#include <QApplication>
#include <QFileInfo>

namespace qova::store {

namespace {
// The save and the open dialog spell their filters differently.
ui::FileRequest DataFileRequest(const QString &filter, bool confirmOverwrite)
{
    ui::FileRequest r;
    r.filter = filter;
    r.defaultSuffix = QStringLiteral("qvs");
    r.confirmOverwrite = confirmOverwrite;
    return r;
}
} // namespace

ui::FileRequest SaveDialog3()
{
    return DataFileRequest(QStringLiteral("Analyser Data File (*.QVS *.qvs)"), true);
}

ui::FileRequest OpenDialog1()
{
    return DataFileRequest(QStringLiteral("Analysr Data File (*.QVS *.qvs)"), false);
}

StoreMenu::StoreMenu(ui::SharedState &state, TForm11 &viewer, QWidget *parent)
    : showViewer([](TForm11 &v) {
          v.setWindowState(v.windowState() | Qt::WindowMaximized);
          v.exec();
      }),
      state_(state), viewer_(viewer), parent_(parent)
{
}

int StoreMenu::currentYear() const
{
    return state_.now().date().year();
}

void StoreMenu::tell(const QString &message)
{
    QString detail;
    if (message == kPortFailed && portProblem_)
        detail = ui::FailureDetail(*portProblem_);
    else if (message == kNoAcknowledge)
        detail = ui::NoAnswerDetail(state_.port);
    state_.op->message(parent_, QStringLiteral("QOVA"), message, ui::Icon::None, ui::Buttons::Ok, detail);
}

QString StoreMenu::UploadStoredTests()
{
    UploadProgressWindow progress(parent_);
    UploadHooks hooks;
    hooks.chooseFile = [this] { return state_.op->saveFileName(parent_, SaveDialog3()); };
    hooks.busy = [&progress](bool on) {
        if (on) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            progress.show();
        } else {
            progress.hide();
            QApplication::restoreOverrideCursor();
        }
    };
    hooks.progress = [&progress](const UploadProgress &p) { progress.setProgress(p); };
    hooks.makeFile = makeFile;
    portProblem_.reset();
    hooks.portFailed = [this](const Problem &problem) { portProblem_ = problem; };
    const Done uploaded = store::UploadStoredTests(state_.port, state_.StoreFileName, hooks);
    return uploaded.ok() ? QString() : uploaded.problem().text();
}

QString StoreMenu::LoadStoredTests()
{
    const Done loaded = store::LoadStoredTests(state_.StoreFileName, state_.StoreData, state_.StoreRecordCount,
                                               [this] { return state_.op->openFileName(parent_, OpenDialog1()); });
    if (!loaded.ok())
        return loaded.problem().text();
    viewer_.showRecords(currentYear());
    return {};
}

QString StoreMenu::ExportStoredTests()
{
    return store::ExportStoredTests([this] { return state_.op->openFileName(parent_, OpenDialog1()); }, currentYear(),
                                    makeFile);
}

void StoreMenu::openViewer()
{
    viewer_.setWindowTitle(QFileInfo(state_.StoreFileName).fileName());
    if (showViewer)
        showViewer(viewer_);
}

void StoreMenu::UPLOAD2Click()
{
    QString message = UploadStoredTests();
    if (message.isEmpty())
        message = LoadStoredTests();
    if (!message.isEmpty()) {
        tell(message);
        return;
    }
    openViewer();
}

void StoreMenu::VIEW1Click()
{
    state_.StoreFileName.clear();
    if (const QString message = LoadStoredTests(); !message.isEmpty()) {
        tell(message);
        return;
    }
    openViewer();
}

void StoreMenu::EXPORT1Click()
{
    tell(ExportStoredTests());
}

void StoreMenu::CsvExportClick()
{
    const QString chosen = state_.op->openFileName(parent_, OpenDialog1());
    tell(chosen.isEmpty() ? kUserCanceled : ExportStoredFileCsv(chosen, currentYear(), makeFile));
}

} // namespace qova::store
