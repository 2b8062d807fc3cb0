#include "check/ui/rpmgauge.h"

#include "check/checkscreen.h"

#include <QPainter>

namespace qova::checkui {

RpmGauge::RpmGauge(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("RpmGauge"));
    setMinimumHeight(60);
}

void RpmGauge::setSpeed(int rpm, int windowMinRpm, int windowMaxRpm)
{
    rpm_ = rpm;
    min_ = windowMinRpm;
    max_ = windowMaxRpm;
    update();
}

void RpmGauge::paintEvent(QPaintEvent *)
{
    constexpr int kMargin = 12;
    const int width = std::max(2, this->width() - 2 * kMargin);
    const GaugeGeometry g = GaugeLayout(width, min_, max_, rpm_);
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int barTop = 8, barHeight = height() - 30;
    p.translate(kMargin, 0);
    p.fillRect(0, barTop, width, barHeight, QColor(0xe4, 0xe4, 0xe4));
    p.fillRect(g.windowLeft, barTop, std::max(1, g.windowRight - g.windowLeft), barHeight, QColor(0x8c, 0xd4, 0x8c));
    p.setPen(QColor(0x40, 0x40, 0x40));
    p.drawRect(0, barTop, width - 1, barHeight);
    QFont small = font();
    small.setPixelSize(12);
    p.setFont(small);
    for (std::size_t i = 0; i < g.ticks.size(); ++i) {
        const int x = g.ticks[i];
        p.drawLine(x, barTop + barHeight, x, barTop + barHeight + 5);
        const QString label = QString::number(static_cast<int>(i));
        p.drawText(QRect(x - 20, barTop + barHeight + 5, 40, 16), Qt::AlignCenter, label);
    }
    // Short of the last figure, which it would otherwise cover.
    p.drawText(QRect(width - 150, barTop + barHeight + 5, 120, 16), Qt::AlignRight, QStringLiteral("x1000 rpm"));
    const bool inside = rpm_ >= min_ && rpm_ <= max_;
    p.setPen(QPen(inside ? QColor(0x00, 0x60, 0x00) : QColor(0xc0, 0x00, 0x00), 4));
    p.drawLine(g.needle, barTop - 4, g.needle, barTop + barHeight + 2);
}

} // namespace qova::checkui
