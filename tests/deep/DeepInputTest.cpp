// Inputs far larger than a fuzzer grows its inputs: every element length the 16-bit field can
// declare at the very end of an area, module names of 60,000 bytes through the decoder and the
// discovery filter, and requests at and past the size of the build buffer.

#include <gtest/gtest.h>

#include "device/DeviceProfile.h"
#include "errors/Messages.h"
#include "errors/OvException.h"
#include "ndcp/wire/NDCPPacket.h"
#include "vars/Expression.h"
#include "vars/OvNDCPResponseVarList.h"
#include "vars/OvNDCPVarList.h"
#include "vars/ValueCodec.h"
#include "vars/VarTypes.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void AppendHeader(Bytes& bytes, std::uint8_t id, std::size_t length) {
    bytes.push_back(id);
    bytes.push_back(static_cast<std::uint8_t>(length >> 8));
    bytes.push_back(static_cast<std::uint8_t>(length & 0xFF));
}

void AppendElement(Bytes& bytes, std::uint8_t id, std::span<const std::uint8_t> value) {
    AppendHeader(bytes, id, value.size() + 3);
    bytes.insert(bytes.end(), value.begin(), value.end());
}

void AppendElement(Bytes& bytes, std::uint8_t id, std::string_view value) {
    AppendElement(bytes, id, std::span(reinterpret_cast<const std::uint8_t*>(value.data()), value.size()));
}

// The four parts other than the module name, as a device sends them.
Bytes OtherParts() {
    Bytes bytes;
    AppendElement(bytes, 6, "Storage-1");
    AppendElement(bytes, 2, Bytes{0x00, 0x11, 0xAA, 0xBB, 0xCC, 0xDD});
    AppendElement(bytes, 3, Bytes{0xC0, 0xA8, 0x00, 0x20});
    AppendElement(bytes, 4, Bytes{0xFF, 0xFF, 0xFF, 0x00});
    return bytes;
}

// A status-0 answer holding the area; its total length is right whenever it fits 16 bits.
Bytes Answer(const Bytes& area) {
    Bytes datagram(kNDCPHeaderSize, 0);
    std::copy(kNDCPSignature.begin(), kNDCPSignature.end(), datagram.begin());
    datagram[kOffsetSequence] = 7;
    datagram.insert(datagram.end(), area.begin(), area.end());
    datagram[6] = static_cast<std::uint8_t>(datagram.size() >> 8);
    datagram[7] = static_cast<std::uint8_t>(datagram.size() & 0xFF);
    return datagram;
}

std::vector<std::string> PartValues(const OvNDCPVarList& list) {
    std::vector<std::string> values;
    for (int p = 0; p < list.Var(0).Parts->Count(); ++p) values.push_back(list.Var(0).Parts->Part(p).Value);
    return values;
}

using Outcome = std::variant<bool, std::pair<int, std::string>>;

// The discovery filter over a decoded list: its value, or the code and text of its error.
Outcome FilterOutcome(const OvNDCPVarList& list) {
    try {
        return EvaluateLogic(ExpandExpression(list, "$0.0=KVX-770B", true, "$"));
    } catch (const OvException& e) {
        return std::pair{e.Code(), e.Message()};
    }
}

// An element declaring each length from 0 to 65535 ends the area, which ends where its storage
// ends, so that a read past it is a read past the allocation. The area holds the header alone, the
// whole declared element, or one byte less than that.
TEST(DeepInputTest, EveryDeclaredElementLengthAtTheEndOfTheArea) {
    constexpr std::size_t kLargest = 0xFFFF;
    Bytes storage(kLargest, 'v');
    for (std::size_t length = 0; length <= kLargest; ++length) {
        const struct Case {
            const char* name;
            std::size_t held;  // bytes of the element inside the area
            bool found;
        } cases[] = {{"header only", 3, false},
                     {"whole element", std::max<std::size_t>(length, 3), length > 3},
                     {"one byte short", length > 3 ? length - 1 : 3, false}};
        for (const Case& c : cases) {
            const std::span<std::uint8_t> area = std::span(storage).last(c.held);
            area[0] = kModuleNameId;
            area[1] = static_cast<std::uint8_t>(length >> 8);
            area[2] = static_cast<std::uint8_t>(length & 0xFF);
            const auto value = FindElement(kModuleNameId, area);
            ASSERT_EQ(value.has_value(), c.found) << c.name << ", length " << length;
            if (c.found) {
                ASSERT_EQ(value->size(), length - 3);
            }
            // A fixed-width type reads a found value only at its own width.
            std::string number = "old";
            const int code = DecodeElement(kModuleNameId, kUInt16, number, area);
            ASSERT_EQ(code, !c.found ? kBadVariableId : length == 5 ? kOk : kBadPacket) << length;
            // Texts of every length up to the largest datagram, and a sample of the longer ones.
            if (length <= kReceiveBufferSize || length % 61 == 0) {
                std::string text = "old";
                ASSERT_EQ(DecodeElement(kModuleNameId, kDisplayStr, text, area),
                          c.found ? kOk : kBadVariableId);
                ASSERT_EQ(text.size(), c.found ? length - 3 : 3) << length;
                ASSERT_EQ(text.find_first_not_of('v'), c.found ? std::string::npos : 0) << length;
            }
            std::fill_n(area.begin(), 3, 'v');
        }
    }
}

// The module name element, declaring every length, ends a Discover answer; the other four parts
// come first and are decoded whatever the last element declares.
TEST(DeepInputTest, EveryDeclaredModuleNameLengthAtTheEndOfADiscoverAnswer) {
    const Bytes others = OtherParts();
    const std::string name = "KVX-770B" + std::string(kReceiveBufferSize, 'x');
    const std::size_t room = kReceiveBufferSize - kNDCPHeaderSize - others.size();
    for (std::size_t length = 0; length <= 0xFFFF; ++length) {
        Bytes area = others;
        AppendHeader(area, kModuleNameId, length);
        // The whole element where it fits the receive buffer, else the header alone.
        const bool whole = length > 3 && length <= room;
        if (whole)
            area.insert(area.end(), name.begin(), name.begin() + static_cast<std::ptrdiff_t>(length - 3));
        Bytes datagram = Answer(area);
        datagram.shrink_to_fit();
        ASSERT_TRUE(AnswerHeaderValid(datagram)) << length;
        OvNDCPVarList list;
        SetDiscoveryVars(list);
        ASSERT_EQ(DecodeAnswer(datagram, kDiscoverCommand, list), kOk) << length;
        const std::string module = whole ? name.substr(0, length - 3) : "";
        ASSERT_EQ(PartValues(list), (std::vector<std::string>{module, "Storage-1", "0011AABBCCDD",
                                                              "192.168.0.32", "255.255.255.0"}))
            << length;
        ASSERT_EQ(FilterOutcome(list), Outcome(module == "KVX-770B")) << length;
    }
}

// Module names of 60,000 bytes, longer than any datagram the client receives, decoded straight from
// the bytes and given to the discovery filter: each ends quickly with the filter's plain answer or
// its error, never with an expansion of the name's own references.
TEST(DeepInputTest, SixtyThousandByteModuleNames) {
    constexpr std::size_t kSize = 60000;
    // The prefix, then the piece as often as it fits, then blanks up to the size.
    const auto repeat = [](std::string_view piece, std::string_view prefix = "") {
        std::string text(prefix);
        while (text.size() + piece.size() <= kSize) text += piece;
        text.resize(kSize, ' ');
        return text;
    };
    const Outcome badOperand = std::pair{-1, std::string("Bad logic operand!")};
    const struct Row {
        const char* name;
        std::string module;
        Outcome filter;
    } rows[] = {
        {"letters", std::string(kSize, 'x'), false},
        {"model name and blanks", "KVX-770B" + std::string(kSize - 8, ' '), false},
        {"references", repeat("$0.0"), false},
        {"open groups", std::string(kSize, '('), false},
        {"closed groups", repeat("(1=1)"), false},
        {"logic operators", repeat("|&!"), false},
        {"comparison first", "KVX-770B\"=\"KVX-770B" + std::string(kSize - 19, 'x'), false},
        {"quote ends the text value", repeat("1=1|", "x\"|"), badOperand},
        {"quote then nested groups", repeat("(", "x\"&"), badOperand},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(row.module.size(), kSize);
        Bytes area;
        AppendElement(area, kModuleNameId, row.module);
        const Bytes others = OtherParts();
        area.insert(area.end(), others.begin(), others.end());
        const Bytes datagram = Answer(area);
        // Longer than the receive buffer: the client never accepts it, but the decoder copes.
        EXPECT_FALSE(AnswerHeaderValid(datagram));
        OvNDCPVarList list;
        SetDiscoveryVars(list);
        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(DecodeAnswer(datagram, kDiscoverCommand, list), kOk);
        EXPECT_EQ(list.Var(0).Parts->Part(0).Value, row.module);
        EXPECT_EQ(ExpandExpression(list, "$0.0=KVX-770B", true, "$"), "\"" + row.module + "\"=KVX-770B");
        EXPECT_EQ(FilterOutcome(list), row.filter);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    }
}

// Requests whose variable area would pass the 8192-byte build buffer are refused whole; the
// largest ones that fit are built.
TEST(DeepInputTest, RequestsAtAndPastTheBufferSize) {
    const std::string tooLarge = "The request does not fit in the 8192-byte buffer!";
    const auto build = [](std::uint8_t command, const std::vector<NDCPVarDef>& vars,
                          std::string_view password) {
        std::vector<NDCPVarDef> defs = vars;
        defs.push_back({0, nullptr, 0, 0, nullptr, nullptr, nullptr});
        const OvNDCPVarList list(defs.data());
        return BuildRequest("0011AABBCCDD", password, list, command, 1);
    };
    const std::string sixtyThousand(60000, 'n');
    const std::string fits(kRequestBufferSize - kNDCPHeaderSize - 3 - 5, 'n');
    const std::string oneMore = fits + "n";
    const NDCPVarDef bigName = {7, "Name", kDisplayStr, kWritable, nullptr, nullptr, sixtyThousand.c_str()};
    const NDCPVarDef fitting = {7, "Name", kDisplayStr, kWritable, nullptr, nullptr, fits.c_str()};
    const NDCPVarDef overflowing = {7, "Name", kDisplayStr, kWritable, nullptr, nullptr, oneMore.c_str()};
    // Get: three bytes per readable variable; 2718 of them fill the room left with no password.
    const NDCPVarDef readable = {9, "Count", kUInt8, kReadable, nullptr, nullptr, nullptr};
    const std::size_t getLimit = (kRequestBufferSize - kNDCPHeaderSize) / 3;

    EXPECT_EQ(build(kSetCommand, {fitting}, "kestu").size(), kRequestBufferSize - 5);
    EXPECT_EQ(build(kGetCommand, std::vector<NDCPVarDef>(getLimit, readable), "").size(),
              kNDCPHeaderSize + 3 * getLimit);
    const struct Row {
        const char* name;
        std::uint8_t command;
        std::vector<NDCPVarDef> vars;
        std::string password;
    } refused[] = {
        {"60,000-byte value", kSetCommand, {bigName}, ""},
        {"one byte more than fits", kSetCommand, {overflowing}, "kestu"},
        {"fits only without the password", kSetCommand, {fitting}, "kestu!"},
        {"one readable variable too many", kGetCommand, std::vector<NDCPVarDef>(getLimit + 1, readable), ""},
        {"60,000-byte password", kDiscoverCommand, {}, sixtyThousand},
    };
    for (const Row& row : refused) {
        SCOPED_TRACE(row.name);
        try {
            (void)build(row.command, row.vars, row.password);
            ADD_FAILURE() << "no error raised";
        } catch (const OvException& e) {
            EXPECT_EQ(std::pair(e.Code(), e.Message()), std::pair(-1013, tooLarge));
        }
    }
}

}  // namespace
