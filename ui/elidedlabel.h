#pragma once

#include <QLabel>

namespace qova::ui {

// A one-line label for a narrow place such as a status bar: it keeps its whole text (what
// text() and a screen reader give), paints as much as fits with "…" at the end, and then shows
// the whole text when the pointer rests on it. So the text must say the important part first.
class ElidedLabel : public QLabel {
public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    // What is painted at the present width.
    QString shownText() const;

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;
};

} // namespace qova::ui
