#include "config/ui/headerdialog.h"

#include "config/configframes.h"
#include "ui/commfailure.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qova::config {

TForm6::TForm6(ui::SharedState &state, QWidget *parent) : ConfigDialog(state, parent)
{
    setWindowTitle(QStringLiteral("QOVA"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    Panel1 = new QFrame(this);
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);

    auto line = [this](const char *caption, const char *start, QLabel *&label, QLineEdit *&edit) {
        label = new QLabel(QString::fromLatin1(caption), Panel1);
        label->setFrameShape(QFrame::NoFrame);
        edit = new QLineEdit(QString::fromLatin1(start), Panel1);
        edit->setMaxLength(kHeaderEditLength);
        // Room for the 24 characters the box takes.
        edit->setMinimumWidth(edit->fontMetrics().averageCharWidth() * (kHeaderEditLength + 2));
        label->setBuddy(edit);
    };
    line("LINE1", "       ", StaticText1, Edit1);
    line("LINE2", "  ", StaticText2, Edit2);

    Button1 = new QPushButton(QStringLiteral("&SEND"), Panel1);
    QPalette yellow = Button1->palette();
    yellow.setColor(QPalette::ButtonText, Qt::yellow);
    Button1->setPalette(yellow);

    auto *grid = new QGridLayout(Panel1);
    grid->addWidget(StaticText1, 0, 0);
    grid->addWidget(Edit1, 0, 1);
    grid->addWidget(StaticText2, 1, 0);
    grid->addWidget(Edit2, 1, 1);
    grid->addWidget(Button1, 2, 0, 1, 2, Qt::AlignHCenter);

    auto *outer = new QVBoxLayout(this);
    outer->addWidget(Panel1);

    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, Button1);
    enterMovesTo(Edit1, Edit2);
    enterMovesTo(Edit2, Button1);

    const std::pair<QWidget *, const char *> names[] = {{Panel1, "Panel1"}, {StaticText1, "StaticText1"},
                                                        {Edit1, "Edit1"},   {StaticText2, "StaticText2"},
                                                        {Edit2, "Edit2"},   {Button1, "Button1"}};
    for (const auto &[w, name] : names)
        w->setObjectName(QString::fromLatin1(name));

    connect(Button1, &QPushButton::clicked, this, &TForm6::Button1Click);
}

void TForm6::Button1Click()
{
    if (sending())
        return;
    const Done sent = [this] {
        SendGuard guard(*this);
        return SendHeaderLines(state_.port, Edit1->text(), Edit2->text());
    }();
    if (!sent.ok() && !state_.port.PortOpen)
        tell(QStringLiteral("Communication failed try again 1"), ui::Icon::None, ui::FailureDetail(sent.problem()));
    else if (!sent.ok())
        tell(QStringLiteral("Communication failed try again 2"), ui::Icon::None, ui::NoAnswerDetail(state_.port));
    done(sent.ok() ? Accepted : Rejected);
}

} // namespace qova::config
