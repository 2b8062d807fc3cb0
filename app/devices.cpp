#include "devices.h"

#include "networkdevice.h"
#include "qserialdevice.h"
#include "simdevice.h"

namespace qova::app {

link::DeviceFactory ProgramDevices(link::Pause &pause)
{
    // One simulated analyser for the whole run: reopening the port does not restart it.
    std::shared_ptr<sim::Analyser> demo = sim::MakeDemoAnalyser();
    return [&pause, demo](int portNumber) -> std::unique_ptr<link::ByteDevice> {
        const QString name = link::PortDeviceName(portNumber);
        if (name == QLatin1String("demo"))
            return sim::MakeDemoDevice(pause, demo);
        if (link::IsNetworkName(name))
            return std::make_unique<link::NetworkDevice>(name, pause);
        return std::make_unique<link::QSerialDevice>(name);
    };
}

} // namespace qova::app
