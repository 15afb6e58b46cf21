#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "ndcp/NetworkSetting.h"

// One Refresh through the utility's own path: the client, the discovery request, the binding in
// synchronous mode and a list view with the main window's five designed columns, in a shown
// window on the current platform (offscreen in the bench).
struct UtilityDiscoveryResult {
    std::size_t received = 0;  // answers the request collected
    std::size_t rows = 0;      // rows listed
    double lastArrivalMs = 0;  // from the start of reading to the tick that saw the last answer
    double intakeCpuMs = 0;    // the CPU time of all threads from the send to the last answer
    double fillMs = 0;         // from the end of the window to the list being filled
    double shownMs = 0;        // from the end of the window to the first repaint of the filled list
    double longestGapMs = 0;   // longest interval between ticks of the 1 ms probe during the window
    double longestBusyMs = 0;  // the same interval counted in this thread's CPU time: our own work
    std::size_t repaints = 0;  // repaints of the list during the window
    int receiveBuffer = 0;     // bytes the client's socket was granted
    std::string sentThrough;   // the adapters the Discover left through, and where the send failed
    std::string error;         // empty when the run worked
};

// The client sends and receives as the network setting says: the simulator on loopback, or the
// application's own destination, and asks for the given receive buffer. With a stall, the event
// loop is held that long right after the send, so that the client takes the burst from a full
// queue; the probe and lastArrivalMs start at the end of the stall (intakeCpuMs still counts from
// the send: the socket's reader thread works during the stall).
[[nodiscard]] UtilityDiscoveryResult RunUtilityDiscovery(const NDCPNetworkSetting& network, int stallMs,
                                                         int receiveBuffer);
