#include "devices.h"

#include "networkdevice.h"
#include "qserialdevice.h"
#include "simdevice.h"

namespace qova::app {

namespace {
link::NamedDeviceFactory namedDevices(link::Pause &pause)
{
    // One simulated analyser for the whole run: reopening the port does not restart it.
    std::shared_ptr<sim::Analyser> demo = sim::MakeDemoAnalyser();
    // Every adapter that opened, so one that comes back under another name is found again.
    auto adapters = std::make_shared<link::AdapterMemory>();
    return [&pause, demo, adapters](const QString &name) -> std::unique_ptr<link::ByteDevice> {
        if (name == QLatin1String("demo"))
            return sim::MakeDemoDevice(pause, demo);
        if (link::IsNetworkName(name))
            return std::make_unique<link::NetworkDevice>(name, pause);
        return std::make_unique<link::QSerialDevice>(name, adapters);
    };
}
} // namespace

void UseProgramDevices(link::PortState &port, link::Pause &pause)
{
    link::NamedDeviceFactory named = namedDevices(pause);
    port.factory = [named](int portNumber) { return named(link::PortDeviceName(portNumber)); };
    port.namedFactory = std::move(named);
}

} // namespace qova::app
