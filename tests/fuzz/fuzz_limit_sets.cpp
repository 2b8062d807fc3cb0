// Any bytes as a workshop's limit set file: read or refused with a message, never a crash,
// never both sets and an error, and every set that reads can judge a car.
#include "check/limitset.h"

#include <algorithm>
#include <cstdlib>

namespace {
using namespace qova::check;

bool within(const std::optional<int> &v, int lowest, int highest)
{
    return !v || (*v >= lowest && *v <= highest);
}

// The rules as the file format states them, in the analyser's units.
bool canJudge(const LimitSet &set)
{
    if (set.source.isEmpty() || set.stages.empty())
        return false;
    const bool cng = set.fuels.empty() || std::count(set.fuels.begin(), set.fuels.end(), Fuel::Cng) > 0;
    for (std::size_t i = 0; i < set.stages.size(); ++i) {
        const StageLimits &s = set.stages[i];
        const GasLimits &l = s.limits;
        const bool besidesHc = l.coMax || l.lambdaMin || l.lambdaMax;
        if (set.metered && !besidesHc && (!l.hcMax || cng))
            return false;
        if (!within(l.coMax, 0, 1500) || !within(l.hcMax, 0, 20000) || !within(l.lambdaMin, 500, 2000) ||
            !within(l.lambdaMax, 500, 2000) || s.minRpm < 0 || s.maxRpm > 10000 || s.minRpm >= s.maxRpm)
            return false;
        if (s.recheck && (!l.hcMax || s.recheck->hcMax < 0 || s.recheck->hcMax > 20000))
            return false;
        if (i > 0 && (s.kind != StageKind::NaturalIdle || set.stages[0].kind != StageKind::FastIdle ||
                      s.maxRpm >= set.stages[0].minRpm))
            return false;
    }
    return set.stages.size() <= 2;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray json(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    // A file that fails gives no set at all: the Result holds one or the other.
    const auto read = ParseLimitSets(json, QStringLiteral("limitsets.json"));
    if (!read.ok()) {
        if (!read.problem().text().startsWith(QStringLiteral("limitsets.json: ")))
            std::abort();
        return 0;
    }
    for (const auto &set : read.value())
        if (!canJudge(set))
            std::abort();
    return 0;
}
