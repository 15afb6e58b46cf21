#include "IdleWakeups.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include <unistd.h>

#include <QProcess>

#include "BenchClock.h"
#include "ProcessStatus.h"

namespace {

constexpr int kStartTimeoutMs = 10000;
constexpr int kStopTimeoutMs = 5000;

// The whole text of a file; none when it cannot be read (its process has gone).
std::optional<std::string> FileText(const std::filesystem::path& path) {
    std::ifstream file(path);
    if (!file) return std::nullopt;
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Voluntary context switches summed over the threads of the process; none once it has gone.
std::optional<std::uint64_t> VoluntarySwitches(qint64 pid) {
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    std::error_code error;
    std::uint64_t total = 0;
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        // A thread that ends while it is read counts no more.
        const std::optional<std::string> status = FileText(task.path() / "status");
        if (status) total += StatusVoluntarySwitches(*status).value_or(0);
    }
    if (error) return std::nullopt;
    return total;
}

double TickMs() { return 1000.0 / static_cast<double>(::sysconf(_SC_CLK_TCK)); }

// CPU time of the process in milliseconds; none once it has ended.
std::optional<double> CpuMs(qint64 pid) {
    const std::optional<std::string> stat = FileText("/proc/" + std::to_string(pid) + "/stat");
    const std::optional<std::uint64_t> ticks = stat ? StatCpuTicks(*stat) : std::nullopt;
    if (!ticks) return std::nullopt;
    return static_cast<double>(*ticks) * TickMs();
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
    const std::optional<std::string> status = FileText("/proc/" + std::to_string(pid) + "/status");
    const std::optional<std::uint64_t> peak = status ? StatusPeakResidentBytes(*status) : std::nullopt;
    End(process);
    if (!switchesBefore || !switchesAfter || !cpuBefore || !cpuAfter || !peak) {
        result.error = program.toStdString() + " ended before the measurement did";
        return result;
    }
    // A thread that ended in between takes its count along: no negative counts.
    const double switches = static_cast<double>(*switchesAfter) - static_cast<double>(*switchesBefore);
    result.wakeupsPerSecond = std::max(0.0, switches) / result.seconds;
    result.cpuMs = *cpuAfter - *cpuBefore;
    result.tickMs = TickMs();
    result.peakResidentBytes = static_cast<double>(*peak);
    return result;
}
