// The OBD adapter the program uses: the kept choice read back (QOVA_OBD over it), and the
// one link switching from adapter to adapter while every holder's pointer stays good.
#include "app/devices.h"
#include "app/obdconnection.h"
#include "link/pause.h"
#include "tests/support/coreapplication.h"

#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace qova::app {
namespace {

struct StoredRow {
    const char *name;
    QVariant kept;           // invalid: the key absent
    const char *environment; // nullptr: QOVA_OBD not set
    const char *address;     // what the program uses; nullptr: no adapter
    const char *problemHas;  // nullptr: nothing to tell
};

class StoredChoice : public ::testing::TestWithParam<StoredRow> {};

TEST_P(StoredChoice, ReadBackValidated)
{
    const auto &row = GetParam();
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("gas.conf")), QSettings::IniFormat);
    if (row.kept.isValid())
        settings.setValue(QLatin1String(kObdChoiceKey), row.kept);
    const std::optional<QString> environment =
        row.environment ? std::optional(QString::fromUtf8(row.environment)) : std::nullopt;
    const ObdChoice choice = ReadObdChoice(settings, environment);
    EXPECT_EQ(choice.fromEnvironment, row.environment != nullptr);
    if (row.address) {
        ASSERT_TRUE(choice.address);
        EXPECT_EQ(obd::ObdAddressText(*choice.address), QString::fromUtf8(row.address));
    } else {
        EXPECT_FALSE(choice.address);
    }
    if (row.problemHas) {
        EXPECT_TRUE(choice.problem.contains(QString::fromUtf8(row.problemHas))) << choice.problem.toStdString();
        // Where to fix it.
        EXPECT_TRUE(
            choice.problem.contains(row.environment ? QStringLiteral("QOVA_OBD") : QStringLiteral("FILE > COMM")))
            << choice.problem.toStdString();
    } else {
        EXPECT_TRUE(choice.problem.isEmpty()) << choice.problem.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    App, StoredChoice,
    ::testing::Values(
        StoredRow{"nothing_kept", QVariant(), nullptr, nullptr, nullptr},
        StoredRow{"serial_at_a_rate", QStringLiteral("/dev/ttyUSB1@38400"), nullptr, "/dev/ttyUSB1@38400", nullptr},
        StoredRow{"serial_automatic", QStringLiteral("/dev/rfcomm0"), nullptr, "/dev/rfcomm0", nullptr},
        StoredRow{"wifi", QStringLiteral("tcp://192.168.0.10:35000"), nullptr, "tcp://192.168.0.10:35000", nullptr},
        StoredRow{"demo_car", QStringLiteral("demo:ignition-off"), nullptr, "demo:ignition-off", nullptr},
        StoredRow{"none_kept", QStringLiteral("none"), nullptr, nullptr, nullptr},
        StoredRow{"odd_baud", QStringLiteral("/dev/ttyUSB1@4800"), nullptr, nullptr, "38400, 9600 or 115200"},
        StoredRow{"unknown_demo_car", QStringLiteral("demo:rusty"), nullptr, nullptr, "lamp-on"},
        StoredRow{"network_without_port", QStringLiteral("tcp://obd"), nullptr, nullptr, "tcp://HOST:PORT"},
        StoredRow{"a_list_not_a_line", QStringList{QStringLiteral("a"), QStringLiteral("b")}, nullptr, nullptr,
                  "ignored"},
        StoredRow{"damaged_long_value", QString(400, QLatin1Char('x')), nullptr, nullptr, "ignored"},
        StoredRow{"environment_over_kept", QStringLiteral("/dev/ttyUSB1"), "demo:lamp-on", "demo:lamp-on", nullptr},
        StoredRow{"environment_none_over_kept", QStringLiteral("/dev/ttyUSB1"), "none", nullptr, nullptr},
        StoredRow{"bad_environment_is_none", QStringLiteral("/dev/ttyUSB1"), "tcp://:0", nullptr,
                  "names no OBD adapter"}),
    [](const auto &info) { return std::string(info.param.name); });

// Runs the link's session in virtual time until `done` or `ms` have passed.
template <typename Done> bool RunFor(obd::ObdLink &link, link::VirtualPause &clock, int ms, Done done)
{
    for (int t = 0; t < ms; t += obd::ObdLink::kTickMs) {
        link.session().tick();
        if (done())
            return true;
        clock.sleepMs(obd::ObdLink::kTickMs);
    }
    return done();
}

struct SwitchRow {
    const char *name;
    const char *first;
    const char *second; // "none" for no adapter
    bool lampOnAfter;
};

class LinkSwitch : public ::testing::TestWithParam<SwitchRow> {};

TEST_P(LinkSwitch, KeepsItsPointerAndForgetsTheOldCar)
{
    const auto &row = GetParam();
    test::CoreApplication("obdconnection_test");
    link::VirtualPause clock;
    obd::ObdLink *published = reinterpret_cast<obd::ObdLink *>(&clock); // anything but null
    int made = 0;
    ObdConnection connection(
        clock,
        [&](const obd::ObdAddress &address) {
            ++made;
            return MakeObdDevice(address, clock);
        },
        published);
    EXPECT_EQ(published, nullptr);
    const auto first = ParseObdChoice(QString::fromUtf8(row.first)).value();
    connection.use(first);
    ASSERT_EQ(published, &connection.link());
    obd::ObdLink *held = published; // as a window keeps it
    const obd::ElmSession *session = &held->session();
    ASSERT_TRUE(RunFor(*held, clock, 20000, [&] {
        return held->session().readings().status.has_value() && held->session().readings().vin.has_value();
    })) << obd::StateName(held->session().state()).toStdString();
    EXPECT_TRUE(held->session().readings().vin->value.text.startsWith(QStringLiteral("VF1DEMCAR")));
    EXPECT_TRUE(held->session().readings().vin->value.trusted);

    connection.use(first); // the same again leaves it running
    EXPECT_EQ(made, 1);
    EXPECT_TRUE(held->session().readings().vin.has_value());

    const auto second = ParseObdChoice(QString::fromUtf8(row.second)).value();
    connection.use(second);
    EXPECT_EQ(&held->session(), session);
    // Nothing the old car said is taken for the new one's.
    EXPECT_FALSE(held->session().readings().status.has_value());
    EXPECT_FALSE(held->session().readings().vin.has_value());
    if (!second) {
        EXPECT_EQ(published, nullptr);
        EXPECT_FALSE(held->inUse());
        const std::size_t sent = held->session().sent().size();
        RunFor(*held, clock, 6000, [] { return false; });
        EXPECT_EQ(held->session().state(), obd::ElmSession::State::Closed);
        EXPECT_EQ(held->session().sent().size(), sent);
        return;
    }
    EXPECT_EQ(published, held);
    EXPECT_EQ(made, 2);
    ASSERT_TRUE(RunFor(*held, clock, 20000, [&] { return held->session().readings().status.has_value(); }));
    EXPECT_EQ(held->session().readings().status->value.lampOn, row.lampOnAfter);
}

INSTANTIATE_TEST_SUITE_P(App, LinkSwitch,
                         ::testing::Values(SwitchRow{"healthy_to_lamp_on", "demo", "demo:lamp-on", true},
                                           SwitchRow{"lamp_on_to_healthy", "demo:lamp-on", "demo:healthy", false},
                                           SwitchRow{"to_none", "demo:healthy", "none", false}),
                         [](const auto &info) { return std::string(info.param.name); });

// An adapter whose opening lets the link's timer fire again, as a network adapter's wait
// for its connection does: the second tick must not open it a second time inside the first.
class ReenteringDevice final : public link::ByteDevice {
public:
    obd::ObdLink *link = nullptr;
    int opens = 0, depth = 0, deepest = 0;
    bool openDevice() override
    {
        ++opens;
        deepest = std::max(deepest, ++depth);
        if (link && opens < 50)
            link->tick();
        --depth;
        return false;
    }
    bool setLineSettings() override { return true; }
    bool setTimeouts() override { return true; }
    bool setQueues() override { return true; }
    void close() override {}
    bool isOpen() const override { return false; }
    bool writeByte(std::uint8_t) override { return false; }
    std::optional<std::uint8_t> readByte() override { return std::nullopt; }
    std::size_t queuedBytes() override { return 0; }
    QString deviceName() const override { return QStringLiteral("tcp://obd:35000"); }
    QString errorString() const override { return QStringLiteral("no connection"); }
};

TEST(ObdLinkTick, AWaitingOpenIsNeverEnteredTwice)
{
    test::CoreApplication("obdconnection_test");
    link::VirtualPause clock;
    auto device = std::make_unique<ReenteringDevice>();
    ReenteringDevice *seen = device.get();
    obd::ObdLink link(clock);
    seen->link = &link;
    link.use(std::move(device), obd::ObdLink::OptionsFor(*ParseObdChoice(QStringLiteral("tcp://obd:35000")).value()));
    EXPECT_EQ(seen->deepest, 1);
    EXPECT_EQ(seen->opens, 1);
    link.stop();
}

} // namespace
} // namespace qova::app
