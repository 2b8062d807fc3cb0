#include "app/ui/aboutbox.h"

#include "app/settingsfile.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace qova::app {

namespace {
QLabel *blueText(const QString &text, int pointSize, bool bold, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    QFont f = label->font();
    f.setPointSize(pointSize);
    f.setBold(bold);
    label->setFont(f);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, QColor(0x00, 0x00, 0xff));
    label->setPalette(p);
    label->setAlignment(Qt::AlignCenter);
    return label;
}
} // namespace

TForm5::TForm5(const ui::SharedState &state, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(StartupCaption(state.port.PortNumber));

    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto *texts = new QVBoxLayout(panel);
    texts->setContentsMargins(24, 18, 24, 18);
    texts->addWidget(blueText(QStringLiteral("AUTOMOTIVE"), 26, true, panel));
    texts->addWidget(blueText(QStringLiteral("Ver-2.03 Firmware Version 4.4"), 10, false, panel));
    texts->addWidget(blueText(QStringLiteral("\u00a9 VESK INSTRUMENTS"), 10, false, panel));

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("&OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(panel);
    layout->addWidget(BitBtn1, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace qova::app
