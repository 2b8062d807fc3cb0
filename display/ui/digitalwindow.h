#pragma once

#include "display/digits.h"
#include "display/texts.h"
#include "ui/sharedstate.h"

#include <QDialog>
#include <QImage>
#include <QMetaObject>
#include <array>
#include <functional>
#include <map>
#include <vector>

class QFrame;
class QLabel;
class QPushButton;

namespace qova::display {

// The digital live display: the four main gases as large seven-segment figures, the
// other values in text panels, the analyser's state in the status bar, and the buttons
// that talk to the analyser. Shown modally; while it is shown it runs the shared live
// session (polling every 2 s, with the analyser's prompts) and shows what it signals.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(ui::SharedState &state, QWidget *parent = nullptr);
    ~TForm2() override;

    // Print, Record, Setup and Calibration open windows built elsewhere. A button
    // without a handler is disabled.
    enum class Button { Print, Record, Setup, Calibration };
    void setButtonHandler(Button button, std::function<void()> handler);

    // The reading of the last frame, valid or not, as the print-out finds it.
    const link::LiveReading &reading() const { return Reading; }

    // Handlers; the window runs them itself, tests may call them directly.
    void FormShow();
    void FormClose();
    void Button1Click(); // Main Menu
    void Button3Click(); // Pump
    void Button4Click(); // Zero
    void Button9Click(); // Resetcal

    QString statusText(int panel) const;
    QString panelText(int panel) const; // 0 is Panel1 ... 6 is Panel7
    // What a screen reader says for a large figure (0 CO, 1 CO2, 2 O2, 3 HC) and a panel.
    QString spokenFigure(int figure) const;
    QString spokenPanel(int panel) const;
    // What the next paint draws: the figures of the last valid frame.
    const std::vector<PlacedGlyph> &figures() const { return figures_; }
    const DisplayLayout &displayLayout() const { return layout_; }
    const QImage &glyph(int index) const { return DigitBitmaps[static_cast<std::size_t>(index)]; }
    int screenWidth() const { return screenWidth_; }

    QPushButton *Button1 = nullptr, *Button2 = nullptr, *Button3 = nullptr, *Button4 = nullptr, *Button5 = nullptr,
                *Button7 = nullptr, *Button8 = nullptr, *Button9 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    // Along the bottom edge, whatever the window's size; nothing before the controls exist.
    void placeStatusBar();

public slots:
    void done(int result) override;
    void setVisible(bool visible) override;

private:
    void buildControls();
    void applyLayout(int screenWidth);
    void setPanelTexts(const PanelTexts &texts);
    void setSpokenTexts(const SpokenFigureTexts &figures, const PanelTexts &panels);
    void setStatus(int panel, const QString &text);
    void runButton(Button button);
    void connectSession();
    void disconnectSession();
    // What the live session signals.
    void showValidFrame(const link::LiveReading &reading);
    void showInvalidFrame();
    void askPrompt(const link::Prompt &prompt);
    void showReading();
    void tellNoResponse();
    QPushButton *button(Button b) const;

    ui::SharedState &state_;
    std::array<QImage, kGlyphCount> DigitBitmaps;
    GlyphSize glyphSize_;
    link::LiveReading Reading;

    bool shown_ = false; // FormShow ran and FormClose has not yet
    int screenWidth_ = 0;
    DisplayLayout layout_{};
    std::vector<PlacedGlyph> figures_;
    std::vector<QMetaObject::Connection> sessionLinks_;
    std::map<Button, std::function<void()>> handlers_;

    std::array<QLabel *, 4> labels_{};
    std::array<QLabel *, 7> panels_{};
    QFrame *Panel8 = nullptr;
    QFrame *Panel9 = nullptr;
    QFrame *StatusBar1 = nullptr;
    std::array<QLabel *, 3> statusPanels_{};
};

} // namespace qova::display
