#pragma once

#include "ui/sharedstate.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace qova::app {

// HELP > ABOUT. Its caption names the port of start-up and stays so.
class TForm5 : public QDialog {
    Q_OBJECT
public:
    explicit TForm5(const ui::SharedState &state, QWidget *parent = nullptr);

    QPushButton *BitBtn1 = nullptr;
};

} // namespace qova::app
