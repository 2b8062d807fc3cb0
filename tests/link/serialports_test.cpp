// A USB adapter that comes back under another name is found again.
#include "link/qserialdevice.h"
#include "link/serialport.h"
#include "link/serialports.h"
#include "tests/support/okresult.h"
#include "tests/support/pseudoterminal.h"

#include <gtest/gtest.h>

using namespace qova;
using link::SerialPortDescription;

namespace {

SerialPortDescription port(const char *name, const char *serial, std::uint16_t vendor, std::uint16_t product,
                           const char *socket)
{
    SerialPortDescription d;
    d.name = QString::fromLatin1(name);
    d.location = QStringLiteral("/dev/") + d.name;
    d.serialNumber = QString::fromLatin1(serial);
    d.vendorId = vendor;
    d.productId = product;
    d.usbLocation = QString::fromLatin1(socket);
    return d;
}

struct FindRow {
    const char *what;
    SerialPortDescription was;
    std::vector<SerialPortDescription> now;
    std::optional<QString> found;
};

class FindAdapterAgain : public testing::TestWithParam<FindRow> {};

TEST_P(FindAdapterAgain, BySerialNumberElseByProductAndSocket)
{
    const FindRow &row = GetParam();
    EXPECT_EQ(link::FindAdapterAgain(row.was, row.now), row.found) << row.what;
}

const SerialPortDescription kFtdi = port("ttyUSB0", "A50285BI", 0x0403, 0x6001, "1-1.2");
const SerialPortDescription kCh340 = port("ttyUSB0", "", 0x1a86, 0x7523, "1-1.2");

INSTANTIATE_TEST_SUITE_P(
    Rows, FindAdapterAgain,
    testing::Values(
        FindRow{"back as ttyUSB1 in another socket",
                kFtdi,
                {port("ttyS0", "", 0, 0, ""), port("ttyUSB1", "A50285BI", 0x0403, 0x6001, "1-1.4")},
                QStringLiteral("/dev/ttyUSB1")},
        FindRow{"still where it was", kFtdi, {port("ttyUSB0", "A50285BI", 0x0403, 0x6001, "1-1.2")}, std::nullopt},
        FindRow{"not plugged in", kFtdi, {port("ttyS0", "", 0, 0, "")}, std::nullopt},
        FindRow{"another adapter of the same kind",
                kFtdi,
                {port("ttyUSB1", "B7701XQ2", 0x0403, 0x6001, "1-1.2")},
                std::nullopt},
        FindRow{"two adapters with the same serial number",
                kFtdi,
                {port("ttyUSB1", "A50285BI", 0x0403, 0x6001, "1-1.3"),
                 port("ttyUSB2", "A50285BI", 0x0403, 0x6001, "1-1.4")},
                std::nullopt},
        FindRow{"no serial number: the same product in the same socket",
                kCh340,
                {port("ttyUSB1", "", 0x1a86, 0x7523, "1-1.2")},
                QStringLiteral("/dev/ttyUSB1")},
        FindRow{"no serial number: the same product in another socket",
                kCh340,
                {port("ttyUSB1", "", 0x1a86, 0x7523, "1-1.3")},
                std::nullopt},
        FindRow{"no serial number and no socket known",
                port("COM5", "", 0x1a86, 0x7523, ""),
                {port("COM7", "", 0x1a86, 0x7523, "")},
                std::nullopt},
        FindRow{"a port that is no USB adapter",
                port("ttyS1", "", 0, 0, ""),
                {port("ttyS2", "", 0, 0, "")},
                std::nullopt}));

TEST(AdapterMemory, AnAdapterBackUnderAnotherNameIsOpenedWhereItIsNow)
{
    auto first = std::make_unique<test::PseudoTerminal>();
    ASSERT_FALSE(first->name().isEmpty());
    const QString chosen = first->name();
    SerialPortDescription adapter = port("ttyUSB0", "A50285BI", 0x0403, 0x6001, "1-1.2");
    adapter.location = chosen;
    std::vector<SerialPortDescription> listed = {adapter};
    auto adapters = std::make_shared<link::AdapterMemory>([&listed] { return listed; });

    link::VirtualPause pause;
    link::PortState state([&](int) { return std::make_unique<link::QSerialDevice>(chosen, adapters); }, pause);
    ASSERT_TRUE(qova::test::Ok(link::OpenPort(state)));
    link::ClosePort(state);

    // Unplugged, and back under another name.
    test::PseudoTerminal second;
    first->unplug();
    first.reset();
    adapter.location = second.name();
    listed = {adapter};
    ASSERT_TRUE(qova::test::Ok(link::OpenPort(state)));
    EXPECT_EQ(state.PortHandle->deviceName(), second.name());
    link::WriteByte(state, 0x11);
    EXPECT_EQ(second.received(), QByteArray("\x11"));
    link::ClosePort(state);

    // Another adapter of the same kind is not taken for it.
    listed = {port("ttyUSB1", "B7701XQ2", 0x0403, 0x6001, "1-1.2")};
    listed[0].location = second.name();
    EXPECT_FALSE(link::OpenPort(state).ok());
}

} // namespace
