#include "commdialog.h"

#include "operator.h"
#include "settingsfile.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace qova::app {

TForm4::TForm4(ui::SharedState &state, QString portFile, QWidget *mainWindow, QWidget *parent)
    : QDialog(parent), state_(state), portFile_(std::move(portFile)), mainWindow_(mainWindow)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("QOVA"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    GroupBox1 = new QGroupBox(QStringLiteral("Serialport"), this);
    auto *radios = new QVBoxLayout(GroupBox1);
    QRadioButton **buttons[] = {&RadioButton1, &RadioButton2, &RadioButton3, &RadioButton4};
    for (int i = 0; i < 4; ++i) {
        auto *r = new QRadioButton(QStringLiteral("COM%1").arg(i + 1), GroupBox1);
        r->setObjectName(QStringLiteral("RadioButton%1").arg(i + 1));
        radios->addWidget(r);
        connect(r, &QRadioButton::clicked, this, [this, i] { selectedPort_ = i + 1; });
        *buttons[i] = r;
    }
    RadioButton1->setChecked(true);

    Button1 = new QPushButton(QStringLiteral("&OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new QPushButton(QStringLiteral("&CANCEL"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    connect(Button1, &QPushButton::clicked, this, &TForm4::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm4::Button2Click);

    auto *row = new QHBoxLayout;
    row->addWidget(Button1);
    row->addWidget(Button2);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox1);
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QRadioButton *TForm4::radio(int port) const
{
    switch (port) {
    case 2:
        return RadioButton2;
    case 3:
        return RadioButton3;
    case 4:
        return RadioButton4;
    default:
        return RadioButton1;
    }
}

void TForm4::Prepare()
{
    selectedPort_ = state_.port.PortNumber;
    radio(selectedPort_)->setChecked(true);
}

void TForm4::COMM1Click()
{
    Prepare();
    exec();
}

void TForm4::Button1Click()
{
    if (WritePortFile(portFile_, selectedPort_))
        state_.port.PortNumber = selectedPort_;
    else
        state_.op->message(this, QStringLiteral("QOVA"), QStringLiteral("can not open file"), ui::Icon::None,
                           ui::Buttons::Ok);
    if (mainWindow_ != nullptr)
        mainWindow_->setWindowTitle(CommDialogCaption(state_.port.PortNumber));
    accept();
}

void TForm4::Button2Click()
{
    reject();
}

} // namespace qova::app
