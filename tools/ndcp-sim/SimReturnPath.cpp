#include "ndcp-sim/SimReturnPath.h"

#include <net/if.h>

#include <cerrno>
#include <cstring>

namespace ndcpsim {

std::string_view AnswerFormName(AnswerForm form) noexcept {
    return form == AnswerForm::kBroadcast ? "broadcast" : "unicast";
}

AnswerForm ChooseForm(int routeError, const Arrival& arrival) noexcept {
    const bool noRoute = routeError == ENETUNREACH || routeError == EHOSTUNREACH;
    return noRoute && arrival.index != 0 ? AnswerForm::kBroadcast : AnswerForm::kUnicast;
}

unsigned ArrivalIndex(const msghdr& message) noexcept {
    // CMSG_NXTHDR takes a pointer to non-const; it only reads through it.
    auto& readable = const_cast<msghdr&>(message);
    for (cmsghdr* header = CMSG_FIRSTHDR(&readable); header != nullptr;
         header = CMSG_NXTHDR(&readable, header)) {
        if (header->cmsg_level != IPPROTO_IP || header->cmsg_type != IP_PKTINFO) continue;
        if (header->cmsg_len < CMSG_LEN(sizeof(in_pktinfo))) return 0;
        in_pktinfo info{};
        std::memcpy(&info, CMSG_DATA(header), sizeof info);
        return info.ipi_ifindex > 0 ? static_cast<unsigned>(info.ipi_ifindex) : 0;
    }
    return 0;
}

std::string InterfaceName(unsigned index) {
    std::array<char, IF_NAMESIZE> name{};
    if (index == 0 || if_indextoname(index, name.data()) == nullptr) return "-";
    return name.data();
}

void SendThrough(msghdr& message, PacketInfoControl& control, unsigned index, in_addr_t source) noexcept {
    control.bytes.fill(std::byte{0});
    message.msg_control = control.bytes.data();
    message.msg_controllen = control.bytes.size();
    cmsghdr* const header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = IPPROTO_IP;
    header->cmsg_type = IP_PKTINFO;
    header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_ifindex = static_cast<int>(index);
    info.ipi_spec_dst.s_addr = source;
    std::memcpy(CMSG_DATA(header), &info, sizeof info);
}

}  // namespace ndcpsim
