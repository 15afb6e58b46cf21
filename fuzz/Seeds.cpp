#include "Seeds.h"

#include "FuzzInput.h"
#include "device/DeviceProfile.h"
#include "ndcp/wire/NDCPPacket.h"
#include "testkit/AnswerBuilder.h"
#include "vars/ValueCodec.h"
#include "vars/VarTypes.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace {

using Bytes = std::vector<std::uint8_t>;

[[nodiscard]] Bytes Element(std::uint8_t id, std::uint8_t type, std::string_view text) {
    return EncodedElement({id, type, std::string(text)});
}

[[nodiscard]] Bytes RawElement(std::uint8_t id, const Bytes& value) {
    const std::size_t length = value.size() + 3;
    Bytes element = {id, static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length & 0xFF)};
    element.insert(element.end(), value.begin(), value.end());
    return element;
}

[[nodiscard]] Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

[[nodiscard]] Bytes Answer(std::uint8_t status, const Bytes& area, std::uint8_t sequence = 7) {
    return FrameAnswer(sequence, status, {0x00, 0x11, 0xAA, 0xBB, 0xCC, 0xDD}, area);
}

[[nodiscard]] Bytes DiscoveryArea(std::string_view module, std::string_view name) {
    return Concat({Element(kModuleNameId, kDisplayStr, module), Element(kDeviceNameId, kDisplayStr, name),
                   Element(kMacAddressId, kMacAddress, "0011AABBCCDD"),
                   Element(kIpAddressId, kIpAddress, "192.168.0.32"),
                   Element(kNetmaskId, kIpAddress, "255.255.255.0")});
}

// Values of every type at the identifier of its type code, as the wire tests use them.
[[nodiscard]] Bytes EveryTypeArea() {
    return Concat({Element(kBool8, kBool8, "true"),
                   Element(kInt8, kInt8, "-1"),
                   Element(kUInt8, kUInt8, "255"),
                   Element(kBool16, kBool16, "false"),
                   Element(kInt16, kInt16, "-2"),
                   Element(kUInt16, kUInt16, "65534"),
                   Element(kBool32, kBool32, "true"),
                   Element(kInt32, kInt32, "-2147483648"),
                   Element(kUInt32, kUInt32, "4294967295"),
                   Element(kDouble, kDouble, "3.14159265358979"),
                   Element(kTimeticks, kTimeticks, "9378405"),
                   Element(kDateTime, kDateTime, "2005/01/01 12:00:00 pm"),
                   Element(kIpAddress, kIpAddress, "192.168.0.1"),
                   Element(kMacAddress, kMacAddress, "0011AABBCCDD"),
                   Element(kBitStr, kBitStr, "0F"),
                   Element(kOctetStr, kOctetStr, "ABC"),
                   Element(kDisplayStr, kDisplayStr, "Storage-1"),
                   Element(20, kUInt8, "1"),
                   Element(21, kDisplayStr, "a"),
                   Element(22, kOctetStr, "01FF"),
                   Element(24, kOctetStr, "")});
}

[[nodiscard]] std::vector<Seed> AnswerSeeds() {
    const Bytes discovery = DiscoveryArea(kModelName, "Storage-1");
    Bytes reordered =
        Concat({Element(kNetmaskId, kIpAddress, "255.255.0.0"), Element(kIpAddressId, kIpAddress, "10.0.0.2"),
                Element(kMacAddressId, kMacAddress, "001122334455"), Element(kDeviceNameId, kDisplayStr, "x"),
                Element(kModuleNameId, kDisplayStr, kModelName)});
    Bytes garbled = Concat({Element(kModuleNameId, kDisplayStr, kModelName), RawElement(kDeviceNameId, {}),
                            Bytes{2, 0x00, 0x02}});
    std::string lowerCase(kModelName);
    std::transform(lowerCase.begin(), lowerCase.end(), lowerCase.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::vector<Seed> seeds = {
        Answer(0, discovery),
        Answer(0, reordered),
        Answer(0, DiscoveryArea(lowerCase, "lower case")),
        Answer(0, DiscoveryArea(std::string(kModelName) + " ", "trailing blank")),
        Answer(0, DiscoveryArea("a=b", "operator in the name")),
        Answer(0, DiscoveryArea("$0.0", "marker in the name")),
        Answer(0, DiscoveryArea("\"(a|b)&!c\"", "logic in the name")),
        Answer(0, garbled),
        Answer(0, {}),
        Answer(0, EveryTypeArea()),
        Answer(1, discovery),
        Answer(2, {}),
        Answer(3, {}),
        Answer(0x4F, discovery),
        Answer(0, Concat({Element(1, kDisplayStr, "ab"), RawElement(3, {192, 168})})),
    };
    Bytes tooShort = Answer(0, {});
    tooShort.pop_back();
    seeds.push_back(tooShort);
    Bytes wrongLength = Answer(0, discovery);
    wrongLength[7] ^= 1;
    seeds.push_back(wrongLength);
    return seeds;
}

struct RequestVar {
    std::uint8_t id;
    std::uint8_t type;
    std::uint8_t access;
    std::uint8_t options;
    std::string_view value;
};

[[nodiscard]] Seed Request(std::uint8_t command, std::string_view mac, std::string_view password,
                           std::initializer_list<RequestVar> vars) {
    FuzzInputWriter w;
    w.Byte(command).Byte(9).Text(mac).LongText(password).Byte(static_cast<std::uint8_t>(vars.size()));
    for (const RequestVar& var : vars)
        w.Byte(var.id).Byte(var.type).Byte(var.access).Byte(var.options).Text(var.value);
    return w.Bytes();
}

[[nodiscard]] std::vector<Seed> RequestSeeds() {
    // Command bytes: 0 Discover, 1 Set, 2 Get, 7 a code that is no command.
    constexpr std::string_view kMac = "0011AABBCCDD";
    return {
        Request(0, kBroadcastMac, kDefaultPassword, {{0, kTypeNone, 1, 0, ""}}),
        Request(2, kMac, "", {{1, kUInt8, 1, 0, ""}, {2, kUInt8, 3, 0, ""}, {3, kUInt8, 2, 0, ""}}),
        Request(1, kMac, "secret",
                {{3, kIpAddress, 2, 0, "192.168.0.1"},
                 {4, kIpAddress, 3, 0, "255.255.255.0"},
                 {5, kDisplayStr, 1, 0, "read only"}}),
        Request(1, "00 11 AA BB CC DD", "k",
                {{7, kBool8, 2, 0, "false"},
                 {8, kBool16, 2, 0, "true"},
                 {9, kBool32, 2, 0, "0"},
                 {10, kInt16, 2, 0, "-2"},
                 {11, kUInt8, 2, 0, "300"},
                 {12, kUInt32, 2, 0, "4294967295"}}),
        Request(1, kMac, "k",
                {{1, kDouble, 2, 0, "1"},
                 {2, kMacAddress, 2, 0, "0011aabbccdd"},
                 {3, kOctetStr, 2, 0, "ABC"},
                 {4, kIpAddress, 2, 0, "not an address"},
                 {5, kDisplayStr, 2, 0, ""},
                 {6, kTimeticks, 2, 0, "1 day 2:03:04.05"},
                 {7, kDateTime, 2, 0, "2005/01/01 12:00:00 am"}}),
        Request(1, kMac, "k",
                {{1, kUInt8, 2, 1, "On"},
                 {2, kDisplayStr, 2, 2, "Beta"},
                 {3, kOctetStr, 2, 3, "USB 7"},
                 {4, kMacAddress, 2, 0, "00 11 AA BB CC DD EE"},
                 {5, kBitStr, 2, 0, "0A 1b"}}),
        Request(1, kMac, "k", {{1, kTypeNone, 2, 0, "x"}}),
        Request(1, kMac, "k", {{1, kInt32, 2, 0, "4294967296"}, {2, kDouble, 2, 0, "1e400"}}),
        Request(7, kMac, "k", {}),
        Request(2, "0011AABBCC", "k", {}),
        Request(0, "", "", {}),
    };
}

[[nodiscard]] Seed Decode(std::uint8_t type, const Bytes& area, std::uint8_t id = 7) {
    return FuzzInputWriter().Byte(type).Byte(id).Rest(area).Bytes();
}

[[nodiscard]] std::vector<Seed> ValueDecodeSeeds() {
    const Bytes trailer = {0x63, 0x00, 0x03};
    std::vector<Seed> seeds = {
        Decode(kBool16, Concat({RawElement(7, {0x00, 0x01}), trailer})),
        Decode(kUInt16, Concat({RawElement(7, {0xFF, 0xFE}), trailer})),
        Decode(kUInt16, Concat({RawElement(7, {0xFF}), trailer})),
        Decode(kUInt32, RawElement(7, {0xFF, 0xFF, 0xFF, 0xFF})),
        Decode(kDouble, RawElement(7, {0, 0, 0, 0, 0x3F, 0xF0, 0, 0})),
        Decode(kDouble, RawElement(7, {0, 0, 0, 0, 0x7F, 0xF8, 0, 0})),
        Decode(kDateTime, RawElement(7, {0, 0, 0, 0, 0x40, 0xE2, 0xBA, 0x20})),
        Decode(kDateTime, RawElement(7, {0, 0, 0, 0, 0xC1, 0x30, 0, 0})),
        Decode(kIpAddress, RawElement(7, {0xC0, 0xA8, 0x00, 0x20})),
        Decode(kDisplayStr, RawElement(7, {'a', 'b', 0, 'c', 'd'})),
        Decode(kTimeticks, RawElement(7, {0x00, 0x8F, 0x19, 0x65})),
        Decode(kOctetStr, RawElement(7, {})),
        Decode(kOctetStr, Concat({RawElement(7, {}), trailer})),
        Decode(kTypeNone, RawElement(7, {1})),
        Decode(kInt8, Concat({RawElement(6, {1}), Bytes{7, 0x00, 0x02}, RawElement(7, {1})})),
        Decode(kInt8, Bytes{7, 0x00, 0x09, 1}),
    };
    for (std::uint8_t type = kBool8; type <= kDisplayStr; ++type) {
        seeds.push_back(Decode(type, Concat({EveryTypeArea(), trailer}), type));
    }
    return seeds;
}

[[nodiscard]] std::vector<Seed> TextParserSeeds() {
    // Selector % 6: 0 hexadecimal, 1 timeticks, 2 date and time, 3 floating-point, 4 integers,
    // 5 addresses; bit 7 picks the other locale.
    const std::pair<std::uint8_t, std::string_view> rows[] = {
        {0, "0A 1b"},
        {0, "ABC"},
        {0, "0011aabbccdd"},
        {0, "00 11 AA BB CC DD"},
        {0, "zz"},
        {1, "1 day 2:03:04.05"},
        {1, "2 days, 0:00:00.00"},
        {1, "0:00:00.00"},
        {1, "49710 days, 6:28:15.95"},
        {2, "2005/01/01 12:00:00 am"},
        {2, "2005/01/01 12:00:00 pm"},
        {2, "2005/1/1"},
        {2, "2005/01/01 13:45"},
        {2, "9999/12/31 11:59:59 pm"},
        {2, "0001/01/01"},
        {130, "2005.01.01 12.00.00 nachm."},
        {2, "2004/02/30"},
        {3, "1"},
        {3, "0.5"},
        {3, "3.14159265358979"},
        {3, "1E20"},
        {3, "1E-6"},
        {3, "-1.5"},
        {3, "1e400"},
        {3, "1e-400"},
        {131, "0,5"},
        {3, " 2.5e+3 "},
        {3, "."},
        {4, "300"},
        {4, "-1"},
        {4, "4294967295"},
        {4, "2147483648"},
        {4, "+5"},
        {4, ""},
        {4, "-2147483649"},
        {5, "192.168.0.1"},
        {5, "10.1"},
        {5, "0x7f.1"},
        {5, "not an address"},
        {5, "1.2.3.4.5"},
        {5, "4294967295"},
    };
    std::vector<Seed> seeds;
    for (const auto& [selector, text] : rows)
        seeds.push_back(FuzzInputWriter().Byte(selector).Rest(text).Bytes());
    return seeds;
}

struct ExpressionVar {
    std::uint8_t type;
    std::uint8_t options;
    std::string_view value;
};

// Marker byte 3 is "$". The first variable is the discovery variable with its five parts.
[[nodiscard]] Seed Expression(std::string_view expression, std::initializer_list<ExpressionVar> more = {},
                              std::string_view module = kModelName) {
    FuzzInputWriter w;
    w.Byte(3).Byte(static_cast<std::uint8_t>(1 + more.size()));
    w.Byte(kTypeNone).Byte(0).Byte(6);
    w.Byte(kDisplayStr).Byte(0).Text(module).Byte(kDisplayStr).Byte(0).Text("Storage-1");
    w.Byte(kMacAddress).Byte(0).Text("0011AABBCCDD").Byte(kIpAddress).Byte(0).Text("192.168.0.32");
    w.Byte(kIpAddress).Byte(0).Text("255.255.255.0").Text("");
    for (const ExpressionVar& var : more) w.Byte(var.type).Byte(var.options).Byte(0).Text(var.value);
    return w.Rest(expression).Bytes();
}

[[nodiscard]] std::vector<Seed> ExpressionSeeds() {
    const std::initializer_list<ExpressionVar> typed = {{kBool8, 0, "true"},
                                                        {kUInt8, 0, "7"},
                                                        {kTimeticks, 0, "1 day 2:03:04.05"},
                                                        {kDateTime, 0, "2005/01/01 12:00:00 pm"}};
    std::vector<Seed> seeds = {Expression(kDiscoveryFilter, typed),
                               Expression("$0.0<>" + std::string(kModelName), typed)};
    for (const std::string_view e :
         {"$0=x",      "$1.0=x",      "x=$2",    "$3>=9378405", "$4<38354",   "$1=1&$0.1=Storage-1",
          "(1=1)&2=3", "(1=1) & 2=2", "1=2|2=2", "!1=2",        "1=1 & !2=2", "1=1|yes",
          "1=2|yes",   "\"a|b\"=x",   "NOW>0",   "\"NOW\"<1",   "10<9",       "abc<abd",
          "ABC=abc",   "true",        " true ",  "false",       "yes",        "((1=1)|(2=3))&!(4=4)",
          "(((",       ")))",         "$0.9=x",  "$99=x",       "$0.0.0=x",   "$"}) {
        seeds.push_back(Expression(e, typed));
    }
    seeds.push_back(Expression(kDiscoveryFilter, {}, "$0.0"));
    seeds.push_back(Expression(kDiscoveryFilter, {}, "a=b"));
    seeds.push_back(Expression("$1=On|$2=Beta|$3=Disk -A",
                               {{kInt32, 1, "On"}, {kDisplayStr, 2, "Beta"}, {kDisplayStr, 3, "Disk -A"}}));
    // "now" in mixed case, read often enough that the clock moves between two evaluations.
    std::string clock;
    for (int i = 0; i < 200; ++i) clock += "NoW<nOW|";
    seeds.push_back(Expression(clock + "1=2", typed));
    return seeds;
}

[[nodiscard]] std::vector<Seed> NumListSeeds() {
    const std::pair<char, std::string_view> rows[] = {
        {'.', "10.0.0.255"}, {'.', "10.0.0.256"}, {',', "3.7,4"},      {',', "3.99,.5,"},
        {'.', "1..2"},       {'.', ""},           {'.', "4294967296"}, {'5', "15151"}};
    std::vector<Seed> seeds;
    for (const auto& [delimiter, text] : rows) {
        seeds.push_back(FuzzInputWriter()
                            .Byte(static_cast<std::uint8_t>(delimiter))
                            .Word(0)
                            .Word(255)
                            .Rest(text)
                            .Bytes());
    }
    return seeds;
}

[[nodiscard]] std::vector<Seed> EditConstraintSeeds() {
    constexpr std::string_view kIpFormat =
        "%u{w36n0x255l3ae.}.%u{w36n0x255l3ae.}.%u{w36n0x255l3ae.}.%u{w36n0x255l3ae.}";
    const std::pair<std::string_view, std::string_view> rows[] = {
        {"%u{w36n0x255l3ae.}", "192"},
        {"%u{w36n0x255l3ae.}", "12."},
        {"%u{w36n0x255l3ae.}", "300"},
        {"%u{w36n0x255l3ae.}", "a"},
        {"%s{l12a}", "password1234"},
        {"%n.{l3f}", "1.2"},
        {"%n,", "1,,2"},
        {"%i", "-5-"},
        {"%f", "-1.5.2"},
        {"%h{l4f}", "0aF"},
        {"%s{l3n}", ""},
        {"%x", "1"},
        {"%n", "1"},
        {"%u{w36", "1"},
        {"%u{q}", "1"},
        {"a%%b%u", "7"},
        {"%u{w36%u", "1"},
        {kIpFormat, "192.168.0.1"},
        {"%u", "(NULL)"},
        {"%u{e}", "1"},
        {"%f{n-1.5x2e,}", "2,5"},
    };
    std::vector<Seed> seeds;
    for (const auto& [format, text] : rows)
        seeds.push_back(FuzzInputWriter().Byte(0).LongText(format).Rest(text).Bytes());
    return seeds;
}

}  // namespace

std::vector<Seed> SeedsFor(std::string_view target) {
    if (target == "answer") return AnswerSeeds();
    if (target == "request") return RequestSeeds();
    if (target == "value_decode") return ValueDecodeSeeds();
    if (target == "text_parsers") return TextParserSeeds();
    if (target == "expression") return ExpressionSeeds();
    if (target == "num_list") return NumListSeeds();
    if (target == "edit_constraint") return EditConstraintSeeds();
    return {};
}
