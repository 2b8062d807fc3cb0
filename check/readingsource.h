#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <utility>

namespace qova::check {

// Where the check took the engine speed it judged a stage's window by.
enum class SpeedSource : std::uint8_t { None, Analyser, Obd };
// How the engine was found warm.
enum class WarmSource : std::uint8_t { None, OilProbe, ObdOil, ObdCoolant, Operator };

// The words the screen, the certificate and the history use for each source.
inline constexpr std::array<std::pair<SpeedSource, const char *>, 3> kSpeedSourceNames{{
    {SpeedSource::None, "none"},
    {SpeedSource::Analyser, "analyser"},
    {SpeedSource::Obd, "OBD"},
}};
inline constexpr std::array<std::pair<WarmSource, const char *>, 5> kWarmSourceNames{{
    {WarmSource::None, "none"},
    {WarmSource::OilProbe, "oil probe"},
    {WarmSource::ObdOil, "OBD oil temperature"},
    {WarmSource::ObdCoolant, "OBD coolant temperature"},
    {WarmSource::Operator, "operator"},
}};

template <typename E, std::size_t N> QString SourceName(const std::array<std::pair<E, const char *>, N> &names, E e)
{
    for (const auto &[v, word] : names)
        if (v == e)
            return QString::fromLatin1(word);
    return {};
}
inline QString SpeedSourceName(SpeedSource s)
{
    return SourceName(kSpeedSourceNames, s);
}
inline QString WarmSourceName(WarmSource s)
{
    return SourceName(kWarmSourceNames, s);
}

} // namespace qova::check
