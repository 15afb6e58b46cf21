#include "cli/CliProgram.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QObject>

#include "cli/CliHelp.h"
#include "cli/PasswordInput.h"
#include "cli/ProgressLine.h"
#include "device/AccessPassword.h"
#include "device/AddressRules.h"
#include "device/DeviceListWriters.h"
#include "device/DeviceProfile.h"
#include "device/Reachability.h"
#include "device/SecureWipe.h"
#include "deviceops/DeviceDiscovery.h"
#include "deviceops/SetIPConfirmation.h"
#include "errors/OvException.h"
#include "ndcp/OvNDCPClient.h"
#include "ndcp/OvNDCPRequest.h"

namespace {

constexpr std::string_view kProgram = "orvalan-ndcp: ";

void Report(std::ostream& err, std::string_view text) { err << kProgram << text << '\n' << std::flush; }

// Seconds with one decimal, "3.0".
std::string SecondsText(double seconds) {
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%.1f", seconds);
    return text.data();
}

std::string AdaptersText(const std::vector<NetworkAdapter>& adapters) {
    if (adapters.empty()) return "There is none.";
    std::string text = "The adapters are ";
    for (std::size_t i = 0; i < adapters.size(); ++i) text += (i > 0 ? ", " : "") + adapters[i].Describe();
    return text + ".";
}

// The adapter of that name among those the client sends through.
std::optional<NetworkAdapter> AdapterNamed(const std::string& name) {
    const OvNDCPClient* const client = ClientInstance();
    if (!client) return std::nullopt;
    for (const NetworkAdapter& adapter : client->Adapters()) {
        if (adapter.name == name) return adapter;
    }
    return std::nullopt;
}

std::string AdaptersNow() {
    const OvNDCPClient* const client = ClientInstance();
    return AdaptersText(client ? client->Adapters() : std::vector<NetworkAdapter>{});
}

// Where the Discover failed to leave, when it failed anywhere; empty otherwise.
std::string SendFailures(const std::vector<AdapterSend>& sends) {
    return sends.empty() ? std::string() : SendFailureReason(sends);
}

std::string ProgressText(std::string_view where, std::chrono::steady_clock::time_point started,
                         std::int32_t timeout, std::size_t answers) {
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
    return "Discovering " + std::string(where) + ": " + SecondsText(elapsed.count()) + " s of " +
           SecondsText(timeout / 100.0) + " s, " + std::to_string(answers) +
           (answers == 1 ? " answer" : " answers");
}

std::string CrossNetworkRefusal(const std::string& address, const NetworkAdapter& adapter) {
    return "The new address " + address + " lies outside the network of " + adapter.Describe() +
           ", the adapter through which this PC reaches the device: after the change this PC will not "
           "reach it. Nothing was sent; give --yes to send it all the same.";
}

std::string FoundText(const ListedDevice& device) { return device.ip + " (netmask " + device.netmask + ")"; }

int ReportSetOutcome(const SetIPResult& result, const std::string& mac, std::ostream& out,
                     std::ostream& err) {
    switch (result.outcome) {
        case SetIPOutcome::AnswersAtNewAddress:
            out << mac << ' ' << result.found->ip << '\n' << std::flush;
            return kExitDone;
        case SetIPOutcome::TookEffectAfterTimeout:
            Report(err,
                   "Connection timeout! The change took effect although the device did not confirm it: it "
                   "now answers at " +
                       FoundText(*result.found) + ".");
            out << mac << ' ' << result.found->ip << '\n' << std::flush;
            return kExitDone;
        case SetIPOutcome::NotConfirmed:
            Report(err, "Connection timeout! The device did not answer at " + result.address +
                            (result.found ? "; it still answers at " + FoundText(*result.found) + "."
                                          : " within a second either."));
            return kExitUnconfirmed;
        case SetIPOutcome::SilentAfterAccepting:
            Report(err,
                   "The device accepted " + result.address + " but did not answer there within a second.");
            return kExitUnconfirmed;
        case SetIPOutcome::AnswersElsewhere:
            Report(err, "The device accepted " + result.address + " but answers at " +
                            FoundText(*result.found) + ".");
            return kExitOtherError;
    }
    return kExitOtherError;
}

// Wipes a secret when the scope ends, however it ends.
class WipeAtExit {
public:
    explicit WipeAtExit(std::string& secret) noexcept : secret_(secret) {}
    ~WipeAtExit() { WipeString(secret_); }
    WipeAtExit(const WipeAtExit&) = delete;
    WipeAtExit& operator=(const WipeAtExit&) = delete;

private:
    std::string& secret_;
};

// The access password of the arguments' source as 8-bit characters.
void ReadAccessPassword(const SetArguments& arguments, std::string& latin1) {
    std::string raw;
    const WipeAtExit wipeRaw(raw);
    if (arguments.passwordFile) {
        ReadPasswordFromFile(*arguments.passwordFile, raw);
    } else {
        ReadPasswordFromStdin(raw);
    }
    AccessPasswordLatin1(raw, latin1);
}

std::string ErrorText(const std::exception& error) {
    const auto* const raised = dynamic_cast<const OvException*>(&error);
    const OvNDCPClient* const client = ClientInstance();
    if (!raised || raised->Code() != kSocketReadWriteError || !client) return error.what();
    return std::string(error.what()) + " " + SendFailureReason(client->LastSends());
}

// The body's exit status, or that of the error it raised, which is reported.
template <typename Body>
int Guarded(std::ostream& err, const Body& body) {
    try {
        return body();
    } catch (const OvException& error) {
        Report(err, ErrorText(error));
        return ExitStatusOf(error.Code());
    } catch (const std::exception& error) {
        Report(err, error.what());
        return kExitOtherError;
    }
}

int Discover(const DiscoverArguments& arguments, std::ostream& out, std::ostream& err) {
    DiscoveryChoice choice;
    choice.timeout = arguments.timeout;
    choice.allModels = arguments.allModels;
    std::string where = "through every adapter";
    if (arguments.adapter) {
        const auto adapter = AdapterNamed(*arguments.adapter);
        if (!adapter) {
            Report(err, "No network adapter named " + *arguments.adapter + " is up with an IPv4 address. " +
                            AdaptersNow());
            return kExitRefused;
        }
        choice.through = *adapter;
        where = "through " + adapter->Describe();
    }
    ProgressLine progress;
    const auto started = std::chrono::steady_clock::now();
    choice.progress = [&](std::size_t answers) {
        progress.Show(ProgressText(where, started, arguments.timeout, answers));
    };
    const DiscoveryRun run = DiscoverDevices(choice);
    progress.Clear();
    out << DeviceListText(run.devices, arguments.format) << std::flush;
    if (run.dropped > 0) {
        Report(err, std::to_string(run.dropped) + " answers beyond the first " +
                        std::to_string(OvNDCPRequest::kMaxDiscoverAnswers) + " were left out.");
    }
    if (run.devices.empty()) {
        Report(err, "0 device found. " + EmptyListReason(run.sends, run.answered));
        return kExitNoDevice;
    }
    if (const std::string failures = SendFailures(run.sends); !failures.empty()) Report(err, failures);
    return kExitDone;
}

int Set(const SetArguments& arguments, std::string_view accessPassword, std::ostream& out,
        std::ostream& err) {
    if (auto refusal = SetIPRefusal(arguments.ip, arguments.netmask)) {
        Report(err, refusal->message);
        return kExitRefused;
    }
    const std::string mac = MacBytesToText(arguments.mac);
    ProgressLine progress;
    progress.Show("Looking for " + mac + "...");
    const auto device = FindDeviceByMac(arguments.mac, {}, kDiscoveryTimeout, kDiscoveryFilter);
    progress.Clear();
    if (!device) {
        const OvNDCPClient* const client = ClientInstance();
        const std::string failures = client ? SendFailures(client->LastSends()) : std::string();
        Report(err, "No " + std::string(kModelName) + " with the MAC address " + mac + " answered within " +
                        std::to_string(kDiscoveryTimeout / 100) + " s." +
                        (failures.empty() ? "" : " " + failures));
        return kExitNoDevice;
    }
    const std::string address = CheckedAddressText(arguments.ip, AddressKind::IpAddress);
    if (CrossNetworkQuestion(address, device->adapter) && !arguments.yes) {
        Report(err, CrossNetworkRefusal(address, device->adapter));
        return kExitRefused;
    }
    progress.Show("Setting " + mac + " to " + address + " and looking for it there...");
    const SetIPResult result = SetIPAndConfirm(*device, arguments.ip, arguments.netmask, accessPassword);
    progress.Clear();
    return ReportSetOutcome(result, mac, out, err);
}

}  // namespace

int ExitStatusOf(int code) noexcept {
    if (code == kPasswordError) return kExitPassword;
    if (code == kConnectionTimeout) return kExitUnconfirmed;
    return kExitOtherError;
}

int RunDiscover(const DiscoverArguments& arguments, std::ostream& out, std::ostream& err) {
    return Guarded(err, [&] { return Discover(arguments, out, err); });
}

int RunSet(const SetArguments& arguments, std::string_view accessPassword, std::ostream& out,
           std::ostream& err) {
    return Guarded(err, [&] { return Set(arguments, accessPassword, out, err); });
}

namespace {

int RunCommand(const CliArguments& arguments, std::string_view password) {
    QObject owner;
    return Guarded(std::cerr, [&] {
        StartClient(&owner);
        // Pending requests matter no more once the command is through: the program ends at once.
        ClientInstance()->SetDestructionWait(std::chrono::milliseconds(0));
        if (arguments.command == CliCommand::Discover)
            return RunDiscover(arguments.discover, std::cout, std::cerr);
        return RunSet(arguments.set, password, std::cout, std::cerr);
    });
}

}  // namespace

int RunCli(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + std::min(argc, 1), argv + argc);
    CliArguments arguments;
    try {
        arguments = ParseArguments(args);
    } catch (const OvException& error) {
        Report(std::cerr, error.what());
        return kExitRefused;
    }
    if (arguments.command == CliCommand::Help) {
        std::cout << HelpText(arguments.helpFor) << std::flush;
        return kExitDone;
    }
    if (arguments.command == CliCommand::Version) {
        std::cout << VersionText() << std::flush;
        return kExitDone;
    }
    std::string password;
    const WipeAtExit wipePassword(password);
    if (arguments.command == CliCommand::Set) {
        // Nothing is read, and nothing sent, for an address that would be refused anyway.
        if (auto refusal = SetIPRefusal(arguments.set.ip, arguments.set.netmask)) {
            Report(std::cerr, refusal->message);
            return kExitRefused;
        }
        try {
            ReadAccessPassword(arguments.set, password);
        } catch (const OvException& error) {
            Report(std::cerr, error.what());
            return kExitRefused;
        }
    }
    QCoreApplication application(argc, argv);
    return RunCommand(arguments, password);
}
