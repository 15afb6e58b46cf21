#include "ndcp-sim/SimOptions.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <utility>

#include "errors/OvException.h"
#include "vars/TextHelpers.h"

namespace ndcpsim {
namespace {

constexpr double kMaxSeconds = 86400.0;
constexpr std::uint32_t kMaxFloodRate = 1000000;

[[noreturn]] void Fail(const std::string& message) { throw OvException(message); }

[[nodiscard]] std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

template <typename T>
[[nodiscard]] T WholeNumber(std::string_view option, std::string_view text, T low, T high) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low ||
        value > high) {
        Fail("Option " + std::string(option) + " expects a whole number from " + std::to_string(low) +
             " to " + std::to_string(high) + ", not " + Quoted(text) + ".");
    }
    return static_cast<T>(value);
}

// A number of seconds up to a day; 0 only where zeroAllowed.
[[nodiscard]] double Seconds(std::string_view option, std::string_view text, bool zeroAllowed) {
    double value = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    const bool low = zeroAllowed ? value >= 0 : value > 0;  // false for NaN as well
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !low ||
        value > kMaxSeconds) {
        Fail("Option " + std::string(option) + " expects a number of seconds " +
             (zeroAllowed ? "from 0 to 86400" : "above 0 and at most 86400") + ", not " + Quoted(text) + ".");
    }
    return value;
}

[[nodiscard]] std::string BoundedText(std::string_view option, std::string_view text) {
    if (text.size() > kMaxTextLength) {
        Fail("Option " + std::string(option) + " expects at most " + std::to_string(kMaxTextLength) +
             " characters, not " + std::to_string(text.size()) + ".");
    }
    return std::string(text);
}

[[nodiscard]] std::vector<std::string_view> SplitAt(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    for (std::size_t pos = 0; pos <= text.size(); ++pos) {
        if (pos == text.size() || text[pos] == separator) {
            pieces.push_back(text.substr(start, pos - start));
            start = pos + 1;
        }
    }
    return pieces;
}

[[nodiscard]] Ipv4Address AddressPiece(std::string_view what, std::string_view text) {
    const auto address = ParseIpv4Text(text);
    if (!address) Fail("Option --device has a bad " + std::string(what) + " " + Quoted(text) + ".");
    return *address;
}

// A device's name with each "%XX" (two hexadecimal digits) turned into that byte, so that a name can
// hold the comma that separates the fields, or any byte at all.
[[nodiscard]] std::string UnescapedName(std::string_view text) {
    const auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    std::string name;
    for (std::size_t pos = 0; pos < text.size(); ++pos) {
        if (text[pos] != '%') {
            name.push_back(text[pos]);
            continue;
        }
        const bool room = pos + 2 < text.size();
        const int high = room ? digit(text[pos + 1]) : -1;
        const int low = room ? digit(text[pos + 2]) : -1;
        if (high < 0 || low < 0) {
            Fail("Option --device has a bad escape in the name " + Quoted(text) + "; write a byte as %XX.");
        }
        name.push_back(static_cast<char>(high * 16 + low));
        pos += 2;
    }
    return name;
}

[[nodiscard]] DeviceEntry ParseDeviceEntry(std::string_view text) {
    const std::vector<std::string_view> pieces = SplitAt(text, ',');
    if (pieces.size() < 4 || pieces.size() > 5) {
        Fail("Option --device expects NAME,MAC,IP,MASK[,PASSWORD], not " + Quoted(text) + ".");
    }
    DeviceEntry entry;
    entry.name = BoundedText("--device", UnescapedName(pieces[0]));
    const auto mac = ParseMacText(pieces[1]);
    if (!mac) Fail("Option --device has a bad MAC address " + Quoted(pieces[1]) + ".");
    entry.mac = *mac;
    entry.ip = AddressPiece("IP address", pieces[2]);
    entry.netmask = AddressPiece("netmask", pieces[3]);
    if (pieces.size() == 5) entry.password = BoundedText("--device", pieces[4]);
    return entry;
}

[[nodiscard]] std::string KindList() {
    std::string list = "all";
    for (const MalformedKind kind : AllMalformedKinds()) list += ", " + std::string(MalformedKindName(kind));
    return list;
}

[[nodiscard]] std::vector<MalformedKind> ParseMalformed(std::string_view text) {
    if (text == "all") return {AllMalformedKinds().begin(), AllMalformedKinds().end()};
    std::vector<MalformedKind> kinds;
    for (const std::string_view name : SplitAt(text, ',')) {
        const auto kind = MalformedKindFromName(name);
        if (!kind) {
            Fail("Option --malformed has an unknown kind " + Quoted(name) + "; the kinds are " + KindList() +
                 ".");
        }
        if (std::find(kinds.begin(), kinds.end(), *kind) == kinds.end()) kinds.push_back(*kind);
    }
    return kinds;
}

enum class ValueUse { kNone, kRequired, kOptionalAttached };

using Setter = void (*)(SimOptions&, std::string_view option, std::string_view value);

struct OptionRule {
    std::string_view name;
    ValueUse value;
    Setter set;
};

constexpr OptionRule kOptions[] = {
    {"--help", ValueUse::kNone, [](SimOptions& o, std::string_view, std::string_view) { o.help = true; }},
    {"--devices", ValueUse::kRequired,
     [](SimOptions& o, std::string_view n, std::string_view v) {
         o.devices = WholeNumber(n, v, std::size_t{0}, kMaxDevices);
     }},
    {"--first-number", ValueUse::kRequired,
     [](SimOptions& o, std::string_view n, std::string_view v) {
         o.firstNumber = WholeNumber(n, v, std::size_t{1}, kMaxDevices);
     }},
    {"--model", ValueUse::kRequired,
     [](SimOptions& o, std::string_view n, std::string_view v) { o.model = BoundedText(n, v); }},
    {"--other-models", ValueUse::kRequired,
     [](SimOptions& o, std::string_view n, std::string_view v) {
         o.otherModels = WholeNumber(n, v, std::size_t{0}, kMaxDevices);
     }},
    {"--other-model", ValueUse::kRequired,
     [](SimOptions& o, std::string_view n, std::string_view v) { o.otherModel = BoundedText(n, v); }},
    {"--device", ValueUse::kRequired,
     [](SimOptions& o, std::string_view, std::string_view v) {
         o.deviceEntries.push_back(ParseDeviceEntry(v));
     }},
    {"--password", ValueUse::kRequired,
     [](SimOptions& o, std::string_view n, std::string_view v) { o.password = BoundedText(n, v); }},
    {"--twice", ValueUse::kNone, [](SimOptions& o, std::string_view, std::string_view) { o.twice = true; }},
    {"--shuffle", ValueUse::kNone,
     [](SimOptions& o, std::string_view, std::string_view) { o.shuffle = true; }},
    {"--delay", ValueUse::kRequired,
     [](SimOptions& o, std::string_view n, std::string_view v) {
         o.delayMs = WholeNumber(n, v, 0u, 600000u);
     }},
    {"--jitter", ValueUse::kRequired,
     [](SimOptions& o, std::string_view n, std::string_view v) {
         o.jitterMs = WholeNumber(n, v, 0u, 600000u);
     }},
    {"--sources", ValueUse::kRequired,
     [](SimOptions& o, std::string_view n, std::string_view v) { o.sources = WholeNumber(n, v, 1u, 256u); }},
    {"--burst-gap-us", ValueUse::kRequired,
     [](SimOptions& o, std::string_view n, std::string_view v) {
         o.burstGapUs = WholeNumber(n, v, 0u, 10000000u);
     }},
    {"--status", ValueUse::kRequired,
     [](SimOptions& o, std::string_view n, std::string_view v) {
         o.status = WholeNumber<std::uint8_t>(n, v, 1, 15);
     }},
    {"--malformed", ValueUse::kOptionalAttached,
     [](SimOptions& o, std::string_view, std::string_view v) { o.malformed = ParseMalformed(v); }},
    {"--flood", ValueUse::kRequired,
     [](SimOptions& o, std::string_view n, std::string_view v) { o.floodSeconds = Seconds(n, v, false); }},
    {"--flood-rate", ValueUse::kRequired,
     [](SimOptions& o, std::string_view n, std::string_view v) {
         o.floodRate = WholeNumber(n, v, 1u, kMaxFloodRate);
     }},
    {"--bind", ValueUse::kRequired,
     [](SimOptions& o, std::string_view n, std::string_view v) {
         const auto address = ParseIpv4Text(v);
         if (!address) Fail("Option " + std::string(n) + " expects an IPv4 address, not " + Quoted(v) + ".");
         o.bind = *address;
     }},
    {"--port", ValueUse::kRequired,
     [](SimOptions& o, std::string_view n, std::string_view v) {
         o.port = WholeNumber<std::uint16_t>(n, v, 0, 65535);
     }},
    {"--log", ValueUse::kRequired,
     [](SimOptions& o, std::string_view n, std::string_view v) {
         if (v.empty()) Fail("Option " + std::string(n) + " expects a file name.");
         o.logPath = v;
     }},
    {"--quiet", ValueUse::kNone, [](SimOptions& o, std::string_view, std::string_view) { o.quiet = true; }},
    {"--count-answers", ValueUse::kNone,
     [](SimOptions& o, std::string_view, std::string_view) { o.countAnswers = true; }},
    {"--exit-after", ValueUse::kRequired,
     [](SimOptions& o, std::string_view n, std::string_view v) { o.exitAfterSeconds = Seconds(n, v, true); }},
    {"--seed", ValueUse::kRequired,
     [](SimOptions& o, std::string_view n, std::string_view v) {
         o.seed = WholeNumber(n, v, 0u, std::numeric_limits<std::uint32_t>::max());
     }},
    {"--sndbuf", ValueUse::kRequired,
     [](SimOptions& o, std::string_view n, std::string_view v) {
         o.sendBufferBytes = WholeNumber(n, v, 0u, 1u << 30);
     }},
};

[[nodiscard]] const OptionRule* FindOption(std::string_view name) {
    const auto found = std::find_if(std::begin(kOptions), std::end(kOptions),
                                    [name](const OptionRule& rule) { return rule.name == name; });
    return found == std::end(kOptions) ? nullptr : found;
}

// Applies the option at args[index] and returns the index of the next argument.
std::size_t ApplyOption(SimOptions& options, std::span<const std::string_view> args, std::size_t index) {
    const std::string_view arg = args[index];
    const std::size_t equals = arg.find('=');
    // -h is the one short option: what a user types first when asking for help.
    const std::string_view name = arg == "-h" ? std::string_view("--help") : arg.substr(0, equals);
    const OptionRule* rule = name.starts_with("--") ? FindOption(name) : nullptr;
    if (rule == nullptr) {
        Fail(arg.starts_with("-") ? "Unknown option " + Quoted(name) + "; see --help."
                                  : "Unexpected argument " + Quoted(arg) + "; see --help.");
    }
    const bool attached = equals != std::string_view::npos;
    const std::string_view attachedValue = attached ? arg.substr(equals + 1) : std::string_view();
    switch (rule->value) {
        case ValueUse::kNone:
            if (attached) Fail("Option " + std::string(name) + " takes no value.");
            rule->set(options, name, {});
            return index + 1;
        case ValueUse::kOptionalAttached:
            rule->set(options, name, attached ? attachedValue : "all");
            return index + 1;
        case ValueUse::kRequired:
            if (attached) {
                rule->set(options, name, attachedValue);
                return index + 1;
            }
            if (index + 1 >= args.size()) Fail("Option " + std::string(name) + " needs a value.");
            rule->set(options, name, args[index + 1]);
            return index + 2;
    }
    return index + 1;
}

[[nodiscard]] std::size_t DerivedCount(const SimOptions& options) {
    return options.devices.value_or(options.deviceEntries.empty() ? kDefaultDeviceCount : 0);
}

}  // namespace

SimOptions ParseOptions(std::span<const std::string_view> args) {
    SimOptions options;
    for (std::size_t index = 0; index < args.size();) index = ApplyOption(options, args, index);
    const std::size_t total = options.deviceEntries.size() + DerivedCount(options) + options.otherModels;
    if (total > kMaxDevices) {
        Fail("Too many devices: " + std::to_string(total) + "; at most " + std::to_string(kMaxDevices) + ".");
    }
    if (options.sources > 1 && options.bind == Ipv4Address{})
        Fail("Option --sources needs --bind with an address.");
    return options;
}

std::vector<SimDevice> BuildDevices(const SimOptions& options) {
    std::vector<SimDevice> devices;
    for (const DeviceEntry& entry : options.deviceEntries) {
        devices.push_back(MakeDevice(entry.name, options.model, entry.mac, entry.ip, entry.netmask,
                                     entry.password.value_or(options.password)));
    }
    const std::size_t derived = DerivedCount(options);
    for (std::size_t i = 0; i < derived + options.otherModels; ++i) {
        devices.push_back(DerivedDevice(options.firstNumber + i,
                                        i < derived ? options.model : options.otherModel, options.password));
    }
    return devices;
}

}  // namespace ndcpsim

namespace ndcpsim {

std::string HelpText() {
    std::string text = R"(Usage: ndcp-sim [OPTION]...
Answers NDCP requests on a UDP port as one or more simulated storage devices.

Devices
  --devices N            derived devices of the model (default 3, or 0 when --device is given):
                         "Storage-1", 00:11:22:33:44:01, 192.168.0.101, 255.255.255.0, ...
  --first-number N       number of the first derived device (default 1): "Storage-N",
                         00:11:22:33:44:00 plus N, 192.168.0.100 plus N; simulators side by side
                         then answer as different devices
  --model TEXT           module name the devices report (default "[MODEL]")
  --other-models K       K more derived devices of another model (default 0)
  --other-model TEXT     module name of those (default "[OTHER MODEL]")
  --device NAME,MAC,IP,MASK[,PASSWORD]
                         one device given in full; repeatable; MAC as 00:11:22:33:44:55,
                         00-11-22-33-44-55 or 001122334455; in NAME, %XX is the byte of the
                         two hexadecimal digits XX (%2C a comma, %25 a percent sign)
  --password TEXT        access password of the devices without their own (default "[PASSWORD]")

How a device answers (from the bound port to the sender's address and port)
  When the system has no route to the sender (a device whose address lies outside the sender's
  network), the answer goes instead to 255.255.255.255 and the sender's port, out of the network
  interface the request came in on.
  A device reads every request itself and silently drops one that is shorter than 36 bytes,
  lacks the signature, has a total length other than its size, or has an element whose header or
  value runs past the end or whose length is below 3. It answers a Discover (command 1) whose
  target MAC is FF:FF:FF:FF:FF:FF or its own, and any other command whose target is its own MAC.
  The authenticator is MD5 over the datagram (bytes 12 to 27 zero) followed by a password text;
  the texts a device accepts are "[DEFAULT PASSWORD]" (Discover and Get only) and its access password as the
  utility sends it: the key-encrypted password in upper-case hexadecimal.
    Discover  status 0 with module name (1), device name (6), MAC address (2), IP address (3)
              and netmask (4); a wrong authenticator gets no answer at all
    Get (5)   status 0 with the requested identifiers it knows, in request order (unknown ones
              left out); a wrong authenticator gets status 1
    Set (3)   access password only, else status 1; elements must be IP address (3) or netmask
              (4) of 4 bytes each, else status 2 and nothing changes; on success status 0 with
              the new IP address and netmask, which later answers report
    other     status 3
  An answer echoes command and sequence, carries status | 0x10 in byte 10, the device's MAC at
  28 to 33, and an authenticator made with the password that matched.

Misbehaviour
  --twice                send every answer twice
  --shuffle              put the five values of a Discover answer in a random order
  --delay MS             wait MS milliseconds before answering (the utility waits 1000 ms for a
                         Get or Set and 3000 ms for Discover answers)
  --jitter MS            add a random 0 to MS milliseconds to each answer's delay
  --burst-gap-us US      space the answers to one request US microseconds apart (default 0:
                         as fast as the socket takes them)
  --status S             answer every request addressed to a device with status S (1 to 15)
                         and no values, without checking the authenticator
  --malformed[=LIST]     ahead of each answer also send malformed datagrams; LIST is "all" (the
                         default) or a comma-separated list of:
                           short       35 bytes
                           long        9000 bytes, more than the utility receives
                           signature   wrong signature
                           length      total length one more than the size
                           sequence    sequence number of no pending request
                           mac         another device's MAC address in the header
                           elem-zero   an element of length 0 ahead of the values
                           elem-short  an element of length 2 ahead of the values
                           past-end    a module name element longer than the datagram
                           huge        a device name that makes the answer 8912 bytes
                           width       MAC address of 5 bytes, IP of 3, netmask of 8
                           quotes      module name in double quotes
                           dollar      module name "$0.0=" followed by the model
                           parens      module name inside 1000 levels of parentheses
  --flood SECONDS        from the first request read on, send malformed datagrams of the
                         --malformed kinds (all when not given) for SECONDS (fractions allowed),
                         unasked and evenly paced, to the sender of the latest request read,
                         with its command and sequence; each device sends every kind in turn.
                         Answers go out as usual and ahead of flood datagrams due with them
  --flood-rate N         flood datagrams per second (1 to 1000000, default 5000); when the
                         program falls more than 1024 behind, the older ones are left out
  --seed N               seed of --jitter and --shuffle (default 1)

Socket and run
  --bind ADDR            local IPv4 address (default 127.0.0.1, so that only programs on this
                         machine hear the devices; 0.0.0.0 answers on every network, which
                         belongs in a private network namespace, never on a real network,
                         where the simulated devices would answer other people's utilities)
  --sources N            send the answers to a requester from N addresses, from the --bind
                         address on (1 to 256, default 1), each device's from one of them, as
                         devices answer from addresses of their own; they must be this
                         machine's, as all of 127.0.0.0/8 is on loopback
  --port P               UDP port (default [PORT]; 0 picks a free one, see the listening line)
  --sndbuf BYTES         send buffer size asked for (default 8388608; 0 keeps the system's)
  --log FILE             log file (default standard error)
  --quiet                log requests, changes and the summary but not each answer
  --count-answers        also print the summary line on standard output at exit
  --exit-after SECONDS   stop after that long (fractions allowed); SIGINT and SIGTERM stop too
  -h, --help             show this text

Log: one line per event, fields as key=value separated by blanks:
  t=EPOCH.MICROSECONDS ev=listening addr=A port=P devices=N sndbuf=BYTES
  t=... ev=request from=A:P iface=NAME|- size=N [cmd= seq= len= ctl= mac= fixed= auth=default|access|none
        elements=ID:LEN:HEX,...|-] result=ok|drop [reason=short|signature|total-length|
        element-header|element-length|element-value]
  t=... ev=answer to=A:P dev=MAC cmd= seq= status= auth= kind=answer|twice|MALFORMED size=N
        form=unicast|broadcast [iface=NAME] result=sent|failed [error=TEXT]
  t=... ev=change dev=MAC ip=A mask=M
  t=... ev=flood-start to=A:P seconds=S rate=N
  t=... ev=flood-end sent=N failed=F
  t=... ev=summary requests=R dropped=D answers=A malformed=M failed=F unsent=U flood=N
iface= names the interface a request came in on and a broadcast answer went out of (- when the
system did not say); to= is always the sender. Flood datagrams go to the sender's address and get
no answer lines; the sent ones count in malformed= and flood=, refused ones in failed=.
Element values longer than 64 bytes are logged as their first 64 bytes followed by "..".
Exit status: 0 after a clean stop, 1 when the socket cannot be set up, 2 for bad options.
)";
    // The defaults come from where they are defined.
    const std::pair<std::string_view, std::string> values[] = {
        {"[MODEL]", std::string(kModelName)},
        {"[OTHER MODEL]", std::string(kDefaultOtherModel)},
        {"[PASSWORD]", std::string(kDefaultAccessPassword)},
        {"[DEFAULT PASSWORD]", std::string(kDefaultPassword)},
        {"[PORT]", std::to_string(kDevicePort)},
    };
    for (const auto& [placeholder, value] : values) text = ReplaceAll(text, placeholder, value);
    return text;
}

}  // namespace ndcpsim
