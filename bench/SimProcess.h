#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <QProcess>

#include "SimLogFields.h"

// What the simulator counted when it stopped.
struct SimSummary {
    std::uint64_t answers = 0;  // answers sent
    std::uint64_t failed = 0;   // answers whose send failed
    std::uint64_t unsent = 0;   // answers still queued at the stop
};

// ndcp-sim answering as a number of devices on 127.0.0.1 and a free port. The process is stopped
// with SIGTERM when Stop is called or the object goes away.
class SimProcess {
public:
    SimProcess(const QString& program, std::size_t devices);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Waits for the listening line; false (with the reason in Error) when it does not come.
    [[nodiscard]] bool Start(int timeoutMs);
    [[nodiscard]] std::uint16_t Port() const noexcept { return port_; }
    // Stops the simulator and reads its summary; none when it printed no summary.
    [[nodiscard]] std::optional<SimSummary> Stop(int timeoutMs);
    [[nodiscard]] const std::string& Error() const noexcept { return error_; }

private:
    QString program_;
    std::size_t devices_;
    QProcess process_;
    std::uint16_t port_ = 0;
    std::string error_;
};
