#include "obd/obddecode.h"

#include "obd/obdcommands.h"

#include <algorithm>
#include <map>
#include <span>

namespace qova::obd {

namespace {

// The messages that answer service `svc` for `pid`; when none does, the problem names `what`
// was asked and why (a refusal, 7F, is one reason).
std::vector<const EcuMessage *> answers(const std::vector<EcuMessage> &messages, std::uint8_t svc,
                                        std::optional<std::uint8_t> pid, std::size_t minSize, const QString &what,
                                        QString &problem)
{
    std::vector<const EcuMessage *> out;
    const std::uint8_t positive = svc + service::kPositiveOffset;
    for (const auto &m : messages) {
        if (m.data.size() >= 3 && m.data[0] == 0x7F && m.data[1] == svc) {
            problem = QStringLiteral("the car refused the request (code %1)").arg(m.data[2], 2, 16, QLatin1Char('0'));
            continue;
        }
        if (m.data.empty() || m.data[0] != positive)
            continue;
        if (pid && (m.data.size() < 2 || m.data[1] != *pid))
            continue;
        if (m.data.size() < minSize) {
            problem = QStringLiteral("the car's answer is %1 bytes long, too short").arg(m.data.size());
            continue;
        }
        out.push_back(&m);
    }
    if (out.empty() && problem.isEmpty())
        problem = messages.empty() ? QStringLiteral("no ECU answered")
                                   : QStringLiteral("no ECU answered this request (the answers were to another)");
    if (out.empty())
        problem = QStringLiteral("%1: %2").arg(what, problem);
    return out;
}

// The answers to the request read by `read`, which gives the value or leaves a problem; with
// no answer, the problem says why.
template <typename T, typename Read>
Decoded<T> decoded(const std::vector<EcuMessage> &messages, std::uint8_t svc, std::optional<std::uint8_t> pid,
                   std::size_t minSize, const QString &what, Read read)
{
    Decoded<T> out;
    const auto found = answers(messages, svc, pid, minSize, what, out.problem);
    if (found.empty())
        return out;
    out.value = read(found, out.problem);
    if (out.value)
        out.problem.clear();
    return out;
}

using Answers = std::vector<const EcuMessage *>;

QString pidText(std::uint8_t svc, std::uint8_t pid)
{
    return QStringLiteral("%1 %2").arg(svc, 2, 16, QLatin1Char('0')).arg(pid, 2, 16, QLatin1Char('0')).toUpper();
}

struct MonitorBit {
    Monitor monitor;
    int bit;
    const char *name;
};
constexpr MonitorBit kCommonMonitors[] = {{Monitor::Misfire, 0, "Misfire"},
                                          {Monitor::FuelSystem, 1, "Fuel system"},
                                          {Monitor::Components, 2, "Comprehensive components"}};
constexpr MonitorBit kSparkMonitors[] = {{Monitor::Catalyst, 0, "Catalyst"},
                                         {Monitor::HeatedCatalyst, 1, "Heated catalyst"},
                                         {Monitor::EvaporativeSystem, 2, "Evaporative system"},
                                         {Monitor::SecondaryAir, 3, "Secondary air system"},
                                         {Monitor::AcRefrigerant, 4, "A/C refrigerant"},
                                         {Monitor::OxygenSensor, 5, "Oxygen sensor"},
                                         {Monitor::OxygenSensorHeater, 6, "Oxygen sensor heater"},
                                         {Monitor::Egr, 7, "EGR system"}};
// Bits 2 and 4 are reserved for compression ignition.
constexpr MonitorBit kCompressionMonitors[] = {
    {Monitor::NmhcCatalyst, 0, "NMHC catalyst"},           {Monitor::NoxAftertreatment, 1, "NOx aftertreatment"},
    {Monitor::BoostPressure, 3, "Boost pressure"},         {Monitor::ExhaustGasSensor, 5, "Exhaust gas sensor"},
    {Monitor::ParticulateFilter, 6, "Particulate filter"}, {Monitor::EgrVvt, 7, "EGR/VVT system"}};
constexpr std::span<const MonitorBit> kMonitorTables[] = {kCommonMonitors, kSparkMonitors, kCompressionMonitors};

} // namespace

QString ReadinessName(Readiness readiness)
{
    switch (readiness) {
    case Readiness::Complete:
        return QStringLiteral("complete");
    case Readiness::Incomplete:
        return QStringLiteral("incomplete");
    case Readiness::NotSupported:
        break;
    }
    return QStringLiteral("not supported");
}

QString MonitorName(Monitor monitor)
{
    for (const std::span<const MonitorBit> table : kMonitorTables)
        for (const MonitorBit &mb : table)
            if (mb.monitor == monitor)
                return QString::fromLatin1(mb.name);
    return {};
}

int MonitorStatus::incomplete() const
{
    return static_cast<int>(std::count_if(monitors.begin(), monitors.end(),
                                          [](const auto &m) { return m.readiness == Readiness::Incomplete; }));
}

Decoded<SupportedPids> DecodeSupportedPids(const std::vector<EcuMessage> &messages, std::uint8_t base)
{
    return decoded<SupportedPids>(messages, service::kCurrentData, base, 6,
                                  QStringLiteral("Supported PIDs (%1)").arg(pidText(service::kCurrentData, base)),
                                  [base](const Answers &found, QString &) {
                                      SupportedPids s;
                                      for (const auto *m : found)
                                          for (int i = 0; i < 32; ++i)
                                              if (m->data[2 + static_cast<std::size_t>(i / 8)] & (0x80 >> (i % 8)))
                                                  s.pids[static_cast<std::size_t>(base + 1 + i) & 0xFF] = true;
                                      return std::optional(s);
                                  });
}

Decoded<MonitorStatus> DecodeMonitorStatus(const std::vector<EcuMessage> &messages)
{
    return decoded<MonitorStatus>(
        messages, service::kCurrentData, pid::kMonitorStatus, 6, QStringLiteral("Warning lamp and readiness (01 01)"),
        [](const Answers &found, QString &) {
            MonitorStatus s;
            for (const auto *m : found)
                s.compressionIgnition = s.compressionIgnition || (m->data[3] & 0x08);
            auto add = [&](Monitor monitor, bool supported, bool incomplete) {
                auto it = std::find_if(s.monitors.begin(), s.monitors.end(),
                                       [&](const MonitorReadiness &r) { return r.monitor == monitor; });
                if (it == s.monitors.end()) {
                    s.monitors.push_back({monitor, Readiness::NotSupported});
                    it = s.monitors.end() - 1;
                }
                if (!supported)
                    return;
                // One ECU that has not finished a monitor makes it incomplete for the car.
                if (incomplete)
                    it->readiness = Readiness::Incomplete;
                else if (it->readiness == Readiness::NotSupported)
                    it->readiness = Readiness::Complete;
            };
            for (const auto *m : found) {
                const std::uint8_t a = m->data[2], b = m->data[3], c = m->data[4], d = m->data[5];
                s.lampOn = s.lampOn || (a & 0x80);
                s.storedCodes += a & 0x7F;
                for (const auto &mb : kCommonMonitors)
                    add(mb.monitor, b & (1 << mb.bit), b & (0x10 << mb.bit));
                if (s.compressionIgnition)
                    for (const auto &mb : kCompressionMonitors)
                        add(mb.monitor, c & (1 << mb.bit), d & (1 << mb.bit));
                else
                    for (const auto &mb : kSparkMonitors)
                        add(mb.monitor, c & (1 << mb.bit), d & (1 << mb.bit));
            }
            return std::optional(s);
        });
}

Decoded<double> DecodeEngineSpeed(const std::vector<EcuMessage> &messages)
{
    return decoded<double>(messages, service::kCurrentData, pid::kEngineSpeed, 4,
                           QStringLiteral("Engine speed (01 0C)"), [](const Answers &found, QString &) {
                               // The engine ECU answers first; a second answer (a gearbox) is not the engine's.
                               return std::optional(((found.front()->data[2] << 8) | found.front()->data[3]) /
                                                    kEngineSpeedDivisor);
                           });
}

Decoded<int> DecodeTemperature(const std::vector<EcuMessage> &messages, std::uint8_t temperaturePid)
{
    const QString what =
        QStringLiteral("%1 (%2)").arg(temperaturePid == pid::kOilTemperature ? QStringLiteral("Oil temperature")
                                                                             : QStringLiteral("Coolant temperature"),
                                      pidText(service::kCurrentData, temperaturePid));
    return decoded<int>(messages, service::kCurrentData, temperaturePid, 3, what, [](const Answers &found, QString &) {
        return std::optional(found.front()->data[2] - kTemperatureOffset);
    });
}

Decoded<std::vector<QString>> DecodeStoredCodes(const std::vector<EcuMessage> &messages)
{
    return decoded<std::vector<QString>>(
        messages, service::kStoredCodes, std::nullopt, 1, QStringLiteral("Stored codes (03)"),
        [](const Answers &found, QString &problem) -> std::optional<std::vector<QString>> {
            std::vector<QString> codes;
            auto addCode = [&](std::uint8_t hi, std::uint8_t lo) {
                if (hi == 0 && lo == 0)
                    return; // padding of the older buses
                static const char kSystem[] = {'P', 'C', 'B', 'U'};
                const QString code = QStringLiteral("%1%2%3")
                                         .arg(QLatin1Char(kSystem[hi >> 6]))
                                         .arg((hi >> 4) & 0x03)
                                         .arg(((hi & 0x0F) << 8) | lo, 3, 16, QLatin1Char('0'))
                                         .toUpper();
                if (std::find(codes.begin(), codes.end(), code) == codes.end())
                    codes.push_back(code);
            };
            for (const auto *m : found) {
                const auto &d = m->data;
                // CAN answers count their codes (43 NN, then NN pairs, an even length); the older
                // buses send three pairs a line, padded with 0000 (an odd length).
                std::size_t from = 1;
                if (d.size() % 2 == 0) {
                    if (d.size() != 2 + 2 * static_cast<std::size_t>(d[1])) {
                        problem = QStringLiteral("Stored codes (03): ECU %1 announced %2 codes but sent %3 bytes")
                                      .arg(m->ecu.isEmpty() ? QStringLiteral("?") : m->ecu)
                                      .arg(d[1])
                                      .arg(d.size());
                        return std::nullopt;
                    }
                    from = 2;
                }
                for (std::size_t i = from; i + 1 < d.size(); i += 2)
                    addCode(d[i], d[i + 1]);
            }
            return codes;
        });
}

Decoded<Vin> DecodeVin(const std::vector<EcuMessage> &messages)
{
    return decoded<Vin>(
        messages, service::kVehicleInfo, pid::kVin, 3, QStringLiteral("VIN (09 02)"),
        [](const Answers &found, QString &) {
            // CAN: one message, 49 02 01 and the 17 characters. The older buses: a line per four
            // characters, 49 02 and the line's number, padded with NUL bytes in front.
            const QString ecu = found.front()->ecu;
            std::map<int, std::vector<std::uint8_t>> parts;
            for (const auto *m : found)
                if (m->ecu == ecu)
                    parts[m->data[2]].insert(parts[m->data[2]].end(), m->data.begin() + 3, m->data.end());
            std::vector<std::uint8_t> bytes;
            if (parts.size() == 1)
                bytes = parts.begin()->second;
            else
                for (const auto &[n, p] : parts)
                    bytes.insert(bytes.end(), p.begin(), p.end());
            const auto first = std::find_if(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b != 0; });
            bytes.erase(bytes.begin(), first);

            Vin vin;
            QString badAt;
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                const std::uint8_t b = bytes[i];
                const bool printable = b >= 0x20 && b < 0x7F;
                vin.text.append(printable ? QChar(b) : QChar(0xFFFD));
                if (!VinCharacterAllowed(b) && badAt.isEmpty())
                    badAt = QStringLiteral("character %1 (byte %2) is not one a VIN may hold")
                                .arg(i + 1)
                                .arg(b, 2, 16, QLatin1Char('0'));
            }
            if (bytes.size() != static_cast<std::size_t>(kVinLength))
                vin.doubt = QStringLiteral("it has %1 characters, not %2").arg(bytes.size()).arg(kVinLength);
            else
                vin.doubt = badAt;
            vin.trusted = vin.doubt.isEmpty();
            return std::optional(vin);
        });
}

bool VinCharacterAllowed(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z' && c != u'I' && c != u'O' && c != u'Q');
}

QString VinDoubt(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i)
        if (!VinCharacterAllowed(text.at(i).unicode()))
            return QStringLiteral("character %1 (\"%2\") is not one a VIN may hold").arg(i + 1).arg(text.at(i));
    if (text.size() != kVinLength)
        return QStringLiteral("it has %1 characters, not %2").arg(text.size()).arg(kVinLength);
    return {};
}

} // namespace qova::obd
