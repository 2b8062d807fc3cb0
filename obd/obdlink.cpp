#include "obd/obdlink.h"

namespace qova::obd {

ObdLink::ObdLink(std::unique_ptr<link::ByteDevice> device, link::Pause &clock, ElmSession::Options options,
                 QObject *parent)
    : QObject(parent), session_(std::move(device), clock, std::move(options))
{
    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, [this] { session_.tick(); });
    session_.onChange = [this] { emit changed(); };
}

void ObdLink::start()
{
    session_.start();
    timer_.start();
}

void ObdLink::stop()
{
    timer_.stop();
    session_.stop();
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
