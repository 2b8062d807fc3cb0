#include "devices.h"

#include "qserialdevice.h"
#include "simdevice.h"

namespace qova::app {

link::DeviceFactory ProgramDevices(link::Pause &pause)
{
    return [&pause](int portNumber) -> std::unique_ptr<link::ByteDevice> {
        const QString name = link::PortDeviceName(portNumber);
        if (name == QLatin1String("demo"))
            return sim::MakeDemoDevice(pause);
        return std::make_unique<link::QSerialDevice>(name);
    };
}

} // namespace qova::app
