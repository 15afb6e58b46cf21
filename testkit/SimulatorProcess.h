#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// What the simulator counted when it stopped.
struct SimulatorSummary {
    std::uint64_t answers = 0;  // answers sent
    std::uint64_t failed = 0;   // answers whose send failed
    std::uint64_t unsent = 0;   // answers still queued at the stop
};

// Where the simulator runs: the address and port it binds, and a command it is run through (for
// example nsenter into the network namespace of a device network); none runs it directly.
struct SimulatorPlace {
    QString bind = QStringLiteral("127.0.0.1");
    std::uint16_t port = 0;  // 0: a free port, read from the simulator's listening line
    QStringList through;
};

// Runs ndcp-sim, by default on 127.0.0.1 with a free port, from the construction until Stop or
// the end of the object: starts it and waits until it listens. The simulator logs to a file of its
// own, which the object reads for the port, the log lines and the summary.
class SimulatorProcess {
public:
    static constexpr int kStartTimeoutMs = 10000;
    static constexpr int kStopTimeoutMs = 10000;

    // extraArguments: the simulator's options beyond --bind, --port and --log.
    SimulatorProcess(const QString& program, const QStringList& extraArguments,
                     const SimulatorPlace& place = {});
    ~SimulatorProcess();
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    [[nodiscard]] bool Started() const noexcept { return port_ != 0; }
    [[nodiscard]] std::uint16_t Port() const noexcept { return port_; }
    // Why the start or the stop failed; empty while nothing did.
    [[nodiscard]] const std::string& Error() const noexcept { return error_; }
    // The log lines written so far.
    [[nodiscard]] std::vector<std::string> LogLines() const;
    // Stops the simulator with SIGTERM and reads its summary; none, with the reason in Error, when
    // it does not stop in time or logs no summary.
    [[nodiscard]] std::optional<SimulatorSummary> Stop(int timeoutMs = kStopTimeoutMs);

private:
    void WaitUntilListening(int timeoutMs);
    [[nodiscard]] bool Terminate(int timeoutMs);

    QTemporaryDir dir_;
    QString logPath_;
    QProcess process_;
    std::uint16_t port_ = 0;
    std::string error_;
};
