#include "ndcp/SocketGroup.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <span>

#include <QtDebug>

#include <linux/filter.h>
#include <linux/if_packet.h>
#include <sys/socket.h>

namespace {

// The system's reason a step of a socket's set-up failed.
std::string Failure(const char* step) { return std::string(step) + ": " + std::strerror(errno); }

// Privileged processes may go past the system's limit; the others keep what SO_RCVBUF grants.
void EnlargeReceiveBuffer(int socket, int bytes) {
    if (::setsockopt(socket, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) == 0) return;
    ::setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

std::optional<std::string> Prepare(int socket, int receiveBuffer) {
    const int on = 1;
    if (::setsockopt(socket, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) return Failure("SO_BROADCAST");
    if (::setsockopt(socket, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0) return Failure("IP_PKTINFO");
    if (::setsockopt(socket, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on) != 0)
        return Failure("SO_TIMESTAMPNS");
    EnlargeReceiveBuffer(socket, receiveBuffer);
    return std::nullopt;
}

// Lets sockets of this user share the port.
std::optional<std::string> SharePort(int socket) {
    const int on = 1;
    if (::setsockopt(socket, SOL_SOCKET, SO_REUSEPORT, &on, sizeof on) != 0) return Failure("SO_REUSEPORT");
    return std::nullopt;
}

std::optional<std::string> Bind(int socket, const sockaddr_in& local, unsigned int device) {
    const bool systemChoosesPort = local.sin_port == 0;
    if (!systemChoosesPort) {
        if (auto failure = SharePort(socket)) return failure;
    }
    const int index = static_cast<int>(device);
    if (device != 0 && ::setsockopt(socket, SOL_SOCKET, SO_BINDTOIFINDEX, &index, sizeof index) != 0) {
        return Failure("SO_BINDTOIFINDEX");
    }
    if (::bind(socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) return Failure("bind");
    // Asked for after the system chose the port: before, it may choose one that another socket of
    // this user shares already.
    return systemChoosesPort ? SharePort(socket) : std::nullopt;
}

// An instruction of a classic filter program, and one that jumps ahead by its outcome.
constexpr sock_filter Statement(int code, std::uint32_t operand) {
    return {static_cast<std::uint16_t>(code), 0, 0, operand};
}
constexpr sock_filter Jump(int code, std::uint32_t operand, std::uint8_t ifTrue, std::uint8_t ifFalse) {
    return {static_cast<std::uint16_t>(code), ifTrue, ifFalse, operand};
}
// Where a load finds what the system knows of a datagram, or its network header.
constexpr std::uint32_t Ancillary(int field) { return static_cast<std::uint32_t>(SKF_AD_OFF + field); }
constexpr std::uint32_t NetworkHeader(int offset) { return static_cast<std::uint32_t>(SKF_NET_OFF + offset); }

// Attaches a classic filter program to the socket with the option.
std::optional<std::string> Attach(int socket, int option, std::span<sock_filter> program, const char* name) {
    const sock_fprog attached{static_cast<unsigned short>(program.size()), program.data()};
    if (::setsockopt(socket, SOL_SOCKET, option, &attached, sizeof attached) != 0) return Failure(name);
    return std::nullopt;
}

// Drops what was broadcast, by the link or to the limited broadcast address: the group's first
// socket receives it.
std::optional<std::string> KeepOutBroadcasts(int socket) {
    std::array<sock_filter, 6> program = {{
        Statement(BPF_LD | BPF_W | BPF_ABS, Ancillary(SKF_AD_PKTTYPE)),
        Jump(BPF_JMP | BPF_JEQ | BPF_K, PACKET_HOST, 0, 3),
        Statement(BPF_LD | BPF_W | BPF_ABS, NetworkHeader(16)),  // the IPv4 destination address
        Jump(BPF_JMP | BPF_JEQ | BPF_K, INADDR_BROADCAST, 1, 0),
        Statement(BPF_RET | BPF_K, 0xFFFFFFFF),  // kept whole
        Statement(BPF_RET | BPF_K, 0),           // dropped
    }};
    return Attach(socket, SO_ATTACH_FILTER, program, "SO_ATTACH_FILTER");
}

std::optional<std::string> OpenSharer(const sockaddr_in& local, unsigned int device, int receiveBuffer,
                                      SocketGroup& group) {
    Descriptor sharer(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (sharer.Get() < 0) return Failure("socket");
    if (auto failure = Prepare(sharer.Get(), receiveBuffer)) return failure;
    // Before the bind, so that no broadcast reaches it.
    if (auto failure = KeepOutBroadcasts(sharer.Get())) return failure;
    if (auto failure = Bind(sharer.Get(), local, device)) return failure;
    group.sockets.push_back(std::move(sharer));
    return std::nullopt;
}

}  // namespace

std::optional<std::string> OpenSocketGroup(sockaddr_in local, unsigned int device, int receiveBuffer,
                                           SocketGroup& group) {
    Descriptor first(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (first.Get() < 0) return Failure("socket");
    if (auto failure = Prepare(first.Get(), receiveBuffer)) return failure;
    if (auto failure = Bind(first.Get(), local, device)) return failure;
    socklen_t length = sizeof local;
    if (::getsockname(first.Get(), reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return Failure("getsockname");
    group.sockets.push_back(std::move(first));
    while (group.sockets.size() < SocketGroup::kSize) {
        if (auto failure = OpenSharer(local, device, receiveBuffer, group)) {
            qInfo("Port %u is shared by fewer sockets: %s", ntohs(local.sin_port), failure->c_str());
            break;
        }
    }
    return std::nullopt;
}
