#include "ndcp-sim/SimOptions.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "errors/Messages.h"
#include "errors/OvException.h"

namespace ndcpsim {
namespace {

using Args = std::vector<std::string_view>;

SimOptions Parse(const Args& args) { return ParseOptions(args); }

struct GoodCase {
    std::string name;
    Args args;
    std::function<void(const SimOptions&)> check;
};
void PrintTo(const GoodCase& c, std::ostream* os) { *os << c.name; }

class GoodOptionsTest : public testing::TestWithParam<GoodCase> {};

TEST_P(GoodOptionsTest, Parses) { GetParam().check(Parse(GetParam().args)); }

INSTANTIATE_TEST_SUITE_P(
    Options, GoodOptionsTest,
    testing::Values(
        GoodCase{"defaults",
                 {},
                 [](const SimOptions& o) {
                     EXPECT_FALSE(o.devices.has_value() || o.status.has_value() ||
                                  o.exitAfterSeconds.has_value());
                     EXPECT_EQ(o.model + " " + o.otherModel + " " + o.password, "KVX-770B KVX-550A admin");
                     EXPECT_EQ(Ipv4ToText(o.bind) + ":" + std::to_string(o.port), "127.0.0.1:64512");
                     EXPECT_TRUE(o.logPath.empty() && o.malformed.empty());
                     EXPECT_FALSE(o.floodSeconds.has_value());
                     EXPECT_EQ(o.floodRate, 5000u);
                 }},
        GoodCase{"short_help", {"-h"}, [](const SimOptions& o) { EXPECT_TRUE(o.help); }},
        GoodCase{"flood_with_fractions_at_the_highest_rate",
                 {"--flood", "0.25", "--flood-rate=1000000"},
                 [](const SimOptions& o) {
                     EXPECT_DOUBLE_EQ(*o.floodSeconds, 0.25);
                     EXPECT_EQ(o.floodRate, 1000000u);
                 }},
        GoodCase{"value_as_next_argument_or_after_equals",
                 {"--devices", "10000", "--port=0", "--model=a=b", "--password="},
                 [](const SimOptions& o) {
                     EXPECT_EQ(o.devices, 10000u);
                     EXPECT_EQ(o.port, 0);
                     EXPECT_EQ(o.model, "a=b");
                     EXPECT_EQ(o.password, "");
                 }},
        GoodCase{"timing",
                 {"--delay", "1500", "--jitter", "20", "--burst-gap-us", "50", "--exit-after", "0.25",
                  "--sources", "64"},
                 [](const SimOptions& o) {
                     EXPECT_EQ(std::vector({o.delayMs, o.jitterMs, o.burstGapUs, o.sources}),
                               std::vector({1500u, 20u, 50u, 64u}));
                     EXPECT_DOUBLE_EQ(*o.exitAfterSeconds, 0.25);
                 }},
        GoodCase{"malformed_bare_is_all_and_leaves_the_next_argument",
                 {"--malformed", "--twice"},
                 [](const SimOptions& o) {
                     EXPECT_EQ(o.malformed.size(), AllMalformedKinds().size());
                     EXPECT_TRUE(o.twice);
                 }},
        GoodCase{"malformed_list_without_repeats",
                 {"--malformed=huge,short,huge"},
                 [](const SimOptions& o) {
                     EXPECT_EQ(o.malformed, (std::vector{MalformedKind::kHuge, MalformedKind::kShort}));
                 }},
        GoodCase{"devices_in_full",
                 {"--device", "Lab,00-AA-bb-CC-dd-EE,10.1.2.3,255.255.0.0",
                  "--device=D,0A0B0C0D0E0F,1.2.3.4,255.0.0.0,pw"},
                 [](const SimOptions& o) {
                     ASSERT_EQ(o.deviceEntries.size(), 2u);
                     const DeviceEntry& d = o.deviceEntries[0];
                     EXPECT_EQ(d.name + " " + MacToText(d.mac) + " " + Ipv4ToText(d.ip) + " " +
                                   Ipv4ToText(d.netmask),
                               "Lab 00AABBCCDDEE 10.1.2.3 255.255.0.0");
                     EXPECT_FALSE(d.password.has_value());
                     EXPECT_EQ(o.deviceEntries[1].password, "pw");
                 }},
        GoodCase{"device_name_with_escaped_bytes",
                 {"--device", "%22Lab%22%2C 2%e9%25,001122334455,10.0.0.1,255.0.0.0"},
                 [](const SimOptions& o) {
                     ASSERT_EQ(o.deviceEntries.size(), 1u);
                     EXPECT_EQ(o.deviceEntries[0].name, "\"Lab\", 2\xE9%");
                 }},
        GoodCase{"later_value_wins",
                 {"--port", "1", "--port", "2"},
                 [](const SimOptions& o) { EXPECT_EQ(o.port, 2); }}),
    [](const testing::TestParamInfo<GoodCase>& info) { return info.param.name; });

struct BadCase {
    std::string name;
    Args args;
    std::string message;
};
void PrintTo(const BadCase& c, std::ostream* os) { *os << c.name; }

class BadOptionsTest : public testing::TestWithParam<BadCase> {};

TEST_P(BadOptionsTest, RaisesTheMessage) {
    try {
        static_cast<void>(Parse(GetParam().args));
        FAIL() << "accepted";
    } catch (const OvException& error) {
        EXPECT_EQ(error.Message(), GetParam().message);
        EXPECT_EQ(error.Code(), kUnknownError);
    }
}

const std::string kKinds =
    "all, short, long, signature, length, sequence, mac, elem-zero, elem-short, past-end, huge, width, "
    "quotes, dollar, "
    "parens.";
const std::string kLongText(1025, 'm');

INSTANTIATE_TEST_SUITE_P(
    Options, BadOptionsTest,
    testing::Values(
        BadCase{"unknown_option", {"--device-count", "3"}, "Unknown option \"--device-count\"; see --help."},
        BadCase{"stray_argument", {"3"}, "Unexpected argument \"3\"; see --help."},
        BadCase{"missing_value", {"--devices"}, "Option --devices needs a value."},
        BadCase{"flag_with_value", {"--twice=yes"}, "Option --twice takes no value."},
        BadCase{"not_a_number",
                {"--devices", "three"},
                "Option --devices expects a whole number from 0 to 60000, not \"three\"."},
        BadCase{"sources_without_an_address",
                {"--sources", "2", "--bind", "0.0.0.0"},
                "Option --sources needs --bind with an address."},
        BadCase{"first_number_0",
                {"--first-number", "0"},
                "Option --first-number expects a whole number from 1 to 60000, not \"0\"."},
        BadCase{"negative",
                {"--delay", "-1"},
                "Option --delay expects a whole number from 0 to 600000, not \"-1\"."},
        BadCase{"trailing_text",
                {"--port", "80x"},
                "Option --port expects a whole number from 0 to 65535, not \"80x\"."},
        BadCase{"overflow",
                {"--seed", "99999999999999999999"},
                "Option --seed expects a whole number from 0 to 4294967295, not \"99999999999999999999\"."},
        BadCase{
            "status_0", {"--status", "0"}, "Option --status expects a whole number from 1 to 15, not \"0\"."},
        BadCase{"too_many_devices",
                {"--devices", "60000", "--other-models", "1"},
                "Too many devices: 60001; at most 60000."},
        BadCase{"exit_after_exponent",
                {"--exit-after", "1e3"},
                "Option --exit-after expects a number of seconds from 0 to 86400, not \"1e3\"."},
        BadCase{"flood_zero",
                {"--flood", "0"},
                "Option --flood expects a number of seconds above 0 and at most 86400, not \"0\"."},
        BadCase{"flood_negative",
                {"--flood", "-1"},
                "Option --flood expects a number of seconds above 0 and at most 86400, not \"-1\"."},
        BadCase{"flood_not_a_number",
                {"--flood", "soon"},
                "Option --flood expects a number of seconds above 0 and at most 86400, not \"soon\"."},
        BadCase{"flood_rate_zero",
                {"--flood-rate", "0"},
                "Option --flood-rate expects a whole number from 1 to 1000000, not \"0\"."},
        BadCase{"flood_rate_too_high",
                {"--flood-rate", "1000001"},
                "Option --flood-rate expects a whole number from 1 to 1000000, not \"1000001\"."},
        BadCase{"bind_hostname",
                {"--bind", "localhost"},
                "Option --bind expects an IPv4 address, not \"localhost\"."},
        BadCase{"bind_octet_256",
                {"--bind", "127.0.0.256"},
                "Option --bind expects an IPv4 address, not \"127.0.0.256\"."},
        BadCase{"empty_log", {"--log="}, "Option --log expects a file name."},
        BadCase{"malformed_unknown",
                {"--malformed=short,tiny"},
                "Option --malformed has an unknown kind \"tiny\"; the kinds are " + kKinds},
        BadCase{"device_3_fields",
                {"--device", "L,001122334455,10.0.0.1"},
                "Option --device expects NAME,MAC,IP,MASK[,PASSWORD], not \"L,001122334455,10.0.0.1\"."},
        BadCase{"device_5_byte_mac",
                {"--device", "a,0011223344,1.0.0.1,255.0.0.0"},
                "Option --device has a bad MAC address \"0011223344\"."},
        BadCase{"device_mixed_separators",
                {"--device", "a,00:11-22:33:44:55,1.0.0.1,255.0.0.0"},
                "Option --device has a bad MAC address \"00:11-22:33:44:55\"."},
        BadCase{"device_bad_ip",
                {"--device", "a,001122334455,10.0.0,255.0.0.0"},
                "Option --device has a bad IP address \"10.0.0\"."},
        BadCase{"device_bad_mask",
                {"--device", "a,001122334455,1.0.0.1,255.0.0.x"},
                "Option --device has a bad netmask \"255.0.0.x\"."},
        BadCase{"device_name_bad_escape",
                {"--device", "a%2,001122334455,1.0.0.1,255.0.0.0"},
                "Option --device has a bad escape in the name \"a%2\"; write a byte as %XX."},
        BadCase{"model_too_long",
                {"--model", kLongText},
                "Option --model expects at most 1024 characters, not 1025."}),
    [](const testing::TestParamInfo<BadCase>& info) { return info.param.name; });

TEST(BuildDevicesTest, DerivedByDefaultReplacedByGivenOnesUnlessCounted) {
    const auto defaults = BuildDevices(Parse({}));
    ASSERT_EQ(defaults.size(), 3u);
    const SimDevice& third = defaults[2];
    EXPECT_EQ(third.name + " " + third.model + " " + MacToText(third.mac) + " " + Ipv4ToText(third.ip) + " " +
                  Ipv4ToText(third.netmask) + " " + third.encryptedPassword,
              "Storage-3 KVX-770B 001122334403 192.168.0.103 255.255.255.0 A9F87529E5FB1F7C");

    const Args given = {"--device", "Lab,001122334455,10.0.0.1,255.0.0.0,pw", "--model", "M1"};
    const auto only = BuildDevices(Parse(given));
    ASSERT_EQ(only.size(), 1u);
    EXPECT_EQ(only[0].name + " " + only[0].model + " " + only[0].accessPassword, "Lab M1 pw");

    Args more = given;
    more.insert(more.end(), {"--devices", "1", "--other-models", "2", "--password", "p2"});
    const auto mixed = BuildDevices(Parse(more));
    ASSERT_EQ(mixed.size(), 4u);
    EXPECT_EQ(mixed[1].name + " " + mixed[1].model + " " + mixed[1].accessPassword, "Storage-1 M1 p2");
    EXPECT_EQ(mixed[3].name + " " + mixed[3].model, "Storage-3 KVX-550A");
}

TEST(BuildDevicesTest, ManyDevicesGetDistinctAddressesThatCarry) {
    const auto devices = BuildDevices(Parse({"--devices", "10000"}));
    ASSERT_EQ(devices.size(), 10000u);
    EXPECT_EQ(MacToText(devices[254].mac) + " " + MacToText(devices[255].mac), "0011223344FF 001122334500");
    EXPECT_EQ(Ipv4ToText(devices[154].ip) + " " + Ipv4ToText(devices[155].ip), "192.168.0.255 192.168.1.0");
    EXPECT_EQ(Ipv4ToText(devices[9999].ip), "192.168.39.116");
}

TEST(BuildDevicesTest, NumberingStartsAtTheFirstNumberAndRunsOnIntoTheOtherModel) {
    const auto devices =
        BuildDevices(Parse({"--devices", "2", "--other-models", "1", "--first-number", "7501"}));
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(devices[0].name + " " + MacToText(devices[0].mac) + " " + Ipv4ToText(devices[0].ip),
              "Storage-7501 00112233614D 192.168.29.177");
    EXPECT_EQ(devices[2].name + " " + devices[2].model, "Storage-7503 KVX-550A");
}

TEST(HelpTextTest, DocumentsEveryOptionAndKind) {
    const std::string help = HelpText();
    for (const std::string_view option :
         {"--devices ",      "--model ",    "--other-models ", "--other-model ", "--device ",
          "--password ",     "--twice ",    "--shuffle ",      "--delay ",       "--jitter ",
          "--burst-gap-us ", "--status ",   "--malformed[",    "--seed ",        "--bind ",
          "--port ",         "--sndbuf ",   "--log ",          "--quiet ",       "--count-answers ",
          "--exit-after ",   "-h, --help ", "--flood ",        "--flood-rate ",  "--first-number ",
          "--sources "}) {
        EXPECT_NE(help.find("\n  " + std::string(option)), std::string::npos) << option;
    }
    for (const MalformedKind kind : AllMalformedKinds()) {
        EXPECT_NE(help.find(" " + std::string(MalformedKindName(kind)) + " "), std::string::npos)
            << MalformedKindName(kind);
    }
}

}  // namespace
}  // namespace ndcpsim
