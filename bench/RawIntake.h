#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The physical baseline: one Discover sent from a plain UDP socket, then a plain recvfrom loop
// that only counts what arrives. The socket asks for the same receive buffer as the client.
struct RawIntakeResult {
    std::size_t received = 0;
    double lastArrivalMs = 0;  // from the start of reading to the last datagram
    double cpuMs = 0;          // this thread's CPU time for the reading (waiting costs none)
    int receiveBuffer = 0;     // bytes granted
    std::string error;         // empty when the run worked
};

// Waits until `expected` datagrams arrived or the window ended. With a stall, the loop starts that
// long after the send, so that it takes the burst from a full queue; lastArrivalMs then counts
// from the end of the stall.
[[nodiscard]] RawIntakeResult RunRawIntake(std::uint16_t simPort, std::size_t expected, int windowMs,
                                           int requestedBuffer, int stallMs);
