#include "docs/tools/certificates.h"

#include "check/certificate.h"
#include "link/livereading.h"
#include "link/pause.h"
#include "link/protocol.h"
#include "link/serialport.h"
#include "sim/demoanalyser.h"
#include "sim/simdevice.h"

#include <QImage>
#include <QPainter>
#include <cstdio>

namespace qova::docs {

namespace {

check::CheckRecord run(sim::VehicleProfile profile, const QString &registration, const QString &model,
                       const QString &scheme = QStringLiteral("UK"))
{
    check::CheckRecord record;
    record.vehicle.registration = registration;
    record.vehicle.scheme = scheme;
    record.vehicle.firstUsed = QDate(2011, 5, 14);
    record.vehicle.catalyst = true;
    record.model = model;
    record.limits = check::ChooseLimitSet(check::ShippedLimitSets(), record.vehicle)
                        .set.value_or(check::ShippedLimitSet(QStringLiteral("uk-1992-catalyst")).value());
    record.limitReason = check::ChooseLimitSet(check::ShippedLimitSets(), record.vehicle).reason;
    record.operatorName = QStringLiteral("A. MACKENZIE");
    record.companyHeader = QStringLiteral("FAIRWAY MOTORS  ABERDEEN");
    record.startedAt = QDateTime(QDate(2026, 3, 2), QTime(10, 38, 12));
    // The simulated analyser with the car at its probe, polled once a second in virtual
    // time: its prompts are answered as the operator would, and the check starts with the
    // first frame of a ready analyser, the probe still in clean air.
    sim::DemoOptions options;
    options.vehicle = profile;
    options.powerUpMs = 5000;
    auto analyser = std::make_shared<sim::DemoAnalyser>(options);
    link::VirtualPause clock;
    link::PortState port([&](int) { return std::make_unique<sim::SimDevice>(clock, analyser, false); }, clock);
    (void)link::OpenPort(port); // a port that did not open ends the loop below at once
    check::EmissionsCheck check(record.limits, record.vehicle.fuel, record.settings);
    std::optional<std::int64_t> startMs;
    int failed = 0;
    link::LiveReading r;
    std::int64_t t = 0;
    while (port.PortOpen && !check.finished() && clock.nowMs() < 15 * 60 * 1000) {
        link::RequestReading(port);
        clock.sleepMs(1000);
        const bool valid = link::ReadLiveFrame(port, r, failed);
        if (!startMs && valid && check::EmissionsCheck::AnalyserReady(r))
            startMs = clock.nowMs();
        if (startMs) {
            t = clock.nowMs() - *startMs;
            check.feed(t, valid ? std::optional(r) : std::nullopt);
        }
        if (valid && (r.StatusA & link::LeakTestOffer))
            link::WriteByte(port, link::kDeclineReply);
        else if (valid && (r.StatusA & ~link::PowerUpCountdown))
            link::WriteByte(port, link::kConfirmReply);
    }
    record.state = check.state();
    record.finishedAt = record.startedAt.addMSecs(t);
    return record;
}

int save(const check::CheckRecord &record, const QString &path)
{
    // A4 at 150 dots an inch.
    QImage image(1240, 1754, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::TextAntialiasing, true);
        check::PaintCertificate(p, QRectF(0, 0, image.width(), image.height()), record,
                                QLocale(QLocale::English, QLocale::UnitedKingdom));
    }
    if (!record.state.stages.empty() && image.save(path))
        return 0;
    std::fprintf(stderr, "could not save %s\n", qPrintable(path));
    return 1;
}

// The good car's check read through an adapter as well: the warning lamp commanded on, two
// stored codes, the catalyst, oxygen sensor and evaporative system monitors incomplete.
check::CheckRecord withObd(check::CheckRecord record)
{
    using obd::Monitor;
    using obd::Readiness;
    check::ObdPart part;
    part.adapter = QStringLiteral("ELM327 v1.5");
    part.vin.value = obd::Vin{QStringLiteral("W0L0XCF0814000001"), true, {}};
    obd::MonitorStatus status{true, 2, false, {}};
    for (Monitor m : {Monitor::Misfire, Monitor::FuelSystem, Monitor::Components})
        status.monitors.push_back({m, Readiness::Complete});
    for (Monitor m : {Monitor::Catalyst, Monitor::HeatedCatalyst, Monitor::EvaporativeSystem, Monitor::SecondaryAir,
                      Monitor::AcRefrigerant, Monitor::OxygenSensor, Monitor::OxygenSensorHeater, Monitor::Egr}) {
        const bool incomplete = m == Monitor::Catalyst || m == Monitor::EvaporativeSystem || m == Monitor::OxygenSensor;
        const bool supported =
            m != Monitor::HeatedCatalyst && m != Monitor::SecondaryAir && m != Monitor::AcRefrigerant;
        status.monitors.push_back({m, !supported   ? Readiness::NotSupported
                                      : incomplete ? Readiness::Incomplete
                                                   : Readiness::Complete});
    }
    part.readout.status.value = status;
    part.readout.codes.value = std::vector<QString>{QStringLiteral("P0133"), QStringLiteral("P0420")};
    part.judgement = check::JudgeObd(record.limits.obd, part.readout);
    record.obd = part;
    record.vehicle.vin = part.vin.value->text;
    // As the check run decides it: a failure of the car's diagnostics fails the check.
    if (part.judgement.verdict == check::ObdVerdict::Fail)
        record.state.overall = check::Verdict::Fail;
    return record;
}

} // namespace

int SaveCertificates(const QDir &outDir)
{
    return save(
               run(sim::VehicleProfile::GoodCatalyst, QStringLiteral("SK11 PXE"), QStringLiteral("VAUXHALL CORSA 1.2")),
               outDir.filePath(QStringLiteral("certificate-pass.png"))) +
           save(run(sim::VehicleProfile::FailedCatalyst, QStringLiteral("SK11 RTU"), QStringLiteral("FORD FOCUS 1.6")),
                outDir.filePath(QStringLiteral("certificate-fail.png"))) +
           save(withObd(run(sim::VehicleProfile::GoodCatalyst, QStringLiteral("SK11 OBD"),
                            QStringLiteral("VAUXHALL CORSA 1.4"), QStringLiteral("EU"))),
                outDir.filePath(QStringLiteral("certificate-obd.png")));
}

} // namespace qova::docs
