#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include "ndcp/NetworkSetting.h"

// Runs ndcp-sim on 127.0.0.1 with a free port for the lifetime of the object and points the
// process-wide network setting at it; the old setting comes back afterwards.
class SimulatorProcess {
public:
    // extraArguments: the simulator's options beyond --bind, --port and --log.
    SimulatorProcess(const QString& program, const QStringList& extraArguments);
    ~SimulatorProcess();
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    [[nodiscard]] bool Started() const { return port_ != 0; }
    [[nodiscard]] std::uint16_t Port() const { return port_; }
    // The log lines written so far.
    [[nodiscard]] std::vector<std::string> LogLines() const;

private:
    QTemporaryDir dir_;
    QString logPath_;
    QProcess process_;
    std::uint16_t port_ = 0;
    NDCPNetworkSetting saved_;
};
