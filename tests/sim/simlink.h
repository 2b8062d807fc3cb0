#pragma once

#include "link/livereading.h"
#include "link/serialport.h"
#include "sim/demoanalyser.h"
#include "sim/simdevice.h"

#include <memory>

namespace qova::test {

// A port state over the simulated analyser in virtual time. The model outlives every
// device the port opens, as the program's demo port does.
struct SimLink {
    explicit SimLink(sim::DemoOptions options = {}, bool paced = true)
        : analyser(std::make_shared<sim::DemoAnalyser>(options)), paced(paced)
    {
    }

    link::VirtualPause clock;
    std::shared_ptr<sim::DemoAnalyser> analyser;
    bool paced;
    sim::SimDevice *device = nullptr; // the newest, owned by the port state
    int failedFrames = 0;
    link::PortState port{[this](int) -> std::unique_ptr<link::ByteDevice> {
                             auto d = std::make_unique<sim::SimDevice>(clock, analyser, paced);
                             device = d.get();
                             return d;
                         },
                         clock};

    bool open() { return link::OpenPort(port).ok() && port.PortOpen; }
    // One cycle of a live window: ask, wait a timer period, read what came.
    bool cycle(link::LiveReading &r, int periodMs = 2000)
    {
        link::RequestReading(port);
        clock.sleepMs(periodMs);
        return link::ReadLiveFrame(port, r, failedFrames);
    }
    void send(std::uint8_t byte) { link::WriteByte(port, byte); }
};

} // namespace qova::test
