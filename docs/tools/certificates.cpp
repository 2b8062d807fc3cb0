#include "certificates.h"

#include "certificate.h"
#include "protocol.h"
#include "vehicleprofile.h"

#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstdio>

namespace qova::docs {

namespace {

// The probe lies in clean air for the first seconds, then goes into the exhaust of a car
// whose driver follows the simulator's throttle script.
link::LiveReading frameAt(sim::VehicleProfile profile, std::int64_t atMs)
{
    constexpr std::int64_t kProbeInMs = 4000;
    link::LiveReading r;
    r.StatusB = link::PumpOn;
    r.FuelCode = 1;
    const sim::EngineReading e = sim::VehicleAt(profile, atMs + 60000, std::optional<std::int64_t>(60000 + kProbeInMs));
    r.Rpm = static_cast<std::int16_t>(std::lround(e.rpm));
    r.OilTemp = static_cast<std::int16_t>(std::lround(e.oilTenths));
    if (atMs < kProbeInMs) {
        r.Hc = 6;
        r.Efficiency = 1000;
        return r;
    }
    r.Co = static_cast<std::int16_t>(std::lround(e.co));
    r.Hc = static_cast<std::int16_t>(std::lround(e.hc + 6));
    r.Co2 = static_cast<std::int16_t>(std::lround(e.co2));
    r.O2 = static_cast<std::int16_t>(std::lround(e.o2));
    r.Efficiency = static_cast<std::int16_t>(std::lround(e.lambda * 1000));
    return r;
}

check::LimitSet shipped(const char *id)
{
    for (const check::LimitSet &s : check::ShippedLimitSets())
        if (s.id == QLatin1String(id))
            return s;
    return {};
}

check::CheckRecord run(sim::VehicleProfile profile, const QString &registration, const QString &model)
{
    check::CheckRecord record;
    record.vehicle.registration = registration;
    record.vehicle.firstUsed = QDate(2011, 5, 14);
    record.vehicle.catalyst = true;
    record.model = model;
    record.limits = shipped("uk-1992-catalyst");
    record.limitReason = check::ChooseLimitSet(check::ShippedLimitSets(), record.vehicle).reason;
    record.operatorName = QStringLiteral("A. MACKENZIE");
    record.companyHeader = QStringLiteral("FAIRWAY MOTORS  ABERDEEN");
    record.startedAt = QDateTime(QDate(2026, 3, 2), QTime(10, 38, 12));
    check::EmissionsCheck check(record.limits, record.vehicle.fuel, record.settings);
    std::int64_t t = 0;
    for (; t < 10 * 60 * 1000 && !check.finished(); t += 1000)
        check.feed(t, frameAt(profile, t));
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

} // namespace

int SaveCertificates(const QDir &outDir)
{
    return save(
               run(sim::VehicleProfile::GoodCatalyst, QStringLiteral("SK11 PXE"), QStringLiteral("VAUXHALL CORSA 1.2")),
               outDir.filePath(QStringLiteral("certificate-pass.png"))) +
           save(run(sim::VehicleProfile::FailedCatalyst, QStringLiteral("SK11 RTU"), QStringLiteral("FORD FOCUS 1.6")),
                outDir.filePath(QStringLiteral("certificate-fail.png")));
}

} // namespace qova::docs
