#include "obd/obdlink.h"

namespace qova::obd {

namespace {
// Stands where no adapter is chosen, so the session always has a device and its problem
// tells the operator where to choose one.
class NoAdapter final : public link::ByteDevice {
public:
    bool openDevice() override { return false; }
    bool setLineSettings() override { return false; }
    bool setTimeouts() override { return false; }
    bool setQueues() override { return false; }
    void close() override {}
    bool isOpen() const override { return false; }
    bool writeByte(std::uint8_t) override { return false; }
    std::optional<std::uint8_t> readByte() override { return std::nullopt; }
    std::size_t queuedBytes() override { return 0; }
    QString deviceName() const override { return QStringLiteral("none"); }
    QString errorString() const override { return QStringLiteral("no OBD adapter is chosen"); }
};

ElmSession::Options NoLine()
{
    ElmSession::Options options;
    options.baudRates.clear();
    return options;
}
} // namespace

ObdLink::ObdLink(std::unique_ptr<link::ByteDevice> device, link::Pause &clock, ElmSession::Options options,
                 QObject *parent)
    : QObject(parent), session_(std::move(device), clock, std::move(options))
{
    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, &ObdLink::tick);
    session_.onChange = [this] { emit changed(); };
}

ObdLink::ObdLink(link::Pause &clock, QObject *parent) : ObdLink(std::make_unique<NoAdapter>(), clock, NoLine(), parent)
{
    inUse_ = false;
}

void ObdLink::start()
{
    if (!inUse_)
        return;
    // Starting ticks once, which may open the adapter: the same guard as the timer's.
    ticking_ = true;
    session_.start();
    ticking_ = false;
    timer_.start();
}

void ObdLink::tick()
{
    if (ticking_)
        return;
    ticking_ = true;
    session_.tick();
    ticking_ = false;
}

void ObdLink::stop()
{
    timer_.stop();
    session_.stop();
}

void ObdLink::use(std::unique_ptr<link::ByteDevice> device, ElmSession::Options options)
{
    timer_.stop();
    session_.use(std::move(device), std::move(options));
    inUse_ = true;
    start();
}

void ObdLink::useNone()
{
    timer_.stop();
    session_.use(std::make_unique<NoAdapter>(), NoLine());
    inUse_ = false;
}

ElmSession::Options ObdLink::OptionsFor(const ObdAddress &address)
{
    ElmSession::Options options;
    if (address.kind != ObdAddress::Kind::Serial)
        options.baudRates.clear();
    else if (address.baudRate)
        options.baudRates = {*address.baudRate};
    return options;
}

} // namespace qova::obd
