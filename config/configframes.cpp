#include "config/configframes.h"

#include "link/codepage.h"
#include "link/frame.h"

#include <span>

namespace qova::config {

namespace {
using link::setup::kAfrBit;
using link::setup::kFahrenheitBit;
using link::setup::kFuelMask;
using link::setup::kLayoutMask;

std::uint8_t withBit(std::uint8_t flags, std::uint8_t bit, bool on)
{
    return static_cast<std::uint8_t>(on ? flags | bit : flags & ~bit);
}

void putLine(std::span<std::uint8_t> out, const QString &line)
{
    const QByteArray bytes = ToWindows1252(line);
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = i < static_cast<std::size_t>(bytes.size()) ? static_cast<std::uint8_t>(bytes[i]) : 0x20;
}
} // namespace

std::uint8_t WithFuel(std::uint8_t flags, Fuel fuel)
{
    return static_cast<std::uint8_t>((flags & ~kFuelMask) | link::FuelCodeOf(fuel));
}

std::uint8_t WithDisplayLayout(std::uint8_t flags, DisplayLayout layout)
{
    return static_cast<std::uint8_t>((flags & ~kLayoutMask) |
                                     (static_cast<std::uint8_t>(layout) << link::setup::kLayoutShift));
}

std::uint8_t WithAfr(std::uint8_t flags, bool afr)
{
    return withBit(flags, kAfrBit, afr);
}

std::uint8_t WithFahrenheit(std::uint8_t flags, bool fahrenheit)
{
    return withBit(flags, kFahrenheitBit, fahrenheit);
}

QStringList RpmModeNames()
{
    return {QStringLiteral(" 2 Stroke"), QStringLiteral(" 4 Stroke"), QStringLiteral(" /2"),
            QStringLiteral(" /3"),       QStringLiteral(" /4"),       QStringLiteral(" /5"),
            QStringLiteral(" /6"),       QStringLiteral(" /8"),       QStringLiteral(" /12")};
}

std::uint8_t Bcd(int value)
{
    return static_cast<std::uint8_t>((value / 10) * 16 + value % 10);
}

SetupPayload MakeSetupPayload(std::uint8_t flags, int rpmMode, const QDateTime &now)
{
    const QDate d = now.date();
    const QTime t = now.time();
    const auto mode = rpmMode < 0 ? kNoRpmMode : static_cast<std::uint8_t>(rpmMode);
    return {flags,         mode,         Bcd(t.second()), Bcd(t.minute()),
            Bcd(t.hour()), Bcd(d.day()), Bcd(d.month()),  static_cast<std::uint8_t>(((d.year() & 0xFF) + 48) & 0xFF)};
}

Done SendSetup(link::PortState &port, std::uint8_t flags, int rpmMode, const std::function<QDateTime()> &clock)
{
    port.pause->sleepMs(kSetupPreWaitMs);
    const SetupPayload payload = MakeSetupPayload(flags, rpmMode, clock());
    return link::SendCommandFrame(port, kSetupCommand, payload, 0, kSetupAnswerWaitMs);
}

QString GasName(Gas gas)
{
    for (const CalibrationGas &g : kCalibrationGases)
        if (g.gas == gas)
            return QString::fromLatin1(g.name);
    return {};
}

std::optional<std::uint16_t> ParseCalibrationValue(const QString &text)
{
    const QString digits = text.trimmed();
    if (digits.isEmpty())
        return std::nullopt;
    int value = 0;
    for (QChar c : digits) {
        // Only the ASCII digits: QChar::isDigit() would also take other scripts' digits.
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
        if (value > kCalibrationMax)
            return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

QString CalibrationRangeMessage(Gas gas)
{
    return QStringLiteral("%1 must be a whole number from 0 to %2").arg(GasName(gas)).arg(kCalibrationMax);
}

CalibrationPayload MakeCalibrationPayload(const CalibrationValues &values)
{
    CalibrationPayload payload{};
    for (std::size_t i = 0; i < values.size(); ++i) {
        payload[2 * i] = link::LowByte(values[i]);
        payload[2 * i + 1] = link::HighByte(values[i]);
    }
    return payload;
}

Done SendCalibration(link::PortState &port, const CalibrationValues &values)
{
    const CalibrationPayload payload = MakeCalibrationPayload(values);
    return link::SendCommandFrame(port, kCalibrationCommand, payload, kCalibrationPreWaitMs, kCalibrationAnswerWaitMs);
}

QByteArray ToWindows1252(const QString &text)
{
    return link::ToWindows1252(text.normalized(QString::NormalizationForm_C));
}

HeaderPayload MakeHeaderPayload(const QString &line1, const QString &line2)
{
    HeaderPayload payload{};
    putLine(std::span(payload).first(kHeaderLineBytes), line1);
    putLine(std::span(payload).last(kHeaderLineBytes), line2);
    return payload;
}

Done SendHeaderLines(link::PortState &port, const QString &line1, const QString &line2)
{
    if (Done opened = link::OpenPort(port); !opened.ok())
        return opened;
    const HeaderPayload payload = MakeHeaderPayload(line1, line2);
    return link::SendCommandFrame(port, kHeaderCommand, payload, kHeaderPreWaitMs, kHeaderAnswerWaitMs);
}

} // namespace qova::config
