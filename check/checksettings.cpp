#include "check/checksettings.h"

#include <QSettings>

namespace qova::check {

namespace {

const CheckSettings kDefaults;
const QString kMs = QStringLiteral("ms");

// The ranges keep a check meaningful: a pass needs at least a second of readings (the
// analyser sends one a second), measuring must be able to hold the passing window, and no
// wait is so long that a forgotten check never ends.
const settings::WholeNumberRule kOilWarm{QStringLiteral("oilWarmTenths"), kDefaults.oilWarmTenths, 0, 1500,
                                         QStringLiteral("x 0.1 °C")};
const settings::WholeNumberRule kSettle{QStringLiteral("settleMs"), kDefaults.settleMs, 0, 120000, kMs};
const settings::WholeNumberRule kPassWindow{QStringLiteral("passWindowMs"), kDefaults.passWindowMs, 1000, 60000, kMs};
const settings::WholeNumberRule kMeasure{QStringLiteral("measureMs"), kDefaults.measureMs, 1000, 600000, kMs};
const settings::WholeNumberRule kReadyTimeout{QStringLiteral("readyTimeoutMs"), kDefaults.readyTimeoutMs, 60000,
                                              3600000, kMs};
const settings::WholeNumberRule kWarmTimeout{QStringLiteral("warmTimeoutMs"), kDefaults.warmTimeoutMs, 60000, 7200000,
                                             kMs};
const settings::WholeNumberRule kStageTimeout{QStringLiteral("stageTimeoutMs"), kDefaults.stageTimeoutMs, 30000,
                                              3600000, kMs};
// A car answers a status or a codes request within seconds; a minute's wait covers an
// adapter that is setting itself up again.
const settings::WholeNumberRule kObdReadoutTimeout{QStringLiteral("obdReadoutTimeoutMs"), kDefaults.obdReadoutTimeoutMs,
                                                   5000, 300000, kMs};
const settings::TextRule kOperator{QStringLiteral("operator"), QString(), 60};

} // namespace

CheckSettings ReadCheckSettings(settings::ValidatedSettings &s)
{
    CheckSettings c;
    c.oilWarmTenths = s.wholeNumber(kOilWarm);
    c.settleMs = s.wholeNumber(kSettle);
    c.passWindowMs = s.wholeNumber(kPassWindow);
    c.measureMs = s.wholeNumber(kMeasure);
    if (c.measureMs < c.passWindowMs) {
        // Measuring shorter than the passing window could never pass a car. The key the
        // workshop wrote is the one refused: an unset measureMs means the window is too long.
        if (s.contains(kMeasure.key)) {
            c.measureMs = s.refuse(kMeasure, c.measureMs,
                                   QStringLiteral("is shorter than passWindowMs (%1 ms)").arg(c.passWindowMs));
            c.passWindowMs = std::min(c.passWindowMs, c.measureMs);
        } else {
            c.passWindowMs = s.refuse(kPassWindow, c.passWindowMs,
                                      QStringLiteral("is longer than measureMs (%1 ms)").arg(c.measureMs));
        }
    }
    c.readyTimeoutMs = s.wholeNumber(kReadyTimeout);
    c.warmTimeoutMs = s.wholeNumber(kWarmTimeout);
    c.stageTimeoutMs = s.wholeNumber(kStageTimeout);
    const int stageNeeds = c.settleMs + c.measureMs + kStageTimeout.min;
    if (c.stageTimeoutMs < stageNeeds) {
        // A stage must be able to settle and measure in full, with time to bring the engine
        // to speed, before it times out; the default grows with longer timings unsaid.
        const settings::WholeNumberRule enough{kStageTimeout.key, std::max(kStageTimeout.fallback, stageNeeds),
                                               kStageTimeout.min, kStageTimeout.max, kMs};
        c.stageTimeoutMs =
            s.contains(kStageTimeout.key)
                ? s.refuse(enough, c.stageTimeoutMs,
                           QStringLiteral("leaves under %1 ms beyond settleMs and measureMs").arg(kStageTimeout.min))
                : enough.fallback;
    }
    c.obdReadoutTimeoutMs = s.wholeNumber(kObdReadoutTimeout);
    // Only the operator knows where the probe is.
    c.askCleanAir = true;
    return c;
}

QString ReadOperatorName(settings::ValidatedSettings &settings)
{
    return settings.text(kOperator).trimmed();
}

QSettings CheckSettingsStore()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Qovaks"), QStringLiteral("check"));
}

} // namespace qova::check
