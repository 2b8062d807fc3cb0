#pragma once

#include "report/ui/okcanceldialog.h"

#include <functional>

class QLabel;
class QLineEdit;

namespace qova::report {

// Asks for the vehicle's type and registration before a report. Made once and kept, so
// the two boxes hold the last vehicle until the program ends.
class TForm8 : public OkCancelDialog {
    Q_OBJECT
public:
    explicit TForm8(QWidget *parent = nullptr);

    QLabel *StaticText1 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QLabel *StaticText2 = nullptr;
    QLineEdit *Edit2 = nullptr;
    // The last result of the registration typed, under its box; empty (and the dialog as it
    // always was) for a registration without history.
    QLabel *LastResult = nullptr;

    // Where the last result comes from: `lookUp` starts looking a registration up and
    // answers later through lastResultFound. `prepare` runs as the dialog opens, before the
    // first look-up: the place to start opening the history so it is there by the time the
    // registration is typed.
    void setLastResult(std::function<void(const QString &registration)> lookUp, std::function<void()> prepare = {});
    // Looks the registration up again: the history has just become readable.
    void showLastResult();
    // The answer to the newest look-up: the text to show, or none.
    void lastResultFound(const QString &text);

protected:
    // A blank registration is refused: the report's file is named after it.
    bool acceptable() override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<void(const QString &)> lastResult_;
    std::function<void()> prepare_;
};

} // namespace qova::report
