#include "ndcp-sim/SimRequest.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "SimTestSupport.h"
#include "ndcp-sim/SimAuthenticator.h"

namespace ndcpsim {
namespace {

using simtest::Hex;
using Bytes = std::vector<std::uint8_t>;

// A Get header to 001122334401 claiming the given total length, followed by the area.
Bytes WithArea(const Bytes& area, std::size_t total) {
    Bytes datagram =
        simtest::Concat({Hex("092B1338 05 2A 0000 0000 1000"), Bytes(16, 0), Hex("001122334401 0100"), area});
    datagram[6] = static_cast<std::uint8_t>(total >> 8);
    datagram[7] = static_cast<std::uint8_t>(total & 0xFF);
    return datagram;
}
Bytes WithArea(const Bytes& area) { return WithArea(area, 36 + area.size()); }

// 65535 bytes: one element of 65499 bytes whose length field claims elementLength.
Bytes Largest(std::size_t elementLength) {
    Bytes area(65499, 0xAB);
    area[0] = 9;
    area[1] = static_cast<std::uint8_t>(elementLength >> 8);
    area[2] = static_cast<std::uint8_t>(elementLength & 0xFF);
    return WithArea(area);
}

Bytes Cut(Bytes bytes, std::size_t size) {
    bytes.resize(size);
    return bytes;
}

Bytes Changed(Bytes bytes, std::size_t at, std::uint8_t value) {
    bytes[at] = value;
    return bytes;
}

struct ParseCase {
    std::string name;
    Bytes datagram;
    RequestError error;
    std::vector<std::pair<int, std::size_t>> elements;  // id and value width
};
void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

class ParseRequestTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseRequestTest, AcceptsOrRejectsWithTheReason) {
    const ParseCase& c = GetParam();
    const Bytes datagram = c.datagram;  // exact size: a read past it is a read past the buffer
    const ParsedRequest parsed = ParseRequest(datagram);
    EXPECT_EQ(RequestErrorName(parsed.error), RequestErrorName(c.error));
    ASSERT_EQ(parsed.request.elements.size(), c.elements.size());
    for (std::size_t i = 0; i < c.elements.size(); ++i) {
        const SimElement& element = parsed.request.elements[i];
        EXPECT_EQ(element.id, c.elements[i].first) << i;
        EXPECT_EQ(element.value.size(), c.elements[i].second) << i;
        EXPECT_EQ(element.length, element.value.size() + 3) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Datagrams, ParseRequestTest,
    testing::Values(
        ParseCase{
            "discover", simtest::Request(1, 0, simtest::kBroadcast, {}, "kestu"), RequestError::kNone, {}},
        ParseCase{"get_two_ids", WithArea(Hex("010003 020003")), RequestError::kNone, {{1, 0}, {2, 0}}},
        ParseCase{"set_two_values",
                  WithArea(Hex("030007C0A8000A 040007FFFF0000")),
                  RequestError::kNone,
                  {{3, 4}, {4, 4}}},
        ParseCase{"largest_datagram", Largest(65499), RequestError::kNone, {{9, 65496}}},
        ParseCase{"nothing", {}, RequestError::kShort, {}},
        ParseCase{"35_bytes", Cut(WithArea({}), 35), RequestError::kShort, {}},
        ParseCase{"wrong_signature", Changed(WithArea({}), 3, 0x39), RequestError::kSignature, {}},
        ParseCase{"total_length_above_size", WithArea({}, 37), RequestError::kTotalLength, {}},
        ParseCase{"total_length_below_size", WithArea(Hex("010003"), 36), RequestError::kTotalLength, {}},
        ParseCase{"element_header_cut", WithArea(Hex("010003 0200")), RequestError::kElementHeader, {}},
        ParseCase{"element_length_0", WithArea(Hex("000000")), RequestError::kElementLength, {}},
        ParseCase{
            "element_length_2_after_good", WithArea(Hex("010003 020002")), RequestError::kElementLength, {}},
        ParseCase{"value_past_the_end", WithArea(Hex("010009AABB")), RequestError::kElementValue, {}},
        ParseCase{"length_FFFF", WithArea(Hex("01FFFF00")), RequestError::kElementValue, {}},
        ParseCase{"largest_claiming_one_more", Largest(65500), RequestError::kElementValue, {}}),
    [](const testing::TestParamInfo<ParseCase>& info) { return info.param.name; });

TEST(ParseRequestTest, ReadsTheHeaderFields) {
    const ParsedRequest parsed = ParseRequest(
        Hex("092B1338 05 7F 0024 BEEF 1A 5C 00112233445566778899AABBCCDDEEFF 0A0B0C0D0E0F 02 03"));
    ASSERT_EQ(parsed.error, RequestError::kNone);
    const SimRequest& r = parsed.request;
    EXPECT_EQ(std::vector<int>({r.command, r.sequence, r.totalLength, r.reserved, r.control, r.reserved11,
                                r.authenticator[15], r.fixedByte, r.reserved35}),
              std::vector<int>({5, 0x7F, 36, 0xBEEF, 0x1A, 0x5C, 0xFF, 2, 3}));
    EXPECT_EQ(MacToText(r.target), "0A0B0C0D0E0F");
}

// Digests worked out with Python's hashlib over the same bytes.
struct AuthVector {
    std::string name;
    Bytes datagram;  // authenticator bytes zero
    std::string password;
    std::string digest;
};
void PrintTo(const AuthVector& c, std::ostream* os) { *os << c.name; }

class AuthenticatorTest : public testing::TestWithParam<AuthVector> {};

TEST_P(AuthenticatorTest, MatchesTheKnownDigest) {
    const AuthVector& v = GetParam();
    const Authenticator computed = ComputeAuthenticator(v.datagram, v.password);
    EXPECT_EQ(Bytes(computed.begin(), computed.end()), Hex(v.digest));
    Bytes sent = v.datagram;
    const Bytes digest = Hex(v.digest);
    std::copy(digest.begin(), digest.end(), sent.begin() + 12);
    AuthenticatorCheck check(sent);
    EXPECT_TRUE(check.Matches(v.password));
    EXPECT_FALSE(check.Matches(v.password + "x"));
    EXPECT_TRUE(check.Matches(v.password)) << "a cached result must not change";
    sent[5] ^= 1;
    EXPECT_FALSE(AuthenticatorCheck(sent).Matches(v.password)) << "a changed header byte";
}

const Bytes kDiscover =
    Hex("092B1338 0100 0024 0000 1000 00000000000000000000000000000000 FFFFFFFFFFFF 0100");

INSTANTIATE_TEST_SUITE_P(
    KnownDigests, AuthenticatorTest,
    testing::Values(AuthVector{"default_password", kDiscover, "kestu", "FB3D52EF05DA8E53726336CDE64064BF"},
                    AuthVector{"empty_password", kDiscover, "", "00EA9F1A2E23345A959BB362EBC166F9"},
                    AuthVector{
                        "encrypted_password",
                        Hex("092B1338 0307 0032 0000 1000 00000000000000000000000000000000 001122334401 "
                            "0100 030007C0A8000A 040007FFFF0000"),
                        "A9F87529E5FB1F7C", "0D234D0A8CC12BA20E83D5B9DC8069E6"}),
    [](const testing::TestParamInfo<AuthVector>& info) { return info.param.name; });

}  // namespace
}  // namespace ndcpsim
