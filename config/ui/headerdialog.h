#pragma once

#include "config/ui/configdialog.h"

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qova::config {

// FILE > HEADER: two lines for the analyser's own print-outs. It opens the port itself at
// each send and leaves it open; the lines stay in the boxes for the whole run.
class TForm6 : public ConfigDialog {
    Q_OBJECT
public:
    explicit TForm6(ui::SharedState &state, QWidget *parent = nullptr);

    void Button1Click();

    QFrame *Panel1 = nullptr;
    QLabel *StaticText1 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QLabel *StaticText2 = nullptr;
    QLineEdit *Edit2 = nullptr;
    QPushButton *Button1 = nullptr;
};

} // namespace qova::config
