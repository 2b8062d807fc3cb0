#include "report/ui/recorddialog.h"

#include "ui/placed.h"
#include "ui/sharedstate.h"

#include <QFrame>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>

namespace qova::report {

TForm12::TForm12(const ui::SharedState &state, QWidget *parent) : OkCancelDialog(parent), state_(state)
{
    setObjectName(QStringLiteral("Form12"));
    setWindowTitle(QStringLiteral("Form12"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(305, 284);

    Panel1 = ui::Placed<QFrame>("Panel1", {8, 8, 289, 268}, this);
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);

    QFont bold = font();
    bold.setBold(true);

    RadioGroup1 = ui::Placed<QGroupBox>("RadioGroup1", {40, 24, 209, 130}, QStringLiteral("Record"), Panel1);
    RadioGroup1->setFont(bold);
    RadioButton1 = ui::Placed<QRadioButton>("RadioButton1", {40, 36, 120, 28}, QStringLiteral("ON"), RadioGroup1);
    RadioButton2 = ui::Placed<QRadioButton>("RadioButton2", {40, 80, 120, 28}, QStringLiteral("OFF"), RadioGroup1);

    Button1 = ui::Placed<QPushButton>("Button1", {40, 196, 90, 30}, QStringLiteral("&OK"), Panel1);
    Button1->setFont(bold);
    Button2 = ui::Placed<QPushButton>("Button2", {159, 196, 90, 30}, QStringLiteral("&CANCEL"), Panel1);
    Button2->setFont(bold);

    connectButtons();
    FormShow();
}

void TForm12::showEvent(QShowEvent *event)
{
    FormShow();
    OkCancelDialog::showEvent(event);
}

void TForm12::FormShow()
{
    if (state_.Recording)
        RadioButton1->setChecked(true);
    else
        RadioButton2->setChecked(true);
}

} // namespace qova::report
