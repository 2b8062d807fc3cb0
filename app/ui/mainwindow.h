#pragma once

#include "app/ui/programtable.h"
#include "ui/sharedstate.h"

#include <QMainWindow>
#include <functional>
#include <map>

class QAction;
class QLabel;
class QMenu;
class QFrame;

namespace qova::app {

// The main window: the menu that reaches every function, and the owner of the state
// all windows share. The menu is built from MenuLines(); what each item opens is handed
// in by whoever builds the windows, so this class knows none of them. An item without a
// handler is disabled, but E&XIT, which closes this window unless told otherwise.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(ui::SharedState &state, QWidget *parent = nullptr);

    ui::SharedState &state() { return state_; }
    int PortNumber() const { return state_.port.PortNumber; }

    using Item = MenuItem;
    void setHandler(Item item, std::function<void()> handler);
    QAction *action(Item item) const;
    QMenu *menu(Menu menu) const;

    // Start-up: locale, SETUP.EA2 and the caption, recording off.
    // `deviceChoice`: a connection outside COM1 to COM4 kept in the settings, or empty.
    void FormCreate(bool usLocale, const QString &portFile, const QString &deviceChoice = {});

    QAction *HADER1 = nullptr;
    QAction *DIGITAL1 = nullptr;
    QAction *GRAPH1 = nullptr;
    QMenu *UPLOAD1 = nullptr;
    QAction *UPLOAD2 = nullptr;
    QAction *VIEW1 = nullptr;
    QAction *EXPORT1 = nullptr;
    QAction *COMM1 = nullptr;
    QAction *Printersetup1 = nullptr;
    QAction *SERIALNO1 = nullptr;
    QAction *EXIT1 = nullptr;
    QAction *ABOUT1 = nullptr;
    QAction *HistoryTests = nullptr;
    QAction *HistoryDatabase = nullptr;
    QAction *EmissionsCheck = nullptr;
    QAction *CsvExport = nullptr;
    QAction *UserGuide = nullptr;
    QLabel *Label1 = nullptr;
    QFrame *Panel1 = nullptr;
    // The status bar: the connection chosen and the test history, as they stand now.
    QLabel *ConnectionStatus = nullptr;
    QLabel *HistoryStatus = nullptr;
    void showStatus();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void Formchnge();
    void buildMenu();

    ui::SharedState &state_;
    QWidget *client_ = nullptr;
    std::map<Item, QAction *> actions_;
    std::map<Menu, QMenu *> menus_;
};

} // namespace qova::app
