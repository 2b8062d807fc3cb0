#pragma once

#include <QWidget>

namespace qova::checkui {

// A bar of engine speed from 0 rpm with the stage's window marked and a needle at the
// engine's speed; where each goes is GaugeLayout's, so this only paints.
class RpmGauge final : public QWidget {
    Q_OBJECT
public:
    explicit RpmGauge(QWidget *parent = nullptr);
    void setSpeed(int rpm, int windowMinRpm, int windowMaxRpm);
    QSize sizeHint() const override { return {600, 70}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int rpm_ = 0, min_ = 0, max_ = 0;
};

} // namespace qova::checkui
