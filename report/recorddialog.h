#pragma once

#include <QDialog>

class QFrame;
class QGroupBox;
class QPushButton;
class QRadioButton;

namespace qova::ui {
struct SharedState;
}

namespace qova::report {

// Switches recording on or off; always opens showing whether a recording runs.
class TForm12 : public QDialog {
    Q_OBJECT
public:
    explicit TForm12(const ui::SharedState &state, QWidget *parent = nullptr);

    // Whether OK closed the dialog last. The close box and Escape count as Cancel.
    bool okPressed() const { return OkPressed; }
    void reject() override;

    QFrame *Panel1 = nullptr;
    QGroupBox *RadioGroup1 = nullptr;
    QRadioButton *RadioButton1 = nullptr;
    QRadioButton *RadioButton2 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormShow();
    void Button1Click();
    void Button2Click();

    const ui::SharedState &state_;
    bool OkPressed = false;
};

} // namespace qova::report
