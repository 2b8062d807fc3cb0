#pragma once

#include "historysettings.h"

#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QThread;

namespace qova::ui {
struct SharedState;
}

namespace qova::app {

// HISTORY > DATABASE: where the history is (a URL), the password for a server, and a
// connection test. OK keeps the choice for the next run and uses it at once.
class HistorySettingsDialog : public QDialog {
    Q_OBJECT
public:
    using Store = std::function<bool(const HistorySettings &)>;
    explicit HistorySettingsDialog(ui::SharedState &state, Store store = WriteHistorySettings,
                                   QWidget *parent = nullptr);
    // Waits for a connection test still under way (at most the connection timeout).
    ~HistorySettingsDialog() override;

    // Fills the boxes from `settings` and shows the dialog modally.
    void open(const HistorySettings &settings);
    // Shows in the dialog whether the typed location can be used. The test runs on a
    // thread of its own, so a server that does not answer holds no window; the answer
    // replaces "Testing..." when it comes.
    void testConnection();
    bool testing() const { return trial_ != nullptr; }

    QLineEdit *url = nullptr;
    QLineEdit *password = nullptr;
    QLabel *result = nullptr;
    QLabel *overridden = nullptr;
    QPushButton *test = nullptr;
    QPushButton *ok = nullptr;
    QPushButton *cancel = nullptr;

public slots:
    void accept() override;

private:
    ui::SharedState &state_;
    Store store_;
    QThread *trial_ = nullptr;
};

} // namespace qova::app
