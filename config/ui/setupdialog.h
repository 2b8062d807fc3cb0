#pragma once

#include "config/configframes.h"
#include "config/ui/configdialog.h"

#include <cstdint>

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace qova::config {

// SETUP: fuel, display layout, lambda or AFR, °C or °F and engine-speed mode, sent with
// the PC's date and time over the port the digital display holds open. It shows the
// choices made last in this run, not what the analyser holds.
class TSETUP : public ConfigDialog {
    Q_OBJECT
public:
    explicit TSETUP(ui::SharedState &state, QWidget *parent = nullptr);

    std::uint8_t SetupFlags() const { return SetupFlags_; }
    // The selected engine-speed mode, 0 to 8, or -1 when the box holds no item's text.
    int rpmMode() const;

    void Button1Click();
    void Button2Click();

    QFrame *Panel1 = nullptr;
    QLabel *Label1 = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    QRadioButton *RadioButton1 = nullptr;
    QRadioButton *RadioButton2 = nullptr;
    QRadioButton *RadioButton3 = nullptr;
    QGroupBox *GroupBox3 = nullptr;
    QRadioButton *RadioButton7 = nullptr;
    QRadioButton *RadioButton8 = nullptr;
    QRadioButton *RadioButton9 = nullptr;
    QGroupBox *EFF = nullptr;
    QRadioButton *RadioButton10 = nullptr;
    QRadioButton *RadioButton11 = nullptr;
    QGroupBox *TEMP = nullptr;
    QRadioButton *RadioButton12 = nullptr;
    QRadioButton *RadioButton13 = nullptr;
    QLabel *Label2 = nullptr;
    QComboBox *ComboBox1 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    // Each radio button changes only its own field of the flags.
    void onClick(QRadioButton *button, std::uint8_t (*change)(std::uint8_t));

    std::uint8_t SetupFlags_ = kInitialSetupFlags;
};

} // namespace qova::config
