#pragma once

#include "analyser.h"

namespace qova::sim {

class DemoAnalyser final : public Analyser {
public:
    std::vector<std::uint8_t> receive(std::uint8_t byte, std::int64_t nowMs) override;

private:
    int polls_ = 0;
};

} // namespace qova::sim
