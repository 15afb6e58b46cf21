#include "ndcp-sim/SimReturnPath.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace ndcpsim {
namespace {

TEST(SimReturnPathTest, BroadcastOnlyWithoutRouteAndWithAnArrivalInterface) {
    struct Case {
        const char* name;
        int routeError;
        unsigned arrival;
        AnswerForm form;
    };
    for (const Case& c : {
             Case{"route", 0, 3, AnswerForm::kUnicast},
             Case{"no_route", ENETUNREACH, 3, AnswerForm::kBroadcast},
             Case{"unreachable_route", EHOSTUNREACH, 3, AnswerForm::kBroadcast},
             Case{"other_error", EACCES, 3, AnswerForm::kUnicast},
             Case{"no_route_arrival_unknown", ENETUNREACH, 0, AnswerForm::kUnicast},
         }) {
        EXPECT_EQ(ChooseForm(c.routeError, Arrival{c.arrival, "x"}), c.form) << c.name;
    }
    EXPECT_EQ(AnswerFormName(AnswerForm::kUnicast), "unicast");
    EXPECT_EQ(AnswerFormName(AnswerForm::kBroadcast), "broadcast");
}

// A received message's control area as the system would fill it, from the one SendThrough builds.
struct ControlMessage {
    PacketInfoControl control;
    msghdr message{};

    explicit ControlMessage(unsigned index) { SendThrough(message, control, index); }
    cmsghdr& Header() { return *CMSG_FIRSTHDR(&message); }
};

TEST(SimReturnPathTest, ArrivalIndexReadsOnlyAWholePacketInfo) {
    EXPECT_EQ(ArrivalIndex(ControlMessage(7).message), 7u) << "what SendThrough names reads back";

    ControlMessage none(7);
    none.message.msg_controllen = 0;
    EXPECT_EQ(ArrivalIndex(none.message), 0u) << "no control message";

    ControlMessage otherType(7);
    otherType.Header().cmsg_type = IP_TTL;
    EXPECT_EQ(ArrivalIndex(otherType.message), 0u) << "another option's message";

    ControlMessage otherLevel(7);
    otherLevel.Header().cmsg_level = SOL_SOCKET;
    EXPECT_EQ(ArrivalIndex(otherLevel.message), 0u) << "another level's message";

    ControlMessage cut(7);
    cut.Header().cmsg_len = CMSG_LEN(sizeof(in_pktinfo) - 1);
    EXPECT_EQ(ArrivalIndex(cut.message), 0u) << "a packet info cut short";

    ControlMessage negative(7);
    in_pktinfo info{};
    info.ipi_ifindex = -1;
    std::memcpy(CMSG_DATA(&negative.Header()), &info, sizeof info);
    EXPECT_EQ(ArrivalIndex(negative.message), 0u) << "no interface has a negative index";
}

TEST(SimReturnPathTest, SendThroughNamesTheInterfaceAndLeavesTheSourceToTheSystem) {
    ControlMessage sent(12);
    const cmsghdr& header = sent.Header();
    EXPECT_EQ(header.cmsg_level, IPPROTO_IP);
    EXPECT_EQ(header.cmsg_type, IP_PKTINFO);
    ASSERT_EQ(header.cmsg_len, CMSG_LEN(sizeof(in_pktinfo)));
    in_pktinfo info{};
    std::memcpy(&info, CMSG_DATA(&header), sizeof info);
    EXPECT_EQ(info.ipi_ifindex, 12);
    EXPECT_EQ(info.ipi_spec_dst.s_addr, 0u);
    EXPECT_EQ(info.ipi_addr.s_addr, 0u);
}

TEST(SimReturnPathTest, InterfaceNames) {
    EXPECT_EQ(InterfaceName(0), "-");
    EXPECT_EQ(InterfaceName(1), "lo") << "loopback is the first interface of every network namespace";
    EXPECT_EQ(InterfaceName(0x7FFFFFFF), "-");
}

}  // namespace
}  // namespace ndcpsim
