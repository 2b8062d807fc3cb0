#pragma once

#include "check/obdjudgement.h"

#include <QString>
#include <vector>

namespace qova::test {

// What an adapter could give a check, made by hand as the check run would keep it: a
// spark-ignition car whose catalyst and oxygen sensor monitors are incomplete when
// `incomplete`, judged by `rule`.
struct ObdSample {
    bool lampOn = false;
    std::vector<QString> codes;
    bool incomplete = false;
    QString vin = QStringLiteral("WF0AXXGAJA1234567");
    bool vinTrusted = true;
    QString vinDoubt;
    QString statusProblem; // the monitor status was not read, for this reason
    QString adapter = QStringLiteral("ELM327 v1.5");
    QString lost;
    std::optional<bool> dashboardLamp; // the operator's word, where the set asks it
};

inline check::ObdPart MakeObdPart(const ObdSample &s, const std::optional<check::ObdRule> &rule)
{
    check::ObdPart part;
    part.adapter = s.adapter;
    part.vin.value = obd::Vin{s.vin, s.vinTrusted, s.vinDoubt};
    if (s.statusProblem.isEmpty()) {
        obd::MonitorStatus status{s.lampOn, static_cast<int>(s.codes.size()), false, {}};
        using obd::Monitor;
        using obd::Readiness;
        for (Monitor m : {Monitor::Misfire, Monitor::FuelSystem, Monitor::Components})
            status.monitors.push_back({m, Readiness::Complete});
        for (Monitor m : {Monitor::Catalyst, Monitor::OxygenSensor})
            status.monitors.push_back({m, s.incomplete ? Readiness::Incomplete : Readiness::Complete});
        status.monitors.push_back({Monitor::SecondaryAir, Readiness::NotSupported});
        part.readout.status.value = status;
        part.readout.codes.value = s.codes;
    } else {
        part.readout.status.problem = s.statusProblem;
        part.readout.codes.problem = s.statusProblem;
    }
    part.judgement = check::JudgeObd(rule, part.readout);
    part.lost = s.lost;
    part.dashboardLampAsked = check::AsksDashboardLamp(rule);
    part.dashboardLamp = s.dashboardLamp;
    return part;
}

// The samples more than one table uses.
inline ObdSample LampOnTwoCodes()
{
    ObdSample s;
    s.lampOn = true;
    s.codes = {QStringLiteral("P0133"), QStringLiteral("P0420")};
    s.incomplete = true;
    return s;
}
inline ObdSample IgnitionOff(const QString &why = QStringLiteral("UNABLE TO CONNECT"))
{
    ObdSample s;
    s.statusProblem = why;
    return s;
}
inline ObdSample UntrustedVin(const QString &vin, const QString &doubt)
{
    ObdSample s;
    s.vin = vin;
    s.vinTrusted = false;
    s.vinDoubt = doubt;
    return s;
}
inline ObdSample LostMidCheck(const QString &why)
{
    ObdSample s;
    s.lost = why;
    return s;
}
inline ObdSample DashboardSays(bool carLampOn, std::optional<bool> dashboard)
{
    ObdSample s;
    s.lampOn = carLampOn;
    s.dashboardLamp = dashboard;
    return s;
}

} // namespace qova::test
