#include "testkit/SimulatorProcess.h"

#include <csignal>
#include <fstream>

#include <sys/prctl.h>

#include "testkit/EventLoopWait.h"
#include "testkit/SimLogFields.h"

namespace {

constexpr int kKillWaitMs = 1000;

// The port of a listening line; none for other lines and for ports no socket can have.
std::optional<std::uint16_t> ListeningPort(const std::string& line) {
    if (LogField(line, "ev") != "listening") return std::nullopt;
    const std::optional<std::uint64_t> port = LogNumber(line, "port");
    if (!port || *port == 0 || *port > 65535) return std::nullopt;
    return static_cast<std::uint16_t>(*port);
}

std::optional<SimulatorSummary> Summary(const std::string& line) {
    if (LogField(line, "ev") != "summary") return std::nullopt;
    const std::optional<std::uint64_t> answers = LogNumber(line, "answers");
    if (!answers) return std::nullopt;
    return SimulatorSummary{*answers, LogNumber(line, "failed").value_or(0),
                            LogNumber(line, "unsent").value_or(0)};
}

}  // namespace

SimulatorProcess::SimulatorProcess(const QString& program, const QStringList& extraArguments,
                                   const SimulatorPlace& place)
    : logPath_(dir_.filePath(QStringLiteral("sim.log"))) {
    QStringList command = place.through;
    command += {program, "--bind", place.bind, "--port", QString::number(place.port), "--log", logPath_};
    command += extraArguments;
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // A test that dies takes its simulator along: one left running would hold the test runner's
    // output open and keep it waiting until its time-out.
    process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process_.start(command.front(), command.mid(1));
    if (!process_.waitForStarted(kStartTimeoutMs)) {
        error_ = "ndcp-sim did not start: " + process_.errorString().toStdString();
        return;
    }
    WaitUntilListening(kStartTimeoutMs);
}

SimulatorProcess::~SimulatorProcess() { static_cast<void>(Terminate(kStopTimeoutMs)); }

void SimulatorProcess::WaitUntilListening(int timeoutMs) {
    ProcessEventsUntil(
        [&] {
            for (const std::string& line : LogLines()) {
                if (const auto port = ListeningPort(line)) {
                    port_ = *port;
                    return true;
                }
            }
            return process_.state() == QProcess::NotRunning;
        },
        timeoutMs);
    if (port_ == 0) {
        const std::vector<std::string> lines = LogLines();
        error_ = "ndcp-sim did not report a port it listens on; its log: " +
                 (lines.empty() ? std::string("(empty)") : lines.back());
    }
}

bool SimulatorProcess::Terminate(int timeoutMs) {
    if (process_.state() == QProcess::NotRunning) return true;
    process_.terminate();
    if (process_.waitForFinished(timeoutMs)) return true;
    process_.kill();
    process_.waitForFinished(kKillWaitMs);
    return false;
}

std::optional<SimulatorSummary> SimulatorProcess::Stop(int timeoutMs) {
    if (!Terminate(timeoutMs)) {
        error_ = "ndcp-sim did not stop on SIGTERM";
        return std::nullopt;
    }
    for (const std::string& line : LogLines()) {
        if (const auto summary = Summary(line)) return summary;
    }
    error_ = "ndcp-sim logged no summary";
    return std::nullopt;
}

std::vector<std::string> SimulatorProcess::LogLines() const {
    std::vector<std::string> lines;
    std::ifstream log(logPath_.toStdString());
    for (std::string line; std::getline(log, line);) lines.push_back(line);
    return lines;
}
