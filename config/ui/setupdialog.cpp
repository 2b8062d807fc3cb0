#include "config/ui/setupdialog.h"

#include "ui/commfailure.h"

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace qova::config {

namespace {
QGroupBox *group(QWidget *parent, const QString &title, std::initializer_list<QRadioButton **> buttons,
                 std::initializer_list<const char *> captions)
{
    auto *box = new QGroupBox(title, parent);
    auto *layout = new QVBoxLayout(box);
    auto caption = captions.begin();
    for (QRadioButton **b : buttons) {
        *b = new QRadioButton(QString::fromLatin1(*caption++), box);
        layout->addWidget(*b);
    }
    layout->addStretch();
    return box;
}
} // namespace

TSETUP::TSETUP(ui::SharedState &state, QWidget *parent) : ConfigDialog(state, parent)
{
    setWindowTitle(QStringLiteral("SETUP"));

    Panel1 = new QFrame(this);
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);

    Label1 = new QLabel(QStringLiteral("Date and Time Same AS PC"), Panel1);
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);

    GroupBox1 =
        group(Panel1, QStringLiteral("FUEL"), {&RadioButton1, &RadioButton2, &RadioButton3}, {"PETROL", "CNG", "LPG"});
    GroupBox3 = group(Panel1, QStringLiteral("DISPLAY"), {&RadioButton7, &RadioButton8, &RadioButton9},
                      {"LINE", "4 PAGE", "8 PAGE"});
    EFF = group(Panel1, QStringLiteral("EFF"), {&RadioButton10, &RadioButton11}, {"LAMBDA", "AFR"});
    TEMP = group(Panel1, QStringLiteral("TEMP"), {&RadioButton12, &RadioButton13}, {"C", "F"});
    RadioButton1->setChecked(true);
    RadioButton7->setChecked(true);
    RadioButton10->setChecked(true);
    RadioButton12->setChecked(true);

    Label2 = new QLabel(QStringLiteral("RPM"), Panel1);
    ComboBox1 = new QComboBox(Panel1);
    ComboBox1->setEditable(true);
    // Typing must not grow the list: the item's position is what the analyser gets.
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setMaxVisibleItems(9);
    ComboBox1->addItems(RpmModeNames());
    ComboBox1->setCurrentIndex(0);
    Label2->setBuddy(ComboBox1);

    Button1 = new QPushButton(QStringLiteral("&SEND"), Panel1);
    Button2 = new QPushButton(QStringLiteral("&CANCEL"), Panel1);

    auto *groups = new QHBoxLayout;
    groups->addWidget(GroupBox1);
    groups->addWidget(GroupBox3);
    groups->addWidget(EFF);
    groups->addWidget(TEMP);

    auto *rpm = new QHBoxLayout;
    rpm->addWidget(Label2);
    rpm->addWidget(ComboBox1, 1);
    rpm->addStretch(1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    buttons->addStretch();

    auto *panel = new QVBoxLayout(Panel1);
    panel->addWidget(Label1, 0, Qt::AlignHCenter);
    panel->addLayout(groups);
    panel->addLayout(rpm);
    panel->addSpacing(8);
    panel->addLayout(buttons);

    auto *outer = new QVBoxLayout(this);
    outer->addWidget(Panel1);

    onClick(RadioButton1, [](std::uint8_t f) { return WithFuel(f, Fuel::Petrol); });
    onClick(RadioButton2, [](std::uint8_t f) { return WithFuel(f, Fuel::Cng); });
    onClick(RadioButton3, [](std::uint8_t f) { return WithFuel(f, Fuel::Lpg); });
    onClick(RadioButton7, [](std::uint8_t f) { return WithDisplayLayout(f, DisplayLayout::Line); });
    onClick(RadioButton8, [](std::uint8_t f) { return WithDisplayLayout(f, DisplayLayout::FourPage); });
    onClick(RadioButton9, [](std::uint8_t f) { return WithDisplayLayout(f, DisplayLayout::EightPage); });
    onClick(RadioButton10, [](std::uint8_t f) { return WithAfr(f, false); });
    onClick(RadioButton11, [](std::uint8_t f) { return WithAfr(f, true); });
    onClick(RadioButton12, [](std::uint8_t f) { return WithFahrenheit(f, false); });
    onClick(RadioButton13, [](std::uint8_t f) { return WithFahrenheit(f, true); });

    const std::pair<QWidget *, const char *> names[] = {{Panel1, "Panel1"},
                                                        {Label1, "Label1"},
                                                        {GroupBox1, "GroupBox1"},
                                                        {RadioButton1, "RadioButton1"},
                                                        {RadioButton2, "RadioButton2"},
                                                        {RadioButton3, "RadioButton3"},
                                                        {GroupBox3, "GroupBox3"},
                                                        {RadioButton7, "RadioButton7"},
                                                        {RadioButton8, "RadioButton8"},
                                                        {RadioButton9, "RadioButton9"},
                                                        {EFF, "EFF"},
                                                        {RadioButton10, "RadioButton10"},
                                                        {RadioButton11, "RadioButton11"},
                                                        {TEMP, "TEMP"},
                                                        {RadioButton12, "RadioButton12"},
                                                        {RadioButton13, "RadioButton13"},
                                                        {Label2, "Label2"},
                                                        {ComboBox1, "ComboBox1"},
                                                        {Button1, "Button1"},
                                                        {Button2, "Button2"}};
    for (const auto &[w, name] : names)
        w->setObjectName(QString::fromLatin1(name));

    connect(Button1, &QPushButton::clicked, this, &TSETUP::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TSETUP::Button2Click);
}

void TSETUP::onClick(QRadioButton *button, std::uint8_t (*change)(std::uint8_t))
{
    // On being checked, however that came about (a click, the arrow keys, an accelerator).
    connect(button, &QRadioButton::toggled, this, [this, change](bool checked) {
        if (checked)
            SetupFlags_ = change(SetupFlags_);
    });
}

int TSETUP::rpmMode() const
{
    // An editable box can hold text that is no item; the analyser then gets "no mode".
    return ComboBox1->findText(ComboBox1->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

void TSETUP::showEvent(QShowEvent *event)
{
    RadioButton1->setText(state_.UsLocale ? QStringLiteral("GASOLINE") : QStringLiteral("PETROL"));
    ConfigDialog::showEvent(event);
}

void TSETUP::Button1Click()
{
    if (sending())
        return;
    const Done sent = [this] {
        SendGuard guard(*this);
        WaitCursor wait;
        return SendSetup(state_.port, SetupFlags_, rpmMode(), state_.now);
    }();
    if (sent.ok())
        accept();
    else
        tell(QStringLiteral("Communication failed try again 2"), ui::Icon::None, ui::NoAnswerDetail(state_.port));
}

void TSETUP::Button2Click()
{
    reject();
}

} // namespace qova::config
