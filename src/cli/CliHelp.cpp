#include "cli/CliHelp.h"

#include "device/AccessPassword.h"
#include "device/DeviceProfile.h"
#include "vars/TextHelpers.h"

#ifndef OV_VERSION
#define OV_VERSION "unknown"
#endif

namespace {

constexpr const char* kProgramHelp = R"(Usage: orvalan-ndcp COMMAND [OPTION]...
Finds [MODEL] devices and sets their IP address, for scripts: what the orvalan-config window
does, with its rules, from a command line.

Commands
  discover   list the devices on every network adapter (orvalan-ndcp discover --help)
  set        give one device a new IP address and netmask (orvalan-ndcp set --help)

Options
  --help     show this text; with a command, that command's
  --version  show the version

[EXIT]

Messages go to standard error. The requests go to the devices' UDP port [PORT] as the limited
broadcast 255.255.255.255 through every network adapter that is up with an IPv4 address (or
through the adapter that heard the device); no privilege is needed. A firewall must let in UDP
datagrams from port [PORT].
)";

constexpr const char* kDiscoverHelp =
    R"(Usage: orvalan-ndcp discover [--json | --csv] [--timeout SECONDS] [--adapter NAME] [--all-models]
Sends one Discover, waits for answers for the whole time-out, and lists the devices of the model
[MODEL], one row per MAC address (the first answer counts), in the order they answered.

  --json             one JSON array of objects with the keys name, mac, ip, netmask, module and
                     adapter
  --csv              CSV (RFC 4180) with the header line name,mac,ip,netmask,module,adapter
  (neither)          a table with the columns Device Name, MAC Address, IP Address, Netmask and
                     Adapter; control characters in a name show as \xHH
  --timeout SECONDS  how long to wait for answers, 0.01 to 3600 (default [TIMEOUT])
  --adapter NAME     send through that network adapter only (default: through every adapter)
  --all-models       list devices of every model, not only [MODEL]

MAC addresses are 12 upper-case hexadecimal digits; adapter is the name of the network adapter
that heard the device. A name is the bytes the device sent, read as UTF-8 where they are valid
UTF-8 and each other byte as the Latin-1 character of its value; the output is UTF-8. While it
waits, a progress line goes to standard error when that is a terminal.

[EXIT]
)";

constexpr const char* kSetHelp =
    R"(Usage: orvalan-ndcp set MAC --ip ADDRESS --netmask MASK (--password-stdin | --password-file FILE) [--yes]
Gives the device with that MAC address (12 hexadecimal digits, or six pairs separated by ":" or
"-") a new IP address and netmask, as the window's Set IP does:

  1. the address and netmask are checked: four numbers from 0 to 255 each; not an address that
     begins with 0, 127 or 224 and above; a netmask that is a run of one bits and neither 0.0.0.0
     nor 255.255.255.255; not the network's own address nor its broadcast address under that
     netmask. A refused address ends the command before anything is sent;
  2. a Discover finds the device (up to [TIMEOUT] s) and the adapter that hears it;
  3. a new address outside that adapter's network is refused unless --yes is given: this PC
     would not reach the device there;
  4. the Set goes through that adapter alone, authenticated with the access password;
  5. a Discover through that adapter looks for the device again (about a second), also when the
     Set's answer did not come in time.
On success one line goes to standard output: the MAC address and the address the device now
answers at.

  --ip ADDRESS          the new IP address, such as 192.168.1.10
  --netmask MASK        the new netmask, such as 255.255.255.0
  --password-stdin      read the access password from the first line of standard input (on a
                        terminal: typed without echo)
  --password-file FILE  read it from the first line of FILE
  --yes                 send an address outside the adapter's network all the same

The password is never an argument, which every user could read in the process list. It has at
most [MAXLEN] characters of the Latin-1 set, read as UTF-8 (or Latin-1 bytes); it and its
encrypted form are wiped from memory after use.

[EXIT]
)";

constexpr const char* kExitCodes = R"(Exit status
  0  done: discover listed at least one device; set was confirmed
  1  no device: discover found none; set: the MAC address did not answer
  2  bad arguments, or an address refused: nothing was sent
  3  Password Error!: the device refused the access password
  4  sent but not confirmed: the device did not answer the Set in time, or accepted it,
     and was not seen at the new address afterwards
  5  any other error the device or the system reported)";

std::string Filled(std::string text) {
    const std::pair<std::string_view, std::string> values[] = {
        {"[MODEL]", std::string(kModelName)},
        {"[PORT]", std::to_string(kDevicePort)},
        {"[TIMEOUT]", std::to_string(kDiscoveryTimeout / 100)},
        {"[MAXLEN]", std::to_string(kAccessPasswordMaxLength)},
        {"[EXIT]", kExitCodes},
    };
    for (const auto& [placeholder, value] : values) text = ReplaceAll(text, placeholder, value);
    return text;
}

}  // namespace

std::string HelpText(const std::optional<CliCommand>& command) {
    if (command == CliCommand::Discover) return Filled(kDiscoverHelp);
    if (command == CliCommand::Set) return Filled(kSetHelp);
    return Filled(kProgramHelp);
}

std::string VersionText() { return std::string("orvalan-ndcp ") + OV_VERSION + "\n"; }
