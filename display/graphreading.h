#pragma once

#include "link/livereading.h"

#include <QString>
#include <array>
#include <cstdint>

// What the live graph makes of one clamped reading: the eight trace values and the
// texts of its panels. No widgets here, so all of it can be checked on its own.
namespace qova::display {

inline constexpr int kTraceCount = 8;

// CO, CO2, HC, O2, NO, lambda/AFR, RPM, oil: 100 is full height.
std::array<int, kTraceCount> GraphTraceValues(const link::LiveReading &clamped);
// Trace colours, 0x00BBGGRR, in the same order.
inline constexpr std::array<std::uint32_t, kTraceCount> kTraceColors = {
    0x0000FF, // CO red
    0xFF0000, // CO2 blue
    0x00FFFF, // HC yellow
    0x00FF00, // O2 lime
    0x808080, // NO gray
    0xFFFF00, // LAM aqua
    0xFF00FF, // RPM fuchsia
    0x800080, // OIL purple
};

// "AFR" while the analyser reports an air/fuel ratio, else "LMB".
QString EfficiencyCaption(const link::LiveReading &reading);

struct GraphPanelTexts {
    QString co, co2, hc, o2, no;           // Panel1, Panel2, Panel3, Panel4, Panel13
    QString efficiency, oil, battery, rpm; // Panel6, Panel7, Panel8, Panel9
    QString fuel, timeToZero;              // Panel10, Panel11
};
GraphPanelTexts GraphPanels(const link::LiveReading &clamped, bool usLocale);

} // namespace qova::display
