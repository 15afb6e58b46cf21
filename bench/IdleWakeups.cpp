#include "IdleWakeups.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include <unistd.h>

#include <QProcess>

#include "BenchClock.h"

namespace {

constexpr int kStartTimeoutMs = 10000;
constexpr int kStopTimeoutMs = 5000;

// Voluntary context switches summed over the threads of the process; none once it has gone.
std::optional<std::uint64_t> VoluntarySwitches(qint64 pid) {
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    std::error_code error;
    std::uint64_t total = 0;
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        std::ifstream status(task.path() / "status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0) total += std::stoull(line.substr(24));
        }
    }
    if (error) return std::nullopt;
    return total;
}

double TickMs() { return 1000.0 / static_cast<double>(::sysconf(_SC_CLK_TCK)); }

// User and system CPU time of the process in milliseconds, from fields 14 and 15 of its stat line
// (after the command name, which may hold blanks and ends at the last parenthesis); none once the
// process has ended (state Z or X, field 3).
std::optional<double> CpuMs(qint64 pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return std::nullopt;
    const std::size_t end = line.rfind(')');
    if (end == std::string::npos) return std::nullopt;
    std::istringstream fields(line.substr(end + 1));
    std::string state;
    fields >> state;
    if (state == "Z" || state == "X") return std::nullopt;
    std::string skipped;
    for (int field = 4; field < 14; ++field) fields >> skipped;
    std::uint64_t user = 0;
    std::uint64_t system = 0;
    if (!(fields >> user >> system)) return std::nullopt;
    return static_cast<double>(user + system) * TickMs();
}

void End(QProcess& process) {
    process.terminate();
    if (!process.waitForFinished(kStopTimeoutMs)) {
        process.kill();
        process.waitForFinished(kStopTimeoutMs);
    }
}

}  // namespace

IdleResult MeasureIdleWakeups(const QString& program, int settleMs, int measureMs) {
    IdleResult result;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, {});
    if (!process.waitForStarted(kStartTimeoutMs)) {
        result.error = program.toStdString() + " did not start: " + process.errorString().toStdString();
        return result;
    }
    const qint64 pid = process.processId();
    std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
    const auto switchesBefore = VoluntarySwitches(pid);
    const auto cpuBefore = CpuMs(pid);
    const bench::Clock::time_point from = bench::Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(measureMs));
    const auto switchesAfter = VoluntarySwitches(pid);
    const auto cpuAfter = CpuMs(pid);
    result.seconds = bench::MillisecondsBetween(from, bench::Clock::now()) / 1000.0;
    End(process);
    if (!switchesBefore || !switchesAfter || !cpuBefore || !cpuAfter) {
        result.error = program.toStdString() + " ended before the measurement did";
        return result;
    }
    // A thread that ended in between takes its count along: no negative counts.
    const double switches = static_cast<double>(*switchesAfter) - static_cast<double>(*switchesBefore);
    result.wakeupsPerSecond = std::max(0.0, switches) / result.seconds;
    result.cpuMs = *cpuAfter - *cpuBefore;
    result.tickMs = TickMs();
    return result;
}
