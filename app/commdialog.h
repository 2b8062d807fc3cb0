#pragma once

#include "sharedstate.h"

#include <QDialog>
#include <QString>

class QGroupBox;
class QPushButton;
class QRadioButton;

namespace qova::app {

// FILE > COMM: chooses COM1 to COM4 and keeps the choice in the port file. The port is
// not reopened here; the next window that opens it uses the new number.
class TForm4 : public QDialog {
    Q_OBJECT
public:
    // `mainWindow` gets the new caption after OK.
    TForm4(ui::SharedState &state, QString portFile, QWidget *mainWindow, QWidget *parent = nullptr);

    // Selects the button of the current port, then shows the dialog modally.
    void COMM1Click();
    // The first half of COMM1Click, without the modal loop.
    void Prepare();

    int SelectedPort() const { return selectedPort_; }

    void Button1Click(); // OK
    void Button2Click(); // CANCEL

    QGroupBox *GroupBox1 = nullptr;
    QRadioButton *RadioButton1 = nullptr, *RadioButton2 = nullptr, *RadioButton3 = nullptr, *RadioButton4 = nullptr;
    QPushButton *Button1 = nullptr, *Button2 = nullptr;

private:
    QRadioButton *radio(int port) const;

    ui::SharedState &state_;
    QString portFile_;
    QWidget *mainWindow_;
    int selectedPort_ = 1;
};

} // namespace qova::app
