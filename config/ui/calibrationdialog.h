#pragma once

#include "config/ui/configdialog.h"

#include <array>

class QLabel;
class QLineEdit;
class QPushButton;

namespace qova::config {

// CALIBRATION: the calibration gas cylinder values for CO, CO2, HC and NO, sent over the
// port the digital display holds open. The boxes keep what was typed between openings.
class TForm10 : public ConfigDialog {
    Q_OBJECT
public:
    explicit TForm10(ui::SharedState &state, QWidget *parent = nullptr);

    void Button1Click();
    void Button2Click();

    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *StaticText1 = nullptr;
    QLabel *StaticText2 = nullptr;
    QLabel *StaticText3 = nullptr;
    QLabel *StaticText4 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QLineEdit *Edit2 = nullptr;
    QLineEdit *Edit3 = nullptr;
    QLineEdit *Edit4 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;

private:
    std::array<QLineEdit *, 4> edits() const { return {Edit1, Edit2, Edit3, Edit4}; }
};

} // namespace qova::config
