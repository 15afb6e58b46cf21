#include "ndcp-sim/SimLog.h"

#include <gtest/gtest.h>

#include <string>

#include "SimTestSupport.h"

namespace ndcpsim {
namespace {

using simtest::Hex;

const WallTime kTime{std::chrono::microseconds(1700000000000042)};
const Endpoint kPeer{{127, 0, 0, 1}, 40000};

TEST(SimLogTest, RequestLines) {
    const auto get = simtest::Request(5, 7, "001122334401", Hex("010003 030007C0A80001"), "kestu");
    EXPECT_EQ(
        RequestLine(kTime, kPeer, "lo", get.size(), ParseRequest(get), AuthResult::kDefault),
        "t=1700000000.000042 ev=request from=127.0.0.1:40000 iface=lo size=46 cmd=5 seq=7 len=46 ctl=0x10 "
        "mac=001122334401 fixed=1 auth=default elements=1:3:,3:7:C0A80001 result=ok");
    const auto set =
        simtest::Request(3, 0, "001122334401", simtest::Element(6, std::vector<std::uint8_t>(65, 0xAA)), "");
    EXPECT_NE(RequestLine(kTime, kPeer, "lo", set.size(), ParseRequest(set), AuthResult::kNone)
                  .find(" auth=none elements=6:68:" + std::string(128, 'A') + ".. result=ok"),
              std::string::npos)
        << "values are cut after 64 bytes";
    const auto cut = Hex("092B13");
    EXPECT_EQ(RequestLine(kTime, kPeer, "-", cut.size(), ParseRequest(cut), std::nullopt),
              "t=1700000000.000042 ev=request from=127.0.0.1:40000 iface=- size=3 result=drop reason=short");
    auto wrongLength = simtest::Request(1, 2, simtest::kBroadcast, {}, "kestu");
    wrongLength[7] = 0x30;
    EXPECT_EQ(
        RequestLine(kTime, kPeer, "eth1", wrongLength.size(), ParseRequest(wrongLength), std::nullopt),
        "t=1700000000.000042 ev=request from=127.0.0.1:40000 iface=eth1 size=36 cmd=1 seq=2 len=48 ctl=0x10 "
        "mac=FFFFFFFFFFFF fixed=1 result=drop reason=total-length");
}

TEST(SimLogTest, AnswerChangeAndSummaryLines) {
    SimRequest request;
    request.command = 1;
    request.sequence = 3;
    const Outgoing outgoing{0, 0, AuthResult::kAccess, "huge", std::vector<std::uint8_t>(8912)};
    const MacAddress mac = {0, 0x11, 0x22, 0x33, 0x44, 0x01};
    const std::string start =
        "t=1700000000.000042 ev=answer to=127.0.0.1:40000 dev=001122334401 cmd=1 seq=3 "
        "status=0 auth=access kind=huge size=8912 form=";
    const ReturnPath unicast{AnswerForm::kUnicast, {1, "lo"}};
    const ReturnPath broadcast{AnswerForm::kBroadcast, {7, "ov-dev2"}};
    EXPECT_EQ(AnswerLine(kTime, kPeer, unicast, request, outgoing, mac, ""), start + "unicast result=sent");
    EXPECT_EQ(AnswerLine(kTime, kPeer, broadcast, request, outgoing, mac, "No buffer"),
              start + "broadcast iface=ov-dev2 result=failed error=No buffer");
    EXPECT_EQ(ChangeLine(kTime, mac, {0, {10, 0, 0, 5}, {255, 0, 0, 0}}),
              "t=1700000000.000042 ev=change dev=001122334401 ip=10.0.0.5 mask=255.0.0.0");
    EXPECT_EQ(SummaryLine(WallTime{}, {5, 1, 30000, 14, 2, 3, 9}),
              "t=0.000000 ev=summary requests=5 dropped=1 answers=30000 malformed=14 failed=2 unsent=3 "
              "flood=9");
}

TEST(SimLogTest, FloodLines) {
    EXPECT_EQ(FloodStartLine(kTime, kPeer, 0.5, 2000),
              "t=1700000000.000042 ev=flood-start to=127.0.0.1:40000 seconds=0.5 rate=2000");
    EXPECT_NE(FloodStartLine(kTime, kPeer, 0.00001, 1).find(" seconds=0.00001 "), std::string::npos)
        << "no exponent";
    EXPECT_EQ(FloodEndLine(kTime, 1000, 2), "t=1700000000.000042 ev=flood-end sent=1000 failed=2");
}

}  // namespace
}  // namespace ndcpsim
