#pragma once

#include "store/storefile.h"
#include "store/upload.h"
#include "ui/operator.h"
#include "ui/sharedstate.h"

#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace qova::store {

class TForm11;

// The STORE menu of the main window: upload, view and export, and the three operations
// behind them. Each operation returns the message for the operator, empty on success.
class StoreMenu {
public:
    StoreMenu(ui::SharedState &state, TForm11 &viewer, QWidget *parent);

    QString UploadStoredTests();
    QString LoadStoredTests();
    QString ExportStoredTests();

    void UPLOAD2Click();
    void VIEW1Click();
    void EXPORT1Click();
    // STORE > CSV EXPORT: a chosen data file as CSV beside it.
    void CsvExportClick();

    // Shows the viewer modally and maximized; tests look at it instead.
    std::function<void(TForm11 &)> showViewer;
    // Where the upload and the export write; tests hand in files that run out of room.
    SaveFileFactory makeFile = MakeSaveFile;

private:
    int currentYear() const;
    void tell(const QString &message);
    void openViewer();

    ui::SharedState &state_;
    TForm11 &viewer_;
    QWidget *parent_;
    std::optional<Problem> portProblem_; // of the last upload, when its port did not open
};

ui::FileRequest SaveDialog3();
ui::FileRequest OpenDialog1();

} // namespace qova::store
