// Discovery at scale on loopback: ndcp-sim answers one Discover as many devices in one burst;
// first a plain recvfrom loop takes the burst (the physical baseline), then the utility's own path
// (client, request, binding, list view). Prints the figures as rows of the bench table.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QApplication>

#include "BenchTable.h"
#include "RawIntake.h"
#include "UtilityDiscovery.h"
#include "device/DeviceProfile.h"
#include "ndcp/OvNDCPClient.h"
#include "testkit/ScopedNetworkSetting.h"
#include "testkit/SimulatorProcess.h"

namespace {

constexpr int kWindowMs = kDiscoveryTimeout * 10;  // the discovery time-out in milliseconds
constexpr std::size_t kGoalDevices = 10000;
constexpr double kGoalFillMs = 100;
constexpr double kGoalGapMs = 50;
constexpr double kGoalIntakeRatio = 0.5;

struct Options {
    QString sim;
    std::size_t devices = 100;
    int repeat = 3;
};

// The burst taken live (reading from the send on) and from a full queue (reading starts after a
// stall): the second shows each reader's own speed, where the first may show the sender's.
constexpr int kQueuedStallMs = 500;

struct RunFigures {
    std::uint64_t sent = 0;
    UtilityDiscoveryResult utility;
    std::uint64_t rawSent = 0;
    RawIntakeResult raw;
    UtilityDiscoveryResult queuedUtility;
    RawIntakeResult queuedRaw;
};

[[noreturn]] void Usage(const char* problem) {
    std::fprintf(stderr, "%s\nusage: ov_discovery_bench --sim PATH --devices N [--repeat R]\n", problem);
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
        } else {
            Usage("unknown option");
        }
        if (!number) Usage("a count is not a number");
    }
    if (options.sim.isEmpty()) Usage("--sim is missing");
    if (options.devices == 0 || options.repeat < 1) Usage("--devices and --repeat must be at least 1");
    return options;
}

// The peak resident set of this process, in bytes, from /proc/self/status.
double PeakResidentBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) * 1024.0;
    }
    return 0;
}

// Runs the simulator around one measurement and returns the number of answers it sent.
std::optional<std::uint64_t> WithSimulator(const Options& options,
                                           const std::function<bool(std::uint16_t)>& measure,
                                           std::string& error) {
    SimulatorProcess sim(options.sim, {"--devices", QString::number(options.devices), "--quiet"});
    if (!sim.Started()) {
        error = sim.Error();
        return std::nullopt;
    }
    const bool measured = measure(sim.Port());
    const std::optional<SimulatorSummary> summary = sim.Stop();
    if (!summary) {
        error = sim.Error();
        return std::nullopt;
    }
    if (!measured) return std::nullopt;
    if (summary->failed > 0 || summary->unsent > 0) {
        std::fprintf(stderr, "ndcp-sim: %llu answers failed, %llu unsent\n",
                     static_cast<unsigned long long>(summary->failed),
                     static_cast<unsigned long long>(summary->unsent));
    }
    return summary->answers;
}

bool MeasureRaw(const Options& options, int stallMs, RawIntakeResult& result, std::uint64_t& sent,
                std::string& error) {
    const auto answers = WithSimulator(
        options,
        [&](std::uint16_t port) {
            result = RunRawIntake(port, options.devices, kWindowMs, OvNDCPClient::kRequestedReceiveBuffer,
                                  stallMs);
            error = result.error;
            return error.empty();
        },
        error);
    if (answers) sent = *answers;
    return answers.has_value();
}

bool MeasureUtility(const Options& options, int stallMs, UtilityDiscoveryResult& result, std::uint64_t& sent,
                    std::string& error) {
    const auto answers = WithSimulator(
        options,
        [&](std::uint16_t port) {
            result = RunUtilityDiscovery(LoopbackSetting(port), stallMs);
            error = result.error;
            return error.empty();
        },
        error);
    if (answers) sent = *answers;
    return answers.has_value();
}

std::optional<RunFigures> RunOnce(const Options& options, std::string& error) {
    RunFigures figures;
    std::uint64_t ignored = 0;
    if (!MeasureRaw(options, 0, figures.raw, figures.rawSent, error)) return std::nullopt;
    if (!MeasureUtility(options, 0, figures.utility, figures.sent, error)) return std::nullopt;
    if (!MeasureRaw(options, kQueuedStallMs, figures.queuedRaw, ignored, error)) return std::nullopt;
    if (!MeasureUtility(options, kQueuedStallMs, figures.queuedUtility, ignored, error)) return std::nullopt;
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

// "median X (worst Y)" for more than one run.
std::string MedianAndWorst(const std::vector<double>& values,
                           const std::function<std::string(double)>& format) {
    const double median = Median(values);
    if (values.size() == 1) return format(median);
    return format(median) + " (worst " + format(*std::max_element(values.begin(), values.end())) + ")";
}

std::vector<BenchRow> Rows(const Options& options, const std::vector<RunFigures>& runs) {
    const std::string section = "discovery " + std::to_string(options.devices) +
                                (runs.size() > 1 ? " x" + std::to_string(runs.size()) : "");
    const bool atGoalScale = options.devices >= kGoalDevices;
    std::vector<BenchRow> rows;
    const auto add = [&](std::string figure, std::string value, std::string goal = {},
                         std::string verdict = {}) {
        rows.push_back({section, std::move(figure), std::move(value), std::move(goal), std::move(verdict)});
    };
    const auto lost = [](const RunFigures& r) {
        return static_cast<double>(r.sent > r.utility.received ? r.sent - r.utility.received : 0);
    };
    const std::vector<double> losses = Each(runs, lost);
    const double worstLost = *std::max_element(losses.begin(), losses.end());

    add("answers sent", CountRange(runs, [](const RunFigures& r) { return static_cast<double>(r.sent); }));
    add("answers received by the client",
        CountRange(runs, [](const RunFigures& r) { return static_cast<double>(r.utility.received); }));
    add("rows listed",
        CountRange(runs, [](const RunFigures& r) { return static_cast<double>(r.utility.rows); }));
    add("answers lost", CountRange(runs, lost), atGoalScale ? "0" : "",
        atGoalScale ? Verdict(worstLost == 0) : "");

    const std::vector<double> fill = Each(runs, [](const RunFigures& r) { return r.utility.fillMs; });
    add("window end to list filled", MedianAndWorst(fill, FormatMilliseconds),
        atGoalScale ? "<= " + FormatMilliseconds(kGoalFillMs) : "",
        atGoalScale ? Verdict(Median(fill) <= kGoalFillMs) : "");
    add("window end to filled list repainted",
        MedianAndWorst(Each(runs, [](const RunFigures& r) { return r.utility.shownMs; }),
                       FormatMilliseconds));

    const std::vector<double> gaps = Each(runs, [](const RunFigures& r) { return r.utility.longestGapMs; });
    add("longest event-loop gap in the window", MedianAndWorst(gaps, FormatMilliseconds),
        "<= " + FormatMilliseconds(kGoalGapMs), Verdict(Median(gaps) <= kGoalGapMs));
    add("list repaints in the window",
        std::to_string(static_cast<long long>(Median(
            Each(runs, [](const RunFigures& r) { return static_cast<double>(r.utility.repaints); })))));

    const std::vector<double> busy = Each(runs, [](const RunFigures& r) { return r.utility.longestBusyMs; });
    add("longest gap counted in our CPU time", MedianAndWorst(busy, FormatMilliseconds));

    const auto clientRate = [](const UtilityDiscoveryResult& u) { return Rate(u.received, u.lastArrivalMs); };
    const auto rawRate = [](const RawIntakeResult& raw) { return Rate(raw.received, raw.lastArrivalMs); };
    add("client: send to last answer",
        MedianAndWorst(Each(runs, [](const RunFigures& r) { return r.utility.lastArrivalMs; }),
                       FormatMilliseconds));
    add("raw recvfrom: answers sent",
        CountRange(runs, [](const RunFigures& r) { return static_cast<double>(r.rawSent); }));
    add("raw recvfrom: received",
        CountRange(runs, [](const RunFigures& r) { return static_cast<double>(r.raw.received); }));
    add("raw recvfrom: send to last answer",
        MedianAndWorst(Each(runs, [](const RunFigures& r) { return r.raw.lastArrivalMs; }),
                       FormatMilliseconds));
    const auto addIntake = [&](const std::string& what,
                               const std::function<const UtilityDiscoveryResult&(const RunFigures&)>& client,
                               const std::function<const RawIntakeResult&(const RunFigures&)>& raw) {
        add(what + ": client intake rate",
            FormatRate(Median(Each(runs, [&](const RunFigures& r) { return clientRate(client(r)); }))));
        add(what + ": raw recvfrom intake rate",
            FormatRate(Median(Each(runs, [&](const RunFigures& r) { return rawRate(raw(r)); }))));
        const double ratio = Median(Each(runs, [&](const RunFigures& r) {
            const double baseline = rawRate(raw(r));
            return baseline > 0 ? clientRate(client(r)) / baseline : 0;
        }));
        add(what + ": intake rate client / raw", FormatRatio(ratio),
            atGoalScale ? ">= " + FormatRatio(kGoalIntakeRatio) : "",
            atGoalScale ? Verdict(ratio >= kGoalIntakeRatio) : "");
    };
    addIntake(
        "live burst", [](const RunFigures& r) -> const UtilityDiscoveryResult& { return r.utility; },
        [](const RunFigures& r) -> const RawIntakeResult& { return r.raw; });
    add("queued burst: received client / raw",
        CountRange(runs, [](const RunFigures& r) { return static_cast<double>(r.queuedUtility.received); }) +
            " / " +
            CountRange(runs, [](const RunFigures& r) { return static_cast<double>(r.queuedRaw.received); }));
    add("queued burst: client drain time",
        MedianAndWorst(Each(runs, [](const RunFigures& r) { return r.queuedUtility.lastArrivalMs; }),
                       FormatMilliseconds));
    add("queued burst: raw drain time",
        MedianAndWorst(Each(runs, [](const RunFigures& r) { return r.queuedRaw.lastArrivalMs; }),
                       FormatMilliseconds));
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
    add("queued burst: CPU per answer, client", FormatNanoseconds(Median(clientCpu) * 1000.0));
    add("queued burst: CPU per answer, raw recvfrom", FormatNanoseconds(Median(rawCpu) * 1000.0));
    const double cpuRatio = Median(Each(runs, [&](const RunFigures& r) {
        const double client = perAnswerUs(r.queuedUtility.intakeCpuMs, r.queuedUtility.received);
        return client > 0 ? perAnswerUs(r.queuedRaw.cpuMs, r.queuedRaw.received) / client : 0;
    }));
    add("queued burst: intake per CPU time client / raw", FormatRatio(cpuRatio),
        atGoalScale ? ">= " + FormatRatio(kGoalIntakeRatio) : "",
        atGoalScale ? Verdict(cpuRatio >= kGoalIntakeRatio) : "");
    add("queued burst: longest event-loop gap after the stall",
        MedianAndWorst(Each(runs, [](const RunFigures& r) { return r.queuedUtility.longestGapMs; }),
                       FormatMilliseconds));
    add("queued burst: longest gap counted in our CPU time",
        MedianAndWorst(Each(runs, [](const RunFigures& r) { return r.queuedUtility.longestBusyMs; }),
                       FormatMilliseconds));
    add("receive buffer granted", FormatBytes(runs.front().utility.receiveBuffer));
    add("peak memory (VmHWM)", FormatBytes(PeakResidentBytes()));
    return rows;
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const Options options = ParseArguments(QCoreApplication::arguments());
    std::vector<RunFigures> runs;
    for (int i = 0; i < options.repeat; ++i) {
        std::string error;
        const std::optional<RunFigures> run = RunOnce(options, error);
        if (!run) {
            PrintRows({{"discovery " + std::to_string(options.devices), "error", error, "", "MISSED"}});
            return 1;
        }
        runs.push_back(*run);
    }
    PrintRows(Rows(options, runs));
    return 0;
}
