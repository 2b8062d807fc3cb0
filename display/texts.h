#pragma once

#include "livereading.h"

#include <QString>
#include <array>

namespace qova::display {

// The texts of the seven value panels, Panel1 to Panel7 in order, for a clamped reading.
using PanelTexts = std::array<QString, 7>;
PanelTexts FormatPanelTexts(const link::LiveReading &reading, bool usLocale);

// What the value panels show before the first reading.
PanelTexts InitialPanelTexts();

// Status bar texts.
inline constexpr const char *kCommunicationOk = "Communication: OK";
inline constexpr const char *kCommunicationError = "Communication: Error";
inline constexpr const char *kZeroingSensors = "Zeroing Sensors";
QString PumpText(const link::LiveReading &reading);
// "Power Up CountDown" or "Normal Operation"; a zero under way is told by the prompts.
QString PowerText(const link::LiveReading &reading);

} // namespace qova::display
