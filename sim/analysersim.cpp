// qova-analyser-sim: the simulated analyser on a pseudo-terminal. Prints the terminal's
// path on the first line of its output and serves it at 9600 baud until it is stopped
// (SIGTERM, SIGINT) or unplugged (--unplug-after, --unplug-on).

#include "sim/demoanalyser.h"
#include "sim/elmcar.h"
#include "sim/obdserver.h"
#include "sim/simdevice.h"
#include "sim/simterminal.h"
#include "sim/storedtests.h"

#include <QDate>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void onStopSignal(int)
{
    stopRequested = 1;
}

struct Options {
    qova::sim::DemoOptions model;
    std::string logPath;
    bool quiet = false;
    bool paced = true;
    // --unplug-on: the adapter goes the moment the program sends this byte for the
    // count-th time, so a test can pull it out in the middle of a given exchange.
    int unplugOnByte = -1;
    long long unplugOnCount = 1;
    // The car's OBD adapter beside the analyser: its car, and a TCP port (0: a pseudo-terminal).
    std::optional<qova::sim::ObdCar> obdCar;
    int obdTcpPort = 0;
};

void usage(std::FILE *to)
{
    std::fputs("usage: qova-analyser-sim [--log FILE] [--seed N] [--fault NAME]... [--unplug-after MS]\n"
               "                         [--unplug-on BYTE[:COUNT]] [--power-up MS] [--vehicle NAME] [--fast-idle MS]\n"
               "                         [--obd CAR [--obd-tcp PORT]] [--unpaced] [--quiet]\n"
               "--unplug-on 0x4F:3 unplugs on the third 0x4F the program sends (BYTE in hex or decimal)\n"
               "faults: bad-frames, bad-blocks, bad-blocks-always, silence, partial-frames, flood, unplug\n"
               "vehicles: good-catalyst, rich-idle, failed-catalyst, cold-engine, wandering-speed, no-oil-probe\n"
               "--obd serves the car's OBD adapter (ELM327) on a second pseudo-terminal, printed on the second\n"
               "line, or with --obd-tcp on 127.0.0.1:PORT; cars: healthy, lamp-on, not-ready, ignition-off\n",
               to);
}

bool parseNumber(const char *text, long long &out)
{
    char *end = nullptr;
    errno = 0;
    out = std::strtoll(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && out >= 0;
}

bool applyFault(const std::string &name, qova::sim::Faults &f)
{
    if (name == "bad-frames")
        f.badFrameEvery = 3;
    else if (name == "bad-blocks")
        f.badBlockEvery = 2;
    else if (name == "bad-blocks-always") {
        f.badBlockEvery = 1;
        f.resentBlocksBad = true;
    } else if (name == "silence")
        f.silent = true;
    else if (name == "partial-frames")
        f.partialFrames = true;
    else if (name == "flood")
        f.flood = true;
    else if (name == "unplug") {
        if (f.unplugAfterMs < 0)
            f.unplugAfterMs = 3000;
    } else
        return false;
    return true;
}

// "0x4F:3", "0xDD", "119": a byte and how many times it must come (1 when not given).
bool parseUnplugOn(const std::string &text, Options &o)
{
    const std::size_t colon = text.find(':');
    const std::string byteText = text.substr(0, colon);
    char *end = nullptr;
    errno = 0;
    const long value = std::strtol(byteText.c_str(), &end, 0);
    if (errno != 0 || end == byteText.c_str() || *end != '\0' || value < 0 || value > 0xFF)
        return false;
    long long count = 1;
    if (colon != std::string::npos && (!parseNumber(text.c_str() + colon + 1, count) || count < 1))
        return false;
    o.unplugOnByte = static_cast<int>(value);
    o.unplugOnCount = count;
    return true;
}

// Returns 0 to go on, else the exit code.
int parseArguments(int argc, char **argv, Options &o)
{
    o.model.today = QDate::currentDate();
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        long long n = 0;
        if (a == "--help" || a == "-h") {
            usage(stdout);
            return -1;
        } else if (a == "--quiet") {
            o.quiet = true;
        } else if (a == "--unpaced") {
            o.paced = false;
        } else if (a == "--log" && hasValue) {
            o.logPath = argv[++i];
        } else if (a == "--seed" && hasValue && parseNumber(argv[i + 1], n)) {
            o.model.seed = static_cast<std::uint32_t>(n);
            ++i;
        } else if (a == "--power-up" && hasValue && parseNumber(argv[i + 1], n)) {
            o.model.powerUpMs = static_cast<int>(n);
            ++i;
        } else if (a == "--unplug-after" && hasValue && parseNumber(argv[i + 1], n)) {
            o.model.faults.unplugAfterMs = n;
            ++i;
        } else if (a == "--unplug-on" && hasValue && parseUnplugOn(argv[i + 1], o)) {
            ++i;
        } else if (a == "--fault" && hasValue && applyFault(argv[i + 1], o.model.faults)) {
            ++i;
        } else if (a == "--fast-idle" && hasValue && parseNumber(argv[i + 1], n)) {
            o.model.fastIdleMs = static_cast<int>(n);
            ++i;
        } else if (a == "--obd" && hasValue && qova::sim::ObdCarFromName(argv[i + 1])) {
            o.obdCar = qova::sim::ObdCarFromName(argv[++i]);
        } else if (a == "--obd-tcp" && hasValue && parseNumber(argv[i + 1], n) && n > 0 && n < 65536) {
            o.obdTcpPort = static_cast<int>(n);
            ++i;
        } else if (a == "--vehicle" && hasValue && qova::sim::VehicleProfileFromName(argv[i + 1])) {
            o.model.vehicle = *qova::sim::VehicleProfileFromName(argv[++i]);
        } else {
            std::fprintf(stderr, "qova-analyser-sim: bad argument '%s%s%s'\n", a.c_str(), hasValue ? " " : "",
                         hasValue ? argv[i + 1] : "");
            usage(stderr);
            return 2;
        }
    }
    return 0;
}

double steadyMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

struct Outgoing {
    std::uint8_t byte;
    double dueMs;
};

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (const int rc = parseArguments(argc, argv, options); rc != 0)
        return rc < 0 ? 0 : rc;

    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0; // no restart: poll() must return so the loop sees the request
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    const qova::Result<qova::sim::SimTerminal> opened = qova::sim::OpenSimTerminal(B9600);
    if (!opened.ok()) {
        std::fprintf(stderr, "qova-analyser-sim: %s\n", qPrintable(opened.problem().text()));
        return 1;
    }
    const qova::sim::SimTerminal &terminal = opened.value();
    const int master = terminal.master;
    const int slave = terminal.slave;
    const std::string &slavePath = terminal.name;

    std::FILE *log = nullptr;
    if (!options.logPath.empty()) {
        log = std::fopen(options.logPath.c_str(), "w");
        if (log == nullptr) {
            std::perror("qova-analyser-sim: log file");
            return 1;
        }
    }

    qova::sim::DemoAnalyser analyser(options.model);
    std::unique_ptr<qova::sim::ObdServer> obd;
    if (options.obdCar) {
        // The adapter reads the engine this analyser measures; the analyser outlives it.
        obd = std::make_unique<qova::sim::ObdServer>(qova::sim::MakeObdCar(
            std::shared_ptr<qova::sim::Analyser>(std::shared_ptr<void>{}, &analyser), *options.obdCar));
        if (const qova::Done opened = obd->open(options.obdTcpPort); !opened.ok()) {
            std::fprintf(stderr, "qova-analyser-sim: %s\n", qPrintable(opened.problem().text()));
            return 1;
        }
    }
    std::printf("%s\n", slavePath.c_str());
    if (obd)
        std::printf("%s\n", obd->address().c_str());
    std::fflush(stdout);
    if (!options.quiet)
        std::fprintf(stderr, "qova-analyser-sim: serving %s (seed %u, %zu stored tests)\n", slavePath.c_str(),
                     options.model.seed, analyser.store().size() / qova::sim::kStoredTestSize);
    const double startMs = steadyMs();
    auto nowMs = [startMs] { return steadyMs() - startMs; };
    analyser.powerOn(0);

    std::deque<Outgoing> out;
    double lineFreeAtMs = 0;
    constexpr std::size_t kMaxOutgoing = 65536; // a flood nobody reads is dropped beyond this
    auto queueOut = [&](const std::vector<std::uint8_t> &bytes, double now) {
        for (std::uint8_t b : bytes) {
            double due = now;
            if (options.paced) {
                lineFreeAtMs = std::max(lineFreeAtMs, now) + qova::sim::SimDevice::kByteMs;
                due = lineFreeAtMs;
            }
            if (out.size() < kMaxOutgoing)
                out.push_back({b, due});
        }
    };

    int exitCode = 0;
    bool unplugged = false;
    long long unplugOnSeen = 0;
    while (!stopRequested) {
        double now = nowMs();
        if (analyser.unplugged(static_cast<std::int64_t>(now))) {
            unplugged = true;
            break;
        }
        // Sleep until a byte comes, the next byte is due, or the unplug time is reached.
        // A due byte waits for the line to take it (POLLOUT), never in a spin.
        int timeout = 50;
        const bool due = !out.empty() && out.front().dueMs <= now;
        if (!out.empty() && !due)
            timeout = std::clamp(static_cast<int>(std::ceil(out.front().dueMs - now)), 1, 50);
        if (options.model.faults.flood)
            timeout = std::min(timeout, 1);
        if (options.model.faults.unplugAfterMs >= 0)
            timeout =
                std::clamp(static_cast<int>(static_cast<double>(options.model.faults.unplugAfterMs) - now), 0, timeout);
        std::vector<pollfd> fds{{master, static_cast<short>(due ? POLLIN | POLLOUT : POLLIN), 0}};
        if (obd) {
            obd->addPollFds(fds);
            timeout = std::min(timeout, qova::sim::ObdServer::kAnswerPollMs);
        }
        const int ready = poll(fds.data(), fds.size(), timeout);
        const pollfd pfd = fds.front();
        if (ready < 0 && errno != EINTR) {
            std::perror("qova-analyser-sim: poll");
            exitCode = 1;
            break;
        }
        now = nowMs();
        const auto nowWhole = static_cast<std::int64_t>(now);
        if (ready > 0 && (pfd.revents & POLLIN)) {
            std::uint8_t buf[512];
            const ssize_t got = read(master, buf, sizeof buf);
            for (ssize_t i = 0; i < got && !unplugged; ++i) {
                if (log != nullptr)
                    std::fprintf(log, "%lld 0x%02X\n", static_cast<long long>(nowWhole), buf[i]);
                if (buf[i] == options.unplugOnByte && ++unplugOnSeen >= options.unplugOnCount)
                    unplugged = true; // gone before it can answer; the rest of the read is lost
                else
                    queueOut(analyser.receive(buf[i], nowWhole), now);
            }
            if (log != nullptr && got > 0)
                std::fflush(log);
        }
        if (unplugged)
            break;
        if (obd)
            obd->serve(fds, nowWhole);
        // Noise goes out as it comes, among the answer bytes that wait for their time.
        for (std::uint8_t b : analyser.unasked(nowWhole)) {
            if (out.size() >= kMaxOutgoing)
                break;
            const auto at =
                std::upper_bound(out.begin(), out.end(), now, [](double t, const Outgoing &o) { return t < o.dueMs; });
            out.insert(at, Outgoing{b, now});
        }
        // Everything that is due goes out in one write; the rest waits for its time.
        std::uint8_t chunk[1024];
        std::size_t n = 0;
        while (n < sizeof chunk && n < out.size() && out[n].dueMs <= now) {
            chunk[n] = out[n].byte;
            ++n;
        }
        if (n > 0) {
            const ssize_t written = write(master, chunk, n);
            if (written > 0)
                out.erase(out.begin(), out.begin() + written);
        }
    }

    if (unplugged && !options.quiet)
        std::fprintf(stderr, "qova-analyser-sim: unplugged after %.0f ms\n", nowMs());
    close(slave);
    close(master);
    if (log != nullptr)
        std::fclose(log);
    return exitCode;
}
