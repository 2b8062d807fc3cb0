// What QOVA_OBD (and the COMM choice) may say, and what the session then tries.
#include "obd/obdaddress.h"
#include "obd/obdlink.h"

#include <gtest/gtest.h>

namespace qova::obd {
namespace {

struct AddressRow {
    const char *name;
    const char *text;
    std::optional<ObdAddress> address;
    bool problem;
    std::vector<int> baudRates; // what the session tries, when there is an adapter
};

class Addresses : public ::testing::TestWithParam<AddressRow> {};

TEST_P(Addresses, Parsed)
{
    const auto &row = GetParam();
    const auto parsed = ParseObdAddress(QString::fromUtf8(row.text));
    EXPECT_EQ(!parsed.ok(), row.problem) << (parsed.ok() ? std::string() : parsed.problem().text().toStdString());
    const std::optional<ObdAddress> address = parsed.valueOr(std::nullopt);
    EXPECT_EQ(address, row.address);
    if (address) {
        EXPECT_EQ(ObdLink::OptionsFor(*address).baudRates, row.baudRates);
    }
}

using K = ObdAddress::Kind;
INSTANTIATE_TEST_SUITE_P(
    Obd, Addresses,
    ::testing::Values(
        AddressRow{"empty_is_none", "", std::nullopt, false, {}}, AddressRow{"none", " none ", std::nullopt, false, {}},
        AddressRow{"demo", "demo", ObdAddress{K::Demo, "demo", std::nullopt}, false, {}},
        AddressRow{"usb_serial_every_baud",
                   "/dev/ttyUSB1",
                   ObdAddress{K::Serial, "/dev/ttyUSB1", std::nullopt},
                   false,
                   {38400, 9600, 115200}},
        AddressRow{"bluetooth_at_chosen_baud",
                   "/dev/rfcomm0@9600",
                   ObdAddress{K::Serial, "/dev/rfcomm0", 9600},
                   false,
                   {9600}},
        AddressRow{"windows_port", "COM7", ObdAddress{K::Serial, "COM7", std::nullopt}, false, {38400, 9600, 115200}},
        AddressRow{"odd_baud_refused", "/dev/ttyUSB1@4800", std::nullopt, true, {}},
        AddressRow{"baud_not_a_number", "/dev/ttyUSB1@fast", std::nullopt, true, {}},
        AddressRow{"wifi",
                   "tcp://192.168.0.10:35000",
                   ObdAddress{K::Network, "tcp://192.168.0.10:35000", std::nullopt},
                   false,
                   {}},
        AddressRow{
            "wifi_ipv6", "tcp://[::1]:35000", ObdAddress{K::Network, "tcp://[::1]:35000", std::nullopt}, false, {}},
        AddressRow{"wifi_without_port", "tcp://192.168.0.10", std::nullopt, true, {}},
        AddressRow{"wifi_port_out_of_range", "tcp://obd:70000", std::nullopt, true, {}},
        AddressRow{"serial_name_with_blank", "/dev/tty USB0", std::nullopt, true, {}}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace qova::obd
