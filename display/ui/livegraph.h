#pragma once

#include "display/graphmath.h"
#include "display/ui/perfgraph.h"
#include "link/livereading.h"
#include "ui/sharedstate.h"

#include <QDialog>
#include <QMetaObject>
#include <array>
#include <memory>
#include <vector>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;

namespace qova::display {

// The live graph: runs the shared live session at one poll per graph column and plots
// the readings as traces that scroll right to left over six minutes, with the current
// figures in panels beside and below. Created once; each showing starts the session
// (opening the port) and each way out stops it. The
// graph and its history live as long as the window, so a reopened window goes on with
// the old traces.
class TForm3 : public QDialog {
    Q_OBJECT
public:
    explicit TForm3(ui::SharedState &state, QWidget *parent = nullptr);
    ~TForm3() override;

    // GRAPH1: opens the port and, when that worked, shows the window maximised and modal.
    void ShowModal();

    // Opens the port and starts polling; on failure tells the operator and returns false.
    bool FormShow();
    // Every way out runs this: port closed, polling stopped, reading released.
    void FormClose();
    void Button1Click();
    void Button2Click();

    // Graph width, as the window places it: 60000 div (width div 18) ms, safe when narrow.
    int pollInterval() const;
    bool polling() const;
    const link::LiveReading *reading() const { return Reading.get(); }

    TPerformanceGraph *PerformanceGraph1 = nullptr;
    QLabel *Panel1 = nullptr, *Panel2 = nullptr, *Panel3 = nullptr, *Panel4 = nullptr, *Panel13 = nullptr;
    QFrame *Panel12 = nullptr;
    std::array<QCheckBox *, 8> CheckBoxes{};
    QCheckBox *CheckBox1 = nullptr, *CheckBox2 = nullptr, *CheckBox3 = nullptr, *CheckBox4 = nullptr,
              *CheckBox5 = nullptr, *CheckBox6 = nullptr, *CheckBox7 = nullptr, *CheckBox8 = nullptr;
    QFrame *Panel5 = nullptr;
    QLabel *Panel6 = nullptr, *Panel7 = nullptr, *Panel8 = nullptr, *Panel9 = nullptr, *Panel10 = nullptr,
           *Panel11 = nullptr;
    QPushButton *Button1 = nullptr, *Button2 = nullptr;

public slots:
    void done(int result) override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void FormCreate();
    void placeGraph();
    void stopSession();
    // A valid reading: plotted and shown in the panels.
    void plot(const link::LiveReading &reading);

    ui::SharedState &state_;
    std::unique_ptr<link::LiveReading> Reading;
    bool open_ = false;
    int pollInterval_ = kSafePollMs;
    std::vector<QMetaObject::Connection> sessionLinks_;
    // Where the bottom bar stands when the client area is the whole screen.
    QPoint panel5Home_;
};

} // namespace qova::display
