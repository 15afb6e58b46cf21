#pragma once

#include <string>

#include "cli/CliArguments.h"

// What orvalan-ndcp ends with: its exit status.
enum CliExit : int {
    kExitDone = 0,         // discover: at least one device listed; set: confirmed
    kExitNoDevice = 1,     // discover: none listed; set: the MAC address did not answer
    kExitRefused = 2,      // bad arguments, or an address refused: nothing sent
    kExitPassword = 3,     // the device answered "Password Error!"
    kExitUnconfirmed = 4,  // sent, but the device was not seen at the new address
    kExitOtherError = 5,   // any other error the device or the system reported
};

// The text of --help: of the program, or of one command.
[[nodiscard]] std::string HelpText(const std::optional<CliCommand>& command);

// The text of --version.
[[nodiscard]] std::string VersionText();
