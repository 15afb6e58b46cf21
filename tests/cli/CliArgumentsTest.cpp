#include "cli/CliArguments.h"

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "errors/OvException.h"

namespace {

CliArguments Parse(const std::vector<std::string_view>& args) { return ParseArguments(args); }

struct GoodCase {
    const char* name;
    std::vector<std::string_view> args;
    std::function<void(const CliArguments&)> check;
};

class GoodArgumentsTest : public ::testing::TestWithParam<GoodCase> {};

TEST_P(GoodArgumentsTest, Read) { GetParam().check(Parse(GetParam().args)); }

INSTANTIATE_TEST_SUITE_P(
    Cases, GoodArgumentsTest,
    ::testing::Values(GoodCase{"help",
                               {"--help"},
                               [](const CliArguments& a) {
                                   EXPECT_EQ(a.command, CliCommand::Help);
                                   EXPECT_FALSE(a.helpFor);
                               }},
                      GoodCase{"command_help_wins_over_errors",
                               {"set", "--bogus", "-h"},
                               [](const CliArguments& a) {
                                   EXPECT_EQ(a.command, CliCommand::Help);
                                   EXPECT_EQ(a.helpFor, CliCommand::Set);
                               }},
                      GoodCase{"version",
                               {"--version"},
                               [](const CliArguments& a) { EXPECT_EQ(a.command, CliCommand::Version); }},
                      GoodCase{"discover_defaults",
                               {"discover"},
                               [](const CliArguments& a) {
                                   EXPECT_EQ(a.command, CliCommand::Discover);
                                   EXPECT_EQ(a.discover.format, ListFormat::Table);
                                   EXPECT_EQ(a.discover.timeout, 300);
                                   EXPECT_FALSE(a.discover.adapter || a.discover.allModels);
                               }},
                      GoodCase{"discover_everything",
                               {"discover", "--csv", "--timeout=0.5", "--adapter", "eth1", "--all-models"},
                               [](const CliArguments& a) {
                                   EXPECT_EQ(a.discover.format, ListFormat::Csv);
                                   EXPECT_EQ(a.discover.timeout, 50);
                                   EXPECT_EQ(a.discover.adapter, "eth1");
                                   EXPECT_TRUE(a.discover.allModels);
                               }},
                      GoodCase{"set_from_stdin",
                               {"set", "00:11:22:aa:BB:cc", "--ip", "192.168.1.10", "--netmask=255.255.0.0",
                                "--password-stdin"},
                               [](const CliArguments& a) {
                                   EXPECT_EQ(a.command, CliCommand::Set);
                                   EXPECT_EQ(MacBytesToText(a.set.mac), "001122AABBCC");
                                   EXPECT_EQ(a.set.ip + " " + a.set.netmask, "192.168.1.10 255.255.0.0");
                                   EXPECT_FALSE(a.set.passwordFile || a.set.yes);
                               }},
                      GoodCase{"set_from_file_with_yes",
                               {"set", "--yes", "--password-file", "/run/pw", "--ip", "10.0.0.5", "--netmask",
                                "255.0.0.0", "00-11-22-33-44-55"},
                               [](const CliArguments& a) {
                                   EXPECT_EQ(MacBytesToText(a.set.mac), "001122334455");
                                   EXPECT_EQ(a.set.passwordFile, "/run/pw");
                                   EXPECT_TRUE(a.set.yes);
                               }}),
    [](const ::testing::TestParamInfo<GoodCase>& info) { return std::string(info.param.name); });

struct BadCase {
    const char* name;
    std::vector<std::string_view> args;
    const char* message;
};

class BadArgumentsTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadArgumentsTest, RefusedWithTheReason) {
    try {
        static_cast<void>(Parse(GetParam().args));
        ADD_FAILURE() << "accepted";
    } catch (const OvException& error) {
        EXPECT_STREQ(error.what(), GetParam().message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadArgumentsTest,
    ::testing::Values(
        BadCase{"nothing", {}, "Give a command: discover or set. See 'orvalan-ndcp --help'."},
        BadCase{"unknown_command",
                {"list"},
                "Unknown command 'list'; the commands are discover and set. See 'orvalan-ndcp --help'."},
        BadCase{"both_formats",
                {"discover", "--json", "--csv"},
                "Give at most one of --json and --csv. See 'orvalan-ndcp discover --help'."},
        BadCase{"format_with_value",
                {"discover", "--json=yes"},
                "Option --json takes no value. See 'orvalan-ndcp discover --help'."},
        BadCase{"timeout_zero",
                {"discover", "--timeout", "0"},
                "Option --timeout expects seconds from 0.01 to 3600, not '0'. See 'orvalan-ndcp discover "
                "--help'."},
        BadCase{"timeout_missing",
                {"discover", "--timeout"},
                "Option --timeout needs a value. See 'orvalan-ndcp discover --help'."},
        BadCase{"unknown_option",
                {"discover", "--all"},
                "Unknown option '--all'. See 'orvalan-ndcp discover --help'."},
        BadCase{"stray_argument",
                {"discover", "eth0"},
                "Unexpected argument 'eth0'. See 'orvalan-ndcp discover --help'."},
        BadCase{"password_as_argument",
                {"set", "001122334455", "--ip", "10.0.0.5", "--netmask", "255.0.0.0", "--password", "pw"},
                "Unknown option '--password'. See 'orvalan-ndcp set --help'."},
        BadCase{"no_password_source",
                {"set", "001122334455", "--ip", "10.0.0.5", "--netmask", "255.0.0.0"},
                "Give the access password in one way: --password-stdin or --password-file FILE. See "
                "'orvalan-ndcp set --help'."},
        BadCase{"two_password_sources",
                {"set", "001122334455", "--ip", "10.0.0.5", "--netmask", "255.0.0.0", "--password-stdin",
                 "--password-file", "f"},
                "Give the access password in one way: --password-stdin or --password-file FILE. See "
                "'orvalan-ndcp set --help'."},
        BadCase{"no_mac",
                {"set", "--ip", "10.0.0.5", "--netmask", "255.0.0.0", "--password-stdin"},
                "Give the MAC address of the device. See 'orvalan-ndcp set --help'."},
        BadCase{"no_netmask",
                {"set", "001122334455", "--ip", "10.0.0.5", "--password-stdin"},
                "Give the new netmask with --netmask. See 'orvalan-ndcp set --help'."},
        BadCase{"short_mac",
                {"set", "0011223344", "--ip", "10.0.0.5"},
                "Bad MAC address! '0011223344' is not 12 hexadecimal digits. See 'orvalan-ndcp set --help'."},
        BadCase{"mixed_separators",
                {"set", "00:11-22:33:44:55"},
                "Bad MAC address! '00:11-22:33:44:55' is not 12 hexadecimal digits. See 'orvalan-ndcp set "
                "--help'."},
        BadCase{
            "broadcast_mac",
            {"set", "ff:ff:ff:ff:ff:ff"},
            "FFFFFFFFFFFF addresses every device at once; give the MAC address of one. See 'orvalan-ndcp set "
            "--help'."},
        BadCase{"two_macs",
                {"set", "001122334455", "001122334466"},
                "Unexpected argument '001122334466'. See 'orvalan-ndcp set --help'."}),
    [](const ::testing::TestParamInfo<BadCase>& info) { return std::string(info.param.name); });

TEST(TimeoutUnitsTest, SecondsBecomeTensOfMillisecondsRoundedUp) {
    const std::pair<const char*, std::optional<std::int32_t>> cases[] = {
        {"3", 300},
        {"0.5", 50},
        {"2.25", 225},
        {"0.01", 1},
        {"0.001", 1},
        {"3600", 360000},
        {"0003", 300},
        {"1.230000", 123},
        {"0", std::nullopt},
        {"0.004", 1},
        {"3600.01", std::nullopt},
        {"", std::nullopt},
        {".5", 50},
        {"5.", std::nullopt},
        {"-1", std::nullopt},
        {"1e3", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"0.000", std::nullopt},
    };
    for (const auto& [text, units] : cases) EXPECT_EQ(TimeoutUnits(text), units) << text;
}

}  // namespace
