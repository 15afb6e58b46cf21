#include "cli/CliArguments.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "errors/OvException.h"

namespace {

constexpr std::int64_t kMaxTimeoutUnits = 360000;  // an hour
constexpr int kUnitDecimals = 2;                   // 10 ms is a hundredth of a second
constexpr std::size_t kMacDigits = 12;

[[noreturn]] void Fail(const std::string& message) { throw OvException(message); }

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

std::string CommandName(CliCommand command) { return command == CliCommand::Set ? "set" : "discover"; }

[[noreturn]] void FailSeeHelp(const std::string& message, CliCommand command) {
    Fail(message + " See 'orvalan-ndcp " + CommandName(command) + " --help'.");
}

bool IsHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// The arguments of one command: options with or without a value, and the positional ones.
class CommandLine {
public:
    CommandLine(std::span<const std::string_view> args, CliCommand command)
        : args_(args), command_(command) {}

    // The next argument, or false at the end. An option's value is read with Value().
    bool Next() {
        if (index_ >= args_.size()) return false;
        const std::string_view arg = args_[index_++];
        const std::size_t equals = arg.find('=');
        if (arg.starts_with("--") && equals != std::string_view::npos) {
            name_ = arg.substr(0, equals);
            attached_ = arg.substr(equals + 1);
        } else {
            name_ = arg;
            attached_.reset();
        }
        return true;
    }
    [[nodiscard]] std::string_view Name() const { return name_; }
    [[nodiscard]] bool IsOption() const { return name_.starts_with("-") && name_.size() > 1; }

    std::string_view Value() {
        if (attached_) return *attached_;
        if (index_ >= args_.size()) FailSeeHelp("Option " + std::string(name_) + " needs a value.", command_);
        return args_[index_++];
    }
    void NoValue() const {
        if (attached_) FailSeeHelp("Option " + std::string(name_) + " takes no value.", command_);
    }
    [[noreturn]] void Unknown() const {
        if (IsOption()) FailSeeHelp("Unknown option " + Quoted(name_) + ".", command_);
        FailSeeHelp("Unexpected argument " + Quoted(name_) + ".", command_);
    }

private:
    std::span<const std::string_view> args_;
    CliCommand command_;
    std::size_t index_ = 0;
    std::string_view name_;
    std::optional<std::string_view> attached_;
};

bool IsHelp(std::string_view arg) { return arg == "--help" || arg == "-h"; }

DiscoverArguments ParseDiscover(CommandLine& line) {
    DiscoverArguments parsed;
    bool formatGiven = false;
    const auto setFormat = [&](ListFormat format) {
        line.NoValue();
        if (formatGiven) FailSeeHelp("Give at most one of --json and --csv.", CliCommand::Discover);
        formatGiven = true;
        parsed.format = format;
    };
    while (line.Next()) {
        const std::string_view name = line.Name();
        if (name == "--json") {
            setFormat(ListFormat::Json);
        } else if (name == "--csv") {
            setFormat(ListFormat::Csv);
        } else if (name == "--all-models") {
            line.NoValue();
            parsed.allModels = true;
        } else if (name == "--timeout") {
            const std::string_view value = line.Value();
            const auto units = TimeoutUnits(value);
            if (!units) {
                FailSeeHelp("Option --timeout expects seconds from 0.01 to 3600, not " + Quoted(value) + ".",
                            CliCommand::Discover);
            }
            parsed.timeout = *units;
        } else if (name == "--adapter") {
            const std::string_view value = line.Value();
            if (value.empty())
                FailSeeHelp("Option --adapter expects an adapter's name.", CliCommand::Discover);
            parsed.adapter = std::string(value);
        } else {
            line.Unknown();
        }
    }
    return parsed;
}

SetArguments ParseSet(CommandLine& line) {
    SetArguments parsed;
    std::optional<MacBytes> mac;
    bool fromStdin = false;
    while (line.Next()) {
        const std::string_view name = line.Name();
        if (name == "--ip") {
            parsed.ip = std::string(line.Value());
        } else if (name == "--netmask") {
            parsed.netmask = std::string(line.Value());
        } else if (name == "--password-stdin") {
            line.NoValue();
            fromStdin = true;
        } else if (name == "--password-file") {
            const std::string_view value = line.Value();
            if (value.empty()) FailSeeHelp("Option --password-file expects a file name.", CliCommand::Set);
            parsed.passwordFile = std::string(value);
        } else if (name == "--yes") {
            line.NoValue();
            parsed.yes = true;
        } else if (!line.IsOption() && !mac) {
            mac = MacArgument(name);
            if (!mac)
                FailSeeHelp("Bad MAC address! " + Quoted(name) + " is not 12 hexadecimal digits.",
                            CliCommand::Set);
            if (*mac == MacBytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}) {
                FailSeeHelp("FFFFFFFFFFFF addresses every device at once; give the MAC address of one.",
                            CliCommand::Set);
            }
        } else {
            line.Unknown();
        }
    }
    if (!mac) FailSeeHelp("Give the MAC address of the device.", CliCommand::Set);
    if (parsed.ip.empty()) FailSeeHelp("Give the new IP address with --ip.", CliCommand::Set);
    if (parsed.netmask.empty()) FailSeeHelp("Give the new netmask with --netmask.", CliCommand::Set);
    if (fromStdin == parsed.passwordFile.has_value()) {
        FailSeeHelp("Give the access password in one way: --password-stdin or --password-file FILE.",
                    CliCommand::Set);
    }
    parsed.mac = *mac;
    return parsed;
}

CliArguments HelpFor(CliCommand command) {
    CliArguments parsed;
    parsed.command = CliCommand::Help;
    parsed.helpFor = command;
    return parsed;
}

}  // namespace

std::optional<std::int32_t> TimeoutUnits(std::string_view seconds) {
    const std::size_t point = seconds.find('.');
    const std::string_view whole = seconds.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : seconds.substr(point + 1);
    const auto allDigits = [](std::string_view text) {
        return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if ((whole.empty() && fraction.empty()) || !allDigits(whole) || !allDigits(fraction)) return std::nullopt;
    if (point != std::string_view::npos && fraction.empty()) return std::nullopt;
    // Leading zeros and long texts stay bounded: stop counting once past the largest value.
    std::int64_t units = 0;
    for (const char c : whole) {
        units = std::min<std::int64_t>(units * 10 + (c - '0'), kMaxTimeoutUnits + 1);
    }
    for (int i = 0; i < kUnitDecimals; ++i) {
        const std::size_t position = static_cast<std::size_t>(i);
        units = units * 10 + (position < fraction.size() ? fraction[position] - '0' : 0);
    }
    const bool rest = fraction.size() > kUnitDecimals &&
                      fraction.substr(kUnitDecimals).find_first_not_of('0') != std::string_view::npos;
    if (rest) ++units;
    if (units < 1 || units > kMaxTimeoutUnits) return std::nullopt;
    return static_cast<std::int32_t>(units);
}

std::optional<MacBytes> MacArgument(std::string_view text) {
    std::string digits;
    if (text.size() == kMacDigits) {
        digits = std::string(text);
    } else if (text.size() == kMacDigits + 5 && (text[2] == ':' || text[2] == '-')) {
        const char separator = text[2];
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (i % 3 == 2) {
                if (text[i] != separator) return std::nullopt;
            } else {
                digits.push_back(text[i]);
            }
        }
    } else {
        return std::nullopt;
    }
    if (!std::all_of(digits.begin(), digits.end(), IsHex)) return std::nullopt;
    return MacTextToBytes(digits);
}

CliArguments ParseArguments(std::span<const std::string_view> args) {
    CliArguments parsed;
    if (args.empty()) Fail("Give a command: discover or set. See 'orvalan-ndcp --help'.");
    const std::string_view first = args.front();
    if (IsHelp(first)) return parsed;
    if (first == "--version") {
        parsed.command = CliCommand::Version;
        return parsed;
    }
    CliCommand command;
    if (first == "discover") {
        command = CliCommand::Discover;
    } else if (first == "set") {
        command = CliCommand::Set;
    } else {
        Fail("Unknown command " + Quoted(first) +
             "; the commands are discover and set. See 'orvalan-ndcp --help'.");
    }
    const auto rest = args.subspan(1);
    if (std::any_of(rest.begin(), rest.end(), IsHelp)) return HelpFor(command);
    CommandLine line(rest, command);
    parsed.command = command;
    if (command == CliCommand::Discover) {
        parsed.discover = ParseDiscover(line);
    } else {
        parsed.set = ParseSet(line);
    }
    return parsed;
}
