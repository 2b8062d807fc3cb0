#include "report/ui/recorddialog.h"

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

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);
    Panel1->setGeometry(8, 8, 289, 268);

    QFont bold = font();
    bold.setBold(true);

    RadioGroup1 = new QGroupBox(QStringLiteral("Record"), Panel1);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    RadioGroup1->setFont(bold);
    RadioGroup1->setGeometry(40, 24, 209, 130);
    RadioButton1 = new QRadioButton(QStringLiteral("ON"), RadioGroup1);
    RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
    RadioButton1->setGeometry(40, 36, 120, 28);
    RadioButton2 = new QRadioButton(QStringLiteral("OFF"), RadioGroup1);
    RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
    RadioButton2->setGeometry(40, 80, 120, 28);

    Button1 = new QPushButton(QStringLiteral("&OK"), Panel1);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setFont(bold);
    Button1->setGeometry(40, 196, 90, 30);
    Button2 = new QPushButton(QStringLiteral("&CANCEL"), Panel1);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setFont(bold);
    Button2->setGeometry(159, 196, 90, 30);

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
