#include "obd/elmreply.h"

#include <QRegularExpression>
#include <algorithm>
#include <iterator>
#include <map>

namespace qova::obd {

namespace {

QString squeezed(const QString &s)
{
    QString out;
    for (QChar c : s)
        if (c != QLatin1Char(' '))
            out.append(c.toUpper());
    return out;
}

struct FailureWord {
    ElmFailure failure;
    bool (*matches)(const QString &upper);
};

bool startsWith(const QString &s, const char *prefix)
{
    return s.startsWith(QLatin1String(prefix));
}

// The adapter's failure words, tried in order on each line in capitals.
const FailureWord kFailureWords[] = {
    {ElmFailure::NoData, [](const QString &s) { return s == QLatin1String("NO DATA"); }},
    {ElmFailure::UnableToConnect, [](const QString &s) { return startsWith(s, "UNABLE TO CONNECT"); }},
    {ElmFailure::BusInit,
     [](const QString &s) { return startsWith(s, "BUS INIT") && s.contains(QLatin1String("ERROR")); }},
    {ElmFailure::CanError, [](const QString &s) { return s == QLatin1String("CAN ERROR"); }},
    {ElmFailure::BufferFull, [](const QString &s) { return s == QLatin1String("BUFFER FULL"); }},
    {ElmFailure::BusBusy, [](const QString &s) { return s == QLatin1String("BUS BUSY"); }},
    {ElmFailure::DataError, [](const QString &s) { return s.endsWith(QLatin1String("DATA ERROR")); }},
    {ElmFailure::FeedbackError, [](const QString &s) { return s == QLatin1String("FB ERROR"); }},
    {ElmFailure::ReceiveError, [](const QString &s) { return s.endsWith(QLatin1String("RX ERROR")); }},
    {ElmFailure::Stopped, [](const QString &s) { return s == QLatin1String("STOPPED"); }},
    {ElmFailure::NotUnderstood, [](const QString &s) { return s == QLatin1String("?"); }},
    {ElmFailure::InternalError,
     [](const QString &s) {
         static const QRegularExpression errNn(QStringLiteral("^ERR[0-9]{2}$"));
         return errNn.match(s).hasMatch();
     }},
    {ElmFailure::LowVoltageReset, [](const QString &s) { return s == QLatin1String("LV RESET"); }},
    {ElmFailure::ActivityAlert, [](const QString &s) { return s.endsWith(QLatin1String("ACT ALERT")); }},
};

struct FailureMessageText {
    ElmFailure failure;
    const char *text; // follows "The OBD adapter's answer to <command>"; %1 is the adapter's line
};
// What failed, the likely reason and what to do, for each failure the operator can meet.
const FailureMessageText kFailureMessages[] = {
    {ElmFailure::NoData, " was NO DATA: the car did not answer in time or does not support this reading. It stays "
                         "unknown."},
    {ElmFailure::UnableToConnect, " was UNABLE TO CONNECT: the adapter found no diagnostic protocol. Switch the "
                                  "ignition on and check that the adapter sits firmly in the car's diagnostic "
                                  "socket."},
    {ElmFailure::BusInit, " was \"%1\": the car's diagnostic bus did not start. Switch the ignition on and check "
                          "the adapter's plug."},
    {ElmFailure::CanError, " was CAN ERROR: the adapter could not talk on the car's CAN bus. Check the plug; with the "
                           "ignition on, try again."},
    {ElmFailure::BufferFull, " was BUFFER FULL: the adapter got more than it could pass on. The reading stays "
                             "unknown; a faster baud rate helps."},
    {ElmFailure::BusBusy, " was BUS BUSY: the car's bus was too busy or the adapter's wiring is faulty."},
    {ElmFailure::DataError, " was \"%1\": the car's answer came damaged. It stays unknown."},
    {ElmFailure::FeedbackError, " was FB ERROR: the adapter does not hear itself on the car's bus; its wiring or the "
                                "socket is faulty."},
    {ElmFailure::ReceiveError, " was \"%1\": the adapter received damaged CAN data. It stays unknown."},
    {ElmFailure::Stopped, " was STOPPED: it was interrupted. The reading stays unknown and is asked again."},
    {ElmFailure::NotUnderstood, " was \"?\": the adapter does not know this command. It may not be a full "
                                "ELM327-compatible adapter."},
    {ElmFailure::InternalError, " was the adapter's internal error %1. Unplug the adapter and plug it in again."},
    {ElmFailure::LowVoltageReset, " was LV RESET: the adapter's supply dipped and it started again. Check the car's "
                                  "battery and the adapter's plug; the adapter is set up again."},
    {ElmFailure::ActivityAlert, " was ACT ALERT: the adapter is about to sleep for lack of activity."},
    {ElmFailure::Unreadable, " could not be read (%1). Check the adapter's baud rate, or that the device is an OBD "
                             "adapter at all."},
    {ElmFailure::NoAnswer, " did not come in time. Check that the adapter is plugged in and powered by the car, and "
                           "its connection to this computer."},
};

bool isBanner(const QString &upper)
{
    // Clones print "ELM327 v2.1" or "ELM327 v1.5" whatever they implement; the version
    // tells nothing, the word tells that the adapter has just started.
    return upper.contains(QLatin1String("ELM32"));
}

std::optional<std::vector<std::uint8_t>> hexBytes(const QString &digits)
{
    if (digits.size() % 2 != 0)
        return std::nullopt;
    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(digits.size() / 2));
    for (qsizetype i = 0; i < digits.size(); i += 2) {
        bool ok = false;
        const uint v = digits.mid(i, 2).toUInt(&ok, 16);
        if (!ok)
            return std::nullopt;
        out.push_back(static_cast<std::uint8_t>(v));
    }
    return out;
}

bool allHex(const QString &s)
{
    for (QChar c : s)
        if (!c.isDigit() && !(c >= QLatin1Char('A') && c <= QLatin1Char('F')))
            return false;
    return !s.isEmpty();
}

} // namespace

ElmReply ParseReply(std::string_view raw, std::string_view command)
{
    ElmReply reply;
    std::vector<QString> lines;
    QString current;
    auto endLine = [&] {
        const QString t = current.trimmed();
        if (!t.isEmpty())
            lines.push_back(t);
        current.clear();
    };
    for (char ch : raw.substr(0, kMaxReplyBytes)) {
        const auto b = static_cast<unsigned char>(ch);
        if (b == '\r' || b == '\n')
            endLine();
        else if (b >= 0x20 && b < 0x7F)
            current.append(QChar(b));
        else if (b >= 0x80)
            current.append(QChar(0xFFFD)); // kept so a garbled line stays garbled, never read as data
    }
    endLine();
    if (raw.size() > kMaxReplyBytes) {
        reply.failure = ElmFailure::Unreadable;
        reply.failureLine = QStringLiteral("%1 bytes without a prompt").arg(raw.size());
    }

    const QString sent = squeezed(QString::fromLatin1(command.data(), static_cast<qsizetype>(command.size())));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const QString upper = lines[i].toUpper();
        if (i == 0 && !sent.isEmpty() && squeezed(lines[i]) == sent) {
            reply.echoed = true;
            continue;
        }
        if (startsWith(upper, "SEARCHING")) {
            reply.searched = true;
            continue;
        }
        if (startsWith(upper, "BUS INIT") && !upper.contains(QLatin1String("ERROR")))
            continue; // "BUS INIT: ...OK" on the older buses
        if (isBanner(upper)) {
            reply.banner = lines[i];
            continue;
        }
        bool failed = false;
        for (const auto &word : kFailureWords) {
            if (word.matches(upper)) {
                if (reply.failure == ElmFailure::None) {
                    reply.failure = word.failure;
                    reply.failureLine = lines[i];
                }
                if (word.failure == ElmFailure::LowVoltageReset)
                    reply.banner = lines[i];
                failed = true;
                break;
            }
        }
        if (!failed)
            reply.lines.push_back(lines[i]);
    }
    return reply;
}

QString FailureMessage(ElmFailure failure, const QString &failureLine, const QString &command)
{
    const auto found = std::find_if(std::begin(kFailureMessages), std::end(kFailureMessages),
                                    [failure](const FailureMessageText &m) { return m.failure == failure; });
    if (found == std::end(kFailureMessages))
        return {};
    const QString why = QString::fromUtf8(found->text);
    return QStringLiteral("The OBD adapter's answer to %1").arg(command) +
           (why.contains(QLatin1String("%1")) ? why.arg(failureLine) : why);
}

Framing FrameMessages(const std::vector<QString> &lines, bool headers)
{
    Framing out;
    auto fail = [&](const QString &why) {
        if (out.problem.isEmpty())
            out.problem = why;
    };

    if (!headers) {
        static const QRegularExpression numbered(QStringLiteral("^([0-9A-F]):\\s*(.*)$"));
        std::optional<std::size_t> announced;
        int nextIndex = 0;
        std::vector<std::uint8_t> joined;
        auto finish = [&] {
            if (!announced)
                return;
            if (joined.size() < *announced)
                fail(QStringLiteral("a multi-frame answer stopped after %1 of its %2 bytes")
                         .arg(joined.size())
                         .arg(*announced));
            else
                out.messages.push_back({{}, {joined.begin(), joined.begin() + static_cast<long>(*announced)}});
            announced.reset();
            joined.clear();
        };
        for (const QString &line : lines) {
            const QString upper = line.toUpper();
            const auto m = numbered.match(upper);
            if (m.hasMatch()) {
                if (!announced) {
                    fail(QStringLiteral("a numbered line \"%1\" came without its length line").arg(line));
                    continue;
                }
                const int index = m.captured(1).toInt(nullptr, 16);
                const auto bytes = hexBytes(squeezed(m.captured(2)));
                if (index != nextIndex || !bytes) {
                    fail(QStringLiteral("the multi-frame line \"%1\" is out of order or not hexadecimal").arg(line));
                    announced.reset();
                    joined.clear();
                    continue;
                }
                nextIndex = (nextIndex + 1) % 16;
                joined.insert(joined.end(), bytes->begin(), bytes->end());
                continue;
            }
            finish();
            const QString digits = squeezed(upper);
            if (digits.size() == 3 && allHex(digits)) {
                if (digits.toUInt(nullptr, 16) == 0) {
                    fail(QStringLiteral("a multi-frame answer announces no bytes"));
                    continue;
                }
                announced = digits.toUInt(nullptr, 16);
                nextIndex = 0;
                continue;
            }
            const auto bytes = hexBytes(digits);
            if (!bytes || bytes->empty()) {
                fail(QStringLiteral("the line \"%1\" is not hexadecimal").arg(line));
                continue;
            }
            out.messages.push_back({{}, *bytes});
        }
        finish();
        return out;
    }

    struct Assembly {
        std::size_t length = 0;
        int nextSequence = 1;
        std::vector<std::uint8_t> data;
    };
    std::map<QString, Assembly> open; // per ECU, a multi-frame answer under way
    std::vector<QString> openOrder;
    for (const QString &line : lines) {
        const QString upper = line.toUpper();
        const QString digits = squeezed(upper);
        if (!allHex(digits)) {
            fail(QStringLiteral("the line \"%1\" is not hexadecimal").arg(line));
            continue;
        }
        const QString firstToken = upper.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
        const bool can11 = upper.contains(QLatin1Char(' ')) ? firstToken.size() == 3 : digits.size() % 2 == 1;
        const bool can29 = !can11 && digits.startsWith(QLatin1String("18DA"));
        const int headerDigits = can11 ? 3 : can29 ? 8 : 6;
        if (digits.size() <= headerDigits) {
            fail(QStringLiteral("the line \"%1\" has a header and nothing else").arg(line));
            continue;
        }
        const auto body = hexBytes(digits.mid(headerDigits));
        if (!body) {
            fail(QStringLiteral("the line \"%1\" is not whole bytes").arg(line));
            continue;
        }
        if (!can11 && !can29) {
            // An older bus: the third header byte is the ECU's address, the last byte a check byte.
            if (body->size() < 2) {
                fail(QStringLiteral("the line \"%1\" is too short").arg(line));
                continue;
            }
            out.messages.push_back({digits.mid(4, 2), {body->begin(), body->end() - 1}});
            continue;
        }
        const QString ecu = digits.left(headerDigits);
        const std::uint8_t pci = body->front();
        const std::vector<std::uint8_t> rest(body->begin() + 1, body->end());
        switch (pci >> 4) {
        case 0: {
            const std::size_t n = pci & 0x0F;
            if (n == 0 || rest.size() < n) {
                fail(QStringLiteral("the frame \"%1\" announces %2 bytes but holds %3")
                         .arg(line)
                         .arg(n)
                         .arg(rest.size()));
                continue;
            }
            out.messages.push_back({ecu, {rest.begin(), rest.begin() + static_cast<long>(n)}});
            break;
        }
        case 1: {
            if (rest.empty()) {
                fail(QStringLiteral("the first frame \"%1\" has no length").arg(line));
                continue;
            }
            if (open.count(ecu))
                fail(QStringLiteral("ECU %1 started a new answer before its last one was whole").arg(ecu));
            Assembly a;
            a.length = (static_cast<std::size_t>(pci & 0x0F) << 8) | rest.front();
            if (a.length < 8) {
                // Anything shorter fits a single frame: this is no answer.
                fail(QStringLiteral("the first frame \"%1\" announces only %2 bytes").arg(line).arg(a.length));
                continue;
            }
            a.data.assign(rest.begin() + 1, rest.end());
            if (!open.count(ecu))
                openOrder.push_back(ecu);
            open[ecu] = std::move(a);
            break;
        }
        case 2: {
            auto it = open.find(ecu);
            if (it == open.end()) {
                fail(QStringLiteral("the frame \"%1\" continues an answer that never began").arg(line));
                continue;
            }
            if ((pci & 0x0F) != it->second.nextSequence) {
                fail(QStringLiteral("ECU %1's frames came out of order").arg(ecu));
                open.erase(it);
                continue;
            }
            it->second.nextSequence = (it->second.nextSequence + 1) % 16;
            it->second.data.insert(it->second.data.end(), rest.begin(), rest.end());
            break;
        }
        default:
            fail(QStringLiteral("the frame \"%1\" is of no kind an answer has").arg(line));
            continue;
        }
        auto it = open.find(ecu);
        if (it != open.end() && it->second.data.size() >= it->second.length) {
            auto &d = it->second.data;
            d.resize(it->second.length); // the rest is padding
            out.messages.push_back({ecu, std::move(d)});
            open.erase(it);
        }
    }
    for (const QString &ecu : openOrder)
        if (auto it = open.find(ecu); it != open.end())
            fail(QStringLiteral("ECU %1's answer stopped after %2 of its %3 bytes")
                     .arg(ecu)
                     .arg(it->second.data.size())
                     .arg(it->second.length));
    return out;
}

} // namespace qova::obd
