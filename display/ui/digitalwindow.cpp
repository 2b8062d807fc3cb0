#include "display/ui/digitalwindow.h"

#include "display/clamp.h"
#include "link/livesession.h"
#include "resources/glyphs.h"
#include "ui/analyserprompt.h"
#include "ui/commfailure.h"
#include "ui/operator.h"

#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>

namespace qova::display {

namespace {

// Every 2 s; the first cycle one second after the show, when the first answer is in; a
// pause of 2 ms between the open and the first poll; "No Response" after four failures.
const link::LiveSession::Options kPolling{
    .periodMs = 2000, .firstCycleMs = 1000, .settleMs = 2, .prompts = true, .noResponseAfter = 3};
constexpr int kStatusBarHeight = 22;

const QString kAppCaption = QStringLiteral("QOVA");

const QColor kBackground(0x26, 0x29, 0x2d);
const QColor kBezel(0x3a, 0x3e, 0x44);
const QColor kLime(0x00, 0xff, 0x00);
const QColor kLabelText(0xb8, 0xe8, 0xc0);

QFont boldFont(const QFont &base, int pixelHeight)
{
    QFont f = base;
    f.setBold(true);
    f.setPixelSize(pixelHeight);
    return f;
}

// The panels and buttons have fixed sizes; a wider system font than the one they were
// drawn for would clip their longest text, so the font gives way a pixel at a time.
QFont fitting(QFont f, const QString &longest, int width)
{
    while (f.pixelSize() > 8 && QFontMetrics(f).horizontalAdvance(longest) > width)
        f.setPixelSize(f.pixelSize() - 1);
    return f;
}

// Black with lime lettering in a double lowered bevel, as the value panels of the analyser.
QLabel *valuePanel(QWidget *parent, const QString &name, QSize size, int fontPixels)
{
    auto *panel = new QLabel(parent);
    panel->setObjectName(name);
    panel->resize(size);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setLineWidth(2);
    panel->setMidLineWidth(0);
    panel->setAutoFillBackground(true);
    QPalette pal = panel->palette();
    pal.setColor(QPalette::Window, Qt::black);
    pal.setColor(QPalette::WindowText, kLime);
    panel->setPalette(pal);
    panel->setIndent(fontPixels > 20 ? 3 : 6);
    const QString longest = fontPixels > 20 ? QStringLiteral("NOx: 0000") : QStringLiteral("TIME TO ZERO 000");
    panel->setFont(fitting(boldFont(parent->font(), fontPixels), longest, size.width() - 2 * 2 - 2 * panel->indent()));
    panel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return panel;
}

} // namespace

TForm2::TForm2(ui::SharedState &state, QWidget *parent) : QDialog(parent), state_(state)
{
    setObjectName(QStringLiteral("Form2"));
    // No caption buttons: the window is left through its Main Menu button.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);

    for (int i = 0; i < kGlyphCount; ++i)
        DigitBitmaps[static_cast<std::size_t>(i)] = resources::LoadDigitGlyph(i);
    glyphSize_ = {DigitBitmaps[0].width(), DigitBitmaps[0].height(), DigitBitmaps[kPointGlyph].width()};

    buildControls();
    listenToSession();
    applyLayout(screen() != nullptr ? screen()->geometry().width() : 1024);
    placeStatusBar();
    // Last: Windows makes the native window for it and resizes it at once, which must find
    // every control in place.
    setWindowState(Qt::WindowMaximized);
}

TForm2::~TForm2()
{
    FormClose();
}

void TForm2::buildControls()
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kBackground);
    pal.setColor(QPalette::WindowText, QColor(0xe8, 0xe8, 0xe8));
    pal.setColor(QPalette::Button, QColor(0x4a, 0x50, 0x58));
    pal.setColor(QPalette::ButtonText, QColor(0xf4, 0xf4, 0xf4));
    pal.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x88, 0x8c, 0x92));
    pal.setColor(QPalette::Light, QColor(0x6a, 0x70, 0x78));
    pal.setColor(QPalette::Midlight, QColor(0x55, 0x5b, 0x62));
    pal.setColor(QPalette::Mid, QColor(0x30, 0x33, 0x38));
    pal.setColor(QPalette::Dark, QColor(0x18, 0x1a, 0x1d));
    pal.setColor(QPalette::Shadow, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);

    const char *labelTexts[] = {"% CO", "% CO2", "% O2", "HC ppm"};
    const int labelPixels[] = {11, 11, 13, 11};
    for (int i = 0; i < 4; ++i) {
        auto *label = new QLabel(QString::fromLatin1(labelTexts[i]), this);
        label->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        label->setFont(boldFont(font(), labelPixels[i]));
        QPalette lp = label->palette();
        lp.setColor(QPalette::WindowText, kLabelText);
        label->setPalette(lp);
        label->adjustSize();
        labels_[static_cast<std::size_t>(i)] = label;
    }

    Panel8 = new QFrame(this);
    Panel8->setObjectName(QStringLiteral("Panel8"));
    Panel8->resize(690, 115);
    Panel8->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel8->setLineWidth(2);
    Panel8->setAutoFillBackground(true);
    QPalette p8 = Panel8->palette();
    p8.setColor(QPalette::Window, kBezel);
    Panel8->setPalette(p8);

    const PanelTexts initial = InitialPanelTexts();
    for (int i = 0; i < 7; ++i) {
        const bool nox = i == 6;
        panels_[static_cast<std::size_t>(i)] = valuePanel(this, QStringLiteral("Panel%1").arg(i + 1),
                                                          nox ? QSize(190, 68) : QSize(140, 34), nox ? 32 : 13);
    }
    setPanelTexts(initial);
    setSpokenTexts(SpokenFiguresBeforeReading(), {});

    Panel9 = new QFrame(this);
    Panel9->setObjectName(QStringLiteral("Panel9"));
    Panel9->resize(kPanel9Width, 50);
    Panel9->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel9->setLineWidth(2);
    Panel9->setAutoFillBackground(true);
    Panel9->setPalette(p8);
    struct Spec {
        QPushButton **button;
        const char *name;
        const char *caption;
        int left;
    };
    const Spec buttons[] = {
        {&Button1, "Button1", "&Main Menu", 9},     {&Button2, "Button2", "&Print", 92},
        {&Button5, "Button5", "&Record", 176},      {&Button3, "Button3", "P&ump", 259},
        {&Button4, "Button4", "&Zero", 343},        {&Button7, "Button7", "&Setup", 426},
        {&Button8, "Button8", "&Calibration", 510}, {&Button9, "Button9", "R&esetcal", 593},
    };
    const QFont buttonFont = fitting(boldFont(font(), 12), QStringLiteral("Calibration"), 75 - 10);
    // Windows's own style draws a button's face from the system theme and only its caption
    // from the palette: light on light. Fusion draws both from the palette on every system.
    QStyle *buttonStyle = QStyleFactory::create(QStringLiteral("Fusion"));
    if (buttonStyle)
        buttonStyle->setParent(this);
    for (const Spec &s : buttons) {
        auto *b = new QPushButton(QString::fromLatin1(s.caption), Panel9);
        if (buttonStyle)
            b->setStyle(buttonStyle);
        b->setObjectName(QString::fromLatin1(s.name));
        b->setGeometry(s.left, 16, 75, 25);
        b->setFont(buttonFont);
        b->setAutoDefault(false);
        *s.button = b;
    }
    connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
    connect(Button3, &QPushButton::clicked, this, &TForm2::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TForm2::Button4Click);
    connect(Button9, &QPushButton::clicked, this, &TForm2::Button9Click);
    connect(Button2, &QPushButton::clicked, this, [this] { runButton(Button::Print); });
    connect(Button5, &QPushButton::clicked, this, [this] { runButton(Button::Record); });
    connect(Button7, &QPushButton::clicked, this, [this] { runButton(Button::Setup); });
    connect(Button8, &QPushButton::clicked, this, [this] { runButton(Button::Calibration); });
    for (Button b : {Button::Print, Button::Record, Button::Setup, Button::Calibration})
        button(b)->setEnabled(false);

    StatusBar1 = new QFrame(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setAutoFillBackground(true);
    QPalette sp = StatusBar1->palette();
    sp.setColor(QPalette::Window, QColor(0x1c, 0x1e, 0x21));
    sp.setColor(QPalette::WindowText, QColor(0xe0, 0xf0, 0xe0));
    StatusBar1->setPalette(sp);
    const QString initialStatus[] = {QString(), QString::fromLatin1(kCommunicationOk), QStringLiteral("Pump: OFF")};
    for (int i = 0; i < 3; ++i) {
        auto *panel = new QLabel(initialStatus[i], StatusBar1);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setLineWidth(1);
        panel->setFont(boldFont(font(), 12));
        panel->setIndent(4);
        if (i == 0)
            panel->setAlignment(Qt::AlignCenter);
        panel->setAccessibleName(QString::fromLatin1(kStatusPanelNames[static_cast<std::size_t>(i)]));
        statusPanels_[static_cast<std::size_t>(i)] = panel;
    }
}

void TForm2::applyLayout(int screenWidth)
{
    screenWidth_ = screenWidth;
    layout_ = ComputeLayout(screenWidth, glyphSize_);
    const DisplayLayout &l = layout_;
    labels_[0]->move(l.label1);
    labels_[1]->move(l.label2);
    labels_[2]->move(l.label3);
    labels_[3]->move(l.label4);
    Panel8->move(l.panel8);
    Panel9->move(l.panel9);
    const QPoint panels[] = {l.panel1, l.panel2, l.panel3, l.panel4, l.panel5, l.panel6, l.panel7};
    for (int i = 0; i < 7; ++i)
        panels_[static_cast<std::size_t>(i)]->move(panels[i]);
    // The figures move with the screen; what the last frame showed is drawn at the new place.
    if (!figures_.empty())
        figures_ = FigureGlyphs(Reading, layout_, glyphSize_);
}

void TForm2::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    placeStatusBar();
}

void TForm2::placeStatusBar()
{
    if (StatusBar1 == nullptr)
        return;
    StatusBar1->setGeometry(0, height() - kStatusBarHeight, width(), kStatusBarHeight);
    const int third = StatusBar1->width() / 3;
    for (int i = 0; i < 3; ++i)
        statusPanels_[static_cast<std::size_t>(i)]->setGeometry(i * third, 1, third, kStatusBarHeight - 2);
}

void TForm2::setButtonHandler(Button b, std::function<void()> handler)
{
    const bool enabled = static_cast<bool>(handler);
    handlers_[b] = std::move(handler);
    button(b)->setEnabled(enabled);
}

QPushButton *TForm2::button(Button b) const
{
    switch (b) {
    case Button::Print:
        return Button2;
    case Button::Record:
        return Button5;
    case Button::Setup:
        return Button7;
    case Button::Calibration:
        return Button8;
    }
    return Button2;
}

QString TForm2::statusText(int panel) const
{
    return statusPanels_.at(static_cast<std::size_t>(panel))->text();
}

QString TForm2::panelText(int panel) const
{
    return panels_.at(static_cast<std::size_t>(panel))->text();
}

void TForm2::setPanelTexts(const PanelTexts &texts)
{
    for (std::size_t i = 0; i < texts.size(); ++i)
        panels_[i]->setText(texts[i]);
}

void TForm2::setStatus(int panel, const QString &text)
{
    statusPanels_.at(static_cast<std::size_t>(panel))->setText(text);
}

void TForm2::setVisible(bool visible)
{
    // Fill the screen even where no window manager honours the maximised state.
    if (visible && !isVisible() && screen() != nullptr)
        setGeometry(screen()->availableGeometry());
    QDialog::setVisible(visible);
}

void TForm2::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TForm2::hideEvent(QHideEvent *event)
{
    if (!event->spontaneous())
        FormClose();
    QDialog::hideEvent(event);
}

void TForm2::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void TForm2::listenToSession()
{
    using link::LiveSession;
    session_.listen(&LiveSession::validFrame, this, &TForm2::showValidFrame);
    session_.listen(&LiveSession::invalidFrame, this, &TForm2::showInvalidFrame);
    session_.listen(&LiveSession::promptRaised, this, &TForm2::askPrompt);
    session_.listen(&LiveSession::zeroingUnderway, this,
                    [this] { setStatus(0, QString::fromLatin1(kZeroingSensors)); });
    session_.listen(&LiveSession::readingReady, this, &TForm2::showReading);
    session_.listen(&LiveSession::noResponse, this, &TForm2::tellNoResponse);
}

void TForm2::FormShow()
{
    setWindowTitle(QStringLiteral("QOVA    ") + link::PortCaptionName(state_.port));
    if (screen() != nullptr)
        applyLayout(screen()->geometry().width());
    figures_.clear();
    setSpokenTexts(SpokenFiguresBeforeReading(), {});
    shown_ = true;

    if (const Done taken = session_.take(kPolling); !taken.ok()) {
        ui::TellSessionFailure(*state_.op, this, taken.problem());
        Reading = {};
        // Closing from inside the show would leave a modal loop running on a hidden window.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (isVisible())
                    done(QDialog::Rejected);
            },
            Qt::QueuedConnection);
        return;
    }
    Reading = {};
}

void TForm2::FormClose()
{
    // Whatever way the window is left, and only once per show.
    if (!shown_)
        return;
    shown_ = false;
    session_.giveBack();
    if (state_.Recording) {
        if (state_.stopRecording)
            state_.stopRecording();
        state_.Recording = false;
    }
    Reading = {};
}

void TForm2::showValidFrame(const link::LiveReading &reading)
{
    setStatus(1, QString::fromLatin1(kCommunicationOk));
    // Rows hold the values as received, before the display's limits.
    if (state_.Recording && state_.recordReading)
        state_.recordReading(reading);
    Reading = reading;
    ClampForDisplay(Reading);
    setStatus(2, PumpText(Reading));
    setStatus(0, PowerText(Reading));
}

void TForm2::showInvalidFrame()
{
    // The print-out takes the last frame as read, valid or not.
    Reading = state_.session.lastFrame();
    setStatus(1, QString::fromLatin1(kCommunicationError));
}

void TForm2::askPrompt(const link::Prompt &prompt)
{
    ui::AskAnalyserPrompt(*state_.op, this, state_.session, prompt);
}

void TForm2::showReading()
{
    figures_ = FigureGlyphs(Reading, layout_, glyphSize_);
    setPanelTexts(FormatPanelTexts(Reading, state_.UsLocale));
    setSpokenTexts(SpokenFigures(Reading), SpokenPanels(Reading, state_.UsLocale));
    update();
}

void TForm2::setSpokenTexts(const SpokenFigureTexts &figures, const PanelTexts &panels)
{
    // The figures are painted, not text: their labels carry what a screen reader says.
    for (std::size_t i = 0; i < labels_.size(); ++i)
        labels_[i]->setAccessibleName(figures[i]);
    for (std::size_t i = 0; i < panels_.size(); ++i)
        panels_[i]->setAccessibleName(panels[i]);
}

QString TForm2::spokenFigure(int figure) const
{
    return labels_.at(static_cast<std::size_t>(figure))->accessibleName();
}

QString TForm2::spokenPanel(int panel) const
{
    return panels_.at(static_cast<std::size_t>(panel))->accessibleName();
}

void TForm2::tellNoResponse()
{
    state_.op->message(this, kAppCaption, QStringLiteral(" No Response From Analyser "), ui::Icon::None,
                       ui::Buttons::Ok);
}

void TForm2::Button1Click()
{
    done(QDialog::Accepted);
}

void TForm2::Button3Click()
{
    state_.session.send(link::kPumpCommand);
    state_.session.skipNextTick();
}

void TForm2::Button4Click()
{
    state_.session.send(link::kZeroCommand);
    state_.session.skipNextTick();
}

void TForm2::Button9Click()
{
    state_.session.hold();
    if (state_.op->message(this, QStringLiteral("   Resetcal"), QStringLiteral("Are you sure ?"), ui::Icon::Question,
                           ui::Buttons::YesNo) == ui::Answer::Yes)
        state_.session.send(link::kResetCalCommand);
    state_.session.resume();
    state_.session.skipNextTick();
}

void TForm2::runButton(Button b)
{
    const auto it = handlers_.find(b);
    if (it == handlers_.end() || !it->second)
        return;
    // The dialogs these open are modal, and Setup and Calibration talk to the analyser
    // over this window's port: no poll may run meanwhile.
    state_.session.hold();
    const auto handler = it->second;
    handler();
    state_.session.resume();
    if (b == Button::Setup || b == Button::Calibration)
        state_.session.skipNextTick();
}

void TForm2::paintEvent(QPaintEvent *event)
{
    QDialog::paintEvent(event);
    QPainter p(this);
    const DisplayLayout &l = layout_;
    const GlyphSize &g = glyphSize_;
    // The display glass behind the four figures.
    const int left = l.x0 - 18;
    const int right = l.x0 + 8 * g.w + 2 * g.p + 20 + 18;
    const QRect glass(left, 1, right - left, 2 * g.h + 40 + 6);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x55, 0x5a, 0x60), 2));
    p.setBrush(Qt::black);
    p.drawRoundedRect(glass, 8, 8);
    p.setRenderHint(QPainter::Antialiasing, false);
    // O2 and HC stand only a few pixels apart: a faint rule keeps the two readings apart.
    const int rule = l.x0 + 4 * g.w + g.p + 20 - 7;
    p.setPen(QPen(QColor(0x30, 0x34, 0x38), 2));
    p.drawLine(rule, 14, rule, 2 * g.h + 40);
    for (const PlacedGlyph &glyph : figures_)
        p.drawImage(glyph.at, DigitBitmaps[static_cast<std::size_t>(glyph.glyph)]);
}

} // namespace qova::display
