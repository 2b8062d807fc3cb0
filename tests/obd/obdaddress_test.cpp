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
        // What the settings keep reads back as the same adapter.
        EXPECT_EQ(ParseObdAddress(ObdAddressText(*address)).valueOr(std::nullopt), address);
    }
}

using K = ObdAddress::Kind;
INSTANTIATE_TEST_SUITE_P(
    Obd, Addresses,
    ::testing::Values(
        AddressRow{"empty_is_none", "", std::nullopt, false, {}}, AddressRow{"none", " none ", std::nullopt, false, {}},
        AddressRow{"demo", "demo", ObdAddress{K::Demo, "demo", std::nullopt, {}}, false, {}},
        AddressRow{"usb_serial_every_baud",
                   "/dev/ttyUSB1",
                   ObdAddress{K::Serial, "/dev/ttyUSB1", std::nullopt, {}},
                   false,
                   {38400, 9600, 115200}},
        AddressRow{"bluetooth_at_chosen_baud",
                   "/dev/rfcomm0@9600",
                   ObdAddress{K::Serial, "/dev/rfcomm0", 9600, {}},
                   false,
                   {9600}},
        AddressRow{
            "windows_port", "COM7", ObdAddress{K::Serial, "COM7", std::nullopt, {}}, false, {38400, 9600, 115200}},
        AddressRow{"odd_baud_refused", "/dev/ttyUSB1@4800", std::nullopt, true, {}},
        AddressRow{"baud_not_a_number", "/dev/ttyUSB1@fast", std::nullopt, true, {}},
        AddressRow{"wifi",
                   "tcp://192.168.0.10:35000",
                   ObdAddress{K::Network, "tcp://192.168.0.10:35000", std::nullopt, {}},
                   false,
                   {}},
        AddressRow{
            "wifi_ipv6", "tcp://[::1]:35000", ObdAddress{K::Network, "tcp://[::1]:35000", std::nullopt, {}}, false, {}},
        AddressRow{"wifi_without_port", "tcp://192.168.0.10", std::nullopt, true, {}},
        AddressRow{"wifi_port_out_of_range", "tcp://obd:70000", std::nullopt, true, {}},
        AddressRow{"serial_name_with_blank", "/dev/tty USB0", std::nullopt, true, {}}),
    [](const auto &info) { return std::string(info.param.name); });

// "demo:CAR" names one of the simulator's cars, handed in by the program; what is kept is
// read back as the same address.
struct DemoCarRow {
    const char *name;
    const char *text;
    const char *car; // nullptr: a problem
    const char *kept;
};

class DemoCars : public ::testing::TestWithParam<DemoCarRow> {};

TEST_P(DemoCars, NameACarOfTheList)
{
    const auto &row = GetParam();
    const QStringList cars{QStringLiteral("healthy"), QStringLiteral("lamp-on"), QStringLiteral("not-ready")};
    const auto parsed = ParseObdAddress(QString::fromUtf8(row.text), cars);
    ASSERT_EQ(parsed.ok(), row.car != nullptr) << (parsed.ok() ? std::string() : parsed.problem().text().toStdString());
    if (!row.car) {
        EXPECT_FALSE(parsed.problem().text().isEmpty());
        return;
    }
    ASSERT_TRUE(parsed.value());
    const ObdAddress &address = *parsed.value();
    EXPECT_EQ(address.kind, ObdAddress::Kind::Demo);
    EXPECT_EQ(address.demoCar, QString::fromUtf8(row.car));
    EXPECT_EQ(ObdAddressText(address), QString::fromUtf8(row.kept));
    EXPECT_EQ(ParseObdAddress(ObdAddressText(address), cars).valueOr(std::nullopt), parsed.value());
}

INSTANTIATE_TEST_SUITE_P(Obd, DemoCars,
                         ::testing::Values(DemoCarRow{"plain_demo_is_the_first_car", "demo", "", "demo"},
                                           DemoCarRow{"lamp_on", "demo:lamp-on", "lamp-on", "demo:lamp-on"},
                                           DemoCarRow{"blanks_around", "  demo:not-ready ", "not-ready",
                                                      "demo:not-ready"},
                                           DemoCarRow{"unknown_car", "demo:rusty", nullptr, ""},
                                           DemoCarRow{"no_car_after_colon", "demo:", nullptr, ""},
                                           DemoCarRow{"car_names_are_exact", "demo:Lamp-On", nullptr, ""}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace qova::obd
