#include "config/ui/calibrationdialog.h"

#include "config/configframes.h"
#include "ui/commfailure.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qova::config {

TForm10::TForm10(ui::SharedState &state, QWidget *parent) : ConfigDialog(state, parent)
{
    setWindowTitle(QStringLiteral("CALIBRATION"));

    auto label = [this](const char *text, bool bold) {
        auto *l = new QLabel(QString::fromLatin1(text), this);
        if (bold) {
            QFont f = l->font();
            f.setBold(true);
            l->setFont(f);
        }
        return l;
    };
    Label1 = label("Enter Gas Cylinder Values as Follows:-", true);
    Label2 = label("Cylinder Value                     Enter", false);
    Label3 = label("CO                  3.50%                         350", false);
    Label4 = label("CO2                13.80%                        1380", false);
    Label5 = label("HC(Propane)   2200ppm                     2200", false);
    Label6 = label("NO                   1000ppm                    1000", false);
    StaticText1 = label("CO", true);
    StaticText2 = label("CO2", true);
    StaticText3 = label("HC", true);
    StaticText4 = label("NO", true);

    auto edit = [this](QLabel *buddy) {
        auto *e = new QLineEdit(QStringLiteral("0000"), this);
        buddy->setBuddy(e);
        return e;
    };
    Edit1 = edit(StaticText1);
    Edit2 = edit(StaticText2);
    Edit3 = edit(StaticText3);
    Edit4 = edit(StaticText4);
    Button1 = new QPushButton(QStringLiteral("&SEND"), this);
    Button2 = new QPushButton(QStringLiteral("&CANCEL"), this);

    auto *guide = new QVBoxLayout;
    for (QLabel *l : {Label2, Label3, Label4, Label5, Label6})
        guide->addWidget(l);

    auto *values = new QGridLayout;
    const std::array<QLabel *, 4> gasNames = {StaticText1, StaticText2, StaticText3, StaticText4};
    for (int i = 0; i < 4; ++i) {
        values->addWidget(gasNames[static_cast<std::size_t>(i)], i, 0);
        values->addWidget(edits()[static_cast<std::size_t>(i)], i, 1);
    }
    values->setColumnStretch(2, 1);

    auto *middle = new QHBoxLayout;
    middle->addLayout(guide);
    middle->addSpacing(24);
    middle->addLayout(values);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    buttons->addStretch();

    auto *outer = new QVBoxLayout(this);
    outer->addWidget(Label1);
    outer->addLayout(middle);
    outer->addSpacing(8);
    outer->addLayout(buttons);

    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, Edit3);
    setTabOrder(Edit3, Edit4);
    setTabOrder(Edit4, Button1);
    setTabOrder(Button1, Button2);
    enterMovesTo(Edit1, Edit2);
    enterMovesTo(Edit2, Edit3);
    enterMovesTo(Edit3, Edit4);
    enterMovesTo(Edit4, Button1);

    const std::pair<QWidget *, const char *> names[] = {{Label1, "Label1"},
                                                        {Label2, "Label2"},
                                                        {Label3, "Label3"},
                                                        {Label4, "Label4"},
                                                        {Label5, "Label5"},
                                                        {Label6, "Label6"},
                                                        {StaticText1, "StaticText1"},
                                                        {StaticText2, "StaticText2"},
                                                        {StaticText3, "StaticText3"},
                                                        {StaticText4, "StaticText4"},
                                                        {Edit1, "Edit1"},
                                                        {Edit2, "Edit2"},
                                                        {Edit3, "Edit3"},
                                                        {Edit4, "Edit4"},
                                                        {Button1, "Button1"},
                                                        {Button2, "Button2"}};
    for (const auto &[w, name] : names)
        w->setObjectName(QString::fromLatin1(name));

    connect(Button1, &QPushButton::clicked, this, &TForm10::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm10::Button2Click);
}

void TForm10::Button1Click()
{
    if (sending())
        return;
    CalibrationValues values{};
    for (std::size_t i = 0; i < kCalibrationGases.size(); ++i) {
        QLineEdit *box = edits()[i];
        const auto value = ParseCalibrationValue(box->text());
        if (!value) {
            tell(CalibrationRangeMessage(kCalibrationGases[i].gas), ui::Icon::Warning);
            box->setFocus(Qt::OtherFocusReason);
            box->selectAll();
            return;
        }
        values[i] = *value;
    }

    const Done sent = [this, &values] {
        SendGuard guard(*this);
        WaitCursor wait;
        return SendCalibration(state_.port, values);
    }();
    if (!sent.ok())
        tell(QStringLiteral("Communication failed try again 3"), ui::Icon::None, ui::NoAnswerDetail(state_.port));
    done(sent.ok() ? Accepted : Rejected);
}

void TForm10::Button2Click()
{
    reject();
}

} // namespace qova::config
