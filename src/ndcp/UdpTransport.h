#pragma once

#include <memory>
#include <string>

#include "ndcp/Transport.h"

// The UDP transport: IPv4, broadcast allowed, bound to a local address with a port the system
// chooses, with as large a receive buffer as the system grants. On Linux the socket is the
// system's own (LinuxUdpTransport.cpp): what is sent through an adapter leaves from a socket bound
// to that adapter on the same port, so that each adapter's answers have a buffer of their own, and
// the sockets are read in batches with recvmmsg by a thread that only moves the datagrams into
// memory, where the event loop's thread takes them (SocketReader.h). Elsewhere, or with
// OV_PORTABLE_UDP, it is a QUdpSocket read on the event loop's thread (PortableUdpTransport.cpp).
// Null when the socket cannot be created, allowed to broadcast, or bound, or its reader cannot be
// started.

// Whether a privileged process gets a receive buffer past the system's limit (Linux's own
// socket); Qt's socket keeps to the limit.
[[nodiscard]] bool UdpTransportForcesReceiveBuffer() noexcept;
// Whether datagrams are taken off the socket by a thread of their own (Linux's own socket), so
// that what arrives while the event loop is busy waits in memory rather than in the socket.
[[nodiscard]] bool UdpTransportHasReader() noexcept;

[[nodiscard]] std::unique_ptr<Transport> OpenUdpTransport(const std::string& localAddress, int receiveBuffer);
