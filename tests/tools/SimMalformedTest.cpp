#include "ndcp-sim/SimMalformed.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "SimTestSupport.h"
#include "ndcp-sim/SimRequest.h"

namespace ndcpsim {
namespace {

using simtest::Concat;
using simtest::Element;
using simtest::Hex;
using simtest::Text;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kSequence = 0x21;

// The utility's checks before it reads an answer, written out on their own: 36 to 8912 bytes, the
// signature, total length equal to the size, the pending sequence and the target's MAC address.
bool PassesAnswerChecks(const Bytes& a) {
    return a.size() >= 36 && a.size() <= 8912 && Bytes(a.begin(), a.begin() + 4) == Hex("092B1338") &&
           static_cast<std::size_t>(a[6] * 256 + a[7]) == a.size() && a[5] == kSequence &&
           Bytes(a.begin() + 28, a.begin() + 34) == Hex("001122334401");
}

Bytes AreaOf(const Bytes& answer) { return {answer.begin() + 36, answer.end()}; }

Bytes Values(std::string_view module, const Bytes& mac = Hex("001122334401"),
             const Bytes& ip = Hex("C0A80065"), const Bytes& mask = Hex("FFFFFF00")) {
    return Concat({Element(1, Text(module)), Element(6, Text("Storage-1")), Element(2, mac), Element(3, ip),
                   Element(4, mask)});
}

const Bytes kGenuineArea = Values("KVX-770B");

struct MalformedCase {
    std::string name;
    MalformedKind kind;
    bool passesChecks;
    std::size_t size;
    Bytes area;  // checked when not empty
};
void PrintTo(const MalformedCase& c, std::ostream* os) { *os << c.name; }

class MalformedTest : public testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedTest, BuildsTheVariant) {
    const MalformedCase& c = GetParam();
    const SimDevice device = DerivedDevice(1, "KVX-770B", "admin");
    const AnswerHeader header{kDiscover, kSequence, kStatusOk, device.mac, "kestu"};
    const Bytes genuine = BuildAnswer(header, DiscoveryArea(device, kDiscoveryPartIds));
    ASSERT_TRUE(PassesAnswerChecks(genuine));
    ASSERT_EQ(AreaOf(genuine), kGenuineArea);
    const Bytes variant = BuildMalformed(c.kind, header, device, genuine);
    EXPECT_EQ(PassesAnswerChecks(variant), c.passesChecks);
    EXPECT_EQ(variant.size(), c.size);
    EXPECT_EQ(variant[10], 0x10) << "the genuine status is kept";
    if (!c.area.empty()) {
        EXPECT_EQ(AreaOf(variant), c.area);
    }
}

const Bytes kHugeHead = Concat({Element(1, Text("KVX-770B")), Element(2, Hex("001122334401")),
                                Element(3, Hex("C0A80065")), Element(4, Hex("FFFFFF00"))});

INSTANTIATE_TEST_SUITE_P(
    Kinds, MalformedTest,
    testing::Values(
        MalformedCase{"short", MalformedKind::kShort, false, 35, {}},
        MalformedCase{"long", MalformedKind::kLong, false, 9000,
                      Concat({kGenuineArea, Element(200, Bytes(9000 - 36 - 46 - 3, 'N'))})},
        MalformedCase{"signature", MalformedKind::kSignature, false, 82, kGenuineArea},
        MalformedCase{"length", MalformedKind::kLength, false, 82, kGenuineArea},
        MalformedCase{"sequence", MalformedKind::kSequence, false, 82, kGenuineArea},
        MalformedCase{"mac", MalformedKind::kMac, false, 82, kGenuineArea},
        MalformedCase{"elem_zero", MalformedKind::kElementZero, true, 85,
                      Concat({Hex("070000"), kGenuineArea})},
        MalformedCase{"elem_short", MalformedKind::kElementShort, true, 85,
                      Concat({Hex("070002"), kGenuineArea})},
        MalformedCase{"past_end", MalformedKind::kPastEnd, true, 47,
                      Concat({Hex("01FFFF"), Text("KVX-770B")})},
        MalformedCase{"huge", MalformedKind::kHuge, true, 8912,
                      Concat({kHugeHead, Element(6, Bytes(8912 - 36 - kHugeHead.size() - 3, 'N'))})},
        MalformedCase{"width", MalformedKind::kWidth, true, 84,
                      Values("KVX-770B", Hex("0011223344"), Hex("C0A800"), Hex("FFFFFFFFFFFFFFFF"))},
        MalformedCase{"quotes", MalformedKind::kQuotes, true, 84, Values("\"KVX-770B\"")},
        MalformedCase{"dollar", MalformedKind::kDollar, true, 87, Values("$0.0=KVX-770B")},
        MalformedCase{"parens", MalformedKind::kParens, true, 2082,
                      Values(std::string(1000, '(') + "KVX-770B" + std::string(1000, ')'))}),
    [](const testing::TestParamInfo<MalformedCase>& info) { return info.param.name; });

TEST(MalformedTest, HeaderChangesAreTheOnesNamed) {
    const SimDevice device = DerivedDevice(1, "KVX-770B", "admin");
    const AnswerHeader header{kGet, kSequence, kStatusPasswordError, device.mac, ""};
    const Bytes genuine = BuildAnswer(header, {});
    const auto build = [&](MalformedKind kind) { return BuildMalformed(kind, header, device, genuine); };
    EXPECT_EQ(build(MalformedKind::kShort), Bytes(genuine.begin(), genuine.begin() + 35));
    EXPECT_EQ(build(MalformedKind::kSignature)[3], 0x39);
    EXPECT_EQ(build(MalformedKind::kLength)[7], 37);
    EXPECT_EQ(build(MalformedKind::kSequence)[5], kSequence ^ 0x80);
    EXPECT_EQ(build(MalformedKind::kMac)[33], 0xFE);
    for (const MalformedKind kind : AllMalformedKinds()) {
        SCOPED_TRACE(std::string(MalformedKindName(kind)));
        EXPECT_EQ(MalformedKindFromName(MalformedKindName(kind)), kind);
        EXPECT_EQ(build(kind)[10], 0x11) << "a failure answer's variants keep its status";
    }
}

}  // namespace
}  // namespace ndcpsim
