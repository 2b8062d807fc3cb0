#include "sim/elmcar.h"

#include "obd/obdcommands.h"
#include "sim/demoanalyser.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace qova::sim {

namespace {

constexpr std::string_view kBanner = "ELM327 v1.5";
constexpr std::string_view kEcuHeader = "7E8";

// PIDs this car supports: 01 03-07 0B-11 13 15 1C 1F 20 / 21 2F 31 33 3C 40 / 44 45 49 4A 4D 4E 5C.
const std::vector<std::uint8_t> kSupported00{0x41, 0x00, 0xBE, 0x3F, 0xA8, 0x13};
const std::vector<std::uint8_t> kSupported20{0x41, 0x20, 0x80, 0x02, 0xA0, 0x11};
const std::vector<std::uint8_t> kSupported40{0x41, 0x40, 0x18, 0xCC, 0x00, 0x10};

std::string hexByte(std::uint8_t b)
{
    static const char kHex[] = "0123456789ABCDEF";
    return {kHex[b >> 4], kHex[b & 0x0F]};
}

std::optional<std::uint8_t> hexAt(const std::string &s, std::size_t at)
{
    if (at + 2 > s.size() || !std::isxdigit(static_cast<unsigned char>(s[at])) ||
        !std::isxdigit(static_cast<unsigned char>(s[at + 1])))
        return std::nullopt;
    return static_cast<std::uint8_t>(std::stoi(s.substr(at, 2), nullptr, 16));
}

std::uint8_t temperatureByte(double c)
{
    return static_cast<std::uint8_t>(std::clamp(std::lround(c) + obd::kTemperatureOffset, 0L, 255L));
}

} // namespace

std::string_view ObdCarName(ObdCar car)
{
    switch (car) {
    case ObdCar::Healthy:
        return "healthy";
    case ObdCar::LampOn:
        return "lamp-on";
    case ObdCar::NotReady:
        return "not-ready";
    case ObdCar::IgnitionOff:
        return "ignition-off";
    }
    return "";
}

std::vector<ObdCar> ObdCars()
{
    return {ObdCar::Healthy, ObdCar::LampOn, ObdCar::NotReady, ObdCar::IgnitionOff};
}

std::optional<ObdCar> ObdCarFromName(std::string_view name)
{
    for (ObdCar c : ObdCars())
        if (ObdCarName(c) == name)
            return c;
    return std::nullopt;
}

ElmCar::ElmCar(ObdCar car, std::function<ObdEngine(std::int64_t)> engine) : car_(car), engine_(std::move(engine)) {}

std::string ElmCar::vin() const
{
    // Letters and digits a VIN may hold (no I, O or Q); the last digit tells the cars apart.
    return "VF1DEMCAR0000000" + std::to_string(static_cast<int>(car_) + 1);
}

std::vector<std::uint8_t> ElmCar::receive(std::uint8_t byte, std::int64_t nowMs)
{
    nowMs_ = nowMs;
    std::vector<std::uint8_t> out;
    if (replyAtMs_ >= 0) {
        // Anything sent while an answer is under way stops it.
        replyAtMs_ = nowMs;
        reply_ = "STOPPED\r\r>";
        line_.clear();
        return out;
    }
    if (byte == '\n' || byte == ' ' || byte == 0)
        return out;
    if (byte != '\r') {
        if (line_.size() < kMaxCommand)
            line_.push_back(static_cast<char>(std::toupper(byte)));
        return out;
    }
    std::string command = line_.empty() ? last_ : line_;
    line_.clear();
    // The echo goes out with the answer, so that the two never come interleaved.
    const std::string echo = echo_ ? command + "\r" : std::string();
    last_ = command;
    int delayMs = kAnswerMs;
    std::string body = answer(command, delayMs);
    finish(echo + body, delayMs, nowMs);
    return out;
}

void ElmCar::finish(std::string body, int delayMs, std::int64_t nowMs)
{
    std::string reply = body + "\r\r>";
    if (lineFeeds_) {
        std::string withLf;
        for (char c : reply)
            withLf += c == '\r' ? std::string("\r\n") : std::string(1, c);
        reply = withLf;
    }
    reply_ = reply;
    replyAtMs_ = nowMs + delayMs;
}

std::vector<std::uint8_t> ElmCar::unasked(std::int64_t nowMs)
{
    if (replyAtMs_ < 0 || nowMs < replyAtMs_)
        return {};
    std::vector<std::uint8_t> out(reply_.begin(), reply_.end());
    reply_.clear();
    replyAtMs_ = -1;
    return out;
}

std::string ElmCar::answer(const std::string &command, int &delayMs)
{
    if (command.rfind("AT", 0) == 0) {
        const std::string at = command.substr(2);
        auto flag = [&](char letter, bool &into) {
            if (at.size() == 2 && at[0] == letter && (at[1] == '0' || at[1] == '1')) {
                into = at[1] == '1';
                return true;
            }
            return false;
        };
        if (at == "Z") {
            echo_ = true;
            lineFeeds_ = false;
            headers_ = false;
            spaces_ = true;
            searched_ = false;
            delayMs = kResetMs;
            return "\r\r" + std::string(kBanner);
        }
        if (at == "I")
            return std::string(kBanner);
        if (at == "RV")
            return car_ == ObdCar::IgnitionOff ? "12.4V" : "14.1V";
        if (at == "DPN")
            return searched_ && car_ != ObdCar::IgnitionOff ? "A6" : "A0";
        if (flag('E', echo_) || flag('L', lineFeeds_) || flag('H', headers_) || flag('S', spaces_))
            return "OK";
        if (at.rfind("SP", 0) == 0 && at.size() == 3) {
            searched_ = false;
            return "OK";
        }
        return "?";
    }
    const auto svc = hexAt(command, 0);
    if (!svc || (command.size() != 2 && command.size() != 4))
        return "?";
    const auto pid = command.size() == 4 ? hexAt(command, 2) : std::nullopt;
    if (command.size() == 4 && !pid)
        return "?";
    return carAnswer(*svc, pid, delayMs, nowMs_);
}

std::string ElmCar::frames(const std::vector<std::uint8_t> &data) const
{
    auto bytesText = [&](auto from, auto to) {
        std::string s;
        for (auto it = from; it != to; ++it)
            s += hexByte(*it) + (spaces_ ? " " : "");
        return s;
    };
    const std::string sep = spaces_ ? " " : "";
    if (data.size() <= 7) {
        if (!headers_)
            return bytesText(data.begin(), data.end());
        return std::string(kEcuHeader) + sep + hexByte(static_cast<std::uint8_t>(data.size())) + sep +
               bytesText(data.begin(), data.end());
    }
    // A multi-frame answer: a first frame with the length and 6 bytes, then frames of 7.
    std::string out;
    const std::size_t length = data.size();
    if (headers_) {
        out = std::string(kEcuHeader) + sep + hexByte(static_cast<std::uint8_t>(0x10 | (length >> 8))) + sep +
              hexByte(static_cast<std::uint8_t>(length & 0xFF)) + sep + bytesText(data.begin(), data.begin() + 6);
        int sequence = 1;
        for (std::size_t at = 6; at < length; at += 7, sequence = (sequence + 1) % 16) {
            const auto end = data.begin() + static_cast<long>(std::min(length, at + 7));
            out += "\r" + std::string(kEcuHeader) + sep + hexByte(static_cast<std::uint8_t>(0x20 | sequence)) + sep +
                   bytesText(data.begin() + static_cast<long>(at), end);
        }
        return out;
    }
    static const char kHex[] = "0123456789ABCDEF";
    out = {kHex[(length >> 8) & 0x0F], kHex[(length >> 4) & 0x0F], kHex[length & 0x0F]};
    int index = 0;
    for (std::size_t at = 0; at < length; at += at == 0 ? 6 : 7, index = (index + 1) % 16) {
        const std::size_t n = at == 0 ? 6 : 7;
        const auto end = data.begin() + static_cast<long>(std::min(length, at + n));
        out += "\r" + std::string(1, kHex[index]) + ": " + bytesText(data.begin() + static_cast<long>(at), end);
    }
    return out;
}

std::string ElmCar::carAnswer(std::uint8_t svc, std::optional<std::uint8_t> pid, int &delayMs, std::int64_t nowMs)
{
    using namespace obd;
    const bool search = !searched_;
    searched_ = true;
    if (car_ == ObdCar::IgnitionOff) {
        // As recorded: the first request searches and gives up; later ones fail at once.
        delayMs = search ? kNoCarMs : 300;
        return search ? "SEARCHING...\r\rUNABLE TO CONNECT" : "BUS INIT:ERROR";
    }
    delayMs = search ? kSearchMs : kAnswerMs;
    const std::string prefix = search ? "SEARCHING...\r" : "";
    const std::uint8_t positive = static_cast<std::uint8_t>(svc + service::kPositiveOffset);
    std::vector<std::uint8_t> data;
    if (svc == service::kCurrentData && pid) {
        const ObdEngine e = engine_ ? engine_(nowMs) : ObdEngine{};
        switch (*pid) {
        case pid::kSupported01To20:
            data = kSupported00;
            break;
        case pid::kSupported21To40:
            data = kSupported20;
            break;
        case pid::kSupported41To60:
            data = kSupported40;
            break;
        case pid::kMonitorStatus:
            // Spark ignition; misfire, fuel system, components, catalyst, evaporative
            // system, oxygen sensor, its heater and EGR supported.
            data = {positive, *pid, 0x00, 0x07, 0xE5, 0x00};
            if (car_ == ObdCar::LampOn)
                data[2] = 0x82;
            if (car_ == ObdCar::NotReady)
                data[5] = 0x25;
            break;
        case pid::kEngineSpeed: {
            const auto quarter =
                static_cast<std::uint16_t>(std::clamp(std::lround(e.rpm * kEngineSpeedDivisor), 0L, 65535L));
            data = {positive, *pid, static_cast<std::uint8_t>(quarter >> 8), static_cast<std::uint8_t>(quarter & 0xFF)};
            break;
        }
        case pid::kCoolantTemperature:
            data = {positive, *pid, temperatureByte(e.coolantC)};
            break;
        case pid::kOilTemperature:
            data = {positive, *pid, temperatureByte(e.oilC)};
            break;
        case 0x0D: // vehicle speed: standing in the workshop
            data = {positive, *pid, 0x00};
            break;
        default:
            break;
        }
    } else if (svc == service::kStoredCodes && !pid) {
        data = {positive, 0x00};
        if (car_ == ObdCar::LampOn)
            data = {positive, 0x02, 0x01, 0x33, 0x04, 0x20};
    } else if (svc == service::kVehicleInfo && pid && *pid == pid::kVin) {
        data = {positive, *pid, 0x01};
        for (char c : vin())
            data.push_back(static_cast<std::uint8_t>(c));
    }
    if (data.empty()) {
        delayMs = std::max(delayMs, 140);
        return prefix + "NO DATA";
    }
    return prefix + frames(data);
}

std::shared_ptr<Analyser> MakeObdCar(std::shared_ptr<Analyser> analyser, ObdCar car)
{
    auto engine = [analyser](std::int64_t nowMs) {
        const auto *demo = dynamic_cast<const DemoAnalyser *>(analyser.get());
        const auto e =
            demo ? demo->engineAt(nowMs) : std::optional(EngineReading{kNaturalIdleRpm, 0, 0, 0, 0, 0, 1, 850, false});
        if (!e)
            return ObdEngine{}; // switched off: engine stopped, cold
        const double oil = e->oilTenths > 0 ? e->oilTenths / 10.0 : 85.0;
        return ObdEngine{e->rpm, std::min(oil + 5.0, 90.0), oil};
    };
    return std::make_shared<ElmCar>(car, engine);
}

} // namespace qova::sim
