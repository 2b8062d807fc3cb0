#pragma once

#include "history/testarchive.h"
#include "history/testentry.h"

#include <QDialog>
#include <vector>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace qova::ui {
struct SharedState;
}

namespace qova::history {

// HISTORY > TESTS: finds the tests of a registration (or the latest of all), shows one in
// full, prints its page again and writes the listed tests to a CSV file.
class HistoryWindow : public QDialog {
    Q_OBJECT
public:
    // The first screen of a search; the CSV export takes every match.
    static constexpr int kListed = 200;

    explicit HistoryWindow(ui::SharedState &state, QWidget *parent = nullptr);

    // Tries the waiting tests again, then lists the tests matching the search box and
    // refreshes the count of waiting tests, once the history answers.
    void refresh();
    void printAgain();
    void exportCsv();

    // Each test in full, as the details box shows it.
    static QString DetailsText(const TestEntry &entry);

    QLineEdit *search = nullptr;
    QPushButton *find = nullptr;
    QTableWidget *list = nullptr;
    QPlainTextEdit *details = nullptr;
    QLabel *status = nullptr; // the count of waiting tests, or why the history cannot be read
    QPushButton *print = nullptr;
    QPushButton *exportButton = nullptr;
    QPushButton *close = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    // Lists what the history holds now; `tryNow` also tries to reach it.
    void showHistory(bool tryNow);
    // A background attempt to reach the server ended while the window was open.
    void attemptEnded();
    void showListing(const TestArchive::Listing &listing, const QString &statusText);
    void showSelected();
    const TestEntry *selected() const;

    ui::SharedState &state_;
    std::vector<TestEntry> shown_;
    int searches_ = 0; // only the newest search's answer is shown
};

} // namespace qova::history
