#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace ndcpsim {

// The network interface a request came in on, as IP_PKTINFO reports it; index 0 and name "-"
// when the system did not say.
struct Arrival {
    unsigned index = 0;
    std::string name = "-";
};

// How an answer goes back: to the requester's address, or as the limited broadcast
// 255.255.255.255 to the requester's port out of the interface the request came in on.
enum class AnswerForm { kUnicast, kBroadcast };

struct ReturnPath {
    AnswerForm form = AnswerForm::kUnicast;
    Arrival arrival;
};

[[nodiscard]] std::string_view AnswerFormName(AnswerForm form) noexcept;

// A device answers the requester's address when the system has a route there (routeError 0). A
// device whose own address lies outside the requester's network has none (ENETUNREACH, or
// EHOSTUNREACH for an unreachable route), and answers with the limited broadcast out of the
// interface the request came in on, which reaches the requester whatever the addresses. Without
// a known arrival interface it stays with unicast, whose failure the log then shows.
[[nodiscard]] AnswerForm ChooseForm(int routeError, const Arrival& arrival) noexcept;

// The arrival interface's index from the IP_PKTINFO control message of a received datagram; 0
// when there is none or it is cut short.
[[nodiscard]] unsigned ArrivalIndex(const msghdr& message) noexcept;

// The interface's name, or "-" for index 0 or an interface that is gone.
[[nodiscard]] std::string InterfaceName(unsigned index);

// Room for one IP_PKTINFO control message, aligned as the system needs.
struct PacketInfoControl {
    alignas(cmsghdr) std::array<std::byte, CMSG_SPACE(sizeof(in_pktinfo))> bytes{};
};

// Makes message send out of the interface with this index (0: along the route), from the source
// address (0: the interface's own): an IP_PKTINFO control message in control, which must outlive
// the send.
void SendThrough(msghdr& message, PacketInfoControl& control, unsigned index, in_addr_t source = 0) noexcept;

}  // namespace ndcpsim
