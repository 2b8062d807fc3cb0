#include "app/devices.h"

#include "link/networkdevice.h"
#include "link/qserialdevice.h"
#include "sim/elmcar.h"
#include "sim/simdevice.h"

#include <map>

namespace qova::app {

namespace {
// One simulated analyser for the whole run: reopening the port does not restart it, and
// the demo car's OBD side reads its engine.
std::shared_ptr<sim::Analyser> programDemoAnalyser()
{
    static const std::shared_ptr<sim::Analyser> demo = sim::MakeDemoAnalyser();
    return demo;
}

// Each practice car has an analyser of its own, kept between openings like the plain demo's
// until the car is chosen again.
std::map<sim::VehicleProfile, std::shared_ptr<sim::Analyser>> &practiceCars()
{
    static std::map<sim::VehicleProfile, std::shared_ptr<sim::Analyser>> cars;
    return cars;
}

std::shared_ptr<sim::Analyser> practiceCar(sim::VehicleProfile profile)
{
    std::shared_ptr<sim::Analyser> &car = practiceCars()[profile];
    if (!car)
        car = std::make_shared<sim::DemoAnalyser>(sim::PracticeCarOptions(profile));
    return car;
}

link::NamedDeviceFactory namedDevices(link::Pause &pause)
{
    std::shared_ptr<sim::Analyser> demo = programDemoAnalyser();
    // Every adapter that opened, so one that comes back under another name is found again.
    auto adapters = std::make_shared<link::AdapterMemory>();
    return [&pause, demo, adapters](const QString &name) -> std::unique_ptr<link::ByteDevice> {
        if (const auto vehicle = sim::DemoVehicleOf(name))
            return sim::MakeDemoDevice(pause, *vehicle == sim::VehicleProfile::None ? demo : practiceCar(*vehicle),
                                       name);
        if (link::IsNetworkName(name))
            return std::make_unique<link::NetworkDevice>(name, pause);
        return std::make_unique<link::QSerialDevice>(name, adapters);
    };
}
} // namespace

void SwitchOnDemoCarAgain(const QString &device)
{
    const auto vehicle = sim::DemoVehicleOf(device);
    if (vehicle && *vehicle != sim::VehicleProfile::None)
        practiceCars().erase(*vehicle);
}

void UseProgramDevices(link::PortState &port, link::Pause &pause)
{
    link::NamedDeviceFactory named = namedDevices(pause);
    port.factory = [named](int portNumber) { return named(link::PortDeviceName(portNumber)); };
    port.namedFactory = std::move(named);
}

std::unique_ptr<link::ByteDevice> MakeObdDevice(const obd::ObdAddress &address, link::Pause &pause,
                                                const QString &analyserDevice)
{
    switch (address.kind) {
    case obd::ObdAddress::Kind::Demo: {
        const auto vehicle = sim::DemoVehicleOf(analyserDevice);
        std::shared_ptr<sim::Analyser> engine =
            vehicle && *vehicle != sim::VehicleProfile::None ? practiceCar(*vehicle) : programDemoAnalyser();
        const sim::ObdCar car = sim::ObdCarFromName(address.demoCar.toStdString()).value_or(sim::ObdCar::Healthy);
        return sim::MakeDemoDevice(pause, sim::MakeObdCar(std::move(engine), car), address.name);
    }
    case obd::ObdAddress::Kind::Network:
        return std::make_unique<link::NetworkDevice>(address.name, pause);
    case obd::ObdAddress::Kind::Serial:
        break;
    }
    return std::make_unique<link::QSerialDevice>(address.name);
}

} // namespace qova::app
