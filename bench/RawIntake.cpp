#include "RawIntake.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include "BenchClock.h"
#include "device/DeviceProfile.h"
#include "ndcp/wire/NDCPPacket.h"
#include "testkit/Loopback.h"
#include "vars/OvNDCPVarList.h"

namespace {

using bench::Clock;
using bench::MillisecondsBetween;
using bench::ThreadCpuMs;

class Socket {
public:
    Socket() : fd_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}
    ~Socket() {
        if (fd_ >= 0) ::close(fd_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    [[nodiscard]] int Fd() const noexcept { return fd_; }

private:
    int fd_;
};

std::string SystemError(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace

RawIntakeResult RunRawIntake(std::uint16_t simPort, std::size_t expected, int windowMs, int requestedBuffer,
                             int stallMs) {
    RawIntakeResult result;
    const Socket socket;
    if (socket.Fd() < 0) {
        result.error = SystemError("socket");
        return result;
    }
    if (::setsockopt(socket.Fd(), SOL_SOCKET, SO_RCVBUFFORCE, &requestedBuffer, sizeof requestedBuffer) !=
        0) {
        ::setsockopt(socket.Fd(), SOL_SOCKET, SO_RCVBUF, &requestedBuffer, sizeof requestedBuffer);
    }
    socklen_t length = sizeof result.receiveBuffer;
    ::getsockopt(socket.Fd(), SOL_SOCKET, SO_RCVBUF, &result.receiveBuffer, &length);
    const sockaddr_in local = Loopback(0);
    if (::bind(socket.Fd(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        result.error = SystemError("bind");
        return result;
    }

    OvNDCPVarList vars;
    SetDiscoveryVars(vars);
    const std::vector<std::uint8_t> request =
        BuildRequest(kBroadcastMac, kDefaultPassword, vars, kDiscoverCommand, 0);
    const sockaddr_in sim = Loopback(simPort);
    const Clock::time_point sent = Clock::now();
    if (::sendto(socket.Fd(), request.data(), request.size(), 0, reinterpret_cast<const sockaddr*>(&sim),
                 sizeof sim) != static_cast<ssize_t>(request.size())) {
        result.error = SystemError("sendto");
        return result;
    }

    const Clock::time_point end = sent + std::chrono::milliseconds(windowMs);
    if (stallMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(stallMs));
    const Clock::time_point reading = Clock::now();
    const double cpuAtStart = ThreadCpuMs();
    std::array<std::uint8_t, kReceiveBufferSize + 1> buffer{};
    Clock::time_point last = reading;
    while (result.received < expected) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0) break;
        pollfd readable{socket.Fd(), POLLIN, 0};
        if (::poll(&readable, 1, static_cast<int>(left)) <= 0) continue;
        // Everything queued is taken before the next poll, as a plain loop would.
        while (::recvfrom(socket.Fd(), buffer.data(), buffer.size(), MSG_DONTWAIT, nullptr, nullptr) >= 0) {
            last = Clock::now();
            ++result.received;
        }
    }
    result.lastArrivalMs = MillisecondsBetween(reading, last);
    result.cpuMs = ThreadCpuMs() - cpuAtStart;
    return result;
}
