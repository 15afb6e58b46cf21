#include "ndcp-sim/SimResponder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "SimTestSupport.h"

namespace ndcpsim {
namespace {

using simtest::Element;
using simtest::Hex;
using simtest::kAdminEncrypted;
using simtest::kBroadcast;
using simtest::Request;
using simtest::Text;
using Bytes = std::vector<std::uint8_t>;

constexpr std::string_view kDevice1 = "001122334401";
constexpr std::string_view kDevice2 = "001122334402";

std::vector<SimDevice> ThreeDevices() {
    return {DerivedDevice(1, "KVX-770B", "admin"), DerivedDevice(2, "KVX-770B", "admin"),
            DerivedDevice(3, "KVX-770B", "admin")};
}

// The five values of derived device index as a device sends them.
Bytes Values(int index, const Bytes& ip = {}, const Bytes& mask = Hex("FFFFFF00")) {
    const std::string n = std::to_string(index);
    const Bytes derivedIp = {192, 168, 0, static_cast<std::uint8_t>(100 + index)};
    return simtest::Concat({Element(1, Text("KVX-770B")), Element(6, Text("Storage-" + n)),
                            Element(2, Hex("00112233440" + n)), Element(3, ip.empty() ? derivedIp : ip),
                            Element(4, mask)});
}

Reply Send(SimResponder& responder, const Bytes& datagram) {
    const ParsedRequest parsed = ParseRequest(datagram);
    EXPECT_EQ(parsed.error, RequestError::kNone);
    AuthenticatorCheck auth(datagram);
    return responder.Handle(parsed.request, auth);
}

Bytes AreaOf(const Bytes& answer) { return {answer.begin() + 36, answer.end()}; }

struct Expected {
    std::size_t device;
    std::uint8_t status;
    Bytes area;
    AuthResult auth;
};

struct RespondCase {
    std::string name;
    Bytes request;
    std::vector<Expected> answers;
};
void PrintTo(const RespondCase& c, std::ostream* os) { *os << c.name; }

class RespondTest : public testing::TestWithParam<RespondCase> {};

TEST_P(RespondTest, AnswersAsADevice) {
    const RespondCase& c = GetParam();
    SimResponder responder(ThreeDevices(), {});
    const Reply reply = Send(responder, c.request);
    ASSERT_EQ(reply.datagrams.size(), c.answers.size());
    for (std::size_t i = 0; i < c.answers.size(); ++i) {
        SCOPED_TRACE("answer " + std::to_string(i));
        const Outgoing& out = reply.datagrams[i];
        const Expected& want = c.answers[i];
        EXPECT_EQ(out.device, want.device);
        EXPECT_EQ(out.auth, want.auth);
        EXPECT_EQ(out.kind, "answer");
        const Bytes& a = out.datagram;
        ASSERT_GE(a.size(), 36u);
        const MacAddress& mac = responder.Devices()[want.device].mac;
        // Header: signature, echoed command and sequence, total length, status, device MAC, byte 34.
        EXPECT_EQ(Bytes(a.begin(), a.begin() + 4), Hex("092B1338"));
        EXPECT_EQ(Bytes({a[4], a[5], a[10], a[34]}),
                  Bytes({c.request[4], c.request[5], static_cast<std::uint8_t>(0x10 | want.status), 1}));
        EXPECT_EQ(static_cast<std::size_t>(a[6] * 256 + a[7]), a.size());
        EXPECT_EQ(Bytes(a.begin() + 28, a.begin() + 34), Bytes(mac.begin(), mac.end()));
        EXPECT_EQ(AreaOf(a), want.area);
    }
}

using enum AuthResult;
const Bytes kGet = Hex("010003 060003 090003 020003");
const Bytes kSet = Hex("030007C0A8000A 040007FFFF0000");

INSTANTIATE_TEST_SUITE_P(
    Requests, RespondTest,
    testing::Values(
        RespondCase{"discover_default_password",
                    Request(1, 9, kBroadcast, {}, "kestu"),
                    {{0, 0, Values(1), kDefault}, {1, 0, Values(2), kDefault}, {2, 0, Values(3), kDefault}}},
        RespondCase{"discover_encrypted_password",
                    Request(1, 9, kBroadcast, {}, kAdminEncrypted),
                    {{0, 0, Values(1), kAccess}, {1, 0, Values(2), kAccess}, {2, 0, Values(3), kAccess}}},
        RespondCase{"discover_plain_password_silence", Request(1, 9, kBroadcast, {}, "admin"), {}},
        RespondCase{"discover_empty_password_silence", Request(1, 9, kBroadcast, {}, ""), {}},
        RespondCase{
            "discover_to_own_mac", Request(1, 9, kDevice2, {}, "kestu"), {{1, 0, Values(2), kDefault}}},
        RespondCase{"discover_to_unknown_mac", Request(1, 9, "001122334409", {}, "kestu"), {}},
        RespondCase{"get_known_ids_in_order",
                    Request(5, 9, kDevice1, kGet, "kestu"),
                    {{0, 0,
                      simtest::Concat({Element(1, Text("KVX-770B")), Element(6, Text("Storage-1")),
                                       Element(2, Hex(kDevice1))}),
                      kDefault}}},
        RespondCase{"get_encrypted_password",
                    Request(5, 9, kDevice1, Hex("030003"), kAdminEncrypted),
                    {{0, 0, Element(3, Hex("C0A80065")), kAccess}}},
        RespondCase{"get_wrong_password", Request(5, 9, kDevice1, kGet, "guess"), {{0, 1, {}, kNone}}},
        RespondCase{"get_to_broadcast_mac", Request(5, 9, kBroadcast, kGet, "kestu"), {}},
        RespondCase{"set_encrypted_password",
                    Request(3, 9, kDevice1, kSet, kAdminEncrypted),
                    {{0, 0, kSet, kAccess}}},
        RespondCase{"set_netmask_only",
                    Request(3, 9, kDevice1, Hex("040007FFFFFFFC"), kAdminEncrypted),
                    {{0, 0, Hex("030007C0A80065 040007FFFFFFFC"), kAccess}}},
        RespondCase{"set_default_password", Request(3, 9, kDevice1, kSet, "kestu"), {{0, 1, {}, kNone}}},
        RespondCase{"set_plain_password", Request(3, 9, kDevice1, kSet, "admin"), {{0, 1, {}, kNone}}},
        RespondCase{"set_unknown_id",
                    Request(3, 9, kDevice1, Hex("030007C0A8000A 0600054142"), kAdminEncrypted),
                    {{0, 2, {}, kAccess}}},
        RespondCase{"set_3_byte_address",
                    Request(3, 9, kDevice1, Hex("030006C0A800"), kAdminEncrypted),
                    {{0, 2, {}, kAccess}}},
        RespondCase{"set_to_broadcast_mac", Request(3, 9, kBroadcast, kSet, kAdminEncrypted), {}},
        RespondCase{"other_command_to_device", Request(7, 9, kDevice2, {}, "kestu"), {{1, 3, {}, kNone}}},
        RespondCase{"other_command_to_broadcast", Request(7, 9, kBroadcast, {}, "kestu"), {}}),
    [](const testing::TestParamInfo<RespondCase>& info) { return info.param.name; });

TEST(RespondTest, WholeAnswerWithItsAuthenticator) {
    SimResponder responder(ThreeDevices(), {});
    const Reply reply = Send(responder, Request(1, 0, kBroadcast, {}, "kestu"));
    ASSERT_FALSE(reply.datagrams.empty());
    // Authenticator worked out with Python's hashlib over these bytes and "kestu".
    EXPECT_EQ(reply.datagrams[0].datagram,
              Hex("092B1338 0100 0052 0000 1000 907CFC6E64CDC49E8630DC6467AB25B8 001122334401 0100 01000B "
                  "4B56582D37373042 06000C 53746F726167652D31 020009 001122334401 030007 C0A80065 040007 "
                  "FFFFFF00"));
}

TEST(RespondTest, SetChangesWhatLaterAnswersReportAndARefusedOneNothing) {
    SimResponder responder(ThreeDevices(), {});
    const Reply set =
        Send(responder, Request(3, 1, kDevice2, Hex("030007 0A000005 040007 FF000000"), kAdminEncrypted));
    ASSERT_EQ(set.changes.size(), 1u);
    EXPECT_EQ(set.changes[0].device, 1u);
    EXPECT_EQ(Ipv4ToText(set.changes[0].ip) + " " + Ipv4ToText(set.changes[0].netmask), "10.0.0.5 255.0.0.0");
    // A good address followed by a bad element: all or nothing.
    EXPECT_TRUE(
        Send(responder, Request(3, 2, kDevice2, Hex("030007 0B000005 040006 FFFFFF"), kAdminEncrypted))
            .changes.empty());
    const Reply discover = Send(responder, Request(1, 3, kBroadcast, {}, "kestu"));
    ASSERT_EQ(discover.datagrams.size(), 3u);
    EXPECT_EQ(AreaOf(discover.datagrams[0].datagram), Values(1));
    EXPECT_EQ(AreaOf(discover.datagrams[1].datagram), Values(2, Hex("0A000005"), Hex("FF000000")));
}

TEST(RespondTest, EachDeviceChecksItsOwnAccessPassword) {
    std::vector<SimDevice> devices = ThreeDevices();
    devices[1] = MakeDevice("Other", "KVX-770B", devices[1].mac, devices[1].ip, devices[1].netmask, "secret");
    SimResponder responder(std::move(devices), {});
    const Reply reply = Send(responder, Request(1, 0, kBroadcast, {}, kAdminEncrypted));
    ASSERT_EQ(reply.datagrams.size(), 2u);
    EXPECT_EQ(reply.datagrams[1].device, 2u);
}

TEST(RespondTest, ForcedStatusTwiceAndMalformed) {
    ResponderSettings settings;
    settings.forcedStatus = 2;
    settings.twice = true;
    settings.malformed = {MalformedKind::kShort, MalformedKind::kQuotes};
    SimResponder responder(ThreeDevices(), settings);
    // Any authenticator: the status replaces the handling.
    const Reply reply = Send(responder, Request(1, 4, kBroadcast, {}, "wrong"));
    ASSERT_EQ(reply.datagrams.size(), 12u);
    const std::vector<std::string_view> kinds = {"short", "quotes", "answer", "twice"};
    for (std::size_t i = 0; i < reply.datagrams.size(); ++i) {
        SCOPED_TRACE(i);
        const Outgoing& out = reply.datagrams[i];
        EXPECT_EQ(out.kind, kinds[i % 4]);
        EXPECT_EQ(out.device, i / 4);
        EXPECT_EQ(out.datagram[10], 0x12);
    }
    EXPECT_EQ(reply.datagrams[2].datagram, reply.datagrams[3].datagram);
    EXPECT_EQ(reply.datagrams[2].datagram.size(), 36u);
    const Reply set = Send(responder, Request(3, 5, kDevice1, Hex("030007 0A000005"), kAdminEncrypted));
    EXPECT_TRUE(set.changes.empty());
}

TEST(RespondTest, ShuffleKeepsTheValuesAndChangesTheirOrder) {
    ResponderSettings settings;
    settings.shuffle = true;
    SimResponder responder({DerivedDevice(1, "KVX-770B", "admin")}, settings);
    std::set<Bytes> orders;
    for (std::uint8_t seq = 0; seq < 20; ++seq) {
        const Reply reply = Send(responder, Request(1, seq, kBroadcast, {}, "kestu"));
        ASSERT_EQ(reply.datagrams.size(), 1u);
        // An answer walks like a request; its elements are the fixed ones in some order.
        const ParsedRequest parsed = ParseRequest(reply.datagrams[0].datagram);
        ASSERT_EQ(parsed.error, RequestError::kNone);
        Bytes ids;
        std::vector<Bytes> elements;
        for (const SimElement& e : parsed.request.elements) {
            ids.push_back(e.id);
            elements.push_back(Element(e.id, {e.value.begin(), e.value.end()}));
        }
        std::sort(elements.begin(), elements.end());
        std::vector<Bytes> fixed = {Element(1, Text("KVX-770B")), Element(2, Hex(kDevice1)),
                                    Element(3, Hex("C0A80065")), Element(4, Hex("FFFFFF00")),
                                    Element(6, Text("Storage-1"))};
        EXPECT_EQ(elements, fixed);
        orders.insert(ids);
    }
    EXPECT_GT(orders.size(), 1u);
}

TEST(RespondTest, GetAnswerStaysWithinWhatTheUtilityReceives) {
    // A 1024-character name asked for nine times would need 36 + 9 * 1027 bytes.
    SimResponder responder({MakeDevice(std::string(1024, 'n'), "KVX-770B", *ParseMacText(kDevice1),
                                       {192, 168, 0, 1}, {255, 255, 255, 0}, "admin")},
                           {});
    Bytes area;
    for (int i = 0; i < 9; ++i) area = simtest::Concat({area, Hex("060003")});
    const Reply reply = Send(responder, Request(5, 1, kDevice1, area, "kestu"));
    ASSERT_EQ(reply.datagrams.size(), 1u);
    EXPECT_EQ(reply.datagrams[0].datagram.size(), 36u + 8 * 1027);
}

// Random areas behind valid headers for every command: nothing may read past the datagram (the
// sanitizer build catches that) and every genuine answer frames its area.
TEST(RespondTest, SurvivesRandomRequests) {
    std::mt19937 random(12345);
    ResponderSettings settings;
    settings.malformed = {AllMalformedKinds().begin(), AllMalformedKinds().end()};
    SimResponder responder(ThreeDevices(), settings);
    const std::uint8_t commands[] = {1, 3, 5, 0, 255};
    const std::string_view passwords[] = {"kestu", kAdminEncrypted, "x"};
    for (int round = 0; round < 3000; ++round) {
        Bytes area(random() % 64);
        for (auto& byte : area) byte = static_cast<std::uint8_t>(random() % 8 == 0 ? random() : random() % 8);
        Bytes datagram = Request(commands[random() % 5], static_cast<std::uint8_t>(round),
                                 random() % 2 == 0 ? kBroadcast : kDevice1, area, passwords[random() % 3]);
        datagram.resize(datagram.size() - random() % 2);
        const ParsedRequest parsed = ParseRequest(datagram);
        if (parsed.error != RequestError::kNone) continue;
        AuthenticatorCheck auth(datagram);
        for (const Outgoing& out : responder.Handle(parsed.request, auth).datagrams) {
            ASSERT_GE(out.datagram.size(), 35u);
            if (out.kind == "answer") {
                EXPECT_EQ(out.datagram[6] * 256u + out.datagram[7], out.datagram.size());
            }
        }
    }
}

}  // namespace
}  // namespace ndcpsim
