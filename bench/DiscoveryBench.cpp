// Discovery at scale: ndcp-sim answers one Discover as many devices in one burst, and the utility's
// own path (client, request, binding, list view) takes it. The devices answer from addresses of
// their own. On loopback, a plain recvfrom loop
// takes the same burst first (the physical baseline). Over device networks, one simulator in each
// network's namespace answers its share of the devices on the devices' port, and the utility
// sends to its own destination, the limited broadcast; there the idle wake-ups of the application
// with its window open can be measured too. Prints the figures as rows of the bench table.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <numeric>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <QApplication>

#include <sys/socket.h>
#include <unistd.h>

#include "BenchTable.h"
#include "IdleWakeups.h"
#include "ProcessStatus.h"
#include "RawIntake.h"
#include "UtilityDiscovery.h"
#include "device/DeviceProfile.h"
#include "ndcp/OvNDCPClient.h"
#include "testkit/ScopedNetworkSetting.h"
#include "testkit/SimulatorProcess.h"

namespace {

constexpr int kWindowMs = kDiscoveryTimeout * 10;
// On loopback the devices answer from this many addresses (127.0.0.1 on), as devices on a network
// answer from addresses of their own rather than all from one.
constexpr int kLoopbackSources = 64;  // the discovery time-out in milliseconds
// The goals of a burst (every device answering at once) hold from 10,000 devices on; those of
// answers spread out as devices send them, from 1,000 on.
constexpr std::size_t kGoalDevices = 10000;
constexpr std::size_t kGoalDevicesSpread = 1000;
constexpr double kGoalFillMs = 100;
constexpr double kGoalGapMs = 50;
constexpr double kGoalIntakeRatio = 0.5;
constexpr double kGoalIdleWakeups = 1;
constexpr double kGoalPeakMemoryBytes = 64.0 * 1024 * 1024;
// The application starts its first discovery 100 ms after it starts; two seconds past its window
// leaves time to list the answers.
constexpr int kIdleSettleMs = kWindowMs + 2000;
constexpr int kIdleMeasureMs = 10000;

struct Options {
    QString sim;
    std::size_t devices = 100;
    int repeat = 3;
    QStringList deviceNetworks;  // network namespaces (as /proc/PID/ns/net) of the device networks
    QString idleProgram;         // the application, for the idle wake-ups
    int receiveBuffer = kClientReceiveBuffer;  // what the client and the plain loop ask for
    int jitterMs = 0;                          // the devices answer over this long
    QString notMeasured;  // why the goals are only to be listed as missed, measuring nothing
    [[nodiscard]] bool OverDeviceNetworks() const { return !deviceNetworks.isEmpty(); }
    [[nodiscard]] bool Spread() const { return jitterMs > 0; }
    [[nodiscard]] bool AtGoalScale() const {
        return devices >= (Spread() ? kGoalDevicesSpread : kGoalDevices);
    }
};

// The burst taken live (reading from the send on) and from a full queue (reading starts after a
// stall): the second shows each reader's own speed, where the first may show the sender's.
constexpr int kQueuedStallMs = 500;

struct RunFigures {
    std::uint64_t sent = 0;
    std::vector<std::uint64_t> sentEach;  // by each simulator
    UtilityDiscoveryResult utility;
    std::uint64_t rawSent = 0;
    RawIntakeResult raw;
    UtilityDiscoveryResult queuedUtility;
    RawIntakeResult queuedRaw;
};

[[noreturn]] void Usage(const char* problem) {
    std::fprintf(stderr,
                 "%s\nusage: ov_discovery_bench --sim PATH --devices N [--repeat R]\n"
                 "           [--device-netns /proc/PID/ns/net]... [--idle-program PATH]\n"
                 "           [--receive-buffer BYTES] [--jitter MS] [--goals-not-measured REASON]\n",
                 problem);
    std::exit(2);
}

Options ParseArguments(const QStringList& arguments) {
    Options options;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& name = arguments[i];
        if (i + 1 >= arguments.size()) Usage("an option lacks its value");
        const QString value = arguments[++i];
        bool number = true;
        if (name == "--sim") {
            options.sim = value;
        } else if (name == "--devices") {
            options.devices = value.toULongLong(&number);
        } else if (name == "--repeat") {
            options.repeat = value.toInt(&number);
        } else if (name == "--device-netns") {
            options.deviceNetworks.append(value);
        } else if (name == "--idle-program") {
            options.idleProgram = value;
        } else if (name == "--receive-buffer") {
            options.receiveBuffer = value.toInt(&number);
        } else if (name == "--jitter") {
            options.jitterMs = value.toInt(&number);
        } else if (name == "--goals-not-measured") {
            options.notMeasured = value;
        } else {
            Usage("unknown option");
        }
        if (!number) Usage("a count is not a number");
    }
    if (options.sim.isEmpty() && options.notMeasured.isEmpty()) Usage("--sim is missing");
    if (options.devices == 0 || options.repeat < 1) Usage("--devices and --repeat must be at least 1");
    if (options.receiveBuffer < 1 || options.jitterMs < 0)
        Usage("--receive-buffer or --jitter is out of range");
    if (!options.idleProgram.isEmpty() && !options.OverDeviceNetworks()) {
        Usage("--idle-program needs --device-netns: the application sends to its own destination");
    }
    return options;
}

// Whether this process may give a socket a receive buffer past the system's limit, as a
// privileged one may.
bool MayForceReceiveBuffer() {
    const int probe = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int bytes = kClientReceiveBuffer;
    const bool forced =
        probe >= 0 && ::setsockopt(probe, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) == 0;
    if (probe >= 0) ::close(probe);
    return forced;
}

// The peak resident set of this process, in bytes; 0 when it cannot be read.
double PeakResidentBytes() {
    std::ifstream file("/proc/self/status");
    std::ostringstream status;
    status << file.rdbuf();
    return static_cast<double>(StatusPeakResidentBytes(status.str()).value_or(0));
}

// Where the simulators run: one on loopback, or one in each device network on the devices' port.
// There they end with this program even when it dies without stopping them, since they would
// otherwise keep their network alive.
std::vector<SimulatorPlace> Places(const Options& options) {
    if (!options.OverDeviceNetworks()) return {SimulatorPlace{}};
    std::vector<SimulatorPlace> places;
    for (const QString& network : options.deviceNetworks) {
        const QStringList through = {"setpriv", "--pdeathsig",      "TERM", "--",
                                     "nsenter", "--net=" + network, "--"};
        places.push_back({QStringLiteral("0.0.0.0"), kDevicePort, through});
    }
    return places;
}

// Runs the simulators around one measurement, the devices shared out evenly and numbered on from
// one simulator to the next, and returns the number of answers each sent.
std::optional<std::vector<std::uint64_t>> WithSimulators(const Options& options,
                                                         const std::function<bool(std::uint16_t)>& measure,
                                                         std::string& error) {
    const std::vector<SimulatorPlace> places = Places(options);
    std::vector<std::unique_ptr<SimulatorProcess>> sims;
    std::size_t first = 1;
    for (std::size_t i = 0; i < places.size(); ++i) {
        const std::size_t count =
            options.devices / places.size() + (i < options.devices % places.size() ? 1 : 0);
        QStringList arguments = {"--devices", QString::number(count), "--first-number",
                                 QString::number(first), "--quiet"};
        if (options.Spread()) arguments << "--jitter" << QString::number(options.jitterMs);
        if (!options.OverDeviceNetworks()) arguments << "--sources" << QString::number(kLoopbackSources);
        sims.push_back(std::make_unique<SimulatorProcess>(options.sim, arguments, places[i]));
        first += count;
        if (!sims.back()->Started()) {
            error = sims.back()->Error();
            return std::nullopt;
        }
    }
    const bool measured = measure(sims.front()->Port());
    std::vector<std::uint64_t> sent;
    for (const std::unique_ptr<SimulatorProcess>& sim : sims) {
        const std::optional<SimulatorSummary> summary = sim->Stop();
        if (!summary) {
            error = sim->Error();
            return std::nullopt;
        }
        if (summary->failed > 0 || summary->unsent > 0) {
            std::fprintf(stderr, "ndcp-sim: %llu answers failed, %llu unsent\n",
                         static_cast<unsigned long long>(summary->failed),
                         static_cast<unsigned long long>(summary->unsent));
        }
        sent.push_back(summary->answers);
    }
    if (!measured) return std::nullopt;
    return sent;
}

std::uint64_t Sum(const std::vector<std::uint64_t>& counts) {
    return std::accumulate(counts.begin(), counts.end(), std::uint64_t{0});
}

bool MeasureRaw(const Options& options, int stallMs, RawIntakeResult& result, std::uint64_t& sent,
                std::string& error) {
    const auto answers = WithSimulators(
        options,
        [&](std::uint16_t port) {
            result = RunRawIntake(port, options.devices, kWindowMs, options.receiveBuffer, stallMs);
            error = result.error;
            return error.empty();
        },
        error);
    if (answers) sent = Sum(*answers);
    return answers.has_value();
}

// Returns the answers each simulator sent.
std::optional<std::vector<std::uint64_t>> MeasureUtility(const Options& options, int stallMs,
                                                         UtilityDiscoveryResult& result, std::string& error) {
    return WithSimulators(
        options,
        [&](std::uint16_t port) {
            // Over device networks the application's own destination: the limited broadcast.
            const NDCPNetworkSetting network =
                options.OverDeviceNetworks() ? NDCPNetworkSetting{} : LoopbackSetting(port);
            result = RunUtilityDiscovery(network, stallMs, options.receiveBuffer);
            error = result.error;
            return error.empty();
        },
        error);
}

std::optional<RunFigures> RunOnce(const Options& options, std::string& error) {
    RunFigures figures;
    std::uint64_t ignored = 0;
    // The plain recvfrom loop sends to the simulator on loopback: no baseline over device networks.
    // With answers spread out it shows what such a loop keeps; the queued burst is a burst's.
    const bool baseline = !options.OverDeviceNetworks();
    if (baseline && !MeasureRaw(options, 0, figures.raw, figures.rawSent, error)) return std::nullopt;
    const auto sent = MeasureUtility(options, 0, figures.utility, error);
    if (!sent) return std::nullopt;
    figures.sentEach = *sent;
    figures.sent = Sum(*sent);
    if (!baseline || options.Spread()) return figures;
    if (!MeasureRaw(options, kQueuedStallMs, figures.queuedRaw, ignored, error)) return std::nullopt;
    if (!MeasureUtility(options, kQueuedStallMs, figures.queuedUtility, error)) return std::nullopt;
    return figures;
}

std::string CountRange(const std::vector<RunFigures>& runs,
                       const std::function<double(const RunFigures&)>& count) {
    double low = count(runs.front());
    double high = low;
    for (const RunFigures& run : runs) {
        low = std::min(low, count(run));
        high = std::max(high, count(run));
    }
    const auto text = [](double value) { return std::to_string(static_cast<long long>(value)); };
    return low == high ? text(low) : text(low) + " .. " + text(high);
}

std::vector<double> Each(const std::vector<RunFigures>& runs,
                         const std::function<double(const RunFigures&)>& figure) {
    std::vector<double> values;
    for (const RunFigures& run : runs) values.push_back(figure(run));
    return values;
}

double Rate(std::size_t received, double ms) { return ms > 0 ? received / (ms / 1000.0) : 0; }

// A time of every run, "median X (worst Y)".
std::string Times(const std::vector<RunFigures>& runs, const std::function<double(const RunFigures&)>& time) {
    return MedianAndWorst(Each(runs, time), FormatMilliseconds);
}

// The rows of one section of the table.
class Section {
public:
    explicit Section(std::string name) : name_(std::move(name)) {}
    void Add(std::string figure, std::string value, std::string goal = {}, std::string verdict = {}) {
        rows_.push_back({name_, std::move(figure), std::move(value), std::move(goal), std::move(verdict)});
    }
    [[nodiscard]] const std::vector<BenchRow>& Rows() const { return rows_; }

private:
    std::string name_;
    std::vector<BenchRow> rows_;
};

// What the utility's discovery collected, how long it took and how the event loop kept up.
// everyDevice: the rows that must be listed, 0 for no such goal. Over device networks every device
// must be: a network the Discover does not reach loses no answer, but its devices are missing.
void AddDiscoveryRows(Section& section, const std::vector<RunFigures>& runs, bool atGoalScale,
                      std::size_t everyDevice) {
    const auto lost = [](const RunFigures& r) {
        return static_cast<double>(r.sent > r.utility.received ? r.sent - r.utility.received : 0);
    };
    const std::vector<double> losses = Each(runs, lost);
    const double worstLost = *std::max_element(losses.begin(), losses.end());

    section.Add("answers sent",
                CountRange(runs, [](const RunFigures& r) { return static_cast<double>(r.sent); }));
    if (runs.front().sentEach.size() > 1) {
        std::string each;
        for (std::size_t i = 0; i < runs.front().sentEach.size(); ++i) {
            each += (i > 0 ? " / " : "") +
                    CountRange(runs, [i](const RunFigures& r) { return static_cast<double>(r.sentEach[i]); });
        }
        section.Add("answers sent on each adapter", each);
    }
    section.Add("answers received by the client", CountRange(runs, [](const RunFigures& r) {
                    return static_cast<double>(r.utility.received);
                }));
    const auto listed = [](const RunFigures& r) { return static_cast<double>(r.utility.rows); };
    const std::vector<double> rows = Each(runs, listed);
    const double fewestRows = *std::min_element(rows.begin(), rows.end());
    section.Add("rows listed", CountRange(runs, listed), everyDevice > 0 ? std::to_string(everyDevice) : "",
                everyDevice > 0 ? Verdict(fewestRows == static_cast<double>(everyDevice)) : "");
    section.Add("answers lost", CountRange(runs, lost), atGoalScale ? "0" : "",
                atGoalScale ? Verdict(worstLost == 0) : "");

    const std::vector<double> fill = Each(runs, [](const RunFigures& r) { return r.utility.fillMs; });
    section.Add("window end to list filled", MedianAndWorst(fill, FormatMilliseconds),
                atGoalScale ? "<= " + FormatMilliseconds(kGoalFillMs) : "",
                atGoalScale ? Verdict(Median(fill) <= kGoalFillMs) : "");
    section.Add("window end to filled list repainted",
                Times(runs, [](const RunFigures& r) { return r.utility.shownMs; }));

    const std::vector<double> gaps = Each(runs, [](const RunFigures& r) { return r.utility.longestGapMs; });
    section.Add("longest event-loop gap in the window", MedianAndWorst(gaps, FormatMilliseconds),
                "<= " + FormatMilliseconds(kGoalGapMs), Verdict(Median(gaps) <= kGoalGapMs));
    section.Add("list repaints in the window",
                std::to_string(static_cast<long long>(Median(Each(
                    runs, [](const RunFigures& r) { return static_cast<double>(r.utility.repaints); })))));

    const std::vector<double> busy = Each(runs, [](const RunFigures& r) { return r.utility.longestBusyMs; });
    section.Add("longest gap counted in our CPU time", MedianAndWorst(busy, FormatMilliseconds));

    section.Add("client: send to last answer",
                Times(runs, [](const RunFigures& r) { return r.utility.lastArrivalMs; }));
}

// The client's intake against a plain recvfrom loop on the same burst, live and from a full queue.
void AddIntakeRows(Section& section, const std::vector<RunFigures>& runs, bool atGoalScale) {
    const auto clientRate = [](const UtilityDiscoveryResult& u) { return Rate(u.received, u.lastArrivalMs); };
    const auto rawRate = [](const RawIntakeResult& raw) { return Rate(raw.received, raw.lastArrivalMs); };
    section.Add("raw recvfrom: answers sent",
                CountRange(runs, [](const RunFigures& r) { return static_cast<double>(r.rawSent); }));
    section.Add("raw recvfrom: received",
                CountRange(runs, [](const RunFigures& r) { return static_cast<double>(r.raw.received); }));
    section.Add("raw recvfrom: send to last answer",
                Times(runs, [](const RunFigures& r) { return r.raw.lastArrivalMs; }));
    const auto addIntake = [&](const std::string& what,
                               const std::function<const UtilityDiscoveryResult&(const RunFigures&)>& client,
                               const std::function<const RawIntakeResult&(const RunFigures&)>& raw) {
        section.Add(
            what + ": client intake rate",
            FormatRate(Median(Each(runs, [&](const RunFigures& r) { return clientRate(client(r)); }))));
        section.Add(what + ": raw recvfrom intake rate",
                    FormatRate(Median(Each(runs, [&](const RunFigures& r) { return rawRate(raw(r)); }))));
        const double ratio = Median(Each(runs, [&](const RunFigures& r) {
            const double baseline = rawRate(raw(r));
            return baseline > 0 ? clientRate(client(r)) / baseline : 0;
        }));
        section.Add(what + ": intake rate client / raw", FormatRatio(ratio),
                    atGoalScale ? ">= " + FormatRatio(kGoalIntakeRatio) : "",
                    atGoalScale ? Verdict(ratio >= kGoalIntakeRatio) : "");
    };
    addIntake(
        "live burst", [](const RunFigures& r) -> const UtilityDiscoveryResult& { return r.utility; },
        [](const RunFigures& r) -> const RawIntakeResult& { return r.raw; });
    section.Add(
        "queued burst: received client / raw",
        CountRange(runs, [](const RunFigures& r) { return static_cast<double>(r.queuedUtility.received); }) +
            " / " +
            CountRange(runs, [](const RunFigures& r) { return static_cast<double>(r.queuedRaw.received); }));
    section.Add("queued burst: client drain time",
                Times(runs, [](const RunFigures& r) { return r.queuedUtility.lastArrivalMs; }));
    section.Add("queued burst: raw drain time",
                Times(runs, [](const RunFigures& r) { return r.queuedRaw.lastArrivalMs; }));
    addIntake(
        "queued burst", [](const RunFigures& r) -> const UtilityDiscoveryResult& { return r.queuedUtility; },
        [](const RunFigures& r) -> const RawIntakeResult& { return r.queuedRaw; });
    // The same comparison in this thread's CPU time, which other processes on the machine do not
    // inflate: the cost of taking one answer.
    const auto perAnswerUs = [](double cpuMs, std::size_t received) {
        return received > 0 ? cpuMs * 1000.0 / static_cast<double>(received) : 0;
    };
    const std::vector<double> clientCpu = Each(runs, [&](const RunFigures& r) {
        return perAnswerUs(r.queuedUtility.intakeCpuMs, r.queuedUtility.received);
    });
    const std::vector<double> rawCpu =
        Each(runs, [&](const RunFigures& r) { return perAnswerUs(r.queuedRaw.cpuMs, r.queuedRaw.received); });
    section.Add("queued burst: CPU per answer, client", FormatNanoseconds(Median(clientCpu) * 1000.0));
    section.Add("queued burst: CPU per answer, raw recvfrom", FormatNanoseconds(Median(rawCpu) * 1000.0));
    const double cpuRatio = Median(Each(runs, [&](const RunFigures& r) {
        const double client = perAnswerUs(r.queuedUtility.intakeCpuMs, r.queuedUtility.received);
        return client > 0 ? perAnswerUs(r.queuedRaw.cpuMs, r.queuedRaw.received) / client : 0;
    }));
    section.Add("queued burst: intake per CPU time client / raw", FormatRatio(cpuRatio),
                atGoalScale ? ">= " + FormatRatio(kGoalIntakeRatio) : "",
                atGoalScale ? Verdict(cpuRatio >= kGoalIntakeRatio) : "");
    section.Add("queued burst: longest event-loop gap after the stall",
                Times(runs, [](const RunFigures& r) { return r.queuedUtility.longestGapMs; }));
    section.Add("queued burst: longest gap counted in our CPU time",
                Times(runs, [](const RunFigures& r) { return r.queuedUtility.longestBusyMs; }));
}

std::string SectionName(const Options& options, std::size_t runs) {
    std::string name = "discovery " + std::to_string(options.devices);
    if (options.OverDeviceNetworks())
        name += " on " + std::to_string(options.deviceNetworks.size()) + " adapters";
    if (options.Spread()) name += ", answers over " + std::to_string(options.jitterMs) + " ms";
    if (!MayForceReceiveBuffer()) name += ", unprivileged";
    return runs > 1 ? name + " x" + std::to_string(runs) : name;
}

std::vector<BenchRow> Rows(const Options& options, const std::vector<RunFigures>& runs) {
    Section section(SectionName(options, runs.size()));
    section.Add("runs as", "uid " + std::to_string(::geteuid()) +
                               (MayForceReceiveBuffer() ? ", may force a receive buffer"
                                                        : ", may not force a receive buffer"));
    if (options.OverDeviceNetworks()) section.Add("Discover left through", runs.front().utility.sentThrough);
    AddDiscoveryRows(section, runs, options.AtGoalScale(),
                     options.OverDeviceNetworks() ? options.devices : 0);
    if (!options.OverDeviceNetworks() && options.Spread()) {
        section.Add(
            "a plain recvfrom loop with the same buffer: received",
            CountRange(runs, [](const RunFigures& r) { return static_cast<double>(r.raw.received); }) +
                " of " +
                CountRange(runs, [](const RunFigures& r) { return static_cast<double>(r.rawSent); }));
    } else if (!options.OverDeviceNetworks()) {
        AddIntakeRows(section, runs, options.AtGoalScale());
    }
    // Of each socket: the transport shares a port and interface out among several.
    section.Add("receive buffer asked / granted, each socket",
                FormatBytes(options.receiveBuffer) + " / " + FormatBytes(runs.front().utility.receiveBuffer));
    section.Add("peak memory (VmHWM)", FormatBytes(PeakResidentBytes()));
    return section.Rows();
}

std::string IdleSectionName(const Options& options) {
    return "idle, window open, " + std::to_string(options.devices) + " devices";
}

// The figures of the application with its window open, the answers its start-up discovery got.
std::vector<BenchRow> IdleRowsOf(const Options& options, const IdleResult& idle, std::uint64_t answers) {
    Section section(IdleSectionName(options));
    section.Add("answers to its start-up discovery", std::to_string(answers));
    section.Add("wake-ups a second (voluntary context switches)",
                FormatRate(idle.wakeupsPerSecond) + " over " + FormatMilliseconds(idle.seconds * 1000),
                "<= " + FormatRate(kGoalIdleWakeups), Verdict(idle.wakeupsPerSecond <= kGoalIdleWakeups));
    section.Add("CPU time over that stretch (in steps of " + FormatMilliseconds(idle.tickMs) + ")",
                idle.cpuMs > 0 ? FormatMilliseconds(idle.cpuMs) : "0");
    section.Add("peak memory of the application (VmHWM)", FormatBytes(idle.peakResidentBytes),
                "<= " + FormatBytes(kGoalPeakMemoryBytes),
                Verdict(idle.peakResidentBytes <= kGoalPeakMemoryBytes));
    return section.Rows();
}

// The application with its window open over the device networks, once its start-up discovery is
// done: how often it wakes up with nothing pending, and its peak memory. A measurement that fails
// leaves its goals missed, with the reason in error too.
std::vector<BenchRow> IdleRows(const Options& options, std::string& error) {
    IdleResult idle;
    const auto sent = WithSimulators(
        options,
        [&](std::uint16_t) {
            idle = MeasureIdleWakeups(options.idleProgram, kIdleSettleMs, kIdleMeasureMs);
            error = idle.error;
            return error.empty();
        },
        error);
    if (!sent) return NotMeasured(IdleRowsOf(options, {}, 0), error);
    return IdleRowsOf(options, idle, Sum(*sent));
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const Options options = ParseArguments(QCoreApplication::arguments());
    // The goals of the sections, when a measurement cannot even start.
    const auto notMeasured = [&options](const std::string& why) {
        PrintRows(NotMeasured(Rows(options, {RunFigures{}}), why));
        if (!options.idleProgram.isEmpty()) PrintRows(NotMeasured(IdleRowsOf(options, {}, 0), why));
        return 1;
    };
    if (!options.notMeasured.isEmpty()) return notMeasured(options.notMeasured.toStdString());
    std::vector<RunFigures> runs;
    for (int i = 0; i < options.repeat; ++i) {
        std::string error;
        const std::optional<RunFigures> run = RunOnce(options, error);
        if (!run) return notMeasured(error);
        runs.push_back(*run);
    }
    PrintRows(Rows(options, runs));
    if (options.idleProgram.isEmpty()) return 0;
    std::string error;
    PrintRows(IdleRows(options, error));
    return error.empty() ? 0 : 1;
}
