#pragma once

#include "link/livereading.h"

#include <QString>
#include <array>

namespace qova::display {

// The texts of the seven value panels, Panel1 to Panel7 in order, for a clamped reading.
using PanelTexts = std::array<QString, 7>;
PanelTexts FormatPanelTexts(const link::LiveReading &reading, bool usLocale);

// What the value panels show before the first reading.
PanelTexts InitialPanelTexts();

// What a screen reader says for the four large figures, in the order of their labels
// ("% CO", "% CO2", "% O2", "HC ppm"): "CO 1.50 percent". Before the first reading each
// figure is named without a value.
using SpokenFigureTexts = std::array<QString, 4>;
SpokenFigureTexts SpokenFigures(const link::LiveReading &clamped);
SpokenFigureTexts SpokenFiguresBeforeReading();
// And for the seven value panels, in their order: "Lambda 1.019", "Engine speed 820 rpm".
PanelTexts SpokenPanels(const link::LiveReading &clamped, bool usLocale);
// The accessible names of the three status panels, which show their value as text.
inline constexpr std::array<const char *, 3> kStatusPanelNames{"Analyser state", "Communication", "Pump"};

// Status bar texts.
inline constexpr const char *kCommunicationOk = "Communication: OK";
inline constexpr const char *kCommunicationError = "Communication: Error";
inline constexpr const char *kZeroingSensors = "Zeroing Sensors";
QString PumpText(const link::LiveReading &reading);
// "Power Up CountDown" or "Normal Operation"; a zero under way is told by the prompts.
QString PowerText(const link::LiveReading &reading);

} // namespace qova::display
