#include "devices.h"

#include "elmcar.h"
#include "networkdevice.h"
#include "qserialdevice.h"
#include "simdevice.h"

namespace qova::app {

namespace {
// One simulated analyser for the whole run: reopening the port does not restart it, and
// the demo car's OBD side reads its engine.
std::shared_ptr<sim::Analyser> programDemoAnalyser()
{
    static const std::shared_ptr<sim::Analyser> demo = sim::MakeDemoAnalyser();
    return demo;
}

link::NamedDeviceFactory namedDevices(link::Pause &pause)
{
    std::shared_ptr<sim::Analyser> demo = programDemoAnalyser();
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

std::unique_ptr<link::ByteDevice> MakeObdDevice(const obd::ObdAddress &address, link::Pause &pause)
{
    switch (address.kind) {
    case obd::ObdAddress::Kind::Demo:
        return sim::MakeDemoDevice(pause, sim::MakeObdCar(programDemoAnalyser(), sim::ObdCar::Healthy));
    case obd::ObdAddress::Kind::Network:
        return std::make_unique<link::NetworkDevice>(address.name, pause);
    case obd::ObdAddress::Kind::Serial:
        break;
    }
    return std::make_unique<link::QSerialDevice>(address.name);
}

} // namespace qova::app
