#include "report/ui/okcanceldialog.h"

#include <QPushButton>

namespace qova::report {

OkCancelDialog::OkCancelDialog(QWidget *parent) : QDialog(parent) {}

void OkCancelDialog::connectButtons()
{
    connect(Button1, &QPushButton::clicked, this, &OkCancelDialog::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &OkCancelDialog::Button2Click);
}

void OkCancelDialog::Button1Click()
{
    if (!acceptable())
        return;
    OkPressed = true;
    accept();
}

void OkCancelDialog::Button2Click()
{
    reject();
}

// The close box and Escape end here too: a dialog left without OK must never act on an
// earlier OK.
void OkCancelDialog::reject()
{
    OkPressed = false;
    QDialog::reject();
}

} // namespace qova::report
