// From a reply's bytes to a reading: the recorded answers of an emulated car, and the forms
// real cars add (several ECUs, diesel monitors, the older buses, refusals, damage).
#include "obd/elmreply.h"
#include "obd/obdcommands.h"
#include "obd/obddecode.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace qova::obd {
namespace {

enum class Reading { Bitmap00, Status, Speed, Coolant, Oil, Codes, Vin };

// A reading written out so a row can say what it must be: "unknown" when there is none.
QString written(Reading what, const std::vector<EcuMessage> &m)
{
    auto unknown = [](const QString &problem) {
        EXPECT_FALSE(problem.isEmpty()) << "an unknown reading says why";
        return QStringLiteral("unknown");
    };
    switch (what) {
    case Reading::Bitmap00: {
        const auto d = DecodeSupportedPids(m, pid::kSupported01To20);
        if (!d.known())
            return unknown(d.problem);
        QStringList pids;
        for (int p = 0; p < 256; ++p)
            if (d.value->has(static_cast<std::uint8_t>(p)))
                pids << QStringLiteral("%1").arg(p, 2, 16, QLatin1Char('0')).toUpper();
        return pids.join(QLatin1Char(' '));
    }
    case Reading::Status: {
        const auto d = DecodeMonitorStatus(m);
        if (!d.known())
            return unknown(d.problem);
        QString s = QStringLiteral("lamp %1, %2 codes, %3;")
                        .arg(d.value->lampOn ? QStringLiteral("on") : QStringLiteral("off"))
                        .arg(d.value->storedCodes)
                        .arg(d.value->compressionIgnition ? QStringLiteral("diesel") : QStringLiteral("petrol"));
        for (const auto &mon : d.value->monitors)
            if (mon.readiness != Readiness::NotSupported)
                s += QStringLiteral(" %1 %2").arg(MonitorName(mon.monitor), mon.readiness == Readiness::Complete
                                                                                ? QStringLiteral("ok")
                                                                                : QStringLiteral("INCOMPLETE"));
        return s;
    }
    case Reading::Speed: {
        const auto d = DecodeEngineSpeed(m);
        return d.known() ? QString::number(*d.value) : unknown(d.problem);
    }
    case Reading::Coolant:
    case Reading::Oil: {
        const auto d = DecodeTemperature(m, what == Reading::Oil ? pid::kOilTemperature : pid::kCoolantTemperature);
        return d.known() ? QString::number(*d.value) : unknown(d.problem);
    }
    case Reading::Codes: {
        const auto d = DecodeStoredCodes(m);
        if (!d.known())
            return unknown(d.problem);
        QStringList c(d.value->begin(), d.value->end());
        return c.isEmpty() ? QStringLiteral("none") : c.join(QLatin1Char(' '));
    }
    case Reading::Vin: {
        const auto d = DecodeVin(m);
        if (!d.known())
            return unknown(d.problem);
        return d.value->text +
               (d.value->trusted ? QString() : QStringLiteral(" (not trusted: %1)").arg(d.value->doubt));
    }
    }
    return {};
}

struct DecodeRow {
    const char *name;
    Reading what;
    const char *raw; // the reply up to its prompt
    bool headers;
    const char *expected;
};

class Decoding : public ::testing::TestWithParam<DecodeRow> {};

TEST_P(Decoding, FromReplyBytes)
{
    const auto &row = GetParam();
    const ElmReply reply = ParseReply(row.raw, "");
    const Framing f = FrameMessages(reply.lines, row.headers);
    // A failed reply carries no messages worth decoding, as in the session.
    const auto messages = reply.failure == ElmFailure::None ? f.messages : std::vector<EcuMessage>{};
    EXPECT_EQ(written(row.what, messages).toStdString(), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Obd, Decoding,
    ::testing::Values(
        DecodeRow{"recorded_bitmap", Reading::Bitmap00, "SEARCHING...\r4100BE3FA813\r\r", false,
                  "01 03 04 05 06 07 0B 0C 0D 0E 0F 10 11 13 15 1C 1F 20"},
        DecodeRow{"recorded_bitmap_headers", Reading::Bitmap00, "SEARCHING...\r7E8 06 41 00 BE 3F A8 13 \r\r", true,
                  "01 03 04 05 06 07 0B 0C 0D 0E 0F 10 11 13 15 1C 1F 20"},
        DecodeRow{"bitmap_two_ecus_joined", Reading::Bitmap00,
                  "7E8 06 41 00 80 00 00 01 \r7E9 06 41 00 00 08 00 00 \r\r", true, "01 0D 20"},
        DecodeRow{"recorded_status", Reading::Status, "41010007A100\r\r", false,
                  "lamp off, 0 codes, petrol; Misfire ok Fuel system ok Comprehensive components ok Catalyst ok "
                  "Oxygen sensor ok EGR system ok"},
        DecodeRow{"recorded_status_headers", Reading::Status, "7E8 06 41 01 00 07 A1 00 \r\r", true,
                  "lamp off, 0 codes, petrol; Misfire ok Fuel system ok Comprehensive components ok Catalyst ok "
                  "Oxygen sensor ok EGR system ok"},
        DecodeRow{"lamp_on_two_incomplete", Reading::Status, "7E8 06 41 01 82 07 E5 21 \r\r", true,
                  "lamp on, 2 codes, petrol; Misfire ok Fuel system ok Comprehensive components ok Catalyst INCOMPLETE "
                  "Evaporative system ok Oxygen sensor INCOMPLETE Oxygen sensor heater ok EGR system ok"},
        DecodeRow{"lamp_on_from_second_ecu", Reading::Status,
                  "7E8 06 41 01 00 07 A1 00 \r7E9 06 41 01 81 01 00 00 \r\r", true,
                  "lamp on, 1 codes, petrol; Misfire ok Fuel system ok Comprehensive components ok Catalyst ok "
                  "Oxygen sensor ok EGR system ok"},
        DecodeRow{
            "incomplete_in_one_ecu_wins", Reading::Status, "7E8 06 41 01 00 07 A1 00 \r7E9 06 41 01 00 17 00 00 \r\r",
            true,
            "lamp off, 0 codes, petrol; Misfire INCOMPLETE Fuel system ok Comprehensive components ok Catalyst ok "
            "Oxygen sensor ok EGR system ok"},
        DecodeRow{"diesel_monitors", Reading::Status, "7E8 06 41 01 00 0F 61 40 \r\r", true,
                  "lamp off, 0 codes, diesel; Misfire ok Fuel system ok Comprehensive components ok NMHC catalyst ok "
                  "Exhaust gas sensor ok Particulate filter INCOMPLETE"},
        DecodeRow{"status_too_short", Reading::Status, "7E8 04 41 01 00 07 \r\r", true, "unknown"},
        DecodeRow{"recorded_speed", Reading::Speed, "410C145F\r\r", false, "1303.75"},
        DecodeRow{"recorded_speed_headers", Reading::Speed, "7E8 04 41 0C 41 C2 \r\r", true, "4208.5"},
        DecodeRow{"recorded_speed_engine_stopped", Reading::Speed, "7E8 04 41 0C 00 00 \r\r", true, "0"},
        DecodeRow{"speed_crlf", Reading::Speed, "7E8 04 41 0C 0C D0 \r\n\r\n", true, "820"},
        DecodeRow{"speed_answer_to_another_pid", Reading::Speed, "7E8 03 41 0D 0A \r\r", true, "unknown"},
        DecodeRow{"speed_refused", Reading::Speed, "7E8 03 7F 01 12 \r\r", true, "unknown"},
        DecodeRow{"speed_damaged", Reading::Speed, "7E8 04 41 0C 41 C2\r<DATA ERROR\r\r", true, "unknown"},
        DecodeRow{"speed_stopped", Reading::Speed, "STOPPED\r\r", true, "unknown"},
        DecodeRow{"recorded_coolant", Reading::Coolant, "41055F\r\r", false, "55"},
        DecodeRow{"recorded_coolant_headers", Reading::Coolant, "7E8 03 41 05 44 \r\r", true, "28"},
        DecodeRow{"coolant_below_zero", Reading::Coolant, "7E8 03 41 05 14 \r\r", true, "-20"},
        DecodeRow{"recorded_oil_no_data", Reading::Oil, "NO DATA\r\r", false, "unknown"},
        DecodeRow{"oil", Reading::Oil, "7E8 03 41 5C 7A \r\r", true, "82"},
        DecodeRow{"recorded_no_codes", Reading::Codes, "4300\r\r", false, "none"},
        DecodeRow{"recorded_no_codes_headers", Reading::Codes, "7E8 02 43 00 \r\r", true, "none"},
        DecodeRow{"two_codes_all_letters", Reading::Codes, "7E8 06 43 02 01 33 C1 23 \r\r", true, "P0133 U0123"},
        DecodeRow{"codes_multi_frame", Reading::Codes, "7E8 10 0A 43 04 01 33 02 44 \r7E8 21 43 00 96 01 00 00 00 \r\r",
                  true, "P0133 P0244 C0300 B1601"},
        DecodeRow{"codes_older_bus_padded", Reading::Codes, "48 6B 10 43 01 33 81 23 00 00 A5 \r\r", true,
                  "P0133 B0123"},
        DecodeRow{"codes_from_two_ecus_once_each", Reading::Codes, "7E8 04 43 01 01 33 \r7E9 06 43 02 01 33 07 00 \r\r",
                  true, "P0133 P0700"},
        DecodeRow{"codes_count_disagrees", Reading::Codes, "7E8 04 43 02 01 33 \r\r", true, "unknown"},
        DecodeRow{"codes_ignition_off", Reading::Codes, "BUS INIT:ERROR\r\r", false, "unknown"},
        DecodeRow{"recorded_vin", Reading::Vin, "014\r0: 490201575030\r1: 5A5A5A39395A54\r2: 53333930303030\r\r", false,
                  "WP0ZZZ99ZTS390000"},
        DecodeRow{"recorded_vin_headers", Reading::Vin,
                  "7E8 10 14 49 02 01 4D 41 54 \r7E8 21 34 30 33 30 39 36 42 \r7E8 22 4E 4C 30 30 30 30 30 \r\r", true,
                  "MAT403096BNL00000"},
        DecodeRow{
            "vin_older_bus_five_lines", Reading::Vin,
            "48 6B 10 49 02 01 00 00 00 31 00 \r48 6B 10 49 02 02 44 34 47 50 00 \r48 6B 10 49 02 03 30 30 52 35 00 "
            "\r48 6B 10 49 02 04 35 42 31 32 00 \r48 6B 10 49 02 05 33 34 35 36 00 \r\r",
            true, "1D4GP00R55B123456"},
        DecodeRow{"vin_invalid_letters_shown", Reading::Vin,
                  "7E8 10 14 49 02 01 57 50 30 \r7E8 21 5A 5A 5A 39 39 5A 49 \r7E8 22 53 33 39 30 30 30 4F \r\r", true,
                  "WP0ZZZ99ZIS39000O (not trusted: character 10 (byte 49) is not one a VIN may hold)"},
        DecodeRow{"vin_control_byte_shown_replaced", Reading::Vin,
                  "7E8 10 14 49 02 01 57 50 30 \r7E8 21 5A 5A 5A 39 39 5A 07 \r7E8 22 53 33 39 30 30 30 30 \r\r", true,
                  "WP0ZZZ99Z\xEF\xBF\xBDS390000 (not trusted: character 10 (byte 07) is not one a VIN may hold)"},
        DecodeRow{"vin_short_length_announced", Reading::Vin,
                  "7E8 10 13 49 02 01 57 50 30 \r7E8 21 5A 5A 5A 39 39 5A 54 \r7E8 22 53 33 39 30 30 30 AA \r\r", true,
                  "WP0ZZZ99ZTS39000 (not trusted: it has 16 characters, not 17)"},
        DecodeRow{"vin_not_supported", Reading::Vin, "NO DATA\r\r", true, "unknown"},
        DecodeRow{"vin_frame_lost", Reading::Vin, "7E8 10 14 49 02 01 4D 41 54 \r7E8 22 4E 4C 30 30 30 30 30 \r\r",
                  true, "unknown"}),
    [](const auto &info) { return std::string(info.param.name); });

// The names sit beside the bits in the decoder's tables: a monitor added to the enum but to no
// table would be listed nameless, and two that share a name could not be told apart.
TEST(MonitorNames, EveryMonitorHasItsOwn)
{
    QStringList names;
    for (int m = 0; m <= static_cast<int>(Monitor::EgrVvt); ++m) {
        const QString name = MonitorName(static_cast<Monitor>(m));
        EXPECT_FALSE(name.isEmpty()) << "monitor " << m;
        EXPECT_FALSE(names.contains(name)) << name.toStdString();
        names << name;
    }
}

} // namespace
} // namespace qova::obd
