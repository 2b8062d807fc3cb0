#pragma once

#include "okcanceldialog.h"

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

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace qova::report
