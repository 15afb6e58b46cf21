#pragma once

// Linux only: the system's UDP sockets that a transport sends and receives through.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include <netinet/in.h>

#include "ndcp/Descriptor.h"

// Sockets on one local address, port and interface. The first sends, and receives what is
// broadcast; the system shares the datagrams sent to the port out among all of them by their
// sender's address and port, so that one sender's always reach the same socket, and the others
// leave broadcasts to the first. The answers of many devices thus find the room of several
// receive buffers, each as large as the system grants one socket, without privilege.
struct SocketGroup {
    static constexpr std::size_t kSize = 4;

    std::vector<Descriptor> sockets;  // the first sends; empty when it could not be opened

    [[nodiscard]] bool Empty() const noexcept { return sockets.empty(); }
    [[nodiscard]] int First() const noexcept { return sockets.front().Get(); }
};

// Opens a group bound to the local address and port (0: the system chooses one, which only
// sockets of this user may then share) and, unless device is 0, to the interface of that index,
// each socket allowed to broadcast, telling of each datagram the interface and time of its
// arrival, and with as large a receive buffer as it is granted. The system's reason when the first
// cannot be opened; the others are left out, the reason logged, when they cannot.
[[nodiscard]] std::optional<std::string> OpenSocketGroup(sockaddr_in local, unsigned int device,
                                                         int receiveBuffer, SocketGroup& group);
