#pragma once

#include "check/emissionscheck.h"
#include "check/limitset.h"
#include "check/obdjudgement.h"
#include "check/readingsource.h"
#include "history/testentry.h"

#include <QDateTime>
#include <QString>

namespace qova::check {

// How the limit set of a check was come to, for the certificate.
enum class LimitOrigin : std::uint8_t { Chosen, PickedByOperator, MakersFigures };

// Everything one finished (or abandoned) check leaves behind: what the certificate shows
// and what the history keeps.
struct CheckRecord {
    Vehicle vehicle;
    QString model; // the vehicle as typed, "FORD FIESTA 1.2"
    LimitSet limits;
    QString limitReason; // ChooseLimitSet's reason, or why the operator chose another
    LimitOrigin origin = LimitOrigin::Chosen;
    CheckSettings settings;
    CheckState state;
    // The wall-clock time of the check's time 0 (the first frame's `atMs` is counted
    // from it), and when the verdict was reached.
    QDateTime startedAt, finishedAt;
    QString operatorName;
    QString companyHeader;
    bool afrShown = false;     // the analyser was showing AFR rather than lambda
    std::uint8_t fuelCode = 1; // the analyser's fuel setting during the check
    // Set when the operator stopped the check before its verdict.
    bool abandoned = false;
    // The car's diagnostics, when an adapter took part in the check.
    std::optional<ObdPart> obd;
    // Where the engine speed of the deciding windows came from.
    SpeedSource speedSource = SpeedSource::Analyser;
};

// The record as one test of the history (kind "check"): the gas values are the means of
// the window that decided the last stage run, the verdict "pass", "fail" or "readings
// recorded" ("abandoned" for a check stopped before its verdict), and `pageLines` the
// certificate's texts.
history::TestEntry CheckEntry(const CheckRecord &record, const QStringList &certificateLines);

} // namespace qova::check
