#pragma once

#include "report/ui/okcanceldialog.h"

class QFrame;
class QGroupBox;
class QRadioButton;

namespace qova::ui {
struct SharedState;
}

namespace qova::report {

// Switches recording on or off; always opens showing whether a recording runs.
class TForm12 : public OkCancelDialog {
    Q_OBJECT
public:
    explicit TForm12(const ui::SharedState &state, QWidget *parent = nullptr);

    QFrame *Panel1 = nullptr;
    QGroupBox *RadioGroup1 = nullptr;
    QRadioButton *RadioButton1 = nullptr;
    QRadioButton *RadioButton2 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormShow();

    const ui::SharedState &state_;
};

} // namespace qova::report
