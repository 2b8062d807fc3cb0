#pragma once

#include "check/emissionscheck.h"
#include "settings/validatedsettings.h"

class QSettings;

namespace qova::check {

// The check's settings (on Linux ~/.config/Qovaks/check.conf, on Windows the registry key
// HKEY_CURRENT_USER\Software\Qovaks\check), each checked against its rule; a bad value
// gives way to its default and is kept in `settings.problems()` for the operator.
CheckSettings ReadCheckSettings(settings::ValidatedSettings &settings);

// The operator's name as last typed (key "operator").
QString ReadOperatorName(settings::ValidatedSettings &settings);

// The file or registry key above.
QSettings CheckSettingsStore();

} // namespace qova::check
