#pragma once

#include "app/historysettings.h"

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
// connection test. OK tests the connection, then keeps the choice for the next run and
// uses it at once.
class HistorySettingsDialog : public QDialog {
    Q_OBJECT
public:
    using Store = std::function<qova::Done(const HistorySettings &)>;
    using Place = std::function<QString()>;
    explicit HistorySettingsDialog(ui::SharedState &state, Store store = WriteHistorySettings,
                                   QWidget *parent = nullptr, Place place = HistoryPasswordPlace);
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
    QLineEdit *password = nullptr;   // masked
    QLabel *passwordPlace = nullptr; // where the password is kept
    QLabel *result = nullptr;
    QLabel *overridden = nullptr;
    QPushButton *test = nullptr;
    QPushButton *ok = nullptr;
    QPushButton *cancel = nullptr;

public slots:
    // Tests the connection first, on a thread of its own; one that does not answer is
    // kept only when the operator says so.
    void accept() override;

private:
    void startTrial(const std::function<void(bool answered, const QString &answer)> &done);
    void keep(const HistorySettings &chosen);

    ui::SharedState &state_;
    Store store_;
    Place place_;
    QThread *trial_ = nullptr;
};

} // namespace qova::app
